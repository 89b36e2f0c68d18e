// RemoteRegistry in the fleet: the worker's service phase on a fake PC whose registry pipe is
// unavailable, the journal's lines, and --restore-services. The start and the restore themselves
// are tested in tests/registry_service_test.cc; runs against the lab's service manager in
// tests/fleet.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

#include "fleet/check_job.h"
#include "fleet/fleet_options.h"
#include "fleet/fleet_run.h"
#include "fleet/record_fields.h"
#include "fleet/restore_services.h"
#include "fleet/service_journal.h"
#include "tests/fakes/fake_platform.h"

namespace cairn {
namespace {

class ServiceTest : public testing::Test {
 protected:
  void SetUp() override {
    std::filesystem::remove_all(dir_);
    std::filesystem::create_directories(dir_);
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }

  // A folder of each test's own: CTest runs the tests at once, and other builds share the machine.
  const std::filesystem::path dir_ =
      std::filesystem::temp_directory_path() /
      ("cairn-service-" +
       std::string(testing::UnitTest::GetInstance()->current_test_info()->name()) + "-" +
       std::to_string(std::random_device{}()));
  const std::string journal_ = (dir_ / "r.jsonl.journal").string();
};

bool called(const fakes::FakeServiceControl& pc, const std::string& name) {
  return std::any_of(pc.log.begin(), pc.log.end(),
                     [&](const std::string& entry) { return entry.rfind(name, 0) == 0; });
}

TEST_F(ServiceTest, WorkerAsksStartsAndPutsBackTheService) {
  struct Case {
    const char* name;
    bool startRegistry;
    std::uint32_t startType;
    void (*script)(fakes::FakeServiceControl&);
    int exitCode;
    const char* reason;  // the worker's, empty where the check's stands
    const char* before;  // null where never read
    const char* after;
    const char* step;
    std::size_t pending;  // journal entries left open
  };
  const auto none = [](fakes::FakeServiceControl&) {};
  for (const Case& c : std::initializer_list<Case>{
           {"disabled, asked", false, ServiceDisabled, none, 16, "registry-service-disabled",
            "stopped/disabled", nullptr, "RegConnectRegistry", 0},
           {"stopped, asked", false, ServiceDemandStart, none, 16, "registry-service-stopped",
            "stopped/manual", nullptr, "RegConnectRegistry", 0},
           {"query refused", false, ServiceDisabled,
            [](fakes::FakeServiceControl& pc) { pc.failing["OpenSCManagerW"] = {5}; }, 16, "",
            nullptr, nullptr, "RegConnectRegistry", 0},
           {"disabled, started", true, ServiceDisabled, none, 0, "", "stopped/disabled",
            "stopped/disabled", "", 0},
           {"stopped, started", true, ServiceDemandStart, none, 0, "", "stopped/manual",
            "stopped/manual", "", 0},
           {"start fails", true, ServiceDemandStart,
            [](fakes::FakeServiceControl& pc) { pc.startFails = true; }, 16, "service-start-failed",
            "stopped/manual", "stopped/manual", "QueryServiceStatusEx", 0},
           {"control denied", true, ServiceDisabled,
            [](fakes::FakeServiceControl& pc) { pc.controlDenied = true; }, 16,
            "service-control-denied", "stopped/disabled", "stopped/disabled", "OpenServiceW", 0},
           {"restore fails", true, ServiceDisabled,
            [](fakes::FakeServiceControl& pc) { pc.failing["ControlService"] = {5}; }, 0,
            "service-restore-failed", "stopped/disabled", "running/disabled", "ControlService", 1},
       }) {
    SetUp();
    fakes::FakePlatform pc;
    pc.failing["RegConnectRegistryA"] = {0};  // the pipe is unavailable at the first check only
    pc.serviceControl.startType = c.startType;
    c.script(pc.serviceControl);
    FleetOptions options;
    options.domain = "NEWDOM";
    options.setDefault = true;
    options.startRegistry = c.startRegistry;
    options.journalPath = journal_;
    const RecordJson result = RecordJson::parse(runCheckJob(
        encodeJob(options, "PC01", {"run-1", "PC01", {}, {}}), pc.platform, {}, pc.serviceControl));
    EXPECT_EQ(result.at("exit_code"), c.exitCode) << c.name;
    EXPECT_EQ(result.value("service_reason", ""), c.reason) << c.name;
    EXPECT_EQ(result.at("registry_service_before"), c.before ? RecordJson(c.before) : RecordJson())
        << c.name;
    EXPECT_EQ(result.at("registry_service_after"), c.after ? RecordJson(c.after) : RecordJson())
        << c.name;
    EXPECT_EQ(result.at("step"), c.step) << c.name;
    // Nothing is changed without the switch, and the PC is left as found wherever it could be.
    if (!c.startRegistry) {
      EXPECT_FALSE(called(pc.serviceControl, "StartServiceW")) << c.name;
    }
    if (!c.pending) {
      EXPECT_EQ(pc.serviceControl.service(), c.before ? c.before : "stopped/disabled") << c.name;
    }
    EXPECT_EQ(readJournalFile(journal_).pending.size(), c.pending) << c.name;
    EXPECT_TRUE(pc.serviceControl.leftClean()) << c.name;
  }
}

TEST_F(ServiceTest, NoChangeWithoutItsJournalLine) {
  fakes::FakePlatform pc;
  pc.failing["RegConnectRegistryA"] = {0};
  pc.serviceControl.startType = ServiceDisabled;
  FleetOptions options;
  options.domain = "NEWDOM";
  options.setDefault = true;
  options.startRegistry = true;
  options.journalPath = (dir_ / "missing" / "j").string();
  const RecordJson result = RecordJson::parse(runCheckJob(
      encodeJob(options, "PC01", {"run-1", "PC01", {}, {}}), pc.platform, {}, pc.serviceControl));
  EXPECT_EQ(result.at("service_reason"), "service-start-failed");
  EXPECT_EQ(result.at("step"), "journal");
  EXPECT_EQ(result.at("status"), StatusFileNotFound);
  EXPECT_FALSE(called(pc.serviceControl, "ChangeServiceConfigW"));
  EXPECT_EQ(pc.serviceControl.service(), "stopped/disabled");
}

TEST_F(ServiceTest, JournalLinesLeaveTheOpenEntriesPending) {
  const JournalEntry a{"run-1", "PC17", "\\\\PC17", {}};
  const JournalEntry b{"run-2", "PC18", "\\\\PC18", {}};
  const std::string enableA = journalChangeLine(a, RegistryServiceChange::Enable);
  const std::string startA = journalChangeLine(a, RegistryServiceChange::Start);
  const std::string startB = journalChangeLine(b, RegistryServiceChange::Start);
  const std::string closeA = journalRestoredLine(a, "stopped/disabled");
  struct Case {
    std::string text;
    const char* pending;  // "PC17:es" for each open entry: its PC and e(nabled) s(tarted)
    std::size_t errorLine;
    bool endsMidLine;
  };
  for (
      const Case& c : std::initializer_list<Case>{
          {"", "", 0, false},
          {enableA + "\n" + startA + "\n", "PC17:es", 0, false},
          {enableA + "\n" + startB + "\n\n" + startA + "\n" + closeA + "\n", "PC18:s", 0, false},
          {startB + "\r\n" + R"({"cairnmark_jou)", "PC18:s", 0, true},
          {startB + "\n" + startA, "PC18:s PC17:s", 0, true},
          {startB + "\nnot json\n", "", 2, false},
          {R"({"pc":"PC17"})"
           "\n",
           "", 1, false},
          {R"({"cairnmark_journal":2,"entry":"x","pc":"p","server":"s","change":"start"})"
           "\n",
           "", 1, false},
          {R"({"cairnmark_journal":1,"entry":"x","pc":"p","server":"s","change":"stop"})"
           "\n",
           "", 1, false},
          {R"({"cairnmark_journal":1,"entry":"x","pc":"p","change":"start"})"
           "\n",
           "", 1, false},
          {R"({"cairnmark_journal":1,"pc":"p","server":"s","change":"start"})"
           "\n",
           "", 1, false},
          {startA + "\n" +
               R"({"cairnmark_journal":1,"entry":"run-1","pc":"PC99","server":"s","change":"enable"})" +
               "\n",
           "", 2, false},
      }) {
    std::istringstream in(c.text);
    const JournalContents read = readJournal(in);
    std::string pending;
    for (const JournalEntry& entry : read.pending) {
      pending += (pending.empty() ? "" : " ") + entry.pc + ":" +
                 (entry.changes.enabled ? "e" : "") + (entry.changes.started ? "s" : "");
    }
    EXPECT_EQ(read.errorLine, c.errorLine) << c.text;
    EXPECT_EQ(read.error.empty(), c.errorLine == 0) << c.text;
    if (c.errorLine == 0) {
      EXPECT_EQ(pending, c.pending) << c.text;
    }
    EXPECT_EQ(read.endsMidLine, c.endsMidLine) << c.text;
  }
}

TEST_F(ServiceTest, RestoreServicesPutsBackEveryPendingEntryOnce) {
  struct Case {
    const char* name;
    bool denied;
    int exitCode;
    const char* out;
    std::size_t pendingAfter;
  };
  for (const Case& c : std::initializer_list<Case>{
           {"put back", false, 0,
            "PC17: RemoteRegistry stopped and set to Disabled again, now "
            "stopped/disabled\n",
            0},
           {"refused", true, 1,
            "PC17: RemoteRegistry NOT put back: OpenServiceW failed with "
            "ERROR_ACCESS_DENIED (5)\n",
            1},
       }) {
    SetUp();
    const JournalEntry entry{"run-1", "PC17", "\\\\PC17", {}};
    // A run that died with the service enabled and running, its last line cut short.
    std::ofstream(journal_, std::ios::binary)
        << journalChangeLine(entry, RegistryServiceChange::Enable) << "\n"
        << journalChangeLine(entry, RegistryServiceChange::Start) << "\n{\"cairn";
    fakes::FakeServiceControl pc;
    pc.state = ServiceRunning;
    pc.controlDenied = c.denied;
    std::ostringstream out, err;
    EXPECT_EQ(restoreServices(journal_, pc, pc, out, err), c.exitCode) << c.name;
    EXPECT_EQ(out.str(), c.out) << c.name;
    EXPECT_EQ(err.str(), "") << c.name;
    EXPECT_EQ(pc.service(), c.denied ? "running/manual" : "stopped/disabled") << c.name;
    const JournalContents after = readJournalFile(journal_);
    EXPECT_EQ(after.error, "") << c.name;
    EXPECT_EQ(after.pending.size(), c.pendingAfter) << c.name;
  }
  std::ostringstream out, err;
  fakes::FakeServiceControl pc;
  pc.controlDenied = true;
  EXPECT_EQ(restoreServices(journal_, pc, pc, out, err), 1);  // the refused entry stays pending
  pc.controlDenied = false;
  EXPECT_EQ(restoreServices(journal_, pc, pc, out, err), 0);
  pc.log.clear();
  out.str("");
  EXPECT_EQ(restoreServices(journal_, pc, pc, out, err), 0);
  EXPECT_EQ(out.str(), journal_ + ": nothing to restore: no PC is left changed\n");
  EXPECT_TRUE(pc.log.empty());

  std::ofstream(journal_, std::ios::app) << "{\"pc\":1}\n";
  EXPECT_EQ(restoreServices(journal_, pc, pc, out, err), 2);
  EXPECT_EQ(err.str().rfind("cairnmark-fleet: " + journal_ + ":", 0), 0u) << err.str();
  EXPECT_EQ(restoreServices((dir_ / "none").string(), pc, pc, out, err), 2);
}

// Workers that run every job at once against one fake PC. With crash set, a check journals a
// start and then crashes, as a worker killed mid-check does. With interrupt set, the run is
// interrupted from the start.
class FakePcWorkers final : public Workers {
 public:
  fakes::FakePlatform platform;
  fakes::FakeServiceControl& pc = platform.serviceControl;
  std::string journal;
  bool crash = false;
  bool interrupt = false;
  std::vector<std::string> jobs;

