#include "tests/fakes/fake_service_control.h"

#include <algorithm>
#include <cstdio>
#include <stdexcept>

#include "platform/status.h"

namespace cairn::fakes {
namespace {

constexpr std::uint32_t ControlRights = ServiceChangeConfig | ServiceStart | ServiceStop;

std::string hex(std::uint32_t value) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%x", value);
  return text;
}

}  // namespace

BeforeChange FakeServiceControl::journal() {
  return [this](RegistryServiceChange change) {
    log.push_back(change == RegistryServiceChange::Enable ? "journal(enable)" : "journal(start)");
    return std::find(journalRefuses.begin(), journalRefuses.end(), change) == journalRefuses.end();
  };
}

std::string FakeServiceControl::service() const {
  return registryServiceText(state, startType);
}

bool FakeServiceControl::leftClean() const {
  for (const auto& [handle, closes] : handles_)
    if (closes != 1) return false;
  return strayCloses_ == 0;
}

void FakeServiceControl::sleepMs(std::uint32_t milliseconds) {
  log.push_back("Sleep(" + std::to_string(milliseconds) + ")");
  now += milliseconds;
}

// Logs the call and gives its scripted failure, if any. A call on a handle that is not held is a
// fault of the code under test, not a status.
Status FakeServiceControl::call(const std::string& name, const std::string& arguments,
                                ScHandle handle) {
  log.push_back(name + "(" + arguments + ")");
  if (handle != 0) {
    const auto found = handles_.find(handle);
    if (found == handles_.end() || found->second != 0)
      throw std::logic_error("a handle that is not held: " + log.back());
  }
  auto& queue = failing[name];
  if (queue.empty()) return StatusSuccess;
  const auto status = static_cast<Status>(queue.front());
  queue.pop_front();
  return status;
}

void FakeServiceControl::settle() {
  if ((state == ServiceStartPending || state == ServiceStopPending) && now >= pendingUntil_)
    state = (state == ServiceStopPending && !restartsAfterStop) || startFails ? ServiceStopped
                                                                              : ServiceRunning;
}

void FakeServiceControl::fill(ServiceStatus* status) const {
  *status = {};
  status->serviceType = 0x20;  // SERVICE_WIN32_SHARE_PROCESS
  status->currentState = state;
  status->waitHint = state == ServiceStartPending || state == ServiceStopPending ? waitHint : 0;
  status->win32ExitCode = state == ServiceStopped && startFails ? exitCode : 0;
}

Status FakeServiceControl::openSCManager(const std::string& machineName,
                                         std::uint32_t desiredAccess, ScHandle* manager) {
  if (const Status status = call("OpenSCManagerW", machineName + "," + hex(desiredAccess), 0))
    return status;
  *manager = 100 + handles_.size();
  handles_[*manager] = 0;
  return StatusSuccess;
}

Status FakeServiceControl::openService(ScHandle manager, const std::string& serviceName,
                                       std::uint32_t desiredAccess, ScHandle* service) {
  if (const Status status = call("OpenServiceW", serviceName + "," + hex(desiredAccess), manager))
    return status;
  if (!exists) return StatusServiceDoesNotExist;
  if (controlDenied && (desiredAccess & ControlRights) != 0) return StatusAccessDenied;
  *service = 100 + handles_.size();
  handles_[*service] = 0;
  return StatusSuccess;
}

Status FakeServiceControl::queryServiceStatusEx(ScHandle service, ServiceStatusProcess* status) {
  if (const Status failure = call("QueryServiceStatusEx", "", service)) return failure;
  settle();
  fill(status);
  return StatusSuccess;
}

Status FakeServiceControl::queryServiceConfig(ScHandle service, std::uint32_t bufferSize,
                                              ServiceConfig* config, std::uint32_t* bytesNeeded) {
  if (const Status status = call("QueryServiceConfigW", std::to_string(bufferSize), service))
    return status;
  if (bufferSize < configSize) {
    *bytesNeeded = configSize;
    return StatusInsufficientBuffer;
  }
  *config = {0x20, startType, 1};
  return StatusSuccess;
}

Status FakeServiceControl::changeServiceConfig(ScHandle service, std::uint32_t type) {
  if (const Status status = call("ChangeServiceConfigW", std::to_string(type), service))
    return status;
  startType = type;
  return StatusSuccess;
}

Status FakeServiceControl::startService(ScHandle service) {
  if (const Status status = call("StartServiceW", "", service)) return status;
  if (raceStart) state = ServiceRunning;
  if (startType == ServiceDisabled) return StatusServiceDisabled;
  if (state != ServiceStopped) return StatusServiceAlreadyRunning;
  state = ServiceStartPending;
  pendingUntil_ = now + startPendingMs;
  return StatusSuccess;
}

Status FakeServiceControl::controlService(ScHandle service, std::uint32_t control,
                                          ServiceStatus* status) {
  if (const Status failure = call("ControlService", std::to_string(control), service))
    return failure;
  settle();
  if (busyControls > 0 || state == ServiceStartPending || state == ServiceStopPending) {
    if (busyControls > 0) --busyControls;
    return StatusServiceCannotAcceptCtrl;
  }
  if (state == ServiceStopped) return StatusServiceNotActive;
  state = ServiceStopPending;
  pendingUntil_ = now + stopPendingMs;
  fill(status);
  return StatusSuccess;
}

void FakeServiceControl::closeServiceHandle(ScHandle handle) {
  log.push_back("CloseServiceHandle");
  const auto found = handles_.find(handle);
  if (found == handles_.end()) return void(++strayCloses_);
  ++found->second;
}

}  // namespace cairn::fakes
