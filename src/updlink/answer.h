// The update server's small XML dialect: a forgiving tag scanner that builds
// a tree of elements, lookups by element name, and the direct text scan of a
// catalogue entry.
#pragma once

#include <deque>
#include <string>
#include <string_view>
#include <vector>

namespace updlink {

struct AnswerNode {
  std::string name;
  std::string attributes;
  std::string text;
  std::vector<AnswerNode*> children;  // owned by the parser's node pool
  AnswerNode* parent = nullptr;
};

class AnswerParser {
 public:
  AnswerParser() = default;
  AnswerParser(const AnswerParser&) = delete;
  AnswerParser& operator=(const AnswerParser&) = delete;

  // Never fails: malformed text yields whatever elements could be seen.
  void Load(std::string_view answer);
  const AnswerNode& Root() const { return root_; }
  const std::string& RootAttributes() const { return root_.attributes; }
  // Acceptance: `word` inside the root's attribute text at a position of 1 or
  // more (a word at position 0 has never counted).
  bool Accepted(std::string_view word = "OK") const;

 private:
  void Clear();
  AnswerNode root_;
  // Nodes live in a pool rather than owning each other, so that neither
  // building nor tearing down a hostile, deeply nested answer recurses.
  std::deque<AnswerNode> pool_;
};

// The text of the first element named `name` below `node` ("" when none).
std::string FindFirst(const AnswerNode& node, std::string_view name);
// The texts of all elements named `name` below `node`, in document order.
std::vector<std::string> FindAll(const AnswerNode& node, std::string_view name);

struct CatalogueEntry {
  bool found = false;
  std::string version;
  std::string url;
};
// Scans for an entry written  <entry_name> version='V' url='U' />
CatalogueEntry ScanCatalogueEntry(std::string_view answer, std::string_view entryName);

std::string Trim(std::string_view s);

}  // namespace updlink
