/* The statuses a platform service can give, each named once. The values are Win32 error codes
 * that mean the same on Windows, so a status reads alike whichever backend gave it, and every
 * backend translates its own errors into these at its edge. Plain C, because the Samba
 * transport is C. */
#pragma once

#include <stdint.h>

enum CairnStatus {
  StatusSuccess = 0,
  StatusFileNotFound = 2,           /* ERROR_FILE_NOT_FOUND: no such value or key */
  StatusAccessDenied = 5,           /* ERROR_ACCESS_DENIED: the account lacks the rights */
  StatusInvalidHandle = 6,          /* ERROR_INVALID_HANDLE: no such key, or its connection is gone */
  StatusBadNetPath = 53,            /* ERROR_BAD_NETPATH: nothing answered in time, or no such host */
  StatusInvalidParameter = 87,      /* ERROR_INVALID_PARAMETER: a required argument is missing */
  StatusInvalidLevel = 124,        /* ERROR_INVALID_LEVEL: the PC does not serve that level */
  StatusModNotFound = 126,          /* ERROR_MOD_NOT_FOUND: the remote-services module is unusable */
  StatusMoreData = 234,             /* ERROR_MORE_DATA: the value is larger than the buffer */
  StatusRegistryIoFailed = 1016,    /* ERROR_REGISTRY_IO_FAILED: the PC could not store the value */
  StatusConnectionRefused = 1225,   /* ERROR_CONNECTION_REFUSED: the PC refused the connection */
  StatusNoLogonServers = 1311,      /* ERROR_NO_LOGON_SERVERS: no KDC of the domain answered */
  StatusLogonFailure = 1326,        /* ERROR_LOGON_FAILURE: the credentials were refused */
  StatusNoSystemResources = 1450,   /* ERROR_NO_SYSTEM_RESOURCES: this machine ran out of file
                                       descriptors, memory or processes */
  StatusTimeout = 1460,             /* ERROR_TIMEOUT: a call passed its deadline */
  StatusRpcServerUnavailable = 1722, /* RPC_S_SERVER_UNAVAILABLE: the service's pipe is not there */
  StatusRpcCallFailed = 1726,       /* RPC_S_CALL_FAILED: the call broke or was faulted */
  StatusRpcBadStubData = 1783,      /* RPC_X_BAD_STUB_DATA: the reply was malformed */
  StatusHostNotFound = 11001,       /* WSAHOST_NOT_FOUND: the name or address did not resolve */
  StatusIpReqTimedOut = 11010,      /* IP_REQ_TIMED_OUT: no echo reply in time */
  StatusIpGeneralFailure = 11050    /* IP_GENERAL_FAILURE: the echo request could not be sent */
};

#ifdef __cplusplus
#include <string_view>

namespace cairn {

// The platform's own name of a status ("ERROR_ACCESS_DENIED"), or empty text for a status this
// table does not know: a PC may answer with any WERROR.
std::string_view statusName(std::uint32_t status);

}  // namespace cairn
#endif
