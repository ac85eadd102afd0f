// The update server's small XML dialect: a forgiving tag scanner that builds
// a tree of elements, and lookups by element name.
#pragma once

#include <deque>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace updlink {

// Names and texts view the parser's copy of the answer (or, for the rare
// malformed tag, a piece the parser keeps); a node lives as long as its parser.
struct AnswerNode {
  std::string_view name;
  std::string_view attributes;
  std::string_view text;
  // No member initialisers: node blocks are allocated raw and each node is
  // value-initialised when it is handed out. Create nodes as AnswerNode{}.
  AnswerNode* parent;
  AnswerNode* firstChild;
  AnswerNode* nextSibling;
};

class AnswerParser {
 public:
  AnswerParser() = default;
  AnswerParser(const AnswerParser&) = delete;
  AnswerParser& operator=(const AnswerParser&) = delete;

  // Never fails: malformed text yields whatever elements could be seen.
  void Load(std::string_view answer);
  const AnswerNode& Root() const { return root_; }
  std::string_view RootAttributes() const { return root_.attributes; }
  // Acceptance: `word` inside the root's attribute text at a position of 1 or
  // more (a word at position 0 has never counted).
  bool Accepted(std::string_view word = "OK") const;

 private:
  void Clear();
  AnswerNode* NewNode();
  void AddBlock();
  std::string_view Keep(std::string s);
  AnswerNode root_{};
  // The copy of the answer the views point into, kept for the next answer.
  std::unique_ptr<char[]> text_;
  std::size_t textSize_ = 0;
  // Nodes come from fixed-size blocks rather than owning each other, so that
  // neither building nor tearing down a deeply nested answer recurses, and a
  // large answer costs few allocations.
  std::vector<std::unique_ptr<AnswerNode[]>> blocks_;
  std::size_t used_ = 0;  // nodes handed out from the last block
  std::deque<std::string> kept_;
};

// The text of the first element named `name` below `node` ("" when none).
std::string FindFirst(const AnswerNode& node, std::string_view name);
// The texts of all elements named `name` below `node`, in document order.
std::vector<std::string> FindAll(const AnswerNode& node, std::string_view name);

std::string Trim(std::string_view s);

}  // namespace updlink
