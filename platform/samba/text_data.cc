#include "platform/samba/text_data.h"

#include <algorithm>
#include <string>
#include <string_view>

#include "platform/common/utf.h"
#include "platform/registry.h"

namespace cairn {

bool isTextType(std::uint32_t type) {
  return type == RegSz || type == RegExpandSz || type == RegMultiSz;
}

ndr::Bytes narrowFromWideBytes(const ndr::Bytes& wide) {
  ndr::Bytes narrow;
  std::u16string piece;
  const auto flush = [&] {
    const std::string text = utf16ToUtf8(piece.c_str());
    narrow.insert(narrow.end(), text.begin(), text.end());
    piece.clear();
  };
  for (std::size_t i = 0; i + 1 < wide.size(); i += 2) {
    const auto unit = static_cast<char16_t>(wide[i] | (wide[i + 1] << 8));
    if (unit != 0) {
      piece.push_back(unit);
      continue;
    }
    flush();
    narrow.push_back(0);
  }
  flush();
  return narrow;
}

ndr::Bytes wideBytesFromNarrow(const unsigned char* narrow, std::uint32_t size) {
  ndr::Bytes wide;
  const std::string_view text(reinterpret_cast<const char*>(narrow), size);
  std::size_t start = 0;
  while (start <= text.size()) {
    const std::size_t end = std::min(text.find('\0', start), text.size());
    for (const char16_t unit : utf8ToUtf16(text.substr(start, end - start))) {
      wide.push_back(static_cast<unsigned char>(unit));
      wide.push_back(static_cast<unsigned char>(unit >> 8));
    }
    if (end == text.size()) break;
    wide.push_back(0);
    wide.push_back(0);
    start = end + 1;
  }
  return wide;
}

}  // namespace cairn
