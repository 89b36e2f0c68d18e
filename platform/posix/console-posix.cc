// Process and console services on a POSIX system: the arguments arrive already split, the
// narrow code page is UTF-8, and the title goes to the controlling terminal only.
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <ctime>
#include <vector>

#include "platform/console.h"
#include "platform/common/utf.h"

namespace cairn {
namespace {

// Quotes an argument the way a Windows command line carries it, so that the tail splits the
// same on both systems: an argument with a blank or TAB (or none at all) is wrapped in quotes.
std::string commandLineArgument(const std::string& argument) {
  if (argument.empty() || argument.find_first_of(" \t") != std::string::npos)
    return '"' + argument + '"';
  return argument;
}

void writeAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t written = ::write(fd, bytes.data(), bytes.size());
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return;  // a lost line must not change the run
    bytes.remove_prefix(static_cast<std::size_t>(written));
  }
}

class PosixConsole final : public Console {
 public:
  explicit PosixConsole(std::vector<std::string> arguments) : arguments_(std::move(arguments)) {}

  std::string commandLine() override {
    std::string line = '"' + (arguments_.empty() ? std::string("cairnmark") : arguments_[0]) + '"';
    for (std::size_t i = 1; i < arguments_.size(); ++i)
      line += ' ' + commandLineArgument(arguments_[i]);
    return line;
  }

  void pause(unsigned milliseconds) override {
    timespec remaining{static_cast<time_t>(milliseconds / 1000),
                       static_cast<long>(milliseconds % 1000) * 1000000L};
    while (::nanosleep(&remaining, &remaining) != 0 && errno == EINTR) {
    }
  }

  void writeOutput(std::string_view bytes) override { writeAll(STDOUT_FILENO, bytes); }

  void setTitle(std::string_view text) override {
    const int tty = ::open("/dev/tty", O_WRONLY | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
    if (tty < 0) return;
    // The report printer already leaves control bytes out of every title, so the text cannot end
    // the sequence early or smuggle in another one.
    std::string sequence = "\x1b]0;";
    sequence.append(text);
    sequence += '\a';
    writeAll(tty, sequence);
    ::close(tty);
  }

  std::u16string toWide(std::string_view narrow) override { return utf8ToUtf16(narrow); }

  std::string toNarrow(const char16_t* wide) override {
    return wide == nullptr ? std::string{} : utf16ToUtf8(wide);
  }

  [[noreturn]] void exitProcess(int code) override { std::exit(code); }

 private:
  std::vector<std::string> arguments_;
};

}  // namespace

std::unique_ptr<Console> makeSystemConsole(int argc, char** argv) {
  // A reader that goes away (a closed pipe) must cost lines, never the exit code.
  ::signal(SIGPIPE, SIG_IGN);
  return std::make_unique<PosixConsole>(std::vector<std::string>(argv, argv + argc));
}

}  // namespace cairn
