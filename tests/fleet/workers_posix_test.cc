// The POSIX worker processes through their public interface: every way a child can end, and the
// interrupt that the parent hears while its children carry on.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/filter.h>
#include <linux/seccomp.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <map>
#include <stdexcept>

#include "platform/common/unique_fd.h"
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
  // Twice what a pipe holds, time and again: the child goes on only while the parent reads.
  for (int part = 0; input == "large" && part < 4; ++part) {
    ::usleep(20000);
    progress(std::string(1 << 17, 'x'));
  }
  return "done " + input;
}

TEST(WorkersPosixTest, EveryEndIsReported) {
  const auto workers = makeSystemWorkers(work, std::chrono::milliseconds(500));
  EXPECT_TRUE(workers->wait().empty());
  struct Case {
    const char* input;
    WorkerEnd end;
    const char* output;
    std::string progress;  // the last progress text, which a stopped or crashed child keeps
  };
  const std::vector<Case> cases = {
      {"pc01", WorkerEnd::Finished, "done pc01", ""},
      {"large", WorkerEnd::Finished, "done large", std::string(1 << 17, 'x')},
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

// Makes this process's sockets and opened files fail with the errors given (0: they succeed), as
// a system short of them would, by a seccomp filter.
void refuse(int socketError, int openError) {
  const auto answer = [](int error) -> std::uint32_t {
    return error == 0 ? SECCOMP_RET_ALLOW : SECCOMP_RET_ERRNO | static_cast<std::uint32_t>(error);
  };
  sock_filter filter[] = {
      BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr)),
      BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, __NR_socket, 2, 0),
      BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, __NR_openat, 2, 0),
      BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
      BPF_STMT(BPF_RET | BPF_K, answer(socketError)),
      BPF_STMT(BPF_RET | BPF_K, answer(openError)),
  };
  const sock_fprog program{static_cast<unsigned short>(std::size(filter)), filter};
  if (::prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0 ||
      ::prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &program) != 0)
    ::_exit(2);
}

// A child that cannot have a socket or a file for lack of descriptors or memory is short of
// resources; one refused them for another cause is not, nor is the test process.
TEST(WorkersPosixTest, ShortOfResourcesIsTold) {
  EXPECT_FALSE(localResourcesShort());
  struct Case {
    int socketError;
    int openError;
    bool isShort;
  };
  for (const Case& c : std::initializer_list<Case>{{EMFILE, 0, true},
                                                   {0, ENFILE, true},
                                                   {ENOBUFS, 0, true},
                                                   {ENOMEM, ENOMEM, true},
                                                   {EACCES, EACCES, false}}) {
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      refuse(c.socketError, c.openError);
      ::_exit(localResourcesShort() == c.isShort ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << c.socketError << c.openError;
  }
}

// Standard output is a terminal only where it is one: a progress line is redrawn only there.
TEST(WorkersPosixTest, TerminalIsToldFromAFile) {
  const UniqueFd terminal(::posix_openpt(O_RDWR | O_NOCTTY));
  ASSERT_TRUE(terminal && ::grantpt(terminal.get()) == 0 && ::unlockpt(terminal.get()) == 0);
  std::fflush(stdout);
  const UniqueFd saved(::dup(STDOUT_FILENO));
  std::vector<bool> told;
  for (const char* path : {static_cast<const char*>(::ptsname(terminal.get())), "/dev/null"}) {
    const UniqueFd output(::open(path, O_WRONLY | O_NOCTTY));
    ::dup2(output.get(), STDOUT_FILENO);
    told.push_back(standardOutputIsTerminal());
  }
  ::dup2(saved.get(), STDOUT_FILENO);
  EXPECT_EQ(told, (std::vector<bool>{true, false}));
}

// Room for the jobs' descriptors: enough already, the soft limit raised as far as the jobs need
// (up to the hard limit itself), or a refusal that names the hard limit. In a child, since a hard
// limit once lowered stays so.
TEST(WorkersPosixTest, RoomForJobsIsMadeOrRefused) {
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    rlimit low{256, 512};
    ::setrlimit(RLIMIT_NOFILE, &low);
    int faults = 0;
    if (!makeRoomForWorkers(100).empty()) faults |= 1;
    rlimit now{};
    if (!makeRoomForWorkers(448).empty() || ::getrlimit(RLIMIT_NOFILE, &now) != 0 ||
        now.rlim_cur != 512 || now.rlim_max != 512)
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
