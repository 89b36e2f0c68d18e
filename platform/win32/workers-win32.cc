// Worker processes on Windows: Windows has no fork, so each worker is a new process of the same
// exe, started with a hidden argument, that reads its job on standard input and answers on
// standard output. A thread per worker drains its answer, so a full pipe never stalls a child.
#include <windows.h>

#include <atomic>
#include <memory>
#include <optional>
#include <thread>

#include "platform/common/worker_pool.h"
#include "platform/workers.h"

namespace cairn {
namespace {

constexpr const char* WorkerArgument = "--cairnmark-worker";

struct HandleCloser {
  void operator()(HANDLE handle) const {
    if (handle != nullptr && handle != INVALID_HANDLE_VALUE) ::CloseHandle(handle);
  }
};
using UniqueHandle = std::unique_ptr<void, HandleCloser>;

std::string readAll(HANDLE from) {
  std::string received;
  char buffer[4096];
  DWORD got = 0;
  while (::ReadFile(from, buffer, sizeof buffer, &got, nullptr) && got > 0)
    received.append(buffer, got);
  return received;
}

void writeAll(HANDLE to, const std::string& bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    DWORD written = 0;
    const auto chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 0x10000));
    if (!::WriteFile(to, bytes.data() + done, chunk, &written, nullptr) || written == 0) return;
    done += written;
  }
}

// Console events arrive on a thread of the system's with no context of ours, so the events that
// carry them, and the signal number of the first, are the process-wide objects this backend
// keeps.
HANDLE interruptEvent() {
  static const HANDLE event = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
  return event;
}

// Set once the run has written its records and summary.
HANDLE runEndedEvent() {
  static const HANDLE event = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
  return event;
}

std::atomic<int>& firstSignal() {
  static std::atomic<int> signal{0};
  return signal;
}

// The POSIX signal of the same meaning: Ctrl-C and Ctrl-Break as SIGINT (2), a closed console
// as SIGHUP (1), logoff and shutdown as SIGTERM (15).
int signalOf(DWORD type) {
  switch (type) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT:
      return 2;
    case CTRL_CLOSE_EVENT:
      return 1;
    case CTRL_LOGOFF_EVENT:
    case CTRL_SHUTDOWN_EVENT:
      return 15;
    default:
      return 0;
  }
}

// Windows ends the process once the handler of a close, logoff or shutdown event returns, and
// gives it about 5 s; the handler holds it that long for the run to write what it has.
constexpr DWORD CloseGraceMs = 4500;

BOOL WINAPI onConsoleControl(DWORD type) {
  const int signal = signalOf(type);
  if (signal == 0) return FALSE;
  int none = 0;
  firstSignal().compare_exchange_strong(none, signal);
  ::SetEvent(interruptEvent());
  if (signal != 2) ::WaitForSingleObject(runEndedEvent(), CloseGraceMs);
  return TRUE;
}

// A job object that ends every worker when the fleet's last handle to it closes, which the
// system does however the fleet ends, killed included.
HANDLE killOnCloseJob() {
  const HANDLE job = ::CreateJobObjectW(nullptr, nullptr);
  if (job == nullptr) return nullptr;
  JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
  limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
  ::SetInformationJobObject(job, JobObjectExtendedLimitInformation, &limits, sizeof limits);
  return job;
}

struct Child {
  std::uint64_t id = 0;
  UniqueHandle process;
  std::thread reader;
  std::string received;
  std::chrono::steady_clock::time_point deadline;
};

class Win32Workers final : public WorkerPool<Child> {
 public:
  explicit Win32Workers(std::chrono::milliseconds deadline) : deadline_(deadline) {
    ::GetModuleFileNameW(nullptr, exePath_, MAX_PATH);
    interruptEvent();
    runEndedEvent();
    ::SetConsoleCtrlHandler(onConsoleControl, TRUE);
  }

  // Nothing outlives the run: workers still running are stopped.
  ~Win32Workers() override {
    for (Child& child : children_) stop(child);
    ::SetEvent(runEndedEvent());
    ::SetConsoleCtrlHandler(onConsoleControl, FALSE);
  }

