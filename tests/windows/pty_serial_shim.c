/* Test infrastructure for the Windows tests under Wine, never shipped.
 *
 * Wine maps a COM port to any tty, a pseudo-terminal included, but its
 * WaitCommEvent polls the serial line with TIOCMGET, TIOCGICOUNT and
 * TIOCSERGETLSR, which a pty refuses (ENOTTY): the wait then ends at once with no
 * event. Preloaded into Wine (LD_PRELOAD), this library answers the three for
 * descriptors of pseudo-terminals (/dev/pts/N) the way a quiet serial line would:
 *   TIOCMGET       CTS + DSR + CD on,
 *   TIOCGICOUNT    the receive counter = bytes read from the descriptor so far +
 *                  bytes waiting (FIONREAD), so that it grows exactly when data
 *                  arrives; every other counter 0,
 *   TIOCSERGETLSR  transmitter empty.
 * Everything else goes to the C library unchanged. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <linux/serial.h>
#include <stdarg.h>
#include <stdatomic.h>
#include <stdio.h>
#include <string.h>
#include <sys/ioctl.h>
#include <sys/uio.h>
#include <unistd.h>

#define MAX_FDS 4096
static atomic_ullong bytes_read[MAX_FDS];

static int is_pts(int fd)
{
    char link[64], target[64];
    snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    ssize_t n = readlink(link, target, sizeof target - 1);
    if (n <= 0)
        return 0;
    target[n] = '\0';
    return strncmp(target, "/dev/pts/", 9) == 0;
}

static void count_read(int fd, ssize_t n)
{
    if (n > 0 && fd >= 0 && fd < MAX_FDS)
        atomic_fetch_add(&bytes_read[fd], (unsigned long long)n);
}

ssize_t read(int fd, void* buf, size_t count)
{
    static ssize_t (*real)(int, void*, size_t);
    if (!real)
        real = (ssize_t(*)(int, void*, size_t))dlsym(RTLD_NEXT, "read");
    ssize_t n = real(fd, buf, count);
    count_read(fd, n);
    return n;
}

ssize_t readv(int fd, const struct iovec* iov, int iovcnt)
{
    static ssize_t (*real)(int, const struct iovec*, int);
    if (!real)
        real = (ssize_t(*)(int, const struct iovec*, int))dlsym(RTLD_NEXT, "readv");
    ssize_t n = real(fd, iov, iovcnt);
    count_read(fd, n);
    return n;
}

int ioctl(int fd, unsigned long request, ...)
{
    static int (*real)(int, unsigned long, ...);
    if (!real)
        real = (int (*)(int, unsigned long, ...))dlsym(RTLD_NEXT, "ioctl");
    va_list ap;
    va_start(ap, request);
    void* arg = va_arg(ap, void*);
    va_end(ap);

    if (request != TIOCMGET && request != TIOCGICOUNT && request != TIOCSERGETLSR)
        return real(fd, request, arg);
    int saved = errno;
    int rc = real(fd, request, arg);
    if (rc == 0 || (errno != ENOTTY && errno != EINVAL) || !is_pts(fd))
        return rc;
    errno = saved;
    if (request == TIOCMGET) {
        *(int*)arg = TIOCM_CTS | TIOCM_DSR | TIOCM_CD;
    } else if (request == TIOCSERGETLSR) {
        *(int*)arg = TIOCSER_TEMT;
    } else {
        int waiting = 0;
        if (real(fd, FIONREAD, &waiting) != 0)
            waiting = 0;
        struct serial_icounter_struct* c = arg;
        memset(c, 0, sizeof *c);
        unsigned long long total = fd < MAX_FDS ? atomic_load(&bytes_read[fd]) : 0;
        c->rx = (int)(total + (unsigned long long)waiting);
    }
    return 0;
}
