// The Win32 console backend in real processes: the command line a process was started with,
// the bytes and exit code it leaves behind, and what a crash leaves behind.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct ProcessRun {
  std::string output;
  DWORD exitCode = 0;
};

std::string directoryOfThisTest() {
  char path[MAX_PATH] = {};
  const DWORD length = ::GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string directory(path, length);
  return directory.substr(0, directory.find_last_of('\\') + 1);
}

const std::string ProbePath = directoryOfThisTest() + "console_probe.exe";

// Where the probe's standard output goes: to the test, nowhere (no handle), or into a pipe
// whose reader has gone.
enum class Output { Collected, NoHandle, ReaderGone };

// Starts the probe with exactly this command line and the mode in its environment, and
// collects its standard output until it ends.
ProcessRun runProbe(const std::string& mode, std::string commandLine,
                    const std::string& program = ProbePath, Output output = Output::Collected) {
  ::SetEnvironmentVariableA("CAIRN_PROBE_MODE", mode.c_str());
  SECURITY_ATTRIBUTES inheritable{sizeof inheritable, nullptr, TRUE};
  HANDLE readEnd = nullptr;
  HANDLE writeEnd = nullptr;
  EXPECT_TRUE(::CreatePipe(&readEnd, &writeEnd, &inheritable, 0));
  ::SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);

  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = nullptr;
  // Anything on standard error would show up as a wrong byte.
  startup.hStdOutput = startup.hStdError = output == Output::NoHandle ? nullptr : writeEnd;
  if (output == Output::ReaderGone) {
    ::CloseHandle(readEnd);
    readEnd = nullptr;
  }
  PROCESS_INFORMATION process{};
  const BOOL started = ::CreateProcessA(program.c_str(), commandLine.data(), nullptr, nullptr, TRUE,
                                        0, nullptr, nullptr, &startup, &process);
  ::CloseHandle(writeEnd);
  ::SetEnvironmentVariableA("CAIRN_PROBE_MODE", nullptr);
  ProcessRun run;
  if (!started) {
    ADD_FAILURE() << "CreateProcessA failed: " << ::GetLastError();
    if (readEnd != nullptr) ::CloseHandle(readEnd);
    return run;
  }
  if (readEnd != nullptr) {
    char buffer[4096];
    DWORD received = 0;
    while (::ReadFile(readEnd, buffer, sizeof buffer, &received, nullptr) && received > 0)
      run.output.append(buffer, received);
    ::CloseHandle(readEnd);
  }
  EXPECT_EQ(::WaitForSingleObject(process.hProcess, 30000), WAIT_OBJECT_0);
  ::GetExitCodeProcess(process.hProcess, &run.exitCode);
  ::CloseHandle(process.hThread);
  ::CloseHandle(process.hProcess);
  return run;
}

struct TailCase {
  const char* name;
  std::string commandLine;  // "<probe>" stands for the program path
  std::string tail;
};

void PrintTo(const TailCase& c, std::ostream* os) {
  *os << c.name;
}

std::string withProgram(std::string line, const std::string& program) {
  const auto at = line.find("<probe>");
  if (at != std::string::npos) line.replace(at, 7, program);
  return line;
}

class CommandTailTest : public testing::TestWithParam<TailCase> {
 protected:
  // A copy of the probe under a directory and name with blanks, as under "Program Files".
  static void SetUpTestSuite() {
    char temp[MAX_PATH] = {};
    ::GetTempPathA(MAX_PATH, temp);
    spacedDirectory_ = std::string(temp) + "cairn probe " + std::to_string(::GetCurrentProcessId());
    ::CreateDirectoryA(spacedDirectory_.c_str(), nullptr);
    spacedProbe_ = spacedDirectory_ + "\\console probe.exe";
    ASSERT_TRUE(::CopyFileA(ProbePath.c_str(), spacedProbe_.c_str(), FALSE));
  }
  static void TearDownTestSuite() {
    ::DeleteFileA(spacedProbe_.c_str());
    ::RemoveDirectoryA(spacedDirectory_.c_str());
  }
  static std::string spacedDirectory_;
  static std::string spacedProbe_;
};
std::string CommandTailTest::spacedDirectory_;
std::string CommandTailTest::spacedProbe_;

