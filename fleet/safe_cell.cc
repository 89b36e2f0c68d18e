#include "fleet/safe_cell.h"

#include "core/text.h"

namespace cairn {

std::string safeCell(std::string_view text) {
  constexpr std::string_view FormulaStarts = "=+-@\t\r";
  const bool formula = !text.empty() && FormulaStarts.find(text.front()) != std::string_view::npos;
  return (formula ? "'" : "") + printableText(text);
}

}  // namespace cairn
