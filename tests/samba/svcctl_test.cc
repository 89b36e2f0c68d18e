// The service control manager over scripted svcctl replies, byte for byte. The reference bytes
// were made with python3-samba from Samba's own svcctl IDL: samba.ndr.ndr_pack_in (requests) and
// ndr_pack_out (replies) of samba.dcerpc.svcctl calls carrying the same arguments, with the
// policy handle {handle_type 0, uuid 01020304-0506-0708-090a-0b0c0d0e0f10}. Hostile replies are
// made from them: cut, lengthened or with a field changed.
#include <gtest/gtest.h>

#include <deque>
#include <string>

#include "platform/samba/services.h"
#include "platform/samba/svcctl_calls.h"

namespace cairn {
namespace {

ndr::Bytes bytesOf(std::string_view hex) {
  ndr::Bytes bytes;
  for (std::size_t i = 0; i + 1 < hex.size(); i += 2)
    bytes.push_back(
        static_cast<unsigned char>(std::stoi(std::string(hex.substr(i, 2)), nullptr, 16)));
  return bytes;
}

ndr::Bytes patched(ndr::Bytes bytes, std::size_t offset, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) bytes.at(offset + i) = static_cast<unsigned char>(value >> (8 * i));
  return bytes;
}

const std::string Handle = "000000000403020106050807090a0b0c0d0e0f10";
const std::string HandleReply = Handle + "00000000";
// QueryServiceStatusEx: START_PENDING, check point 1, wait hint 3000, process 1234.
const std::string StatusReply =
    "24000000200000000200000000000000000000000000000001000000b80b0000d2040000000000002400000000"
    "000000";
// QueryServiceConfigW of a Disabled share-process service with every string but the load order
// group; and the answer to a buffer too small (WERR_INSUFFICIENT_BUFFER, 300 bytes needed).
const std::string ConfigReply =
    "20000000040000000100000000000200000000000000000004000200080002000c000200090000000000000009"
    "00000043003a005c0078002e00650078006500000000000600000000000000060000005200500043005300530000"
    "001a000000000000001a0000004e005400200041005500540048004f0052004900540059005c004c006f00630061"
    "006c0053006500720076006900630065000000100000000000000010000000520065006d006f0074006500200052"
    "00650067006900730074007200790000002c01000000000000";
const std::string ConfigShortReply =
    "0000000000000000000000000000000000000000000000000000000000000000000000002c0100007a000000";
// ControlService: STOP_PENDING, check point 1, wait hint 5000.
const std::string ControlReply = "2000000003000000000000000000000000000000010000008813000000000000";

class ScriptedTransport final : public RpcTransport {
 public:
  std::uint32_t call(const std::string& host, RpcPipe pipe, std::uint16_t opnum,
                     const ndr::Bytes& request, ndr::Bytes& reply) override {
    calls.push_back(host + "/" + std::to_string(static_cast<int>(pipe)) + "/" +
                    std::to_string(opnum));
    requests.push_back(request);
    if (replies.empty()) return StatusBadNetPath;
    reply = replies.front();
    replies.pop_front();
    return 0;
  }
  std::uint32_t callOpen(RpcPipe pipe, std::uint16_t opnum, const ndr::Bytes& request,
                         ndr::Bytes& reply) override {
    return call("", pipe, opnum, request, reply);
  }
  void disconnect() override {}

