// Network Data Representation (NDR 2.0, little-endian) primitives for the few DCE/RPC calls
// that the Samba backend makes. The writer builds request stub data; the reader walks reply
// stub data that a remote machine sent and must therefore never trust a length field: every
// read is checked against the bytes that are really there, and a failed check poisons the
// reader so that a decoder needs to test for failure only once, at the end.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace cairn::ndr {

using Bytes = std::vector<unsigned char>;

// The referent id that the writer gives every non-null embedded or unique pointer. Any
// non-zero value is valid on the wire; Windows and Samba use numbers of this form.
inline constexpr std::uint32_t ReferentId = 0x00020000;

class Writer {
 public:
  void u16(std::uint16_t value);
  void u32(std::uint32_t value);
  void raw(const unsigned char* data, std::size_t size);
  // Pads with zero bytes to a multiple of the given power of two.
  void align(std::size_t boundary);
  // A unique or full pointer's wire form: ReferentId for a present pointee, 0 for null.
  void pointer(bool present) { u32(present ? ReferentId : 0); }
  // A conformant varying UTF-16 string ([string] uint16*): maximum count, offset 0, actual
  // count, the units. The text is sent with one terminating zero unit, as Windows sends it.
  void string(std::u16string_view text);

  const Bytes& bytes() const { return bytes_; }
  Bytes take() { return std::move(bytes_); }

 private:
  Bytes bytes_;
};

class Reader {
 public:
  Reader(const unsigned char* data, std::size_t size) : data_(data), size_(size) {}

  // Each read gives 0 (or an empty result) once the reader has failed.
  std::uint32_t u32();
  // Skips padding up to a multiple of the given power of two. Padding past the end fails.
  void align(std::size_t boundary);
  // The next count bytes, or null (and failure) when fewer remain. The pointer is into the
  // caller's buffer, so no allocation ever depends on a length field.
  const unsigned char* take(std::size_t count);
  // A unique pointer's wire form: true for a non-zero referent id.
  bool pointer() { return u32() != 0; }
  // A conformant varying UTF-16 string. Fails unless the offset is 0, the actual count is at
  // most the maximum count, and every unit is present. The result stops at the first zero
  // unit; a string without one is taken whole.
  std::u16string string();

  // Marks the data inconsistent, for checks that only a decoder can make.
  void fail() { failed_ = true; }
  bool failed() const { return failed_; }
  std::size_t remaining() const { return failed_ ? 0 : size_ - offset_; }
  // True when nothing failed and every byte was consumed: stub data of these calls has no
  // trailing padding, so a longer reply is malformed.
  bool finishedCleanly() const { return !failed_ && offset_ == size_; }

 private:
  const unsigned char* data_;
  std::size_t size_;
  std::size_t offset_ = 0;
  bool failed_ = false;
};

}  // namespace cairn::ndr
