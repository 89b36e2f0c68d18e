// Fault injection over the scripted platform: every call a run reaches fails in every way it can,
// alone and paired with each later failure, and the run must still end as that failure implies.
#include <gtest/gtest.h>

#include <iostream>
#include <set>

#include "tests/transcript.h"

namespace cairn::fakes {
namespace {

// Runs that pass when nothing fails.
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

// What a set of injected failures must lead to, read independently of the check run's code from
// the calls the run actually made: the first failure that ends a run decides, and the retried
// steps fail only when both of their attempts failed.
int impliedExitCode(const CallLog& log, const FaultPlan& faults) {
  int echoAttempt = 0;
  std::set<int> failedEchoAttempts;
  int workstationFailures = 0;
  int serverFailures = 0;
  for (std::size_t i = 0; i < log.size(); ++i) {
    const std::string name = callNameOf(log[i]);
    if (name == "inet_addr") ++echoAttempt;
    const auto fault = faults.find(i);
    if (fault == faults.end()) continue;
    if (name == "WSAStartup" || name == "gethostbyname" || name == "gethostbyaddr" ||
        name == "gethostname")
      return 1;
    if (name == "inet_addr" || name == "IcmpCreateFile" || name == "IcmpSendEcho") {
      failedEchoAttempts.insert(echoAttempt);
      if (failedEchoAttempts.size() == 2) return 1;
    }
    if (name == "NetWkstaGetInfo" && ++workstationFailures == 2) return 2;
    if (name == "NetServerGetInfo" && ++serverFailures == 2) return 2;
    if (name == "RegConnectRegistryA" || name == "RegOpenKeyExA") return 16;
    if (name == "RegQueryValueExA" && fault->second != 2) return 32;
    if (name == "RegSetValueExA") return 64;
  }
  return 0;
}

struct Sweep {
  int runs = 0;

  CallLog run(const Configuration& configuration, const FaultPlan& plan) {
    ++runs;
    FakePlatform fake;
    fake.sockets.localName = configuration.localName;
    for (auto& [name, value] : fake.registry.values) value = configuration.storedValue;
    fake.faults = plan;
    const RunResult result = runOn(fake, configuration.tail);
    std::string where = std::string(configuration.tail) + " with faults at";
    for (const auto& [position, kind] : plan)
      where += " " + fake.log.at(position) + "#" + std::to_string(kind);

    static const std::set<int> documented = {0, 1, 2, 4, 8, 9, 16, 32, 64, 99};
    EXPECT_TRUE(documented.count(result.exitCode)) << where;
    EXPECT_EQ(result.exitCode, impliedExitCode(fake.log, plan)) << where;
    EXPECT_TRUE(fake.icmp.openHandles.empty()) << where;
    EXPECT_TRUE(fake.registry.openKeys.empty()) << where;
    if (fake.registry.closed.size() == 2) {
      EXPECT_EQ(fake.registry.closed.front(), FakeRegistry::WinlogonKey) << where;
    }
    EXPECT_TRUE(fake.net.eachRecordReleasedOnce()) << where;
    EXPECT_EQ(fake.sockets.startups, fake.sockets.cleanups) << where;
    if (result.output.find(" + Remote PC is in target domain: ") == std::string::npos) {
      EXPECT_EQ(fake.registry.calls, 0) << where;
    }
    EXPECT_TRUE(result.output.empty() || result.output.ends_with("\r\n")) << where;
    return fake.log;
  }
};

TEST(FaultSweepTest, EveryReachableCallFailsEveryWayAloneAndInPairs) {
  Sweep sweep;
  for (const Configuration& configuration : Configurations) {
    const CallLog clean = sweep.run(configuration, {});
    for (std::size_t first = 0; first < clean.size(); ++first) {
      for (int kind = 0; kind < faultKindsOf(callNameOf(clean[first])); ++kind) {
        const CallLog once = sweep.run(configuration, {{first, kind}});
        for (std::size_t second = first + 1; second < once.size(); ++second) {
          for (int kind2 = 0; kind2 < faultKindsOf(callNameOf(once[second])); ++kind2)
            sweep.run(configuration, {{first, kind}, {second, kind2}});
        }
      }
    }
  }
  std::cout << "fault-injection runs: " << sweep.runs << "\n";
  EXPECT_GT(sweep.runs, 800);
}

// The oracle itself must tell a retried success from a double failure.
TEST(FaultSweepTest, ImpliedExitCodeNeedsBothAttemptsToFail) {
  const CallLog log = {"NetWkstaGetInfo(\\\\PC01,102)", "NetWkstaGetInfo(\\\\PC01,102)"};
  EXPECT_EQ(impliedExitCode(log, {{0, 0}}), 0);
  EXPECT_EQ(impliedExitCode(log, {{0, 0}, {1, 1}}), 2);
}

}  // namespace
}  // namespace cairn::fakes
