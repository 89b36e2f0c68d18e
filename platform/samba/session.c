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

#include "platform/common/port_probe.h"
#include "platform/samba/kerberos_profile.h"

/* Exported by libndr-standard; their generated header is not installed. */
extern const struct ndr_interface_table ndr_table_wkssvc;
extern const struct ndr_interface_table ndr_table_srvsvc;
extern const struct ndr_interface_table ndr_table_winreg;
extern const struct ndr_interface_table ndr_table_svcctl;

enum { PipeCount = 4 };

/* SMB over TCP: the port the TCP connect probes, and the only one Samba is told to use. */
enum { SmbPort = CairnSmbPort };

static const struct {
  const struct ndr_interface_table* table;
  const char* endpoint;
} Pipes[PipeCount] = {
    {&ndr_table_wkssvc, "\\pipe\\wkssvc"},
    {&ndr_table_srvsvc, "\\pipe\\srvsvc"},
    {&ndr_table_winreg, "\\pipe\\winreg"},
    {&ndr_table_svcctl, "\\pipe\\svcctl"},
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
  bool readsCompositeState;
};

/* What was under way when Samba answered a status: a time-out, and any status without a cause
 * of its own, means one thing while connecting and another during a call. */
enum Step { Connecting, Calling };

/* The backend's one translation of Samba's statuses into those of platform/status.h. */
static uint32_t statusFromNt(NTSTATUS status, enum Step step) {
  const struct {
    NTSTATUS nt;
    uint32_t status;
  } causes[] = {
      {NT_STATUS_OK, StatusSuccess},
      {NT_STATUS_LOGON_FAILURE, StatusLogonFailure},
      {NT_STATUS_WRONG_PASSWORD, StatusLogonFailure},
      {NT_STATUS_NO_SUCH_USER, StatusLogonFailure},
      {NT_STATUS_ACCOUNT_DISABLED, StatusLogonFailure},
      {NT_STATUS_ACCOUNT_LOCKED_OUT, StatusLogonFailure},
      {NT_STATUS_ACCOUNT_EXPIRED, StatusLogonFailure},
      {NT_STATUS_ACCOUNT_RESTRICTION, StatusLogonFailure},
      {NT_STATUS_INVALID_LOGON_HOURS, StatusLogonFailure},
      {NT_STATUS_INVALID_WORKSTATION, StatusLogonFailure},
      {NT_STATUS_PASSWORD_EXPIRED, StatusLogonFailure},
      {NT_STATUS_PASSWORD_MUST_CHANGE, StatusLogonFailure},
      {NT_STATUS_LOGON_TYPE_NOT_GRANTED, StatusLogonFailure},
      {NT_STATUS_ACCESS_DENIED, StatusAccessDenied},
      {NT_STATUS_NETWORK_ACCESS_DENIED, StatusAccessDenied},
      {NT_STATUS_CONNECTION_REFUSED, StatusConnectionRefused},
      /* A pipe the PC does not offer; for winreg, RemoteRegistry is not running. */
      {NT_STATUS_OBJECT_NAME_NOT_FOUND, StatusRpcServerUnavailable},
      /* Windows answers this while a trigger-started service starts behind the pipe; its own
       * translation of the status is ERROR_PIPE_BUSY, which asks the caller to try again. */
      {NT_STATUS_PIPE_NOT_AVAILABLE, StatusPipeBusy},
      {NT_STATUS_RPC_INTERFACE_NOT_FOUND, StatusRpcServerUnavailable},
      {NT_STATUS_RPC_BAD_STUB_DATA, StatusRpcBadStubData},
      /* Kerberos got no answer from any KDC of the realm (see guessCredentials). */
      {NT_STATUS_NO_LOGON_SERVERS, StatusNoLogonServers},
  };
  for (size_t i = 0; i < sizeof causes / sizeof causes[0]; ++i)
    if (NT_STATUS_EQUAL(status, causes[i].nt)) return causes[i].status;
  /* During the session set-up this is SPNEGO finding no mechanism that both sides accept for
   * the credentials at hand: a PC that refuses NTLM, asked with a password and no ticket. */
  if (step == Connecting && NT_STATUS_EQUAL(status, NT_STATUS_INVALID_PARAMETER))
    return StatusLogonFailure;
  if (step == Connecting) return StatusBadNetPath;
  return NT_STATUS_EQUAL(status, NT_STATUS_IO_TIMEOUT) ? StatusTimeout : StatusRpcCallFailed;
}

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
  /* Without a password only a ticket can log on. Left to choose, SPNEGO would fall back to
   * NTLM when no KDC answers and report that logon's failure, which reads as refused
   * credentials; with Kerberos required, the failure says that no KDC answered. */
  if (guessed && cli_credentials_get_password(session->credentials) == NULL)
    cli_credentials_set_kerberos_state(session->credentials, CRED_USE_KERBEROS_REQUIRED,
                                       CRED_SPECIFIED);
  return guessed;
}

