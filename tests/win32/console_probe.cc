// A stand-in process for the console tests: it runs the Win32 console backend the way a check
// run does and shows the parent what happened, through its standard output and exit code.
// The mode comes from the environment so that the command line stays the test's own:
//   CAIRN_PROBE_MODE=tail             writes "[" + the command tail + "]", exits 0
//   CAIRN_PROBE_MODE=write CODE HEX.. writes each HEX argument (bytes, or HEX*N for N copies)
//                                     as one write, sets a title between writes, exits CODE
//   CAIRN_PROBE_MODE=fault|throw|abort  writes "before\r\n", then crashes that way
//   CAIRN_PROBE_MODE=unguarded-fault  crashes without the console (no crash guard installed)
#include <cstdlib>
#include <stdexcept>
#include <string>

#include "front/command_line.h"
#include "platform/console.h"

namespace {

std::string bytesOf(const std::string& argument) {
  const auto star = argument.find('*');
  const std::string hex = argument.substr(0, star);
  const int copies = star == std::string::npos ? 1 : std::atoi(argument.c_str() + star + 1);
  std::string once;
  for (std::size_t i = 0; i + 1 < hex.size(); i += 2)
    once.push_back(static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16)));
  std::string bytes;
  for (int i = 0; i < copies; ++i) bytes += once;
  return bytes;
}

void fault() {
  volatile int* nowhere = nullptr;
  *nowhere = 1;
}

}  // namespace

int main(int argc, char** argv) {
  const char* modeText = std::getenv("CAIRN_PROBE_MODE");
  const std::string mode = modeText != nullptr ? modeText : "";
  if (mode == "unguarded-fault") fault();

  const auto console = cairn::makeSystemConsole(argc, argv);
  if (mode == "tail") {
    const std::string line = console->commandLine();
    console->writeOutput("[" + std::string(cairn::commandTailOf(line)) + "]");
    console->exitProcess(0);
  }
  if (mode == "write" && argc >= 2) {
    for (int i = 2; i < argc; ++i) {
      console->writeOutput(bytesOf(argv[i]));
      console->setTitle("probe: title between writes");
    }
    console->exitProcess(std::atoi(argv[1]));
  }
  console->writeOutput("before\r\n");
  if (mode == "fault") fault();
  if (mode == "throw") throw std::runtime_error("escaped");
  if (mode == "abort") std::abort();
  console->exitProcess(3);
}
