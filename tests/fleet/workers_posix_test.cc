// The POSIX worker processes through their public interface: every way a child can end, and the
// interrupt that the parent hears while its children carry on.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <map>
#include <stdexcept>

#include "platform/workers.h"

namespace cairn {
namespace {

std::string work(const std::string& input, const WorkerProgress& progress) {
  if (input.starts_with("step")) {
    progress("first step");
    progress("last step");
  }
  if (input == "abort" || input == "step-abort") std::abort();
  if (input == "throw") throw std::runtime_error("no result");
  if (input == "hang" || input == "step-hang") ::sleep(30);
  if (input == "slow") ::usleep(300000);
  return "done " + input;
}

TEST(WorkersPosixTest, EveryEndIsReported) {
  const auto workers = makeSystemWorkers(work, std::chrono::milliseconds(500));
  EXPECT_TRUE(workers->wait().empty());
  struct Case {
    const char* input;
    WorkerEnd end;
    const char* output;
    const char* progress;  // the last progress text, which a stopped or crashed child keeps
  };
  const std::vector<Case> cases = {{"pc01", WorkerEnd::Finished, "done pc01", ""},
                                   {"step", WorkerEnd::Finished, "done step", "last step"},
                                   {"abort", WorkerEnd::Crashed, "", ""},
                                   {"step-abort", WorkerEnd::Crashed, "", "last step"},
                                   {"throw", WorkerEnd::Crashed, "", ""},
                                   {"hang", WorkerEnd::StoppedAtDeadline, "", ""},
                                   {"step-hang", WorkerEnd::StoppedAtDeadline, "", "last step"}};
  for (std::size_t i = 0; i < cases.size(); ++i) ASSERT_TRUE(workers->start(i, cases[i].input));
  EXPECT_EQ(workers->running(), cases.size());
  std::map<std::uint64_t, WorkerResult> ended;
  while (workers->running() > 0)
    for (WorkerResult& result : workers->wait()) ended[result.id] = result;
  ASSERT_EQ(ended.size(), cases.size());
  for (std::size_t i = 0; i < cases.size(); ++i) {
    EXPECT_EQ(ended[i].end, cases[i].end) << cases[i].input;
    EXPECT_EQ(ended[i].output, cases[i].output) << cases[i].input;
    EXPECT_EQ(ended[i].progress, cases[i].progress) << cases[i].input;
  }
}

TEST(WorkersPosixTest, InterruptReachesTheParentOnly) {
  for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
    const auto workers = makeSystemWorkers(work, std::chrono::milliseconds(5000));
    ASSERT_TRUE(workers->start(7, "slow"));
    EXPECT_FALSE(workers->interrupted());
    ::kill(::getpid(), signal);
    EXPECT_TRUE(workers->wait().empty()) << signal;  // back at once, to start nothing new
    EXPECT_TRUE(workers->interrupted());
    ::kill(::getpid(), SIGINT);  // a later request changes nothing
    EXPECT_EQ(workers->interruptSignal(), signal);
    const std::vector<WorkerResult> ended = workers->wait();
    ASSERT_EQ(ended.size(), 1u);
    EXPECT_EQ(ended[0].end, WorkerEnd::Finished) << signal;
    EXPECT_EQ(ended[0].output, "done slow");
  }
}

// A child whose every descriptor is taken is short of resources; the test process is not.
TEST(WorkersPosixTest, ShortOfDescriptorsIsTold) {
  EXPECT_FALSE(localResourcesShort());
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    rlimit none{0, 0};
    ::setrlimit(RLIMIT_NOFILE, &none);
    ::_exit(localResourcesShort() ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}

// Room for the jobs' descriptors: enough already, the soft limit raised as far as the jobs need,
// or a refusal that names the hard limit. In a child, since a hard limit once lowered stays so.
TEST(WorkersPosixTest, RoomForJobsIsMadeOrRefused) {
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    rlimit low{256, 512};
    ::setrlimit(RLIMIT_NOFILE, &low);
    int faults = 0;
    if (!makeRoomForWorkers(100).empty()) faults |= 1;
    rlimit now{};
    if (!makeRoomForWorkers(400).empty() || ::getrlimit(RLIMIT_NOFILE, &now) != 0 ||
        now.rlim_cur != 464 || now.rlim_max != 512)
      faults |= 2;
    if (makeRoomForWorkers(1000).find("(ulimit -Hn) is 512") == std::string::npos) faults |= 4;
    ::_exit(faults);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0) << "1: enough already, 2: raised, 4: refused";
}

}  // namespace
}  // namespace cairn
