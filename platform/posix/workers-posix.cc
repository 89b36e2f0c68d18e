// Worker processes on a POSIX system: fork without exec, so every child shares the libraries the
// parent has already mapped (the Samba module among them) instead of loading them again. The
// parent stays single-threaded and waits on one poll: the children's pipes and a signalfd that
// carries SIGINT, SIGTERM and SIGHUP (requests to stop) and SIGCHLD (a child ended).
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/signalfd.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "platform/common/unique_fd.h"
#include "platform/common/worker_pool.h"
#include "platform/workers.h"

namespace cairn {
namespace {

struct Child {
  std::uint64_t id = 0;
  pid_t pid = -1;
  UniqueFd output;  // read end of the pipe the child answers on
  std::string received;
  bool outputClosed = false;
  std::chrono::steady_clock::time_point deadline;
};

void writeAll(int fd, const std::string& bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t written = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return;
    done += static_cast<std::size_t>(written);
  }
}

// Reads what the pipe holds now; marks the child's output closed at end of file.
void drain(Child& child) {
  char buffer[4096];
  while (!child.outputClosed) {
    const ssize_t got = ::read(child.output.get(), buffer, sizeof buffer);
    if (got > 0) {
      child.received.append(buffer, static_cast<std::size_t>(got));
    } else if (got == 0) {
      child.outputClosed = true;
    } else if (errno != EINTR) {
      if (errno != EAGAIN) child.outputClosed = true;
      return;
    }
  }
}

// The signals that ask a run to stop.
sigset_t stopSignals() {
  sigset_t signals;
  sigemptyset(&signals);
  for (const int signal : {SIGINT, SIGTERM, SIGHUP}) sigaddset(&signals, signal);
  return signals;
}

class PosixWorkers final : public WorkerPool<Child> {
 public:
  PosixWorkers(WorkerFunction work, std::chrono::milliseconds deadline)
      : work_(std::move(work)), deadline_(deadline) {
    sigset_t signals = stopSignals();
    sigaddset(&signals, SIGCHLD);
    sigprocmask(SIG_BLOCK, &signals, &savedMask_);
    signals_.reset(::signalfd(-1, &signals, SFD_NONBLOCK | SFD_CLOEXEC));
  }

  // Nothing outlives the run: children still running are stopped and reaped.
  ~PosixWorkers() override {
    for (Child& child : children_) stop(child);
    sigprocmask(SIG_SETMASK, &savedMask_, nullptr);
  }

  bool start(std::uint64_t id, const std::string& input) override {
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC) != 0) return false;
    const pid_t parent = ::getpid();
    UniqueFd readEnd(ends[0]);
    UniqueFd writeEnd(ends[1]);
    const pid_t pid = ::fork();
    if (pid < 0) return false;
    if (pid == 0) runChild(input, writeEnd.get(), parent);  // never returns
    // Both sides set the group, whichever runs first: a deadline stops the whole group,
    // helpers the check forked included.
    ::setpgid(pid, pid);
    ::fcntl(readEnd.get(), F_SETFL, O_NONBLOCK);
    Child& child = children_.emplace_back();
    child.id = id;
    child.pid = pid;
    child.output = std::move(readEnd);
    child.deadline = Clock::now() + deadline_;
    return true;
  }

  bool interrupted() override {
    readSignals();
    return interruptSignal_ != 0;
  }

  int interruptSignal() const override { return interruptSignal_; }

 private:
  [[noreturn]] void runChild(const std::string& input, int answerFd, pid_t parent) {
    // A worker dies with its fleet, however the fleet ends (kill -9 included), so that no check
    // goes on, and no registry write starts, with nobody to record it. A fleet that ended
    // before the request took effect has handed this child to another parent already.
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (::getppid() != parent) ::_exit(1);
    ::setpgid(0, 0);
    // The requests to stop stay blocked: they are meant for the parent, which lets running
    // checks finish.
    sigset_t mask = savedMask_;
    sigset_t stop = stopSignals();
    sigorset(&mask, &mask, &stop);
    sigdelset(&mask, SIGCHLD);
    sigprocmask(SIG_SETMASK, &mask, nullptr);
    // Nothing a check prints may reach the parent's terminal or files.
    const int null = ::open("/dev/null", O_RDWR);
    for (int fd = 0; fd <= 2; ++fd) ::dup2(null, fd);
    int status = 1;
    try {
      const WorkerProgress progress = [answerFd](const std::string& text) {
        writeAll(answerFd, text + '\n');
      };
      writeAll(answerFd, work_(input, progress));
      status = 0;
    } catch (...) {
    }
    // _exit: the parent's buffered streams, copied into this child, must not be flushed twice.
    ::_exit(status);
  }

  // Waits for a pipe, a signal or the nearest deadline.
  bool waitForEvent() override {
    std::vector<pollfd> fds;
    fds.push_back({signals_.get(), POLLIN, 0});
    auto nearest = Clock::time_point::max();
    for (const Child& child : children_) {
      if (!child.outputClosed) fds.push_back({child.output.get(), POLLIN, 0});
      if (child.deadline < nearest) nearest = child.deadline;
    }
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(nearest - Clock::now()).count();
    // A child may end without closing its pipe (a helper it forked holds it): SIGCHLD wakes
    // the poll for that, and a short cap keeps a lost signal from stalling the run.
    const int timeout = static_cast<int>(std::clamp<long long>(left, 0, 250));
    ::poll(fds.data(), fds.size(), timeout);
    const bool before = interruptSignal_ != 0;
    readSignals();
    return interruptSignal_ != 0 && !before;
  }

  void readSignals() {
    signalfd_siginfo info;
    while (::read(signals_.get(), &info, sizeof info) == static_cast<ssize_t>(sizeof info)) {
      const int signal = static_cast<int>(info.ssi_signo);
      if (signal != SIGCHLD && interruptSignal_ == 0) interruptSignal_ = signal;
    }
  }

  std::optional<WorkerResult> endOf(Child& child) override {
    drain(child);
    int status = 0;
    if (::waitpid(child.pid, &status, WNOHANG) != child.pid) return std::nullopt;
    drain(child);
    ::kill(-child.pid, SIGKILL);  // helpers the check left behind
    WorkerResult result = resultOf(child, WorkerEnd::Finished);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0 || result.output.empty())
      result.end = WorkerEnd::Crashed;
    return result;
  }

  // What the child sent before it was stopped stays readable in the pipe.
  void stop(Child& child) override {
    ::kill(-child.pid, SIGKILL);
    ::kill(child.pid, SIGKILL);
    while (::waitpid(child.pid, nullptr, 0) < 0 && errno == EINTR) {
    }
    drain(child);
  }

  WorkerFunction work_;
  std::chrono::milliseconds deadline_;
  sigset_t savedMask_;
  UniqueFd signals_;
  int interruptSignal_ = 0;  // the first request to stop
};

}  // namespace

std::unique_ptr<Workers> makeSystemWorkers(WorkerFunction work,
                                           std::chrono::milliseconds deadline) {
  return std::make_unique<PosixWorkers>(std::move(work), deadline);
}

bool serveAsWorker(int, char**, const WorkerFunction&) {
  return false;
}

bool standardOutputIsTerminal() {
  return ::isatty(STDOUT_FILENO) == 1;
}

}  // namespace cairn
