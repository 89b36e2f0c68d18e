#ifndef _GNU_SOURCE
#define _GNU_SOURCE /* memfd_create */
#endif
#include "platform/samba/kerberos_profile.h"

#include <stdbool.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/mman.h>
#include <unistd.h>

/* Samba's Heimdal waits for a KDC in select() rounds of one second and checks its time-out
 * after each, so one try lasts up to kdc_timeout + 1 s. A session set-up whose KDC is silent
 * made two tries in measurements, so one second each keeps both within the 5 s set-up bound.
 * max_retries bounds the same wait where the request goes over UDP. A profile read first wins
 * for the settings it names. */
static const char Profile[] =
    "[libdefaults]\n"
    "\tkdc_timeout = 1\n"
    "\tmax_retries = 1\n";

/* What Samba's Heimdal reads when KRB5_CONFIG is not set. */
static const char DefaultFiles[] = "~/.krb5/config:/etc/krb5.conf";

static const char ProfileVariable[] = "KRB5_CONFIG";

/* An anonymous file of the process rather than a file on disk: nothing is left behind however
 * the process ends, and a fleet worker forked later reads it through the same path, since
 * /proc/self names each process's own descriptors. The descriptor stays open for the life of
 * the process, because the library reads its configuration again for every context it makes. */
static int profileDescriptor(void) {
  const int fd = memfd_create("cairnmark-krb5.conf", MFD_CLOEXEC);
  if (fd < 0) return -1;
  const size_t size = sizeof Profile - 1;
  if (write(fd, Profile, size) != (ssize_t)size) {
    close(fd);
    return -1;
  }
  return fd;
}

void cairnLayerKerberosProfile(void) {
  static bool layered = false;
  if (layered) return;
  layered = true;
  const int fd = profileDescriptor();
  if (fd < 0) return;
  const char* given = getenv(ProfileVariable);
  const char* rest = given != NULL && *given != '\0' ? given : DefaultFiles;
  const int length = snprintf(NULL, 0, "/proc/self/fd/%d:%s", fd, rest);
  char* files = length < 0 ? NULL : malloc((size_t)length + 1);
  if (files == NULL) {
    close(fd);
    return;
  }
  snprintf(files, (size_t)length + 1, "/proc/self/fd/%d:%s", fd, rest);
  if (setenv(ProfileVariable, files, 1) != 0) close(fd);
  free(files);
}
