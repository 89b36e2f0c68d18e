/* The entry point of cairnmark-samba.so: the transport's functions in one table. */
#include "platform/samba/module.h"

#include <stdlib.h>

static void freeReply(uint8_t* reply) {
  free(reply);
}

static const struct CairnSambaModule Module = {
    CAIRN_SAMBA_MODULE_VERSION, cairnSessionCreate, cairnSessionDestroy, cairnSessionOpenPipe,
    cairnSessionCall,           freeReply,          cairnSessionDisconnect};

__attribute__((visibility("default"))) const struct CairnSambaModule* cairnmarkSambaModule(void) {
  return &Module;
}
