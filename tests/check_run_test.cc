// Whole check runs through the scripted platform: every exit code by every path, byte for byte.
#include <gtest/gtest.h>

#include <functional>
#include <set>

#include "front/command_line.h"
#include "core/report.h"
#include "tests/transcript.h"

namespace cairn::fakes {
namespace {

using Script = std::function<void(FakePlatform&)>;

struct TranscriptCase {
  const char* name;
  std::string tail;
  Script script;
  int exitCode;
  std::string output;
};

void PrintTo(const TranscriptCase& c, std::ostream* os) {
  *os << c.name;
}

const Script AsIs = [](FakePlatform&) {};

const std::string Resolved = " + Resolved hostname to: 10.1.2.3";
const std::string Matches = " + NetBIOS name matches.";
const std::string InNewdom = " + Remote PC is in target domain: NEWDOM";
const std::string Up = " + Host UP. Successfully pinged: 10.1.2.3";

Script echoes(std::initializer_list<EchoResult> results) {
  // A copy: the list's array ends with the full expression that made it.
  return [kept = std::vector<EchoResult>(results)](FakePlatform& f) {
    f.icmp.results.assign(kept.begin(), kept.end());
  };
}

const Script Silent = echoes({{0, StatusIpReqTimedOut}, {0, StatusIpReqTimedOut}});

std::string unexpected(const std::string& item) {
  return lines({"", "\a" + item + " was unexpected."});
}

Script workstationFails(int times, bool leavesRecord = false) {
  return [=](FakePlatform& f) {
    for (int i = 0; i < times; ++i) f.net.workstationReplies.push_back({53, leavesRecord});
  };
}

Script serverFails(int times) {
  return [=](FakePlatform& f) {
    for (int i = 0; i < times; ++i) f.net.serverReplies.push_back({53, false});
  };
}

Script values(std::optional<std::string> defaultValue, std::optional<std::string> altValue) {
  return [=](FakePlatform& f) {
    f.registry.values.clear();
    if (defaultValue) f.registry.values["DefaultDomainName"] = *defaultValue;
    if (altValue) f.registry.values["AltDefaultDomainName"] = *altValue;
  };
}

Script reported(std::optional<std::u16string> name, std::optional<std::u16string> domain) {
  return [=](FakePlatform& f) {
    f.net.computerName = name;
    f.net.langroup = domain;
  };
}

const std::string Z("\0", 1);

const std::vector<TranscriptCase>& transcriptCases() {
  static const std::vector<TranscriptCase> cases = {
      // Exit code 0.
      {"AllPassWithoutPingOrSet", "/M pc01 /T newdom", AsIs, 0,
       lines({Resolved, Matches, InNewdom})},
      {"TypicalRun", "/M pc01 /T newdom /P /S", AsIs, 0,
       lines({Resolved, Up, Matches, InNewdom,
              " * DefaultDomainName value is currently set to: OLDDOM",
              " + DefaultDomainName value was successfully changed to: NEWDOM",
              " * AltDefaultDomainName value is currently set to: OLDDOM",
              " + AltDefaultDomainName value was successfully changed to: NEWDOM"})},
      {"TypicalRunVerboseAddsNothing", "/M pc01 /T newdom /P /S /V", AsIs, 0,
       lines({Resolved, Up, Matches, InNewdom,
              " * DefaultDomainName value is currently set to: OLDDOM",
              " + DefaultDomainName value was successfully changed to: NEWDOM",
              " * AltDefaultDomainName value is currently set to: OLDDOM",
              " + AltDefaultDomainName value was successfully changed to: NEWDOM"})},
      {"LowerCaseDomainValueAndFqdnTarget", "/m PC01.lab.test /t newdom.lab.test", AsIs, 0,
       lines({Resolved, Matches, InNewdom})},
      {"UncHostAndDottedDomain", "/M \\\\pc01 /T newdom.", AsIs, 0,
       lines({Resolved, Matches, InNewdom})},
      {"AddressResolvesToName", "/M 10.1.2.3 /T newdom", AsIs, 0,
       lines({" + Resolved IP address to: PC01", Matches, InNewdom})},
      {"AddressWithLeadingZerosIsNormalised", "/M 010.001.002.003 /T newdom /P", AsIs, 0,
       lines({" + Resolved IP address to: PC01", Up, Matches, InNewdom})},
      {"SecondKnockAnswered", "/M pc01 /T newdom /P", echoes({{0, 11010}, {1, 0}}), 0,
       lines({Resolved, Up, Matches, InNewdom})},
      {"SecondKnockAnsweredVerbose", "/M pc01 /T newdom /P /V", echoes({{0, 11010}, {1, 0}}), 0,
       lines({Resolved, " ! Second knock...", Up, Matches, InNewdom})},
      {"WorkstationRetryVerbose", "/M pc01 /T newdom /V", workstationFails(1), 0,
       lines({Resolved, " ! Retrying NetWkstaGetInfo call...", Matches, InNewdom})},
      {"WorkstationRetrySilent", "/M pc01 /T newdom", workstationFails(1), 0,
       lines({Resolved, Matches, InNewdom})},
      {"ServerRetryVerbose", "/M pc01 /T newdom /V", serverFails(1), 0,
       lines({Resolved, " ! Retrying NetServerGetInfo call...", Matches, InNewdom})},
      {"ReportedNameLowerCaseWithBlanks", "/M pc01 /T newdom", reported(u"  pc01 ", u" newdom "), 0,
       lines({Resolved, Matches, InNewdom})},
      {"IgnoredMismatchSilent", "/M pc01 /T newdom /I", reported(u"PC99", u"NEWDOM"), 0,
       lines({Resolved, InNewdom})},
      {"IgnoredMismatchVerbose", "/M pc01 /T newdom /I /V", reported(u"pc99", u"NEWDOM"), 0,
       lines({Resolved, " ! NetBIOS name does not match. Returned: PC99", InNewdom})},
      {"IgnoredMatchVerbose", "/M pc01 /T newdom /I /V", AsIs, 0,
       lines({Resolved, " ! NetBIOS name matches.", InNewdom})},
      {"IgnoredMatchSilent", "/M pc01 /T newdom /I", AsIs, 0, lines({Resolved, InNewdom})},
      {"BothValuesAlreadyTargetAnyCase", "/M pc01 /T newdom /S", values("NewDom" + Z, "newdom" + Z),
       0,
       lines({Resolved, Matches, InNewdom, " + DefaultDomainName value is already set to: NEWDOM",
              " + AltDefaultDomainName value is already set to: NEWDOM"})},
      {"DefaultDiffersAltMatches", "/M pc01 /T newdom /S", values("OLDDOM" + Z, "NEWDOM" + Z), 0,
       lines({Resolved, Matches, InNewdom, " * DefaultDomainName value is currently set to: OLDDOM",
              " + DefaultDomainName value was successfully changed to: NEWDOM",
              " + AltDefaultDomainName value is already set to: NEWDOM"})},
      {"EmptyStoredValueIsOverwritten", "/M pc01 /T newdom /S", values(Z, "NEWDOM" + Z), 0,
       lines({Resolved, Matches, InNewdom, " * DefaultDomainName value is currently set to: ",
              " + DefaultDomainName value was successfully changed to: NEWDOM",
              " + AltDefaultDomainName value is already set to: NEWDOM"})},
      {"LongerValueWithTargetPrefixIsOverwritten", "/M pc01 /T newdom /S",
       values("newdomain" + Z, "NEWDOM" + Z), 0,
       lines({Resolved, Matches, InNewdom,
              " * DefaultDomainName value is currently set to: NEWDOMAIN",
              " + DefaultDomainName value was successfully changed to: NEWDOM",
              " + AltDefaultDomainName value is already set to: NEWDOM"})},
      {"ValueWithoutNulReadToBufferEnd", "/M pc01 /T newdom /S",
       values(std::string(1024, 'x'), "NEWDOM" + Z), 0,
       lines({Resolved, Matches, InNewdom,
              " * DefaultDomainName value is currently set to: " + std::string(1024, 'X'),
              " + DefaultDomainName value was successfully changed to: NEWDOM",
              " + AltDefaultDomainName value is already set to: NEWDOM"})},

      // Exit code 1.
      {"NameDoesNotResolve", "/M pc404 /T newdom", AsIs, 1,
       lines({" - Could not resolve hostname to IP Address."})},
      {"NameResolvesToZeroAddress", "/M zero /T newdom",
       [](FakePlatform& f) { f.sockets.addresses["ZERO"] = 0; }, 1,
       lines({" - Could not resolve hostname to IP Address."})},
      {"SocketsRefuseToStartForName", "/M pc01 /T newdom",
       [](FakePlatform& f) {
         f.sockets.startupAnswer = {10091, 0};
       },
       1, lines({" - Could not resolve hostname to IP Address."})},
      {"SocketsGrantWrongVersion", "/M pc01 /T newdom",
       [](FakePlatform& f) {
         f.sockets.startupAnswer = {0, 0x0101};
       },
       1, lines({" - Could not resolve hostname to IP Address."})},
      {"AddressWithoutReverseEntry", "/M 10.9.9.9 /T newdom", AsIs, 1,
       lines({" - Could not resolve IP Address to hostname."})},
      {"SocketsRefuseToStartForAddress", "/M 10.1.2.3 /T newdom",
       [](FakePlatform& f) {
         f.sockets.startupAnswer = {10091, 0};
       },
       1, lines({" - Could not resolve IP Address to hostname."})},
      {"HostDown", "/M pc01 /T newdom /P", Silent, 1,
       lines({Resolved, " - Host DOWN. Could not ping: 10.1.2.3"})},
      {"HostDownVerbose", "/M pc01 /T newdom /P /V", Silent, 1,
       lines({Resolved, " ! Second knock...", " - Host DOWN. Could not ping: 10.1.2.3"})},
      {"HostDownShowsNormalisedAddress", "/M 010.001.002.003 /T newdom /P", Silent, 1,
       lines({" + Resolved IP address to: PC01", " - Host DOWN. Could not ping: 10.1.2.3"})},
      {"EchoErrorReplyIsNoAnswer", "/M pc01 /T newdom /P", echoes({{1, 11003}, {1, 11003}}), 1,
       lines({Resolved, " - Host DOWN. Could not ping: 10.1.2.3"})},
      {"NoReplyWithCleanStatusIsNoAnswer", "/M pc01 /T newdom /P", echoes({{0, 0}, {0, 0}}), 1,
       lines({Resolved, " - Host DOWN. Could not ping: 10.1.2.3"})},
      {"IcmpHandleUnavailable", "/M pc01 /T newdom /P",
       [](FakePlatform& f) { f.icmp.createFails = true; }, 1,
       lines({Resolved, " - Host DOWN. Could not ping: 10.1.2.3"})},
      {"BroadcastAddressIsNoAddress", "/M 255.255.255.255 /T newdom /P",
       [](FakePlatform& f) { f.sockets.names[0xFFFFFFFFu] = "bcast"; }, 1,
       lines(
           {" + Resolved IP address to: BCAST", " - Host DOWN. Could not ping: 255.255.255.255"})},

      // Exit code 2.
      {"WorkstationFailsTwice", "/M pc01 /T newdom", workstationFails(2), 2,
       lines({Resolved, " - Can not access. NetWkstaGetInfo called failed."})},
      {"WorkstationFailsTwiceVerbose", "/M pc01 /T newdom /V", workstationFails(2), 2,
       lines({Resolved, " ! Retrying NetWkstaGetInfo call...",
              " - Can not access. NetWkstaGetInfo called failed."})},
      {"WorkstationFailsLeavingRecords", "/M pc01 /T newdom /S", workstationFails(2, true), 2,
       lines({Resolved, " - Can not access. NetWkstaGetInfo called failed."})},
      {"ServerFailsTwiceAfterPing", "/M pc01 /T newdom /P /S", serverFails(2), 2,
       lines({Resolved, Up, " - Can not access. NetServerGetInfo call failed."})},
      {"ServerFailsTwiceVerbose", "/M pc01 /T newdom /V", serverFails(2), 2,
       lines({Resolved, " ! Retrying NetServerGetInfo call...",
              " - Can not access. NetServerGetInfo call failed."})},

      // Exit code 4.
      {"NameMismatch", "/M pc01 /T newdom /S", reported(u"PC99", u"NEWDOM"), 4,
       lines({Resolved, " - NetBIOS name does not match."})},
      {"NameMismatchVerboseHidesName", "/M pc01 /T newdom /V", reported(u"PC99", u"NEWDOM"), 4,
       lines({Resolved, " - NetBIOS name does not match."})},
      {"NullComputerName", "/M pc01 /T newdom", reported(std::nullopt, u"NEWDOM"), 4,
       lines({Resolved, " - NetBIOS name does not match."})},
      {"ReverseLookupFqdnComparedWhole", "/M 10.1.2.3 /T newdom",
       [](FakePlatform& f) { f.sockets.names[addressOf(10, 1, 2, 3)] = "pc01.lab.test"; }, 4,
       lines({" + Resolved IP address to: PC01.LAB.TEST", " - NetBIOS name does not match."})},

      // Exit code 8.
      {"OtherDomain", "/M pc01 /T newdom /S", reported(u"PC01", u"olddom"), 8,
       lines({Resolved, Matches, " - Remote PC is in domain: OLDDOM"})},
      {"DomainWithTargetPrefixIsAnotherDomain", "/M pc01 /T corp /S", reported(u"PC01", u"CORPNET"),
       8, lines({Resolved, Matches, " - Remote PC is in domain: CORPNET"})},
      {"DomainShorterThanTarget", "/M pc01 /T corp", reported(u"PC01", u"COR"), 8,
       lines({Resolved, Matches, " - Remote PC is in domain: COR"})},
      {"NullDomain", "/M pc01 /T newdom", reported(u"PC01", std::nullopt), 8,
       lines({Resolved, Matches, " - Remote PC is in domain: "})},
      {"IgnoredMismatchThenOtherDomain", "/M pc01 /T newdom /I /V", reported(u"X", u"OLDDOM"), 8,
       lines({Resolved, " ! NetBIOS name does not match. Returned: X",
              " - Remote PC is in domain: OLDDOM"})},

      // Exit code 9.
      {"NoItems", "", AsIs, 9, usageText()},
      {"LoneHelp", "/?", AsIs, 9, usageText()},
      {"ThreeItems", "/M pc01 /T", AsIs, 9, usageText()},
      {"TenItemsNotExamined", "/M PC01 /T DOM /S /P /I /V /S /X", AsIs, 9, usageText()},
      {"HelpWord", "/M PC01 /T DOM /HELP", AsIs, 9, usageText()},
      {"HyphenHelp", "-m PC01 -t DOM -?", AsIs, 9, usageText()},
      {"UnexpectedItem", "/M PC01 /T DOM /x", AsIs, 9, unexpected("/X") + usageText()},
      {"TwoUnexpectedItems", "/M PC01 /T DOM foo /zz", AsIs, 9,
       unexpected("FOO") + unexpected("/ZZ") + usageText()},
      {"HostSwitchTakesTargetSwitch", "/M /T DOM /S", AsIs, 9, unexpected("DOM") + usageText()},
      {"TargetSwitchLast", "/M PC01 /S /T", AsIs, 9, usageText()},
      {"ValueOnlyDots", "/M ..\\. /T DOM", AsIs, 9, usageText()},
      {"CommaInHost", "/M a,b /T DOM", AsIs, 9, usageText()},
      {"QuotedHostWithBlank", "/M \"pc 01\" /T DOM", AsIs, 9, usageText()},
      {"TabGluedToSwitch", "/M PC01\t/T DOM", AsIs, 9, usageText()},
      {"UnexpectedQuotedItemKeepsQuotes", "/M PC01 /T DOM \"x y\"", AsIs, 9,
       unexpected("\"X Y\"") + usageText()},
      {"UsageWinsOverConflict", "/M PC01 /V /Q /?", AsIs, 9, usageText()},

      // Exit code 16.
      {"RegistryConnectRefused", "/M pc01 /T newdom /S",
       [](FakePlatform& f) { f.registry.connectStatus = 53; }, 16,
       lines({Resolved, Matches, InNewdom,
              " - Can NOT access remote registry. Non-NT OS or access denied."})},
      {"WinlogonKeyRefused", "/M pc01 /T newdom /S",
       [](FakePlatform& f) { f.registry.openStatus = 5; }, 16,
       lines({Resolved, Matches, InNewdom, " - Can NOT access remote registry. Access denied."})},

      // Exit code 32.
      {"DefaultValueMissing", "/M pc01 /T newdom /S", values(std::nullopt, "OLDDOM" + Z), 32,
       lines({Resolved, Matches, InNewdom,
              " - Can NOT retrieve DefaultDomainName value from remote registry."})},
      {"AltValueMissing", "/M pc01 /T newdom /S", values("NEWDOM" + Z, std::nullopt), 32,
       lines({Resolved, Matches, InNewdom, " + DefaultDomainName value is already set to: NEWDOM",
              " - Can NOT retrieve AltDefaultDomainName value from remote registry."})},
      {"StoredMarkerReadsAsFailure", "/M pc01 /T newdom /S", values("*error*" + Z, "NEWDOM" + Z),
       32,
       lines({Resolved, Matches, InNewdom,
              " - Can NOT retrieve DefaultDomainName value from remote registry."})},
      {"ValueLargerThanBuffer", "/M pc01 /T newdom /S",
       values(std::string(1025, 'x'), "NEWDOM" + Z), 32,
       lines({Resolved, Matches, InNewdom,
              " - Can NOT retrieve DefaultDomainName value from remote registry."})},

      // Exit code 64.
      {"DefaultWriteFails", "/M pc01 /T newdom /S",
       [](FakePlatform& f) { f.registry.setStatuses["DefaultDomainName"] = 1016; }, 64,
       lines({Resolved, Matches, InNewdom, " * DefaultDomainName value is currently set to: OLDDOM",
              " - Failed to change DefaultDomainName value"})},
      {"AltWriteFailsAfterDefaultWritten", "/M pc01 /T newdom /S",
       [](FakePlatform& f) { f.registry.setStatuses["AltDefaultDomainName"] = 5; }, 64,
       lines({Resolved, Matches, InNewdom, " * DefaultDomainName value is currently set to: OLDDOM",
              " + DefaultDomainName value was successfully changed to: NEWDOM",
              " * AltDefaultDomainName value is currently set to: OLDDOM",
              " - Failed to change AltDefaultDomainName value"})},

      // Exit code 99.
      {"QuietWithVerbose", "/M pc01 /T newdom /V /Q", AsIs, 99,
       lines({"ERROR: /Q and /V switches can not be used at the same time. Pick one."})},
      {"DomainLabelTooLong", "/M pc01 /T abcdefghijklmnop", AsIs, 99,
       lines({"ERROR: /T: Invalid NetBIOS domain name (must be 15 characters or less)."})},
      {"HostLabelTooLong", "/M abcdefghijklmnop.lab /T newdom", AsIs, 99,
       lines({"ERROR: /M: Invalid NetBIOS hostname (must be 15 characters or less)."})},
      {"AddressFieldOverRange", "/M 300.1.1.1 /T newdom", AsIs, 99,
       lines({"ERROR: /M: Invalid IP Address. Please check format."})},
      {"AddressNegativeField", "/M -1.0.0.1 /T newdom", AsIs, 99,
       lines({"ERROR: /M: Invalid IP Address. Please check format."})},
      {"AddressEmptyField", "/M 1..2.3 /T newdom", AsIs, 99,
       lines({"ERROR: /M: Invalid IP Address. Please check format."})},
      {"AddressSignedField", "/M +1.2.3.4 /T newdom", AsIs, 99,
       lines({"ERROR: /M: Invalid IP Address. Please check format."})},
      {"AddressThreeFields", "/M 192.168.1 /T newdom", AsIs, 99,
       lines({"ERROR: /M: Invalid IP Address. Please check format."})},
      {"AddressFiveFields", "/M 1.2.3.4.5 /T newdom", AsIs, 99,
       lines({"ERROR: /M: Invalid IP Address. Please check format."})},
      {"NoLetterNoAddress", "/M 12-34 /T newdom", AsIs, 99,
       lines({"ERROR: /M: Invalid IP Address. Please check format."})},
      {"DomainCheckedBeforeHost", "/M 300.1.1.1 /T abcdefghijklmnop", AsIs, 99,
       lines({"ERROR: /T: Invalid NetBIOS domain name (must be 15 characters or less)."})},
  };
  return cases;
}

bool holdsSwitch(const std::string& tail, char letter) {
  for (std::size_t i = 0; i + 1 < tail.size(); ++i)
    if ((tail[i] == '/' || tail[i] == '-') && (tail[i + 1] == letter || tail[i + 1] == letter + 32))
      return true;
  return false;
}

class TranscriptTest : public testing::TestWithParam<TranscriptCase> {};

TEST_P(TranscriptTest, PrintsExactlyAndEndsWithItsCode) {
  const TranscriptCase& c = GetParam();
  FakePlatform fake;
  c.script(fake);
  const RunResult result = runOn(fake, c.tail);
  EXPECT_EQ(result.output, c.output);
  EXPECT_EQ(result.exitCode, c.exitCode);
}

// Under /Q a run keeps its exit code and shows only console lines, wherever /Q stands.
TEST(QuietTranscriptTest, KeepsExitCodeAndConsoleLinesOnly) {
  int checked = 0;
  for (const TranscriptCase& c : transcriptCases()) {
    if (c.exitCode == 9 || holdsSwitch(c.tail, 'V') || countCommandItems(c.tail) > 8) continue;
    for (const std::string& tail : {c.tail + " /Q", "-q " + c.tail}) {
      FakePlatform fake;
      c.script(fake);
      const RunResult result = runOn(fake, tail);
      const bool consoleLine = c.output.rfind("ERROR:", 0) == 0;
      EXPECT_EQ(result.output, consoleLine ? c.output : "") << c.name << ": " << tail;
      EXPECT_EQ(result.exitCode, c.exitCode) << c.name << ": " << tail;
      EXPECT_EQ(fake.console.titles.size(), [&] {
        FakePlatform loud;
        c.script(loud);
        runOn(loud, c.tail);
        return loud.console.titles.size();
      }()) << c.name;
    }
    ++checked;
  }
  EXPECT_GT(checked, 40);
}

TEST(QuietTranscriptTest, UsageAndUnexpectedItemsStillShow) {
  FakePlatform fake;
  const RunResult result = runOn(fake, "/M PC01 /T DOM /X /Q");
  EXPECT_EQ(result.output, unexpected("/X") + usageText());
  EXPECT_EQ(result.exitCode, 9);
}

// Whatever the path, what was opened is closed, each record is released once, every lookup
// cleans up after itself, and nothing reaches standard error (the fake has no such channel).
TEST_P(TranscriptTest, LeavesNothingOpen) {
  const TranscriptCase& c = GetParam();
  FakePlatform fake;
  c.script(fake);
  runOn(fake, c.tail);
  EXPECT_TRUE(fake.icmp.openHandles.empty());
  EXPECT_TRUE(fake.registry.openKeys.empty());
  EXPECT_TRUE(fake.net.eachRecordReleasedOnce());
  EXPECT_EQ(fake.sockets.startups, fake.sockets.cleanups);
  if (fake.registry.closed.size() == 2) {
    EXPECT_EQ(fake.registry.closed[0], FakeRegistry::WinlogonKey);
  }
}

// The remote registry is touched only after both the name and the domain checks passed.
TEST_P(TranscriptTest, RegistryOnlyAfterBothChecksPass) {
  const TranscriptCase& c = GetParam();
  FakePlatform fake;
  c.script(fake);
  const RunResult result = runOn(fake, c.tail);
  const bool passedChecks = result.output.find(InNewdom) != std::string::npos;
  if (!passedChecks || !holdsSwitch(c.tail, 'S')) {
    EXPECT_EQ(fake.registry.calls, 0);
  }
}

TEST_P(TranscriptTest, ExitCodeIsOneOfTheDocumentedCodes) {
  const TranscriptCase& c = GetParam();
  FakePlatform fake;
  c.script(fake);
  const std::set<int> documented = {0, 1, 2, 4, 8, 9, 16, 32, 64, 99};
  EXPECT_TRUE(documented.count(runOn(fake, c.tail).exitCode));
}

INSTANTIATE_TEST_SUITE_P(AllPaths, TranscriptTest, testing::ValuesIn(transcriptCases()),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(CheckRunTest, TypicalRunCallsThePlatformInOrder) {
  FakePlatform fake;
  runOn(fake, "/M pc01 /T newdom /P /S");
  const CallLog expected = {
      "WSAStartup(2)",
      "gethostbyname(PC01)",
      "WSACleanup",
      "inet_addr(10.1.2.3)",
      "IcmpCreateFile",
      "IcmpSendEcho(10.1.2.3)",
      "IcmpCloseHandle",
      "SetConsoleTitleA(PC01: Checking NetBIOS name...)",
      "NetWkstaGetInfo(\\\\PC01,102)",
      "NetServerGetInfo(\\\\PC01,102)",
      "SetConsoleTitleA(PC01: Checking current domain...)",
      "SetConsoleTitleA(PC01: Checking DefaultDomainName value...)",
      "RegConnectRegistryA(\\\\PC01)",
      "RegOpenKeyExA(SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon)",
      "RegQueryValueExA(DefaultDomainName,1024)",
      "RegSetValueExA(DefaultDomainName,1,7)",
      "RegQueryValueExA(AltDefaultDomainName,1024)",
      "RegSetValueExA(AltDefaultDomainName,1,7)",
      "RegCloseKey(key)",
      "RegCloseKey(root)",
      "NetApiBufferFree(#1)",
      "NetApiBufferFree(#2)",
  };
  EXPECT_EQ(fake.log, expected);
  EXPECT_EQ(fake.registry.openedAccess, KeyAllAccess);
  EXPECT_EQ(fake.registry.values["DefaultDomainName"], std::string("NEWDOM\0", 7));
  EXPECT_EQ(fake.registry.values["AltDefaultDomainName"], std::string("NEWDOM\0", 7));
  EXPECT_EQ(fake.registry.writtenTypes["DefaultDomainName"], RegSz);
  EXPECT_EQ(fake.net.serverPaths, (std::vector<std::u16string>{u"\\\\PC01", u"\\\\PC01"}));
}

TEST(CheckRunTest, EchoRequestCarriesNoDataAndMaximumTtl) {
  FakePlatform fake;
  Silent(fake);
  runOn(fake, "/M pc01 /T newdom /P");
  ASSERT_EQ(fake.icmp.requests.size(), 2u);
  for (const EchoRequest& request : fake.icmp.requests) {
    EXPECT_EQ(request.destination, addressOf(10, 1, 2, 3));
    EXPECT_EQ(request.dataSize, 0);
    EXPECT_EQ(request.ttl, 255);
    EXPECT_EQ(request.tos, 0);
    EXPECT_EQ(request.flags, 0);
    EXPECT_EQ(request.timeoutMs, 2000u);
  }
  EXPECT_EQ(fake.icmp.handlesOpened, 2);
}

TEST(CheckRunTest, FailedAttemptRecordIsReleasedBeforeTheSecondAttempt) {
  FakePlatform fake;
  fake.net.workstationReplies.push_back({53, true});
  runOn(fake, "/M pc01 /T newdom");
  const CallLog expected = {"NetWkstaGetInfo(\\\\PC01,102)", "NetApiBufferFree(#1)",
                            "NetWkstaGetInfo(\\\\PC01,102)", "NetServerGetInfo(\\\\PC01,102)"};
  const auto first = std::find(fake.log.begin(), fake.log.end(), expected[0]);
  ASSERT_NE(first, fake.log.end());
  EXPECT_TRUE(std::equal(expected.begin(), expected.end(), first));
  EXPECT_TRUE(fake.net.eachRecordReleasedOnce());
}

TEST(CheckRunTest, CommonEndReleasesBothRecordsEvenWhenNull) {
  FakePlatform fake;
  fake.net.workstationReplies = {{53, false}, {53, false}};
  runOn(fake, "/M pc01 /T newdom");
  ASSERT_GE(fake.log.size(), 2u);
  EXPECT_EQ(fake.log[fake.log.size() - 2], "NetApiBufferFree(null)");
  EXPECT_EQ(fake.log.back(), "NetApiBufferFree(null)");
}

TEST(CheckRunTest, NothingReachesTheNetworkBeforeValuesAreAccepted) {
  for (const char* tail : {"/M pc01 /T newdom /X", "/M pc01 /T abcdefghijklmnop /P",
                           "/M 300.1.1.1 /T newdom /P", "/M pc01 /T newdom /V /Q"}) {
    FakePlatform fake;
    runOn(fake, tail);
    EXPECT_EQ(fake.sockets.startups, 0) << tail;
    EXPECT_TRUE(fake.icmp.requests.empty()) << tail;
    EXPECT_TRUE(fake.net.serverPaths.empty()) << tail;
  }
}

TEST(CheckRunTest, ProgressTitlesFollowTheStepsAlsoWhenQuiet) {
  for (const char* tail : {"/M pc01 /T newdom /S", "/M pc01 /T newdom /S /Q"}) {
    FakePlatform fake;
    runOn(fake, tail);
    const std::vector<std::string> expected = {"PC01: Checking NetBIOS name...",
                                               "PC01: Checking current domain...",
                                               "PC01: Checking DefaultDomainName value..."};
    EXPECT_EQ(fake.console.titles, expected) << tail;
  }
}

TEST(CheckRunTest, TitleNeverCarriesControlBytesFromAReverseLookup) {
  FakePlatform fake;
  fake.sockets.names[addressOf(10, 1, 2, 3)] = "evil\x1b]0;x\a\r\n";
  fake.net.computerName = u"EVIL\x1b]0;X\a\r\n";
  runOn(fake, "/M 10.1.2.3 /T newdom");
  ASSERT_FALSE(fake.console.titles.empty());
  EXPECT_EQ(fake.console.titles[0], "EVIL]0;X: Checking NetBIOS name...");
}

TEST(CheckRunTest, UnexpectedItemsPauseOneSecondEach) {
  FakePlatform fake;
  runOn(fake, "/M PC01 /T DOM /X /Y");
  EXPECT_EQ(fake.console.pauses, (std::vector<unsigned>{1000, 1000}));
  FakePlatform tooMany;
  runOn(tooMany, "/M PC01 /T DOM /X /Y /Z /A /B /C");
  EXPECT_TRUE(tooMany.console.pauses.empty());
}

TEST(CheckRunTest, EachLineIsHandedOverWholeInOneWrite) {
  FakePlatform fake;
  runOn(fake, "/M pc404 /T newdom");
  EXPECT_EQ(fake.console.writes,
            (std::vector<std::string>{" - Could not resolve hostname to IP Address.\r\n"}));
  FakePlatform usage;
  runOn(usage, "/?");
  ASSERT_FALSE(usage.console.writes.empty());
  EXPECT_EQ(usage.console.writes[0], "\r\n");  // an empty line is the line end alone
}

TEST(CheckRunTest, AddressZeroChecksTheLocalComputer) {
  FakePlatform fake;
  fake.sockets.localName = "workstation";
  fake.net.computerName = u"WORKSTATION";
  const RunResult result = runOn(fake, "/M 0.0.0.0 /T newdom");
  EXPECT_EQ(result.output, lines({" + Resolved IP address to: WORKSTATION", Matches, InNewdom}));
  EXPECT_EQ(result.exitCode, 0);
  EXPECT_EQ(fake.net.serverPaths.front(), u"\\\\WORKSTATION");
}

TEST(CheckRunTest, EachRunStartsDisplayed) {
  FakePlatform quiet;
  runOn(quiet, "/M pc01 /T newdom /Q");
  FakePlatform loud;
  EXPECT_EQ(runOn(loud, "/M pc01 /T newdom").output, lines({Resolved, Matches, InNewdom}));
}

}  // namespace
}  // namespace cairn::fakes
