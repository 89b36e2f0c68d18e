// Runs a program and collects its exit status, both output streams and the time it took.
#pragma once

#include <chrono>
#include <string>
#include <vector>

namespace cairn::e2e {

struct ProcessResult {
  int exitCode = -1;  // -1 when the process did not exit normally
  std::string standardOutput;
  std::string standardError;
  std::chrono::milliseconds elapsed{0};
};

ProcessResult runProcess(const std::string& program, const std::vector<std::string>& arguments);

}  // namespace cairn::e2e
