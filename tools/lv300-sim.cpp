// Serves the simulated sensor line on a pseudo-terminal, so that the
// configurator (or any serial program) can open it like a real port.
//
//   lv300-sim [--addresses 1,5] [--password P] [--bootloader [--loader-memory FILE]]
//             [--line-time] [--verbose] [--ignore-stdin]
//
// --password locks every sensor with that password. --bootloader arms the STM8
// bootloader of the first sensor: a firmware run's sync bytes start it, as if
// the sensor were switched off and on; --loader-memory writes its 64 KiB
// memory map to FILE when the simulator ends.
//
// The first line on stdout is the device path to open (for example
// /dev/pts/7). The simulator runs until it gets SIGTERM or SIGINT, or until
// its standard input is closed (unless --ignore-stdin).
//
// The host's bytes are taken as one request when no further byte follows
// within a short gap, as the sensors on a real line do; the sensors' replies
// are written back after their reply delays. A pseudo-terminal carries bytes
// at once; with --line-time every reply is held until it would have arrived
// on a 19200-baud line (the host's bytes and the reply's own at ten bits each),
// so a run takes the time it takes on a real line.

#include <QtGlobal>

#if defined(Q_OS_UNIX)

#include "link/frame.h"
#include "sim/demo_line.h"
#include "sim/pty_termios.h"
#include "sim/sim_bus.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QSaveFile>
#include <QStringList>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <map>
#include <optional>
#include <poll.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

// Silence after which the bytes heard so far form one request.
constexpr auto RequestGap = std::chrono::milliseconds(4);

int signalPipe[2] = {-1, -1};

void onSignal(int) {
    const char c = 1;
    // Nothing to do if the pipe is full: a wake-up is already pending.
    [[maybe_unused]] const ssize_t n = ::write(signalPipe[1], &c, 1);
}

bool writeAll(int fd, const QByteArray& bytes) {
    qsizetype at = 0;
    while (at < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.constData() + at, size_t(bytes.size() - at));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            if (errno == EAGAIN) {
                // Nobody reads the port and its buffer is full: the rest of
                // the reply is lost, as on a line nobody listens to.
                pollfd p{fd, POLLOUT, 0};
                if (::poll(&p, 1, 100) <= 0)
                    return true;
                continue;
            }
            return false;
        }
        at += n;
    }
    return true;
}

int usage(const char* why) {
    std::fprintf(stderr,
                 "%s\nusage: lv300-sim [--addresses 1,5] [--password P] [--bootloader "
                 "[--loader-memory FILE]] [--line-time] [--verbose] [--ignore-stdin]\n",
                 why);
    return 2;
}

