// Starting the RemoteRegistry service and putting it back, through the scripted service manager:
// one table of the states and start types a PC may be found in, each error the manager may
// answer at each call, and each refusal of the journal. Every row checks the changes and waits
// made, what the results report, and the service as the manager holds it at the end.
#include <gtest/gtest.h>

#include <functional>

#include "platform/status.h"
#include "remote/registry_service.h"
#include "tests/fakes/fake_service_control.h"

namespace cairn::fakes {
namespace {

enum class Op {
  Query,    // the read-only query alone
  Cycle,    // a start, then the restore of what it changed
  Restore,  // a restore of the given changes alone, as from a journal
};

struct Case {
  const char* name;
  Op op;
  std::function<void(FakeServiceControl&)> setup;
  std::string before;                   // as the query or the start found it
  std::string after;                    // as the start left it
  std::string outcome;                  // of the query or the start: reason, failed call and status
  std::string restored;                 // the restore's outcome
  std::string actions;                  // every change, wait and journal entry, in order
  std::string left;                     // the service at the end
  RegistryServiceChanges changes = {};  // for Op::Restore
  ServiceBounds bounds = {};
};

std::string outcomeOf(const RegistryServiceResult& result) {
  std::string text(reasonName(result.reason));
  if (result.step != Step::None)
    text += (text.empty() ? "" : " ") + std::string(stepName(result.step)) + " " +
            std::to_string(result.status);
  return text;
}

std::string actionsOf(const std::vector<std::string>& log) {
  std::string text;
  for (const std::string& entry : log)
    for (const char* kind :
         {"ChangeServiceConfigW", "StartServiceW", "ControlService", "Sleep", "journal"})
      if (entry.starts_with(kind)) text += (text.empty() ? "" : " ") + entry;
  return text;
}

const auto Disabled = [](FakeServiceControl& f) { f.startType = ServiceDisabled; };
const auto Nothing = [](FakeServiceControl&) {};
const std::string Started = "journal(start) StartServiceW() Sleep(1000)";
const std::string Stopped = "ControlService(1) Sleep(1000)";
const std::string Enabled = "journal(enable) ChangeServiceConfigW(3)";
const std::string Fail = "service-start-failed ";
const std::string Denied = "service-control-denied ";
const std::string Unrestored = "service-restore-failed ";

const Case Cases[] = {
    // The read-only query explains a missing pipe with query rights alone.
    {"query: disabled, also to an account without control rights", Op::Query,
     [](FakeServiceControl& f) { f.startType = ServiceDisabled, f.controlDenied = true; },
     "stopped/disabled", "", "registry-service-disabled", "", "", "stopped/disabled"},
    {"query: stopped", Op::Query, Nothing, "stopped/manual", "", "registry-service-stopped", "", "",
     "stopped/manual"},
    {"query: running explains nothing", Op::Query,
     [](FakeServiceControl& f) { f.state = ServiceRunning; }, "running/manual", "", "", "", "",
     "running/manual"},
    {"query: refused, the reason stays unknown", Op::Query,
     [](FakeServiceControl& f) { f.failing["OpenServiceW"] = {StatusAccessDenied}; }, "", "",
     "OpenServiceW 5", "", "", "stopped/manual"},

    // Each start state and start type.
    {"stopped manual: started, then stopped", Op::Cycle, Nothing, "stopped/manual",
     "running/manual", "", "", Started + " " + Stopped, "stopped/manual"},
    {"stopped disabled: enabled, started, stopped and disabled again", Op::Cycle, Disabled,
     "stopped/disabled", "running/manual", "", "",
     Enabled + " " + Started + " " + Stopped + " ChangeServiceConfigW(4)", "stopped/disabled"},
    {"stopped automatic", Op::Cycle, [](FakeServiceControl& f) { f.startType = ServiceAutoStart; },
     "stopped/auto", "running/auto", "", "", Started + " " + Stopped, "stopped/auto"},
    {"running: nothing to change", Op::Cycle,
     [](FakeServiceControl& f) { f.state = ServiceRunning; }, "running/manual", "running/manual",
     "", "", "", "running/manual"},
    {"running although disabled: nothing to change", Op::Cycle,
     [](FakeServiceControl& f) { f.state = ServiceRunning, f.startType = ServiceDisabled; },
     "running/disabled", "running/disabled", "", "", "", "running/disabled"},
    {"a slow start is polled at a tenth of its wait hint", Op::Cycle,
     [](FakeServiceControl& f) { f.startPendingMs = 5000, f.waitHint = 30000; }, "stopped/manual",
     "running/manual", "", "",
     "journal(start) StartServiceW() Sleep(3000) Sleep(3000) ControlService(1) Sleep(3000)",
     "stopped/manual"},
    {"a trigger start wins the race: the service is not ours to stop", Op::Cycle,
     [](FakeServiceControl& f) { f.raceStart = true; }, "stopped/manual", "running/manual", "", "",
     "journal(start) StartServiceW()", "running/manual"},
    {"a start that never ends is given up, and its stop too",
     Op::Cycle,
     [](FakeServiceControl& f) { f.startPendingMs = 1000000, f.waitHint = 100000; },
     "stopped/manual",
     "",
     Fail + "QueryServiceStatusEx 1053",
     Unrestored + "ControlService 1061",
     "journal(start) StartServiceW() Sleep(3000) ControlService(1) Sleep(1000) ControlService(1) "
     "Sleep(1000) ControlService(1)",
     "start-pending/manual",
     {},
     {3000, 2000}},
    {"a service that falls back to stopped: its exit code", Op::Cycle,
     [](FakeServiceControl& f) { f.startFails = true, f.startType = ServiceDisabled; },
     "stopped/disabled", "stopped/manual", Fail + "QueryServiceStatusEx 1067", "",
     Enabled + " " + Started + " ControlService(1) ChangeServiceConfigW(4)", "stopped/disabled"},
    {"a stop the service cannot accept yet is retried", Op::Cycle,
     [](FakeServiceControl& f) { f.busyControls = 2; }, "stopped/manual", "running/manual", "", "",
     Started + " ControlService(1) Sleep(1000) ControlService(1) Sleep(1000) " + Stopped,
     "stopped/manual"},
    {"a configuration larger than the first buffer is read again", Op::Cycle,
     [](FakeServiceControl& f) { f.configSize = 2000, f.state = ServiceRunning; }, "running/manual",
     "running/manual", "", "", "", "running/manual"},

    // Each failure of the start, and what its restore undoes.
    {"an account without control rights changes nothing", Op::Cycle,
     [](FakeServiceControl& f) { f.controlDenied = true, f.startType = ServiceDisabled; }, "", "",
     Denied + "OpenServiceW 5", "", "", "stopped/disabled"},
    {"no such service", Op::Cycle, [](FakeServiceControl& f) { f.exists = false; }, "", "",
     Fail + "OpenServiceW 1060", "OpenServiceW 1060", "", "stopped/manual"},
    {"no service manager", Op::Cycle,
     [](FakeServiceControl& f) { f.failing["OpenSCManagerW"] = {StatusRpcServerUnavailable}; }, "",
     "", Fail + "OpenSCManagerW 1722", "", "", "stopped/manual"},
    {"a status that cannot be read", Op::Cycle,
     [](FakeServiceControl& f) { f.failing["QueryServiceStatusEx"] = {StatusRpcBadStubData}; }, "",
     "", Fail + "QueryServiceStatusEx 1783", "", "", "stopped/manual"},
    {"a configuration claiming more than any can hold", Op::Cycle,
     [](FakeServiceControl& f) { f.configSize = 9000; }, "", "", Fail + "QueryServiceConfigW 122",
     "QueryServiceConfigW 122", "", "stopped/manual"},
    {"enabling refused: nothing to undo", Op::Cycle,
     [](FakeServiceControl& f) {
       f.startType = ServiceDisabled, f.failing["ChangeServiceConfigW"] = {StatusAccessDenied};
     },
     "stopped/disabled", "", Denied + "ChangeServiceConfigW 5", "",
     "journal(enable) "
     "ChangeServiceConfigW(3)",
     "stopped/disabled"},
    {"enabling lost on the way: disabled again to be sure", Op::Cycle,
     [](FakeServiceControl& f) {
       f.startType = ServiceDisabled, f.failing["ChangeServiceConfigW"] = {StatusRpcCallFailed};
     },
     "stopped/disabled", "", Fail + "ChangeServiceConfigW 1726", "",
     Enabled + " ChangeServiceConfigW(4)", "stopped/disabled"},
    {"a start refused as disabled", Op::Cycle,
     [](FakeServiceControl& f) {
       f.startType = ServiceDisabled, f.failing["StartServiceW"] = {StatusServiceDisabled};
     },
     "stopped/disabled", "", Fail + "StartServiceW 1058", "",
     Enabled + " journal(start) StartServiceW() ChangeServiceConfigW(4)", "stopped/disabled"},
    {"a start refused to the account", Op::Cycle,
     [](FakeServiceControl& f) { f.failing["StartServiceW"] = {StatusAccessDenied}; },
     "stopped/manual", "", Denied + "StartServiceW 5", "", "journal(start) StartServiceW()",
     "stopped/manual"},
    {"a start that timed out may still have run: stopped", Op::Cycle,
     [](FakeServiceControl& f) { f.failing["StartServiceW"] = {StatusServiceRequestTimeout}; },
     "stopped/manual", "", Fail + "StartServiceW 1053", "",
     "journal(start) StartServiceW() ControlService(1)", "stopped/manual"},
    {"the journal refuses the enabling: nothing changes", Op::Cycle,
     [](FakeServiceControl& f) {
       f.startType = ServiceDisabled, f.journalRefuses = {RegistryServiceChange::Enable};
     },
     "stopped/disabled", "", Fail + "journal 0", "", "journal(enable)", "stopped/disabled"},
    {"the journal refuses the start: the enabling is undone", Op::Cycle,
     [](FakeServiceControl& f) {
       f.startType = ServiceDisabled, f.journalRefuses = {RegistryServiceChange::Start};
     },
     "stopped/disabled", "", Fail + "journal 0", "",
     Enabled + " journal(start) ChangeServiceConfigW(4)", "stopped/disabled"},

    // Each failure of the restore.
    {"a stop refused: disabled all the same", Op::Cycle,
     [](FakeServiceControl& f) {
       f.startType = ServiceDisabled, f.failing["ControlService"] = {StatusAccessDenied};
     },
     "stopped/disabled", "running/manual", "", Unrestored + "ControlService 5",
     Enabled + " " + Started + " ControlService(1) ChangeServiceConfigW(4)", "running/disabled"},
    {"a stop that never ends",
     Op::Cycle,
     [](FakeServiceControl& f) { f.stopPendingMs = 1000000, f.waitHint = 100000; },
     "stopped/manual",
     "running/manual",
     "",
     Unrestored + "QueryServiceStatusEx 1053",
     "journal(start) StartServiceW() Sleep(10000) ControlService(1) Sleep(10000) Sleep(10000)",
     "stop-pending/manual",
     {},
     {20000, 20000}},
    {"disabling again refused", Op::Cycle,
     [](FakeServiceControl& f) {
       f.startType = ServiceDisabled,
       f.failing["ChangeServiceConfigW"] = {StatusSuccess, StatusRpcCallFailed};
     },
     "stopped/disabled", "running/manual", "", Unrestored + "ChangeServiceConfigW 1726",
     Enabled + " " + Started + " " + Stopped + " ChangeServiceConfigW(4)", "stopped/manual"},
    {"no service manager for the restore", Op::Cycle,
     [](FakeServiceControl& f) {
       f.failing["OpenSCManagerW"] = {StatusSuccess, StatusRpcServerUnavailable};
     },
     "stopped/manual", "running/manual", "", Unrestored + "OpenSCManagerW 1722", Started,
     "running/manual"},
    {"a restore that cannot verify", Op::Cycle,
     [](FakeServiceControl& f) {
       f.failing["QueryServiceConfigW"] = {StatusSuccess, StatusRpcCallFailed};
     },
     "stopped/manual", "running/manual", "", Unrestored + "QueryServiceConfigW 1726",
     Started + " " + Stopped, "stopped/manual"},
    {"a restore that finds the service restarted", Op::Cycle,
     [](FakeServiceControl& f) { f.restartsAfterStop = true; }, "stopped/manual", "running/manual",
     "", Unrestored + "verify 0", Started + " " + Stopped, "running/manual"},

    // Restores from a journal, after a run that died.
    {"a run that died mid-start: stopped and disabled",
     Op::Restore,
     [](FakeServiceControl& f) { f.state = ServiceRunning; },
     "",
     "",
     "",
     "",
     Stopped + " ChangeServiceConfigW(4)",
     "stopped/disabled",
     {true, true}},
    {"a service someone else stopped already",
     Op::Restore,
     Nothing,
     "",
     "",
     "",
     "",
     "ControlService(1)",
     "stopped/manual",
     {false, true}},
};

void PrintTo(const Case& c, std::ostream* os) {
  *os << c.name;
}

class RegistryServiceTest : public ::testing::TestWithParam<Case> {};

TEST_P(RegistryServiceTest, ChangesOnlyWhatItRestores) {
  const Case& c = GetParam();
  FakeServiceControl fake;
  c.setup(fake);
  std::string before, after, outcome, restored;
  if (c.op == Op::Query) {
    const RegistryServiceResult result = queryRegistryService(fake, "\\\\PC01");
    before = result.before;
    outcome = outcomeOf(result);
  }
  RegistryServiceChanges changes = c.changes;
  if (c.op == Op::Cycle) {
    const RegistryServiceResult result =
        startRegistryService(fake, "\\\\PC01", fake, fake.journal(), c.bounds);
    before = result.before;
    after = result.after;
    outcome = outcomeOf(result);
    changes = result.changes;
  }
  if (c.op != Op::Query) {
    const RegistryServiceResult result =
        restoreRegistryService(fake, "\\\\PC01", changes, fake, c.bounds);
    restored = outcomeOf(result);
    if (!result.after.empty()) {
      EXPECT_EQ(result.after, fake.service());
    }
  }
  EXPECT_EQ(before, c.before);
  EXPECT_EQ(after, c.after);
  EXPECT_EQ(outcome, c.outcome);
  EXPECT_EQ(restored, c.restored);
  EXPECT_EQ(actionsOf(fake.log), c.actions);
  EXPECT_EQ(fake.service(), c.left);
  EXPECT_TRUE(fake.leftClean());
}

INSTANTIATE_TEST_SUITE_P(Table, RegistryServiceTest, ::testing::ValuesIn(Cases));

}  // namespace
}  // namespace cairn::fakes
