#include "platform/status.h"

namespace cairn {

std::string_view statusName(std::uint32_t status) {
  switch (status) {
    case StatusSuccess: return "ERROR_SUCCESS";
    case StatusFileNotFound: return "ERROR_FILE_NOT_FOUND";
    case StatusAccessDenied: return "ERROR_ACCESS_DENIED";
    case StatusInvalidHandle: return "ERROR_INVALID_HANDLE";
    case StatusBadNetPath: return "ERROR_BAD_NETPATH";
    case StatusInvalidParameter: return "ERROR_INVALID_PARAMETER";
    case StatusModNotFound: return "ERROR_MOD_NOT_FOUND";
    case StatusMoreData: return "ERROR_MORE_DATA";
    case StatusRegistryIoFailed: return "ERROR_REGISTRY_IO_FAILED";
    case StatusConnectionRefused: return "ERROR_CONNECTION_REFUSED";
    case StatusNoLogonServers: return "ERROR_NO_LOGON_SERVERS";
    case StatusLogonFailure: return "ERROR_LOGON_FAILURE";
    case StatusNoSystemResources: return "ERROR_NO_SYSTEM_RESOURCES";
    case StatusTimeout: return "ERROR_TIMEOUT";
    case StatusRpcServerUnavailable: return "RPC_S_SERVER_UNAVAILABLE";
    case StatusRpcCallFailed: return "RPC_S_CALL_FAILED";
    case StatusRpcBadStubData: return "RPC_X_BAD_STUB_DATA";
    case StatusHostNotFound: return "WSAHOST_NOT_FOUND";
    case StatusInvalidLevel: return "ERROR_INVALID_LEVEL";
    case StatusIpReqTimedOut: return "IP_REQ_TIMED_OUT";
    case StatusIpGeneralFailure: return "IP_GENERAL_FAILURE";
    default: return {};
  }
}

}  // namespace cairn
