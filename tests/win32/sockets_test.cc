// The Windows Sockets resolver backend against the lab's private hosts file. Every lookup here
// runs inside the lab (hosts: files), so none can reach a real name server.
#include <gtest/gtest.h>

#include <string>

#include "platform/sockets.h"
#include "tests/win32/lab.h"

namespace cairn {
namespace {

constexpr std::uint32_t addressOf(unsigned a, unsigned b, unsigned c, unsigned d) {
  return a | (b << 8) | (c << 16) | (d << 24);  // network byte order in memory
}

class SocketsTest : public testing::Test {
 protected:
  void SetUp() override {
    CAIRN_REQUIRE_WINE_LAB();
    const SocketsStartup started = sockets_->startup(0x0002);
    ASSERT_EQ(started.status, 0);
    ASSERT_EQ(started.grantedVersion & 0xFF, 2);
    started_ = true;
  }
  void TearDown() override {
    if (started_) sockets_->cleanup();
  }

  std::unique_ptr<Sockets> sockets_ = makeSystemSockets();
  bool started_ = false;
};

struct ForwardCase {
  const char* name;
  std::string host;  // "<lab>" stands for the lab's host name
  std::uint32_t address;
};

void PrintTo(const ForwardCase& c, std::ostream* os) {
  *os << c.name;
}

class ForwardLookupTest : public SocketsTest, public testing::WithParamInterface<ForwardCase> {};

TEST_P(ForwardLookupTest, FirstAddressOrZero) {
  const ForwardCase& c = GetParam();
  EXPECT_EQ(sockets_->hostByName(c.host == "<lab>" ? lab::hostName() : c.host), c.address);
}

INSTANTIATE_TEST_SUITE_P(
    Names, ForwardLookupTest,
    testing::Values(ForwardCase{"LabHost", "<lab>", addressOf(127, 0, 1, 1)},
                    ForwardCase{"OtherPc", "pc02", addressOf(127, 0, 0, 2)},
                    ForwardCase{"UpperCaseAlias", "PC03", addressOf(127, 0, 0, 3)},
                    ForwardCase{"Unknown", "NOSUCHPC", 0}),
    [](const testing::TestParamInfo<ForwardCase>& info) { return info.param.name; });

struct ReverseCase {
  const char* name;
  std::uint32_t address;
  std::string host;
};

void PrintTo(const ReverseCase& c, std::ostream* os) {
  *os << c.name;
}

class ReverseLookupTest : public SocketsTest, public testing::WithParamInterface<ReverseCase> {};

TEST_P(ReverseLookupTest, OfficialNameOrEmptyText) {
  const ReverseCase& c = GetParam();
  EXPECT_EQ(sockets_->hostByAddress(c.address), c.host);
}

INSTANTIATE_TEST_SUITE_P(
    Addresses, ReverseLookupTest,
    testing::Values(ReverseCase{"ShortName", addressOf(127, 0, 0, 2), "pc02"},
                    ReverseCase{"QualifiedName", addressOf(127, 0, 0, 3), "pc03.lab.example"},
                    ReverseCase{"NoEntry", addressOf(127, 0, 0, 77), ""}),
    [](const testing::TestParamInfo<ReverseCase>& info) { return info.param.name; });

TEST_F(SocketsTest, LocalHostNameIsTheLabsName) {
  EXPECT_EQ(sockets_->localHostName(), lab::hostName());
}

}  // namespace
}  // namespace cairn
