#include "updlink/answer.h"

#include <cstring>
#include <utility>

namespace updlink {

namespace {

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f'; }

enum class TagKind { Open, Close, SelfClosing, Skip };

// Reads a complete tag buffer ("<...>") into its kind and its text.
TagKind Classify(std::string_view buf, std::string* text) {
  text->clear();
  if (buf.empty()) return TagKind::Skip;
  TagKind kind = TagKind::Open;
  char prev = '0';
  for (char c : buf) {
    if (prev == '<' && (c == '!' || c == '?')) return TagKind::Skip;
    if (prev == '<' && c == '/') {
      kind = TagKind::Close;
    } else if (prev == '/' && c == '>') {
      if (!text->empty()) text->pop_back();
      kind = TagKind::SelfClosing;
    } else if (c != '<' && c != '>') {
      text->push_back(c);
    }
    prev = c;
  }
  return kind;
}

void SplitTag(const std::string& tag, AnswerNode* node) {
  auto space = tag.find(' ');
  if (space == std::string::npos) {
    node->name = tag;
    node->attributes.clear();
  } else {
    node->name = tag.substr(0, space);
    node->attributes = Trim(std::string_view(tag).substr(space + 1));
  }
}

}  // namespace

std::string Trim(std::string_view s) {
  std::size_t b = 0, e = s.size();
  while (b < e && IsSpace(s[b])) ++b;
  while (e > b && IsSpace(s[e - 1])) --e;
  return std::string(s.substr(b, e - b));
}

void AnswerParser::Clear() {
  pool_.clear();
  root_ = AnswerNode{};
}

bool AnswerParser::Accepted(std::string_view word) const {
  auto pos = root_.attributes.find(word);
  return pos != std::string::npos && pos >= 1;
}

void AnswerParser::Load(std::string_view answer) {
  Clear();
  std::string clean;
  clean.reserve(answer.size());
  for (char c : answer)
    if (c != '\n' && c != '\r' && c != '\t') clean.push_back(c);

  std::string tagBuf, tagText, content;
  bool inTag = false;
  AnswerNode* current = &root_;
  const char* p = clean.data();
  const std::size_t n = clean.size();
  std::size_t i = 0;
  while (i < n) {
    // Runs of ordinary characters go to the tag or the content in one piece.
    std::size_t j = i;
    while (j < n && p[j] != '<' && p[j] != '>') ++j;
    (inTag ? tagBuf : content).append(p + i, j - i);
    if (j >= n) break;
    i = j;
    tagBuf.push_back(p[i]);
    if (p[i] == '<') {
      current->text = Trim(content);
      content.clear();
      inTag = true;
    } else {
      TagKind kind = Classify(tagBuf, &tagText);
      tagBuf.clear();
      if (kind == TagKind::Open || kind == TagKind::SelfClosing) {
        if (root_.name.empty()) {
          SplitTag(tagText, &root_);
        } else {
          AnswerNode& node = pool_.emplace_back();
          SplitTag(tagText, &node);
          node.parent = current;
          current->children.push_back(&node);
          current = &node;
        }
      }
      // A closing tag's name is not checked: unmatched closers stop at the root.
      if ((kind == TagKind::Close || kind == TagKind::SelfClosing) && current->parent)
        current = current->parent;
      if (kind != TagKind::Skip) inTag = false;
    }
    ++i;
  }
}

std::string FindFirst(const AnswerNode& start, std::string_view name) {
  // Depth-first with an explicit stack: a match whose text is empty ends the
  // search of its parent's subtree only, as the natural recursive walk does.
  struct Frame { const AnswerNode* node; std::size_t next; };
  std::vector<Frame> stack{{&start, 0}};
  while (!stack.empty()) {
    Frame& f = stack.back();
    if (f.next >= f.node->children.size()) { stack.pop_back(); continue; }
    const AnswerNode* child = f.node->children[f.next++];
    if (child->name == name) {
      if (!child->text.empty() || stack.size() == 1) return child->text;
      stack.pop_back();
      continue;
    }
    if (!child->children.empty()) stack.push_back({child, 0});
  }
  return {};
}

std::vector<std::string> FindAll(const AnswerNode& start, std::string_view name) {
  std::vector<std::string> out;
  struct Frame { const AnswerNode* node; std::size_t next; };
  std::vector<Frame> stack{{&start, 0}};
  while (!stack.empty()) {
    Frame& f = stack.back();
    if (f.next >= f.node->children.size()) { stack.pop_back(); continue; }
    const AnswerNode* child = f.node->children[f.next++];
    if (child->name == name) out.push_back(child->text);
    if (!child->children.empty()) stack.push_back({child, 0});
  }
  return out;
}

CatalogueEntry ScanCatalogueEntry(std::string_view answer, std::string_view entryName) {
  CatalogueEntry e;
  if (entryName.empty()) return e;
  auto pos = answer.find(entryName);
  if (pos == std::string_view::npos || pos < 1) return e;
  e.found = true;
  std::string_view rest = answer.substr(pos + entryName.size());
  auto end = rest.find("/>");
  // The entry ends one character before "/>" (the space that precedes it).
  if (end == std::string_view::npos || end < 1) return e;
  rest = rest.substr(0, end - 1);
  constexpr std::string_view kVersion = "version='";
  constexpr std::string_view kUrlAfterVersion = "' url=";
  auto v = rest.find(kVersion);
  auto ve = rest.find(kUrlAfterVersion);
  if (v != std::string_view::npos && ve != std::string_view::npos && ve >= v + kVersion.size())
    e.version = std::string(rest.substr(v + kVersion.size(), ve - v - kVersion.size()));
  auto u = rest.find("url=");
  if (u != std::string_view::npos) {
    std::string_view q = rest.substr(u + 4);
    if (q.size() >= 2) e.url = std::string(q.substr(1, q.size() - 2));
  }
  return e;
}

}  // namespace updlink
