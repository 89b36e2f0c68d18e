/* A bounded TCP connect to the SMB port of a remote machine, made before Samba's module is
 * loaded and again before Samba's own connect. Samba's connect has no deadline short enough for
 * a machine that drops every packet, and its failures do not tell a refused connection from a
 * silent machine; this probe does both, and a machine that is not there costs no more than the
 * connect attempt. It is callable from C, because the Samba transport is C. */
#pragma once

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Resolves host through the system resolver, connects to its first IPv4 address at port within
 * timeoutMs, and closes the connection again. Answers StatusSuccess, StatusConnectionRefused,
 * StatusNoSystemResources (this machine is out of descriptors or memory), or StatusBadNetPath
 * (the name does not resolve, there is no route, or nothing answered in time). */
uint32_t cairnProbeTcpPort(const char* host, uint16_t port, unsigned timeoutMs);

/* SMB over TCP, and the deadline of its connect: room for one retransmitted SYN. */
enum { CairnSmbPort = 445, CairnSmbConnectTimeoutMs = 2000 };

#ifdef __cplusplus
}
#endif
