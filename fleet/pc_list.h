// The list of PCs, read as a stream: one NetBIOS name or IPv4 address a line, as /M takes it.
// Blank lines and lines starting with ';' or '#' are skipped, and a PC listed twice is handed out
// once. Only the names already seen are kept, never the list itself.
#pragma once

#include <cstddef>
#include <istream>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

namespace cairn {

struct ListEntry {
  std::size_t line = 0;     // 1-based line of the list; for --pc names, their position
  std::string listed;       // the text as listed, blanks around it cut off
  std::string hostValue;    // the /M value it gives, upper case
  bool wellFormed = false;  // one item the single check could take as its /M value
};

class PcList {
 public:
  explicit PcList(std::istream& input) : input_(&input) {}
  explicit PcList(std::vector<std::string> names) : names_(std::move(names)) {}

  // The next PC not handed out before, or nothing at the end of the list.
  std::optional<ListEntry> next();

  // Marks a PC as handled already (a record of an earlier run), so that next skips it.
  void skip(const std::string& listed);
  // The same for the pc cell of a CSV record, which holds the listed text as a safe cell; a PC
  // whose cell differs from its listed text is then known by its cell.
  void skipCell(const std::string& cell);

 private:
  std::optional<std::string> nextLine();

  std::istream* input_ = nullptr;
  std::vector<std::string> names_;
  std::size_t line_ = 0;
  std::unordered_set<std::string> seen_;
  std::unordered_set<std::string> recordedCells_;  // only cells that differ from a listed text
};

// The text a line of a list names a PC by, blanks around it cut off, or nothing for a blank
// line or a comment.
std::optional<std::string> listedPc(std::string_view line);

// The key under which a listed PC counts as the same PC: its /M value, or the text itself when
// it is no value the single check would take.
std::string pcKey(const std::string& listed);

}  // namespace cairn
