// The Samba backend's services over scripted pipes, byte for byte: the request each platform
// operation sends (as smbd accepted it), the status each reply gives (the PC's own WERROR, or
// StatusRpcBadStubData for a cut, lengthened or inconsistent reply), and what a read hands back
// without ever writing past the caller's buffer, whatever the machine answers. The replies are
// those a Samba 4.17 smbd sent to these requests, and the hostile ones are made from them.
#include "platform/samba/services.h"

#include <gtest/gtest.h>

#include <deque>
#include <ostream>
#include <string>
#include <tuple>
#include <vector>

#include "platform/common/utf.h"
#include "platform/samba/backends.h"
#include "platform/samba/rpc_calls.h"

namespace cairn {
namespace {

using namespace std::string_literals;

ndr::Bytes bytesOf(std::string_view hex) {
  ndr::Bytes bytes;
  for (std::size_t i = 0; i + 1 < hex.size(); i += hex[i] == ' ' ? 1 : 2)
    if (hex[i] != ' ') bytes.push_back(std::stoi(std::string(hex.substr(i, 2)), nullptr, 16));
  return bytes;
}

// The bytes with the four at offset replaced by a little-endian value.
ndr::Bytes patched(ndr::Bytes bytes, std::size_t offset, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) bytes.at(offset + i) = static_cast<unsigned char>(value >> (8 * i));
  return bytes;
}

// NetrWkstaGetInfo 102: PC01 in NEWDOM, empty lanroot; and the same without the name.
const ndr::Bytes Wksta = bytesOf(
    "66 00 00 00 04 00 02 00 f4 01 00 00 08 00 02 00 0c 00 02 00 06 00 00 00 01 00 00 00 10 00 "
    "02 00 00 00 00 00 05 00 00 00 00 00 00 00 05 00 00 00 50 00 43 00 30 00 31 00 00 00 00 00 "
    "07 00 00 00 00 00 00 00 07 00 00 00 4e 00 45 00 57 00 44 00 4f 00 4d 00 00 00 00 00 01 00 "
    "00 00 00 00 00 00 01 00 00 00 00 00 00 00 00 00 00 00");
const ndr::Bytes WkstaWithoutName = bytesOf(
    "66 00 00 00 04 00 02 00 f4 01 00 00 00 00 00 00 0c 00 02 00 06 00 00 00 01 00 00 00 10 00 "
    "02 00 00 00 00 00 07 00 00 00 00 00 00 00 07 00 00 00 4e 00 45 00 57 00 44 00 4f 00 4d 00 "
    "00 00 00 00 01 00 00 00 00 00 00 00 01 00 00 00 00 00 00 00 00 00 00 00");
// NetrServerGetInfo 102: PC01, comment "Samba 4.17.12-Debian", userpath "C:\".
const ndr::Bytes Server = bytesOf(
    "66 00 00 00 04 00 02 00 f4 01 00 00 08 00 02 00 06 00 00 00 01 00 00 00 03 9a 80 00 0c 00 "
    "02 00 ff ff ff ff 0f 00 00 00 00 00 00 00 f0 00 00 00 b8 0b 00 00 a0 86 01 00 10 00 02 00 "
    "05 00 00 00 00 00 00 00 05 00 00 00 50 00 43 00 30 00 31 00 00 00 00 00 15 00 00 00 00 00 "
    "00 00 15 00 00 00 53 00 61 00 6d 00 62 00 61 00 20 00 34 00 2e 00 31 00 37 00 2e 00 31 00 "
    "32 00 2d 00 44 00 65 00 62 00 69 00 61 00 6e 00 00 00 00 00 04 00 00 00 00 00 00 00 04 00 "
    "00 00 43 00 3a 00 5c 00 00 00 00 00 00 00");
// Either level-102 query refused: null record, WERR_ACCESS_DENIED.
const ndr::Bytes InfoRefusal = bytesOf("66 00 00 00 00 00 00 00 05 00 00 00");
// Handles of OpenHKLM and OpenKey; CloseKey and a refused open answer a null one.
constexpr const char* RootHandle = "01 00 00 00 42 82 16 3a 87 1e b3 4c 9a f8 42 4f 0c 29 94 79";
constexpr const char* KeyHandle = "01 00 00 00 dc 12 02 b3 4a ae 57 48 83 73 ff db f4 77 0e 06";
constexpr const char* NullHandle = "00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00";
// QueryValue of "OLDDOM" (REG_SZ, 14 bytes) with room for 2048 bytes; with room for 4 bytes
// (WERR_MORE_DATA and the size needed); of a value that does not exist (WERR_FILE_NOT_FOUND); and
// a reply without a data pointer.
const ndr::Bytes Query = bytesOf(
    "14 00 02 00 01 00 00 00 18 00 02 00 0e 00 00 00 00 00 00 00 0e 00 00 00 4f 00 4c 00 44 00 "
    "44 00 4f 00 4d 00 00 00 00 00 1c 00 02 00 0e 00 00 00 20 00 02 00 0e 00 00 00 00 00 00 00");
const ndr::Bytes QueryMoreData = bytesOf(
    "14 00 02 00 01 00 00 00 18 00 02 00 0e 00 00 00 00 00 00 00 00 00 00 00 1c 00 02 00 0e 00 "
    "00 00 20 00 02 00 00 00 00 00 ea 00 00 00");
const ndr::Bytes QueryMissing = bytesOf(
    "14 00 02 00 00 00 00 00 18 00 02 00 00 00 00 00 00 00 00 00 00 00 00 00 1c 00 02 00 00 00 "
    "00 00 20 00 02 00 00 00 00 00 02 00 00 00");

const ndr::Bytes QueryWithoutData = bytesOf(
    "14 00 02 00 01 00 00 00 00 00 00 00 1c 00 02 00 00 00 00 00 20 00 02 00 00 00 00 00 00 00 "
    "00 00");

ndr::Bytes handleReply(const char* handle, std::uint32_t werror = 0) {
  return patched(bytesOf(std::string(handle) + " 00 00 00 00"), 20, werror);
}

struct Answer {
  std::uint32_t status = 0;
  ndr::Bytes reply;
};

Answer ok(ndr::Bytes reply) {
  return {0, std::move(reply)};
}

// A well-formed QueryValue reply carrying the data.
Answer queryReply(std::uint32_t type, const char* hex) {
  const ndr::Bytes data = bytesOf(hex);
  const auto length = static_cast<std::uint32_t>(data.size());
  ndr::Writer writer;
  for (const std::uint32_t field : {ndr::ReferentId, type, ndr::ReferentId, length, 0u, length})
    writer.u32(field);
  writer.raw(data.data(), data.size());
  for (const std::uint32_t field : {ndr::ReferentId, length, ndr::ReferentId, length, 0u})
    writer.u32(field);
  return ok(writer.take());
}

// Every call is recorded with its host, which is empty for a call on a pipe that must already be
// open: a registry handle must never move to a new connection.
class ScriptedTransport final : public RpcTransport {
 public:
  std::uint32_t call(const std::string& host, RpcPipe, std::uint16_t, const ndr::Bytes& request,
                     ndr::Bytes& reply) override {
    hosts.push_back(host);
    requests.push_back(request);
    if (answers.empty()) return StatusBadNetPath;
    reply = answers.front().reply;
    const std::uint32_t status = answers.front().status;
    answers.pop_front();
    return status;
  }
  std::uint32_t callOpen(RpcPipe pipe, std::uint16_t opnum, const ndr::Bytes& request,
                         ndr::Bytes& reply) override {
    return call("", pipe, opnum, request, reply);
  }
  void disconnect() override { ++disconnects; }

