// Target domain naming, host classification and the lookups' start-up and clean-up.
#include <gtest/gtest.h>

#include "reach/lookup.h"
#include "reach/target.h"
#include "tests/fakes/fake_platform.h"

namespace cairn {
namespace {

TEST(NormalizeTargetDomainTest, KeepsTheLeftmostLabelOfAtMostFifteen) {
  const std::pair<std::string, std::optional<std::string>> cases[] = {
      {"NEWDOM", "NEWDOM"},
      {"CORP.EXAMPLE.COM", "CORP"},
      {"ABCDEFGHIJKLMNO", "ABCDEFGHIJKLMNO"},
      {"ABCDEFGHIJKLMNOP", std::nullopt},
      {"ABCDEFGHIJKLMNO.VERY.LONG.SUFFIX.EXAMPLE", "ABCDEFGHIJKLMNO"},
      {"ABCDEFGHIJKLMNOP.COM", std::nullopt},
      {".ABC", ".ABC"},  // a dot in first place cuts nothing
  };
  for (const auto& [value, expected] : cases)
    EXPECT_EQ(normalizeTargetDomain(value), expected) << value;
}

TEST(ClassifyHostValueTest, AnyCapitalLetterMakesAName) {
  const std::pair<std::string, HostKind> cases[] = {
      {"PC01", HostKind::Name},    {"10.0.0.1", HostKind::Address},   {"12-34", HostKind::Address},
      {"1.2.3.E", HostKind::Name}, {"\x8e.1.2.3", HostKind::Address}, {"", HostKind::Address},
  };
  for (const auto& [value, kind] : cases) EXPECT_EQ(classifyHostValue(value), kind) << value;
}

TEST(LookupTest, EveryLookupStartsAndCleansUpTheSocketsLayer) {
  struct Case {
    SocketsStartup startup;
    std::uint32_t address;
    std::string name;
  };
  const Case cases[] = {{{0, 0x0002}, fakes::addressOf(10, 1, 2, 3), "pc01"},
                        {{0, 0x0202}, fakes::addressOf(10, 1, 2, 3), "pc01"},
                        {{10091, 0x0002}, 0, ""},
                        {{0, 0x0101}, 0, ""}};
  for (const Case& c : cases) {
    fakes::FakePlatform fake;
    fake.sockets.startupAnswer = c.startup;
    EXPECT_EQ(lookupHostAddress(fake.sockets, "PC01"), c.address);
    EXPECT_EQ(lookupHostName(fake.sockets, fakes::addressOf(10, 1, 2, 3)), c.name);
    EXPECT_EQ(fake.sockets.startups, 2);
    EXPECT_EQ(fake.sockets.cleanups, 2);
  }
}

TEST(LookupTest, AddressZeroAsksForTheLocalName) {
  fakes::FakePlatform fake;
  fake.sockets.localName = "here";
  EXPECT_EQ(lookupHostName(fake.sockets, 0), "here");
  EXPECT_EQ(fake.log, (fakes::CallLog{"WSAStartup(2)", "gethostname", "WSACleanup"}));
}

}  // namespace
}  // namespace cairn