/* A composite request is finished once its state reaches COMPOSITE_STATE_DONE (2) or
 * COMPOSITE_STATE_ERROR (3). The state is the first member of struct composite_context
 * (libcli/composite/composite.h, unchanged since Samba 4.0); that header is not installed, and
 * the library's own wait knows no deadline, which is why the state is read here, and only once
 * compositeStateReadsBack has found it where this code expects it. */
static int compositeState(const struct composite_context* request) {
  return *(const int*)request;
}

static bool compositeFinished(const struct composite_context* request) {
  return compositeState(request) >= 2;
}

/* The layout check: Samba fails a request for a binding text it cannot parse before it returns
 * the request, so the state read back must be failedState. */
static bool compositeStateReadsBack(struct CairnSession* session, int failedState) {
  TALLOC_CTX* scratch = talloc_new(session);
  if (scratch == NULL) return false;
  struct composite_context* request =
      dcerpc_pipe_connect_send(scratch, "ncacn_np:[", Pipes[CairnPipeWkssvc].table,
                               session->credentials, session->events, session->loadparm);
  const bool readsBack = request != NULL && compositeState(request) == failedState;
  talloc_free(scratch);
  return readsBack;
}

struct CairnSession* cairnSessionCreate(int failedState) {
  cairnLayerKerberosProfile(); /* before anything of Samba's reads the Kerberos configuration */
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
   * the same resolver and never fall back to NetBIOS broadcasts or WINS. It connects to the
   * port that the TCP connect has just reached, and to no other. */
  lpcfg_set_cmdline(session->loadparm, "name resolve order", "host");
  lpcfg_set_cmdline(session->loadparm, "smb ports", "445");
  if (!guessCredentials(session)) {
    talloc_free(session);
    return NULL;
  }
  silenceDiagnostics(); /* loading the configuration may have reset the debug setup */
  session->readsCompositeState = compositeStateReadsBack(session, failedState);
  return session;
}

bool cairnSessionReadsCompositeState(const struct CairnSession* session) {
  return session->readsCompositeState;
}

