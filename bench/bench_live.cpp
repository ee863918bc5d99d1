// Measures how long the window's event loop can stall while the exchange
// engine polls: the real main window on the simulator (realistic line timing),
// ticks every 100 ms instead of every second, 30 ticks with a live sensor and
// 30 on a silent line, and a 5 ms timer whose worst lateness is the stall.
// The same timer on an idle event loop, for as long as the ticks take, is
// measured first: that is the machine's own noise, and the window's figure
// is printed beside it.
//
//   QT_QPA_PLATFORM=offscreen build/bin/bench_live
#include "bench_window.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <cstdio>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    BenchWindow bench({1, 5});
    frmSerial& w = *bench.w;
    DemoLine& line = bench.line;
    QTimer* tickTimer = bench.session.tickTimer();
    tickTimer->stop();
    tickTimer->setInterval(100);
    const auto shown = [&w](const char* name) { return control<QLabel>(&w, name)->text(); };

    // 60 ticks of 100 ms.
    double idleMean = 0;
    const double idleMs = idleLoopStallMs(6000, &idleMean);

    StallProbe probe;
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
    control<QPushButton>(&w, "Opros")->click();
    tickTimer->start();
    probe.start();
    const qint64 started = probe.nowNs();
    app.exec();
    probe.stop();
    std::printf("ticks: %d (30 live, 30 silent), %lld ms\n", ticks,
                static_cast<long long>((probe.nowNs() - started) / 1000000));
    std::printf("mean lateness of a 5 ms timer: %.2f ms over %lld samples (idle loop %.2f ms)\n",
                probe.meanLateMs(), static_cast<long long>(probe.samples()), idleMean);
    printStalls(idleMs, probe.worstMs());
    return 0;
}
