#pragma once
// The termios of a simulated line's pseudo-terminal (POSIX only): raw bytes
// at a rate, and the rate the host set on its end, which is what a device on
// the line hears.

#include <termios.h>

namespace pty {

inline speed_t speedOf(int baud) {
    switch (baud) {
    case 9600:
        return B9600;
    case 38400:
        return B38400;
    case 57600:
        return B57600;
    case 115200:
        return B115200;
    case 230400:
        return B230400;
    default:
        return B19200;
    }
}

// Raw 8-bit bytes, no echo, no line editing, at `baud`.
inline bool setRaw(int fd, int baud = 19200) {
    termios t{};
    if (tcgetattr(fd, &t) != 0)
        return false;
    cfmakeraw(&t);
    cfsetispeed(&t, speedOf(baud));
    cfsetospeed(&t, speedOf(baud));
    return tcsetattr(fd, TCSANOW, &t) == 0;
}

// The rate the pty's termios carries, as the host set it; 19200 when unknown.
inline int hostBaud(int fd) {
    termios t{};
    if (tcgetattr(fd, &t) != 0)
        return 19200;
    for (const int baud : {9600, 38400, 57600, 115200, 230400})
        if (cfgetospeed(&t) == speedOf(baud))
            return baud;
    return 19200;
}

} // namespace pty
