#include "platform/win32/crash_guard.h"

#include <windows.h>

#include <csignal>
#include <cstdlib>
#include <exception>

namespace cairn {
namespace {

LONG WINAPI endCrashedProcess(EXCEPTION_POINTERS*) {
  // TerminateProcess, not ExitProcess: after a fault the process's own state (heap, loader
  // lock, static destructors) cannot be trusted to run down cleanly.
  ::TerminateProcess(::GetCurrentProcess(), CrashExitCode);
  return EXCEPTION_EXECUTE_HANDLER;
}

[[noreturn]] void endTerminatedProcess() {
  ::TerminateProcess(::GetCurrentProcess(), CrashExitCode);
  std::_Exit(static_cast<int>(CrashExitCode));
}

void endAbortedProcess(int) {
  endTerminatedProcess();
}

}  // namespace

void installCrashGuard() {
  ::SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
  ::SetUnhandledExceptionFilter(endCrashedProcess);
  // An escaped C++ exception reaches std::terminate, whose default abort() would print to
  // standard error and may ask the user about debugging.
  std::set_terminate(endTerminatedProcess);
  std::signal(SIGABRT, endAbortedProcess);
}

}  // namespace cairn