int pollTimeoutMs(Clock::time_point now, Clock::time_point wakeAt) {
    if (wakeAt == Clock::time_point::max())
        return -1;
    if (wakeAt <= now)
        return 0;
    const auto ms = std::chrono::ceil<std::chrono::milliseconds>(wakeAt - now).count();
    return int(qMin<qint64>(ms, 60'000));
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);

    QList<quint8> addresses{1, 5};
    bool verbose = false;
    bool lineTime = false;
    bool watchStdin = true;
    std::optional<quint32> password;
    bool bootloader = false;
    QString loaderMemory;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& a = args.at(i);
        if (a == QLatin1String("--password") || a == QLatin1String("--loader-memory")) {
            if (i + 1 >= args.size())
                return usage("the option needs a value");
            const QString value = args.at(++i);
            if (a == QLatin1String("--loader-memory")) {
                loaderMemory = value;
                continue;
            }
            bool ok = false;
            password = value.toUInt(&ok);
            if (!ok)
                return usage("--password is a number");
        } else if (a == QLatin1String("--bootloader")) {
            bootloader = true;
        } else if (a == QLatin1String("--line-time")) {
            lineTime = true;
        } else if (a == QLatin1String("--verbose")) {
            verbose = true;
        } else if (a == QLatin1String("--ignore-stdin")) {
            watchStdin = false;
        } else if (a == QLatin1String("--addresses") ||
                   a.startsWith(QLatin1String("--addresses="))) {
            QString list;
            if (a.contains(u'='))
                list = a.section(u'=', 1);
            else if (i + 1 < args.size())
                list = args.at(++i);
            else
                return usage("--addresses needs a list such as 1,5");
            addresses.clear();
            for (const QString& part : list.split(u',', Qt::SkipEmptyParts)) {
                bool ok = false;
                const int v = part.trimmed().toInt(&ok);
                if (!ok || v < 0 || v > 254)
                    return usage("addresses are numbers 0..254");
                addresses.append(quint8(v));
            }
            if (addresses.isEmpty())
                return usage("--addresses needs at least one address");
        } else {
            return usage("unknown option");
        }
    }

    const int master = posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) {
        std::perror("lv300-sim: pseudo-terminal");
        return 1;
    }
    const char* name = ptsname(master);
    if (!name) {
        std::perror("lv300-sim: ptsname");
        return 1;
    }
    const QByteArray slavePath(name);
    // Keep a slave descriptor open ourselves: without it the master reports
    // a hang-up whenever the client closes the port.
    const int slave = ::open(slavePath.constData(), O_RDWR | O_NOCTTY);
    if (slave < 0 || !pty::setRaw(slave)) {
        std::perror("lv300-sim: slave side");
        return 1;
    }
    ::fcntl(master, F_SETFL, ::fcntl(master, F_GETFL) | O_NONBLOCK);

    if (::pipe(signalPipe) != 0) {
        std::perror("lv300-sim: pipe");
        return 1;
    }
    ::fcntl(signalPipe[1], F_SETFL, ::fcntl(signalPipe[1], F_GETFL) | O_NONBLOCK);
    struct sigaction sa {};
    sa.sa_handler = onSignal;
    sigemptyset(&sa.sa_mask);
    sigaction(SIGTERM, &sa, nullptr);
    sigaction(SIGINT, &sa, nullptr);
    std::signal(SIGPIPE, SIG_IGN);

    DemoLine line = makeDemoLine(addresses);
    if (password)
        for (const auto& sensor : std::as_const(line.sensors))
            sensor->setPassword(*password);
    if (bootloader)
        armBootloader(line, line.sensors.first()->address());
    if (!loaderMemory.isEmpty() && !bootloader)
        return usage("--loader-memory needs --bootloader");

    std::printf("%s\n", slavePath.constData());
    std::fflush(stdout);
    if (verbose) {
        QStringList shown;
        for (quint8 a : std::as_const(addresses))
            shown.append(QString::number(a));
        std::fprintf(stderr, "lv300-sim: sensors at %s on %s\n", qPrintable(shown.join(u',')),
                     slavePath.constData());
    }

    QByteArray request;
    Clock::time_point lastByteAt{};
    Clock::time_point firstByteAt{};
    std::multimap<Clock::time_point, QByteArray> outgoing;
    bool running = true;

    while (running) {
        const auto now = Clock::now();
        auto wakeAt = Clock::time_point::max();
        if (!request.isEmpty())
            wakeAt = lastByteAt + RequestGap;
        if (!outgoing.empty() && outgoing.begin()->first < wakeAt)
            wakeAt = outgoing.begin()->first;

        pollfd fds[3] = {{master, POLLIN, 0}, {signalPipe[0], POLLIN, 0}, {0, POLLIN, 0}};
        const nfds_t count = watchStdin ? 3 : 2;
        const int r = ::poll(fds, count, pollTimeoutMs(now, wakeAt));
        if (r < 0 && errno != EINTR) {
            std::perror("lv300-sim: poll");
            break;
        }
        if (r > 0) {
            if (fds[1].revents & POLLIN)
                running = false;
            if (watchStdin && (fds[2].revents & (POLLIN | POLLHUP | POLLERR))) {
                char buf[256];
                const ssize_t n = ::read(0, buf, sizeof buf);
                if (n <= 0)
                    running = false; // stdin closed
            }
            if (fds[0].revents & POLLIN) {
                char buf[512];
                for (;;) {
                    const ssize_t n = ::read(master, buf, sizeof buf);
                    if (n <= 0)
                        break;
                    if (request.isEmpty())
                        firstByteAt = Clock::now();
                    request.append(buf, n);
                    lastByteAt = Clock::now();
                }
            }
        }

        const auto after = Clock::now();
        if (!request.isEmpty() && after >= lastByteAt + RequestGap) {
            if (verbose)
                std::fprintf(stderr, "host: %s\n", qPrintable(frame::hexText(request)));
            // The rate the host set on its side of the pty (a firmware run
            // may switch it): the sensors hear only 19200.
            const int baud = pty::hostBaud(slave);
            const QList<LineBurst> bursts = line.bus->transmit(request, baud);
            // When the host's last byte left the wire, and when each reply
            // has fully arrived.
            auto lineEnd = after;
            if (lineTime)
                lineEnd = std::max(after, firstByteAt + std::chrono::nanoseconds(SimBus::wireTimeNs(
                                                            request.size(), baud)));
            for (const LineBurst& b : bursts) {
                const qint64 arrivedNs =
                    b.startNs + (lineTime ? SimBus::wireTimeNs(b.bytes.size(), baud) : 0);
                outgoing.emplace(lineEnd + std::chrono::nanoseconds(arrivedNs), b.bytes);
            }
            request.clear();
        }
        while (!outgoing.empty() && outgoing.begin()->first <= Clock::now()) {
            const QByteArray bytes = outgoing.begin()->second;
            outgoing.erase(outgoing.begin());
            if (verbose)
                std::fprintf(stderr, "line: %s\n", qPrintable(frame::hexText(bytes)));
            if (!writeAll(master, bytes)) {
                std::perror("lv300-sim: write");
                running = false;
                break;
            }
        }
    }

    ::close(slave);
    ::close(master);
    if (!loaderMemory.isEmpty()) {
        QSaveFile out(loaderMemory);
        const QByteArray memory = line.loader->memory(0, 0x10000);
        if (!out.open(QIODevice::WriteOnly) || out.write(memory) != memory.size() ||
            !out.commit()) {
            std::fprintf(stderr, "lv300-sim: cannot write %s\n", qPrintable(loaderMemory));
            return 1;
        }
    }
    return 0;
}

#else

#include <cstdio>

int main() {
    std::fprintf(stderr, "lv300-sim needs a system with pseudo-terminals\n");
    return 1;
}

#endif
