#include "updlink/answer.h"

#include <array>
#include <bit>
#include <cstdint>
#include <cstddef>
#include <cstring>
#include <utility>

namespace updlink {

namespace {

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f'; }

enum class TagKind { Open, Close, SelfClosing, Skip };

// Answers are a few hundred kilobytes; past 2 GiB nothing is read, which
// keeps every size and distance of the tree in 32 bits.
constexpr std::size_t kMaxAnswer = 0x7fffff00;

// Character classes of the scan: 1 = line break or tab (dropped), 2 = "<" or ">".
constexpr auto kClass = [] {
  std::array<unsigned char, 256> t{};
  t['\n'] = t['\r'] = t['\t'] = 1;
  t['<'] = t['>'] = 2;
  return t;
}();

// The general reading of a tag buffer, for tags of unusual shape.
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

// The same reading for the usual shape "<...>" with no other "<" or ">"
// inside, whose text is one piece of the buffer.
TagKind ClassifySimple(std::string_view buf, std::string_view* text) {
  // buf.size() >= 2, buf.front() == '<', buf.back() == '>'
  if (buf[1] == '!' || buf[1] == '?') return TagKind::Skip;
  TagKind kind = TagKind::Open;
  std::size_t b = 1, e = buf.size() - 1;
  if (buf[1] == '/') { kind = TagKind::Close; b = 2; }
  if (buf[buf.size() - 2] == '/') {
    kind = TagKind::SelfClosing;
    if (e > b) --e;
  }
  *text = buf.substr(b, e > b ? e - b : 0);
  return kind;
}

std::string_view TrimView(std::string_view s) {
  if (s.empty()) return s;  // most content between tags, once line breaks are gone
  std::size_t b = 0, e = s.size();
  while (b < e && IsSpace(s[b])) ++b;
  while (e > b && IsSpace(s[e - 1])) --e;
  return s.substr(b, e - b);
}

std::uint32_t Size32(std::size_t n) { return static_cast<std::uint32_t>(n); }

// From one node to another in the array (both below kMaxAnswer + 1).
std::int32_t Distance(std::size_t from, std::size_t to) {
  return static_cast<std::int32_t>(static_cast<std::ptrdiff_t>(to) - static_cast<std::ptrdiff_t>(from));
}

// The position of the first space in a tag (its size when none).
std::size_t FirstSpace(std::string_view tag) {
  std::size_t i = 0;
  if constexpr (std::endian::native == std::endian::little) {
    constexpr std::uint64_t kOnes = 0x0101010101010101ull, kHigh = 0x8080808080808080ull;
    for (; tag.size() - i >= 8; i += 8) {
      std::uint64_t x;
      std::memcpy(&x, tag.data() + i, 8);
      x ^= kOnes * ' ';
      const std::uint64_t zero = (x - kOnes) & ~x & kHigh;  // the lowest flag is exact
      if (zero) return i + static_cast<std::size_t>(std::countr_zero(zero) / 8);
    }
  }
  while (i < tag.size() && tag[i] != ' ') ++i;
  return i;
}

}  // namespace

void AnswerParser::SplitTag(std::string_view tag, AnswerNode* node) {
  const std::size_t space = FirstSpace(tag);
  node->tag_ = tag.data();
  node->tagSize_ = Size32(tag.size());
  node->nameSize_ = Size32(space);
  node->nameEnd_ = space ? tag[space - 1] : '\0';
}

std::string Trim(std::string_view s) { return std::string(TrimView(s)); }

const AnswerNode AnswerParser::kNoRoot{};

bool AnswerNode::Named(std::string_view n) const {
  return nameSize_ == n.size() && (n.empty() || (nameEnd_ == n.back() && std::memcmp(tag_, n.data(), n.size()) == 0));
}

const AnswerNode* AnswerNode::nextSibling() const {
  // The node after the subtree is a sibling when it has the same parent.
  if (!parent_) return nullptr;
  const AnswerNode* next = SubtreeEnd();
  return next->parent() == parent() ? next : nullptr;
}

std::string_view AnswerNode::attributes() const {
  if (nameSize_ >= tagSize_) return {};
  return TrimView(std::string_view(tag_ + nameSize_ + 1, tagSize_ - nameSize_ - 1));
}

void AnswerParser::Clear() {
  nodes_.clear();
  kept_.clear();
}

std::string_view AnswerParser::Keep(std::string s) { return kept_.emplace_back(std::move(s)); }

bool AnswerParser::Accepted(std::string_view word) const {
  auto pos = RootAttributes().find(word);
  return pos != std::string_view::npos && pos >= 1;
}

namespace {

// The first byte at or after `p` that the scan must look at (a line break,
// a tab, "<" or ">"), or `end`. Every byte before it is stored at `out` as
// it is passed, eight at a time where it can: `out` has room for eight more
// bytes than the input, and what lands past the returned position is
// overwritten later or never read.
const char* CopyToMark(const char* p, const char* end, char*& out) {
  if constexpr (std::endian::native == std::endian::little) {
    constexpr std::uint64_t kOnes = 0x0101010101010101ull, kHigh = 0x8080808080808080ull;
    while (end - p >= 8) {
      std::uint64_t x;
      std::memcpy(&x, p, 8);
      std::memcpy(out, &x, 8);
      // Flags bytes below 14 (tab, line breaks and some other controls) and
      // bytes that are "<" or ">" once bit 1 is set; the lowest flag is exact.
      const std::uint64_t low = (x - kOnes * 14) & ~x & kHigh;
      const std::uint64_t y = (x | kOnes * 2) ^ (kOnes * 0x3E);
      const std::uint64_t mask = low | ((y - kOnes) & ~y & kHigh);
      if (!mask) {
        p += 8;
        out += 8;
        continue;
      }
      const int k = std::countr_zero(mask) / 8;
      p += k;
      out += k;
      if (kClass[static_cast<unsigned char>(x >> (8 * k))]) return p;
      ++p;  // another control byte: ordinary text, already stored
      ++out;
    }
  }
  while (p < end && !kClass[static_cast<unsigned char>(*p)]) *out++ = *p++;
  return p;
}

}  // namespace

void AnswerParser::Load(std::string_view answer) {
  Clear();
  answer = answer.substr(0, kMaxAnswer);
  // Line breaks and tabs are dropped as the answer is copied; everything
  // else reads the copy, whose bytes before the scan position are final.
  // The copy and the node array are kept for the next answer, unless they
  // are far larger than it needs (a huge answer must not pin its memory).
  const std::size_t need = answer.size() + 8;
  if (textSize_ < need || textSize_ / 4 > need + 65536) {
    text_.reset(new char[need]);
    textSize_ = need;
  }
  const std::size_t guess = answer.size() / 32 + 1;  // about one element per 32 bytes
  if (nodes_.capacity() / 4 > guess + 4096) std::vector<AnswerNode>().swap(nodes_);
  nodes_.reserve(guess);
  nodes_.emplace_back();  // the root
  const std::string_view all(text_.get(), textSize_);
  const char* in = answer.data();
  const char* const end = in + answer.size();
  char* out = text_.get();

  bool inTag = false;
  std::size_t tagStart = 0;       // the tag buffer is all[tagStart .. current '>']
  bool tagSimple = true;          // no "<" or ">" inside it but at its ends
  std::size_t contentStart = 0;   // content runs from here to the next "<"
  bool contentHasGt = false;      // a stray ">" in it, which content leaves out
  std::string scratch;
  std::size_t current = 0;  // nodes_ grows: the tree is built by index
  auto close = [&](std::size_t n) { nodes_[n].descendants_ = Size32(nodes_.size() - n - 1); };
  auto setText = [&](std::string_view t) {
    nodes_[current].text_ = t.data();
    nodes_[current].textSize_ = Size32(t.size());
  };

  for (;;) {
    in = CopyToMark(in, end, out);
    if (in == end) break;
    const char c = *in++;
    if (kClass[static_cast<unsigned char>(c)] == 1) {
      while (in != end && kClass[static_cast<unsigned char>(*in)] == 1) ++in;  // "\r\n"
      continue;
    }
    const std::size_t i = static_cast<std::size_t>(out - text_.get());
    *out++ = c;
    if (c == '<') {
      if (inTag) {
        tagSimple = false;
        setText({});
      } else {
        std::string_view content = all.substr(contentStart, i - contentStart);
        if (contentHasGt) {
          std::string t;
          for (char ch : content) if (ch != '>') t.push_back(ch);
          setText(TrimView(Keep(std::move(t))));
        } else {
          setText(TrimView(content));
        }
        inTag = true;
        tagStart = i;
        tagSimple = true;
      }
      continue;
    }
    // '>'
    std::string_view buf;
    if (inTag) {
      buf = all.substr(tagStart, i - tagStart + 1);
    } else {
      buf = all.substr(i, 1);  // a stray ">" reads as a tag of its own
      contentHasGt = true;
      tagSimple = false;
    }
    std::string_view tagText;
    TagKind kind;
    if (tagSimple && buf.size() >= 2 && buf.front() == '<') {
      kind = ClassifySimple(buf, &tagText);
    } else {
      kind = Classify(buf, &scratch);
      tagText = scratch.empty() ? std::string_view() : Keep(scratch);
    }
    if (kind == TagKind::Open || kind == TagKind::SelfClosing) {
      AnswerNode& root = nodes_.front();
      if (root.nameSize_ == 0) {
        SplitTag(tagText, &root);
      } else {
        const std::size_t node = nodes_.size();
        AnswerNode& n = nodes_.emplace_back();
        SplitTag(tagText, &n);
        n.parent_ = Distance(node, current);
        current = node;
      }
    }
    // A closing tag's name is not checked: unmatched closers stop at the root.
    if ((kind == TagKind::Close || kind == TagKind::SelfClosing) && nodes_[current].parent_) {
      close(current);
      current = static_cast<std::size_t>(static_cast<std::ptrdiff_t>(current) + nodes_[current].parent_);
    }
    if (inTag) {
      if (kind != TagKind::Skip) {
        inTag = false;
        contentStart = i + 1;
        contentHasGt = false;
      } else {
        tagStart = i + 1;  // after a declaration the next characters still belong to a tag
        tagSimple = false;
      }
    }
  }
  // Elements still open at the end, the root always among them, end here.
  for (std::size_t n = current;; n = static_cast<std::size_t>(static_cast<std::ptrdiff_t>(n) + nodes_[n].parent_)) {
    close(n);
    if (!nodes_[n].parent_) break;
  }
  nodes_.emplace_back();  // the end mark
}

namespace {
constexpr std::ptrdiff_t kAhead = 16;
void Prefetch(const void* p) {
#if defined(__GNUC__)
  __builtin_prefetch(p);
#else
  (void)p;
#endif
}
}  // namespace

std::string FindFirst(const AnswerNode& start, std::string_view name) {
  // A match whose text is empty ends the search of its parent's subtree
  // only, as the natural recursive walk of the tree does.
  const AnswerNode* const end = start.SubtreeEnd();
  for (const AnswerNode* x = &start + 1; x < end;) {
    if (x->Named(name)) {
      if (!x->text().empty() || x->parent() == &start) return std::string(x->text());
      x = x->parent()->SubtreeEnd();
      continue;
    }
    ++x;
  }
  return {};
}

std::vector<std::string> FindAll(const AnswerNode& start, std::string_view name) {
  std::vector<std::string> out;
  const AnswerNode* const end = start.SubtreeEnd();
  for (const AnswerNode* x = &start + 1; x < end; ++x) {
    // The names lie in the answer's copy, far from the nodes in a large
    // answer: asked for early, they are there when compared.
    if (end - x > kAhead) Prefetch(x[kAhead].name().data());
    if (x->Named(name)) out.emplace_back(x->text());
  }
  return out;
}

}  // namespace updlink
