/* Named pipes over one SMB session through Samba's public DCE/RPC client. */
#include "platform/samba/session.h"

#include <dlfcn.h>
#include <stdbool.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <talloc.h>
#include <tevent.h>

#include <core/ntstatus.h>
#include <credentials.h>
#include <dcerpc.h>
#include <param.h>

/* Exported by libndr-standard; their generated header is not installed. */
extern const struct ndr_interface_table ndr_table_wkssvc;
extern const struct ndr_interface_table ndr_table_srvsvc;
extern const struct ndr_interface_table ndr_table_winreg;

enum { PipeCount = 3 };

static const struct {
  const struct ndr_interface_table* table;
  const char* endpoint;
} Pipes[PipeCount] = {
    {&ndr_table_wkssvc, "\\pipe\\wkssvc"},
    {&ndr_table_srvsvc, "\\pipe\\srvsvc"},
    {&ndr_table_winreg, "\\pipe\\winreg"},
};

struct CairnSession {
  TALLOC_CTX* memory;
  struct tevent_context* events;
  struct loadparm_context* loadparm;
  struct cli_credentials* credentials;
  /* Everything of the current connection hangs below this context, so that dropping it
   * closes the pipes and the SMB session in one step. */
  TALLOC_CTX* connection;
  char* host;
  struct dcerpc_pipe* pipes[PipeCount];
};

static void discardDebugMessage(void* context, int level, const char* message) {
  (void)context;
  (void)level;
  (void)message;
}

/* Samba writes its diagnostics to stderr unless told otherwise, and standard error must stay
 * empty. debug_set_callback is declared in Samba's installed util/debug.h but lives in a
 * private library that libsamba-util loads, so it is looked up through that library's handle
 * (which searches its dependencies) instead of being linked by name. */
static void silenceDiagnostics(void) {
  void* util = dlopen("libsamba-util.so.0", RTLD_NOW | RTLD_NOLOAD);
  if (util == NULL) return;
  typedef void (*SetCallback)(void*, void (*)(void*, int, const char*));
  SetCallback setCallback = (SetCallback)dlsym(util, "debug_set_callback");
  if (setCallback != NULL) setCallback(NULL, discardDebugMessage);
  dlclose(util);
}

/* Credentials as Samba's own client tools guess them (USER, PASSWD, PASSWD_FILE, the
 * Kerberos ticket cache), except that PASSWD_FD is hidden while guessing: it may name
 * standard input, which this tool never reads. */
static bool guessCredentials(struct CairnSession* session) {
  session->credentials = cli_credentials_init(session->memory);
  if (session->credentials == NULL) return false;
  const char* passwordFd = getenv("PASSWD_FD");
  char* savedFd = passwordFd != NULL ? strdup(passwordFd) : NULL;
  if (savedFd != NULL) unsetenv("PASSWD_FD");
  const bool guessed = cli_credentials_guess(session->credentials, session->loadparm);
  if (savedFd != NULL) {
    setenv("PASSWD_FD", savedFd, 1);
    free(savedFd);
  }
  return guessed;
}

struct CairnSession* cairnSessionCreate(void) {
  silenceDiagnostics();
  if (!NT_STATUS_IS_OK(dcerpc_init())) return NULL;
  struct CairnSession* session = talloc_zero(NULL, struct CairnSession);
  if (session == NULL) return NULL;
  session->memory = session;
  session->events = tevent_context_init(session);
  session->loadparm = loadparm_init_global(false);
  if (session->events == NULL || session->loadparm == NULL) {
    talloc_free(session);
    return NULL;
  }
  /* The caller has already resolved the name through the system resolver; Samba must use
   * the same resolver and never fall back to NetBIOS broadcasts or WINS. */
  lpcfg_set_cmdline(session->loadparm, "name resolve order", "host");
  if (!guessCredentials(session)) {
    talloc_free(session);
    return NULL;
  }
  silenceDiagnostics(); /* loading the configuration may have reset the debug setup */
  return session;
}

void cairnSessionDisconnect(struct CairnSession* session) {
  TALLOC_FREE(session->connection);
  for (int i = 0; i < PipeCount; ++i) session->pipes[i] = NULL;
  TALLOC_FREE(session->host);
}

static void deadlineReached(struct tevent_context* events, struct tevent_timer* timer,
                            struct timeval now, void* expired) {
  (void)events;
  (void)timer;
  (void)now;
  *(bool*)expired = true;
}

/* A composite request is finished once its state reaches COMPOSITE_STATE_DONE (2) or
 * COMPOSITE_STATE_ERROR (3). The state is the first member of struct composite_context
 * (libcli/composite/composite.h, unchanged since Samba 4.0); that header is not installed,
 * and the library's own wait knows no deadline, which is why the state is read here. */
static int compositeState(const struct composite_context* request) {
  return *(const int*)request;
}

static bool compositeFinished(const struct composite_context* request) {
  return compositeState(request) >= 2;
}

/* Runs the event loop until the request finishes or the deadline passes. The timer only sets
 * a flag: it may fire inside a nested loop of the library, where freeing anything would pull
 * the stack from under it. */
static bool waitComposite(struct CairnSession* session, struct composite_context* request,
                          unsigned timeoutMs) {
  /* A state outside INIT..ERROR would mean the layout changed: waiting on it could never end,
   * so the request fails instead. */
  if (compositeState(request) < 0 || compositeState(request) > 3) return false;
  bool expired = false;
  struct tevent_timer* timer =
      tevent_add_timer(session->events, request,
                       tevent_timeval_current_ofs(timeoutMs / 1000, (timeoutMs % 1000) * 1000),
                       deadlineReached, &expired);
  if (timer == NULL) return false;
  while (!compositeFinished(request) && !expired) {
    if (tevent_loop_once(session->events) != 0) break;
  }
  /* tevent frees a timer once it has fired; only one that has not fired is ours to free. */
  if (!expired) talloc_free(timer);
  return compositeFinished(request);
}

