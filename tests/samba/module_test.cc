// The binary with and without its Samba module, against PCs that cannot be asked: nothing
// listens at pc01 (127.0.0.2) in the private network, and a firewall rule can make it drop
// every packet. Every such run ends with exit code 2 within the bound, and standard error stays
// empty whatever Samba's libraries would like to say.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <ostream>
#include <string>

#include "tests/e2e/process.h"

namespace cairn::e2e {
namespace {

namespace fs = std::filesystem;
using std::chrono::milliseconds;

const std::string NoAccessReport =
    " + Resolved hostname to: 127.0.0.2\r\n"
    " - Can not access. NetWkstaGetInfo called failed.\r\n";

std::string binary() {
  const char* path = std::getenv("CAIRNMARK_BINARY");
  return path != nullptr ? path : "cairnmark";
}

// A copy of the binary in a directory of its own, where no module sits next to it.
class LoneBinary {
 public:
  LoneBinary() {
    char pattern[] = "/tmp/cairnmark-lone-XXXXXX";
    directory_ = ::mkdtemp(pattern);
    fs::copy_file(binary(), path());
  }
  ~LoneBinary() { fs::remove_all(directory_); }
  std::string path() const { return directory_ + "/cairnmark"; }

 private:
  std::string directory_;
};

struct RefusedCase {
  const char* name;
  bool withModule;
  std::vector<std::string> arguments;
  std::string output;
};

void PrintTo(const RefusedCase& c, std::ostream* os) {
  *os << c.name;
}

class UnreachablePcTest : public testing::TestWithParam<RefusedCase> {};

TEST_P(UnreachablePcTest, EndsWithExitCodeTwoAndSilentStandardError) {
  const RefusedCase& c = GetParam();
  LoneBinary lone;
  const ProcessResult result = runProcess(c.withModule ? binary() : lone.path(), c.arguments);
  EXPECT_EQ(result.exitCode, 2);
  EXPECT_EQ(result.standardOutput, c.output);
  EXPECT_EQ(result.standardError, "");
  EXPECT_LE(result.elapsed, milliseconds(5000));
}

INSTANTIATE_TEST_SUITE_P(
    Runs, UnreachablePcTest,
    testing::Values(
        RefusedCase{"ModuleMissing", false, {"/M", "pc01", "/T", "newdom"}, NoAccessReport},
        RefusedCase{"ModuleMissingQuiet", false, {"/M", "pc01", "/T", "newdom", "/Q"}, ""},
        RefusedCase{"ConnectionRefused", true, {"/M", "pc01", "/T", "newdom"}, NoAccessReport},
        RefusedCase{"ConnectionRefusedQuiet", true, {"/M", "pc01", "/T", "newdom", "/Q"}, ""}),
    [](const auto& info) { return info.param.name; });

// Samba's own connect time-out is 60 s; the backend's 2 s TCP connect deadline ends the run after
// about 4 s: two workstation attempts of one bounded TCP connect each.
TEST(DroppingPcTest, RunEndsWithinTheBound) {
  ASSERT_EQ(std::system("nft add rule inet cairnmark_e2e input ip daddr 127.0.0.2 drop"), 0);
  const ProcessResult result = runProcess(binary(), {"/M", "pc01", "/T", "newdom"});
  EXPECT_EQ(result.exitCode, 2);
  EXPECT_EQ(result.standardOutput, NoAccessReport);
  EXPECT_EQ(result.standardError, "");
  EXPECT_LE(result.elapsed, milliseconds(6000));
  // Both attempts really waited: a run that gave up at once would not show the bound works.
  EXPECT_GE(result.elapsed, milliseconds(3900));
}

}  // namespace
}  // namespace cairn::e2e
