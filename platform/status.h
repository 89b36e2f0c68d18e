/* The statuses a platform service can give, each named once, in the table below. The values are
 * Win32 error codes that mean the same on Windows, so a status reads alike whichever backend gave
 * it, and every backend translates its own errors into these at its edge. A status may also hold
 * a code the table does not know: a PC may answer with any WERROR. Plain C, because the Samba
 * transport is C. */
#pragma once

#include <stdint.h>

/* X(enumerator, value, the platform's own name or "" where it has none) */
#define CAIRN_STATUS_TABLE(X)                                                                  \
  X(StatusSuccess, 0, "ERROR_SUCCESS")                                                         \
  /* no such value or key */                                                                   \
  X(StatusFileNotFound, 2, "ERROR_FILE_NOT_FOUND")                                             \
  /* the account lacks the rights */                                                           \
  X(StatusAccessDenied, 5, "ERROR_ACCESS_DENIED")                                              \
  /* no such key, or its connection is gone */                                                 \
  X(StatusInvalidHandle, 6, "ERROR_INVALID_HANDLE")                                            \
  /* a local file could not be written (a journal), for a reason not named below */            \
  X(StatusWriteFault, 29, "ERROR_WRITE_FAULT")                                                 \
  /* nothing answered in time, or no such host */                                              \
  X(StatusBadNetPath, 53, "ERROR_BAD_NETPATH")                                                 \
  /* a required argument is missing */                                                         \
  X(StatusInvalidParameter, 87, "ERROR_INVALID_PARAMETER")                                     \
  /* no room left on the disk of a local file */                                               \
  X(StatusDiskFull, 112, "ERROR_DISK_FULL")                                                    \
  /* the answer needs a larger buffer */                                                       \
  X(StatusInsufficientBuffer, 122, "ERROR_INSUFFICIENT_BUFFER")                                \
  /* the service's pipe is not ready yet: a trigger-started service is starting, try again */  \
  X(StatusPipeBusy, 231, "ERROR_PIPE_BUSY")                                                    \
  /* the PC does not serve that level */                                                       \
  X(StatusInvalidLevel, 124, "ERROR_INVALID_LEVEL")                                            \
  /* the remote-services module is unusable */                                                 \
  X(StatusModNotFound, 126, "ERROR_MOD_NOT_FOUND")                                             \
  /* the value is larger than the buffer */                                                    \
  X(StatusMoreData, 234, "ERROR_MORE_DATA")                                                    \
  /* the PC could not store the value */                                                       \
  X(StatusRegistryIoFailed, 1016, "ERROR_REGISTRY_IO_FAILED")                                  \
  /* the service did not answer its start or control in time */                                \
  X(StatusServiceRequestTimeout, 1053, "ERROR_SERVICE_REQUEST_TIMEOUT")                        \
  /* the service runs already */                                                               \
  X(StatusServiceAlreadyRunning, 1056, "ERROR_SERVICE_ALREADY_RUNNING")                        \
  /* a disabled service cannot start */                                                        \
  X(StatusServiceDisabled, 1058, "ERROR_SERVICE_DISABLED")                                     \
  /* no such service */                                                                        \
  X(StatusServiceDoesNotExist, 1060, "ERROR_SERVICE_DOES_NOT_EXIST")                           \
  /* the service cannot take a control yet (pending): try later */                             \
  X(StatusServiceCannotAcceptCtrl, 1061, "ERROR_SERVICE_CANNOT_ACCEPT_CTRL")                   \
  /* the service is not running */                                                             \
  X(StatusServiceNotActive, 1062, "ERROR_SERVICE_NOT_ACTIVE")                                  \
  /* the PC refused the connection */                                                          \
  X(StatusConnectionRefused, 1225, "ERROR_CONNECTION_REFUSED")                                 \
  /* no KDC of the domain answered */                                                          \
  X(StatusNoLogonServers, 1311, "ERROR_NO_LOGON_SERVERS")                                      \
  /* the credentials were refused */                                                           \
  X(StatusLogonFailure, 1326, "ERROR_LOGON_FAILURE")                                           \
  /* this machine ran out of file descriptors, memory or processes */                          \
  X(StatusNoSystemResources, 1450, "ERROR_NO_SYSTEM_RESOURCES")                                \
  /* a call passed its deadline */                                                             \
  X(StatusTimeout, 1460, "ERROR_TIMEOUT")                                                      \
  /* the service's pipe is not there */                                                        \
  X(StatusRpcServerUnavailable, 1722, "RPC_S_SERVER_UNAVAILABLE")                              \
  /* the call broke or was faulted */                                                          \
  X(StatusRpcCallFailed, 1726, "RPC_S_CALL_FAILED")                                            \
  /* the reply was malformed */                                                                \
  X(StatusRpcBadStubData, 1783, "RPC_X_BAD_STUB_DATA")                                         \
  /* the name or address did not resolve */                                                    \
  X(StatusHostNotFound, 11001, "WSAHOST_NOT_FOUND")                                            \
  /* no echo reply in time */                                                                  \
  X(StatusIpReqTimedOut, 11010, "IP_REQ_TIMED_OUT")                                            \
  /* the echo request could not be sent */                                                     \
  X(StatusIpGeneralFailure, 11050, "IP_GENERAL_FAILURE")                                       \
  /* the echo probe was given a text the address conversion refused (INADDR_NONE); the code is \
   * all ones, as records have always shown it, and Win32 has no name for it */                \
  X(StatusNoAddress, 0xFFFFFFFFu, "")

#ifdef __cplusplus
#include <cstdint>
#include <string_view>
enum CairnStatus : std::uint32_t {
#else
enum CairnStatus {
#endif
#define CAIRN_STATUS_ENUMERATOR(name, value, platformName) name = value,
  CAIRN_STATUS_TABLE(CAIRN_STATUS_ENUMERATOR)
#undef CAIRN_STATUS_ENUMERATOR
};

#ifdef __cplusplus
namespace cairn {

using Status = CairnStatus;

// The platform's own name of a status ("ERROR_ACCESS_DENIED"), or empty text for a status that
// has none or that the table does not know.
std::string_view statusName(Status status);

}  // namespace cairn
#endif
