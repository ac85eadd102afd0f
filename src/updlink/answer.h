// The update server's small XML dialect: a forgiving tag scanner that builds
// a tree of elements, and lookups by element name.
#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace updlink {

// Names and texts view the parser's copy of the answer (or, for the rare
// malformed tag, a piece the parser keeps); a node lives as long as its parser.
// Nodes sit side by side in one array in document order, so that a large
// answer's tree stays small (40 bytes a node on 64-bit) and an element's
// descendants are the run of nodes right after it.
class AnswerNode {
 public:
  std::string_view name() const { return {tag_, nameSize_}; }
  // Whether the name is `n`. Names mostly differ in size or last letter,
  // which the node holds, so the answer's text is read only for the rest.
  bool Named(std::string_view n) const;
  // What follows the name in the tag, trimmed.
  std::string_view attributes() const;
  std::string_view text() const { return {text_, textSize_}; }
  const AnswerNode* parent() const { return parent_ ? this + parent_ : nullptr; }
  const AnswerNode* firstChild() const { return descendants_ ? this + 1 : nullptr; }
  const AnswerNode* nextSibling() const;
  // The node after this one's descendants (the array ends with a node of its own).
  const AnswerNode* SubtreeEnd() const { return this + 1 + descendants_; }

 private:
  friend class AnswerParser;
  const char* tag_ = nullptr;  // the name, a space and the attributes
  const char* text_ = nullptr;
  std::uint32_t tagSize_ = 0, nameSize_ = 0, textSize_ = 0;
  std::int32_t parent_ = 0;  // its distance back in the array; 0 for the root
  std::uint32_t descendants_ = 0;
  char nameEnd_ = 0;  // the name's last letter
};

class AnswerParser {
 public:
  AnswerParser() = default;
  AnswerParser(const AnswerParser&) = delete;
  AnswerParser& operator=(const AnswerParser&) = delete;

  // Never fails: malformed text yields whatever elements could be seen.
  void Load(std::string_view answer);
  const AnswerNode& Root() const { return nodes_.empty() ? kNoRoot : nodes_.front(); }
  std::string_view RootAttributes() const { return Root().attributes(); }
  // Acceptance: `word` inside the root's attribute text at a position of 1 or
  // more (a word at position 0 has never counted).
  bool Accepted(std::string_view word = "OK") const;

 private:
  static const AnswerNode kNoRoot;
  void Clear();
  static void SplitTag(std::string_view tag, AnswerNode* node);
  std::string_view Keep(std::string s);
  // The copy of the answer the views point into, kept for the next answer.
  std::unique_ptr<char[]> text_;
  std::size_t textSize_ = 0;
  // The root first, then every element in document order, then an end mark
  // that belongs to no element. Nodes own nothing, so neither building nor
  // tearing down a deeply nested answer recurses.
  std::vector<AnswerNode> nodes_;
  std::deque<std::string> kept_;
};

// The text of the first element named `name` below `node` ("" when none).
std::string FindFirst(const AnswerNode& node, std::string_view name);
// The texts of all elements named `name` below `node`, in document order.
std::vector<std::string> FindAll(const AnswerNode& node, std::string_view name);

std::string Trim(std::string_view s);

}  // namespace updlink
