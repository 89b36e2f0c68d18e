// The Samba transport in a private network (private_net.sh) against PCs the test makes: each
// gives its own status within its bound, whether the layout check passed (a connect waits on the
// request's state) or found another layout (forced by expecting a state no failed request has);
// the binary with and without its module, and the fleet command's record of a cause.
#include "platform/samba/session.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <poll.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <ostream>
#include <thread>
#include <tuple>

#include "platform/common/unique_fd.h"
#include "tests/e2e/process.h"

namespace cairn {
namespace {

using std::chrono::milliseconds;

enum class Pc { Absent, Dropping, Silent, Closing };

// A TCP server at 127.0.0.1:445 that completes every handshake and then says nothing, or closes
// each connection at once.
class TcpServer {
 public:
  explicit TcpServer(bool closes) : listener_(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)) {
    sockaddr_in address{AF_INET, htons(445), {htonl(INADDR_LOOPBACK)}, {}};
    EXPECT_EQ(::bind(listener_.get(), reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    EXPECT_EQ(::listen(listener_.get(), 8), 0);
    if (closes)
      closer_ = std::jthread([this](std::stop_token stop) {
        for (pollfd waiting{listener_.get(), POLLIN, 0}; !stop.stop_requested();)
          if (::poll(&waiting, 1, 20) > 0) UniqueFd(::accept(listener_.get(), nullptr, nullptr));
      });
  }

 private:
  UniqueFd listener_;
  std::jthread closer_;  // stopped and joined before the listener closes
};

struct ConnectCase {
  const char* name;
  int failedState;
  Pc pc;
  std::uint32_t status;
  unsigned atLeastMs;
  unsigned atMostMs;
};

void PrintTo(const ConnectCase& c, std::ostream* os) {
  *os << c.name;
}

constexpr unsigned ConnectMs = 2000;
constexpr unsigned SetupMs = 400;
constexpr int OtherLayout = 99;

class SessionConnectTest : public testing::TestWithParam<ConnectCase> {};

TEST_P(SessionConnectTest, GivesTheCauseWithinTheBound) {
  const ConnectCase& c = GetParam();
  const char* drop = "nft add rule inet cairnmark_e2e input ip daddr 127.0.0.2 drop";
  ASSERT_EQ(c.pc == Pc::Dropping ? std::system(drop) : 0, 0);
  std::unique_ptr<TcpServer> server;
  if (c.pc >= Pc::Silent) server = std::make_unique<TcpServer>(c.pc == Pc::Closing);
  const std::unique_ptr<CairnSession, decltype(&cairnSessionDestroy)> session(
      cairnSessionCreate(c.failedState), cairnSessionDestroy);
  ASSERT_NE(session, nullptr);
  EXPECT_EQ(cairnSessionReadsCompositeState(session.get()),
            c.failedState == CairnCompositeStateError);
  const char* host = c.pc >= Pc::Silent ? "127.0.0.1" : "127.0.0.2";
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(cairnSessionOpenPipe(session.get(), host, CairnPipeWkssvc, ConnectMs, SetupMs),
            c.status);
  const auto elapsed = std::chrono::steady_clock::now() - start;
  // Timers round to whole milliseconds, so a deadline may end a hair before its mark.
  EXPECT_GE(elapsed + milliseconds(5), milliseconds(c.atLeastMs));
  EXPECT_LE(elapsed, milliseconds(c.atMostMs));
}

constexpr int Checked = CairnCompositeStateError;
constexpr unsigned Slack = 1500;  // a busy machine's scheduling, well below any other bound

// Samba alone would wait 60 s for a dropping or a silent PC.
INSTANTIATE_TEST_SUITE_P(
    Pcs, SessionConnectTest,
    testing::Values(
        ConnectCase{"dropping", Checked, Pc::Dropping, 53, ConnectMs, ConnectMs + Slack},
        ConnectCase{"silentAfterConnect", Checked, Pc::Silent, 53, SetupMs, SetupMs + Slack},
        ConnectCase{"refused", OtherLayout, Pc::Absent, 1225, 0, Slack},
        ConnectCase{"otherLayoutClosedAfterConnect", OtherLayout, Pc::Closing, 53, 0, Slack}),
    [](const auto& info) { return info.param.name; });

// The binary finds its module beside itself: a check of a PC that completes the TCP handshake
// and then says nothing (localhost, 127.0.0.1) waits out the session's set-up bound, twice (the
// query and its retry). Without the module the same check ends as soon as the connect has been
// made, which comes before the module is loaded. Standard error stays empty either way.
TEST(SambaModuleTest, FoundBesideTheBinaryElseFailsAtOnce) {
  constexpr unsigned BinarySetupMs = 5000;  // the programs' own set-up bound
  TcpServer silent(false);
  char pattern[] = "/tmp/cairnmark-lone-XXXXXX";
  const std::filesystem::path directory = ::mkdtemp(pattern);
  const std::filesystem::path withModule = std::getenv("CAIRNMARK_BINARY");
  std::filesystem::copy_file(withModule, directory / "cairnmark");
  for (const auto& [binary, atLeastMs, atMostMs] :
       {std::tuple{withModule, 2 * BinarySetupMs, 2 * BinarySetupMs + Slack},
        std::tuple{directory / "cairnmark", 0u, Slack}}) {
    const e2e::ProcessResult result = e2e::runProcess(binary, {"/M", "localhost", "/T", "newdom"});
    EXPECT_EQ(result.exitCode, 2) << binary;
    EXPECT_EQ(result.standardOutput,
              " + Resolved hostname to: 127.0.0.1\r\n"
              " - Can not access. NetWkstaGetInfo called failed.\r\n");
    EXPECT_EQ(result.standardError, "");
    EXPECT_GE(result.elapsed, milliseconds(atLeastMs)) << binary;
    EXPECT_LE(result.elapsed, milliseconds(atMostMs)) << binary;
  }
  std::filesystem::remove_all(directory);
}

// The fleet command, built beside the single check, records the transport's own cause: pc01
// (127.0.0.2) refuses the connection.
TEST(SambaModuleTest, FleetRecordsTheTransportsCause) {
  char pattern[] = "/tmp/cairnmark-fleet-XXXXXX";
  const std::filesystem::path records = std::filesystem::path(::mkdtemp(pattern)) / "r.jsonl";
  const e2e::ProcessResult result = e2e::runProcess(
      std::filesystem::path(std::getenv("CAIRNMARK_BINARY")).replace_filename("cairnmark-fleet"),
      {"--domain", "newdom", "--pc", "pc01", "--jsonl", records.string(), "--quiet"});
  std::ifstream in(records);
  const std::string record((std::istreambuf_iterator<char>(in)), {});
  std::filesystem::remove_all(records.parent_path());
  EXPECT_EQ(result.exitCode, 1) << result.standardError;
  EXPECT_NE(
      record.find("\"reason\":\"connection-refused\",\"step\":\"NetWkstaGetInfo\",\"status\":1225"),
      std::string::npos)
      << record;
}

}  // namespace
}  // namespace cairn