static uint32_t connectStatus(NTSTATUS status) {
  if (NT_STATUS_EQUAL(status, NT_STATUS_LOGON_FAILURE) ||
      NT_STATUS_EQUAL(status, NT_STATUS_ACCESS_DENIED) ||
      NT_STATUS_EQUAL(status, NT_STATUS_WRONG_PASSWORD))
    return CairnStatusAccessDenied;
  return CairnStatusBadNetPath;
}

static char* bindingText(struct CairnSession* session, const char* host, enum CairnPipe pipe) {
  return talloc_asprintf(session->connection, "ncacn_np:%s[%s]", host, Pipes[pipe].endpoint);
}

static uint32_t openFirstPipe(struct CairnSession* session, const char* host, enum CairnPipe pipe,
                              unsigned timeoutMs) {
  session->connection = talloc_new(session);
  session->host = talloc_strdup(session, host);
  char* binding = bindingText(session, host, pipe);
  if (session->connection == NULL || session->host == NULL || binding == NULL)
    return CairnStatusBadNetPath;
  struct composite_context* request =
      dcerpc_pipe_connect_send(session->connection, binding, Pipes[pipe].table,
                               session->credentials, session->events, session->loadparm);
  if (request == NULL) return CairnStatusBadNetPath;
  if (!waitComposite(session, request, timeoutMs)) return CairnStatusBadNetPath;
  NTSTATUS status = dcerpc_pipe_connect_recv(request, session->connection, &session->pipes[pipe]);
  return NT_STATUS_IS_OK(status) ? 0 : connectStatus(status);
}

static uint32_t openFurtherPipe(struct CairnSession* session, struct dcerpc_pipe* primary,
                                enum CairnPipe pipe, unsigned timeoutMs) {
  struct dcerpc_binding* binding = NULL;
  char* text = bindingText(session, session->host, pipe);
  if (text == NULL || !NT_STATUS_IS_OK(dcerpc_parse_binding(session->connection, text, &binding)))
    return CairnStatusBadNetPath;
  struct composite_context* request = dcerpc_secondary_auth_connection_send(
      primary, binding, Pipes[pipe].table, session->credentials, session->loadparm);
  if (request == NULL) return CairnStatusBadNetPath;
  if (!waitComposite(session, request, timeoutMs)) return CairnStatusBadNetPath;
  NTSTATUS status =
      dcerpc_secondary_auth_connection_recv(request, session->connection, &session->pipes[pipe]);
  return NT_STATUS_IS_OK(status) ? 0 : connectStatus(status);
}

uint32_t cairnSessionOpenPipe(struct CairnSession* session, const char* host, enum CairnPipe pipe,
                              unsigned timeoutMs) {
  if (session->host != NULL && strcmp(session->host, host) != 0) cairnSessionDisconnect(session);
  if (session->pipes[pipe] != NULL) return 0;
  struct dcerpc_pipe* primary = NULL;
  for (int i = 0; i < PipeCount && primary == NULL; ++i) primary = session->pipes[i];
  const uint32_t status = primary != NULL ? openFurtherPipe(session, primary, pipe, timeoutMs)
                                          : openFirstPipe(session, host, pipe, timeoutMs);
  if (status != 0) {
    cairnSessionDisconnect(session);
    return status;
  }
  /* Samba's own limit for a request is a fixed 60 s; the caller's deadline is shorter. */
  dcerpc_binding_handle_set_timeout(session->pipes[pipe]->binding_handle, (timeoutMs + 999) / 1000);
  return 0;
}

uint32_t cairnSessionCall(struct CairnSession* session, enum CairnPipe pipe, uint16_t opnum,
                          const uint8_t* request, size_t requestLength, uint8_t** reply,
                          size_t* replyLength, unsigned timeoutMs) {
  *reply = NULL;
  *replyLength = 0;
  struct dcerpc_pipe* p = session->pipes[pipe];
  if (p == NULL) return CairnStatusBadNetPath;
  TALLOC_CTX* call = talloc_new(session->connection);
  if (call == NULL) return CairnStatusCallFailed;
  struct tevent_req* req = dcerpc_binding_handle_raw_call_send(
      call, session->events, p->binding_handle, NULL, opnum, 0, request, requestLength);
  uint32_t status = CairnStatusCallFailed;
  if (req != NULL &&
      tevent_req_set_endtime(
          req, session->events,
          tevent_timeval_current_ofs(timeoutMs / 1000, (timeoutMs % 1000) * 1000)) &&
      tevent_req_poll(req, session->events)) {
    uint8_t* out = NULL;
    size_t outLength = 0;
    uint32_t outFlags = 0;
    NTSTATUS result = dcerpc_binding_handle_raw_call_recv(req, call, &out, &outLength, &outFlags);
    if (NT_STATUS_IS_OK(result)) {
      *reply = malloc(outLength > 0 ? outLength : 1);
      if (*reply != NULL) {
        if (outLength > 0) memcpy(*reply, out, outLength);
        *replyLength = outLength;
        status = 0;
      }
    } else if (NT_STATUS_EQUAL(result, NT_STATUS_IO_TIMEOUT)) {
      status = CairnStatusTimeout;
    }
  }
  talloc_free(call);
  if (status != 0) cairnSessionDisconnect(session);
  return status;
}
