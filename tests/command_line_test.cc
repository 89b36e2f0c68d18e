// Splitting, upper-casing and reading the command line.
#include <gtest/gtest.h>

#include "front/command_line.h"
#include "core/report.h"
#include "tests/fakes/fake_platform.h"

namespace cairn {
namespace {

struct TailCase {
  std::string commandLine;
  std::string tail;
};

void PrintTo(const TailCase& c, std::ostream* os) {
  *os << testing::PrintToString(c.commandLine);
}

class CommandTailTest : public testing::TestWithParam<TailCase> {};

TEST_P(CommandTailTest, CutsTheProgramNameAndItsBlanks) {
  EXPECT_EQ(commandTailOf(GetParam().commandLine), GetParam().tail);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, CommandTailTest,
    testing::Values(TailCase{"\"C:\\Program Files\\cairnmark.exe\" /M pc01", "/M pc01"},
                    TailCase{"\"C:\\a b\\cm.exe\"/M pc01", "/M pc01"},
                    TailCase{"\"unclosed /M pc01", ""},
                    TailCase{"cairnmark.exe   /M pc01 /T d  ", "/M pc01 /T d  "},
                    TailCase{"cairnmark.exe\t/M", "\t/M"}, TailCase{"cairnmark.exe", ""},
                    TailCase{"", ""}, TailCase{"cm\xe9.exe /M", "/M"}));

struct SplitCase {
  std::string tail;
  std::vector<std::string> items;
};

void PrintTo(const SplitCase& c, std::ostream* os) {
  *os << testing::PrintToString(c.tail);
}

class SplitTest : public testing::TestWithParam<SplitCase> {};

TEST_P(SplitTest, SplitsIntoItems) {
  const auto& c = GetParam();
  const auto items = splitCommandItems(c.tail);
  EXPECT_EQ(std::vector<std::string>(items.begin(), items.end()), c.items);
  EXPECT_EQ(countCommandItems(c.tail), static_cast<int>(c.items.size()));
}

INSTANTIATE_TEST_SUITE_P(
    Tails, SplitTest,
    testing::Values(SplitCase{"", {}}, SplitCase{"/M pc01 /T dom", {"/M", "pc01", "/T", "dom"}},
                    SplitCase{"/M/T", {"/M", "/T"}}, SplitCase{"pc/x", {"pc", "/x"}},
                    SplitCase{"//M", {"/", "/M"}}, SplitCase{"/M    pc01   ", {"/M", "pc01"}},
                    SplitCase{"/M \"pc 01\" x", {"/M", "\"pc 01\"", "x"}},
                    SplitCase{"ab\"cd ef\"gh", {"ab", "\"cd ef\"", "gh"}},
                    SplitCase{"\"open ended", {"\"open ended"}},
                    SplitCase{"/S\t/P", {"/S\t", "/P"}}, SplitCase{"-m-t", {"-m-t"}},
                    SplitCase{"/M PC01/T DOM", {"/M", "PC01", "/T", "DOM"}},
                    SplitCase{"\"\"", {"\"\""}}));

TEST(CommandItemTest, UpperCasesAndStaysInRange) {
  const std::string tail = "/m pc\x84\x94\x81\x82\xa4\x86\x87 /t dom";
  EXPECT_EQ(commandItem(tail, 1), "/M");
  EXPECT_EQ(commandItem(tail, 2), "PC\x8e\x99\x9a\x90\xa5\x8f\x80");
  EXPECT_EQ(commandItem(tail, 4), "DOM");
  EXPECT_EQ(commandItem(tail, 0), "");
  EXPECT_EQ(commandItem(tail, 5), "");
  EXPECT_EQ(commandItem(tail, -1), "");
}

struct ReadCase {
  std::string tail;
  CommandLineOutcome outcome;
  std::string hostText;
  std::string targetDomain;
  std::string flags;  // letters of the flags that are on: S I P V, and Q for display off
};

void PrintTo(const ReadCase& c, std::ostream* os) {
  *os << testing::PrintToString(c.tail);
}

class ReadCommandLineTest : public testing::TestWithParam<ReadCase> {};

TEST_P(ReadCommandLineTest, FillsTheOptions) {
  const auto& c = GetParam();
  fakes::FakePlatform fake;
  ReportPrinter printer(fake.console);
  displayEnabled = true;
  RunOptions options;
  EXPECT_EQ(readCommandLine(c.tail, options, printer, fake.console), c.outcome) << c.tail;
  if (c.outcome == CommandLineOutcome::UsageShown) return;
  EXPECT_EQ(options.hostText, c.hostText);
  EXPECT_EQ(options.targetDomain, c.targetDomain);
  std::string flags;
  if (options.setDefaultDomain) flags += 'S';
  if (options.ignoreNameMismatch) flags += 'I';
  if (options.pingRequested) flags += 'P';
  if (options.verbose) flags += 'V';
  if (!displayEnabled) flags += 'Q';
  EXPECT_EQ(flags, c.flags);
  displayEnabled = true;
}

using O = CommandLineOutcome;
INSTANTIATE_TEST_SUITE_P(
    Lines, ReadCommandLineTest,
    testing::Values(
        ReadCase{"/m pc01 /t dom", O::Proceed, "PC01", "DOM", ""},
        ReadCase{"-M pc01 -T dom -S -I -P -V", O::Proceed, "PC01", "DOM", "SIPV"},
        ReadCase{"/MACHINE pc01 /TARGET dom /SET /QUIET", O::Proceed, "PC01", "DOM", "SQ"},
        ReadCase{"/M \\\\pc01 /T dom.", O::Proceed, "PC01", "DOM", ""},
        ReadCase{"/M \"pc01\" /T \".dom\\\"", O::Proceed, "PC01", "DOM", ""},
        ReadCase{"/T corp.example.com /M 10.0.0.1", O::Proceed, "10.0.0.1", "CORP.EXAMPLE.COM", ""},
        ReadCase{"/M a /T b /M pc01 /T dom", O::Proceed, "PC01", "DOM", ""},
        ReadCase{"/M PC01/T DOM", O::Proceed, "PC01", "DOM", ""},
        ReadCase{"/M PC01 /T DOM /S /P /I /V /S", O::Proceed, "PC01", "DOM", "SIPV"},
        ReadCase{"/Q /M PC01 /T DOM", O::Proceed, "PC01", "DOM", "Q"},
        ReadCase{"/M PC01 /T DOM /V /Q", O::SwitchConflict, "PC01", "DOM", "VQ"},
        ReadCase{"/M PC01 /T DOM /S /P /I /V /S /S", O::UsageShown, "", "", ""},
        ReadCase{"/M PC01 /T", O::UsageShown, "", "", ""},
        ReadCase{"/M PC01 /T DOM /H", O::UsageShown, "", "", ""},
        ReadCase{"/M PC01 /T DOM -h", O::UsageShown, "", "", ""},
        ReadCase{"/M /T DOM /S", O::UsageShown, "", "", ""},
        ReadCase{"/M PC01 /S /T", O::UsageShown, "", "", ""},
        ReadCase{"/M a,b /T DOM", O::UsageShown, "", "", ""},
        ReadCase{"/M \"pc 01\" /T DOM", O::UsageShown, "", "", ""},
        ReadCase{"/M \".\\.\" /T DOM", O::UsageShown, "", "", ""},
        ReadCase{"/X /M PC01 /T DOM", O::UsageShown, "", "", ""}));

}  // namespace
}  // namespace cairn
