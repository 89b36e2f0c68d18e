/* The boundary between the programs and cairnmark-samba.so, which they load with dlopen: plain C
 * only. The module is Samba's client transport (session.h) and nothing else; the programs keep
 * the codecs and services over it. No C++ type and no allocation crosses in either direction
 * (a reply is released by the module that made it), so each side's C++ runtime is its own. */
#pragma once

#include <stdint.h>

#include "platform/samba/session.h"

#define CAIRN_SAMBA_MODULE_FILE "cairnmark-samba.so"
#define CAIRN_SAMBA_MODULE_ENTRY "cairnmarkSambaModule"
/* Raised whenever a member of struct CairnSambaModule is added, removed or changed: a program
 * refuses a module of another version as it refuses a missing one. */
#define CAIRN_SAMBA_MODULE_VERSION 1u

#ifdef __cplusplus
extern "C" {
#endif

/* The transport's functions, as session.h describes them. */
struct CairnSambaModule {
  uint32_t version; /* CAIRN_SAMBA_MODULE_VERSION */
  struct CairnSession* (*create)(int failedState);
  void (*destroy)(struct CairnSession* session);
  uint32_t (*openPipe)(struct CairnSession* session, const char* host, enum CairnPipe pipe,
                       unsigned connectMs, unsigned setupMs);
  uint32_t (*call)(struct CairnSession* session, enum CairnPipe pipe, uint16_t opnum,
                   const uint8_t* request, size_t requestLength, uint8_t** reply,
                   size_t* replyLength, unsigned timeoutMs);
  /* Releases a reply that call handed out. */
  void (*freeReply)(uint8_t* reply);
  void (*disconnect)(struct CairnSession* session);
};

/* The module's one exported function (CAIRN_SAMBA_MODULE_ENTRY): its table, which lives as long
 * as the module is mapped. */
const struct CairnSambaModule* cairnmarkSambaModule(void);
typedef const struct CairnSambaModule* (*CairnSambaModuleEntry)(void);

#ifdef __cplusplus
}
#endif
