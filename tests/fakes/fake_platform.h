// Scripted in-memory stand-ins for every platform service. Each call's outcome can be scripted,
// and each call is written to one shared log so tests can assert the order across services.
#pragma once

#include <cstdint>
#include <deque>
#include <map>
#include <optional>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace cairn::fakes {

using CallLog = std::vector<std::string>;

// Failures to inject: call position (its index in the call log) to failure kind. The kinds a
// call offers are listed by faultKindsOf.
using FaultPlan = std::map<std::size_t, int>;

// How many distinct failures the named platform call can give (0 for calls that cannot fail).
int faultKindsOf(const std::string& call);

// The call's name in a log entry ("RegOpenKeyExA(...)" gives "RegOpenKeyExA").
std::string callNameOf(const std::string& entry);

// Base of the fakes: the shared log and the injected faults.
class Recorder {
 public:
  Recorder(CallLog& log, const FaultPlan& faults) : log_(log), faults_(faults) {}

 protected:
  // Logs a call and answers the failure kind injected at its position, if any.
  std::optional<int> record(std::string entry);

  CallLog& log_;
  const FaultPlan& faults_;
};

// Thrown by FakeConsole::exitProcess, which must not return.
struct ProcessExit : std::runtime_error {
  explicit ProcessExit(int code) : std::runtime_error("exit"), code(code) {}
  int code;
};

class FakeConsole final : public Console, Recorder {
 public:
  using Recorder::Recorder;

  std::string commandLineText;
  std::string output;               // every byte written to standard output
  std::vector<std::string> writes;  // each write as handed over
  std::vector<std::string> titles;
  std::vector<unsigned> pauses;

  std::string commandLine() override { return commandLineText; }
  void pause(unsigned milliseconds) override;
  void writeOutput(std::string_view bytes) override;
  void setTitle(std::string_view text) override;
  // Bytes map one to one onto UTF-16 units (Latin-1), so tests can reason about both forms.
  std::u16string toWide(std::string_view narrow) override;
  std::string toNarrow(const char16_t* wide) override;
  [[noreturn]] void exitProcess(int code) override { throw ProcessExit(code); }
};

class FakeSockets final : public Sockets, Recorder {
 public:
  using Recorder::Recorder;

  SocketsStartup startupAnswer{0, 0x0002};
  std::map<std::string, std::uint32_t> addresses;  // forward entries
  std::map<std::uint32_t, std::string> names;      // reverse entries
  std::string localName = "WORKSTATION";
  int startups = 0;
  int cleanups = 0;

  SocketsStartup startup(std::uint16_t requestedVersion) override;
  std::uint32_t hostByName(const std::string& name) override;
  std::string hostByAddress(std::uint32_t address) override;
  std::string localHostName() override;
  void cleanup() override;
};

class FakeIcmpEcho final : public IcmpEcho, Recorder {
 public:
  using Recorder::Recorder;

  bool createFails = false;
  std::deque<EchoResult> results;  // one per request; an empty queue answers an echo reply
  std::vector<EchoRequest> requests;
  std::set<IcmpHandle> openHandles;
  int handlesOpened = 0;

  std::uint32_t inetAddr(const std::string& text) override;
  IcmpHandle createFile() override;
  EchoResult sendEcho(IcmpHandle handle, const EchoRequest& request) override;
  void closeHandle(IcmpHandle handle) override;

 private:
  IcmpHandle nextHandle_ = 100;
};

class FakeNetManagement final : public NetManagement, Recorder {
 public:
  using Recorder::Recorder;

  struct Reply {
    std::uint32_t status = 0;
    bool leavesRecord = false;  // a failed call that still hands back a record
  };
  std::deque<Reply> workstationReplies;  // empty queue: success
  std::deque<Reply> serverReplies;
  std::optional<std::u16string> computerName = u"PC01";  // nullopt: a null field
  std::optional<std::u16string> langroup = u"NEWDOM";
  std::vector<std::u16string> serverPaths;  // as passed to each query

  std::map<NetRecord, int> freeCounts;  // per record handed out: how often it was released
  int nullFrees = 0;
  bool freedUnknownRecord = false;

  std::uint32_t workstationInfo(const std::u16string& serverPath, NetRecord* record) override;
  std::uint32_t serverInfo(const std::u16string& serverPath, NetRecord* record) override;
  WorkstationNames workstationNames(NetRecord record) override;
  void freeBuffer(NetRecord record) override;

  // True when every record handed out was released exactly once and nothing else was freed.
  bool eachRecordReleasedOnce() const;

 private:
  std::uint32_t query(const char* name, std::deque<Reply>& replies,
                      const std::u16string& serverPath, NetRecord* record);

  std::vector<std::unique_ptr<int>> records_;
};

class FakeRegistry final : public Registry, Recorder {
 public:
  using Recorder::Recorder;

  std::uint32_t connectStatus = 0;
  std::uint32_t openStatus = 0;
  // Stored values as raw bytes; a missing entry reads as a failure that leaves the buffer alone.
  std::map<std::string, std::string> values;
  std::map<std::string, std::uint32_t> setStatuses;  // per value name; absent: success
  std::map<std::string, std::uint32_t> writtenTypes;
  std::set<RegKey> openKeys;
  std::vector<RegKey> closed;
  std::string openedSubKey;
  std::uint32_t openedAccess = 0;
  int calls = 0;

  std::uint32_t connect(const std::string& machineName, RegKey* root) override;
  std::uint32_t openKey(RegKey parent, const std::string& subKey, std::uint32_t access,
                        RegKey* key) override;
  std::uint32_t queryValue(RegKey key, const std::string& valueName, std::uint32_t* type,
                           unsigned char* data, std::uint32_t* size) override;
  std::uint32_t setValue(RegKey key, const std::string& valueName, std::uint32_t type,
                         const unsigned char* data, std::uint32_t size) override;
  void closeKey(RegKey key) override;

  static constexpr RegKey RootKey = 0x80000002;
  static constexpr RegKey WinlogonKey = 0x4000;
};

// One complete scripted platform with a shared call log.
struct FakePlatform {
  CallLog log;
  FaultPlan faults;
  FakeConsole console{log, faults};
  FakeSockets sockets{log, faults};
  FakeIcmpEcho icmp{log, faults};
  FakeNetManagement net{log, faults};
  FakeRegistry registry{log, faults};
  Platform platform{console, sockets, icmp, net, registry};

  // A lab-like default: PC01 at 10.1.2.3, in NEWDOM, both Winlogon values OLDDOM.
  FakePlatform();
};

// Network byte order address of four octets.
std::uint32_t addressOf(int a, int b, int c, int d);

// Joins lines, each followed by CR LF.
std::string lines(std::initializer_list<std::string> texts);

// The 24 lines of the usage text.
std::string usageText();

}  // namespace cairn::fakes
