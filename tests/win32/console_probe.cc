// A stand-in process for the console tests: it drives the Win32 console backend as a check run
// does, and its standard output and exit code show the parent what happened. Its argument says
// what to do: "write" writes every byte value over and over in one write larger than a pipe
// holds, sets a title and writes a last line, then exits with 99; "fault", "throw" and "abort"
// write a line and then crash that way.
#include <cstdlib>
#include <stdexcept>
#include <string>

#include "platform/console.h"

int main(int argc, char** argv) {
  const auto console = cairn::makeSystemConsole(argc, argv);
  const std::string mode = argc > 1 ? argv[1] : "";
  if (mode == "write") {
    std::string bytes;
    for (int i = 0; i < 100000; ++i) bytes.push_back(static_cast<char>(i));
    console->writeOutput(bytes);
    console->setTitle("probe: a title between writes");
    console->writeOutput("end\r\n");
    console->exitProcess(99);
  }
  console->writeOutput("before\r\n");
  if (mode == "fault") {
    volatile int* nowhere = nullptr;
    *nowhere = 1;
  }
  if (mode == "throw") throw std::runtime_error("escaped");
  std::abort();
}
