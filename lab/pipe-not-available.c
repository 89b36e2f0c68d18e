/* Preloaded into a lab PC's smbd so that a named pipe whose server closes the connection unread
 * answers STATUS_PIPE_NOT_AVAILABLE, as the pipe of a Windows service that is being started by
 * its trigger does. smbd would report NT_STATUS_CONNECTION_RESET, which no Windows PC gives
 * there. libsmbd-base calls both functions through its PLT, so these definitions win. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <stddef.h>
#include <stdint.h>

/* An errno value no system call gives, carried from the connect to the status translation. */
enum { PipeNotAvailableErrno = 0x7ac };

enum { StatusPipeNotAvailable = 0xC00000AC };

typedef int (*LocalNpConnect)(uintptr_t, uintptr_t, uintptr_t, uintptr_t, uintptr_t, uintptr_t,
                              uintptr_t, uintptr_t, uintptr_t, uintptr_t);
typedef uint32_t (*MapNtError)(int);

/* Samba's local_np_connect takes ten arguments, each passed in a register or an eight-byte
 * stack slot on x86-64, so they are handed on unchanged without Samba's headers. */
int local_np_connect(uintptr_t a1, uintptr_t a2, uintptr_t a3, uintptr_t a4, uintptr_t a5,
                     uintptr_t a6, uintptr_t a7, uintptr_t a8, uintptr_t a9, uintptr_t a10) {
  static LocalNpConnect real;
  if (real == NULL) real = (LocalNpConnect)dlsym(RTLD_NEXT, "local_np_connect");
  if (real == NULL) return ENOSYS;
  const int result = real(a1, a2, a3, a4, a5, a6, a7, a8, a9, a10);
  return result == ECONNRESET ? PipeNotAvailableErrno : result;
}

uint32_t map_nt_error_from_unix(int error) {
  static MapNtError real;
  if (error == PipeNotAvailableErrno) return StatusPipeNotAvailable;
  if (real == NULL) real = (MapNtError)dlsym(RTLD_NEXT, "map_nt_error_from_unix");
  return real != NULL ? real(error) : StatusPipeNotAvailable;
}
