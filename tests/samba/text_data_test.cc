// Registry text data between UTF-8 and the UTF-16LE that winreg carries.
#include "platform/samba/text_data.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>

#include "tests/samba/hex.h"

namespace cairn {
namespace {

struct TextCase {
  const char* name;
  std::string narrow;  // may hold NULs
  const char* wide;
};

void PrintTo(const TextCase& c, std::ostream* os) {
  *os << c.name;
}

class TextDataTest : public testing::TestWithParam<TextCase> {};

TEST_P(TextDataTest, NarrowToWide) {
  const std::string& narrow = GetParam().narrow;
  EXPECT_EQ(hexOf(wideBytesFromNarrow(reinterpret_cast<const unsigned char*>(narrow.data()),
                                      static_cast<std::uint32_t>(narrow.size()))),
            hexOf(bytesOf(GetParam().wide)));
}

TEST_P(TextDataTest, WideToNarrow) {
  const ndr::Bytes narrow = narrowFromWideBytes(bytesOf(GetParam().wide));
  EXPECT_EQ(std::string(narrow.begin(), narrow.end()), GetParam().narrow);
}

using namespace std::string_literals;

INSTANTIATE_TEST_SUITE_P(
    Texts, TextDataTest,
    testing::Values(TextCase{"withTerminator", "NEWDOM\0"s,
                             "4e 00 45 00 57 00 44 00 4f 00 4d 00 00 00"},
                    TextCase{"withoutTerminator", "AB", "41 00 42 00"}, TextCase{"empty", "", ""},
                    TextCase{"onlyTerminator", "\0"s, "00 00"},
                    TextCase{"multiString", "A\0BC\0\0"s, "41 00 00 00 42 00 43 00 00 00 00 00"},
                    TextCase{"accented", "\xc3\xa9\0"s, "e9 00 00 00"},
                    TextCase{"surrogatePair", "\xf0\x9f\x98\x80"s, "3d d8 00 de"}),
    [](const auto& info) { return info.param.name; });

TEST(TextDataTest, OddLastByteIsDropped) {
  const ndr::Bytes narrow = narrowFromWideBytes(bytesOf("41 00 42"));
  EXPECT_EQ(std::string(narrow.begin(), narrow.end()), "A");
}

TEST(TextDataTest, LoneSurrogateBecomesReplacementCharacter) {
  const ndr::Bytes narrow = narrowFromWideBytes(bytesOf("00 d8 00 00"));
  EXPECT_EQ(std::string(narrow.begin(), narrow.end()), "\xef\xbf\xbd\0"s);
}

TEST(TextDataTest, TextTypes) {
  for (const std::uint32_t type : {1u, 2u, 7u}) EXPECT_TRUE(isTextType(type)) << type;
  for (const std::uint32_t type : {0u, 3u, 4u, 11u}) EXPECT_FALSE(isTextType(type)) << type;
}

}  // namespace
}  // namespace cairn
