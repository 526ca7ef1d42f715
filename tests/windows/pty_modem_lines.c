// SPDX-License-Identifier: MIT
/* Modem lines for pseudo-terminals, preloaded into Wine by scripts/wine-run
 * for the Windows tests only; never installed or shipped.
 *
 * The serial-path tests give Wine pseudo-terminals as COM ports. Wine's serial
 * driver asks the device for its modem status and interrupt counters while it
 * waits for data (TIOCMGET, TIOCGICOUNT, TIOCSERGETLSR). A pty has no modem
 * lines and refuses these with ENOTTY; Wine then fails the wait, and the
 * program sees its port fail right after opening it. A UART answers them.
 *
 * This library answers exactly those three requests, and only when the real
 * ioctl has refused them with ENOTTY, as a UART without modem lines would:
 * DSR, CTS and carrier detect set, all interrupt counters zero, transmitter
 * empty. Every other request, every other error, and all reading and writing
 * go to the device untouched.
 */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <linux/serial.h>
#include <stdarg.h>
#include <string.h>
#include <sys/ioctl.h>

typedef int (*ioctl_fn)(int, unsigned long, ...);

static ioctl_fn real_ioctl(void)
{
    static ioctl_fn real;
    if (!real)
        real = (ioctl_fn)dlsym(RTLD_NEXT, "ioctl");
    return real;
}

/* Fills in the answer a UART without modem lines gives; 0 when `request` is
 * one of the three, -1 otherwise. */
static int answer(unsigned long request, void *arg)
{
    switch (request) {
    case TIOCMGET:
        *(int *)arg = TIOCM_DSR | TIOCM_CTS | TIOCM_CAR;
        return 0;
    case TIOCGICOUNT:
        memset(arg, 0, sizeof(struct serial_icounter_struct));
        return 0;
    case TIOCSERGETLSR:
        *(unsigned int *)arg = TIOCSER_TEMT;
        return 0;
    default:
        return -1;
    }
}

int ioctl(int fd, unsigned long request, ...)
{
    va_list args;
    va_start(args, request);
    void *arg = va_arg(args, void *);
    va_end(args);

    ioctl_fn real = real_ioctl();
    if (!real) {
        errno = ENOSYS;
        return -1;
    }
    const int saved = errno;
    const int rc = real(fd, request, arg);
    if (rc == -1 && errno == ENOTTY && arg && answer(request, arg) == 0) {
        errno = saved;
        return 0;
    }
    return rc;
}
