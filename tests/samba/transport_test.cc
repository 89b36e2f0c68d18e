// The Samba transport in a private network (private_net.sh) against PCs the test makes: each
// gives its own status within its bound, whether the layout check passed (a connect waits on the
// request's state) or found another layout (forced by expecting a state no failed request has);
// the binary with and without its module, the fleet command's record of a cause, and a session's
// life against a real smbd.
#include "platform/samba/session.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <ostream>
#include <string>
#include <thread>
#include <tuple>

#include "platform/common/unique_fd.h"
#include "platform/samba/rpc_calls.h"
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

// A standalone smbd of the test's own (tests/samba/smbd_pc.sh) at 127.0.0.1, stopped by its PID.
// Its state lives on the private network's scratch file system, which goes with the namespace.
class SmbdPc {
 public:
  explicit SmbdPc(const std::string& password) {
    char pattern[] = "/mnt/smbd-XXXXXX";
    const std::string directory = ::mkdtemp(pattern);
    const std::string start = "bash " SMBD_PC_SCRIPT " " + directory + " " + password;
    EXPECT_EQ(std::system(start.c_str()), 0);
    std::ifstream(directory + "/pid/smbd.pid") >> pid_;
  }
  ~SmbdPc() {
    if (pid_ > 0) ::kill(pid_, SIGTERM);
  }

 private:
  pid_t pid_ = 0;
};

enum class Act { Logon, Open, Call, BadCall, Disconnect };

constexpr const char* Password = "Cairn-e2e-1";
constexpr unsigned CallMs = 5000;

// One step of a session's life; Logon starts a new session with the step's password.
struct SmbdStep {
  const char* name;
  Act act;
  CairnPipe pipe;
  std::uint32_t status;
  const char* password = nullptr;
  unsigned setupMs = CallMs;
};

// The reply of a call that succeeded must decode whole: wkssvc names the smbd, srvsvc answers.
std::uint32_t callGetInfo(CairnSession* session, CairnPipe pipe, bool truncated) {
  const ndr::Bytes request = pipe == CairnPipeWkssvc ? rpc::encodeNetrWkstaGetInfo(u"")
                                                     : rpc::encodeNetrServerGetInfo(u"");
  const std::uint16_t opnum =
      pipe == CairnPipeWkssvc ? rpc::NetrWkstaGetInfoOpnum : rpc::NetrServerGetInfoOpnum;
  std::uint8_t* reply = nullptr;
  std::size_t length = 0;
  const std::uint32_t status =
      cairnSessionCall(session, pipe, opnum, request.data(), truncated ? 3 : request.size(), &reply,
                       &length, CallMs);
  const std::unique_ptr<std::uint8_t, decltype(&std::free)> owned(reply, std::free);
  if (status != StatusSuccess) {
    EXPECT_EQ(reply, nullptr);
    return status;
  }
  rpc::WkstaInfo102 info;
  if (pipe == CairnPipeSrvsvc) {
    EXPECT_EQ(rpc::decodeNetrServerGetInfo(reply, length), 0u);
  } else {
    EXPECT_EQ(rpc::decodeNetrWkstaGetInfo(reply, length, info), 0u);
    EXPECT_TRUE(info.computerName == u"CAIRNPC");
  }
  return status;
}

TEST(SmbdSessionTest, LivesThroughItsSteps) {
  const SmbdPc pc(Password);
  const SmbdStep steps[] = {
      {"wrongPassword", Act::Logon, CairnPipeWkssvc, 0, "not-the-password"},
      {"refusedLogon", Act::Open, CairnPipeWkssvc, StatusLogonFailure},
      {"logon", Act::Logon, CairnPipeWkssvc, 0, Password},
      {"firstPipe", Act::Open, CairnPipeWkssvc, StatusSuccess},
      // No set-up ends within no time, and the failure drops the first pipe too.
      {"secondPipeBeyondItsBound", Act::Open, CairnPipeSrvsvc, StatusBadNetPath, nullptr, 0},
      {"afterFailedOpen", Act::Call, CairnPipeWkssvc, StatusInvalidHandle},
      {"firstPipeAgain", Act::Open, CairnPipeWkssvc, StatusSuccess},
      {"secondPipeSameSession", Act::Open, CairnPipeSrvsvc, StatusSuccess},
      {"callFirst", Act::Call, CairnPipeWkssvc, StatusSuccess},
      {"callSecond", Act::Call, CairnPipeSrvsvc, StatusSuccess},
      // A request cut short: smbd faults it, and the fault drops every pipe.
      {"faultedCall", Act::BadCall, CairnPipeSrvsvc, StatusRpcBadStubData},
      {"afterFailedCall", Act::Call, CairnPipeSrvsvc, StatusInvalidHandle},
      {"reopenAfterFault", Act::Open, CairnPipeWkssvc, StatusSuccess},
      {"disconnect", Act::Disconnect, CairnPipeWkssvc, 0},
      {"afterDisconnect", Act::Call, CairnPipeWkssvc, StatusInvalidHandle},
      {"reopenAfterDisconnect", Act::Open, CairnPipeWkssvc, StatusSuccess},
      {"callAfterReopen", Act::Call, CairnPipeWkssvc, StatusSuccess},
  };
  std::unique_ptr<CairnSession, decltype(&cairnSessionDestroy)> session(nullptr,
                                                                        cairnSessionDestroy);
  for (const SmbdStep& step : steps) {
    SCOPED_TRACE(step.name);
    switch (step.act) {
      case Act::Logon:
        ::setenv("USER", "root", 1);
        ::setenv("PASSWD", step.password, 1);
        session.reset(cairnSessionCreate(CairnCompositeStateError));
        ASSERT_NE(session, nullptr);
        break;
      case Act::Open:
        EXPECT_EQ(
            cairnSessionOpenPipe(session.get(), "127.0.0.1", step.pipe, ConnectMs, step.setupMs),
            step.status);
        break;
      case Act::Call:
      case Act::BadCall:
        EXPECT_EQ(callGetInfo(session.get(), step.pipe, step.act == Act::BadCall), step.status);
        break;
      case Act::Disconnect:
        cairnSessionDisconnect(session.get());
        break;
    }
  }
}

}  // namespace
}  // namespace cairn
