// One echo attempt: only a real echo reply gives status 0, and the handle is always closed.
#include <gtest/gtest.h>

#include "reach/echo_probe.h"
#include "tests/fakes/fake_platform.h"

namespace cairn {
namespace {

struct ProbeCase {
  const char* name;
  std::string addressText;
  bool createFails;
  EchoResult result;
  std::int32_t status;
};

void PrintTo(const ProbeCase& c, std::ostream* os) {
  *os << c.name;
}

class ProbeEchoTest : public testing::TestWithParam<ProbeCase> {};

TEST_P(ProbeEchoTest, GivesTheAttemptsStatus) {
  const auto& c = GetParam();
  fakes::FakePlatform fake;
  fake.icmp.createFails = c.createFails;
  fake.icmp.results = {c.result};
  EXPECT_EQ(probeEcho(fake.icmp, c.addressText, EchoTimeoutMs), c.status);
  EXPECT_TRUE(fake.icmp.openHandles.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Attempts, ProbeEchoTest,
    testing::Values(ProbeCase{"Answered", "10.1.2.3", false, {1, 0}, 0},
                    ProbeCase{"TimedOut", "10.1.2.3", false, {0, StatusIpReqTimedOut}, 11010},
                    ProbeCase{"NoReplyNoError", "10.1.2.3", false, {0, 0}, 11010},
                    ProbeCase{"NoRoute", "10.1.2.3", false, {0, StatusIpGeneralFailure}, 11050},
                    ProbeCase{"Unreachable", "10.1.2.3", false, {1, 11003}, 11003},
                    ProbeCase{"NoHandle", "10.1.2.3", true, {1, 0}, 11050},
                    ProbeCase{"AllOnesIsNoAddress", "255.255.255.255", false, {1, 0}, -1}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace cairn
