#include "tests/e2e/process.h"

#include <spawn.h>
#include <sys/wait.h>

#include <cstdio>

extern char** environ;

namespace cairn::e2e {

ProcessResult runProcess(const std::string& program, const std::vector<std::string>& arguments) {
  // The streams go to unnamed files, read once the process has ended, so no pipe can fill up.
  std::FILE* files[] = {std::tmpfile(), std::tmpfile()};
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  for (int fd : {1, 2}) posix_spawn_file_actions_adddup2(&actions, fileno(files[fd - 1]), fd);
  std::vector<char*> argv{const_cast<char*>(program.c_str())};
  for (const auto& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);
  ProcessResult result;
  const auto started = std::chrono::steady_clock::now();
  pid_t child = 0;
  int status = 0;
  if (::posix_spawn(&child, program.c_str(), &actions, nullptr, argv.data(), environ) == 0) {
    ::waitpid(child, &status, 0);
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  result.elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(
      std::chrono::steady_clock::now() - started);
  posix_spawn_file_actions_destroy(&actions);
  std::string* sinks[] = {&result.standardOutput, &result.standardError};
  for (int i : {0, 1}) {
    std::rewind(files[i]);
    for (int c = std::fgetc(files[i]); c != EOF; c = std::fgetc(files[i])) sinks[i]->push_back(c);
    std::fclose(files[i]);
  }
  return result;
}

}  // namespace cairn::e2e
