// The service control manager through ADVAPI32's service functions. Handles travel through the
// logic as opaque integers; every status is the call's own last error.
#include <windows.h>

#include <vector>

#include "platform/service_control.h"
#include "platform/win32/remote_services-win32.h"

namespace cairn {
namespace {

SC_HANDLE handleOf(ScHandle handle) {
  return reinterpret_cast<SC_HANDLE>(handle);
}

std::wstring wide(const std::string& text) {
  if (text.empty()) return {};
  const int units =
      ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring converted(static_cast<std::size_t>(units > 0 ? units : 0), L'\0');
  if (units > 0)
    ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), converted.data(),
                          units);
  return converted;
}

Status lastError() {
  return static_cast<Status>(::GetLastError());
}

void copy(const SERVICE_STATUS& from, ServiceStatus* to) {
  to->serviceType = from.dwServiceType;
  to->currentState = from.dwCurrentState;
  to->controlsAccepted = from.dwControlsAccepted;
  to->win32ExitCode = from.dwWin32ExitCode;
  to->serviceSpecificExitCode = from.dwServiceSpecificExitCode;
  to->checkPoint = from.dwCheckPoint;
  to->waitHint = from.dwWaitHint;
}

class Win32ServiceControl final : public ServiceControl {
 public:
  // An empty name is the local machine, as a null name is to OpenSCManagerW.
  Status openSCManager(const std::string& machineName, std::uint32_t desiredAccess,
                       ScHandle* manager) override {
    const std::wstring name = wide(machineName);
    const SC_HANDLE opened =
        ::OpenSCManagerW(name.empty() ? nullptr : name.c_str(), nullptr, desiredAccess);
    if (opened == nullptr) return lastError();
    *manager = reinterpret_cast<ScHandle>(opened);
    return StatusSuccess;
  }

  Status openService(ScHandle manager, const std::string& serviceName, std::uint32_t desiredAccess,
                     ScHandle* service) override {
    const SC_HANDLE opened =
        ::OpenServiceW(handleOf(manager), wide(serviceName).c_str(), desiredAccess);
    if (opened == nullptr) return lastError();
    *service = reinterpret_cast<ScHandle>(opened);
    return StatusSuccess;
  }

  Status queryServiceStatusEx(ScHandle service, ServiceStatusProcess* status) override {
    SERVICE_STATUS_PROCESS answered{};
    DWORD needed = 0;
    if (!::QueryServiceStatusEx(handleOf(service), SC_STATUS_PROCESS_INFO,
                                reinterpret_cast<BYTE*>(&answered), sizeof answered, &needed))
      return lastError();
    const SERVICE_STATUS common = {answered.dwServiceType,
                                   answered.dwCurrentState,
                                   answered.dwControlsAccepted,
                                   answered.dwWin32ExitCode,
                                   answered.dwServiceSpecificExitCode,
                                   answered.dwCheckPoint,
                                   answered.dwWaitHint};
    copy(common, status);
    status->processId = answered.dwProcessId;
    status->serviceFlags = answered.dwServiceFlags;
    return StatusSuccess;
  }

  // The buffer is of the size asked for, aligned for the structure it holds.
  Status queryServiceConfig(ScHandle service, std::uint32_t bufferSize, ServiceConfig* config,
                            std::uint32_t* bytesNeeded) override {
    std::vector<std::uint64_t> buffer((bufferSize + 7) / 8);
    auto* answered = reinterpret_cast<QUERY_SERVICE_CONFIGW*>(buffer.data());
    DWORD needed = 0;
    if (!::QueryServiceConfigW(handleOf(service), buffer.empty() ? nullptr : answered, bufferSize,
                               &needed)) {
      const Status status = lastError();
      if (status == ERROR_INSUFFICIENT_BUFFER) *bytesNeeded = needed;
      return status;
    }
    *config = {answered->dwServiceType, answered->dwStartType, answered->dwErrorControl};
    return StatusSuccess;
  }

  Status changeServiceConfig(ScHandle service, std::uint32_t startType) override {
    if (!::ChangeServiceConfigW(handleOf(service), SERVICE_NO_CHANGE, startType, SERVICE_NO_CHANGE,
                                nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr))
      return lastError();
    return StatusSuccess;
  }

  Status startService(ScHandle service) override {
    return ::StartServiceW(handleOf(service), 0, nullptr) ? StatusSuccess : lastError();
  }

  Status controlService(ScHandle service, std::uint32_t control, ServiceStatus* status) override {
    SERVICE_STATUS answered{};
    if (!::ControlService(handleOf(service), control, &answered)) return lastError();
    copy(answered, status);
    return StatusSuccess;
  }

  void closeServiceHandle(ScHandle handle) override { ::CloseServiceHandle(handleOf(handle)); }
};

}  // namespace

std::unique_ptr<ServiceControl> makeWin32ServiceControl() {
  return std::make_unique<Win32ServiceControl>();
}

}  // namespace cairn
