// The fleet command's own rules, each through its public function: the reason vocabulary, the
// list, the command line and the record files. Whole runs are tested against the lab.
#include <gtest/gtest.h>

#include <deque>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>
#ifndef _WIN32
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "check/check_run.h"
#include "fleet/check_job.h"
#include "fleet/fleet_options.h"
#include "fleet/fleet_report.h"
#include "fleet/fleet_run.h"
#include "fleet/pc_list.h"
#include "fleet/pc_record.h"
#include "fleet/reasons.h"
#include "fleet/record_fields.h"
#include "fleet/record_files.h"
#include "fleet/safe_cell.h"
#include "platform/status.h"
#include "tests/fakes/fake_platform.h"

namespace cairn {
namespace {

// Workers that run each check at once in this process, against the fake platform's PC01. A check
// that enters the step stopAt ends there as end, as a child stopped at its deadline or one that
// crashed would, with the progress it sent until then.
class InProcessWorkers final : public Workers {
 public:
  std::string stopAt;
  WorkerEnd end = WorkerEnd::Finished;

  bool start(std::uint64_t id, const std::string& input) override {
    struct Stopped {};
    fakes::FakePlatform fake;
    std::string last;
    const WorkerProgress progress = [&](const std::string& text) {
      last = text;
      if (!stopAt.empty() && nlohmann::json::parse(text).at("step") == stopAt) throw Stopped{};
    };
    try {
      ended_.push_back(
          {id, WorkerEnd::Finished, runCheckJob(input, fake.platform, progress), last});
    } catch (const Stopped&) {
      ended_.push_back({id, end, {}, last});
    }
    return true;
  }
  std::vector<WorkerResult> wait() override { return std::exchange(ended_, {}); }
  std::size_t running() const override { return ended_.size(); }
  bool interrupted() override { return false; }
  int interruptSignal() const override { return 0; }

 private:
  std::vector<WorkerResult> ended_;
};

std::string readFile(const std::filesystem::path& path) {
  std::stringstream text;
  text << std::ifstream(path, std::ios::binary).rdbuf();
  return text.str();
}

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
           {16, Step::RegConnectRegistry, StatusPipeBusy, "registry-unavailable"},
           {16, Step::RegConnectRegistry, StatusAccessDenied, "access-denied"},
           {16, Step::RegOpenKeyEx, StatusAccessDenied, "key-denied"},
           {16, Step::RegOpenKeyEx, StatusFileNotFound, "key-missing"},
           {32, Step::QueryDefaultDomainName, StatusFileNotFound, "value-missing"},
           {64, Step::SetAltDefaultDomainName, StatusRegistryIoFailed, "write-failed"},
           {CrashedExitCode, Step::None, StatusSuccess, "crashed"},
       }) {
    EXPECT_EQ(reasonFor(c.exitCode, c.step, c.status), c.reason)
        << c.exitCode << " " << stepName(c.step);
    EXPECT_NE(nextStep(c.reason), "") << c.reason;
  }
  EXPECT_EQ(nextStep("a-reason-of-a-later-version"), "");
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
           {{"--domain", "newdom", "--audit", "--set-default", "list.txt"}, 2},
           {{"--domain", "newdom", "--set-default", "--start-registry", "--journal", "j", "a"}, 0},
           {{"--restore-services", "j"}, 0},
           {{"--domain", "newdom", "--audit", "--start-registry", "list.txt"}, 2},
           {{"--domain", "newdom", "--journal", "j", "list.txt"}, 2},
           {{"--restore-services", "j", "--domain", "newdom"}, 2},
           {{"--restore-services", "j", "list.txt"}, 2},
           {{"--domain", "sixteen-letters-domain", "list.txt"}, 2},
           {{"list.txt"}, 2},
           {{"--restore-from", "r.jsonl", "--audit"}, 0},
           {{"--restore-from", "r.jsonl", "--set-default"}, 2},
           {{"--restore-from", "r.jsonl", "--ignore-name"}, 2},
           {{"--restore-from", "r.jsonl", "list.txt"}, 2},
           {{"report", "a.jsonl", "b.jsonl"}, 0},
           {{"report", "--help"}, 0},
           {{"report"}, 2},
       }) {
    std::vector<const char*> argv{"cairnmark-fleet"};
    argv.insert(argv.end(), c.args.begin(), c.args.end());
    const int argc = static_cast<int>(argv.size());
    const auto read = [](const auto& command) {
      return std::pair(command.exitCode, command.options.has_value());
    };
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    const auto [exitCode, hasOptions] = isReportCommand(argc, argv.data())
                                            ? read(readReportCommand(argc, argv.data()))
                                            : read(readFleetCommand(argc, argv.data()));
    const std::string out = testing::internal::GetCapturedStdout();
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(exitCode, c.exitCode) << c.args.back() << err;
    EXPECT_EQ(hasOptions, c.exitCode == 0 && out.empty()) << c.args.back();
    EXPECT_EQ(err.empty(), c.exitCode == 0) << c.args.back();
  }
}

