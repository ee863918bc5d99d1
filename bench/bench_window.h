#pragma once
// The benchmarks' main window: the real frmSerial on a simulated line with
// realistic 19200-baud timing, dialogue answered by script, no sound.

#include "app/gui/frm_serial.h"
#include "base/clock.h"
#include "base/gui/controls.h"
#include "base/tones.h"
#include "session/session.h"
#include "sim/demo_line.h"
#include "sim/virtual_port.h"
#include "support/scripted_dialog.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <memory>
#include <unistd.h>

class SilentTones : public Tones {
public:
    void beep(int, int) override {}
};

struct BenchWindow {
    DemoLine line;
    ScriptedDialog dialog;
    SilentTones tones;
    SystemClock clock;
    QTemporaryDir dir;
    session::Session session;
    std::unique_ptr<frmSerial> w;

    // Builds the window; `adjust` may add to its services before it exists.
    // The port is opened at once unless openPort is false.
    explicit BenchWindow(const QList<quint8>& addresses,
                         const std::function<void(frmSerial::Services&, DemoLine&)>& adjust = {},
                         bool openPort = true)
        : line(makeDemoLine(addresses)) {
        frmSerial::Services sv;
        sv.session = &session;
        sv.dialog = &dialog;
        sv.tones = &tones;
        sv.clock = &clock;
        sv.logDirs = {dir.path()};
        sv.listPorts = [] { return QStringList{QStringLiteral("Симулятор")}; };
        sv.makePort = [this](const QString&, QString* path) -> std::unique_ptr<Port> {
            *path = QStringLiteral("Симулятор");
            return std::make_unique<VirtualPort>(line.bus, VirtualPort::Timing::Realistic);
        };
        if (adjust)
            adjust(sv, line);
        w = std::make_unique<frmSerial>(sv);
        w->Load();
        w->Timer1_Timer();
        w->Timer1_Timer(); // the main window is shown
        if (openPort)
            w->BTNOpenCom_Click();
    }
};

// User plus system CPU time of this process, in milliseconds.
inline double cpuMs() {
    QFile f(QStringLiteral("/proc/self/stat"));
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray stat = f.readAll();
    // Fields after the command name, which is in parentheses: state is the
    // first, utime the 12th, stime the 13th.
    const QList<QByteArray> fields = stat.mid(stat.lastIndexOf(')') + 2).split(' ');
    const double ticks = fields.value(11).toDouble() + fields.value(12).toDouble();
    return ticks * 1000.0 / double(sysconf(_SC_CLK_TCK));
}

// An application that times every event it delivers on the main thread, so a
// benchmark can say which one kept the loop from running longest.
class TimingApplication : public QApplication {
public:
    using QApplication::QApplication;

    struct Longest {
        double ms = 0;
        QString what;
    };
    void resetLongest() { longest_ = {}; }
    Longest longest() const { return longest_; }

    bool notify(QObject* receiver, QEvent* event) override {
        if (depth_++ > 0 || QThread::currentThread() != thread()) {
            const bool r = QApplication::notify(receiver, event);
            --depth_;
            return r;
        }
        QElapsedTimer t;
        t.start();
        const int type = int(event->type());
        const bool r = QApplication::notify(receiver, event);
        const double ms = double(t.nsecsElapsed()) / 1e6;
        --depth_;
        if (ms > longest_.ms)
            longest_ = {ms, QStringLiteral("%1 \"%2\", event %3")
                                .arg(QString::fromLatin1(receiver->metaObject()->className()),
                                     receiver->objectName())
                                .arg(type)};
        return r;
    }

private:
    int depth_ = 0;
    Longest longest_;
};

// A 5 ms precise timer on the main thread; how late it fires is how long the
// event loop could not run.
class StallProbe {
public:
    static constexpr int PeriodMs = 5;

    StallProbe() {
        timer_.setTimerType(Qt::PreciseTimer);
        timer_.setInterval(PeriodMs);
        QObject::connect(&timer_, &QTimer::timeout, [this] { tick(); });
        clock_.start();
    }
    void start() {
        worstNs_ = sumNs_ = samples_ = 0;
        lastNs_ = clock_.nsecsElapsed();
        timer_.start();
    }
    void stop() { timer_.stop(); }
    // Counts a stretch the loop was kept from running outside the timer's view
    // (a synchronous call made from a handler the probe cannot see into).
    void account(qint64 ns) { worstNs_ = std::max(worstNs_, ns); }
    double worstMs() const { return double(worstNs_) / 1e6; }
    double meanLateMs() const { return samples_ ? double(sumNs_) / double(samples_) / 1e6 : 0.0; }
    qint64 samples() const { return samples_; }
    qint64 nowNs() const { return clock_.nsecsElapsed(); }

private:
    void tick() {
        const qint64 now = clock_.nsecsElapsed();
        const qint64 late = now - lastNs_ - PeriodMs * 1000000LL;
        worstNs_ = std::max(worstNs_, late);
        sumNs_ += std::max<qint64>(0, late);
        ++samples_;
        lastNs_ = now;
    }

    QTimer timer_;
    QElapsedTimer clock_;
    qint64 lastNs_ = 0, worstNs_ = 0, sumNs_ = 0, samples_ = 0;
};

// The machine's own noise: the same probe on an event loop with nothing else
// to do, for the given time. Returns the longest stall in ms.
inline double idleLoopStallMs(int msecs, double* meanLateMs = nullptr) {
    StallProbe probe;
    QEventLoop loop;
    QTimer::singleShot(msecs, &loop, &QEventLoop::quit);
    probe.start();
    loop.exec();
    probe.stop();
    if (meanLateMs)
        *meanLateMs = probe.meanLateMs();
    return probe.worstMs();
}

// Prints the window's figure beside the idle loop's and their difference.
inline void printStalls(double idleMs, double windowMs) {
    const double added = windowMs - idleMs;
    std::printf("idle loop, longest stall   : %.2f ms (the machine's own noise)\n", idleMs);
    std::printf("window, longest stall      : %.2f ms (goal <= 16 ms on a quiet machine: %s)\n",
                windowMs, windowMs <= 16.0 ? "met" : "MISSED");
    std::printf("added by the window        : %.2f ms (goal <= 5 ms: %s)\n", added,
                added <= 5.0 ? "met" : "MISSED");
}
