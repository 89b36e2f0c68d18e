#include "tests/fakes/fake_platform.h"

#include <algorithm>
#include <cstring>

#include "reach/address.h"

namespace cairn::fakes {
namespace {

std::string narrowOf(const std::u16string& wide) {
  std::string narrow;
  for (char16_t unit : wide) narrow.push_back(unit < 256 ? static_cast<char>(unit) : '?');
  return narrow;
}

constexpr std::uint32_t NetFailure = 53;  // ERROR_BAD_NETPATH
constexpr std::uint32_t FileNotFound = 2;
constexpr std::uint32_t MoreData = 234;
constexpr std::uint32_t AccessDenied = 5;

}  // namespace

int faultKindsOf(const std::string& call) {
  static const std::map<std::string, int> kinds = {
      {"WSAStartup", 2},           // refused; another version granted
      {"gethostbyname", 1},        // no address
      {"gethostbyaddr", 1},        // no name
      {"gethostname", 1},          // no name
      {"inet_addr", 1},            // no address
      {"IcmpCreateFile", 1},       // no handle
      {"IcmpSendEcho", 4},         // time-out; no reply, clean status; error reply; send failure
      {"NetWkstaGetInfo", 2},      // failure; failure that leaves a record
      {"NetServerGetInfo", 2},     // failure; failure that leaves a record
      {"RegConnectRegistryA", 1},  // refused
      {"RegOpenKeyExA", 1},        // access denied
      {"RegQueryValueExA", 3},     // missing; larger than the buffer; failure status over data
      {"RegSetValueExA", 1},       // refused
  };
  const auto found = kinds.find(call);
  return found == kinds.end() ? 0 : found->second;
}

std::string callNameOf(const std::string& entry) {
  return entry.substr(0, entry.find('('));
}

std::optional<int> Recorder::record(std::string entry) {
  log_.push_back(std::move(entry));
  const auto found = faults_.find(log_.size() - 1);
  if (found == faults_.end()) return std::nullopt;
  return found->second;
}

void FakeConsole::pause(unsigned milliseconds) {
  pauses.push_back(milliseconds);
  record("Sleep(" + std::to_string(milliseconds) + ")");
}

void FakeConsole::writeOutput(std::string_view bytes) {
  output += bytes;
  writes.emplace_back(bytes);
}

void FakeConsole::setTitle(std::string_view text) {
  titles.emplace_back(text);
  record("SetConsoleTitleA(" + std::string(text) + ")");
}

std::u16string FakeConsole::toWide(std::string_view narrow) {
  std::u16string wide;
  for (char c : narrow) wide.push_back(static_cast<unsigned char>(c));
  return wide;
}

std::string FakeConsole::toNarrow(const char16_t* wide) {
  if (wide == nullptr) return {};
  return narrowOf(wide);
}

SocketsStartup FakeSockets::startup(std::uint16_t requestedVersion) {
  ++startups;
  const auto fault = record("WSAStartup(" + std::to_string(requestedVersion) + ")");
  if (fault == 0) return {10091, 0};  // WSASYSNOTREADY
  if (fault == 1) return {0, 0x0101};
  return startupAnswer;
}

std::uint32_t FakeSockets::hostByName(const std::string& name) {
  if (record("gethostbyname(" + name + ")")) return 0;
  const auto found = addresses.find(name);
  return found == addresses.end() ? 0 : found->second;
}

std::string FakeSockets::hostByAddress(std::uint32_t address) {
  if (record("gethostbyaddr(" + formatDottedAddress(address) + ")")) return {};
  const auto found = names.find(address);
  return found == names.end() ? std::string{} : found->second;
}

std::string FakeSockets::localHostName() {
  if (record("gethostname")) return {};
  return localName;
}

void FakeSockets::cleanup() {
  ++cleanups;
  record("WSACleanup");
}

std::uint32_t FakeIcmpEcho::inetAddr(const std::string& text) {
  if (record("inet_addr(" + text + ")")) return InaddrNone;
  if (!isDottedAddress(text)) return InaddrNone;
  return parseDottedAddress(text);
}

IcmpHandle FakeIcmpEcho::createFile() {
  if (record("IcmpCreateFile") || createFails) return InvalidIcmpHandle;
  ++handlesOpened;
  openHandles.insert(nextHandle_);
  return nextHandle_++;
}

EchoResult FakeIcmpEcho::sendEcho(IcmpHandle handle, const EchoRequest& request) {
  const auto fault = record("IcmpSendEcho(" + formatDottedAddress(request.destination) + ")");
  if (!openHandles.count(handle)) throw std::logic_error("echo on a handle that is not open");
  requests.push_back(request);
  if (fault == 0) return {0, StatusIpReqTimedOut};
  if (fault == 1) return {0, 0};
  if (fault == 2) return {1, 11003};  // IP_DEST_HOST_UNREACHABLE
  if (fault == 3) return {0, StatusIpGeneralFailure};
  if (results.empty()) return {1, 0};
  const EchoResult result = results.front();
  results.pop_front();
  return result;
}

void FakeIcmpEcho::closeHandle(IcmpHandle handle) {
  record("IcmpCloseHandle");
  if (openHandles.erase(handle) != 1) throw std::logic_error("closing a handle that is not open");
}

std::uint32_t FakeNetManagement::query(const char* name, std::deque<Reply>& replies,
                                       const std::u16string& serverPath, NetRecord* record) {
  const auto fault = Recorder::record(std::string(name) + "(" + narrowOf(serverPath) + ",102)");
  serverPaths.push_back(serverPath);
  Reply reply;
  if (!replies.empty()) {
    reply = replies.front();
    replies.pop_front();
  }
  if (fault) reply = {NetFailure, *fault == 1};
  if (reply.status == 0 || reply.leavesRecord) {
    records_.push_back(std::make_unique<int>(static_cast<int>(records_.size()) + 1));
    *record = records_.back().get();
    freeCounts[*record] = 0;
  }
  return reply.status;
}

std::uint32_t FakeNetManagement::workstationInfo(const std::u16string& serverPath,
                                                 NetRecord* record) {
  return query("NetWkstaGetInfo", workstationReplies, serverPath, record);
}

std::uint32_t FakeNetManagement::serverInfo(const std::u16string& serverPath, NetRecord* record) {
  return query("NetServerGetInfo", serverReplies, serverPath, record);
}

WorkstationNames FakeNetManagement::workstationNames(NetRecord record) {
  if (!freeCounts.count(record) || freeCounts[record] != 0)
    throw std::logic_error("names read from a record that is not held");
  return {computerName ? computerName->c_str() : nullptr, langroup ? langroup->c_str() : nullptr};
}

void FakeNetManagement::freeBuffer(NetRecord record) {
  if (record == nullptr) {
    Recorder::record("NetApiBufferFree(null)");
    ++nullFrees;
    return;
  }
  const auto found = freeCounts.find(record);
  Recorder::record("NetApiBufferFree(#" +
                   (found == freeCounts.end() ? "?" : std::to_string(*static_cast<int*>(record))) +
                   ")");
  if (found == freeCounts.end()) {
    freedUnknownRecord = true;
    return;
  }
  ++found->second;
}

bool FakeNetManagement::eachRecordReleasedOnce() const {
  return !freedUnknownRecord && std::all_of(freeCounts.begin(), freeCounts.end(),
                                            [](const auto& entry) { return entry.second == 1; });
}

std::uint32_t FakeRegistry::connect(const std::string& machineName, RegKey* root) {
  ++calls;
  if (record("RegConnectRegistryA(" + machineName + ")")) return NetFailure;
  if (connectStatus != 0) return connectStatus;
  *root = RootKey;
  openKeys.insert(RootKey);
  return 0;
}

std::uint32_t FakeRegistry::openKey(RegKey parent, const std::string& subKey, std::uint32_t access,
                                    RegKey* key) {
  ++calls;
  const auto fault = record("RegOpenKeyExA(" + subKey + ")");
  if (!openKeys.count(parent)) throw std::logic_error("opening under a key that is not open");
  openedSubKey = subKey;
  openedAccess = access;
  if (fault) return AccessDenied;
  if (openStatus != 0) return openStatus;
  *key = WinlogonKey;
  openKeys.insert(WinlogonKey);
  return 0;
}

std::uint32_t FakeRegistry::queryValue(RegKey key, const std::string& valueName,
                                       std::uint32_t* type, unsigned char* data,
                                       std::uint32_t* size) {
  ++calls;
  const auto fault = record("RegQueryValueExA(" + valueName + "," + std::to_string(*size) + ")");
  if (!openKeys.count(key)) throw std::logic_error("reading a key that is not open");
  const auto found = values.find(valueName);
  if (fault == 0 || found == values.end()) return FileNotFound;
  const std::string& stored = fault == 1 ? std::string(*size + 1, 'x') : found->second;
  *type = RegSz;
  if (stored.size() > *size) {
    *size = static_cast<std::uint32_t>(stored.size());
    return MoreData;
  }
  std::memcpy(data, stored.data(), stored.size());
  *size = static_cast<std::uint32_t>(stored.size());
  return fault == 2 ? AccessDenied : 0;
}

std::uint32_t FakeRegistry::setValue(RegKey key, const std::string& valueName, std::uint32_t type,
                                     const unsigned char* data, std::uint32_t size) {
  ++calls;
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  const auto fault = record("RegSetValueExA(" + valueName + "," + std::to_string(type) + "," +
                            std::to_string(size) + ")");
  if (!openKeys.count(key)) throw std::logic_error("writing a key that is not open");
  if (fault) return AccessDenied;
  const auto status = setStatuses.find(valueName);
  if (status != setStatuses.end() && status->second != 0) return status->second;
  values[valueName] = bytes;
  writtenTypes[valueName] = type;
  return 0;
}

void FakeRegistry::closeKey(RegKey key) {
  ++calls;
  record(key == RootKey ? "RegCloseKey(root)" : "RegCloseKey(key)");
  if (openKeys.erase(key) != 1) throw std::logic_error("closing a key that is not open");
  closed.push_back(key);
}

FakePlatform::FakePlatform() {
  sockets.addresses["PC01"] = addressOf(10, 1, 2, 3);
  sockets.names[addressOf(10, 1, 2, 3)] = "pc01";
  registry.values["DefaultDomainName"] = std::string("olddom\0", 7);
  registry.values["AltDefaultDomainName"] = std::string("olddom\0", 7);
}

std::uint32_t addressOf(int a, int b, int c, int d) {
  const unsigned char octets[4] = {static_cast<unsigned char>(a), static_cast<unsigned char>(b),
                                   static_cast<unsigned char>(c), static_cast<unsigned char>(d)};
  std::uint32_t address;
  std::memcpy(&address, octets, 4);
  return address;
}

std::string lines(std::initializer_list<std::string> texts) {
  std::string out;
  for (const auto& text : texts) out += text + "\r\n";
  return out;
}

std::string usageText() {
  return lines(
      {"",
       "Use Cairnmark to verify that a remote PC is in the target domain.",
       "",
       "Cairnmark /M {NetBIOS_Name | IP_Address} /T TARGET_DOMAIN ",
       "               [/I] [/S] [/P] [/V | /Q]",
       "",
       "Verifies that a remote PC is in the target domain specified with the /T switch.",
       "Use the /S switch if you want to set the default domain name value to the",
       "target domain. Exits with error code 0 if all goes well.",
       "",
       "/M (required): Specify the host to check",
       "/T (required): Specify the TARGET domain we are migrating to",
       "/S (optional): Set default domain to target domain for next logon",
       "/I (optional): Ignore NetBIOS name mismatch",
       "/P (optional): Ping host to verify online",
       "/V (optional): Verbose: Shows additional information (leading ! in output)",
       "/Q (optional): Quiet: Set errorlevel but display nothing (except syntax errors)",
       "",
       "NOTE: The use of the /S switch does not stop someone from manually selecting",
       "another domain. It simply sets the default. Also, host and domain names should",
       "be NetBIOS names. If a FQDN is passed it will be truncated to the leftmost",
       "label up to the first 15 characters.",
       "",
       "Comments and suggestions are welcome by e-mail: cairnmark-maintainers@example.org"});
}

}  // namespace cairn::fakes