TEST(FleetTest, RecordLinesGiveBackTheirPc) {
  PcRecord record;
  record.pc = "pc,\"01\"";
  record.exitCode = 64;
  record.reason = "write-failed";
  record.check.step = Step::SetDefaultDomainName;
  record.check.status = StatusAccessDenied;
  record.check.defaultDomainBefore = "OLD";
  record.started =
      std::chrono::sys_days(std::chrono::year(2026) / 12 / 7) + std::chrono::milliseconds(29702123);
  const std::string row = csvRow(record);
  EXPECT_EQ(row,
            "\"pc,\"\"01\"\"\",0,,64,write-failed,RegSetValueEx "
            "DefaultDomainName,5,ERROR_ACCESS_DENIED,OLD,,,,,"
            "0,2026-12-07T08:15:02.123Z,,,,");
  EXPECT_EQ(recordedPcOfCsv(row), record.pc);
  EXPECT_EQ(recordedPcOfJson(jsonLine(record)), record.pc);
  std::string error;
  const auto readBack = recordOfJson(RecordJson::parse(jsonLine(record)), error);
  ASSERT_TRUE(readBack) << error;
  EXPECT_EQ(jsonLine(*readBack), jsonLine(record));
  for (const std::string& noRecord :
       {csvHeader(), row.substr(0, 20), std::string("\"pc,"), jsonLine(record).substr(0, 30)})
    EXPECT_FALSE(recordedPcOfCsv(noRecord) || recordedPcOfJson(noRecord)) << noRecord;
}

// The worker hands back every field its check filled in, as the check run left it; a result cut
// short is none.
TEST(FleetTest, SafeCellsKeepFormulasAndControlBytesOut) {
  for (const auto& [text, cell] : std::initializer_list<std::pair<std::string, std::string>>{
           {"=1+2", "'=1+2"},
           {"+1", "'+1"},
           {"-1", "'-1"},
           {"@SUM(A1)", "'@SUM(A1)"},
           {"\tx", "'?x"},
           {"\rx", "'?x"},
           {"OLD\x1b[31mDOM\x7f", "OLD?[31mDOM?"},
           {"a=b-c", "a=b-c"},
           {"", ""},
       })
    EXPECT_EQ(safeCell(text), cell) << text;
}

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
    const std::string result = runCheckJob(encodeJob(options, "PC01"), worker.platform, {});
    const auto decoded = decodeCheckResult(result);
    ASSERT_TRUE(decoded) << c.name;
    EXPECT_EQ(jsonLine(*decoded), jsonLine(expected)) << c.name;
    EXPECT_FALSE(decodeCheckResult(result.substr(0, result.size() - 1))) << c.name;
    EXPECT_FALSE(decodeCheckResult("{}")) << c.name;
  }
}

