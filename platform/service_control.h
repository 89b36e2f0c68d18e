// The service control manager of a remote machine, call for call as ADVAPI32 offers it: open the
// manager and a service, read a service's status and start type, change its start type, start it,
// send it a control, close a handle. Every status is one of platform/status.h.
#pragma once

#include <cstdint>
#include <string>

#include "platform/status.h"

namespace cairn {

using ScHandle = std::uintptr_t;  // SC_HANDLE; 0 is no handle

// Access rights.
inline constexpr std::uint32_t ScManagerConnect = 0x0001;     // SC_MANAGER_CONNECT
inline constexpr std::uint32_t ServiceQueryConfig = 0x0001;   // SERVICE_QUERY_CONFIG
inline constexpr std::uint32_t ServiceChangeConfig = 0x0002;  // SERVICE_CHANGE_CONFIG
inline constexpr std::uint32_t ServiceQueryStatus = 0x0004;   // SERVICE_QUERY_STATUS
inline constexpr std::uint32_t ServiceStart = 0x0010;         // SERVICE_START
inline constexpr std::uint32_t ServiceStop = 0x0020;          // SERVICE_STOP

// Start types (SERVICE_BOOT_START .. SERVICE_DISABLED).
inline constexpr std::uint32_t ServiceBootStart = 0;
inline constexpr std::uint32_t ServiceSystemStart = 1;
inline constexpr std::uint32_t ServiceAutoStart = 2;
inline constexpr std::uint32_t ServiceDemandStart = 3;
inline constexpr std::uint32_t ServiceDisabled = 4;

// Current states (SERVICE_STOPPED .. SERVICE_PAUSED).
inline constexpr std::uint32_t ServiceStopped = 1;
inline constexpr std::uint32_t ServiceStartPending = 2;
inline constexpr std::uint32_t ServiceStopPending = 3;
inline constexpr std::uint32_t ServiceRunning = 4;
inline constexpr std::uint32_t ServiceContinuePending = 5;
inline constexpr std::uint32_t ServicePausePending = 6;
inline constexpr std::uint32_t ServicePaused = 7;

inline constexpr std::uint32_t ServiceControlStop = 1;  // SERVICE_CONTROL_STOP

// SERVICE_STATUS, as ControlService reports it.
struct ServiceStatus {
  std::uint32_t serviceType = 0;
  std::uint32_t currentState = 0;
  std::uint32_t controlsAccepted = 0;
  std::uint32_t win32ExitCode = 0;
  std::uint32_t serviceSpecificExitCode = 0;
  std::uint32_t checkPoint = 0;
  std::uint32_t waitHint = 0;  // milliseconds
};

// SERVICE_STATUS_PROCESS, as QueryServiceStatusEx reports it.
struct ServiceStatusProcess : ServiceStatus {
  std::uint32_t processId = 0;
  std::uint32_t serviceFlags = 0;
};

// The part of QUERY_SERVICE_CONFIGW that this program reads; the strings stay behind.
struct ServiceConfig {
  std::uint32_t serviceType = 0;
  std::uint32_t startType = 0;
  std::uint32_t errorControl = 0;
};

class ServiceControl {
 public:
  virtual ~ServiceControl() = default;

  // OpenSCManagerW for the machine named by a narrow server path ("\\NAME") and the active
  // database. StatusSuccess means *manager is set.
  virtual Status openSCManager(const std::string& machineName, std::uint32_t desiredAccess,
                               ScHandle* manager) = 0;

  // OpenServiceW by the service's key name. StatusSuccess means *service is set.
  virtual Status openService(ScHandle manager, const std::string& serviceName,
                             std::uint32_t desiredAccess, ScHandle* service) = 0;

  // QueryServiceStatusEx at level SC_STATUS_PROCESS_INFO.
  virtual Status queryServiceStatusEx(ScHandle service, ServiceStatusProcess* status) = 0;

  // QueryServiceConfigW with a buffer of bufferSize bytes. StatusInsufficientBuffer sets
  // *bytesNeeded to the size that holds the configuration.
  virtual Status queryServiceConfig(ScHandle service, std::uint32_t bufferSize,
                                    ServiceConfig* config, std::uint32_t* bytesNeeded) = 0;

  // ChangeServiceConfigW of the start type alone: SERVICE_NO_CHANGE for the service type and
  // error control, null for every string and the tag.
  virtual Status changeServiceConfig(ScHandle service, std::uint32_t startType) = 0;

  // StartServiceW without arguments.
  virtual Status startService(ScHandle service) = 0;

  // ControlService; *status is the service's status as the manager answered it.
  virtual Status controlService(ScHandle service, std::uint32_t control, ServiceStatus* status) = 0;

  // CloseServiceHandle; the result is ignored.
  virtual void closeServiceHandle(ScHandle handle) = 0;
};

}  // namespace cairn
