// What the configurator costs while it sits there: the real main window on the
// offscreen platform, its CPU time read from /proc/self/stat (user + system)
// over a stretch of wall time, as a share of one core:
//   1. baseline: the window shown, its timers stopped (an idle event loop);
//   2. port closed, the system's port list asked for every second (as a
//      rescan that does not watch the tty devices would);
//   3. port closed, the program's rescan (asks again only when the tty
//      devices changed);
//   4. port open on the simulator served on a pseudo-terminal by lv300-sim,
//      the sensor polled once a second.
//
//   QT_QPA_PLATFORM=offscreen build/bin/bench_idle [seconds per stretch, 60]
#include "bench_window.h"
#include "link/port_list.h"
#include "link/serial_port.h"
#include "support/pty_sim.h"

namespace {

// The share of one core the process used over `seconds` of event loop.
double measure(int seconds) {
    const double before = cpuMs();
    QElapsedTimer wall;
    wall.start();
    QEventLoop loop;
    QTimer::singleShot(seconds * 1000, &loop, &QEventLoop::quit);
    loop.exec();
    return 100.0 * (cpuMs() - before) / double(wall.elapsed());
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const int seconds = argc > 1 ? std::max(5, atoi(argv[1])) : 60;

    PtySim sim({QStringLiteral("--addresses"), QStringLiteral("1")});
    const QString pty = sim.path();
    if (pty.isEmpty()) {
        std::fprintf(stderr, "lv300-sim gave no pseudo-terminal (build it beside this program)\n");
        return 1;
    }

    // Every stretch's rescans go through one of these.
    portlist::PortScanner watching;
    portlist::PortScanner everySecond([] { return std::optional<QStringList>(); });
    portlist::PortScanner* scanner = &everySecond;

    BenchWindow bench(
        {},
        [&](frmSerial::Services& sv, DemoLine&) {
            sv.listPorts = [&] { return portlist::portNames({pty}, scanner->names()); };
            sv.describePort = [&](const QString& item) { return scanner->details(item); };
            sv.makePort = [](const QString& item, QString* path) -> std::unique_ptr<Port> {
                *path = portlist::devicePathForItem(item);
                return std::make_unique<SerialPort>();
            };
        },
        false);
    frmSerial& w = *bench.w;
    QTimer* timer1 = w.findChild<QTimer*>(QStringLiteral("Timer1"));

    // One look of each kind, on its own.
    QElapsedTimer t;
    t.start();
    for (int i = 0; i < 200; ++i)
        portlist::ttyListing();
    const double listingUs = double(t.nsecsElapsed()) / 200 / 1000;
    t.restart();
    for (int i = 0; i < 20; ++i)
        portlist::systemPorts();
    const double scanUs = double(t.nsecsElapsed()) / 20 / 1000;
    std::printf("one tty listing: %.0f us; one system port scan: %.0f us\n", listingUs, scanUs);

    std::printf("%d s per stretch, share of one core (CPU time / wall time)\n", seconds);
    timer1->stop();
    const double baseline = measure(seconds);
    std::printf("baseline, window idle, no timers      : %6.3f %%\n", baseline);
    timer1->start();
    const double closedOld = measure(seconds);
    std::printf("port closed, system asked every second: %6.3f %%  (%d scans)\n", closedOld,
                everySecond.scans());
    scanner = &watching;
    const double closedNew = measure(seconds);
    std::printf("port closed, rescan on tty change     : %6.3f %%  (%d scans; goal < 0.5 %%: %s)\n",
                closedNew, watching.scans(), closedNew < 0.5 ? "met" : "MISSED");
    w.BTNOpenCom_Click();
    if (!bench.session.port()) {
        std::fprintf(stderr, "could not open %s: %s\n", qPrintable(pty),
                     qPrintable(bench.dialog.messages().join(QStringLiteral(" | "))));
        return 1;
    }
    const double open = measure(seconds);
    std::printf("port open, sensor polled every second : %6.3f %%\n", open);
    w.BTNCloseCom_Click();
    return 0;
}