  std::deque<ndr::Bytes> replies;
  std::vector<std::string> calls;
  std::vector<ndr::Bytes> requests;
};

enum class Op { Manager, Service, Status, Config, Change, Start, Control, Close };

struct Case {
  const char* name;
  Op op;
  ndr::Bytes reply;
  std::uint32_t status;
  std::string request = {};  // where it matters
  std::string result = {};   // what the caller is handed
};

void PrintTo(const Case& c, std::ostream* os) {
  *os << c.name;
}

// Runs one call, after opening the manager and the service for those that need them; gives
// the status and fills the request sent and what the caller got.
std::uint32_t run(const Case& c, ScriptedTransport& transport, std::string& result) {
  const std::unique_ptr<ServiceControl> control = makeRpcServiceControl(transport);
  ScHandle manager = 0, service = 0;
  if (c.op != Op::Manager) {
    transport.replies = {bytesOf(HandleReply), bytesOf(HandleReply)};
    EXPECT_EQ(control->openSCManager("\\\\PC01", ScManagerConnect, &manager), 0u);
    if (c.op != Op::Service) {
      EXPECT_EQ(control->openService(manager, "x", 0, &service), 0u);
    }
    transport.calls.clear();
    transport.requests.clear();
  }
  transport.replies = {c.reply};
  std::uint32_t status = 0;
  ServiceStatusProcess process;
  ServiceConfig config;
  std::uint32_t needed = 0;
  ScHandle opened = 0;
  switch (c.op) {
    case Op::Manager:
      status = control->openSCManager("\\\\PC01", ScManagerConnect, &opened);
      break;
    case Op::Service:
      status = control->openService(manager, "RemoteRegistry", 0x37, &opened);
      break;
    case Op::Status:
      status = control->queryServiceStatusEx(service, &process);
      result = std::to_string(process.currentState) + " " + std::to_string(process.checkPoint) +
               " " + std::to_string(process.waitHint) + " " + std::to_string(process.processId);
      break;
    case Op::Config:
      status = control->queryServiceConfig(service, 1024, &config, &needed);
      result = std::to_string(config.startType) + " " + std::to_string(needed);
      break;
    case Op::Change:
      status = control->changeServiceConfig(service, ServiceDemandStart);
      break;
    case Op::Start:
      status = control->startService(service);
      break;
    case Op::Control:
      status = control->controlService(service, ServiceControlStop, &process);
      result = std::to_string(process.currentState) + " " + std::to_string(process.waitHint);
      break;
    case Op::Close:
      control->closeServiceHandle(service);
      break;
  }
  if (opened != 0) result = "handle";
  return status;
}

constexpr std::uint32_t Bad = StatusRpcBadStubData;

const Case Cases[] = {
    // The active database of \\PC01 (a null database name), with SC_MANAGER_CONNECT.
    {"openManager", Op::Manager, bytesOf(HandleReply), 0,
     "000002000700000000000000070000005c005c005000430030003100000000000000000001000000", "handle"},
    {"openManagerRefused", Op::Manager, patched(bytesOf(HandleReply), 20, 5), 5},
    {"openManagerNullHandle", Op::Manager, bytesOf(std::string(48, '0')), Bad},
    {"openService", Op::Service, bytesOf(HandleReply), 0,
     Handle + "0f000000000000000f000000520065006d006f0074006500520065006700690073007400720079000000"
              "000037000000",
     "handle"},
    {"openServiceMissing", Op::Service, bytesOf("000000000000000000000000000000000000000024040000"),
     1060},
    {"status", Op::Status, bytesOf(StatusReply), 0, Handle + "0000000024000000", "2 1 3000 1234"},
    {"statusRefused", Op::Status, patched(bytesOf(StatusReply), 44, 5), 5, "", "0 0 0 0"},
    {"statusOtherSize", Op::Status, patched(bytesOf(StatusReply), 0, 32), Bad, "", "0 0 0 0"},
    {"config", Op::Config, bytesOf(ConfigReply), 0, Handle + "00040000", "4 0"},
    {"configShort", Op::Config, bytesOf(ConfigShortReply), 122, "", "0 300"},
    {"configNeedsTooMuch", Op::Config, patched(bytesOf(ConfigShortReply), 36, 8193), Bad, "",
     "0 0"},
    {"configStringCountHuge", Op::Config, patched(bytesOf(ConfigReply), 44, 0x7FFFFFFF), Bad, "",
     "0 0"},
    {"configStringPointerDropped", Op::Config, patched(bytesOf(ConfigReply), 12, 0), Bad, "",
     "0 0"},
    // Only the start type changes: SERVICE_NO_CHANGE and null for everything else.
    {"change", Op::Change, bytesOf("0000000000000000"), 0,
     Handle + "ffffffff03000000ffffffff000000000000000000000000000000000000000000000000000000000000"
              "000000000000"},
    {"changeWithTag", Op::Change, bytesOf("000002000100000000000000"), 0},
    {"changeRefused", Op::Change, bytesOf("0000000005000000"), 5},
    {"start", Op::Start, bytesOf("00000000"), 0, Handle + "0000000000000000"},
    {"startAlreadyRunning", Op::Start, bytesOf("20040000"), 1056},
    {"control", Op::Control, bytesOf(ControlReply), 0, Handle + "01000000", "3 5000"},
    {"controlNotActive", Op::Control, patched(bytesOf(ControlReply), 28, 1062), 1062, "", "0 0"},
    {"close", Op::Close, bytesOf(std::string(48, '0')), 0, Handle},
};

class SvcctlTest : public testing::TestWithParam<Case> {};

TEST_P(SvcctlTest, SendsTheRequestAndGivesTheRepliesStatus) {
  const Case& c = GetParam();
  ScriptedTransport transport;
  std::string result;
  EXPECT_EQ(run(c, transport, result), c.status);
  EXPECT_EQ(result, c.result);
  // Only the manager's open may connect; everything else stays on the connection it opened.
  EXPECT_EQ(transport.calls.at(0).substr(0, transport.calls.at(0).find('/')),
            c.op == Op::Manager ? "PC01" : "");
  if (!c.request.empty()) {
    EXPECT_EQ(transport.requests.at(0), bytesOf(c.request));
  }
}

INSTANTIATE_TEST_SUITE_P(Replies, SvcctlTest, testing::ValuesIn(Cases),
                         [](const auto& info) { return info.param.name; });

// A well-formed reply, cut anywhere or lengthened, is malformed; each cut is a copy of exactly
// the prefix, so that a read past it shows in the sanitizer builds.
TEST(SvcctlShapeTest, RejectsEveryCutAndEveryTrailingByte) {
  for (const Case& c : Cases) {
    if (c.status == Bad || c.op == Op::Close) continue;
    for (std::size_t length = 0; length < c.reply.size() + 8; ++length) {
      if (length == c.reply.size()) continue;
      Case changed = c;
      changed.reply.resize(length);
      ScriptedTransport transport;
      std::string result;
      EXPECT_EQ(run(changed, transport, result), Bad) << c.name << " of length " << length;
    }
  }
}

}  // namespace
}  // namespace cairn
