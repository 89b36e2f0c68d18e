// The Win32 ICMP echo backend: address conversion, an answered echo on loopback, and an echo
// into the lab's dropped address that must time out with IP_REQ_TIMED_OUT.
#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "platform/icmp_echo.h"
#include "tests/win32/lab.h"

namespace cairn {
namespace {

struct AddressCase {
  const char* name;
  std::string text;
  std::uint32_t address;
};

void PrintTo(const AddressCase& c, std::ostream* os) {
  *os << c.name;
}

class InetAddrTest : public testing::TestWithParam<AddressCase> {};

TEST_P(InetAddrTest, DottedTextToNetworkOrder) {
  EXPECT_EQ(makeSystemIcmpEcho()->inetAddr(GetParam().text), GetParam().address);
}

INSTANTIATE_TEST_SUITE_P(Texts, InetAddrTest,
                         testing::Values(AddressCase{"Loopback", "127.0.0.1", 0x0100007Fu},
                                         AddressCase{"Private", "192.168.1.10", 0x0A01A8C0u},
                                         AddressCase{"NoAddress", "pc01", InaddrNone}),
                         [](const testing::TestParamInfo<AddressCase>& info) {
                           return info.param.name;
                         });

struct EchoOutcome {
  EchoResult result;
  std::chrono::milliseconds elapsed;
};

EchoOutcome echoOnce(const std::string& addressText, std::uint32_t timeoutMs) {
  const auto icmp = makeSystemIcmpEcho();
  const IcmpHandle handle = icmp->createFile();
  EXPECT_NE(handle, InvalidIcmpHandle);
  EchoRequest request;
  request.destination = icmp->inetAddr(addressText);
  request.ttl = 255;
  request.timeoutMs = timeoutMs;
  const auto start = std::chrono::steady_clock::now();
  const EchoResult result = icmp->sendEcho(handle, request);
  const auto elapsed = std::chrono::steady_clock::now() - start;
  icmp->closeHandle(handle);
  return {result, std::chrono::duration_cast<std::chrono::milliseconds>(elapsed)};
}

TEST(IcmpEchoTest, LoopbackAnswersAtOnce) {
  const EchoOutcome outcome = echoOnce("127.0.0.1", 2000);
  EXPECT_GE(outcome.result.replyCount, 1u);
  EXPECT_EQ(outcome.result.status, 0u);
  EXPECT_LT(outcome.elapsed.count(), 1000);
}

TEST(IcmpEchoTest, DroppedRequestTimesOutAfterItsTimeOut) {
  CAIRN_REQUIRE_WINE_LAB();
  const EchoOutcome outcome = echoOnce(lab::droppedAddress(), 2000);
  EXPECT_EQ(outcome.result.replyCount, 0u);
  EXPECT_EQ(outcome.result.status, StatusIpReqTimedOut);
  EXPECT_GE(outcome.elapsed.count(), 1800);
  EXPECT_LT(outcome.elapsed.count(), 4000);
}

}  // namespace
}  // namespace cairn
