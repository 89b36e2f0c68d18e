// The ICMP echo backend in a private network (private_net.sh) against a peer the test plays: the
// kernel's own answers are off, and a raw socket answers each echo request to 127.0.0.2 with one
// reply made to order. Only an echo reply from the probed address to this very request counts;
// anything else is waited past until the time-out. (A reply shorter than its header never gets
// this far: the kernel drops it before any raw or ping socket sees it.)
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>

#include <cstring>
#include <fstream>
#include <thread>
#include <vector>

#include "platform/common/unique_fd.h"
#include "platform/icmp_echo.h"

namespace cairn {
namespace {

enum class Reply { Whole, OtherSequence, OtherIdentifier, NotAReply, FromElsewhere };

// Waits on listener for one echo request to 127.0.0.2 and answers it as the reply kind says.
void answerOnce(UniqueFd listener, Reply kind) {
  const in_addr probed{inet_addr("127.0.0.2")};
  UniqueFd sender(::socket(AF_INET, SOCK_RAW | SOCK_CLOEXEC, IPPROTO_ICMP));
  sockaddr_in from{
      AF_INET, 0, kind == Reply::FromElsewhere ? in_addr{inet_addr("127.0.0.3")} : probed, {}};
  ASSERT_EQ(::bind(sender.get(), reinterpret_cast<sockaddr*>(&from), sizeof from), 0);
  unsigned char packet[1500];
  for (pollfd waiting{listener.get(), POLLIN, 0}; ::poll(&waiting, 1, 2000) > 0;) {
    sockaddr_in source{};
    socklen_t sourceSize = sizeof source;
    const ssize_t size = ::recvfrom(listener.get(), packet, sizeof packet, 0,
                                    reinterpret_cast<sockaddr*>(&source), &sourceSize);
    const std::size_t header = (packet[0] & 0x0F) * 4u;
    if (size < static_cast<ssize_t>(header + 8) || packet[header] != 8 ||
        std::memcmp(packet + 16, &probed, 4) != 0)
      continue;
    std::vector<unsigned char> reply(packet + header, packet + header + 8);
    reply[0] = kind == Reply::NotAReply ? 8 : 0;
    if (kind == Reply::OtherIdentifier) reply[5] ^= 1;
    if (kind == Reply::OtherSequence) reply[7] ^= 1;
    ::sendto(sender.get(), reply.data(), reply.size(), 0, reinterpret_cast<sockaddr*>(&source),
             sizeof source);
    return;
  }
  ADD_FAILURE() << "no echo request";
}

TEST(IcmpEchoTest, OnlyTheReplyToThisRequestCounts) {
  std::ofstream("/proc/sys/net/ipv4/icmp_echo_ignore_all") << "1\n";
  const std::unique_ptr<IcmpEcho> icmp = makeSystemIcmpEcho();
  for (const auto& [kind, replies, status] :
       {std::tuple{Reply::Whole, 1u, StatusSuccess},
        std::tuple{Reply::OtherSequence, 0u, StatusIpReqTimedOut},
        std::tuple{Reply::OtherIdentifier, 0u, StatusIpReqTimedOut},
        std::tuple{Reply::NotAReply, 0u, StatusIpReqTimedOut},
        std::tuple{Reply::FromElsewhere, 0u, StatusIpReqTimedOut}}) {
    std::jthread peer(answerOnce,
                      UniqueFd(::socket(AF_INET, SOCK_RAW | SOCK_CLOEXEC, IPPROTO_ICMP)), kind);
    const IcmpHandle handle = icmp->createFile();
    ASSERT_NE(handle, InvalidIcmpHandle);
    EchoRequest request;
    request.destination = inet_addr("127.0.0.2");
    request.ttl = 128;
    request.timeoutMs = 300;
    const EchoResult result = icmp->sendEcho(handle, request);
    icmp->closeHandle(handle);
    EXPECT_EQ(result.replyCount, replies) << static_cast<int>(kind);
    EXPECT_EQ(result.status, status) << static_cast<int>(kind);
  }
}

}  // namespace
}  // namespace cairn
