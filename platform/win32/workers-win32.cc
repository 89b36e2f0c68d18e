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

// Ctrl-C and Ctrl-Break arrive on a thread of the system's with no context of ours, so the event
// that carries them is the one process-wide object this backend keeps.
HANDLE interruptEvent() {
  static const HANDLE event = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
  return event;
}

BOOL WINAPI onConsoleControl(DWORD type) {
  if (type != CTRL_C_EVENT && type != CTRL_BREAK_EVENT) return FALSE;
  ::SetEvent(interruptEvent());
  return TRUE;
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
    ::SetConsoleCtrlHandler(onConsoleControl, TRUE);
  }

  // Nothing outlives the run: workers still running are stopped.
  ~Win32Workers() override {
    for (Child& child : children_) stop(child);
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
    if (!::CreateProcessW(exePath_, commandLine.data(), nullptr, nullptr, TRUE,
                          CREATE_NO_WINDOW | CREATE_NEW_PROCESS_GROUP, nullptr, nullptr, &startup,
                          &process))
      return false;
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
    const bool whole = code == 0 && !child.received.empty();
    return WorkerResult{child.id, whole ? WorkerEnd::Finished : WorkerEnd::Crashed,
                        std::move(child.received)};
  }

  void stop(Child& child) override {
    ::TerminateProcess(child.process.get(), 1);
    ::WaitForSingleObject(child.process.get(), INFINITE);
    if (child.reader.joinable()) child.reader.join();
  }

  std::chrono::milliseconds deadline_;
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
  writeAll(::GetStdHandle(STD_OUTPUT_HANDLE), work(job));
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
