// The fleet command's own rules, each through its public function: the reason vocabulary, the
// list, the command line and the record files. Whole runs are tested against the lab.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "fleet/fleet_options.h"
#include "fleet/pc_list.h"
#include "fleet/pc_record.h"
#include "fleet/reasons.h"
#include "fleet/record_files.h"
#include "platform/status.h"

namespace cairn {
namespace {

TEST(FleetTest, ReasonOfEveryEnd) {
  struct Case {
    int exitCode;
    const char* step;
    std::uint32_t status;
    const char* reason;
  };
  for (const Case& c : std::initializer_list<Case>{
           {0, "", 0, "ok"},
           {99, "", 0, "bad-value"},
           {1, "gethostbyname", StatusHostNotFound, "not-resolved"},
           {1, "IcmpSendEcho", StatusIpReqTimedOut, "no-echo-reply"},
           {2, "NetWkstaGetInfo", StatusBadNetPath, "no-answer"},
           {2, "NetWkstaGetInfo", StatusConnectionRefused, "connection-refused"},
           {2, "NetWkstaGetInfo", StatusLogonFailure, "logon-failure"},
           {2, "NetWkstaGetInfo", StatusNoLogonServers, "kdc-unreachable"},
           {2, "gethostbyname", StatusNoSystemResources, "local-resources"},
           {2, "fork", StatusNoSystemResources, "local-resources"},
           {2, "NetWkstaGetInfo", StatusAccessDenied, "access-denied"},
           {2, "NetServerGetInfo", StatusTimeout, "call-timeout"},
           {2, "NetServerGetInfo", StatusRpcBadStubData, "rpc-failure"},
           {2, "NetWkstaGetInfo", StatusModNotFound, "module-missing"},
           {4, "", 0, "name-mismatch"},
           {8, "", 0, "wrong-domain"},
           {16, "RegConnectRegistry", StatusRpcServerUnavailable, "registry-unavailable"},
           {16, "RegConnectRegistry", StatusAccessDenied, "access-denied"},
           {16, "RegOpenKeyEx", StatusAccessDenied, "key-denied"},
           {16, "RegOpenKeyEx", StatusFileNotFound, "key-missing"},
           {32, "RegQueryValueEx DefaultDomainName", StatusFileNotFound, "value-missing"},
           {64, "RegSetValueEx AltDefaultDomainName", StatusRegistryIoFailed, "write-failed"},
           {CrashedExitCode, "", 0, "crashed"},
       })
    EXPECT_EQ(reasonFor(c.exitCode, c.step, c.status), c.reason) << c.exitCode << " " << c.step;
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
  record.check.step = "RegSetValueEx DefaultDomainName";
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