#ifndef _WIN32
// A check that failed while the worker had no descriptor left failed on this machine, in the
// step it ended in; a check that passed stays passed. In a child, since the limit stays lowered.
TEST(FleetTest, FailureWithoutDescriptorsIsThisMachines) {
  struct Case {
    const char* host;
    int exitCode;
    Step step;
    Status status;
  };
  const auto checkWithoutDescriptors = [](const Case& c) {
    fakes::FakePlatform pc;
    FleetOptions options;
    options.domain = "NEWDOM";
    const std::string job = encodeJob(options, c.host);
    // A sanitizer checks an object's type once per type, and needs descriptors to do it: a
    // first run with descriptors lets it do so before they are taken away.
    fakes::FakePlatform warmUp;
    runCheckJob(job, warmUp.platform, {});
    const rlimit none{0, 0};
    ::setrlimit(RLIMIT_NOFILE, &none);
    const auto record = decodeCheckResult(runCheckJob(job, pc.platform, {}));
    ::_exit(record && record->exitCode == c.exitCode && record->check.step == c.step &&
                    record->check.status == c.status
                ? 0
                : 1);
  };
  for (const Case& c : std::initializer_list<Case>{
           {"PC01", 0, Step::None, StatusSuccess},
           {"PC02", 2, Step::HostByName, StatusNoSystemResources},
       })
    EXPECT_EXIT(checkWithoutDescriptors(c), testing::ExitedWithCode(0), "") << c.host;
}
#endif

TEST(FleetTest, UnfinishedCheckKeepsItsStepAndAddress) {
  struct Case {
    const char* stopAt;
    WorkerEnd end;
    const char* reason;
    const char* address;
  };
  const auto jsonl = std::filesystem::temp_directory_path() / "cairn-fleet-unfinished.jsonl";
  for (const Case& c : std::initializer_list<Case>{
           {"gethostbyname", WorkerEnd::StoppedAtDeadline, "stopped-at-deadline", ""},
           {"NetWkstaGetInfo", WorkerEnd::StoppedAtDeadline, "stopped-at-deadline", "10.1.2.3"},
           {"RegSetValueEx AltDefaultDomainName", WorkerEnd::Crashed, "crashed", "10.1.2.3"},
       }) {
    std::filesystem::remove(jsonl);
    FleetOptions options;
    options.domain = "NEWDOM";
    options.setDefault = true;
    options.pcs = {"pc01"};
    options.jsonlPath = jsonl.string();
    InProcessWorkers workers;
    workers.stopAt = c.stopAt;
    workers.end = c.end;
    std::istringstream none;
    std::ostringstream out, err;
    runFleet(options, workers, {none, out, err});
    const auto record = nlohmann::json::parse(readFile(jsonl));
    EXPECT_EQ(record.at("reason"), c.reason) << c.stopAt;
    EXPECT_EQ(record.at("step"), c.stopAt);
    EXPECT_EQ(record.at("address"), c.address) << c.stopAt;
    EXPECT_TRUE(record.at("status").is_null()) << c.stopAt;
    EXPECT_EQ(record.at("status_name"), "") << c.stopAt;
  }
  std::filesystem::remove(jsonl);
}

TEST(FleetTest, AuditRecordsWhatTheLogonScreenWouldOfferAndCountsIt) {
  const auto jsonl = std::filesystem::temp_directory_path() / "cairn-fleet-audit.jsonl";
  std::filesystem::remove(jsonl);
  FleetOptions options;
  options.domain = "NEWDOM";
  options.audit = true;
  options.pcs = {"pc01"};
  options.jsonlPath = jsonl.string();
  InProcessWorkers workers;
  std::istringstream none;
  std::ostringstream out, err;
  EXPECT_EQ(runFleet(options, workers, {none, out, err}), 0);
  const auto record = nlohmann::json::parse(readFile(jsonl));
  EXPECT_EQ(record.at("default_domain_before"), "OLDDOM");
  EXPECT_TRUE(record.at("default_domain_after").is_null());
  EXPECT_EQ(record.at("offers"), "NEWDOM");
  EXPECT_NE(out.str().find("0 already on the target domain, 1 would change, 0 policy overrides, "
                           "0 cannot be read"),
            std::string::npos)
      << out.str();
  std::filesystem::remove(jsonl);
}

