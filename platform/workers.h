// Worker processes for the fleet command: each check runs in a child process of its own, so a
// crash or a hang in one PC's check can never take the run down or spoil another PC's record;
// and the interrupts (Ctrl-C, SIGTERM, SIGHUP) that end a fleet run early. No worker outlives
// the process that started it, however that process ends.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace cairn {

// Hands a text to the parent at once while the work goes on: the last one a child sent comes
// back with its result however the child ends, stopped and crashed children included. The text
// holds no line end.
using WorkerProgress = std::function<void(const std::string& text)>;

// Runs in the child: takes the input handed to start, may report progress, and gives the text
// sent back to the parent, which holds no line end either.
using WorkerFunction =
    std::function<std::string(const std::string& input, const WorkerProgress& progress)>;

enum class WorkerEnd {
  Finished,           // the function returned and its output arrived whole
  Crashed,            // the child died or ended without handing its output over
  StoppedAtDeadline,  // the child was still running at its deadline and was stopped
};

struct WorkerResult {
  std::uint64_t id = 0;
  WorkerEnd end = WorkerEnd::Crashed;
  std::string output;
  std::string progress;  // the last progress text the child sent, empty when it sent none
};

class Workers {
 public:
  virtual ~Workers() = default;

  // Starts a child that runs the worker function on input. False when no child could be made
  // (the system is out of processes or memory); nothing is then running under that id.
  virtual bool start(std::uint64_t id, const std::string& input) = 0;

  // Blocks until at least one child has ended or the run is interrupted, and hands back every
  // child that ended. A child past its deadline is stopped here and reported as such. Returns at
  // once with nothing when no child runs.
  virtual std::vector<WorkerResult> wait() = 0;

  virtual std::size_t running() const = 0;

  // True once the run was asked to stop: SIGINT (Ctrl-C), SIGTERM (a service manager) or SIGHUP
  // (a closed terminal or SSH session); on Windows Ctrl-C or Ctrl-Break, and the console's
  // close, logoff and shutdown events. The children are shielded from that request: they
  // finish or meet their deadline.
  virtual bool interrupted() = 0;

  // The number of the signal that asked the run to stop first (SIGINT 2, SIGHUP 1, SIGTERM 15;
  // Windows' console events count as the signal of the same meaning), 0 while none did.
  virtual int interruptSignal() const = 0;
};

// Children that run work, each stopped when it runs longer than deadline.
std::unique_ptr<Workers> makeSystemWorkers(WorkerFunction work, std::chrono::milliseconds deadline);

// Where the system starts workers as new processes of the same program (Windows), the entry
// point calls this first: in a worker process it runs work on the input from the parent and
// returns true; the caller then ends the process. Elsewhere it returns false at once.
bool serveAsWorker(int argc, char** argv, const WorkerFunction& work);

// Makes room in this process's limits for jobs children at once, before any starts: on POSIX the
// soft limit of open files is raised, up to the hard limit, to what the children's pipes and a
// check's own files need. Empty text when there is room; else the limit to raise, for the user.
std::string makeRoomForWorkers(std::size_t jobs);

// Whether this process is short of what a check needs right now: on POSIX, a socket and a file
// descriptor cannot be had for lack of descriptors or memory. A check that failed while this
// holds failed on this machine, and its failure says nothing about the PC.
bool localResourcesShort();

// Whether standard output is a terminal, where a progress line may be redrawn in place.
bool standardOutputIsTerminal();

}  // namespace cairn