void cairnSessionDestroy(struct CairnSession* session) {
  talloc_free(session);
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

/* Runs the event loop until the request finishes or the deadline passes. The timer only sets
 * a flag: it may fire inside a nested loop of the library, where freeing anything would pull
 * the stack from under it. Where the layout check failed, the request is left to the receive
 * that follows, which waits inside Samba. */
static bool waitComposite(struct CairnSession* session, struct composite_context* request,
                          unsigned timeoutMs) {
  if (!session->readsCompositeState) return true;
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

static char* bindingText(struct CairnSession* session, const char* host, enum CairnPipe pipe) {
  return talloc_asprintf(session->connection, "ncacn_np:%s[%s]", host, Pipes[pipe].endpoint);
}

static uint32_t openFirstPipe(struct CairnSession* session, const char* host, enum CairnPipe pipe,
                              unsigned connectMs, unsigned setupMs) {
  const uint32_t reached = cairnProbeTcpPort(host, SmbPort, connectMs);
  if (reached != StatusSuccess) return reached;
  session->connection = talloc_new(session);
  session->host = talloc_strdup(session, host);
  char* binding = bindingText(session, host, pipe);
  if (session->connection == NULL || session->host == NULL || binding == NULL)
    return StatusBadNetPath;
  struct composite_context* request =
      dcerpc_pipe_connect_send(session->connection, binding, Pipes[pipe].table,
                               session->credentials, session->events, session->loadparm);
  if (request == NULL || !waitComposite(session, request, setupMs)) return StatusBadNetPath;
  return statusFromNt(dcerpc_pipe_connect_recv(request, session->connection, &session->pipes[pipe]),
                      Connecting);
}

static uint32_t openFurtherPipe(struct CairnSession* session, struct dcerpc_pipe* primary,
                                enum CairnPipe pipe, unsigned setupMs) {
  struct dcerpc_binding* binding = NULL;
  char* text = bindingText(session, session->host, pipe);
  if (text == NULL || !NT_STATUS_IS_OK(dcerpc_parse_binding(session->connection, text, &binding)))
    return StatusBadNetPath;
  struct composite_context* request = dcerpc_secondary_auth_connection_send(
      primary, binding, Pipes[pipe].table, session->credentials, session->loadparm);
  if (request == NULL || !waitComposite(session, request, setupMs)) return StatusBadNetPath;
  return statusFromNt(
      dcerpc_secondary_auth_connection_recv(request, session->connection, &session->pipes[pipe]),
      Connecting);
}

uint32_t cairnSessionOpenPipe(struct CairnSession* session, const char* host, enum CairnPipe pipe,
                              unsigned connectMs, unsigned setupMs) {
  if (session->host != NULL && strcmp(session->host, host) != 0) cairnSessionDisconnect(session);
  if (session->pipes[pipe] != NULL) return StatusSuccess;
  struct dcerpc_pipe* primary = NULL;
  for (int i = 0; i < PipeCount && primary == NULL; ++i) primary = session->pipes[i];
  const uint32_t status = primary != NULL ? openFurtherPipe(session, primary, pipe, setupMs)
                                          : openFirstPipe(session, host, pipe, connectMs, setupMs);
  if (status != StatusSuccess) {
    cairnSessionDisconnect(session);
    return status;
  }
  /* Samba's own limit for a request is a fixed 60 s; the caller's deadline is shorter. */
  dcerpc_binding_handle_set_timeout(session->pipes[pipe]->binding_handle, (setupMs + 999) / 1000);
  return StatusSuccess;
}

uint32_t cairnSessionCall(struct CairnSession* session, enum CairnPipe pipe, uint16_t opnum,
                          const uint8_t* request, size_t requestLength, uint8_t** reply,
                          size_t* replyLength, unsigned timeoutMs) {
  *reply = NULL;
  *replyLength = 0;
  struct dcerpc_pipe* p = session->pipes[pipe];
  /* The pipe went with a failed call before: the handles it issued are gone with it. */
  if (p == NULL) return StatusInvalidHandle;
  TALLOC_CTX* call = talloc_new(session->connection);
  if (call == NULL) return StatusRpcCallFailed;
  struct tevent_req* req = dcerpc_binding_handle_raw_call_send(
      call, session->events, p->binding_handle, NULL, opnum, 0, request, requestLength);
  uint32_t status = StatusRpcCallFailed;
  if (req != NULL &&
      tevent_req_set_endtime(
          req, session->events,
          tevent_timeval_current_ofs(timeoutMs / 1000, (timeoutMs % 1000) * 1000)) &&
      tevent_req_poll(req, session->events)) {
    uint8_t* out = NULL;
    size_t outLength = 0;
    uint32_t outFlags = 0;
    status = statusFromNt(
        dcerpc_binding_handle_raw_call_recv(req, call, &out, &outLength, &outFlags), Calling);
    if (status == StatusSuccess) {
      *reply = malloc(outLength > 0 ? outLength : 1);
      if (*reply == NULL) status = StatusRpcCallFailed;
      if (*reply != NULL && outLength > 0) memcpy(*reply, out, outLength);
      if (*reply != NULL) *replyLength = outLength;
    }
  }
  talloc_free(call);
  if (status != StatusSuccess) cairnSessionDisconnect(session);
  return status;
}