// Records of two sites merged: each PC once, by its latest record; every line that is no
// record is named by file and line and not counted.
TEST(FleetTest, ReportMergesLatestRecordsAndNamesUnreadableLines) {
  const auto dir = std::filesystem::temp_directory_path() / "cairn-fleet-report";
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  const auto record = [](const char* pc, int exitCode, int second) {
    PcRecord r;
    r.pc = pc;
    r.exitCode = exitCode;
    r.reason = exitCode == 0 ? "ok" : "no-answer";
    r.domain = "NEWDOM";
    r.started =
        std::chrono::sys_days(std::chrono::year(2026) / 12 / 7) + std::chrono::seconds(second);
    return jsonLine(r) + "\n";
  };
  std::ofstream(dir / "a.jsonl") << record("pc01", 2, 10) << record("pc02", 0, 10) << "pc03,0,,0\n"
                                 << R"({"pc":"pc04","colour":"red"})"
                                 << "\n";
  std::ofstream(dir / "b.jsonl") << record("PC01", 0, 20) << record("pc02", 2, 5)
                                 << record("pc05", 0, 30).substr(0, 40);
  std::ofstream(dir / "empty.jsonl");
  const std::string csv = (dir / "merged.csv").string();
  ReportOptions options{
      {(dir / "a.jsonl").string(), (dir / "b.jsonl").string(), (dir / "empty.jsonl").string()},
      csv,
      ""};
  std::ostringstream out, err;
  EXPECT_EQ(runReport(options, out, err), 3);
  EXPECT_NE(out.str().find("2 PCs in the records: 2 passed, 0 failed"), std::string::npos)
      << out.str();
  for (const char* named : {"a.jsonl:3: not a JSON record", "a.jsonl:4: unknown field \"colour\"",
                            "b.jsonl:3: a last line cut short", "empty.jsonl: holds no record"})
    EXPECT_NE(err.str().find(named), std::string::npos) << named << "\n" << err.str();
  const std::string merged = readFile(csv);
  EXPECT_NE(merged.find("\nPC01,"), std::string::npos) << merged;
  EXPECT_EQ(std::count(merged.begin(), merged.end(), '\n'), 3) << merged;
  // An output file that holds records is refused, as a run's record file is.
  options.recordPaths.resize(1);
  EXPECT_EQ(runReport(options, out, err), 2);
  options.recordPaths = {(dir / "missing.jsonl").string()};
  EXPECT_EQ(runReport(options, out, err), 2);
  std::filesystem::remove_all(dir);
}

