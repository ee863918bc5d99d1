// Measures how long the window's event loop can stall while the exchange
// engine polls: the real main window on the simulator (realistic line timing),
// ticks every 100 ms instead of every second, 30 ticks with a live sensor and
// 30 on a silent line, and a 5 ms timer whose worst lateness is the stall.
//
//   QT_QPA_PLATFORM=offscreen build/bin/bench_live
#include "bench_window.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    BenchWindow bench({1, 5});
    frmSerial& w = *bench.w;
    DemoLine& line = bench.line;
    QTimer* tickTimer = bench.session.tickTimer();
    tickTimer->setInterval(100);
    control<QPushButton>(&w, "Opros")->click();
    const auto shown = [&w](const char* name) { return control<QLabel>(&w, name)->text(); };

    QElapsedTimer clockMs;
    clockMs.start();
    qint64 last = -1, worst = 0, sum = 0, samples = 0;
    QTimer probe;
    probe.setTimerType(Qt::PreciseTimer);
    probe.setInterval(5);
    QObject::connect(&probe, &QTimer::timeout, [&] {
        const qint64 now = clockMs.elapsed();
        if (last >= 0) {
            const qint64 late = now - last - 5;
            worst = std::max(worst, late);
            sum += std::max<qint64>(0, late);
            ++samples;
        }
        last = now;
    });
    probe.start();

    int ticks = 0;
    QObject::connect(tickTimer, &QTimer::timeout, [&] {
        ++ticks;
        if (ticks == 30) {
            std::printf("after 30 live ticks: serial number %s, version %s, level %s\n",
                        qPrintable(shown("sn")), qPrintable(shown("vv")),
                        qPrintable(shown("Uroven")));
            line.sensors.first()->setMuted(true);
        }
        if (ticks == 60) {
            std::printf("after 30 silent ticks: %s\n", qPrintable(shown("MsgCom")));
            app.quit();
        }
    });
    const qint64 started = clockMs.elapsed();
    app.exec();
    std::printf("ticks: %d (30 live, 30 silent), %lld ms\n", ticks,
                static_cast<long long>(clockMs.elapsed() - started));
    std::printf("longest event-loop stall: %lld ms (goal <= 16 ms)\n",
                static_cast<long long>(worst));
    std::printf("mean lateness of a 5 ms timer: %.2f ms over %lld samples\n",
                samples ? double(sum) / double(samples) : 0.0, static_cast<long long>(samples));
    return 0;
}
