// The check run through the scripted platform: one table of whole runs, byte for byte, for every
// exit code and each path to it; the order of the platform calls; and a sweep that makes every
// call a run reaches fail in every way it can. The command line's own rules show in the table.
#include <gtest/gtest.h>

#include <algorithm>
#include <deque>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <optional>
#include <set>

#include "check/check_run.h"
#include "front/command_line.h"
#include "front/single_check.h"
#include "tests/fakes/fake_platform.h"

namespace cairn::fakes {
namespace {

std::string lines(std::initializer_list<std::string> texts) {
  std::string joined;
  for (const std::string& text : texts) joined += text + "\r\n";
  return joined;
}

// The usage text from its one golden copy, which the end-to-end runs read too.
const std::string Usage = [] {
  std::ifstream file(CAIRN_USAGE_FILE, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(file), {});
}();

const std::string Resolved = " + Resolved hostname to: 10.1.2.3";
const std::string ResolvedPc01 = " + Resolved IP address to: PC01";
const std::string Up = " + Host UP. Successfully pinged: 10.1.2.3";
const std::string Down = " - Host DOWN. Could not ping: 10.1.2.3";
const std::string Knock = " ! Second knock...";
const std::string Matches = " + NetBIOS name matches.";
const std::string Mismatch = " - NetBIOS name does not match.";
const std::string InNewdom = " + Remote PC is in target domain: NEWDOM";
const std::string Checked = lines({Resolved, Matches, InNewdom});
const std::string NoAddress = lines({" - Could not resolve hostname to IP Address."});
const std::string NoName = lines({" - Could not resolve IP Address to hostname."});
const std::string WorkstationFailed = " - Can not access. NetWkstaGetInfo called failed.";
const std::string ServerFailed = " - Can not access. NetServerGetInfo call failed.";
const std::string BadAddress = lines({"ERROR: /M: Invalid IP Address. Please check format."});
const std::string LongHost =
    lines({"ERROR: /M: Invalid NetBIOS hostname (must be 15 characters or less)."});
const std::string LongDomain =
    lines({"ERROR: /T: Invalid NetBIOS domain name (must be 15 characters or less)."});
// Bytes a hostile PC or name record may send: control bytes around ordinary ones.
const std::string Hostile = "x\x1b[2J\x01\x1f\x7f !~\x80\xff";
const std::u16string HostileWide = u"x\x1b[2J\x01\x1f\x7f !~\x80\xff";
const std::string HostileShown = "X?[2J??? !~\x80\xff";
const std::string Nul("\0", 1);

std::string unexpected(const std::string& item) {
  return lines({"", "\a" + item + " was unexpected."});
}

// The Winlogon lines of one value ("Default" or "AltDefault").
std::string changed(const std::string& value, const std::string& old) {
  return lines({" * " + value + "DomainName value is currently set to: " + old,
                " + " + value + "DomainName value was successfully changed to: NEWDOM"});
}
std::string already(const std::string& value) {
  return lines({" + " + value + "DomainName value is already set to: NEWDOM"});
}
std::string unreadable(const std::string& value) {
  return lines({" - Can NOT retrieve " + value + "DomainName value from remote registry."});
}

using Script = std::function<void(FakePlatform&)>;

const Script AsIs = [](FakePlatform&) {};

// The calls of that name fail with these kinds in turn (-1 lets one pass).
Script fail(const std::string& call, std::deque<int> kinds) {
  return [=](FakePlatform& f) { f.failing[call] = kinds; };
}

Script reported(std::optional<std::u16string> name, std::optional<std::u16string> domain) {
  return [=](FakePlatform& f) {
    f.computerName = name;
    f.langroup = domain;
  };
}

Script stored(std::optional<std::string> defaultValue, std::optional<std::string> altValue) {
  return [=](FakePlatform& f) {
    f.values.clear();
    if (defaultValue) f.values["DefaultDomainName"] = *defaultValue;
    if (altValue) f.values["AltDefaultDomainName"] = *altValue;
  };
}

Script reverseName(const std::string& name) {
  return [=](FakePlatform& f) { f.names[addressOf(10, 1, 2, 3)] = name; };
}

Script address(const std::string& name) {
  return [=](FakePlatform& f) { f.addresses[name] = addressOf(10, 1, 2, 3); };
}

struct Row {
  std::string name;
  std::string tail;
  Script script;
  int exitCode;
  std::string output;
};

void PrintTo(const Row& row, std::ostream* os) {
  *os << row.name;
}

std::vector<Row> rows() {
  std::vector<Row> rows = {
      // Exit code 0.
      {"AllPass", "/M pc01 /T newdom", AsIs, 0, Checked},
      {"TypicalRun", "/M pc01 /T newdom /P /S", AsIs, 0,
       lines({Resolved, Up, Matches, InNewdom}) + changed("Default", "OLDDOM") +
           changed("AltDefault", "OLDDOM")},
      {"NineItemsWithHyphens", "-m pc01 -t newdom -s -p -i -v -s", AsIs, 0,
       lines({Resolved, Up, " ! NetBIOS name matches.", InNewdom}) + changed("Default", "OLDDOM") +
           changed("AltDefault", "OLDDOM")},
      {"LongSwitchesAndFqdns", "/machine PC01.lab.test /target newdom.lab.test", AsIs, 0, Checked},
      {"TrimmedValues", "/M \"\\\\pc01\" /T \".newdom.\\\"", AsIs, 0, Checked},
      {"LaterValuesWinInAnyOrder", "/T b /M a /T newdom /M pc01", AsIs, 0, Checked},
      {"GluedSwitchAndBlanks", "/M   pc01/T   newdom  ", AsIs, 0, Checked},
      {"HyphenDoesNotSplit", "-m-t pc01 -t newdom", AsIs, 0, Checked},
      {"OneLetterLabelsAreCut", "/M p.lab /T a.corp",
       [](FakePlatform& f) {
         address("P")(f);
         reported(u"P", u"A")(f);
       },
       0, lines({Resolved, Matches, " + Remote PC is in target domain: A"})},
      {"FifteenLetterLabels", "/M abcdefghijklmno.lab /T abcdefghijklmno.lab",
       [](FakePlatform& f) {
         address("ABCDEFGHIJKLMNO")(f);
         reported(u"abcdefghijklmno", u"abcdefghijklmno")(f);
       },
       0, lines({Resolved, Matches, " + Remote PC is in target domain: ABCDEFGHIJKLMNO"})},
      {"AddressResolvesToName", "/M 10.1.2.3 /T newdom", AsIs, 0,
       lines({ResolvedPc01, Matches, InNewdom})},
      {"AddressWithLeadingZeros", "/M 010.001.002.003 /T newdom /P", AsIs, 0,
       lines({ResolvedPc01, Up, Matches, InNewdom})},
      {"SecondKnockAnswered", "/M pc01 /T newdom /P", fail("IcmpSendEcho", {0}), 0,
       lines({Resolved, Up, Matches, InNewdom})},
      {"SecondKnockAnsweredVerbose", "/M pc01 /T newdom /P /V", fail("IcmpSendEcho", {0}), 0,
       lines({Resolved, Knock, Up, Matches, InNewdom})},
      {"WorkstationRetrySilent", "/M pc01 /T newdom", fail("NetWkstaGetInfo", {0}), 0, Checked},
      {"WorkstationRetryVerbose", "/M pc01 /T newdom /V", fail("NetWkstaGetInfo", {1}), 0,
       lines({Resolved, " ! Retrying NetWkstaGetInfo call...", Matches, InNewdom})},
      {"ServerRetryVerbose", "/M pc01 /T newdom /V", fail("NetServerGetInfo", {1}), 0,
       lines({Resolved, " ! Retrying NetServerGetInfo call...", Matches, InNewdom})},
      {"ReportedNamesWithBlanks", "/M pc01 /T newdom", reported(u"  pc01 ", u" newdom "), 0,
       Checked},
      {"IgnoredMismatchSilent", "/M pc01 /T newdom /I", reported(u"PC99", u"NEWDOM"), 0,
       lines({Resolved, InNewdom})},
      {"IgnoredMismatchVerbose", "/M pc01 /T newdom /I /V", reported(u"pc99", u"NEWDOM"), 0,
       lines({Resolved, " ! NetBIOS name does not match. Returned: PC99", InNewdom})},
      {"IgnoredMatchVerbose", "/M pc01 /T newdom /I /V", AsIs, 0,
       lines({Resolved, " ! NetBIOS name matches.", InNewdom})},
      {"IgnoredMatchSilent", "/M pc01 /T newdom /I", AsIs, 0, lines({Resolved, InNewdom})},
      {"BothValuesAlreadyTarget", "/M pc01 /T newdom /S", stored("NewDom" + Nul, "newdom" + Nul), 0,
       Checked + already("Default") + already("AltDefault")},
      {"DefaultDiffersAltMatches", "/M pc01 /T newdom /S", stored("OLDDOM" + Nul, "NEWDOM" + Nul),
       0, Checked + changed("Default", "OLDDOM") + already("AltDefault")},
      {"EmptyValueOverwritten", "/M pc01 /T newdom /S", stored(Nul, "NEWDOM" + Nul), 0,
       Checked + changed("Default", "") + already("AltDefault")},
      {"LongerValueOverwritten", "/M pc01 /T newdom /S", stored("newdomain" + Nul, "NEWDOM" + Nul),
       0, Checked + changed("Default", "NEWDOMAIN") + already("AltDefault")},
      {"ValueWithoutNulReadToBufferEnd", "/M pc01 /T newdom /S",
       stored(std::string(1024, 'x'), "NEWDOM" + Nul), 0,
       Checked + changed("Default", std::string(1024, 'X')) + already("AltDefault")},

      // Exit code 1.
      {"NameDoesNotResolve", "/M pc404 /T newdom", AsIs, 1, NoAddress},
      {"LettersAToZMakeAName", "/M a1 /T newdom", AsIs, 1, NoAddress},
      {"ZMakesAName", "/M z1 /T newdom", AsIs, 1, NoAddress},
      {"LetterAnywhereMakesAName", "/M 1.2.3.e /T newdom", AsIs, 1, NoAddress},
      {"NameOfZeroAddress", "/M zero /T newdom", [](FakePlatform& f) { f.addresses["ZERO"] = 0; },
       1, NoAddress},
      {"SocketsRefuseToStartForName", "/M pc01 /T newdom", fail("WSAStartup", {0}), 1, NoAddress},
      {"SocketsGrantOtherVersion", "/M pc01 /T newdom", fail("WSAStartup", {1}), 1, NoAddress},
      {"AddressWithoutReverseEntry", "/M 10.9.9.9 /T newdom", AsIs, 1, NoName},
      {"SocketsRefuseToStartForAddress", "/M 10.1.2.3 /T newdom", fail("WSAStartup", {0}), 1,
       NoName},
      {"HostDown", "/M pc01 /T newdom /P", fail("IcmpSendEcho", {0, 0}), 1,
       lines({Resolved, Down})},
      {"HostDownVerbose", "/M pc01 /T newdom /P /V", fail("IcmpSendEcho", {0, 0}), 1,
       lines({Resolved, Knock, Down})},
      {"HostDownShowsNormalisedAddress", "/M 010.001.002.003 /T newdom /P",
       fail("IcmpSendEcho", {3, 3}), 1, lines({ResolvedPc01, Down})},
      {"EchoErrorReplyIsNoAnswer", "/M pc01 /T newdom /P", fail("IcmpSendEcho", {2, 2}), 1,
       lines({Resolved, Down})},
      {"NoReplyWithCleanStatusIsNoAnswer", "/M pc01 /T newdom /P", fail("IcmpSendEcho", {1, 1}), 1,
       lines({Resolved, Down})},
      {"IcmpHandleUnavailable", "/M pc01 /T newdom /P", fail("IcmpCreateFile", {0, 0}), 1,
       lines({Resolved, Down})},
      {"BroadcastAddressIsNoAddress", "/M 255.255.255.255 /T newdom /P",
       [](FakePlatform& f) { f.names[0xFFFFFFFFu] = "bcast"; }, 1,
       lines(
           {" + Resolved IP address to: BCAST", " - Host DOWN. Could not ping: 255.255.255.255"})},

      // Exit code 2.
      {"WorkstationFailsTwice", "/M pc01 /T newdom", fail("NetWkstaGetInfo", {0, 0}), 2,
       lines({Resolved, WorkstationFailed})},
      {"WorkstationFailsTwiceVerbose", "/M pc01 /T newdom /V", fail("NetWkstaGetInfo", {0, 1}), 2,
       lines({Resolved, " ! Retrying NetWkstaGetInfo call...", WorkstationFailed})},
      {"WorkstationFailsLeavingRecords", "/M pc01 /T newdom /S", fail("NetWkstaGetInfo", {1, 1}), 2,
       lines({Resolved, WorkstationFailed})},
      {"ServerFailsTwiceAfterPing", "/M pc01 /T newdom /P /S", fail("NetServerGetInfo", {0, 0}), 2,
       lines({Resolved, Up, ServerFailed})},
      {"ServerFailsTwiceVerbose", "/M pc01 /T newdom /V", fail("NetServerGetInfo", {1, 0}), 2,
       lines({Resolved, " ! Retrying NetServerGetInfo call...", ServerFailed})},

      // Exit code 4.
      {"NameMismatch", "/M pc01 /T newdom /S", reported(u"PC99", u"NEWDOM"), 4,
       lines({Resolved, Mismatch})},
      {"NameMismatchVerboseHidesName", "/M pc01 /T newdom /V", reported(u"PC99", u"NEWDOM"), 4,
       lines({Resolved, Mismatch})},
      {"NullComputerName", "/M pc01 /T newdom", reported(std::nullopt, u"NEWDOM"), 4,
       lines({Resolved, Mismatch})},
      {"TabIsNoBlank", "/M pc01 /T newdom", reported(u"\tPC01", u"NEWDOM"), 4,
       lines({Resolved, Mismatch})},
      {"ReverseLookupFqdnComparedWhole", "/M 10.1.2.3 /T newdom", reverseName("pc01.lab.test"), 4,
       lines({" + Resolved IP address to: PC01.LAB.TEST", Mismatch})},
      {"ZeroAddressIsTheLocalComputer", "/M 0.0.0.0 /T newdom", AsIs, 4,
       lines({" + Resolved IP address to: WORKSTATION", Mismatch})},

      // Exit code 8.
      {"OtherDomain", "/M pc01 /T newdom /S", reported(u"PC01", u"olddom"), 8,
       lines({Resolved, Matches, " - Remote PC is in domain: OLDDOM"})},
      {"DomainWithTargetPrefix", "/M pc01 /T corp /S", reported(u"PC01", u"CORPNET"), 8,
       lines({Resolved, Matches, " - Remote PC is in domain: CORPNET"})},
      {"DomainShorterThanTarget", "/M pc01 /T corp", reported(u"PC01", u"COR"), 8,
       lines({Resolved, Matches, " - Remote PC is in domain: COR"})},
      {"NullDomain", "/M pc01 /T newdom", reported(u"PC01", std::nullopt), 8,
       lines({Resolved, Matches, " - Remote PC is in domain: "})},
      {"CodePageLettersUpperCased", "/M pc01 /T newdom",
       reported(u"PC01", u"`az{\x83\x84\x94\x81\x82\xa4\x86\x87\x88"), 8,
       lines({Resolved, Matches,
              " - Remote PC is in domain: `AZ{\x83\x8e\x99\x9a\x90\xa5\x8f\x80\x88"})},
      {"IgnoredMismatchThenOtherDomain", "/M pc01 /T newdom /I /V", reported(u"X", u"OLDDOM"), 8,
       lines({Resolved, " ! NetBIOS name does not match. Returned: X",
              " - Remote PC is in domain: OLDDOM"})},

      // Exit code 9.
      {"NoItems", "", AsIs, 9, Usage},
      {"LoneHelp", "/?", AsIs, 9, Usage},
      {"HelpBeforeTheValues", "/? /M PC01 /T DOM", AsIs, 9, Usage},
      {"ThreeItems", "/M pc01 /T", AsIs, 9, Usage},
      {"TenItemsNotExamined", "/M PC01 /T DOM /S /P /I /V /S /X", AsIs, 9, Usage},
      {"HelpWord", "/M PC01 /T DOM /HELP", AsIs, 9, Usage},
      {"HyphenHelp", "-m PC01 -t DOM -?", AsIs, 9, Usage},
      {"HyphenH", "/M PC01 /T DOM -h", AsIs, 9, Usage},
      {"UnexpectedItem", "/M PC01 /T DOM /x", AsIs, 9, unexpected("/X") + Usage},
      {"UnexpectedItemFirst", "/X /M PC01 /T DOM", AsIs, 9, unexpected("/X") + Usage},
      {"UnexpectedItemWhenQuiet", "/M PC01 /T DOM /X /Q", AsIs, 9, unexpected("/X") + Usage},
      {"TwoUnexpectedItems", "/M PC01 /T DOM foo /zz", AsIs, 9,
       unexpected("FOO") + unexpected("/ZZ") + Usage},
      {"QuotesSplitItems", "/M pc01 /T newdom ab\"cd ef\"gh", AsIs, 9,
       unexpected("AB") + unexpected("\"CD EF\"") + unexpected("GH") + Usage},
      {"OpenQuoteRunsToTheEnd", "/M pc01 /T newdom \"x /S", AsIs, 9, unexpected("\"X /S") + Usage},
      {"EmptyQuotedItem", "/M pc01 /T newdom \"\" \"y\"", AsIs, 9,
       unexpected("\"\"") + unexpected("\"Y\"") + Usage},
      {"LoneSlash", "//M pc01 /T newdom", AsIs, 9, unexpected("/") + Usage},
      {"HostSwitchTakesTargetSwitch", "/M /T DOM /S", AsIs, 9, unexpected("DOM") + Usage},
      {"TargetSwitchLast", "/M PC01 /S /T", AsIs, 9, Usage},
      {"ValueOnlyDots", "/M ..\\. /T DOM", AsIs, 9, Usage},
      {"EmptyQuotedValue", "/M \"\" /T DOM", AsIs, 9, Usage},
      {"CommaInHost", "/M a,b /T DOM", AsIs, 9, Usage},
      {"QuotedHostWithBlank", "/M \"pc 01\" /T DOM", AsIs, 9, Usage},
      {"TabGluedToHost", "/M PC01\t/T DOM", AsIs, 9, Usage},
      {"UsageWinsOverConflict", "/M PC01 /V /Q /?", AsIs, 9, Usage},

      // Exit code 16.
      {"RegistryConnectRefused", "/M pc01 /T newdom /S", fail("RegConnectRegistryA", {0}), 16,
       Checked + lines({" - Can NOT access remote registry. Non-NT OS or access denied."})},
      {"WinlogonKeyRefused", "/M pc01 /T newdom /S", fail("RegOpenKeyExA", {0}), 16,
       Checked + lines({" - Can NOT access remote registry. Access denied."})},

      // Exit code 32.
      {"DefaultValueMissing", "/M pc01 /T newdom /S", stored(std::nullopt, "OLDDOM" + Nul), 32,
       Checked + unreadable("Default")},
      {"AltValueMissing", "/M pc01 /T newdom /S", stored("NEWDOM" + Nul, std::nullopt), 32,
       Checked + already("Default") + unreadable("AltDefault")},
      {"StoredMarkerReadsAsFailure", "/M pc01 /T newdom /S", stored("*error*" + Nul, "x"), 32,
       Checked + unreadable("Default")},
      {"ValueLargerThanBuffer", "/M pc01 /T newdom /S", stored(std::string(1025, 'x'), "x"), 32,
       Checked + unreadable("Default")},

      // Exit code 64.
      {"DefaultWriteFails", "/M pc01 /T newdom /S", fail("RegSetValueExA", {0}), 64,
       Checked + lines({" * DefaultDomainName value is currently set to: OLDDOM",
                        " - Failed to change DefaultDomainName value"})},
      {"AltWriteFailsAfterDefaultWritten", "/M pc01 /T newdom /S", fail("RegSetValueExA", {-1, 0}),
       64,
       Checked + changed("Default", "OLDDOM") +
           lines({" * AltDefaultDomainName value is currently set to: OLDDOM",
                  " - Failed to change AltDefaultDomainName value"})},

      // Exit code 99.
      {"QuietWithVerbose", "/M pc01 /T newdom /V /Q", AsIs, 99,
       lines({"ERROR: /Q and /V switches can not be used at the same time. Pick one."})},
      {"DomainLabelTooLong", "/M pc01 /T abcdefghijklmnop", AsIs, 99, LongDomain},
      {"HostLabelTooLong", "/M abcdefghijklmnop.lab /T newdom", AsIs, 99, LongHost},
      {"DomainCheckedBeforeHost", "/M 300.1.1.1 /T abcdefghijklmnop", AsIs, 99, LongDomain},

      // Text from the network is shown with its control bytes as '?'.
      {"HostileReverseName", "/M 10.1.2.3 /T newdom", reverseName(Hostile), 4,
       lines({" + Resolved IP address to: " + HostileShown, Mismatch})},
      {"HostileComputerName", "/M pc01 /T newdom /I /V", reported(HostileWide, u"NEWDOM"), 0,
       lines({Resolved, " ! NetBIOS name does not match. Returned: " + HostileShown, InNewdom})},
      {"HostileDomain", "/M pc01 /T newdom", reported(u"PC01", HostileWide), 8,
       lines({Resolved, Matches, " - Remote PC is in domain: " + HostileShown})},
      {"HostileWinlogonValue", "/M pc01 /T newdom /S", stored(Hostile + Nul, "NEWDOM" + Nul), 0,
       Checked + changed("Default", HostileShown) + already("AltDefault")},
  };
  int n = 0;
  for (const char* text : {"300.1.1.1", "256.1.1.1", "-1.0.0.1", "+1.2.3.4", "1..2.3", "192.168.1",
                           "1.2.3.4.5", "0001.2.3.4", "12-34", "1.2.3.\xb9", "\xe4\xf6.1.2.3"})
    rows.push_back({"BadAddress" + std::to_string(++n), "/M " + std::string(text) + " /T newdom",
                    AsIs, 99, BadAddress});
  return rows;
}

// What every run must leave behind, whatever its path.
void expectWellBehaved(const FakePlatform& fake, const std::string& where) {
  EXPECT_TRUE(fake.leftClean()) << where;
  // Each line is handed over whole, in one write.
  std::size_t lineEnds = 0;
  for (auto at = fake.output.find("\r\n"); at != std::string::npos;
       at = fake.output.find("\r\n", at + 2))
    ++lineEnds;
  EXPECT_EQ(fake.writes, static_cast<int>(lineEnds)) << where;
  EXPECT_TRUE(fake.output.empty() || fake.output.ends_with("\r\n")) << where;
  // The registry is touched only after both the name and the domain checks passed.
  const bool passed = fake.output.find(" + Remote PC is in target domain: ") != std::string::npos;
  for (const std::string& entry : fake.log)
    EXPECT_TRUE(passed || !entry.starts_with("Reg")) << where << ": " << entry;
}

int runOn(FakePlatform& fake, const Row& row, const std::string& tail) {
  row.script(fake);
  return runChecks(tail, fake.platform);
}

class TranscriptTest : public testing::TestWithParam<Row> {};

TEST_P(TranscriptTest, PrintsExactlyAndEndsWithItsCode) {
  const Row& row = GetParam();
  // Under /Q, wherever it stands, a run makes the same calls, keeps its code and shows only the
  // console lines. The quiet runs come first: each run must start displayed.
  const bool quietable = row.exitCode != 9 && row.tail.find("/V") == std::string::npos &&
                         splitCommandItems(row.tail).size() < 9;
  std::vector<CallLog> quietLogs;
  for (const std::string& tail : {row.tail + " /Q", "-q " + row.tail}) {
    if (!quietable) break;
    FakePlatform quiet;
    EXPECT_EQ(runOn(quiet, row, tail), row.exitCode) << tail;
    EXPECT_EQ(quiet.output, row.output.starts_with("ERROR:") ? row.output : "") << tail;
    quietLogs.push_back(quiet.log);
  }
  FakePlatform fake;
  EXPECT_EQ(runOn(fake, row, row.tail), row.exitCode);
  EXPECT_EQ(fake.output, row.output);
  expectWellBehaved(fake, row.tail);
  for (const CallLog& log : quietLogs) EXPECT_EQ(log, fake.log);
  // Nothing reaches the network before the values are accepted.
  if (row.exitCode == 9 || row.exitCode == 99) {
    for (const std::string& entry : fake.log) EXPECT_EQ(callNameOf(entry), "Sleep");
  }
}

INSTANTIATE_TEST_SUITE_P(AllPaths, TranscriptTest, testing::ValuesIn(rows()),
                         [](const auto& info) { return info.param.name; });

// The platform calls of a run, in order, with the arguments that matter.
TEST(CallOrderTest, CallsThePlatformInOrder) {
  struct Case {
    std::string tail;
    Script script;
    std::string calls;  // the log, entries joined by '|'
  };
  const Case cases[] = {
      {"/M pc01 /T newdom /P /S", AsIs,
       "WSAStartup(2)|gethostbyname(PC01)|WSACleanup|inet_addr(10.1.2.3)|IcmpCreateFile|"
       "IcmpSendEcho(10.1.2.3,0,255,0,0,2000)|IcmpCloseHandle(echo1)|"
       "SetConsoleTitleA(PC01: Checking NetBIOS name...)|NetWkstaGetInfo(\\\\PC01)|"
       "NetServerGetInfo(\\\\PC01)|SetConsoleTitleA(PC01: Checking current domain...)|"
       "SetConsoleTitleA(PC01: Checking DefaultDomainName value...)|"
       "RegConnectRegistryA(\\\\PC01)|"
       "RegOpenKeyExA(SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon,983103)|"
       "RegQueryValueExA(DefaultDomainName,1024)|RegSetValueExA(DefaultDomainName,1,NEWDOM\\0)|"
       "RegQueryValueExA(AltDefaultDomainName,1024)|"
       "RegSetValueExA(AltDefaultDomainName,1,NEWDOM\\0)|RegCloseKey(key1)|RegCloseKey(root1)|"
       "NetApiBufferFree(record1)|NetApiBufferFree(record2)"},
      // A failed attempt's record is released before the second attempt; a title keeps none of
      // the control bytes of a reverse-lookup name.
      {"/M 10.1.2.3 /T newdom",
       [](FakePlatform& f) {
         reverseName("pc\x1b]0;x\a\x7f\xe9z")(f);
         f.computerName = u"PC\x1b]0;X\a\x7f\xe9Z";
         fail("NetWkstaGetInfo", {1})(f);
       },
       "WSAStartup(2)|gethostbyaddr(10.1.2.3)|WSACleanup|"
       "SetConsoleTitleA(PC]0;X\xe9Z: Checking NetBIOS name...)|"
       "NetWkstaGetInfo(\\\\PC\x1b]0;X\a\x7f\xe9Z)|NetApiBufferFree(record1)|"
       "NetWkstaGetInfo(\\\\PC\x1b]0;X\a\x7f\xe9Z)|NetServerGetInfo(\\\\PC\x1b]0;X\a\x7f\xe9Z)|"
       "SetConsoleTitleA(PC]0;X\xe9Z: Checking current domain...)|"
       "NetApiBufferFree(record2)|NetApiBufferFree(record3)"},
      // The common end releases both records, null ones too.
      {"/M 0.0.0.0 /T newdom", fail("NetWkstaGetInfo", {0, 0}),
       "WSAStartup(2)|gethostname|WSACleanup|"
       "SetConsoleTitleA(WORKSTATION: Checking NetBIOS name...)|"
       "NetWkstaGetInfo(\\\\WORKSTATION)|NetWkstaGetInfo(\\\\WORKSTATION)|"
       "NetApiBufferFree(null)|NetApiBufferFree(null)"},
      // Each unexpected item pauses for a second, unless there are too many items to look at.
      {"/M PC01 /T DOM /X /Y", AsIs, "Sleep(1000)|Sleep(1000)"},
      {"/M PC01 /T DOM /X /Y /Z /A /B /C", AsIs, ""},
  };
  for (const Case& c : cases) {
    FakePlatform fake;
    c.script(fake);
    runChecks(c.tail, fake.platform);
    std::string calls;
    for (const std::string& entry : fake.log) calls += (calls.empty() ? "" : "|") + entry;
    EXPECT_EQ(calls, c.calls) << c.tail;
  }
}

// A trigger-started registry service: the connect is repeated after short pauses while the pipe
// is busy, up to 10 s of pauses, and a pipe still busy then ends the run as a refusal does.
TEST(TriggerStartTest, WaitsForABusyRegistryPipeWithinItsBound) {
  const struct {
    int busyConnects;
    int exitCode;
  } cases[] = {{1, 0}, {40, 0}, {41, 16}, {100, 16}};
  for (const auto& c : cases) {
    FakePlatform fake;
    fail("RegConnectRegistryA", std::deque<int>(c.busyConnects, 1))(fake);
    EXPECT_EQ(runChecks("/M pc01 /T newdom /S", fake.platform), c.exitCode) << c.busyConnects;
    const auto count = [&](const std::string& entry) {
      return std::count(fake.log.begin(), fake.log.end(), entry);
    };
    const int connects = std::min(c.busyConnects + 1, 41);
    EXPECT_EQ(count("RegConnectRegistryA(\\\\PC01)"), connects) << c.busyConnects;
    EXPECT_EQ(count("Sleep(250)"), connects - 1) << c.busyConnects;
    expectWellBehaved(fake, "busy registry pipe");
  }
}

TEST(CommandTailTest, CutsTheProgramNameAndItsBlanks) {
  const std::pair<std::string, std::string> cases[] = {
      {"\"C:\\Program Files\\cairnmark.exe\" /M pc01", "/M pc01"},
      {"\"C:\\a b\\cm.exe\"/M pc01", "/M pc01"},
      {"\"unclosed /M pc01", ""},
      {"\"\"/M pc01", "/M pc01"},
      {"cairnmark.exe   /M pc01 /T d  ", "/M pc01 /T d  "},
      {"cairnmark.exe\t/M", "\t/M"},
      {"cm!\xe9.exe /M", "/M"},
      {"cairnmark.exe", ""},
      {"", ""},
  };
  for (const auto& [line, tail] : cases) EXPECT_EQ(commandTailOf(line), tail) << line;
}

// Fault injection: every call a run reaches fails in every way it can, alone and paired with
// each later failure, and the run must still end as that failure implies and leave nothing
// behind. The configurations are runs that pass when nothing fails.
struct Configuration {
  const char* tail;
  const char* localName;
  const char* storedValue;  // both Winlogon values
};

const Configuration Configurations[] = {
    {"/M pc01 /T newdom /P /S", "WORKSTATION", "olddom"},
    {"/M 10.1.2.3 /T newdom /P /S /I /V", "WORKSTATION", "olddom"},
    {"/M pc01.lab.test /T newdom.lab.test /S /V", "WORKSTATION", "olddom"},
    {"/M 0.0.0.0 /T newdom /P /S", "pc01", "olddom"},
    {"/M pc01 /T newdom /P /S", "WORKSTATION", "NewDom"},
    {"/M pc01 /T newdom /P", "WORKSTATION", "olddom"},
};

// The exit code a set of failures implies, read independently of the check run's code from the
// calls the run made: the first failure that ends a run decides, and the retried steps fail only
// when both of their attempts failed.
int impliedExitCode(const CallLog& log, const std::map<std::size_t, int>& faults) {
  int echoAttempt = 0;
  std::set<int> failedEchoAttempts;
  int workstationFailures = 0;
  int serverFailures = 0;
  for (std::size_t i = 0; i < log.size(); ++i) {
    const std::string name = callNameOf(log[i]);
    if (name == "inet_addr") ++echoAttempt;
    const auto fault = faults.find(i);
    if (fault == faults.end()) continue;
    if (name == "WSAStartup" || name.starts_with("gethost")) return 1;
    if (name == "inet_addr" || name.starts_with("Icmp")) {
      failedEchoAttempts.insert(echoAttempt);
      if (failedEchoAttempts.size() == 2) return 1;
    }
    if (name == "NetWkstaGetInfo" && ++workstationFailures == 2) return 2;
    if (name == "NetServerGetInfo" && ++serverFailures == 2) return 2;
    // A busy pipe (kind 1) is waited for and opened again; only a refusal ends the run.
    if ((name == "RegConnectRegistryA" && fault->second == 0) || name == "RegOpenKeyExA") return 16;
    if (name == "RegQueryValueExA" && fault->second != 2) return 32;
    if (name == "RegSetValueExA") return 64;
  }
  return 0;
}

int kindsOf(const std::string& entry) {
  const auto found = FailureKinds.find(callNameOf(entry));
  return found == FailureKinds.end() ? 0 : found->second;
}

TEST(FaultSweepTest, EveryReachableCallFailsEveryWayAloneAndInPairs) {
  int runs = 0;
  for (const Configuration& configuration : Configurations) {
    const auto run = [&](const std::map<std::size_t, int>& faults) {
      ++runs;
      FakePlatform fake;
      fake.localName = configuration.localName;
      for (auto& [name, value] : fake.values) value = configuration.storedValue + Nul;
      fake.faults = faults;
      const int exitCode = runChecks(configuration.tail, fake.platform);
      std::string where = std::string(configuration.tail) + " with faults at";
      for (const auto& [position, kind] : faults)
        where += " " + fake.log.at(position) + "#" + std::to_string(kind);
      EXPECT_EQ(exitCode, impliedExitCode(fake.log, faults)) << where;
      expectWellBehaved(fake, where);
      return fake.log;
    };
    const CallLog clean = run({});
    for (std::size_t first = 0; first < clean.size(); ++first) {
      for (int kind = 0; kind < kindsOf(clean[first]); ++kind) {
        const CallLog once = run({{first, kind}});
        for (std::size_t second = first + 1; second < once.size(); ++second)
          for (int kind2 = 0; kind2 < kindsOf(once[second]); ++kind2)
            run({{first, kind}, {second, kind2}});
      }
    }
  }
  EXPECT_GT(runs, 800);
}

// The logon-domain policy, read for the fleet's record only: never by the single check, and
// never changing what a run ends with.
TEST(LogonPolicyTest, ReadOnlyWhenAskedAndOnlyIntoTheRecord) {
  struct Case {
    const char* name;
    bool asked;
    std::optional<std::string> stored;
    std::deque<int> openKeyFailures;  // the Winlogon key first, then the policy's
    std::optional<std::string> recorded;
  };
  for (const Case& c : std::initializer_list<Case>{
           {"not asked", false, std::string("olddom", 7), {}, std::nullopt},
           {"set", true, std::string("olddom", 7), {}, "OLDDOM"},
           {"not set", true, std::nullopt, {}, std::nullopt},
           {"key refused", true, std::string("olddom", 7), {-1, 0}, std::nullopt}}) {
    FakePlatform fake;
    if (c.stored) fake.values["DefaultLogonDomain"] = *c.stored;
    fake.failing["RegOpenKeyExA"] = c.openKeyFailures;
    RunOptions options{"PC01", "NEWDOM", true};
    options.readLogonPolicy = c.asked;
    CheckRecord record;
    ReportPrinter printer(fake.platform.console);
    EXPECT_EQ(runCheck(options, printer, fake.platform, record), 0) << c.name;
    EXPECT_EQ(record.policyDefaultDomain, c.recorded) << c.name;
    EXPECT_TRUE(fake.leftClean()) << c.name;
  }
}

// A check whose printer discards its output (the fleet's worker) writes no line and sets no
// title, verbose or not, and still ends as the same check printing to the console does.
TEST(CheckRunTest, DiscardingPrinterKeepsTheRunSilent) {
  for (const bool verbose : {false, true}) {
    RunOptions options{"PC01", "NEWDOM", true};
    options.verbose = verbose;
    FakePlatform shown;
    ReportPrinter showing(shown.platform.console);
    showing.setVerbose(verbose);
    CheckRecord shownRecord;
    const int shownCode = runCheck(options, showing, shown.platform, shownRecord);
    FakePlatform silent;
    ReportPrinter discarding(silent.platform.console, PrinterOutput::Discarded);
    discarding.setVerbose(verbose);
    CheckRecord silentRecord;
    EXPECT_EQ(runCheck(options, discarding, silent.platform, silentRecord), shownCode);
    const auto titles = [](const CallLog& log) {
      return std::count_if(log.begin(), log.end(), [](const std::string& entry) {
        return callNameOf(entry) == "SetConsoleTitleA";
      });
    };
    EXPECT_GT(shown.writes, 0);
    EXPECT_GT(titles(shown.log), 0);
    EXPECT_EQ(silent.writes, 0);
    EXPECT_EQ(titles(silent.log), 0);
  }
}

// The fleet's audit: a registry that fails the test on any write stands in for the PC's, over
// every world and with each registry call failing each way it can.
class WriteForbiddingRegistry final : public Registry {
 public:
  explicit WriteForbiddingRegistry(Registry& inner) : inner_(inner) {}
  Status connect(const std::string& machineName, RegKey* root) override {
    return inner_.connect(machineName, root);
  }
  Status openKey(RegKey parent, const std::string& subKey, std::uint32_t access,
                 RegKey* key) override {
    EXPECT_EQ(access, 0x20019u) << subKey;  // KEY_READ, never a right to write
    return inner_.openKey(parent, subKey, access, key);
  }
  Status queryValue(RegKey key, const std::string& valueName, std::uint32_t* type,
                    unsigned char* data, std::uint32_t* size) override {
    return inner_.queryValue(key, valueName, type, data, size);
  }
  Status setValue(RegKey, const std::string& valueName, std::uint32_t, const unsigned char*,
                  std::uint32_t) override {
    ADD_FAILURE() << "an audit wrote " << valueName;
    return StatusAccessDenied;
  }
  Status deleteValue(RegKey, const std::string& valueName) override {
    ADD_FAILURE() << "an audit deleted " << valueName;
    return StatusAccessDenied;
  }
  void closeKey(RegKey key) override { inner_.closeKey(key); }

