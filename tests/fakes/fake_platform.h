// One scripted stand-in for the five platform services a check calls, beside a scripted service
// manager. Every call of the five is written to one log, so a test can hold the order across
// services, and every call that can fail fails the way it is told: by its name (the failure kinds
// its next calls give, in turn) or by its position in the log.
#pragma once

#include <cstdint>
#include <deque>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "tests/fakes/fake_service_control.h"

namespace cairn::fakes {

using CallLog = std::vector<std::string>;

// Network byte order address of four octets.
std::uint32_t addressOf(int a, int b, int c, int d);

// The distinct failures each platform call can give (kinds 0 to n-1); a call not listed cannot
// fail.
extern const std::map<std::string, int> FailureKinds;

// The call's name in a log entry ("RegOpenKeyExA(...)" gives "RegOpenKeyExA").
std::string callNameOf(const std::string& entry);

class FakePlatform final : public Console,
                           public Sockets,
                           public IcmpEcho,
                           public NetManagement,
                           public Registry {
 public:
  // A lab-like world: PC01 at 10.1.2.3 (reverse name pc01), in NEWDOM, both values OLDDOM.
  std::map<std::string, std::uint32_t> addresses{{"PC01", addressOf(10, 1, 2, 3)}};
  std::map<std::uint32_t, std::string> names{{addressOf(10, 1, 2, 3), "pc01"}};
  std::string localName = "WORKSTATION";
  std::optional<std::u16string> computerName = u"PC01";  // nullopt: a null field
  std::optional<std::u16string> langroup = u"NEWDOM";
  std::map<std::string, std::string> values{{"DefaultDomainName", {"olddom", 7}},
                                            {"AltDefaultDomainName", {"olddom", 7}}};

  std::map<std::string, std::deque<int>> failing;  // by call name; kind -1 lets a call pass
  std::map<std::size_t, int> faults;               // by position in the log

  CallLog log;
  std::string output;  // every byte written to standard output
  int writes = 0;
  FakeServiceControl serviceControl;  // a service manager of its own, with a log of its own
  Platform platform{*this, *this, *this, *this, *this, serviceControl};

  // Every handle, key and record handed out was released exactly once, a key before its root,
  // nothing else was released, and every sockets start-up was cleaned up.
  bool leftClean() const;

  std::string commandLine() override { return {}; }
  void pause(unsigned milliseconds) override;
  void writeOutput(std::string_view bytes) override;
  void setTitle(std::string_view text) override;
  // Bytes map one to one onto UTF-16 units (Latin-1).
  std::u16string toWide(std::string_view narrow) override;
  std::string toNarrow(const char16_t* wide) override;
  [[noreturn]] void exitProcess(int code) override;

  SocketsStartup startup(std::uint16_t requestedVersion) override;
  std::uint32_t hostByName(const std::string& name) override;
  std::string hostByAddress(std::uint32_t address) override;
  std::string localHostName() override;
  void cleanup() override;

  std::uint32_t inetAddr(const std::string& text) override;
  IcmpHandle createFile() override;
  EchoResult sendEcho(IcmpHandle handle, const EchoRequest& request) override;
  void closeHandle(IcmpHandle handle) override;

  Status workstationInfo(const std::u16string& serverPath, NetRecord* record) override;
  Status serverInfo(const std::u16string& serverPath, NetRecord* record) override;
  WorkstationNames workstationNames(NetRecord record) override;
  void freeBuffer(NetRecord record) override;

  Status connect(const std::string& machineName, RegKey* root) override;
  Status openKey(RegKey parent, const std::string& subKey, std::uint32_t access,
                 RegKey* key) override;
  Status queryValue(RegKey key, const std::string& valueName, std::uint32_t* type,
                    unsigned char* data, std::uint32_t* size) override;
  Status setValue(RegKey key, const std::string& valueName, std::uint32_t type,
                  const unsigned char* data, std::uint32_t size) override;
  Status deleteValue(RegKey key, const std::string& valueName) override;
  void closeKey(RegKey key) override;

 private:
  struct Handed {
    std::string name;
    int releases = 0;
  };

  int call(std::string entry);  // logs the call; its failure kind, -1 for none
  std::uintptr_t hand(const std::string& kind);
  void use(std::uintptr_t handle) const;  // throws unless the handle is held
  void release(const char* call, std::uintptr_t handle);
  Status query(const char* call, const std::u16string& serverPath, NetRecord* record);

  std::map<std::uintptr_t, Handed> handed_;
  std::map<std::string, int> handedKinds_;
  int strayReleases_ = 0;
  int openStartups_ = 0;
};

}  // namespace cairn::fakes