  bool start(std::uint64_t id, const std::string& input) override {
    jobs.push_back(input);
    const RecordJson job = RecordJson::parse(input);
    if (crash && !job.contains("restore")) {
      const JournalEntry entry{job.at("entry"), job.at("pc"), "\\\\PC01", {}};
      appendJournalLine(journal, journalChangeLine(entry, RegistryServiceChange::Start));
      pc.state = ServiceRunning;
      ended_.push_back({id, WorkerEnd::Crashed, {}, {}});
      return true;
    }
    ended_.push_back({id, WorkerEnd::Finished, runCheckJob(input, platform.platform, {}, pc), {}});
    return true;
  }
  std::vector<WorkerResult> wait() override { return std::exchange(ended_, {}); }
  std::size_t running() const override { return ended_.size(); }
  bool interrupted() override { return interrupt; }
  int interruptSignal() const override { return 0; }

 private:
  std::vector<WorkerResult> ended_;
};

TEST_F(ServiceTest, FleetPutsBackWhatItsWorkersLeftChanged) {
  struct Case {
    const char* name;
    bool crash;
    bool interrupt;
    bool refused;  // control of the service is refused to the fleet's restore
    int exitCode;
    const char* reason;   // the PC's record
    const char* after;    // its registry_service_after, null for none
    const char* service;  // as the PC is left
    const char* out;      // a line the run prints, empty for none
  };
  for (const Case& c : std::initializer_list<Case>{
           {"crashed", true, false, false, 1, "crashed", "stopped/manual", "stopped/manual", ""},
           {"crashed, restore refused", true, false, true, 1, "service-restore-failed", nullptr,
            "running/manual", ""},
           {"interrupted after its own restore failed", false, true, false, 130,
            "service-restore-failed", "running/manual", "stopped/manual",
            "PC01: RemoteRegistry put back as it was found (stopped/manual)\n"},
       }) {
    SetUp();
    FakePcWorkers workers;
    workers.journal = journal_;
    workers.crash = c.crash;
    workers.interrupt = c.interrupt;
    workers.platform.failing["RegConnectRegistryA"] = {0};
    workers.pc.failing["ControlService"] = {c.crash ? 0u : 5u};
    workers.pc.controlDenied = c.refused;
    FleetOptions options;
    options.domain = "NEWDOM";
    options.setDefault = options.startRegistry = true;
    options.pcs = {"PC01"};
    options.jsonlPath = (dir_ / "r.jsonl").string();
    options.journalPath = journal_;
    std::istringstream in;
    std::ostringstream out, err;
    EXPECT_EQ(runFleet(options, workers, {in, out, err}), c.exitCode) << c.name;
    EXPECT_EQ(workers.jobs.size(), 2u) << c.name;  // the check and the fleet's restore
    std::ifstream records(options.jsonlPath);
    std::string line;
    std::getline(records, line);
    const RecordJson record = RecordJson::parse(line);
    EXPECT_EQ(record.at("reason"), c.reason) << c.name;
    EXPECT_EQ(record.at("registry_service_after"), c.after ? RecordJson(c.after) : RecordJson())
        << c.name;
    EXPECT_EQ(workers.pc.service(), c.service) << c.name;
    EXPECT_EQ(readJournalFile(journal_).pending.size(), c.refused ? 1u : 0u) << c.name;
    EXPECT_EQ(err.str().find("--restore-services") != std::string::npos, c.refused) << err.str();
    if (*c.out) {
      EXPECT_NE(out.str().find(c.out), std::string::npos) << out.str();
    }
  }
}

TEST(ServiceOptionsTest, DefaultJournalLiesBesideTheFirstRecordFile) {
  struct Case {
    std::vector<const char*> args;
    const char* journal;
  };
  for (const Case& c : std::initializer_list<Case>{
           {{"--html", "r.html", "--csv", "r.csv", "--jsonl", "r.jsonl"}, "r.jsonl.journal"},
           {{"--html", "r.html", "--csv", "r.csv"}, "r.csv.journal"},
           {{"--html", "r.html"}, "r.html.journal"},
           {{}, "cairnmark-fleet.journal"},
           {{"--jsonl", "r.jsonl", "--journal", "j"}, "j"},
       }) {
    std::vector<const char*> argv{"cairnmark-fleet", "--domain", "newdom", "--pc", "a",
                                  "--start-registry"};
    argv.insert(argv.end(), c.args.begin(), c.args.end());
    const FleetCommand command = readFleetCommand(static_cast<int>(argv.size()), argv.data());
    ASSERT_TRUE(command.options) << c.journal;
    EXPECT_EQ(command.options->journalPath, c.journal);
  }
}

}  // namespace
}  // namespace cairn
