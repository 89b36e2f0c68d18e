// The fleet command's own rules, each through its public function: the reason vocabulary, the
// list, the command line and the record files. Whole runs are tested against the lab.
#include <gtest/gtest.h>

#include <deque>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "check/check_run.h"
#include "fleet/check_job.h"
#include "fleet/fleet_options.h"
#include "fleet/pc_list.h"
#include "fleet/pc_record.h"
#include "fleet/reasons.h"
#include "fleet/record_files.h"
#include "platform/status.h"
#include "tests/fakes/fake_platform.h"

namespace cairn {
namespace {

TEST(FleetTest, ReasonOfEveryEnd) {
  struct Case {
    int exitCode;
    Step step;
    Status status;
    const char* reason;
  };
  for (const Case& c : std::initializer_list<Case>{
           {0, Step::None, StatusSuccess, "ok"},
           {99, Step::None, StatusSuccess, "bad-value"},
           {1, Step::HostByName, StatusHostNotFound, "not-resolved"},
           {1, Step::IcmpSendEcho, StatusIpReqTimedOut, "no-echo-reply"},
           {2, Step::NetWkstaGetInfo, StatusBadNetPath, "no-answer"},
           {2, Step::NetWkstaGetInfo, StatusConnectionRefused, "connection-refused"},
           {2, Step::NetWkstaGetInfo, StatusLogonFailure, "logon-failure"},
           {2, Step::NetWkstaGetInfo, StatusNoLogonServers, "kdc-unreachable"},
           {2, Step::HostByName, StatusNoSystemResources, "local-resources"},
           {2, Step::StartWorker, StatusNoSystemResources, "local-resources"},
           {2, Step::NetWkstaGetInfo, StatusAccessDenied, "access-denied"},
           {2, Step::NetServerGetInfo, StatusTimeout, "call-timeout"},
           {2, Step::NetServerGetInfo, StatusRpcBadStubData, "rpc-failure"},
           {2, Step::NetWkstaGetInfo, StatusModNotFound, "module-missing"},
           {4, Step::None, StatusSuccess, "name-mismatch"},
           {8, Step::None, StatusSuccess, "wrong-domain"},
           {16, Step::RegConnectRegistry, StatusRpcServerUnavailable, "registry-unavailable"},
           {16, Step::RegConnectRegistry, StatusAccessDenied, "access-denied"},
           {16, Step::RegOpenKeyEx, StatusAccessDenied, "key-denied"},
           {16, Step::RegOpenKeyEx, StatusFileNotFound, "key-missing"},
           {32, Step::QueryDefaultDomainName, StatusFileNotFound, "value-missing"},
           {64, Step::SetAltDefaultDomainName, StatusRegistryIoFailed, "write-failed"},
           {CrashedExitCode, Step::None, StatusSuccess, "crashed"},
       })
    EXPECT_EQ(reasonFor(c.exitCode, c.step, c.status), c.reason)
        << c.exitCode << " " << stepName(c.step);
}

// A record's step name reads back as its step, for every step; no other text names one.
TEST(FleetTest, StepNamesReadBack) {
  const Step steps[] = {
#define CAIRN_STEP_ITEM(name, text) Step::name,
      CAIRN_STEP_TABLE(CAIRN_STEP_ITEM)
#undef CAIRN_STEP_ITEM
  };
  for (const Step step : steps) EXPECT_EQ(stepNamed(stepName(step)), step) << stepName(step);
  for (const char* text : {"RegOpenKeyExA", "regopenkeyex", "RegQueryValueEx"})
    EXPECT_FALSE(stepNamed(text)) << text;
}

// Only a PC that answered on its SMB port makes the fleet map the remote services for its
// workers; the ends that say nothing of the PC must not.
TEST(FleetTest, OnlyAnAnsweringPcShowsAnSmbAnswer) {
  for (const std::string_view reason : {"ok", "logon-failure", "kdc-unreachable", "wrong-domain",
                                        "call-timeout", "registry-unavailable"})
    EXPECT_TRUE(reasonShowsSmbAnswer(reason)) << reason;
  for (const std::string_view reason :
       {"bad-value", "not-resolved", "no-echo-reply", "no-answer", "connection-refused",
        "module-missing", "stopped-at-deadline", "crashed", "local-resources"})
    EXPECT_FALSE(reasonShowsSmbAnswer(reason)) << reason;
}

TEST(FleetTest, ListSkipsBlanksCommentsAndRepeats) {
  std::istringstream text(
      "pc01\r\n\n  ; a comment\n# another\n\tPC01.corp.example \nPc01\n"
      "bad name\n10.0.0.1\n\"quoted\"\npc/02\n");
  PcList list(text);
  std::vector<std::string> seen;
  while (const auto entry = list.next())
    seen.push_back(std::to_string(entry->line) + ":" + entry->listed + ":" + entry->hostValue +
                   (entry->wellFormed ? "" : ":bad"));
  EXPECT_EQ(seen, (std::vector<std::string>{"1:pc01:PC01", "5:PC01.corp.example:PC01.CORP.EXAMPLE",
                                            "7:bad name:BAD NAME:bad", "8:10.0.0.1:10.0.0.1",
                                            "9:\"quoted\":QUOTED", "10:pc/02:PC/02:bad"}));
}

TEST(FleetTest, CommandLineErrorsNameTheRunImpossible) {
  struct Case {
    std::vector<const char*> args;
    int exitCode;
  };
  for (const Case& c : std::initializer_list<Case>{
           {{"--domain", "newdom", "list.txt"}, 0},
           {{"--domain", "newdom", "--pc", "a", "--pc", "b", "--jobs", "4096"}, 0},
           {{"--version"}, 0},
           {{"--domain", "newdom", "--jobs", "0", "list.txt"}, 2},
           {{"--domain", "newdom", "--jobs", "4097", "list.txt"}, 2},
           {{"--domain", "newdom", "--deadline", "-1", "list.txt"}, 2},
           {{"--domain", "newdom", "--frobnicate", "list.txt"}, 2},
           {{"--domain", "newdom"}, 2},
           {{"--domain", "newdom", "--pc", "a", "list.txt"}, 2},
           {{"--domain", "newdom", "--resume", "list.txt"}, 2},
           {{"--domain", "sixteen-letters-domain", "list.txt"}, 2},
           {{"list.txt"}, 2},
       }) {
    std::vector<const char*> argv{"cairnmark-fleet"};
    argv.insert(argv.end(), c.args.begin(), c.args.end());
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    const FleetCommand command = readFleetCommand(static_cast<int>(argv.size()), argv.data());
    const std::string out = testing::internal::GetCapturedStdout();
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(command.exitCode, c.exitCode) << c.args.back() << err;
    EXPECT_EQ(command.options.has_value(), c.exitCode == 0 && out.empty()) << c.args.back();
    EXPECT_EQ(err.empty(), c.exitCode == 0) << c.args.back();
  }
}

TEST(FleetTest, RecordLinesGiveBackTheirPc) {
  PcRecord record;
  record.pc = "pc,\"01\"";
  record.exitCode = 64;
  record.check.step = Step::SetDefaultDomainName;
  record.check.status = StatusAccessDenied;
  record.check.defaultDomainBefore = "OLD";
  const std::string row = csvRow(record);
  EXPECT_EQ(
      row,
      "\"pc,\"\"01\"\"\",0,,64,,RegSetValueEx DefaultDomainName,5,ERROR_ACCESS_DENIED,OLD,,,,,0");
  EXPECT_EQ(recordedPcOfCsv(row), record.pc);
  EXPECT_EQ(recordedPcOfJson(jsonLine(record)), record.pc);
  for (const std::string& noRecord :
       {csvHeader(), row.substr(0, 20), std::string("\"pc,"), jsonLine(record).substr(0, 30)})
    EXPECT_FALSE(recordedPcOfCsv(noRecord) || recordedPcOfJson(noRecord)) << noRecord;
}

// The worker hands back every field its check filled in, as the check run left it; a result cut
// short is none.
TEST(FleetTest, WorkerResultCarriesTheCheckRecord) {
  struct Case {
    const char* name;
    std::deque<int> openKeyFailures;
  };
  for (const Case& c : std::initializer_list<Case>{{"every field", {}}, {"a failed step", {0}}}) {
    const auto world = [&c](fakes::FakePlatform& fake) {
      fake.values["DefaultLogonDomain"] = std::string("policy", 6);
      fake.failing["RegOpenKeyExA"] = c.openKeyFailures;
    };
    fakes::FakePlatform direct;
    world(direct);
    PcRecord expected;
    ReportPrinter printer(direct.platform.console, PrinterOutput::Discarded);
    RunOptions runOptions{"PC01", "NEWDOM", true};
    runOptions.readLogonPolicy = true;
    expected.exitCode = runCheck(runOptions, printer, direct.platform, expected.check);

    fakes::FakePlatform worker;
    world(worker);
    FleetOptions options;
    options.domain = "NEWDOM";
    options.setDefault = true;
    const std::string result = runCheckJob(encodeJob(options, "PC01"), worker.platform);
    const auto decoded = decodeCheckResult(result);
    ASSERT_TRUE(decoded) << c.name;
    EXPECT_EQ(jsonLine(*decoded), jsonLine(expected)) << c.name;
    EXPECT_FALSE(decodeCheckResult(result.substr(0, result.size() - 1))) << c.name;
    EXPECT_FALSE(decodeCheckResult("{}")) << c.name;
  }
}

TEST(FleetTest, RecordFilesAppendOnlyAndResume) {
  const auto dir = std::filesystem::temp_directory_path() / "cairn-fleet-test";
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  const std::string csv = (dir / "r.csv").string();
  PcRecord earlier;
  earlier.pc = "pc01";
  std::ofstream(csv, std::ios::binary) << csvHeader() << '\n'
                                       << csvRow(earlier) << "\npc02,cut short";
  FleetOptions options;
  options.csvPath = csv;
  std::istringstream none;
  PcList list(none);
  EXPECT_NE(RecordFiles().open(options, list).find("--resume"), std::string::npos);

  options.resume = true;
  std::istringstream text("pc01\npc02\n");
  PcList resumed(text);
  PcRecord now;
  now.pc = "pc02";
  {
    RecordFiles files;  // closed before the file is read back, and removed (Windows)
    ASSERT_EQ(files.open(options, resumed), "");
    EXPECT_EQ(files.alreadyRecorded(), 1u);
    const auto next = resumed.next();
    ASSERT_TRUE(next);
    EXPECT_EQ(next->listed, "pc02");
    files.write(now);
  }
  std::stringstream all;
  all << std::ifstream(csv, std::ios::binary).rdbuf();
  EXPECT_EQ(all.str(),
            csvHeader() + "\n" + csvRow(earlier) + "\npc02,cut short\n" + csvRow(now) + "\n");
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace cairn
