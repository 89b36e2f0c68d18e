// Network management and registry over scripted pipes: which calls go out for each platform
// operation, what the caller gets back, and that a value read never writes past the caller's
// buffer whatever the machine answers.
#include "platform/samba/services.h"

#include <gtest/gtest.h>

#include <cstring>
#include <deque>
#include <ostream>
#include <string>
#include <vector>

#include "platform/samba/rpc_calls.h"
#include "tests/samba/hex.h"

namespace cairn {
namespace {

struct SentCall {
  std::string host;  // empty for a call on an open pipe
  RpcPipe pipe;
  std::uint16_t opnum;
  ndr::Bytes request;
  bool mayConnect;
};

struct Answer {
  std::uint32_t status = 0;
  ndr::Bytes reply;
};

class ScriptedTransport final : public RpcTransport {
 public:
  std::uint32_t call(const std::string& host, RpcPipe pipe, std::uint16_t opnum,
                     const ndr::Bytes& request, ndr::Bytes& reply) override {
    sent.push_back({host, pipe, opnum, request, true});
    return answer(reply);
  }
  std::uint32_t callOpen(RpcPipe pipe, std::uint16_t opnum, const ndr::Bytes& request,
                         ndr::Bytes& reply) override {
    sent.push_back({"", pipe, opnum, request, false});
    return answer(reply);
  }
  void disconnect() override { ++disconnects; }

  std::deque<Answer> answers;
  std::vector<SentCall> sent;
  int disconnects = 0;

