// Process and console services: the command line, the pause, standard output, the console
// title, the narrow/UTF-16 conversions and the end of the process.
#pragma once

#include <memory>
#include <string>
#include <string_view>

namespace cairn {

class Console {
 public:
  virtual ~Console() = default;

  // The whole command line as one narrow text, program name first (GetCommandLineA).
  virtual std::string commandLine() = 0;

  // Blocks for the given time (Sleep).
  virtual void pause(unsigned milliseconds) = 0;

  // Hands the bytes to standard output at once, unbuffered (WriteFile). A failed or short
  // write is ignored: the exit code alone must carry the outcome.
  virtual void writeOutput(std::string_view bytes) = 0;

  // Sets the console window title (SetConsoleTitleA). Where there is no window the title may
  // be dropped, but it never adds a byte to standard output. Failures are ignored. Callers pass
  // text without control bytes (the report printer strips them).
  virtual void setTitle(std::string_view text) = 0;

  // Narrow code page to NUL-free UTF-16 (MultiByteToWideChar, CP_ACP, MB_PRECOMPOSED).
  virtual std::u16string toWide(std::string_view narrow) = 0;

  // UTF-16 up to its first zero unit to the narrow code page (WideCharToMultiByte, CP_ACP).
  // A null pointer, or a conversion that yields nothing, gives the empty text.
  virtual std::string toNarrow(const char16_t* wide) = 0;

  // Ends the process with the code as its exit status (ExitProcess). Does not return.
  [[noreturn]] virtual void exitProcess(int code) = 0;
};

// The exit code of a process that crashed on Windows, set by the console's crash guard rather
// than left to a dialog or a debugger. Batch files test `if errorlevel 1`, so the code is
// positive and none of the tool's own codes.
inline constexpr unsigned CrashExitCode = 255;

// The console of the running process. argc/argv are used only where the platform hands the
// arguments over already split.
std::unique_ptr<Console> makeSystemConsole(int argc, char** argv);

}  // namespace cairn
