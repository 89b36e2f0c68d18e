// Whole fleet runs through runFleet with workers that run each check at once on a fake PC: what
// is started, what each end becomes in the record file, and the run's exit code. The workers'
// own processes are tested in workers_posix_test.cc, and runs on real PCs against the lab.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "fleet/check_job.h"
#include "fleet/fleet_run.h"
#include "fleet/pc_record.h"
#include "fleet/record_fields.h"
#include "tests/fakes/fake_platform.h"

namespace cairn {
namespace {

// Hosts named HANGS and CRASHES end that way, NOPROCESS never gets a process; any other host is
// checked in the fake world, where only PC01 resolves, and a logon-domain policy names OLDDOM.
class InstantWorkers final : public Workers {
 public:
  bool start(std::uint64_t id, const std::string& input) override {
    if (input.find("NOPROCESS") != std::string::npos) return false;
    WorkerResult result{id, WorkerEnd::Finished, {}, {}};
    if (input.find("HANGS") != std::string::npos) {
      result.end = WorkerEnd::StoppedAtDeadline;
    } else if (input.find("CRASHES") != std::string::npos) {
      result.end = WorkerEnd::Crashed;
    } else {
      fakes::FakePlatform pc;
      pc.values["DefaultLogonDomain"] = "OLDDOM";
      result.output = runCheckJob(input, pc.platform, {});
    }
    running_.push_back(result);
    mostRunning = std::max(mostRunning, running_.size());
    return true;
  }

  std::vector<WorkerResult> wait() override {
    ++waits;
    return std::exchange(running_, {});
  }

  std::size_t running() const override { return running_.size(); }
  bool interrupted() override { return waits >= interruptAfterWaits; }
  int interruptSignal() const override { return 0; }

  std::size_t mostRunning = 0;
  int waits = 0;
  int interruptAfterWaits = 1000;

 private:
  std::vector<WorkerResult> running_;
};

TEST(FleetRunTest, EveryEndBecomesARecord) {
  struct Case {
    const char* name;
    std::string list;  // standard input, read as the list "-"
    std::vector<std::string> pcs;
    int jobs;
    int interruptAfterWaits;
    int exitCode;
    std::string records;    // pc:exit code:reason, in the record file's order
    bool terminal = false;  // the progress line is shown, and wiped before the summary
  };
  const std::string mixed = "pc01\nhangs\n\"\"\ncrashes\npc02\n";
  for (const Case& c : std::initializer_list<Case>{
           // clang-format off
           {"list from standard input", mixed, {}, 2, 1000, 1,
            "pc01:0:ok hangs:2:stopped-at-deadline \"\"\"\"\"\":99:bad-value crashes:255:crashed "
            "pc02:1:not-resolved "},
           {"names on the command line", "pc02\n", {"pc01", "noprocess"}, 2, 1000, 1,
            "pc01:0:ok noprocess:2:local-resources "},
           {"all passed", "", {"pc01"}, 2, 1000, 0, "pc01:0:ok ", true},
           {"interrupted", mixed, {}, 1, 1, 130, "pc01:0:ok "},
           // clang-format on
       }) {
    const auto dir = std::filesystem::temp_directory_path() / "cairn-fleet-run-test";
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    FleetOptions options;
    options.domain = "NEWDOM";
    options.setDefault = true;  // the logon-domain policy is read where the values are set
    options.jobs = c.jobs;
    options.listPath = c.pcs.empty() ? "-" : "";
    options.pcs = c.pcs;
    // An empty file (made ready by the caller) takes records without --resume.
    options.csvPath = (dir / "r.csv").string();
    std::ofstream(options.csvPath).close();
    // A page is written anew over an earlier one.
    options.htmlPath = (dir / "r.html").string();
    std::ofstream(options.htmlPath) << "earlier page\n";
    InstantWorkers workers;
    workers.interruptAfterWaits = c.interruptAfterWaits;
    std::istringstream input(c.list);
    std::ostringstream out, err;
    EXPECT_EQ(runFleet(options, workers, {input, out, err, c.terminal}), c.exitCode)
        << c.name << err.str();
    EXPECT_EQ(out.str().starts_with("\r1/1 done, 1 passed"), c.terminal) << out.str();
    EXPECT_EQ(out.str().find(" \r1 PCs checked") != std::string::npos, c.terminal) << out.str();
    std::stringstream page;
    page << std::ifstream(options.htmlPath).rdbuf();
    EXPECT_EQ(page.str().find("earlier page"), std::string::npos) << c.name;
    EXPECT_LE(workers.mostRunning, static_cast<std::size_t>(c.jobs)) << c.name;
    EXPECT_NE(out.str().find("names another domain):\n  pc01\n"), std::string::npos) << out.str();

    std::ifstream csv(options.csvPath);
    std::string line;
    std::getline(csv, line);
    EXPECT_EQ(line, csvHeader()) << c.name;
    std::string records;
    while (std::getline(csv, line)) {
      std::vector<std::string> cells;
      std::istringstream row(line);
      for (std::string cell; std::getline(row, cell, ',');) cells.push_back(cell);
      records += cells.at(0) + ":" + cells.at(3) + ":" + cells.at(4) + " ";
    }
    EXPECT_EQ(records, c.records) << c.name;
    EXPECT_EQ(out.str().find("without a verdict: this machine ran out") != std::string::npos,
              c.records.find(":local-resources") != std::string::npos)
        << out.str();
    csv.close();  // Windows removes no file that is open
    std::filesystem::remove_all(dir);
  }
}

// A worker's result with a field of the wrong type is no result: the PC is recorded as crashed,
// never with a field left at its default.
TEST(FleetRunTest, WorkerResultWithAWrongFieldIsNone) {
  fakes::FakePlatform pc;
  FleetOptions options;
  options.domain = "NEWDOM";
  const RecordJson result =
      RecordJson::parse(runCheckJob(encodeJob(options, "PC01"), pc.platform, {}));
  ASSERT_TRUE(decodeCheckResult(result.dump()));
  // clang-format off
  const std::pair<const char*, RecordJson> wrong[] = {{"exit_code", "0"}, {"exit_code", 1.5},
      {"status", -5}, {"status", "5"}, {"step", 3}, {"address", nullptr},
      {"default_domain_before", 7}};
  // clang-format on
  for (const auto& [key, value] : wrong) {
    RecordJson tampered = result;
    tampered[key] = value;
    EXPECT_FALSE(decodeCheckResult(tampered.dump())) << key << " " << value.dump();
  }
}

}  // namespace
}  // namespace cairn
