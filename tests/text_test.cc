// The byte-wise upper-casing and the blank stripping.
#include <gtest/gtest.h>

#include "core/text.h"

namespace cairn {
namespace {

TEST(UpperCaseTest, RaisesAsciiAndTheSevenCodePageLettersOnly) {
  const std::pair<unsigned char, unsigned char> mapped[] = {
      {132, 142}, {148, 153}, {129, 154}, {130, 144}, {164, 165}, {134, 143}, {135, 128}};
  for (int byte = 0; byte < 256; ++byte) {
    unsigned char expected = static_cast<unsigned char>(byte);
    if (byte >= 'a' && byte <= 'z') expected = static_cast<unsigned char>(byte - 32);
    for (const auto& [lower, upper] : mapped)
      if (byte == lower) expected = upper;
    EXPECT_EQ(static_cast<unsigned char>(upperCaseByte(static_cast<char>(byte))), expected)
        << "byte " << byte;
  }
  EXPECT_EQ(upperCase(std::string("a\0b", 3)), std::string("A\0B", 3));
}

TEST(StripBlanksTest, RemovesSpacesOnlyAtBothEnds) {
  const std::pair<std::string, std::string> cases[] = {
      {"  pc01  ", "pc01"}, {"\tpc01\t", "\tpc01\t"}, {"a b", "a b"}, {"   ", ""}, {"", ""}};
  for (const auto& [in, out] : cases) EXPECT_EQ(stripBlanks(in), out) << in;
}

}  // namespace
}  // namespace cairn
