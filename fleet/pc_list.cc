#include "fleet/pc_list.h"

#include "check/value_rules.h"
#include "fleet/safe_cell.h"

namespace cairn {
namespace {

constexpr std::string_view LineBlanks = " \t\r";

std::string stripLine(std::string_view text) {
  const auto first = text.find_first_not_of(LineBlanks);
  if (first == std::string_view::npos) return {};
  const auto last = text.find_last_not_of(LineBlanks);
  return std::string(text.substr(first, last - first + 1));
}

// A value that the single check's command line would split, refuse or read as a switch.
bool isOneItem(const std::string& value) {
  if (value.empty()) return false;
  for (char c : value) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 32 || byte == 127 || c == ' ' || c == ',' || c == '/' || c == '"') return false;
  }
  return true;
}

}  // namespace

std::optional<std::string> listedPc(std::string_view line) {
  std::string listed = stripLine(line);
  if (listed.empty() || listed[0] == ';' || listed[0] == '#') return std::nullopt;
  return listed;
}

std::string pcKey(const std::string& listed) {
  const std::string value = normalizeSwitchValue(listed);
  return isOneItem(value) ? value : listed;
}

std::optional<std::string> PcList::nextLine() {
  ++line_;
  if (input_ == nullptr) {
    if (line_ > names_.size()) return std::nullopt;
    return names_[line_ - 1];
  }
  std::string text;
  if (!std::getline(*input_, text)) return std::nullopt;
  return text;
}

std::optional<ListEntry> PcList::next() {
  while (const auto text = nextLine()) {
    std::optional<std::string> listed = listedPc(*text);
    if (!listed || !seen_.insert(pcKey(*listed)).second) continue;
    ListEntry entry;
    entry.listed = std::move(*listed);
    if (!recordedCells_.empty() && recordedCells_.count(pcKey(safeCell(entry.listed)))) continue;
    entry.line = line_;
    entry.hostValue = normalizeSwitchValue(entry.listed);
    entry.wellFormed = isOneItem(entry.hostValue);
    return entry;
  }
  return std::nullopt;
}

void PcList::skip(const std::string& listed) {
  seen_.insert(pcKey(stripLine(listed)));
}

void PcList::skipCell(const std::string& cell) {
  // A cell with a leading apostrophe or a '?' may stand for another listed text; the plain
  // text is kept as well, for a list that holds the cell's text itself.
  if (cell.find_first_of("'?") != std::string::npos) recordedCells_.insert(pcKey(stripLine(cell)));
  skip(cell);
}

}  // namespace cairn
