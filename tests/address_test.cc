// The dotted-address check and the conversions both ways.
#include <gtest/gtest.h>

#include "reach/address.h"
#include "tests/fakes/fake_platform.h"

namespace cairn {
namespace {

struct AddressCase {
  std::string text;
  bool valid;
  std::string normalised;
};

void PrintTo(const AddressCase& c, std::ostream* os) {
  *os << testing::PrintToString(c.text);
}

class DottedAddressTest : public testing::TestWithParam<AddressCase> {};

TEST_P(DottedAddressTest, AcceptsOnlyFourDecimalOctets) {
  const auto& c = GetParam();
  EXPECT_EQ(isDottedAddress(c.text), c.valid) << c.text;
  if (c.valid) {
    EXPECT_EQ(formatDottedAddress(parseDottedAddress(c.text)), c.normalised);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Texts, DottedAddressTest,
    testing::Values(AddressCase{"10.0.0.1", true, "10.0.0.1"},
                    AddressCase{"192.168.1.10", true, "192.168.1.10"},
                    AddressCase{"192.168.001.010", true, "192.168.1.10"},
                    AddressCase{"0.0.0.0", true, "0.0.0.0"},
                    AddressCase{"255.255.255.255", true, "255.255.255.255"},
                    AddressCase{"000.000.000.000", true, "0.0.0.0"},
                    AddressCase{"300.1.1.1", false, ""}, AddressCase{"256.1.1.1", false, ""},
                    AddressCase{"-1.0.0.1", false, ""}, AddressCase{"+1.2.3.4", false, ""},
                    AddressCase{"1..2.3", false, ""}, AddressCase{"1.2.3.", false, ""},
                    AddressCase{".1.2.3", false, ""}, AddressCase{"192.168.1", false, ""},
                    AddressCase{"1.2.3.4.5", false, ""}, AddressCase{"0001.2.3.4", false, ""},
                    AddressCase{"1.2.3.4 ", false, ""}, AddressCase{"12-34", false, ""},
                    AddressCase{"1.2.3.\xb9", false, ""}, AddressCase{"", false, ""},
                    AddressCase{"...", false, ""}));

TEST(DottedAddressTest, AddressBytesAreTheOctetsInWrittenOrder) {
  EXPECT_EQ(parseDottedAddress("192.168.1.10"), fakes::addressOf(192, 168, 1, 10));
  EXPECT_EQ(formatDottedAddress(fakes::addressOf(192, 168, 1, 10)), "192.168.1.10");
  EXPECT_EQ(formatDottedAddress(0), "0.0.0.0");
}

TEST(DottedAddressTest, FieldConversionKeepsTheLowEightBits) {
  // The conversion itself is lenient; the check in front of it is what keeps such values out.
  EXPECT_EQ(formatDottedAddress(parseDottedAddress("300.1.1.1")), "44.1.1.1");
  EXPECT_EQ(formatDottedAddress(parseDottedAddress("-1.0.0.1")), "255.0.0.1");
  EXPECT_EQ(formatDottedAddress(parseDottedAddress("1..2.3")), "1.0.2.3");
  EXPECT_EQ(formatDottedAddress(parseDottedAddress(" +7.x.256.9z")), "7.0.0.9");
}

}  // namespace
}  // namespace cairn
