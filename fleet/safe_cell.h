// The text of a CSV cell or a cell of the page. A spreadsheet program evaluates a cell that
// starts with = + - @ (and TAB or CR, which some of them skip first) as a formula, so a value a
// PC or the list hands over is kept from becoming one by a leading apostrophe; and control
// bytes become '?', as on standard output, so that nobody's terminal obeys a value shown with
// cat. The JSON Lines file keeps the exact text: JSON escapes it, and no program evaluates it.
#pragma once

#include <string>
#include <string_view>

namespace cairn {

std::string safeCell(std::string_view text);

}  // namespace cairn
