/* The transport of the Samba backend: named pipes to one remote machine over one SMB session,
 * opened and called through Samba's public DCE/RPC client with bounded waits. It is C because
 * Samba's public headers are C; the C++ side sees only this interface. */
#pragma once

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

enum CairnPipe { CairnPipeWkssvc = 0, CairnPipeSrvsvc = 1, CairnPipeWinreg = 2 };

/* Statuses of the transport; every failure is non-zero. The values are Win32 error codes
 * that mean the same on Windows, so a status reads alike whichever backend gave it. */
enum {
  CairnStatusAccessDenied = 5, /* ERROR_ACCESS_DENIED: the session was refused */
  CairnStatusBadNetPath = 53,  /* ERROR_BAD_NETPATH: no session (unresolved, refused,
                                  silent, or the library is unusable) */
  CairnStatusTimeout = 1460,   /* ERROR_TIMEOUT: a call passed its deadline */
  CairnStatusCallFailed = 1726 /* RPC_S_CALL_FAILED: the call broke or was faulted */
};

struct CairnSession;

/* Initialises the libraries without any configuration file, takes credentials from the
 * environment and the Kerberos ticket cache, and silences Samba's diagnostics. Returns null
 * when the libraries cannot be initialised. Never prompts and never touches stdin, stdout or
 * stderr. */
struct CairnSession* cairnSessionCreate(void);

/* Makes the pipe to host ready, reusing the SMB session of another pipe already open to the
 * same host. Waits at most timeoutMs; on failure every pipe is dropped, so the next call
 * starts from a fresh connection. */
uint32_t cairnSessionOpenPipe(struct CairnSession* session, const char* host, enum CairnPipe pipe,
                              unsigned timeoutMs);

/* One request on an open pipe, waiting at most timeoutMs. On success *reply holds the reply's
 * stub data, allocated with malloc (release it with free). A transport failure or a time-out
 * drops every pipe, because the connection is then in an unknown state. */
uint32_t cairnSessionCall(struct CairnSession* session, enum CairnPipe pipe, uint16_t opnum,
                          const uint8_t* request, size_t requestLength, uint8_t** reply,
                          size_t* replyLength, unsigned timeoutMs);

/* Drops every pipe and the SMB session. */
void cairnSessionDisconnect(struct CairnSession* session);

#ifdef __cplusplus
}
#endif
