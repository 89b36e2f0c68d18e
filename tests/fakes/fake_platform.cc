#include "tests/fakes/fake_platform.h"

#include <cstdio>
#include <cstring>
#include <stdexcept>

#include "platform/status.h"

namespace cairn::fakes {
namespace {

std::string narrowOf(std::u16string_view wide) {
  std::string narrow;
  for (char16_t unit : wide) narrow.push_back(unit < 256 ? static_cast<char>(unit) : '?');
  return narrow;
}

std::string dotted(std::uint32_t address) {
  const auto* octets = reinterpret_cast<const unsigned char*>(&address);
  return std::to_string(octets[0]) + "." + std::to_string(octets[1]) + "." +
         std::to_string(octets[2]) + "." + std::to_string(octets[3]);
}

}  // namespace

std::uint32_t addressOf(int a, int b, int c, int d) {
  const unsigned char octets[4] = {static_cast<unsigned char>(a), static_cast<unsigned char>(b),
                                   static_cast<unsigned char>(c), static_cast<unsigned char>(d)};
  std::uint32_t address;
  std::memcpy(&address, octets, 4);
  return address;
}

const std::map<std::string, int> FailureKinds = {
    {"WSAStartup", 2},           // refused; version 1.1 granted
    {"gethostbyname", 1},        // no address
    {"gethostbyaddr", 1},        // no name
    {"gethostname", 1},          // no name
    {"inet_addr", 1},            // no address
    {"IcmpCreateFile", 1},       // no handle
    {"IcmpSendEcho", 4},         // time-out; no reply, clean status; error reply; send failure
    {"NetWkstaGetInfo", 2},      // failure; failure that leaves a record
    {"NetServerGetInfo", 2},     // failure; failure that leaves a record
    {"RegConnectRegistryA", 2},  // refused; pipe busy (a trigger start under way)
    {"RegOpenKeyExA", 1},        // access denied
    {"RegQueryValueExA", 3},     // missing; larger than the buffer; failure status over data
    {"RegSetValueExA", 1},       // refused
    {"RegDeleteValueA", 1},      // refused
};

std::string callNameOf(const std::string& entry) {
  return entry.substr(0, entry.find('('));
}

int FakePlatform::call(std::string entry) {
  log.push_back(std::move(entry));
  if (const auto fault = faults.find(log.size() - 1); fault != faults.end()) return fault->second;
  auto& queue = failing[callNameOf(log.back())];
  if (queue.empty()) return -1;
  const int kind = queue.front();
  queue.pop_front();
  return kind;
}

// Handles are named by their kind and number ("record2"), so that a log reads as the run went.
std::uintptr_t FakePlatform::hand(const std::string& kind) {
  const std::uintptr_t handle = handed_.size() + 100;
  handed_[handle] = {kind + std::to_string(++handedKinds_[kind])};
  return handle;
}

void FakePlatform::use(std::uintptr_t handle) const {
  const auto found = handed_.find(handle);
  if (found == handed_.end() || found->second.releases != 0)
    throw std::logic_error("a handle that is not held: " + log.back());
}

void FakePlatform::release(const char* call, std::uintptr_t handle) {
  const auto found = handed_.find(handle);
  this->call(std::string(call) + "(" + (found == handed_.end() ? "?" : found->second.name) + ")");
  if (found == handed_.end()) return void(++strayReleases_);
  // A root closed while a key under it is still open.
  if (found->second.name.starts_with("root"))
    for (const auto& [other, handed] : handed_)
      if (handed.name.starts_with("key") && handed.releases == 0) ++strayReleases_;
  ++found->second.releases;
}

bool FakePlatform::leftClean() const {
  for (const auto& [handle, handed] : handed_)
    if (handed.releases != 1) return false;
  return strayReleases_ == 0 && openStartups_ == 0;
}

void FakePlatform::pause(unsigned milliseconds) {
  call("Sleep(" + std::to_string(milliseconds) + ")");
}

void FakePlatform::writeOutput(std::string_view bytes) {
  output += bytes;
  ++writes;
}

void FakePlatform::setTitle(std::string_view text) {
  call("SetConsoleTitleA(" + std::string(text) + ")");
}

std::u16string FakePlatform::toWide(std::string_view narrow) {
  std::u16string wide;
  for (char c : narrow) wide.push_back(static_cast<unsigned char>(c));
  return wide;
}

std::string FakePlatform::toNarrow(const char16_t* wide) {
  return wide == nullptr ? std::string{} : narrowOf(wide);
}

void FakePlatform::exitProcess(int) {
  throw std::logic_error("a check run never ends the process itself");
}

SocketsStartup FakePlatform::startup(std::uint16_t requestedVersion) {
  ++openStartups_;
  const int kind = call("WSAStartup(" + std::to_string(requestedVersion) + ")");
  if (kind == 0) return {static_cast<Status>(10091), 0};  // WSASYSNOTREADY
  return {StatusSuccess, static_cast<std::uint16_t>(kind == 1 ? 0x0101 : 0x0002)};
}

std::uint32_t FakePlatform::hostByName(const std::string& name) {
  const auto found = addresses.find(name);
  return call("gethostbyname(" + name + ")") >= 0 || found == addresses.end() ? 0 : found->second;
}

std::string FakePlatform::hostByAddress(std::uint32_t address) {
  const auto found = names.find(address);
  return call("gethostbyaddr(" + dotted(address) + ")") >= 0 || found == names.end()
             ? std::string{}
             : found->second;
}

std::string FakePlatform::localHostName() {
  return call("gethostname") >= 0 ? std::string{} : localName;
}

void FakePlatform::cleanup() {
  --openStartups_;
  call("WSACleanup");
}

std::uint32_t FakePlatform::inetAddr(const std::string& text) {
  unsigned a, b, c, d;
  char more;
  if (call("inet_addr(" + text + ")") >= 0 ||
      std::sscanf(text.c_str(), "%u.%u.%u.%u%c", &a, &b, &c, &d, &more) != 4 ||
      (a | b | c | d) > 255)
    return InaddrNone;
  return addressOf(a, b, c, d);  // all ones is InaddrNone, as with the real call
}

IcmpHandle FakePlatform::createFile() {
  return call("IcmpCreateFile") >= 0 ? InvalidIcmpHandle : hand("echo");
}

EchoResult FakePlatform::sendEcho(IcmpHandle handle, const EchoRequest& request) {
  const int kind =
      call("IcmpSendEcho(" + dotted(request.destination) + "," + std::to_string(request.dataSize) +
           "," + std::to_string(request.ttl) + "," + std::to_string(request.tos) + "," +
           std::to_string(request.flags) + "," + std::to_string(request.timeoutMs) + ")");
  use(handle);
  static const EchoResult Failures[] = {
      {0, StatusIpReqTimedOut},
      {0, StatusSuccess},
      {1, static_cast<Status>(11003) /* IP_DEST_HOST_UNREACHABLE */},
      {0, StatusIpGeneralFailure}};
  return kind >= 0 ? Failures[kind] : EchoResult{1, StatusSuccess};
}

void FakePlatform::closeHandle(IcmpHandle handle) {
  release("IcmpCloseHandle", handle);
}

Status FakePlatform::query(const char* name, const std::u16string& serverPath, NetRecord* record) {
  const int kind = call(name + ("(" + narrowOf(serverPath) + ")"));
  if (kind != 0) *record = reinterpret_cast<NetRecord>(hand("record"));
  return kind >= 0 ? StatusBadNetPath : StatusSuccess;
}

Status FakePlatform::workstationInfo(const std::u16string& serverPath, NetRecord* record) {
  return query("NetWkstaGetInfo", serverPath, record);
}

Status FakePlatform::serverInfo(const std::u16string& serverPath, NetRecord* record) {
  return query("NetServerGetInfo", serverPath, record);
}

WorkstationNames FakePlatform::workstationNames(NetRecord record) {
  use(reinterpret_cast<std::uintptr_t>(record));
  return {computerName ? computerName->c_str() : nullptr, langroup ? langroup->c_str() : nullptr};
}

void FakePlatform::freeBuffer(NetRecord record) {
  if (record == nullptr) return void(call("NetApiBufferFree(null)"));
  release("NetApiBufferFree", reinterpret_cast<std::uintptr_t>(record));
}

Status FakePlatform::connect(const std::string& machineName, RegKey* root) {
  const int kind = call("RegConnectRegistryA(" + machineName + ")");
  if (kind >= 0) return kind == 1 ? StatusPipeBusy : StatusBadNetPath;
  *root = hand("root");
  return StatusSuccess;
}

Status FakePlatform::openKey(RegKey parent, const std::string& subKey, std::uint32_t access,
                             RegKey* key) {
  const int kind = call("RegOpenKeyExA(" + subKey + "," + std::to_string(access) + ")");
  use(parent);
  if (kind >= 0) return StatusAccessDenied;
  *key = hand("key");
  return StatusSuccess;
}

Status FakePlatform::queryValue(RegKey key, const std::string& valueName, std::uint32_t* type,
                                unsigned char* data, std::uint32_t* size) {
  const int kind = call("RegQueryValueExA(" + valueName + "," + std::to_string(*size) + ")");
  use(key);
  const auto found = values.find(valueName);
  if (kind == 0 || found == values.end()) return StatusFileNotFound;
  const std::string stored = kind == 1 ? std::string(*size + 1, 'x') : found->second;
  *type = RegSz;
  const std::uint32_t room = *size;
  *size = static_cast<std::uint32_t>(stored.size());
  if (stored.size() > room) return StatusMoreData;
  std::memcpy(data, stored.data(), stored.size());
  return kind == 2 ? StatusAccessDenied : StatusSuccess;
}

Status FakePlatform::setValue(RegKey key, const std::string& valueName, std::uint32_t type,
                              const unsigned char* data, std::uint32_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  std::string shown;
  for (char c : bytes) shown += c == '\0' ? std::string("\\0") : std::string(1, c);
  const int kind =
      call("RegSetValueExA(" + valueName + "," + std::to_string(type) + "," + shown + ")");
  use(key);
  if (kind >= 0) return StatusAccessDenied;
  values[valueName] = bytes;
  return StatusSuccess;
}

Status FakePlatform::deleteValue(RegKey key, const std::string& valueName) {
  const int kind = call("RegDeleteValueA(" + valueName + ")");
  use(key);
  if (kind >= 0) return StatusAccessDenied;
  return values.erase(valueName) > 0 ? StatusSuccess : StatusFileNotFound;
}

void FakePlatform::closeKey(RegKey key) {
  release("RegCloseKey", key);
}

}  // namespace cairn::fakes
