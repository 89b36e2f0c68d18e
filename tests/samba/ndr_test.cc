// The NDR primitives: what the writer puts on the wire, and that the reader refuses every
// read past the end of the data, whatever a length field claims.
#include "platform/samba/ndr.h"

#include <gtest/gtest.h>

#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "tests/samba/hex.h"

namespace cairn::ndr {
namespace {

struct WriterCase {
  const char* name;
  std::function<void(Writer&)> write;
  const char* expected;
};

void PrintTo(const WriterCase& c, std::ostream* os) {
  *os << c.name;
}

class WriterTest : public testing::TestWithParam<WriterCase> {};

TEST_P(WriterTest, WritesLittleEndianAlignedFields) {
  Writer writer;
  GetParam().write(writer);
  EXPECT_EQ(hexOf(writer.bytes()), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Fields, WriterTest,
    testing::Values(WriterCase{"u32", [](Writer& w) { w.u32(0x01020304); }, "04 03 02 01"},
                    WriterCase{"u16ThenU32Pads", [](Writer& w) { w.u16(0xABCD), w.u32(7); },
                               "cd ab 00 00 07 00 00 00"},
                    WriterCase{"byteThenU16Pads",
                               [](Writer& w) {
                                 const unsigned char b = 0xFF;
                                 w.raw(&b, 1), w.u16(1);
                               },
                               "ff 00 01 00"},
                    WriterCase{"pointers", [](Writer& w) { w.pointer(true), w.pointer(false); },
                               "00 00 02 00 00 00 00 00"},
                    WriterCase{"stringWithTerminator", [](Writer& w) { w.string(u"AB"); },
                               "03 00 00 00 00 00 00 00 03 00 00 00 41 00 42 00 00 00"},
                    WriterCase{"emptyString", [](Writer& w) { w.string(u""); },
                               "01 00 00 00 00 00 00 00 01 00 00 00 00 00"},
                    WriterCase{"nonAsciiUnit", [](Writer& w) { w.string(u"\u00e9"); },
                               "02 00 00 00 00 00 00 00 02 00 00 00 e9 00 00 00"}),
    [](const auto& info) { return info.param.name; });

TEST(ReaderTest, ReadsFieldsWithAlignment) {
  const Bytes data = bytesOf("cd ab 00 00 04 03 02 01");
  Reader reader(data.data(), data.size());
  EXPECT_EQ(reader.u16(), 0xABCD);
  EXPECT_EQ(reader.u32(), 0x01020304u);
  EXPECT_TRUE(reader.finishedCleanly());
}

struct FailureCase {
  const char* name;
  const char* data;
  std::function<void(Reader&)> read;
};

void PrintTo(const FailureCase& c, std::ostream* os) {
  *os << c.name;
}

class ReaderFailureTest : public testing::TestWithParam<FailureCase> {};

TEST_P(ReaderFailureTest, FailsAndStaysFailed) {
  const Bytes data = bytesOf(GetParam().data);
  Reader reader(data.data(), data.size());
  GetParam().read(reader);
  EXPECT_TRUE(reader.failed());
  EXPECT_EQ(reader.u32(), 0u);  // a failed reader yields nothing more
  EXPECT_EQ(reader.remaining(), 0u);
  EXPECT_FALSE(reader.finishedCleanly());
}

INSTANTIATE_TEST_SUITE_P(
    Hostile, ReaderFailureTest,
    testing::Values(
        FailureCase{"emptyU32", "", [](Reader& r) { r.u32(); }},
        FailureCase{"shortU32", "01 02 03", [](Reader& r) { r.u32(); }},
        FailureCase{"paddingPastEnd", "01 02", [](Reader& r) { r.u16(), r.u16(), r.align(8); }},
        FailureCase{"takeMoreThanLeft", "01 02 03 04", [](Reader& r) { r.take(5); }},
        FailureCase{"takeHugeCount", "01 02 03 04", [](Reader& r) { r.take(SIZE_MAX); }},
        FailureCase{"stringOffsetNotZero", "01 00 00 00 01 00 00 00 01 00 00 00 41 00 00 00",
                    [](Reader& r) { r.string(); }},
        FailureCase{"stringActualAboveMaximum", "01 00 00 00 00 00 00 00 02 00 00 00 41 00 00 00",
                    [](Reader& r) { r.string(); }},
        FailureCase{"stringUnitsMissing", "03 00 00 00 00 00 00 00 03 00 00 00 41 00",
                    [](Reader& r) { r.string(); }},
        // A count of four billion units must fail on the length check, not in an allocation.
        FailureCase{"stringHugeCount", "ff ff ff ff 00 00 00 00 ff ff ff ff 41 00 00 00",
                    [](Reader& r) { r.string(); }},
        FailureCase{"stringHeaderTruncated", "03 00 00 00 00 00", [](Reader& r) { r.string(); }}),
    [](const auto& info) { return info.param.name; });

struct StringCase {
  const char* name;
  const char* data;
  std::u16string expected;
};

void PrintTo(const StringCase& c, std::ostream* os) {
  *os << c.name;
}

class ReaderStringTest : public testing::TestWithParam<StringCase> {};

TEST_P(ReaderStringTest, StopsAtFirstZeroUnit) {
  const Bytes data = bytesOf(GetParam().data);
  Reader reader(data.data(), data.size());
  EXPECT_EQ(reader.string(), GetParam().expected);
  EXPECT_TRUE(reader.finishedCleanly());
}

INSTANTIATE_TEST_SUITE_P(
    Strings, ReaderStringTest,
    testing::Values(
        StringCase{"terminated", "03 00 00 00 00 00 00 00 03 00 00 00 41 00 42 00 00 00", u"AB"},
        StringCase{"unterminated", "02 00 00 00 00 00 00 00 02 00 00 00 41 00 42 00", u"AB"},
        StringCase{"embeddedZero", "03 00 00 00 00 00 00 00 03 00 00 00 41 00 00 00 42 00", u"A"},
        StringCase{"empty", "00 00 00 00 00 00 00 00 00 00 00 00", u""},
        StringCase{"maximumAboveActual", "09 00 00 00 00 00 00 00 01 00 00 00 41 00", u"A"}),
    [](const auto& info) { return info.param.name; });

TEST(ReaderTest, TrailingBytesMeanNoCleanFinish) {
  const Bytes data = bytesOf("01 00 00 00 00");
  Reader reader(data.data(), data.size());
  EXPECT_EQ(reader.u32(), 1u);
  EXPECT_FALSE(reader.failed());
  EXPECT_FALSE(reader.finishedCleanly());
}

}  // namespace
}  // namespace cairn::ndr