 private:
  Registry& inner_;
};

TEST(AuditTest, ReadsValuesAndPolicyAndNeverWrites) {
  struct Case {
    const char* name;
    std::map<std::string, std::string> values;
    std::map<std::string, std::deque<int>> failing;
    int exitCode;
    std::optional<std::string> before, altBefore, offers;
  };
  const std::string old("olddom", 7), target("newdom", 7);
  for (const Case& c :
       std::initializer_list<Case>{{"would change",
                                    {{"DefaultDomainName", old}, {"AltDefaultDomainName", target}},
                                    {},
                                    0,
                                    "OLDDOM",
                                    "NEWDOM",
                                    "NEWDOM"},
                                   {"trigger start under way",
                                    {{"DefaultDomainName", old}, {"AltDefaultDomainName", target}},
                                    {{"RegConnectRegistryA", {1, 1}}},
                                    0,
                                    "OLDDOM",
                                    "NEWDOM",
                                    "NEWDOM"},
                                   {"policy wins",
                                    {{"DefaultDomainName", target},
                                     {"AltDefaultDomainName", target},
                                     {"DefaultLogonDomain", old}},
                                    {},
                                    0,
                                    "NEWDOM",
                                    "NEWDOM",
                                    "OLDDOM"},
                                   {"value missing",
                                    {{"DefaultDomainName", old}},
                                    {},
                                    32,
                                    "OLDDOM",
                                    std::nullopt,
                                    std::nullopt},
                                   {"registry down",
                                    {},
                                    {{"RegConnectRegistryA", {0}}},
                                    16,
                                    std::nullopt,
                                    std::nullopt,
                                    std::nullopt},
                                   {"key refused",
                                    {},
                                    {{"RegOpenKeyExA", {0}}},
                                    16,
                                    std::nullopt,
                                    std::nullopt,
                                    std::nullopt}}) {
    FakePlatform fake;
    fake.values = c.values;
    fake.failing = c.failing;
    WriteForbiddingRegistry registry(fake);
    Platform platform{fake, fake, fake, fake, registry, fake.serviceControl};
    RunOptions options{"PC01", "NEWDOM"};
    options.auditOnly = true;
    CheckRecord record;
    ReportPrinter printer(fake.platform.console, PrinterOutput::Discarded);
    EXPECT_EQ(runCheck(options, printer, platform, record), c.exitCode) << c.name;
    EXPECT_EQ(record.defaultDomainBefore, c.before) << c.name;
    EXPECT_EQ(record.altDefaultDomainBefore, c.altBefore) << c.name;
    EXPECT_FALSE(record.defaultDomainAfter) << c.name;
    EXPECT_EQ(record.offers, c.offers) << c.name;
    EXPECT_TRUE(fake.leftClean()) << c.name;
  }
  // Every registry call failing every way it can still leads to no write.
  for (const char* call : {"RegConnectRegistryA", "RegOpenKeyExA", "RegQueryValueExA"}) {
    for (int kind = 0; kind < FailureKinds.at(call); ++kind) {
      for (int skip = 0; skip < 3; ++skip) {
        FakePlatform fake;
        fake.failing[call] = std::deque<int>(static_cast<std::size_t>(skip), -1);
        fake.failing[call].push_back(kind);
        WriteForbiddingRegistry registry(fake);
        Platform platform{fake, fake, fake, fake, registry, fake.serviceControl};
        RunOptions options{"PC01", "NEWDOM"};
        options.auditOnly = true;
        CheckRecord record;
        ReportPrinter printer(fake.platform.console, PrinterOutput::Discarded);
        runCheck(options, printer, platform, record);
        EXPECT_TRUE(fake.leftClean()) << call << kind << skip;
      }
    }
  }
}

// The fleet's restore of recorded values: a PC is put back whole only where every value still
// holds what the recorded run left (compared upper-cased, as the update reads), on the PC that
// had them, and an audit of it writes nothing.
TEST(RestoreTest, PutsBackOnlyWhatTheRecordedRunLeft) {
  using Values = std::map<std::string, std::string>;
  struct Case {
    const char* name;
    Values values;
    RestoreRequest request;
    bool audit;
    std::map<std::string, std::deque<int>> failing;
    int exitCode;
    RestoreResult result;
    Values valuesAfter;
    std::optional<std::string> before, after;
  };
  const std::string old("OLDDOM", 7), target("newdom", 7), other("OTHER", 6);
  const RecordedValue changed{"OLDDOM", "NEWDOM"};
  const RestoreRequest both{changed, changed};
  const Values left{{"DefaultDomainName", target}, {"AltDefaultDomainName", target}};
  const Values found{{"DefaultDomainName", old}, {"AltDefaultDomainName", old}};
  // clang-format off
  for (const Case& c : std::initializer_list<Case>{
      {"still as left", left, both, false, {}, 0, RestoreResult::Restored, found, "NEWDOM", "OLDDOM"},
      {"one value changed since", {{"DefaultDomainName", target}, {"AltDefaultDomainName", other}},
       both, false, {}, 64, RestoreResult::ChangedSince,
       {{"DefaultDomainName", target}, {"AltDefaultDomainName", other}}, "NEWDOM", "NEWDOM"},
      {"value deleted since", {{"AltDefaultDomainName", target}}, both, false, {}, 64,
       RestoreResult::ChangedSince, {{"AltDefaultDomainName", target}}, std::nullopt, std::nullopt},
      {"value the run created", left, {RecordedValue{std::nullopt, "NEWDOM"}, std::nullopt}, false,
       {}, 0, RestoreResult::Restored, {{"AltDefaultDomainName", target}}, "NEWDOM", std::nullopt},
      {"put back already", found, both, false, {}, 0, RestoreResult::NothingToRestore, found,
       "OLDDOM", "OLDDOM"},
      {"write refused", left, both, false, {{"RegSetValueExA", {0}}}, 64, RestoreResult::None, left,
       "NEWDOM", "NEWDOM"},
      {"unreadable", left, both, false, {{"RegQueryValueExA", {1}}}, 32, RestoreResult::None, left,
       std::nullopt, std::nullopt},
      {"audit", left, both, true, {}, 0, RestoreResult::WouldRestore, left, "NEWDOM", std::nullopt},
      {"audit, changed since", {{"DefaultDomainName", other}, {"AltDefaultDomainName", target}},
       both, true, {}, 64, RestoreResult::ChangedSince,
       {{"DefaultDomainName", other}, {"AltDefaultDomainName", target}}, "OTHER", std::nullopt},
  }) {
    // clang-format on
    FakePlatform fake;
    fake.values = c.values;
    fake.failing = c.failing;
    WriteForbiddingRegistry forbidding(fake);
    Platform platform{fake,
                      fake,
                      fake,
                      fake,
                      c.audit ? static_cast<Registry&>(forbidding) : fake,
                      fake.serviceControl};
    RunOptions options{"PC01", "NEWDOM"};
    options.restore = c.request;
    options.auditOnly = c.audit;
    CheckRecord record;
    ReportPrinter printer(fake.platform.console, PrinterOutput::Discarded);
    EXPECT_EQ(runCheck(options, printer, platform, record), c.exitCode) << c.name;
    EXPECT_EQ(record.restore, c.result) << c.name;
    EXPECT_EQ(fake.values, c.valuesAfter) << c.name;
    EXPECT_EQ(record.defaultDomainBefore, c.before) << c.name;
    EXPECT_EQ(record.defaultDomainAfter, c.after) << c.name;
    EXPECT_TRUE(fake.leftClean()) << c.name;
  }
  // A PC that reports another computer name is never touched, whatever the options say.
  FakePlatform renamed;
  renamed.computerName = u"PC99";
  RunOptions options{"PC01", "NEWDOM"};
  options.restore = both;
  options.ignoreNameMismatch = true;
  CheckRecord record;
  ReportPrinter printer(renamed.platform.console, PrinterOutput::Discarded);
  EXPECT_EQ(runCheck(options, printer, renamed.platform, record), 4);
  EXPECT_EQ(std::count_if(renamed.log.begin(), renamed.log.end(),
                          [](const std::string& call) { return call.rfind("Reg", 0) == 0; }),
            0);
}
}  // namespace
}  // namespace cairn::fakes
