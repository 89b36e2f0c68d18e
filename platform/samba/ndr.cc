#include "platform/samba/ndr.h"

namespace cairn::ndr {

void Writer::u16(std::uint16_t value) {
  align(2);
  bytes_.push_back(static_cast<unsigned char>(value));
  bytes_.push_back(static_cast<unsigned char>(value >> 8));
}

void Writer::u32(std::uint32_t value) {
  align(4);
  for (int shift = 0; shift < 32; shift += 8)
    bytes_.push_back(static_cast<unsigned char>(value >> shift));
}

void Writer::raw(const unsigned char* data, std::size_t size) {
  bytes_.insert(bytes_.end(), data, data + size);
}

void Writer::align(std::size_t boundary) {
  while (bytes_.size() % boundary != 0) bytes_.push_back(0);
}

void Writer::string(std::u16string_view text) {
  const auto count = static_cast<std::uint32_t>(text.size() + 1);
  u32(count);
  u32(0);
  u32(count);
  for (const char16_t unit : text) u16(unit);
  u16(0);
}

std::uint32_t Reader::u32() {
  align(4);
  const unsigned char* p = take(4);
  if (p == nullptr) return 0;
  return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
         (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

void Reader::align(std::size_t boundary) {
  if (failed_) return;
  const std::size_t padding = (boundary - offset_ % boundary) % boundary;
  take(padding);
}

const unsigned char* Reader::take(std::size_t count) {
  if (failed_ || count > size_ - offset_) {
    failed_ = true;
    return nullptr;
  }
  const unsigned char* p = data_ + offset_;
  offset_ += count;
  return p;
}

std::u16string Reader::string() {
  const std::uint32_t maximum = u32();
  const std::uint32_t offset = u32();
  const std::uint32_t actual = u32();
  if (offset != 0 || actual > maximum) fail();
  // Checked before anything is allocated: the units must all be in the reply.
  if (failed_ || actual > remaining() / 2) {
    fail();
    return {};
  }
  const unsigned char* p = take(std::size_t{actual} * 2);
  std::u16string text;
  for (std::uint32_t i = 0; i < actual; ++i) {
    const auto unit = static_cast<char16_t>(p[2 * i] | (p[2 * i + 1] << 8));
    if (unit == 0) break;
    text.push_back(unit);
  }
  return text;
}

}  // namespace cairn::ndr