TEST(FleetTest, RecordFilesAppendOnlyAndResume) {
  const auto dir = std::filesystem::temp_directory_path() / "cairn-fleet-test";
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  const std::string csv = (dir / "r.csv").string();
  const std::string jsonl = (dir / "r.jsonl").string();
  PcRecord earlier, formula, now;
  earlier.pc = "pc01";
  formula.pc = "=pc03";
  now.pc = "pc02";
  // The torn last line has every field, as a row cut inside its last one does. The JSON Lines
  // file holds pc02 whole: it is checked again, and recorded only where it is missing.
  const std::string whole = csvHeader() + "\n" + csvRow(earlier) + "\n" + csvRow(formula) + "\n";
  std::ofstream(csv, std::ios::binary) << whole << "pc02,0,,0,,,,,,,,,,,,1";
  const std::string lines =
      jsonLine(earlier) + "\n" + jsonLine(now) + "\n" + jsonLine(formula) + "\n";
  std::ofstream(jsonl, std::ios::binary) << lines;
  FleetOptions options;
  options.csvPath = csv;
  options.jsonlPath = jsonl;
  std::istringstream none;
  PcList list(none);
  EXPECT_NE(RecordFiles().open(options, list).find("--resume"), std::string::npos);

  options.resume = true;
  std::istringstream text("pc01\n=pc03\npc02\n");
  PcList resumed(text);
  {
    RecordFiles files;  // closed before the file is read back, and removed (Windows)
    ASSERT_EQ(files.open(options, resumed), "");
    EXPECT_EQ(files.alreadyRecorded(), 2u);
    const auto next = resumed.next();
    ASSERT_TRUE(next);
    EXPECT_EQ(next->listed, "pc02");
    EXPECT_FALSE(resumed.next());
    EXPECT_EQ(files.write(now), "");
  }
  EXPECT_EQ(readFile(csv), whole + csvRow(now) + "\n");
  EXPECT_EQ(readFile(jsonl), lines);
  std::filesystem::remove_all(dir);
}

TEST(FleetTest, BadInputGivesAnErrorOrABadValueRecord) {
  const auto dir = std::filesystem::temp_directory_path() / "cairn-fleet-bad-input";
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir / "folder");
  const std::string folder = (dir / "folder").string();
  std::ofstream(dir / "pc01") << "pc01\n";
  std::ofstream(dir / "long") << std::string(1 << 20, 'A') << "\npc01\n";
  std::ofstream(dir / "zeros", std::ios::binary) << std::string("pc\0x\nPC01\0\npc01\n", 16);
  std::ofstream(dir / "blank") << std::string(100000, '\n') << "pc01\n";
#ifndef _WIN32
  ASSERT_EQ(::mkfifo((dir / "fifo").string().c_str(), 0600), 0);
#endif
  struct Case {
    const char* name;
    std::string list;
    std::string FleetOptions::*path;  // the output file the case names, or the --jsonl file
    std::string pathValue;
    int exitCode;
    const char* error;          // a part of the message on standard error
    const char* recordedExits;  // the exit code of each record, in order
  };
  const std::string jsonl = (dir / "r.jsonl").string();
  for (const Case& c : std::initializer_list<Case>{
           {"list folder", folder, &FleetOptions::jsonlPath, jsonl, 2, "a directory", ""},
           {"csv folder", "pc01", &FleetOptions::csvPath, folder, 2, "--csv", ""},
           {"html folder", "pc01", &FleetOptions::htmlPath, folder, 2, "--html", ""},
           {"unwritable", "pc01", &FleetOptions::jsonlPath, (dir / "pc01" / "r").string(), 2,
            "--jsonl", ""},
#ifndef _WIN32
           {"csv fifo", "pc01", &FleetOptions::csvPath, (dir / "fifo").string(), 2, "a fifo", ""},
           {"html fifo", "pc01", &FleetOptions::htmlPath, (dir / "fifo").string(), 2, "a fifo", ""},
#endif
           {"1 MB line", "long", &FleetOptions::jsonlPath, jsonl, 1, "", "99 0 "},
           {"NUL bytes", "zeros", &FleetOptions::jsonlPath, jsonl, 1, "", "99 99 0 "},
           {"blank lines", "blank", &FleetOptions::jsonlPath, jsonl, 0, "", "0 "},
       }) {
    std::filesystem::remove(jsonl);
    FleetOptions options;
    options.domain = "NEWDOM";
    options.listPath = c.list.starts_with(dir.string()) ? c.list : (dir / c.list).string();
    options.*c.path = c.pathValue;
    std::istringstream none;
    std::ostringstream out, err;
    InProcessWorkers workers;
    EXPECT_EQ(runFleet(options, workers, {none, out, err}), c.exitCode) << c.name << err.str();
    EXPECT_NE(err.str().find(c.error), std::string::npos) << c.name << err.str();
    EXPECT_EQ(err.str().empty(), *c.error == 0) << c.name << err.str();
    std::string exits;
    std::istringstream records(readFile(jsonl));
    for (std::string line; std::getline(records, line);)
      exits += std::to_string(nlohmann::json::parse(line).at("exit_code").get<int>()) + " ";
    EXPECT_EQ(exits, c.recordedExits) << c.name;
  }
  std::filesystem::remove_all(dir);
}

