/* The service control manager across the module boundary, in plain C: fixed structures and a
 * table of functions over the module's own context, so that the loading binary and the module
 * share no C++ type for this service. Handles are the module's own numbers, 0 being none. */
#pragma once

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* SERVICE_STATUS_PROCESS. */
struct CairnServiceStatus {
  uint32_t serviceType;
  uint32_t currentState;
  uint32_t controlsAccepted;
  uint32_t win32ExitCode;
  uint32_t serviceSpecificExitCode;
  uint32_t checkPoint;
  uint32_t waitHint;
  uint32_t processId;
  uint32_t serviceFlags;
};

/* The fixed part of QUERY_SERVICE_CONFIGW. */
struct CairnServiceConfig {
  uint32_t serviceType;
  uint32_t startType;
  uint32_t errorControl;
};

/* Each function answers a status of platform/status.h, as the calls of platform/service_control.h
 * of the same names do. */
struct CairnServiceCalls {
  void* context;
  uint32_t (*openSCManager)(void* context, const char* machineName, uint32_t desiredAccess,
                            uint64_t* manager);
  uint32_t (*openService)(void* context, uint64_t manager, const char* serviceName,
                          uint32_t desiredAccess, uint64_t* service);
  uint32_t (*queryServiceStatusEx)(void* context, uint64_t service,
                                   struct CairnServiceStatus* status);
  uint32_t (*queryServiceConfig)(void* context, uint64_t service, uint32_t bufferSize,
                                 struct CairnServiceConfig* config, uint32_t* bytesNeeded);
  uint32_t (*changeServiceConfig)(void* context, uint64_t service, uint32_t startType);
  uint32_t (*startService)(void* context, uint64_t service);
  uint32_t (*controlService)(void* context, uint64_t service, uint32_t control,
                             struct CairnServiceStatus* status);
  void (*closeServiceHandle)(void* context, uint64_t handle);
};

#ifdef __cplusplus
}
#endif