  std::deque<Answer> answers;
  std::vector<std::string> hosts;
  std::vector<ndr::Bytes> requests;
  int disconnects = 0;
};

struct Backend {
  // Connects and opens a key as the update does, then forgets the calls that took.
  void open() {
    transport.answers = {ok(handleReply(RootHandle)), ok(handleReply(KeyHandle))};
    EXPECT_EQ(registry->connect("\\\\PC01", &root), 0u);
    EXPECT_EQ(registry->openKey(root, "A\\B", KeyAllAccess, &key), 0u);
    transport = {};
  }

  ScriptedTransport transport;
  std::unique_ptr<NetManagement> net = makeRpcNetManagement(transport);
  std::unique_ptr<Registry> registry = makeRpcRegistry(transport);
  RegKey root = 0;
  RegKey key = 0;
  std::string result;  // what the last operation gave the caller
};

enum class Op { Wksta, Server, Connect, OpenKey, Query, Set, Delete, Close };

struct ReplyCase {
  const char* name;
  Op op;
  Answer answer;
  std::uint32_t status;
  std::string request = {};  // the request sent, where it matters
  // What the caller gets: a workstation record's computer name, or the bytes a read writes.
  std::string result = {};
  std::uint32_t room = 1024;  // the size a read passes
  std::uint32_t size = 0;     // the size a read gives back, when not that of result or room
};

void PrintTo(const ReplyCase& c, std::ostream* os) {
  *os << c.name;
}

class ReplyTest : public testing::TestWithParam<ReplyCase> {};

// One operation, given one answer; those after Connect on a freshly opened key. A query leaves a
// record exactly when it succeeds, and drops the connection when it fails, so that the check
// run's second attempt starts on a fresh one. A read writes its result and not a byte more: the
// buffer is larger than the size passed, so a write past the size would show in it.
std::uint32_t run(Backend& b, const ReplyCase& c) {
  if (c.op > Op::Connect) b.open();
  b.transport.answers = {c.answer};
  NetRecord record = nullptr;
  std::vector<unsigned char> data(c.room + 16, 0xAA);
  const std::vector<unsigned char> before = data;
  std::uint32_t size = c.room;
  std::uint32_t status = 0;
  if (c.op == Op::Wksta) status = b.net->workstationInfo(u"\\\\PC01", &record);
  if (c.op == Op::Server) status = b.net->serverInfo(u"\\\\PC01", &record);
  if (c.op == Op::Connect) status = b.registry->connect("\\\\PC01", &b.root);
  if (c.op == Op::OpenKey) status = b.registry->openKey(b.root, "A\\\u20ac", KeyAllAccess, &b.key);
  if (c.op == Op::Query) status = b.registry->queryValue(b.key, "V", nullptr, data.data(), &size);
  if (c.op == Op::Set) status = b.registry->setValue(b.key, "V", RegSz, bytesOf("4e 00").data(), 2);
  if (c.op == Op::Delete) status = b.registry->deleteValue(b.key, "V");
  if (c.op == Op::Close) b.registry->closeKey(b.key);
  EXPECT_EQ(b.transport.hosts, std::vector<std::string>{c.op > Op::Connect ? "" : "PC01"});
  if (c.op <= Op::Server) {
    EXPECT_EQ(record != nullptr, status == 0);
    EXPECT_EQ(b.transport.disconnects, status == 0 ? 0 : 1);
    const char16_t* name = b.net->workstationNames(record).computerName;
    if (name != nullptr) b.result = utf16ToUtf8(name);
    b.net->freeBuffer(record);
  }
  if (c.op == Op::Query) {
    const std::size_t written = status == 0 ? size : 0;  // a failed read writes nothing
    b.result.assign(data.begin(), data.begin() + written);
    EXPECT_TRUE(std::equal(data.begin() + written, data.end(), before.begin() + written));
    EXPECT_EQ(size, c.size != 0 ? c.size : status == 0 ? c.result.size() : c.room);
  }
  return status;
}

TEST_P(ReplyTest, SendsTheRequestAndGivesTheRepliesStatus) {
  const ReplyCase& c = GetParam();
  Backend backend;
  EXPECT_EQ(run(backend, c), c.status);
  EXPECT_EQ(backend.result, c.result);
  const ndr::Bytes& sent = backend.transport.requests.at(0);
  EXPECT_EQ(sent, c.request.empty() ? sent : bytesOf(c.request));  // unchecked without one
}

constexpr std::uint32_t Bad = StatusRpcBadStubData;
const std::string InfoRequest =
    "00 00 02 00 07 00 00 00 00 00 00 00 07 00 00 00 5c 00 5c 00 50 00 43 00 30 00 31 00 "
    "00 00 00 00 66 00 00 00";
const std::string ValueName = std::string(KeyHandle) +
                              " 04 00 04 00 00 00 02 00 02 00 00 00 00 00 00 00 02 00 00 00 "
                              "56 00 00 00 ";
const char* const OldDom = "4f 00 4c 00 44 00 44 00 4f 00 4d 00 00 00";
const char* const TwoEuros = "ac 20 ac 20 00 00";  // three narrow bytes for every two

const ReplyCase Replies[] = {
    {"wksta", Op::Wksta, ok(Wksta), 0, InfoRequest, "PC01"},
    {"wkstaNameStopsAtZero", Op::Wksta, ok(patched(Wksta, 48, 0x20AC)), 0, "", "\u20ac"},
    {"wkstaWithoutName", Op::Wksta, ok(WkstaWithoutName), 0},
    {"wkstaRefusal", Op::Wksta, ok(InfoRefusal), 5},
    {"wkstaRefused", Op::Wksta, {StatusConnectionRefused, {}}, 1225},
    {"wkstaTimedOut", Op::Wksta, {StatusTimeout, {}}, 1460},
    {"wkstaEmpty", Op::Wksta, ok({}), Bad},
    {"wkstaOtherLevel", Op::Wksta, ok(patched(Wksta, 0, 101)), Bad},
    {"wkstaNullRecordWithSuccess", Op::Wksta, ok(patched(InfoRefusal, 8, 0)), Bad},
    {"wkstaNameCountHuge", Op::Wksta, ok(patched(Wksta, 44, 0x7FFFFFFF)), Bad},
    {"wkstaNameCountAboveMaximum", Op::Wksta, ok(patched(Wksta, 44, 6)), Bad},
    {"wkstaNameOffset", Op::Wksta, ok(patched(Wksta, 40, 1)), Bad},
    {"wkstaLanrootPointerDropped", Op::Wksta, ok(patched(Wksta, 28, 0)), Bad},
    {"server", Op::Server, ok(Server), 0, InfoRequest},  // a server record has no names
    {"serverRefusal", Op::Server, ok(InfoRefusal), 5},
    {"serverTimedOut", Op::Server, {StatusTimeout, {}}, 1460},
    {"serverOtherLevel", Op::Server, ok(patched(Server, 0, 100)), Bad},
    {"serverCommentOffset", Op::Server, ok(patched(Server, 88, 2)), Bad},
    // Maximum and actual count agree but claim far more units than the reply holds.
    {"serverCommentCountsHuge", Op::Server,
     ok(patched(patched(Server, 84, 0xFFFFFFFF), 92, 0xFFFFFFFF)), Bad},
    // OpenHKLM asks for MAXIMUM_ALLOWED.
    {"openHklm", Op::Connect, ok(handleReply(RootHandle)), 0, "00 00 00 00 00 00 00 02"},
    {"openHklmRefusal", Op::Connect, ok(handleReply(RootHandle, 5)), 5},
    {"openHklmNullHandle", Op::Connect, ok(handleReply(NullHandle)), Bad},
    {"openKey", Op::OpenKey, ok(handleReply(KeyHandle)), 0,
     std::string(RootHandle) + " 08 00 08 00 00 00 02 00 04 00 00 00 00 00 00 00 04 00 00 00 "
                               "41 00 5c 00 ac 20 00 00 00 00 00 00 3f 00 0f 00"},
    {"openKeyMissing", Op::OpenKey, ok(handleReply(NullHandle, 2)), 2},
    // Twice the caller's room is asked for: UTF-16 takes at most twice the narrow bytes.
    {"query", Op::Query, ok(Query), 0,
     ValueName + "00 00 02 00 00 00 00 00 00 00 02 00 00 08 00 00 00 00 00 00 00 00 00 00 00 00 "
                 "02 00 00 08 00 00 00 00 02 00 00 00 00 00",
     "OLDDOM\0"s},
    {"queryFits", Op::Query, queryReply(1, OldDom), 0, "", "OLDDOM\0"s, 7},
    {"queryNarrowFormOutgrowsRoom", Op::Query, queryReply(1, TwoEuros), 234, "", "", 4, 7},
    {"queryNarrowFormFits", Op::Query, queryReply(1, TwoEuros), 0, "", "\u20ac\u20ac\0"s, 7},
    {"queryExpandText", Op::Query, queryReply(2, "80 00 00 08 00 00"), 0, "", "\u0080\u0800\0"s},
    {"queryMultiString", Op::Query, queryReply(7, "41 00 00 00 42 00 00 00 00 00"), 0, "",
     "A\0B\0\0"s},
    {"querySurrogatePairs", Op::Query, queryReply(1, "00 d8 00 dc ff db ff df"), 0, "",
     "\U00010000\U0010FFFF"},
    {"queryLoneSurrogate", Op::Query, queryReply(1, "00 d8 00 e0 00 00"), 0, "", "\ufffd\ue000\0"s},
    {"queryOddLastByte", Op::Query, queryReply(1, "41 00 42"), 0, "", "A"},
    {"queryBinary", Op::Query, queryReply(3, "01 00 02"), 0, "", "\x01\0\x02"s},
    {"queryBinaryOutgrowsRoom", Op::Query, queryReply(3, "01 02 03 04 05"), 234, "", "", 4, 5},
    {"queryMoreData", Op::Query, ok(QueryMoreData), 234, "", "", 4, 14},
    // Room for 4 narrow bytes asks for 8 wire bytes; a reply with 14 is not trusted at all.
    {"queryMoreThanAskedFor", Op::Query, queryReply(1, OldDom), Bad, "", "", 4},
    {"queryMissing", Op::Query, ok(QueryMissing), 2},
    {"queryOffset", Op::Query, ok(patched(Query, 16, 2)), Bad},
    {"queryCountHuge", Op::Query, ok(patched(Query, 20, 0xFFFFFFF0)), Bad},
    {"queryLengthDisagrees", Op::Query, ok(patched(Query, 52, 12)), Bad},
    {"querySizeDisagrees", Op::Query, ok(patched(Query, 44, 16)), Bad},
    {"queryCountsHuge", Op::Query,
     ok(patched(patched(patched(Query, 12, 0x3FFFFFF), 20, 0x3FFFFFF), 44, 0x3FFFFFF)), Bad},
    {"querySuccessWithoutData", Op::Query, ok(QueryWithoutData), Bad},
    {"queryMissingWithoutData", Op::Query, ok(patched(patched(QueryWithoutData, 24, 5), 28, 2)), 2},
    {"set", Op::Set, ok(bytesOf("00 00 00 00")), 0,
     ValueName + "01 00 00 00 04 00 00 00 4e 00 00 00 04 00 00 00"},
    {"setRefusal", Op::Set, ok(bytesOf("f8 03 00 00")), 0x3F8},
    {"delete", Op::Delete, ok(bytesOf("00 00 00 00")), 0, ValueName},
    {"deleteMissing", Op::Delete, ok(bytesOf("02 00 00 00")), 2},
    {"deleteRefused", Op::Delete, {StatusTimeout, {}}, 1460},
    {"close", Op::Close, ok(handleReply(NullHandle)), 0, KeyHandle}};

INSTANTIATE_TEST_SUITE_P(Replies, ReplyTest, testing::ValuesIn(Replies),
                         [](const auto& info) { return info.param.name; });

// A reply that decodes, cut anywhere or lengthened, is malformed. Each cut is a copy of exactly
// the prefix, so that a read past it is a real out-of-bounds read, which the sanitizer builds
// report.
TEST(ReplyShapeTest, RejectsEveryCutAndEveryTrailingByte) {
  for (const ReplyCase& c : Replies) {
    if (c.status == Bad || c.answer.status != 0 || c.op == Op::Close) continue;
    for (std::size_t length = 0; length < c.answer.reply.size() + 8; ++length) {
      if (length == c.answer.reply.size()) continue;
      ReplyCase changed{c.name, c.op, c.answer, Bad, "", "", c.room, c.room};
      changed.answer.reply.resize(length);
      Backend backend;
      EXPECT_EQ(run(backend, changed), Bad) << c.name << " of length " << length;
    }
  }
}

// The name may come from whoever controls a PTR record, and Samba's binding strings give '[',
// ']', ',', ':' and '=' meanings of their own: such a name fails like an unknown host.
// A string sent without its terminating unit ends with its last unit, never with the bytes
// that follow it: here PC01's name as four units, the domain's string right after them.
TEST(ReplyShapeTest, StringWithoutTerminatorEndsWithItsLastUnit) {
  ndr::Bytes reply = Wksta;
  constexpr std::size_t Name = 36;  // the name's maximum count; its units follow at 48
  reply.erase(reply.begin() + Name + 20, reply.begin() + Name + 24);  // terminator, padding
  reply = patched(patched(reply, Name, 4), Name + 8, 4);
  rpc::WkstaInfo102 info;
  ASSERT_EQ(rpc::decodeNetrWkstaGetInfo(reply.data(), reply.size(), info), 0u);
  EXPECT_EQ(info.computerName, u"PC01");
  EXPECT_EQ(info.langroup, u"NEWDOM");
}

TEST(ServerPathTest, ReachesTheHostOrNothing) {
  Backend backend;
  for (const std::string& path :
       {"\\\\"s, "\\\\pc01[sign,seal]"s, "\\\\ncalrpc:pc01"s, "\\\\pc01=x"s, "\\\\pc 01"s,
        "\\\\pc01\\share"s, "\\\\BAD\x1b]0;OWNED\aNAME"s, "\\\\pc01\0x"s, "\\\\PC\xc3\xa9"s})
    EXPECT_EQ(backend.registry->connect(path, &backend.root), StatusBadNetPath) << path;
  EXPECT_TRUE(backend.transport.hosts.empty());
  for (const char* path : {"PC01", "\\\\Zz-09_Aa.corp"})
    EXPECT_EQ(backend.registry->connect(path, &backend.root), StatusBadNetPath);  // no answer
  EXPECT_EQ(backend.transport.hosts, (std::vector<std::string>{"PC01", "Zz-09_Aa.corp"}));
}

// Text is written as UTF-16 with its terminators; other data as it is.
const std::tuple<std::uint32_t, std::string, const char*> Writes[] = {
    {RegSz, "", ""},
    {RegMultiSz, "A\0\u00e9\0\0"s, "41 00 00 00 e9 00 00 00 00 00"},
    {RegExpandSz, "\U0010FFFF", "ff db ff df"},
    // Overlong, a surrogate's code point, and past U+10FFFF.
    {RegSz, "\xc1\x81\xed\xa0\x80\xf4\x90\x80\x80", "fd ff fd ff fd ff"},
    {3, "\x01\0\x02"s, "01 00 02"}};

TEST(WriteTest, SendsTextAsUtf16) {
  rpc::PolicyHandle key;
  const ndr::Bytes keyReply = handleReply(KeyHandle);
  rpc::decodeHandleReply(keyReply.data(), keyReply.size(), key);
  for (const auto& [type, narrow, wire] : Writes) {
    Backend backend;
    backend.open();
    backend.transport.answers = {ok(bytesOf("00 00 00 00"))};
    const auto* data = reinterpret_cast<const unsigned char*>(narrow.data());
    EXPECT_EQ(backend.registry->setValue(backend.key, "V", type, data, narrow.size()), 0u);
    const ndr::Bytes expected = bytesOf(wire);
    EXPECT_EQ(backend.transport.requests.at(0),
              rpc::encodeSetValue(key, u"V", type, expected.data(), expected.size()))
        << wire;
  }
}

TEST(KeyHandleTest, AClosedOrUnknownKeyIsAnInvalidHandle) {
  Backend backend;
  EXPECT_EQ(run(backend, Replies[std::size(Replies) - 1]), 0u);  // closes the key
  backend.registry->closeKey(backend.key);  // already closed: nothing more is sent
  unsigned char buffer[16];
  std::uint32_t size = sizeof buffer;
  Registry& registry = *backend.registry;
  EXPECT_EQ(registry.queryValue(backend.key, "V", nullptr, buffer, &size), StatusInvalidHandle);
  EXPECT_EQ(registry.setValue(backend.key, "V", RegSz, buffer, 1), StatusInvalidHandle);
  EXPECT_EQ(registry.openKey(12345, "A", KeyAllAccess, &backend.key), StatusInvalidHandle);
  EXPECT_EQ(registry.queryValue(backend.root, "V", nullptr, buffer, nullptr),
            StatusInvalidParameter);
  EXPECT_EQ(backend.transport.requests.size(), 1u);
}

// What a module's transport was asked for, through a table of plain functions as a loaded
// module gives it; its pipes open with openStatus and answer every call with Wksta.
struct ModuleCalls {
  bool makesSession = true;
  std::uint32_t openStatus = 0;
  int creates = 0;
  int destroys = 0;
  int disconnects = 0;
  int repliesFreed = 0;
} moduleCalls;

const CairnSambaModule FakeModule{
    CAIRN_SAMBA_MODULE_VERSION,
    [](int) {
      ++moduleCalls.creates;
      return moduleCalls.makesSession ? reinterpret_cast<CairnSession*>(&moduleCalls) : nullptr;
    },
    [](CairnSession*) { ++moduleCalls.destroys; },
    [](CairnSession*, const char*, CairnPipe, unsigned, unsigned) {
      return moduleCalls.openStatus;
    },
    [](CairnSession*, CairnPipe, std::uint16_t, const std::uint8_t*, std::size_t,
       std::uint8_t** reply, std::size_t* length, unsigned) -> std::uint32_t {
      *reply = new std::uint8_t[Wksta.size()];
      *length = Wksta.size();
      std::copy(Wksta.begin(), Wksta.end(), *reply);
      return 0;
    },
    [](std::uint8_t* reply) {
      ++moduleCalls.repliesFreed;
      delete[] reply;
    },
    [](CairnSession*) { ++moduleCalls.disconnects; }};

// One session, made on first use and kept; a module that cannot make one is not asked again.
// A failed query drops the session's connection; every reply goes back to the module, and the
// session with the services.
TEST(SambaBackendsTest, MakeOneSessionOnFirstUse) {
  struct Case {
    bool makesSession;
    std::uint32_t openStatus;
    Status status;  // of each of two queries
    int destroys, disconnects, repliesFreed;
  };
  for (const Case& c : std::initializer_list<Case>{
           {true, 0, StatusSuccess, 1, 0, 2},
           {true, StatusBadNetPath, StatusBadNetPath, 1, 2, 0},
           {false, 0, StatusModNotFound, 0, 0, 0},
       }) {
    moduleCalls = {c.makesSession, c.openStatus};
    {
      const auto backends = makeSambaBackends(FakeModule);
      for (int query = 0; query < 2; ++query) {
        NetRecord record = nullptr;
        EXPECT_EQ(backends->netManagement().workstationInfo(u"\\\\PC01", &record), c.status);
        backends->netManagement().freeBuffer(record);
      }
    }
    const ModuleCalls& calls = moduleCalls;
    EXPECT_EQ(std::tuple(calls.creates, calls.destroys, calls.disconnects, calls.repliesFreed),
              std::tuple(1, c.destroys, c.disconnects, c.repliesFreed))
        << c.status;
  }
}

}  // namespace
}  // namespace cairn
