// Request encoders and reply decoders of the seven calls, byte for byte. The reply fixtures are
// replies that a Samba 4.17 smbd sent to these very requests; the hostile cases are those
// replies cut short, lengthened or made inconsistent.
#include "platform/samba/rpc_calls.h"

#include <gtest/gtest.h>

#include <functional>
#include <ostream>
#include <string>

#include "tests/samba/hex.h"

namespace cairn::rpc {
namespace {

// NetrWkstaGetInfo 102 of PC01 in NEWDOM, langroup NEWDOM, empty lanroot.
constexpr const char* WkstaReply =
    "66 00 00 00 04 00 02 00 f4 01 00 00 08 00 02 00 0c 00 02 00 06 00 00 00 01 00 00 00 "
    "10 00 02 00 00 00 00 00 05 00 00 00 00 00 00 00 05 00 00 00 50 00 43 00 30 00 31 00 "
    "00 00 00 00 07 00 00 00 00 00 00 00 07 00 00 00 4e 00 45 00 57 00 44 00 4f 00 4d 00 "
    "00 00 00 00 01 00 00 00 00 00 00 00 01 00 00 00 00 00 00 00 00 00 00 00";

// The same record with a null computer-name pointer and so without its string.
constexpr const char* WkstaReplyWithoutName =
    "66 00 00 00 04 00 02 00 f4 01 00 00 00 00 00 00 0c 00 02 00 06 00 00 00 01 00 00 00 "
    "10 00 02 00 00 00 00 00 07 00 00 00 00 00 00 00 07 00 00 00 4e 00 45 00 57 00 44 00 "
    "4f 00 4d 00 00 00 00 00 01 00 00 00 00 00 00 00 01 00 00 00 00 00 00 00 00 00 00 00";

// A refusal: level 102, null record, WERR_ACCESS_DENIED.
constexpr const char* InfoRefusal = "66 00 00 00 00 00 00 00 05 00 00 00";

// NetrServerGetInfo 102: PC01, comment "Samba 4.17.12-Debian", userpath "C:\".
constexpr const char* ServerReply =
    "66 00 00 00 04 00 02 00 f4 01 00 00 08 00 02 00 06 00 00 00 01 00 00 00 03 9a 80 00 "
    "0c 00 02 00 ff ff ff ff 0f 00 00 00 00 00 00 00 f0 00 00 00 b8 0b 00 00 a0 86 01 00 "
    "10 00 02 00 05 00 00 00 00 00 00 00 05 00 00 00 50 00 43 00 30 00 31 00 00 00 00 00 "
    "15 00 00 00 00 00 00 00 15 00 00 00 53 00 61 00 6d 00 62 00 61 00 20 00 34 00 2e 00 "
    "31 00 37 00 2e 00 31 00 32 00 2d 00 44 00 65 00 62 00 69 00 61 00 6e 00 00 00 00 00 "
    "04 00 00 00 00 00 00 00 04 00 00 00 43 00 3a 00 5c 00 00 00 00 00 00 00";

constexpr const char* HandleBytes = "01 00 00 00 42 82 16 3a 87 1e b3 4c 9a f8 42 4f 0c 29 94 79";
constexpr const char* HandleReply =
    "01 00 00 00 42 82 16 3a 87 1e b3 4c 9a f8 42 4f 0c 29 94 79 00 00 00 00";
// OpenKey of a missing key: null handle, WERR_FILE_NOT_FOUND.
constexpr const char* HandleRefusal =
    "00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 02 00 00 00";

// QueryValue of "OLDDOM" (REG_SZ, 14 bytes) with room for 2048 bytes.
constexpr const char* QueryReply =
    "14 00 02 00 01 00 00 00 18 00 02 00 0e 00 00 00 00 00 00 00 0e 00 00 00 4f 00 4c 00 "
    "44 00 44 00 4f 00 4d 00 00 00 00 00 1c 00 02 00 0e 00 00 00 20 00 02 00 0e 00 00 00 "
    "00 00 00 00";
// The same value with room for 4 bytes: WERR_MORE_DATA and the size needed.
constexpr const char* QueryMoreData =
    "14 00 02 00 01 00 00 00 18 00 02 00 0e 00 00 00 00 00 00 00 00 00 00 00 1c 00 02 00 "
    "0e 00 00 00 20 00 02 00 00 00 00 00 ea 00 00 00";
// A value that does not exist: WERR_FILE_NOT_FOUND.
constexpr const char* QueryMissing =
    "14 00 02 00 00 00 00 00 18 00 02 00 00 00 00 00 00 00 00 00 00 00 00 00 1c 00 02 00 "
    "00 00 00 00 20 00 02 00 00 00 00 00 02 00 00 00";

PolicyHandle handleOf(const char* hex) {
  PolicyHandle handle;
  const ndr::Bytes bytes = bytesOf(hex);
  std::copy(bytes.begin(), bytes.end(), handle.bytes.begin());
  return handle;
}

// ---- Encoders ----------------------------------------------------------------------------

struct EncoderCase {
  const char* name;
  std::function<ndr::Bytes()> encode;
  std::string expected;
};

void PrintTo(const EncoderCase& c, std::ostream* os) {
  *os << c.name;
}

class EncoderTest : public testing::TestWithParam<EncoderCase> {};

TEST_P(EncoderTest, EncodesTheRequestAsSmbdAcceptsIt) {
  EXPECT_EQ(hexOf(GetParam().encode()), hexOf(bytesOf(GetParam().expected)));
}

const unsigned char OddData[] = {0x41, 0x42, 0x43};
const unsigned char TextData[] = {0x4e, 0x00, 0x00, 0x00};

INSTANTIATE_TEST_SUITE_P(
    Requests, EncoderTest,
    testing::Values(
        EncoderCase{"wkstaGetInfo", [] { return encodeNetrWkstaGetInfo(u"\\\\PC01"); },
                    "00 00 02 00 07 00 00 00 00 00 00 00 07 00 00 00 5c 00 5c 00 50 00 43 00 "
                    "30 00 31 00 00 00 00 00 66 00 00 00"},
        EncoderCase{"serverGetInfo", [] { return encodeNetrServerGetInfo(u"\\\\AB"); },
                    "00 00 02 00 05 00 00 00 00 00 00 00 05 00 00 00 5c 00 5c 00 41 00 42 00 "
                    "00 00 00 00 66 00 00 00"},
        EncoderCase{"openHklmMaximumAllowed", [] { return encodeOpenHKLM(0x02000000); },
                    "00 00 00 00 00 00 00 02"},
        EncoderCase{"openKey",
                    [] { return encodeOpenKey(handleOf(HandleBytes), u"A\\B", 0xF003F); },
                    std::string(HandleBytes) +
                        " 08 00 08 00 00 00 02 00 04 00 00 00 00 00 00 00 04 00 00 00 41 00 5c 00 "
                        "42 00 00 00 00 00 00 00 3f 00 0f 00"},
        EncoderCase{"queryValue",
                    [] { return encodeQueryValue(handleOf(HandleBytes), u"V", 2048); },
                    std::string(HandleBytes) +
                        " 04 00 04 00 00 00 02 00 02 00 00 00 00 00 00 00 02 00 00 00 56 00 00 00 "
                        "00 00 02 00 00 00 00 00 00 00 02 00 00 08 00 00 00 00 00 00 00 00 00 00 "
                        "00 00 02 00 00 08 00 00 00 00 02 00 00 00 00 00"},
        EncoderCase{"setValueText",
                    [] { return encodeSetValue(handleOf(HandleBytes), u"V", 1, TextData, 4); },
                    std::string(HandleBytes) +
                        " 04 00 04 00 00 00 02 00 02 00 00 00 00 00 00 00 02 00 00 00 56 00 00 00 "
                        "01 00 00 00 04 00 00 00 4e 00 00 00 04 00 00 00"},
        EncoderCase{"setValuePadsOddData",
                    [] { return encodeSetValue(handleOf(HandleBytes), u"V", 3, OddData, 3); },
                    std::string(HandleBytes) +
                        " 04 00 04 00 00 00 02 00 02 00 00 00 00 00 00 00 02 00 00 00 56 00 00 00 "
                        "03 00 00 00 03 00 00 00 41 42 43 00 03 00 00 00"},
        EncoderCase{"closeKey", [] { return encodeCloseKey(handleOf(HandleBytes)); }, HandleBytes}),
    [](const auto& info) { return info.param.name; });

// ---- Decoders: status of every reply form -------------------------------------------------

using Decoder = std::function<std::uint32_t(const ndr::Bytes&)>;

const Decoder DecodeWksta = [](const ndr::Bytes& b) {
  WkstaInfo102 info;
  return decodeNetrWkstaGetInfo(b.data(), b.size(), info);
};
const Decoder DecodeServer = [](const ndr::Bytes& b) {
  ServerInfo102 info;
  return decodeNetrServerGetInfo(b.data(), b.size(), info);
};
const Decoder DecodeHandle = [](const ndr::Bytes& b) {
  PolicyHandle handle;
  return decodeHandleReply(b.data(), b.size(), handle);
};
const Decoder DecodeQuery = [](const ndr::Bytes& b) {
  QueryValueReply reply;
  return decodeQueryValue(b.data(), b.size(), 2048, reply);
};
const Decoder DecodeStatus = [](const ndr::Bytes& b) {
  return decodeStatusReply(b.data(), b.size());
};

// Replaces the four bytes at offset with a little-endian value.
std::string patched(const char* hex, std::size_t offset, std::uint32_t value) {
  ndr::Bytes bytes = bytesOf(hex);
  for (int i = 0; i < 4; ++i) bytes.at(offset + i) = static_cast<unsigned char>(value >> (8 * i));
  return hexOf(bytes);
}

struct StatusCase {
  const char* name;
  Decoder decode;
  std::string reply;
  std::uint32_t expected;
};

void PrintTo(const StatusCase& c, std::ostream* os) {
  *os << c.name;
}

class DecoderStatusTest : public testing::TestWithParam<StatusCase> {};

TEST_P(DecoderStatusTest, AnswersTheExpectedStatus) {
  EXPECT_EQ(GetParam().decode(bytesOf(GetParam().reply)), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Replies, DecoderStatusTest,
    testing::Values(
        StatusCase{"wksta", DecodeWksta, WkstaReply, 0},
        StatusCase{"wkstaWithoutName", DecodeWksta, WkstaReplyWithoutName, 0},
        StatusCase{"wkstaRefusal", DecodeWksta, InfoRefusal, 5},
        StatusCase{"wkstaOtherLevel", DecodeWksta, patched(WkstaReply, 0, 101), StatusRpcBadStubData},
        StatusCase{"wkstaNullRecordWithSuccess", DecodeWksta, "66 00 00 00 00 00 00 00 00 00 00 00",
                   StatusRpcBadStubData},
        StatusCase{"wkstaNameCountHuge", DecodeWksta, patched(WkstaReply, 44, 0x7FFFFFFF),
                   StatusRpcBadStubData},
        StatusCase{"wkstaNameCountAboveMaximum", DecodeWksta, patched(WkstaReply, 44, 6),
                   StatusRpcBadStubData},
        StatusCase{"wkstaNameOffset", DecodeWksta, patched(WkstaReply, 40, 1), StatusRpcBadStubData},
        StatusCase{"wkstaLanrootPointerDropped", DecodeWksta, patched(WkstaReply, 28, 0),
                   StatusRpcBadStubData},
        StatusCase{"server", DecodeServer, ServerReply, 0},
        StatusCase{"serverRefusal", DecodeServer, InfoRefusal, 5},
        StatusCase{"serverOtherLevel", DecodeServer, patched(ServerReply, 0, 100), StatusRpcBadStubData},
        StatusCase{"serverCommentOffset", DecodeServer, patched(ServerReply, 88, 2),
                   StatusRpcBadStubData},
        // Maximum and actual count agree but claim far more units than the reply holds.
        StatusCase{"serverCommentCountsHuge", DecodeServer,
                   patched(patched(ServerReply, 84, 0xFFFFFFFF).c_str(), 92, 0xFFFFFFFF),
                   StatusRpcBadStubData},
        StatusCase{"handle", DecodeHandle, HandleReply, 0},
        StatusCase{"handleRefusal", DecodeHandle, HandleRefusal, 2},
        StatusCase{"query", DecodeQuery, QueryReply, 0},
        StatusCase{"queryMoreData", DecodeQuery, QueryMoreData, 234},
        StatusCase{"queryMissing", DecodeQuery, QueryMissing, 2},
        StatusCase{"queryOffset", DecodeQuery, patched(QueryReply, 16, 2), StatusRpcBadStubData},
        StatusCase{"queryCountHuge", DecodeQuery, patched(QueryReply, 20, 0xFFFFFFF0),
                   StatusRpcBadStubData},
        StatusCase{"queryLengthDisagrees", DecodeQuery, patched(QueryReply, 52, 12),
                   StatusRpcBadStubData},
        StatusCase{"querySizeDisagrees", DecodeQuery, patched(QueryReply, 44, 16), StatusRpcBadStubData},
        StatusCase{
            "queryCountsHuge", DecodeQuery,
            patched(patched(patched(QueryReply, 12, 0x3FFFFFF).c_str(), 20, 0x3FFFFFF).c_str(), 44,
                    0x3FFFFFF),
            StatusRpcBadStubData},
        StatusCase{"querySuccessWithoutData", DecodeQuery,
                   "14 00 02 00 01 00 00 00 00 00 00 00 1c 00 02 00 00 00 00 00 20 00 02 00 "
                   "00 00 00 00 00 00 00 00",
                   StatusRpcBadStubData},
        StatusCase{"status", DecodeStatus, "00 00 00 00", 0},
        StatusCase{"statusRefusal", DecodeStatus, "f8 03 00 00", 0x3F8}),
    [](const auto& info) { return info.param.name; });

// ---- Decoders: every cut and every extra byte ---------------------------------------------

struct ShapeCase {
  const char* name;
  Decoder decode;
  const char* reply;
};

void PrintTo(const ShapeCase& c, std::ostream* os) {
  *os << c.name;
}

class DecoderShapeTest : public testing::TestWithParam<ShapeCase> {};

TEST_P(DecoderShapeTest, RejectsEveryTruncation) {
  const ndr::Bytes whole = bytesOf(GetParam().reply);
  for (std::size_t length = 0; length < whole.size(); ++length) {
    // A copy of exactly the prefix, so that a read past it is a real out-of-bounds read
    // (which the sanitizer builds would report) rather than a read of the rest of the fixture.
    const ndr::Bytes prefix(whole.begin(), whole.begin() + length);
    EXPECT_EQ(GetParam().decode(prefix), StatusRpcBadStubData) << "length " << length;
  }
}

TEST_P(DecoderShapeTest, RejectsTrailingBytes) {
  for (const char* extra : {"00", "00 00 00 00", "00 00 00 00 00 00 00 00"}) {
    ndr::Bytes longer = bytesOf(GetParam().reply);
    const ndr::Bytes tail = bytesOf(extra);
    longer.insert(longer.end(), tail.begin(), tail.end());
    EXPECT_EQ(GetParam().decode(longer), StatusRpcBadStubData) << extra;
  }
}

INSTANTIATE_TEST_SUITE_P(Replies, DecoderShapeTest,
                         testing::Values(ShapeCase{"wksta", DecodeWksta, WkstaReply},
                                         ShapeCase{"wkstaRefusal", DecodeWksta, InfoRefusal},
                                         ShapeCase{"server", DecodeServer, ServerReply},
                                         ShapeCase{"handle", DecodeHandle, HandleReply},
                                         ShapeCase{"handleRefusal", DecodeHandle, HandleRefusal},
                                         ShapeCase{"query", DecodeQuery, QueryReply},
                                         ShapeCase{"queryMoreData", DecodeQuery, QueryMoreData},
                                         ShapeCase{"status", DecodeStatus, "00 00 00 00"}),
                         [](const auto& info) { return info.param.name; });

// ---- Decoders: what a good reply yields ---------------------------------------------------

TEST(DecodeWkstaTest, YieldsComputerNameAndLangroup) {
  const ndr::Bytes reply = bytesOf(WkstaReply);
  WkstaInfo102 info;
  ASSERT_EQ(decodeNetrWkstaGetInfo(reply.data(), reply.size(), info), 0u);
  EXPECT_TRUE(info.hasComputerName);
  EXPECT_EQ(info.computerName, u"PC01");
  EXPECT_TRUE(info.hasLangroup);
  EXPECT_EQ(info.langroup, u"NEWDOM");
}

TEST(DecodeWkstaTest, NullNamePointerIsReportedAsAbsent) {
  const ndr::Bytes reply = bytesOf(WkstaReplyWithoutName);
  WkstaInfo102 info;
  ASSERT_EQ(decodeNetrWkstaGetInfo(reply.data(), reply.size(), info), 0u);
  EXPECT_FALSE(info.hasComputerName);
  EXPECT_EQ(info.langroup, u"NEWDOM");
}

TEST(DecodeServerTest, YieldsName) {
  const ndr::Bytes reply = bytesOf(ServerReply);
  ServerInfo102 info;
  ASSERT_EQ(decodeNetrServerGetInfo(reply.data(), reply.size(), info), 0u);
  EXPECT_EQ(info.name, u"PC01");
}

TEST(DecodeHandleTest, YieldsTheHandleBytes) {
  const ndr::Bytes reply = bytesOf(HandleReply);
  PolicyHandle handle;
  ASSERT_EQ(decodeHandleReply(reply.data(), reply.size(), handle), 0u);
  EXPECT_FALSE(handle.isNull());
  EXPECT_EQ(hexOf(ndr::Bytes(handle.bytes.begin(), handle.bytes.end())),
            hexOf(bytesOf(HandleBytes)));
}

TEST(DecodeQueryTest, YieldsTypeDataAndSize) {
  const ndr::Bytes reply = bytesOf(QueryReply);
  QueryValueReply value;
  ASSERT_EQ(decodeQueryValue(reply.data(), reply.size(), 2048, value), 0u);
  EXPECT_EQ(value.type, 1u);
  EXPECT_EQ(hexOf(value.data), "4f 00 4c 00 44 00 44 00 4f 00 4d 00 00 00");
  EXPECT_EQ(value.dataSize, 14u);
}

TEST(DecodeQueryTest, MoreDataReportsTheSizeNeeded) {
  const ndr::Bytes reply = bytesOf(QueryMoreData);
  QueryValueReply value;
  EXPECT_EQ(decodeQueryValue(reply.data(), reply.size(), 4, value), 234u);
  EXPECT_EQ(value.dataSize, 14u);
  EXPECT_TRUE(value.data.empty());
}

// A server that sends more data than the request had room for is not trusted with any of it.
TEST(DecodeQueryTest, RejectsMoreDataThanAskedFor) {
  const ndr::Bytes reply = bytesOf(QueryReply);
  QueryValueReply value;
  EXPECT_EQ(decodeQueryValue(reply.data(), reply.size(), 13, value), StatusRpcBadStubData);
  EXPECT_EQ(decodeQueryValue(reply.data(), reply.size(), 14, value), 0u);
}

}  // namespace
}  // namespace cairn::rpc