 private:
  std::uint32_t answer(ndr::Bytes& reply) {
    if (answers.empty()) return StatusBadNetPath;
    const Answer next = answers.front();
    answers.pop_front();
    reply = next.reply;
    return next.status;
  }
};

constexpr const char* WkstaReply =
    "66 00 00 00 04 00 02 00 f4 01 00 00 08 00 02 00 0c 00 02 00 06 00 00 00 01 00 00 00 "
    "10 00 02 00 00 00 00 00 05 00 00 00 00 00 00 00 05 00 00 00 50 00 43 00 30 00 31 00 "
    "00 00 00 00 07 00 00 00 00 00 00 00 07 00 00 00 4e 00 45 00 57 00 44 00 4f 00 4d 00 "
    "00 00 00 00 01 00 00 00 00 00 00 00 01 00 00 00 00 00 00 00 00 00 00 00";
constexpr const char* ServerReply =
    "66 00 00 00 04 00 02 00 f4 01 00 00 00 00 00 00 06 00 00 00 01 00 00 00 03 9a 80 00 "
    "00 00 00 00 ff ff ff ff 0f 00 00 00 00 00 00 00 f0 00 00 00 b8 0b 00 00 a0 86 01 00 "
    "00 00 00 00 00 00 00 00";
constexpr const char* InfoRefusal = "66 00 00 00 00 00 00 00 05 00 00 00";
constexpr const char* RootHandle = "01 00 00 00 42 82 16 3a 87 1e b3 4c 9a f8 42 4f 0c 29 94 79";
constexpr const char* KeyHandle = "01 00 00 00 dc 12 02 b3 4a ae 57 48 83 73 ff db f4 77 0e 06";

ndr::Bytes handleReply(const char* handle, std::uint32_t werror = 0) {
  ndr::Bytes bytes = bytesOf(handle);
  for (int i = 0; i < 4; ++i) bytes.push_back(static_cast<unsigned char>(werror >> (8 * i)));
  return bytes;
}

rpc::PolicyHandle policyHandle(const char* hex) {
  rpc::PolicyHandle handle;
  const ndr::Bytes bytes = bytesOf(hex);
  std::copy(bytes.begin(), bytes.end(), handle.bytes.begin());
  return handle;
}

// A well-formed QueryValue reply carrying the data.
ndr::Bytes queryReply(std::uint32_t type, const ndr::Bytes& data) {
  ndr::Writer writer;
  const auto length = static_cast<std::uint32_t>(data.size());
  writer.pointer(true);
  writer.u32(type);
  writer.pointer(true);
  writer.u32(length);
  writer.u32(0);
  writer.u32(length);
  writer.raw(data.data(), data.size());
  writer.pointer(true);
  writer.u32(length);
  writer.pointer(true);
  writer.u32(length);
  writer.u32(0);
  return writer.take();
}

// ---- Network management -------------------------------------------------------------------

TEST(RpcNetManagementTest, WorkstationQueryGivesNamesFromTheRecord) {
  ScriptedTransport transport;
  transport.answers.push_back({0, bytesOf(WkstaReply)});
  const auto net = makeRpcNetManagement(transport);
  NetRecord record = nullptr;
  ASSERT_EQ(net->workstationInfo(u"\\\\PC01", &record), 0u);
  ASSERT_EQ(transport.sent.size(), 1u);
  EXPECT_EQ(transport.sent[0].host, "PC01");
  EXPECT_EQ(transport.sent[0].pipe, RpcPipe::Wkssvc);
  EXPECT_EQ(transport.sent[0].opnum, rpc::NetrWkstaGetInfoOpnum);
  EXPECT_EQ(transport.sent[0].request, rpc::encodeNetrWkstaGetInfo(u"\\\\PC01"));
  const WorkstationNames names = net->workstationNames(record);
  ASSERT_NE(names.computerName, nullptr);
  ASSERT_NE(names.langroup, nullptr);
  EXPECT_EQ(std::u16string(names.computerName), u"PC01");
  EXPECT_EQ(std::u16string(names.langroup), u"NEWDOM");
  EXPECT_EQ(transport.disconnects, 0);
  net->freeBuffer(record);
  net->freeBuffer(nullptr);
}

TEST(RpcNetManagementTest, ServerQueryGivesARecordWithoutNames) {
  ScriptedTransport transport;
  transport.answers.push_back({0, bytesOf(ServerReply)});
  const auto net = makeRpcNetManagement(transport);
  NetRecord record = nullptr;
  ASSERT_EQ(net->serverInfo(u"\\\\PC01", &record), 0u);
  EXPECT_EQ(transport.sent.at(0).pipe, RpcPipe::Srvsvc);
  EXPECT_EQ(transport.sent.at(0).opnum, rpc::NetrServerGetInfoOpnum);
  EXPECT_NE(record, nullptr);
  const WorkstationNames names = net->workstationNames(record);
  EXPECT_EQ(names.computerName, nullptr);
  EXPECT_EQ(names.langroup, nullptr);
  net->freeBuffer(record);
}

struct QueryFailureCase {
  const char* name;
  Answer answer;
  std::uint32_t status;
};

void PrintTo(const QueryFailureCase& c, std::ostream* os) {
  *os << c.name;
}

class RpcNetManagementFailureTest : public testing::TestWithParam<QueryFailureCase> {};

// Every failed query leaves no record and drops the connection, so the check run's second
// attempt starts on a fresh one.
TEST_P(RpcNetManagementFailureTest, FailsWithoutRecordAndReconnectsNextTime) {
  for (const bool workstation : {true, false}) {
    ScriptedTransport transport;
    transport.answers.push_back(GetParam().answer);
    const auto net = makeRpcNetManagement(transport);
    NetRecord record = nullptr;
    const std::uint32_t status = workstation ? net->workstationInfo(u"\\\\PC01", &record)
                                             : net->serverInfo(u"\\\\PC01", &record);
    EXPECT_EQ(status, GetParam().status) << workstation;
    EXPECT_EQ(record, nullptr);
    EXPECT_EQ(transport.disconnects, 1);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Failures, RpcNetManagementFailureTest,
    testing::Values(QueryFailureCase{"unreachable", {StatusBadNetPath, {}}, StatusBadNetPath},
                    QueryFailureCase{"timedOut", {1460, {}}, 1460},
                    QueryFailureCase{"accessDenied", {0, bytesOf(InfoRefusal)}, 5},
                    QueryFailureCase{"malformed", {0, bytesOf("66 00 00")}, StatusRpcBadStubData},
                    QueryFailureCase{"emptyReply", {0, {}}, StatusRpcBadStubData}),
    [](const auto& info) { return info.param.name; });

TEST(RpcNetManagementTest, ServerPathThatIsNoHostNameSendsNothing) {
  ScriptedTransport transport;
  const auto net = makeRpcNetManagement(transport);
  NetRecord record = nullptr;
  for (const char16_t* path : {u"\\\\", u"\\\\pc01[sign]", u"\\\\pc 01"})
    EXPECT_EQ(net->workstationInfo(path, &record), StatusBadNetPath);
  EXPECT_TRUE(transport.sent.empty());
}

// ---- Registry ----------------------------------------------------------------------------

class RpcRegistryTest : public testing::Test {
 protected:
  // Connects and opens the key, as the update does.
  void open() {
    transport.answers.push_back({0, handleReply(RootHandle)});
    transport.answers.push_back({0, handleReply(KeyHandle)});
    ASSERT_EQ(registry->connect("\\\\PC01", &root), 0u);
    ASSERT_EQ(registry->openKey(root, "SOFTWARE\\Lab", KeyAllAccess, &key), 0u);
    transport.sent.clear();
  }

  ScriptedTransport transport;
  std::unique_ptr<Registry> registry = makeRpcRegistry(transport);
  RegKey root = 0;
  RegKey key = 0;
};

TEST_F(RpcRegistryTest, ConnectOpensHklmWithMaximumAllowedAndOpenKeyUsesTheRoot) {
  transport.answers.push_back({0, handleReply(RootHandle)});
  transport.answers.push_back({0, handleReply(KeyHandle)});
  ASSERT_EQ(registry->connect("\\\\PC01", &root), 0u);
  ASSERT_EQ(registry->openKey(root, "SOFTWARE\\Lab", KeyAllAccess, &key), 0u);
  EXPECT_NE(root, key);
  ASSERT_EQ(transport.sent.size(), 2u);
  EXPECT_EQ(transport.sent[0].host, "PC01");
  EXPECT_EQ(transport.sent[0].pipe, RpcPipe::Winreg);
  EXPECT_EQ(transport.sent[0].opnum, rpc::OpenHKLMOpnum);
  EXPECT_EQ(hexOf(transport.sent[0].request), "00 00 00 00 00 00 00 02");
  EXPECT_FALSE(transport.sent[1].mayConnect);  // a handle never moves to a new connection
  EXPECT_EQ(transport.sent[1].opnum, rpc::OpenKeyOpnum);
  EXPECT_EQ(transport.sent[1].request,
            rpc::encodeOpenKey(policyHandle(RootHandle), u"SOFTWARE\\Lab", KeyAllAccess));
}

TEST_F(RpcRegistryTest, RefusedOrNullHandlesGiveNoKey) {
  transport.answers.push_back({0, handleReply(RootHandle, 5)});
  EXPECT_EQ(registry->connect("\\\\PC01", &root), 5u);
  transport.answers.push_back({0, handleReply("00000000000000000000000000000000000000 00")});
  EXPECT_EQ(registry->connect("\\\\PC01", &root), StatusRpcBadStubData);
  transport.answers.push_back({StatusBadNetPath, {}});
  EXPECT_EQ(registry->connect("\\\\PC01", &root), StatusBadNetPath);
  EXPECT_EQ(root, 0u);
  EXPECT_EQ(registry->openKey(12345, "SOFTWARE", KeyAllAccess, &key), 6u);
  EXPECT_EQ(transport.sent.size(), 3u);
}

struct ReadCase {
  const char* name;
  Answer answer;
  std::uint32_t bufferSize;
  std::uint32_t status;
  std::string written;      // the bytes at the start of the buffer afterwards
  std::uint32_t sizeAfter;  // *size after the call
};

void PrintTo(const ReadCase& c, std::ostream* os) {
  *os << c.name;
}

class RpcRegistryReadTest : public RpcRegistryTest, public testing::WithParamInterface<ReadCase> {};

using namespace std::string_literals;

const ndr::Bytes OldDom = bytesOf("4f 00 4c 00 44 00 44 00 4f 00 4d 00 00 00");  // "OLDDOM"

TEST_P(RpcRegistryReadTest, WritesAtMostTheBufferSize) {
  open();
  const ReadCase& c = GetParam();
  transport.answers.push_back(c.answer);
  // The buffer is larger than the size passed, so a write past the size would show in it.
  std::vector<unsigned char> buffer(c.bufferSize + 16, 0xAA);
  std::memcpy(buffer.data(), "*ERROR*", std::min<std::size_t>(8, c.bufferSize));
  const std::vector<unsigned char> before = buffer;
  std::uint32_t type = 0;
  std::uint32_t size = c.bufferSize;
  EXPECT_EQ(registry->queryValue(key, "DefaultDomainName", &type, buffer.data(), &size), c.status);
  EXPECT_EQ(size, c.sizeAfter);
  if (c.status == 0) {
    EXPECT_EQ(std::string(buffer.begin(), buffer.begin() + c.written.size()), c.written);
    EXPECT_TRUE(std::equal(buffer.begin() + size, buffer.end(), before.begin() + size));
  } else {
    EXPECT_EQ(buffer, before);  // a failed read leaves the whole buffer alone
  }
  ASSERT_EQ(transport.sent.size(), 1u);
  EXPECT_FALSE(transport.sent[0].mayConnect);
  // Twice the caller's room is asked for: UTF-16 takes at most twice the narrow bytes.
  EXPECT_EQ(transport.sent[0].request,
            rpc::encodeQueryValue(policyHandle(KeyHandle), u"DefaultDomainName", c.bufferSize * 2));
}

INSTANTIATE_TEST_SUITE_P(
    Reads, RpcRegistryReadTest,
    testing::Values(
        ReadCase{"text", {0, queryReply(1, OldDom)}, 1024, 0, "OLDDOM\0"s, 7},
        ReadCase{"textExactlyFits", {0, queryReply(1, OldDom)}, 7, 0, "OLDDOM\0"s, 7},
        // Three narrow bytes for every two on the wire: the wire form fits the request, the
        // narrow form does not fit the buffer.
        ReadCase{"narrowFormOutgrowsBuffer",
                 {0, queryReply(1, bytesOf("ac 20 ac 20 00 00"))},
                 4,
                 234,
                 "",
                 7},
        ReadCase{"narrowFormExactlyFits",
                 {0, queryReply(1, bytesOf("ac 20 ac 20 00 00"))},
                 7,
                 0,
                 "\xe2\x82\xac\xe2\x82\xac\0"s,
                 7},
        ReadCase{
            "expandText", {0, queryReply(2, bytesOf("e9 00 00 00"))}, 1024, 0, "\xc3\xa9\0"s, 3},
        ReadCase{"binaryUnconverted",
                 {0, queryReply(3, bytesOf("01 00 02"))},
                 1024,
                 0,
                 "\x01\0\x02"s,
                 3},
        ReadCase{"binaryTooLong", {0, queryReply(3, bytesOf("01 02 03 04 05"))}, 4, 234, "", 5},
        ReadCase{"serverSaysMoreData",
                 {0, bytesOf("14 00 02 00 01 00 00 00 18 00 02 00 0e 00 00 00 00 00 00 00 00 00 "
                             "00 00 1c 00 02 00 0e 00 00 00 20 00 02 00 00 00 00 00 ea 00 00 00")},
                 4,
                 234,
                 "",
                 14},
        ReadCase{"missingValue",
                 {0, bytesOf("14 00 02 00 00 00 00 00 18 00 02 00 00 00 00 00 00 00 00 00 00 00 "
                             "00 00 1c 00 02 00 00 00 00 00 20 00 02 00 00 00 00 00 02 00 00 00")},
                 1024,
                 2,
                 "",
                 1024},
        ReadCase{"malformed", {0, bytesOf("14 00 02")}, 1024, StatusRpcBadStubData, "", 1024},
        ReadCase{"connectionLost", {1460, {}}, 1024, 1460, "", 1024}),
    [](const auto& info) { return info.param.name; });

TEST_F(RpcRegistryTest, ReplyWithMoreDataThanAskedForIsRejected) {
  open();
  // Room for 4 narrow bytes asks for 8 wire bytes; 14 arrive.
  transport.answers.push_back({0, queryReply(1, OldDom)});
  std::vector<unsigned char> buffer(4, 0xAA);
  std::uint32_t type = 0;
  std::uint32_t size = 4;
  EXPECT_EQ(registry->queryValue(key, "DefaultDomainName", &type, buffer.data(), &size),
            StatusRpcBadStubData);
  EXPECT_EQ(buffer, std::vector<unsigned char>(4, 0xAA));
}

TEST_F(RpcRegistryTest, TextIsWrittenAsUtf16WithItsTerminator) {
  open();
  transport.answers.push_back({0, bytesOf("00 00 00 00")});
  transport.answers.push_back({0, bytesOf("f8 03 00 00")});
  const auto* data = reinterpret_cast<const unsigned char*>("NEWDOM");
  EXPECT_EQ(registry->setValue(key, "DefaultDomainName", RegSz, data, 7), 0u);
  EXPECT_EQ(registry->setValue(key, "AltDefaultDomainName", RegSz, data, 7), 0x3F8u);
  const ndr::Bytes wide = bytesOf("4e 00 45 00 57 00 44 00 4f 00 4d 00 00 00");
  ASSERT_EQ(transport.sent.size(), 2u);
  EXPECT_FALSE(transport.sent[0].mayConnect);
  EXPECT_EQ(transport.sent[0].opnum, rpc::SetValueOpnum);
  EXPECT_EQ(transport.sent[0].request,
            rpc::encodeSetValue(policyHandle(KeyHandle), u"DefaultDomainName", RegSz, wide.data(),
                                static_cast<std::uint32_t>(wide.size())));
}

TEST_F(RpcRegistryTest, CloseSendsCloseKeyOnceAndForgetsTheHandle) {
  open();
  transport.answers.push_back({0, handleReply("0000000000000000000000000000000000000000")});
  registry->closeKey(key);
  registry->closeKey(key);  // already closed: nothing more is sent
  registry->closeKey(0);
  ASSERT_EQ(transport.sent.size(), 1u);
  EXPECT_EQ(transport.sent[0].opnum, rpc::CloseKeyOpnum);
  EXPECT_EQ(transport.sent[0].request, rpc::encodeCloseKey(policyHandle(KeyHandle)));
  std::uint32_t size = 16;
  unsigned char buffer[16];
  EXPECT_EQ(registry->queryValue(key, "DefaultDomainName", nullptr, buffer, &size), 6u);
  EXPECT_EQ(registry->setValue(key, "DefaultDomainName", RegSz, buffer, 1), 6u);
  EXPECT_EQ(transport.sent.size(), 1u);
}

}  // namespace
}  // namespace cairn