TEST_P(CommandTailTest, TailOfTheLineTheProcessWasStartedWith) {
  const TailCase& c = GetParam();
  const ProcessRun run = runProbe("tail", withProgram(c.commandLine, spacedProbe_), spacedProbe_);
  EXPECT_EQ(run.output, "[" + c.tail + "]");
  EXPECT_EQ(run.exitCode, 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, CommandTailTest,
    testing::Values(TailCase{"QuotedPathWithBlanks", "\"<probe>\" /M pc01 /T newdom /P",
                             "/M pc01 /T newdom /P"},
                    TailCase{"BlanksAfterProgram", "\"<probe>\"    /M pc01  /T d  ",
                             "/M pc01  /T d  "},
                    TailCase{"NoBlankAfterQuote", "\"<probe>\"/M pc01 /T d", "/M pc01 /T d"},
                    TailCase{"RequotedArguments", "\"<probe>\" /M \"pc 01\" /T \"a\\\"b\" \"\"",
                             "/M \"pc 01\" /T \"a\\\"b\" \"\""},
                    TailCase{"BareProgramName", "probe.exe /M pc01 /T d", "/M pc01 /T d"},
                    TailCase{"NoArguments", "\"<probe>\"", ""},
                    TailCase{"CodePageBytes", "\"<probe>\" /M pc\xe9 /T d", "/M pc\xe9 /T d"}),
    [](const testing::TestParamInfo<TailCase>& info) { return info.param.name; });

std::string hexOf(const std::string& bytes) {
  static const char Digits[] = "0123456789abcdef";
  std::string hex;
  for (unsigned char byte : bytes) {
    hex.push_back(Digits[byte >> 4]);
    hex.push_back(Digits[byte & 15]);
  }
  return hex;
}

struct OutputCase {
  const char* name;
  std::vector<std::string> writes;
  int repeat;  // every write is sent this many times over
  DWORD exitCode;
};

void PrintTo(const OutputCase& c, std::ostream* os) {
  *os << c.name;
}

class OutputTest : public testing::TestWithParam<OutputCase> {};

TEST_P(OutputTest, BytesArriveUnchangedAndTheCodeBecomesTheExitStatus) {
  const OutputCase& c = GetParam();
  std::string commandLine = "\"" + ProbePath + "\" " + std::to_string(c.exitCode);
  std::string expected;
  for (const std::string& bytes : c.writes) {
    commandLine += " " + hexOf(bytes) + "*" + std::to_string(c.repeat);
    for (int i = 0; i < c.repeat; ++i) expected += bytes;
  }
  const ProcessRun run = runProbe("write", commandLine);
  EXPECT_EQ(run.output, expected);
  EXPECT_EQ(run.exitCode, c.exitCode);
}

INSTANTIATE_TEST_SUITE_P(
    Writes, OutputTest,
    testing::Values(OutputCase{"Nothing", {}, 1, 0},
                    OutputCase{"CrLfLines", {" + Resolved hostname to: 10.1.2.3", "\r\n"}, 1, 1},
                    OutputCase{"BellBeforeItem", {"\r\n", "\a/X was unexpected.", "\r\n"}, 1, 9},
                    OutputCase{"LoneLfAndCr", {"a\nb\rc", "\r\n"}, 1, 2},
                    OutputCase{"NulAndHighBytes", {std::string("\0\x1b\x7f\x80\xe9\xff", 6)}, 1, 4},
                    OutputCase{"LargerThanAPipeBuffer", {"0123456789abcdef"}, 20000, 8},
                    OutputCase{"Code16", {"x"}, 1, 16}, OutputCase{"Code32", {"x"}, 1, 32},
                    OutputCase{"Code64", {"x"}, 1, 64}, OutputCase{"Code99", {"x"}, 1, 99}),
    [](const testing::TestParamInfo<OutputCase>& info) { return info.param.name; });

struct LostOutputCase {
  const char* name;
  Output output;
};

void PrintTo(const LostOutputCase& c, std::ostream* os) {
  *os << c.name;
}

class LostOutputTest : public testing::TestWithParam<LostOutputCase> {};

// Output that cannot be delivered costs the lines, never the run's exit code or its end.
TEST_P(LostOutputTest, ExitCodeSurvivesUndeliveredOutput) {
  const std::string commandLine =
      "\"" + ProbePath + "\" 64 " + hexOf(" + Resolved hostname to: 10.1.2.3\r\n") + "*5000";
  const ProcessRun run = runProbe("write", commandLine, ProbePath, GetParam().output);
  EXPECT_EQ(run.output, "");
  EXPECT_EQ(run.exitCode, 64u);
}

INSTANTIATE_TEST_SUITE_P(Fates, LostOutputTest,
                         testing::Values(LostOutputCase{"NoHandle", Output::NoHandle},
                                         LostOutputCase{"ReaderGone", Output::ReaderGone}),
                         [](const testing::TestParamInfo<LostOutputCase>& info) {
                           return info.param.name;
                         });

struct CrashCase {
  const char* mode;
};

void PrintTo(const CrashCase& c, std::ostream* os) {
  *os << c.mode;
}

class CrashTest : public testing::TestWithParam<CrashCase> {};

// A crash must end the run with a positive code of its own, without a dialog or a debugger
// report, and keep every byte written before it.
TEST_P(CrashTest, EndsWithTheCrashCodeAndNothingElse) {
  const ProcessRun run = runProbe(GetParam().mode, "\"" + ProbePath + "\"");
  EXPECT_EQ(run.output, "before\r\n");
  EXPECT_EQ(run.exitCode, 255u);
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, CrashTest, testing::Values(CrashCase{"fault"}, CrashCase{"throw"}, CrashCase{"abort"}),
    [](const testing::TestParamInfo<CrashCase>& info) { return std::string(info.param.mode); });

}  // namespace
