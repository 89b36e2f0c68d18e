// The transport against TCP servers of the test's own in a private network (private_net.sh):
// which status each kind of unreachable PC gives, within which bound, and both ways of waiting
// for Samba's connect: on the request's state once the layout check has passed, and inside
// Samba when the check finds another layout (forced here by expecting a state that no failed
// request has).
#include "platform/samba/session.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/socket.h>

#include <chrono>
#include <memory>
#include <ostream>
#include <thread>

#include "platform/common/unique_fd.h"

namespace cairn {
namespace {

using std::chrono::milliseconds;

// A server at 127.0.0.1:445 that completes every TCP handshake and then never says a word, or
// closes each connection at once.
class TcpServer {
 public:
  explicit TcpServer(bool closesConnections) {
    listener_.reset(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    sockaddr_in address{AF_INET, htons(445), {htonl(INADDR_LOOPBACK)}, {}};
    const int on = 1;
    ::setsockopt(listener_.get(), SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    EXPECT_EQ(::bind(listener_.get(), reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    EXPECT_EQ(::listen(listener_.get(), 8), 0);
    if (closesConnections)
      closer_ = std::jthread([this](std::stop_token stop) {
        while (!stop.stop_requested()) {
          pollfd waiting{listener_.get(), POLLIN, 0};
          if (::poll(&waiting, 1, 20) > 0) UniqueFd(::accept(listener_.get(), nullptr, nullptr));
        }
      });
  }

 private:
  UniqueFd listener_;
  std::jthread closer_;  // stopped and joined before the listener closes
};

enum class Server { None, Silent, Closing };

struct ConnectCase {
  const char* name;
  int failedState;
  const char* host;
  Server server;
  std::uint32_t status;
  milliseconds atMost;
  milliseconds atLeast{0};
};

void PrintTo(const ConnectCase& c, std::ostream* os) {
  *os << c.name;
}

constexpr unsigned SetupMs = 400;
constexpr int NoFailedState = 99;

class SessionConnectTest : public testing::TestWithParam<ConnectCase> {};

TEST_P(SessionConnectTest, GivesTheCauseWithinTheBound) {
  const ConnectCase& c = GetParam();
  std::unique_ptr<TcpServer> server;
  if (c.server != Server::None) server = std::make_unique<TcpServer>(c.server == Server::Closing);
  const std::unique_ptr<CairnSession, decltype(&cairnSessionDestroy)> session(
      cairnSessionCreate(c.failedState), cairnSessionDestroy);
  ASSERT_NE(session, nullptr);
  EXPECT_EQ(cairnSessionReadsCompositeState(session.get()),
            c.failedState == CairnCompositeStateError);
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(cairnSessionOpenPipe(session.get(), c.host, CairnPipeWkssvc, 2000, SetupMs), c.status);
  const auto elapsed = std::chrono::steady_clock::now() - start;
  EXPECT_LE(elapsed, c.atMost);
  EXPECT_GE(elapsed, c.atLeast);
}

INSTANTIATE_TEST_SUITE_P(
    Hosts, SessionConnectTest,
    testing::Values(ConnectCase{"refused", CairnCompositeStateError, "127.0.0.2", Server::None,
                                StatusConnectionRefused, milliseconds(500)},
                    ConnectCase{"unresolvable", CairnCompositeStateError, "nosuch.lab.test",
                                Server::None, StatusBadNetPath, milliseconds(500)},
                    // Samba alone would wait 60 s for an answer to its negotiation.
                    ConnectCase{"silentAfterConnect", CairnCompositeStateError, "127.0.0.1",
                                Server::Silent, StatusBadNetPath, milliseconds(SetupMs + 1000),
                                milliseconds(SetupMs)},
                    ConnectCase{"closedAfterConnect", CairnCompositeStateError, "127.0.0.1",
                                Server::Closing, StatusBadNetPath, milliseconds(SetupMs)},
                    ConnectCase{"otherLayoutRefused", NoFailedState, "127.0.0.2", Server::None,
                                StatusConnectionRefused, milliseconds(500)},
                    ConnectCase{"otherLayoutWaitsInSamba", NoFailedState, "127.0.0.1",
                                Server::Closing, StatusBadNetPath, milliseconds(SetupMs)}),
    [](const auto& info) { return info.param.name; });

}  // namespace
}  // namespace cairn
