// The UTF-8 and UTF-16 conversions on arbitrary bytes, read both as UTF-8 and as UTF-16 units:
// never a read past the input, never an unpaired surrogate or a zero unit out of utf8ToUtf16,
// and whatever one conversion gives, the other takes back unchanged.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "platform/common/utf.h"

namespace {

void checkUtf16(const std::u16string& text) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char16_t unit = text[i];
    if (unit == 0 || (unit >= 0xDC00 && unit <= 0xDFFF)) std::abort();
    if (unit >= 0xD800 && unit <= 0xDBFF) {
      if (i + 1 >= text.size() || text[i + 1] < 0xDC00 || text[i + 1] > 0xDFFF) std::abort();
      ++i;
    }
  }
}

// A well-formed UTF-16 text goes to UTF-8 and back unchanged.
void checkRoundTrip(const std::u16string& wide) {
  const std::string narrow = cairn::utf16ToUtf8(wide.c_str());
  if (cairn::utf8ToUtf16(narrow) != wide) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::u16string fromNarrow =
      cairn::utf8ToUtf16(std::string_view(reinterpret_cast<const char*>(data), size));
  checkUtf16(fromNarrow);
  checkRoundTrip(fromNarrow);

  // The same bytes as UTF-16 units, zero-terminated as the platform hands them over.
  std::u16string units(size / 2, u'\0');
  if (!units.empty()) std::memcpy(units.data(), data, units.size() * 2);
  const std::u16string fromWide = cairn::utf8ToUtf16(cairn::utf16ToUtf8(units.c_str()));
  checkUtf16(fromWide);
  checkRoundTrip(fromWide);
  return 0;
}
