#include "platform/samba/rpc_calls.h"

#include <algorithm>

namespace cairn::rpc {
namespace {

// winreg_String: length and size in bytes with the terminating zero unit, then the pointer to
// the units, which follow the structure.
void writeRegistryString(ndr::Writer& writer, std::u16string_view text) {
  const auto bytes = static_cast<std::uint16_t>((text.size() + 1) * 2);
  writer.u16(bytes);
  writer.u16(bytes);
  writer.pointer(true);
  writer.string(text);
}

// The information union of both level-102 queries: the level as discriminant, then a unique
// pointer to the record.
bool readInfoUnion(ndr::Reader& reader) {
  if (reader.u32() != InfoLevel102) reader.fail();
  return reader.pointer();
}

// A [string] wchar_t* field's deferred units, read in the order the pointers appeared.
void readDeferredString(ndr::Reader& reader, bool present, std::u16string& text) {
  if (present) text = reader.string();
}

}  // namespace

void writeHandle(ndr::Writer& writer, const PolicyHandle& handle) {
  writer.align(4);
  writer.raw(handle.bytes.data(), handle.bytes.size());
}

std::uint32_t finishReply(const ndr::Reader& reader, std::uint32_t werror, bool consistent) {
  if (!reader.finishedCleanly() || !consistent) return StatusRpcBadStubData;
  return werror;
}

bool PolicyHandle::isNull() const {
  return std::all_of(bytes.begin(), bytes.end(), [](unsigned char b) { return b == 0; });
}

ndr::Bytes encodeNetrWkstaGetInfo(std::u16string_view serverName) {
  ndr::Writer writer;
  writer.pointer(true);
  writer.string(serverName);
  writer.u32(InfoLevel102);
  return writer.take();
}

std::uint32_t decodeNetrWkstaGetInfo(const unsigned char* data, std::size_t size,
                                     WkstaInfo102& info) {
  info = {};
  ndr::Reader reader(data, size);
  const bool present = readInfoUnion(reader);
  if (present) {
    reader.u32();  // wki102_platform_id
    info.hasComputerName = reader.pointer();
    info.hasLangroup = reader.pointer();
    reader.u32();  // wki102_ver_major
    reader.u32();  // wki102_ver_minor
    const bool hasLanroot = reader.pointer();
    reader.u32();  // wki102_logged_on_users
    readDeferredString(reader, info.hasComputerName, info.computerName);
    readDeferredString(reader, info.hasLangroup, info.langroup);
    std::u16string lanroot;
    readDeferredString(reader, hasLanroot, lanroot);
  }
  const std::uint32_t werror = reader.u32();
  return finishReply(reader, werror, present || werror != 0);
}

ndr::Bytes encodeNetrServerGetInfo(std::u16string_view serverName) {
  return encodeNetrWkstaGetInfo(serverName);  // the same in-parameters: server name and level
}

std::uint32_t decodeNetrServerGetInfo(const unsigned char* data, std::size_t size) {
  ndr::Reader reader(data, size);
  const bool present = readInfoUnion(reader);
  if (present) {
    reader.u32();  // sv102_platform_id
    const bool hasName = reader.pointer();
    reader.u32();  // sv102_version_major
    reader.u32();  // sv102_version_minor
    reader.u32();  // sv102_type
    const bool hasComment = reader.pointer();
    for (int field = 0; field < 6; ++field) reader.u32();  // users .. licenses
    const bool hasUserpath = reader.pointer();
    std::u16string ignored;
    readDeferredString(reader, hasName, ignored);
    readDeferredString(reader, hasComment, ignored);
    readDeferredString(reader, hasUserpath, ignored);
  }
  const std::uint32_t werror = reader.u32();
  return finishReply(reader, werror, present || werror != 0);
}

ndr::Bytes encodeOpenHKLM(std::uint32_t accessMask) {
  ndr::Writer writer;
  writer.pointer(false);  // system_name: unused by servers, sent as null as Windows does
  writer.u32(accessMask);
  return writer.take();
}

ndr::Bytes encodeOpenKey(const PolicyHandle& parent, std::u16string_view keyName,
                         std::uint32_t accessMask) {
  ndr::Writer writer;
  writeHandle(writer, parent);
  writeRegistryString(writer, keyName);
  writer.u32(0);  // options
  writer.u32(accessMask);
  return writer.take();
}

ndr::Bytes encodeCloseKey(const PolicyHandle& handle) {
  ndr::Writer writer;
  writeHandle(writer, handle);
  return writer.take();
}

std::uint32_t decodeHandleReply(const unsigned char* data, std::size_t size, PolicyHandle& handle) {
  handle = {};
  ndr::Reader reader(data, size);
  if (const unsigned char* p = reader.take(handle.bytes.size()))
    std::copy(p, p + handle.bytes.size(), handle.bytes.begin());
  const std::uint32_t werror = reader.u32();
  return finishReply(reader, werror, true);
}

ndr::Bytes encodeQueryValue(const PolicyHandle& key, std::u16string_view valueName,
                            std::uint32_t capacity) {
  ndr::Writer writer;
  writeHandle(writer, key);
  writeRegistryString(writer, valueName);
  writer.pointer(true);  // type
  writer.u32(0);
  writer.pointer(true);  // data: room for capacity bytes, none sent
  writer.u32(capacity);
  writer.u32(0);
  writer.u32(0);
  writer.pointer(true);  // data_size
  writer.u32(capacity);
  writer.pointer(true);  // data_length
  writer.u32(0);
  return writer.take();
}

std::uint32_t decodeQueryValue(const unsigned char* data, std::size_t size, std::uint32_t capacity,
                               QueryValueReply& reply) {
  reply = {};
  ndr::Reader reader(data, size);
  bool consistent = true;
  const bool hasType = reader.pointer();
  if (hasType) reply.type = reader.u32();
  const bool hasData = reader.pointer();
  std::uint32_t maximum = 0;
  std::uint32_t actual = 0;
  if (hasData) {
    maximum = reader.u32();
    const std::uint32_t offset = reader.u32();
    actual = reader.u32();
    consistent = offset == 0 && actual <= maximum && actual <= capacity;
    // The bytes are taken from the reply before anything is copied, so a count larger than
    // the reply fails here instead of sizing an allocation.
    if (const unsigned char* p = consistent ? reader.take(actual) : nullptr)
      reply.data.assign(p, p + actual);
  }
  const bool hasSize = reader.pointer();
  if (hasSize) reply.dataSize = reader.u32();
  const bool hasLength = reader.pointer();
  const std::uint32_t length = hasLength ? reader.u32() : 0;
  const std::uint32_t werror = reader.u32();
  if (hasData) consistent = consistent && hasSize && maximum == reply.dataSize;
  if (hasData && hasLength) consistent = consistent && actual == length;
  if (werror == 0) consistent = consistent && hasType && hasData && hasLength && hasSize;
  return finishReply(reader, werror, consistent);
}

ndr::Bytes encodeSetValue(const PolicyHandle& key, std::u16string_view valueName,
                          std::uint32_t type, const unsigned char* data, std::uint32_t size) {
  ndr::Writer writer;
  writeHandle(writer, key);
  writeRegistryString(writer, valueName);
  writer.u32(type);
  writer.u32(size);  // the data's conformance: a reference pointer has no referent id
  writer.raw(data, size);
  writer.u32(size);
  return writer.take();
}

ndr::Bytes encodeDeleteValue(const PolicyHandle& key, std::u16string_view valueName) {
  ndr::Writer writer;
  writeHandle(writer, key);
  writeRegistryString(writer, valueName);
  return writer.take();
}

std::uint32_t decodeStatusReply(const unsigned char* data, std::size_t size) {
  ndr::Reader reader(data, size);
  const std::uint32_t werror = reader.u32();
  return finishReply(reader, werror, true);
}

}  // namespace cairn::rpc
