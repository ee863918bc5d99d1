/* Test-only: lets Wine's serial code use a Linux pseudo-terminal as a COM
 * port. Given to the Wine process by LD_PRELOAD in check.sh, never shipped.
 *
 * Wine 8 waits for received bytes (WaitCommEvent) by polling the port's
 * modem status (TIOCMGET) and the UART's interrupt counts (TIOCGICOUNT). A
 * pty has neither, so the wait ends at once with nothing. Here, for a pty and
 * only where the kernel refuses, the modem status reads as a cable with every
 * line up, the modem lines can be set (and are not), and the counts read as
 * zero (Wine then looks for bytes with TIOCINQ, which a pty has).
 * Everything else goes to the kernel. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <linux/serial.h>
#include <stdarg.h>
#include <string.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

typedef int (*ioctl_fn)(int, unsigned long, ...);

static int is_pty(int fd) {
    struct stat st;
    if (fd < 0 || fstat(fd, &st) != 0 || !S_ISCHR(st.st_mode))
        return 0;
    /* The Unix98 pty slaves: majors 136 to 143. */
    return major(st.st_rdev) >= 136 && major(st.st_rdev) <= 143;
}

int ioctl(int fd, unsigned long request, ...) {
    static ioctl_fn real;
    if (!real)
        real = (ioctl_fn)dlsym(RTLD_NEXT, "ioctl");
    va_list ap;
    va_start(ap, request);
    void* arg = va_arg(ap, void*);
    va_end(ap);

    const int r = real(fd, request, arg);
    if (r == 0)
        return r;
    const int err = errno;
    if (!is_pty(fd)) {
        errno = err;
        return r;
    }
    switch (request) {
    case TIOCMGET:
        *(int*)arg = TIOCM_DTR | TIOCM_RTS | TIOCM_CTS | TIOCM_DSR | TIOCM_CAR;
        return 0;
    case TIOCMSET:
    case TIOCMBIS:
    case TIOCMBIC:
        return 0;
    case TIOCGICOUNT:
        memset(arg, 0, sizeof(struct serial_icounter_struct));
        return 0;
    default:
        errno = err;
        return r;
    }
}
