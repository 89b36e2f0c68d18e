/* The transport of the Samba backend: named pipes to one remote machine over one SMB session,
 * opened and called through Samba's public DCE/RPC client with bounded waits. It is C because
 * Samba's public headers are C; the C++ side sees only this interface.
 *
 * Every failure is one of the statuses of platform/status.h, each for its own cause:
 * StatusConnectionRefused (the PC refused the TCP connection), StatusBadNetPath (no such host,
 * or nothing answered within a connect deadline), StatusNoLogonServers (a logon with a ticket
 * only, and no KDC answered), StatusLogonFailure (the credentials were refused),
 * StatusAccessDenied (the account lacks the rights for a pipe or call),
 * StatusRpcServerUnavailable (the PC has no such pipe), StatusTimeout (a call passed its
 * deadline), StatusRpcCallFailed (a call broke or was faulted), StatusRpcBadStubData. */
#pragma once

#include <stdbool.h>
#include <stddef.h>
#include <stdint.h>

#include "platform/status.h"

#ifdef __cplusplus
extern "C" {
#endif

enum CairnPipe {
  CairnPipeWkssvc = 0,
  CairnPipeSrvsvc = 1,
  CairnPipeWinreg = 2,
  CairnPipeSvcctl = 3
};

/* The value of the state field of Samba's struct composite_context once the request has failed
 * (COMPOSITE_STATE_ERROR in libcli/composite/composite.h, a header Samba does not install). */
enum { CairnCompositeStateError = 3 };

struct CairnSession;

/* Initialises the libraries without any configuration file, takes credentials from the
 * environment and the Kerberos ticket cache, and silences Samba's diagnostics. Returns null
 * when the libraries cannot be initialised. Never prompts and never touches stdin, stdout or
 * stderr.
 *
 * A connect waits on Samba's request by reading the request's state, which only pays if the
 * state is where this code expects it. So the session first has Samba fail a request at once
 * and reads its state back: it must read failedState (CairnCompositeStateError). If it does
 * not, the session never reads a request's state, and a connect waits inside Samba instead,
 * bounded by the TCP connect deadline and Samba's own connect time-out (60 s). */
struct CairnSession* cairnSessionCreate(int failedState);

/* True when the layout check passed and connects wait with their own deadline. */
bool cairnSessionReadsCompositeState(const struct CairnSession* session);

/* Drops every pipe and releases everything the session holds. */
void cairnSessionDestroy(struct CairnSession* session);

/* Makes the pipe to host ready, reusing the SMB session of another pipe already open to the
 * same host. A new connection starts with a TCP connect to port 445 bounded by connectMs; the
 * SMB negotiation, session set-up and the pipe's open and bind that follow are bounded by
 * setupMs (so is a further pipe on an open session). On failure every pipe is dropped, so the
 * next call starts from a fresh connection. */
uint32_t cairnSessionOpenPipe(struct CairnSession* session, const char* host, enum CairnPipe pipe,
                              unsigned connectMs, unsigned setupMs);

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