// --restore-from: each PC by its latest record, a PC the recorded run changed nothing on left
// uncontacted, the values travelling to the worker; and a file that cannot be trusted whole is
// refused before any PC is contacted, naming its line.
TEST(FleetTest, RestoreFromRecordsTrustsOnlyAWholeFile) {
  const auto dir = std::filesystem::temp_directory_path() / "cairn-fleet-restore";
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  const auto record = [](const char* pc, const char* domain, const char* before, const char* after,
                         int second) {
    PcRecord r;
    r.pc = pc;
    r.reason = "ok";
    r.domain = domain;
    if (after) r.check.defaultDomainBefore = before, r.check.defaultDomainAfter = after;
    r.started =
        std::chrono::sys_days(std::chrono::year(2026) / 12 / 7) + std::chrono::seconds(second);
    return jsonLine(r) + "\n";
  };
  const std::string good = record("pc01", "NEWDOM", "LEGACY", "OLDDOM", 20) +
                           record("pc01", "NEWDOM", "NEWDOM", "NEWDOM", 10) +
                           record("pc02", "", nullptr, nullptr, 10) +
                           record("two words", "", nullptr, nullptr, 10);
  struct Case {
    const char* name;
    std::string text;
    std::string domain;
    int exitCode;
    const char* said;  // on standard error, or the reasons recorded
  };
  for (const Case& c : std::initializer_list<Case>{
           {"latest of each", good, "NEWDOM", 0, "nothing-to-restore nothing-to-restore restored "},
           {"another tool", "pc,exit_code\npc01,0\n", "", 2, "r.jsonl:1: not a JSON record"},
           {"unknown field",
            good + R"({"pc":"pc03","colour":"red"})"
                   "\n",
            "", 2, "r.jsonl:5: unknown field \"colour\""},
           {"torn last line", good + good.substr(0, 30), "", 2, "r.jsonl:5: a last line cut short"},
           {"empty", "", "", 2, "r.jsonl: holds no record"},
           {"blank lines", "\n\n", "", 2, "r.jsonl: holds no record"},
           {"another domain", good, "OLDDOM", 2,
            "r.jsonl:1: a record of --domain NEWDOM, not OLDDOM"},
           {"no domain", good, "", 2, "r.jsonl:3: the record names no domain; give --domain"},
       }) {
    std::ofstream(dir / "r.jsonl", std::ios::binary) << c.text;
    const std::string jsonl = (dir / "out.jsonl").string();
    std::filesystem::remove(jsonl);
    FleetOptions options;
    options.domain = c.domain;
    options.restorePath = (dir / "r.jsonl").string();
    options.jsonlPath = jsonl;
    std::istringstream none;
    std::ostringstream out, err;
    InProcessWorkers workers;
    EXPECT_EQ(runFleet(options, workers, {none, out, err}), c.exitCode) << c.name << err.str();
    std::string said = err.str();
    std::istringstream records(readFile(jsonl));
    for (std::string line; std::getline(records, line);)
      said += nlohmann::json::parse(line).at("reason").get<std::string>() + " ";
    EXPECT_NE(said.find(c.said), std::string::npos) << c.name << "\n" << said;
    EXPECT_EQ(c.exitCode == 2, readFile(jsonl).empty()) << c.name;
  }
  for (const char* reason : {"restored", "would-restore", "changed-since", "nothing-to-restore"})
    EXPECT_NE(nextStep(reason), "") << reason;
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace cairn
