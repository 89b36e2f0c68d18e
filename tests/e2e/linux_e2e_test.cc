// The real Linux binary, end to end, inside a private network namespace (see private_net.sh):
// its bytes on standard output, its exit code, silence on standard error, and its timing.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>

#include "core/text.h"
#include "tests/e2e/process.h"
#include "tests/fakes/fake_platform.h"

namespace cairn::e2e {
namespace {

using fakes::lines;
using fakes::usageText;
using std::chrono::milliseconds;

std::string binary() {
  const char* path = std::getenv("CAIRNMARK_BINARY");
  return path != nullptr ? path : "cairnmark";
}

std::string unexpected(const std::string& item) {
  return lines({"", "\a" + item + " was unexpected."});
}

const std::string NoAccess = " - Can not access. NetWkstaGetInfo called failed.";

struct E2eCase {
  const char* name;
  std::vector<std::string> arguments;
  int exitCode;
  std::string output;
  milliseconds atLeast{0};
  milliseconds atMost{20000};
};

void PrintTo(const E2eCase& c, std::ostream* os) {
  *os << c.name;
}

class LinuxE2eTest : public testing::TestWithParam<E2eCase> {};

TEST_P(LinuxE2eTest, RunsAsAnAdministratorWouldSeeIt) {
  const E2eCase& c = GetParam();
  const ProcessResult result = runProcess(binary(), c.arguments);
  EXPECT_EQ(result.standardOutput, c.output);
  EXPECT_EQ(result.exitCode, c.exitCode);
  EXPECT_EQ(result.standardError, "");
  EXPECT_GE(result.elapsed, c.atLeast);
  EXPECT_LE(result.elapsed, c.atMost);
}

INSTANTIATE_TEST_SUITE_P(
    Runs, LinuxE2eTest,
    testing::Values(
        E2eCase{"NoArguments", {}, 9, usageText()}, E2eCase{"Help", {"/?"}, 9, usageText()},
        E2eCase{"UnexpectedItemRingsAndPauses",
                {"/M", "pc01", "/T", "newdom", "/x"},
                9,
                unexpected("/X") + usageText(),
                milliseconds(1000),
                milliseconds(3000)},
        E2eCase{"ArgumentWithBlankStaysOneItem", {"/M", "pc 01", "/T", "dom"}, 9, usageText()},
        E2eCase{"QuietWithVerbose",
                {"/M", "pc01", "/T", "newdom", "/V", "/Q"},
                99,
                lines({"ERROR: /Q and /V switches can not be used at the same time. Pick one."})},
        E2eCase{"DomainTooLongEvenWhenQuiet",
                {"/M", "pc01", "/T", "abcdefghijklmnop", "/Q"},
                99,
                lines({"ERROR: /T: Invalid NetBIOS domain name (must be 15 characters or less)."})},
        E2eCase{"AddressOutOfRange",
                {"/M", "300.1.1.1", "/T", "newdom"},
                99,
                lines({"ERROR: /M: Invalid IP Address. Please check format."})},
        E2eCase{"UnknownName",
                {"/M", "nohost", "/T", "newdom"},
                1,
                lines({" - Could not resolve hostname to IP Address."})},
        E2eCase{"UnknownNameQuiet", {"/M", "nohost", "/T", "newdom", "/Q"}, 1, ""},
        E2eCase{"NameOfTheZeroAddress",
                {"/M", "zero", "/T", "newdom"},
                1,
                lines({" - Could not resolve hostname to IP Address."})},
        E2eCase{"AddressWithoutName",
                {"/M", "127.0.0.77", "/T", "newdom"},
                1,
                lines({" - Could not resolve IP Address to hostname."})},
        E2eCase{"NameResolvesThenNoRemoteAccess",
                {"/M", "pc01.lab.test", "/T", "newdom"},
                2,
                lines({" + Resolved hostname to: 127.0.0.2", NoAccess})},
        E2eCase{"AddressResolvesToOfficialName",
                {"/M", "127.000.0.2", "/T", "newdom", "/V"},
                2,
                lines({" + Resolved IP address to: PC01.LAB.TEST",
                       " ! Retrying NetWkstaGetInfo call...", NoAccess})},
        E2eCase{"PingAnswered",
                {"/M", "pc01", "/T", "newdom", "/P"},
                2,
                lines({" + Resolved hostname to: 127.0.0.2",
                       " + Host UP. Successfully pinged: 127.0.0.2", NoAccess})},
        E2eCase{"PingAnsweredQuiet", {"/M", "pc01", "/T", "newdom", "/P", "/Q"}, 2, ""},
        E2eCase{"PingUnanswered",
                {"/M", "silent", "/T", "newdom", "/P", "/V"},
                1,
                lines({" + Resolved hostname to: 127.0.0.9", " ! Second knock...",
                       " - Host DOWN. Could not ping: 127.0.0.9"}),
                milliseconds(3900),
                milliseconds(6000)}));

TEST(LinuxE2eTest, PingAnsweredThroughAnUnprivilegedPingSocket) {
  // Admitting our group to ping sockets makes the probe take its first choice instead of the
  // raw socket; the answer must be the same.
  std::ofstream("/proc/sys/net/ipv4/ping_group_range") << "0 2147483647";
  const ProcessResult result = runProcess(binary(), {"/M", "pc01", "/T", "newdom", "/P"});
  EXPECT_EQ(result.standardOutput, lines({" + Resolved hostname to: 127.0.0.2",
                                          " + Host UP. Successfully pinged: 127.0.0.2", NoAccess}));
  EXPECT_EQ(result.exitCode, 2);
}

TEST(LinuxE2eTest, ZeroAddressChecksTheLocalComputer) {
  char name[256] = {};
  ASSERT_EQ(::gethostname(name, sizeof name - 1), 0);
  const ProcessResult result = runProcess(binary(), {"/M", "0.0.0.0", "/T", "newdom"});
  EXPECT_EQ(result.standardOutput,
            lines({" + Resolved IP address to: " + upperCase(name), NoAccess}));
  EXPECT_EQ(result.exitCode, 2);
}

// Nine items of 8 KiB each: switches with long tails, and values whose first labels are valid.
std::vector<std::string> nineItemsOf8KiB() {
  const std::string tail(8190, 'z');
  return {"/M" + tail, "pc01." + tail + "z", "/T" + tail, "newdom" + tail.substr(4) + ".z",
          "/S" + tail, "/P" + tail,          "/I" + tail, "/V" + tail,
          "/Q" + tail};
}

// Hostile or absurd input ends with a documented exit code: no crash, no hang, no stderr.
INSTANTIATE_TEST_SUITE_P(
    BadInput, LinuxE2eTest,
    testing::Values(
        E2eCase{"ControlBytesInName",
                {"/M", "pc\x01\x1b[2J\x7f", "/T", "newdom"},
                1,
                lines({" - Could not resolve hostname to IP Address."})},
        E2eCase{"HighBytesAreNoAddress",
                {"/M", "\xe4\xf6\xfc.1.2.3", "/T", "newdom"},
                99,
                lines({"ERROR: /M: Invalid IP Address. Please check format."})},
        E2eCase{"HostOf64KiB",
                {"/M", std::string(65536, 'a'), "/T", "newdom"},
                99,
                lines({"ERROR: /M: Invalid NetBIOS hostname (must be 15 characters or less)."})},
        E2eCase{"DomainOf64KiB",
                {"/M", "pc01", "/T", std::string(65536, 'd')},
                99,
                lines({"ERROR: /T: Invalid NetBIOS domain name (must be 15 characters or less)."})},
        E2eCase{"UnexpectedItemOf64KiB",
                {"/M", "pc01", "/T", "newdom", "/" + std::string(65535, 'x')},
                9,
                unexpected("/" + std::string(65535, 'X')) + usageText(),
                milliseconds(1000),
                milliseconds(3000)},
        E2eCase{"NineItemsOf8KiB", nineItemsOf8KiB(), 99,
                lines({"ERROR: /Q and /V switches can not be used at the same time. Pick one."})},
        E2eCase{"ReverseNameWithControlBytes",
                {"/M", "127.0.0.3", "/T", "newdom"},
                2,
                lines({" + Resolved IP address to: BAD\x1b]0;OWNED\aNAME", NoAccess})}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(LinuxE2eTest, ClosedStandardOutputKeepsTheExitCode) {
  const ProcessResult result =
      runProcess("/bin/sh", {"-c", "\"$0\" /M nohost /T newdom >&-; echo $?", binary()});
  EXPECT_EQ(result.standardOutput, "1\n");
  EXPECT_EQ(result.standardError, "");
}

}  // namespace
}  // namespace cairn::e2e
