// Runs whole check runs against the scripted platform and keeps what they left behind.
#pragma once

#include <string>
#include <string_view>

#include "front/check_run.h"
#include "tests/fakes/fake_platform.h"

namespace cairn::fakes {

struct RunResult {
  int exitCode = -1;
  std::string output;
};

inline RunResult runOn(FakePlatform& fake, std::string_view tail) {
  RunResult result;
  result.exitCode = runChecks(tail, fake.platform);
  result.output = fake.console.output;
  return result;
}

}  // namespace cairn::fakes
