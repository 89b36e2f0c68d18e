// Process and console services on Windows: KERNEL32 itself. The standard output handle is
// fetched once, when the console is made, and every write goes straight to it (no C runtime
// buffering), so bytes reach the reader in the order the run wrote them even if it then crashes.
#include <windows.h>

#include "platform/console.h"
#include "platform/win32/crash_guard.h"

namespace cairn {
namespace {

class Win32Console final : public Console {
 public:
  explicit Win32Console(HANDLE output) : output_(output) {}

  std::string commandLine() override {
    const char* line = ::GetCommandLineA();
    return line != nullptr ? std::string(line) : std::string{};
  }

  void pause(unsigned milliseconds) override { ::Sleep(milliseconds); }

  void writeOutput(std::string_view bytes) override {
    if (output_ == nullptr || output_ == INVALID_HANDLE_VALUE) return;
    // WriteFile takes a DWORD count and may write less than asked (pipes); a failed or empty
    // write ends the attempt, because a lost line must not change the run.
    while (!bytes.empty()) {
      const DWORD chunk = bytes.size() > 0x10000 ? 0x10000 : static_cast<DWORD>(bytes.size());
      DWORD written = 0;
      if (!::WriteFile(output_, bytes.data(), chunk, &written, nullptr) || written == 0) return;
      bytes.remove_prefix(written);
    }
  }

  void setTitle(std::string_view text) override {
    const std::string title(text);  // SetConsoleTitleA needs a NUL-terminated copy
    ::SetConsoleTitleA(title.c_str());
  }

  std::u16string toWide(std::string_view narrow) override {
    // The copy is NUL-terminated text: it ends where the narrow text's first NUL would end it.
    narrow = narrow.substr(0, narrow.find('\0'));
    if (narrow.empty()) return {};
    const int length = static_cast<int>(narrow.size());
    const int units =
        ::MultiByteToWideChar(CP_ACP, MB_PRECOMPOSED, narrow.data(), length, nullptr, 0);
    if (units <= 0) return {};
    std::u16string wide(static_cast<std::size_t>(units), u'\0');
    const int converted = ::MultiByteToWideChar(CP_ACP, MB_PRECOMPOSED, narrow.data(), length,
                                                reinterpret_cast<wchar_t*>(wide.data()), units);
    wide.resize(converted > 0 ? static_cast<std::size_t>(converted) : 0);
    return wide;
  }

  std::string toNarrow(const char16_t* wide) override {
    if (wide == nullptr) return {};
    const auto* text = reinterpret_cast<const wchar_t*>(wide);
    // With the length -1 the count includes the terminating NUL, which is dropped below.
    const int bytes = ::WideCharToMultiByte(CP_ACP, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (bytes <= 1) return {};
    std::string narrow(static_cast<std::size_t>(bytes), '\0');
    const int converted =
        ::WideCharToMultiByte(CP_ACP, 0, text, -1, narrow.data(), bytes, nullptr, nullptr);
    if (converted <= 1) return {};
    narrow.resize(static_cast<std::size_t>(converted - 1));
    return narrow;
  }

  [[noreturn]] void exitProcess(int code) override { ::ExitProcess(static_cast<UINT>(code)); }

 private:
  HANDLE output_;
};

}  // namespace

std::unique_ptr<Console> makeSystemConsole(int, char**) {
  // The console is the first service a run makes: from here on a crash ends the process with
  // an exit code instead of a dialog or a debugger.
  installCrashGuard();
  return std::make_unique<Win32Console>(::GetStdHandle(STD_OUTPUT_HANDLE));
}

}  // namespace cairn