  bool start(std::uint64_t id, const std::string& input) override {
    SECURITY_ATTRIBUTES inheritable{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    HANDLE inRead = nullptr, inWrite = nullptr, outRead = nullptr, outWrite = nullptr;
    if (!::CreatePipe(&inRead, &inWrite, &inheritable, 0)) return false;
    UniqueHandle childIn(inRead), jobIn(inWrite);
    if (!::CreatePipe(&outRead, &outWrite, &inheritable, 0)) return false;
    UniqueHandle answerOut(outRead), childOut(outWrite);
    UniqueHandle nul(::CreateFileW(L"NUL", GENERIC_WRITE, FILE_SHARE_WRITE, &inheritable,
                                   OPEN_EXISTING, 0, nullptr));
    // Only the child's ends may be inherited; workers are started one at a time, so no other
    // worker's pipe is inheritable while this one starts.
    ::SetHandleInformation(jobIn.get(), HANDLE_FLAG_INHERIT, 0);
    ::SetHandleInformation(answerOut.get(), HANDLE_FLAG_INHERIT, 0);

    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = childIn.get();
    startup.hStdOutput = childOut.get();
    startup.hStdError = nul.get();
    std::wstring commandLine = L"\"" + std::wstring(exePath_) + L"\" --cairnmark-worker";
    PROCESS_INFORMATION process{};
    // No console for the worker: Ctrl-C is meant for the fleet command, which lets running
    // checks finish, and a worker must not open a window.
    // Started suspended, so that the worker is in the job before it runs any of its check.
    if (!::CreateProcessW(exePath_, commandLine.data(), nullptr, nullptr, TRUE,
                          CREATE_NO_WINDOW | CREATE_NEW_PROCESS_GROUP | CREATE_SUSPENDED, nullptr,
                          nullptr, &startup, &process))
      return false;
    // Where the system refuses the job (a fleet inside a job that allows none nested, before
    // Windows 8), the worker still runs: the fleet's own end stops it, only a killed fleet does
    // not.
    if (job_) ::AssignProcessToJobObject(job_.get(), process.hProcess);
    ::ResumeThread(process.hThread);
    ::CloseHandle(process.hThread);
    childIn.reset();
    childOut.reset();
    writeAll(jobIn.get(), input);
    jobIn.reset();

    Child& child = children_.emplace_back();
    child.id = id;
    child.process.reset(process.hProcess);
    child.deadline = Clock::now() + deadline_;
    child.reader = std::thread(
        [&child, pipe = std::move(answerOut)] { child.received = readAll(pipe.get()); });
    return true;
  }

  bool interrupted() override {
    if (::WaitForSingleObject(interruptEvent(), 0) == WAIT_OBJECT_0) interrupted_ = true;
    return interrupted_;
  }

  int interruptSignal() const override { return interrupted_ ? firstSignal().load() : 0; }

 private:
  // Waits for a worker to end, the interrupt or a short while.
  bool waitForEvent() override {
    std::vector<HANDLE> handles;
    if (!interrupted_) handles.push_back(interruptEvent());
    for (const Child& child : children_) {
      if (handles.size() == MAXIMUM_WAIT_OBJECTS) break;
      handles.push_back(child.process.get());
    }
    ::WaitForMultipleObjects(static_cast<DWORD>(handles.size()), handles.data(), FALSE, 50);
    const bool before = interrupted_;
    return interrupted() && !before;
  }

  std::optional<WorkerResult> endOf(Child& child) override {
    if (::WaitForSingleObject(child.process.get(), 0) != WAIT_OBJECT_0) return std::nullopt;
    child.reader.join();
    DWORD code = 1;
    ::GetExitCodeProcess(child.process.get(), &code);
    WorkerResult result = resultOf(child, WorkerEnd::Finished);
    if (code != 0 || result.output.empty()) result.end = WorkerEnd::Crashed;
    return result;
  }

  void stop(Child& child) override {
    ::TerminateProcess(child.process.get(), 1);
    ::WaitForSingleObject(child.process.get(), INFINITE);
    if (child.reader.joinable()) child.reader.join();
  }

  std::chrono::milliseconds deadline_;
  UniqueHandle job_{killOnCloseJob()};
  wchar_t exePath_[MAX_PATH] = {};
  bool interrupted_ = false;
};

}  // namespace

std::unique_ptr<Workers> makeSystemWorkers(WorkerFunction, std::chrono::milliseconds deadline) {
  return std::make_unique<Win32Workers>(deadline);
}

bool serveAsWorker(int argc, char** argv, const WorkerFunction& work) {
  if (argc != 2 || std::string(argv[1]) != WorkerArgument) return false;
  const std::string job = readAll(::GetStdHandle(STD_INPUT_HANDLE));
  const HANDLE answer = ::GetStdHandle(STD_OUTPUT_HANDLE);
  // Each progress text goes into the pipe at once, so that the parent has it should this
  // process be stopped at its deadline.
  const WorkerProgress progress = [answer](const std::string& text) {
    writeAll(answer, text + '\n');
  };
  writeAll(answer, work(job, progress));
  return true;
}

bool standardOutputIsTerminal() {
  DWORD mode = 0;
  return ::GetConsoleMode(::GetStdHandle(STD_OUTPUT_HANDLE), &mode) != 0;
}

// Windows has no per-process limit of handles that a fleet's children come near.
std::string makeRoomForWorkers(std::size_t) {
  return {};
}

// A worker that cannot get memory or handles on Windows fails to start or crashes instead.
bool localResourcesShort() {
  return false;
}

}  // namespace cairn
