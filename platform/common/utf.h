// UTF-8 and UTF-16 conversions for systems whose narrow code page is UTF-8. Malformed input
// becomes U+FFFD: a conversion never fails and never reads past its input.
#pragma once

#include <string>
#include <string_view>

namespace cairn {

std::u16string utf8ToUtf16(std::string_view text);

// Converts up to the first zero unit.
std::string utf16ToUtf8(const char16_t* text);

}  // namespace cairn
