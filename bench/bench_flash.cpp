// Flashes a full LV300 image (8 data-EEPROM blocks with "Сброс калибровок"
// ticked, program blocks from 0x9000 to 0xFFFF) from the main window's
// firmware tab into the simulated STM8 bootloader on a virtual port that
// keeps 19200 baud time, twice: once as it stands and once with "Проверить
// запись" ticked (every block read back before Go). For each run it prints
// how close the run comes to what the line allows and how long the window's
// event loop was ever kept waiting meanwhile, beside the same figure for an
// idle event loop measured first (the machine's own noise).
//
//   QT_QPA_PLATFORM=offscreen build/bin/bench_flash [idle-ms]
//
// Goals: wall time / line-rate floor <= 1.10 for both runs; the window adds
// no more than 5 ms to the idle loop's longest stall, and stays <= 16 ms on a
// quiet machine.

#include "bench_window.h"
#include "firmware/firmware_runner.h"
#include "firmware/gui/firmware_page.h"
#include "full_image.h"
#include "sim/stm8_bootloader.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFile>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>
#include <memory>

using namespace firmware;

namespace {

struct RunFigures {
    Outcome outcome = Outcome::Cancelled;
    double wallS = 0;
    double floorS = 0;
    double stallMs = 0;
    Stm8Bootloader::Stats wire;         // of this run alone
    TimingApplication::Longest longest; // the longest event the window handled
};

Stm8Bootloader::Stats minus(const Stm8Bootloader::Stats& a, const Stm8Bootloader::Stats& b) {
    Stm8Bootloader::Stats d;
    d.hostBytes = a.hostBytes - b.hostBytes;
    d.replyBytes = a.replyBytes - b.replyBytes;
    d.modelledUs = a.modelledUs - b.modelledUs;
    d.writes = a.writes - b.writes;
    return d;
}

// One run from the "Пуск" button to the runner's finished signal, in a local
// event loop (quitting the application would close the window).
RunFigures flash(frmSerial& w, ScriptedDialog& dialog, Stm8Bootloader& loader) {
    QEventLoop loop;
    FirmwareRunner& runner = *w.findChild<FirmwarePage*>()->runner();
    RunFigures f;
    StallProbe probe;
    const Stm8Bootloader::Stats before = loader.stats();
    qint64 startNs = 0;
    const QMetaObject::Connection done =
        QObject::connect(&runner, &FirmwareRunner::finished, &loop, [&](Outcome o) {
            f.wallS = double(probe.nowNs() - startNs) / 1e9;
            f.outcome = o;
            probe.stop();
            loop.quit();
        });
    auto* app = static_cast<TimingApplication*>(qApp);
    QTimer::singleShot(0, [&] {
        app->resetLongest();
        probe.start();
        startNs = probe.nowNs();
        control<QPushButton>(&w, "start")->click();
        // The click itself ran on the loop's thread before the probe's next tick.
        probe.account(probe.nowNs() - startNs);
        if (!runner.isRunning()) {
            std::fprintf(stderr, "the run did not start: %s\n",
                         qPrintable(dialog.messages().join(" / ")));
            loop.exit(2);
        }
    });
    const int rc = loop.exec();
    QObject::disconnect(done);
    if (rc != 0)
        std::exit(2);
    f.stallMs = probe.worstMs();
    f.longest = app->longest();
    f.wire = minus(loader.stats(), before);
    f.floorS = double(f.wire.hostBytes + f.wire.replyBytes) * 10.0 / 19200.0 +
               double(f.wire.modelledUs) / 1e6;
    return f;
}

void print(const char* title, const RunFigures& f, double idleMs, double goal = 1.10) {
    const double ratio = f.wallS / f.floorS;
    std::printf("%s\n", title);
    std::printf("wire bytes                 : %lld (host %lld, bootloader %lld)\n",
                static_cast<long long>(f.wire.hostBytes + f.wire.replyBytes),
                static_cast<long long>(f.wire.hostBytes),
                static_cast<long long>(f.wire.replyBytes));
    std::printf("modelled busy time         : %.3f s (programming, erase, turnaround)\n",
                double(f.wire.modelledUs) / 1e6);
    std::printf("wall time                  : %.3f s\n", f.wallS);
    std::printf("line-rate floor            : %.3f s\n", f.floorS);
    std::printf("ratio                      : %.4f (goal <= %.2f: %s)\n", ratio, goal,
                ratio <= goal ? "met" : "MISSED");
    printStalls(idleMs, f.stallMs);
    std::printf("longest event handled      : %.2f ms (%s)\n", f.longest.ms,
                qPrintable(f.longest.what));
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    TimingApplication app(argc, argv);
    const int idleMs = argc > 1 ? std::max(100, QString::fromLocal8Bit(argv[1]).toInt()) : 15000;

    const int programBlock = bench::ProgramBlock;
    const QByteArray image = bench::fullLv300Image();
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("full.cri"));
    QFile file(path);
    if (!dir.isValid() || !file.open(QIODevice::WriteOnly) || file.write(image) != image.size()) {
        std::fprintf(stderr, "cannot write the image\n");
        return 2;
    }
    file.close();

    // The real main window on the simulated line; when a run starts, the
    // sensor is powered up with its bootloader running.
    auto loader = std::make_shared<Stm8Bootloader>();
    BenchWindow bench({1}, [loader](frmSerial::Services& sv, DemoLine& line) {
        sv.firmwareStarted = [sensor = line.sensors.first(), loader] {
            loader->powerUp();
            loader->setOnGo(sensor->leaveBootloaderCallback());
            sensor->enterBootloader(loader);
        };
    });
    frmSerial& w = *bench.w;
    control<QTabWidget>(&w, "SSTab1")->setCurrentIndex(3);
    bench.dialog.fileAnswers.enqueue(path); // the image, chosen in the file dialog
    control<QPushButton>(&w, "Command8")->click();
    control<QRadioButton>(&w, "LV300")->setChecked(true);
    control<QAbstractButton>(&w, "EEPROM")->setChecked(true);

    // The window's first paint and the tab switch are behind it before any
    // figure is taken.
    idleLoopStallMs(500);
    double idleMean = 0;
    const double idleStall = idleLoopStallMs(idleMs, &idleMean);
    std::printf("idle event loop            : %d ms, longest stall %.2f ms, mean lateness "
                "%.2f ms\n",
                idleMs, idleStall, idleMean);

    auto memoryOk = [&] {
        bool ok = loader->memory(0x9000, 0x7000) == image.mid(64 + programBlock * 128);
        for (int i = 0; i < 8; ++i)
            ok = ok && loader->memory(0x4000 + 128 * i, 128) == image.mid(64 + 128 * i, 128);
        return ok;
    };
    auto verdict = [&](const RunFigures& f) {
        const bool ok = f.outcome == Outcome::Done && memoryOk();
        std::printf("outcome                    : %s, memory %s, %d of %d blocks\n",
                    f.outcome == Outcome::Done ? "done" : "NOT done",
                    memoryOk() ? "equals the image" : "DIFFERS from the image",
                    w.findChild<FirmwarePage*>()->runner()->lastResult().blocksWritten,
                    w.findChild<FirmwarePage*>()->runner()->lastResult().blocksToWrite);
        return ok;
    };

    const RunFigures plain = flash(w, bench.dialog, *loader);
    print("--- run as it stands", plain, idleStall);
    bool ok = verdict(plain);

    auto* verify = w.findChild<QCheckBox*>(QStringLiteral("chkVerify"));
    if (verify) {
        verify->setChecked(true);
        const RunFigures checked = flash(w, bench.dialog, *loader);
        print("--- run with the read-back check", checked, idleStall);
        ok = verdict(checked) && ok;
        std::printf("read-back adds             : %.3f s of wall time\n",
                    checked.wallS - plain.wallS);
    }
    // The adapters technicians meet, each with its own floor: the wire bytes
    // both ways at the run's rate, the loader's modelled times, and one
    // latency-timer expiry per awaited answer (every write awaits one).
    struct Adapter {
        const char* title;
        bool echo;
        int latencyMs;
        int baud;
    };
    const Adapter adapters[] = {
        {"--- adapter: echo, 19200 baud", true, 0, 19200},
        {"--- adapter: 1 ms latency timer, 19200 baud", false, 1, 19200},
        {"--- adapter: 16 ms latency timer, 19200 baud", false, 16, 19200},
        {"--- adapter: 115200 baud", false, 0, 115200},
        {"--- adapter: echo and 1 ms latency timer, 115200 baud", true, 1, 115200},
    };
    auto* port = dynamic_cast<VirtualPort*>(bench.session.port());
    if (verify)
        verify->setChecked(false);
    for (const Adapter& a : adapters) {
        if (!port)
            break;
        port->setEcho(a.echo);
        port->setLatencyTimer(a.latencyMs);
        control<QComboBox>(&w, "flashBaud")->setCurrentText(QString::number(a.baud));
        const qsizetype writesBefore = port->writes().size();
        RunFigures f = flash(w, bench.dialog, *loader);
        const qsizetype answers = port->writes().size() - writesBefore;
        f.floorS = double(f.wire.hostBytes + f.wire.replyBytes) * 10.0 / a.baud +
                   double(f.wire.modelledUs) / 1e6 + double(answers) * a.latencyMs / 1000.0;
        print(a.title, f, idleStall, 1.05);
        ok = verdict(f) && ok;
        if (a.baud == 115200)
            std::printf("full image at 115200       : %.3f s (goal < 5 s: %s)\n", f.wallS,
                        f.wallS < 5 ? "met" : "MISSED");
    }
    if (port) {
        port->setEcho(false);
        port->setLatencyTimer(0);
        control<QComboBox>(&w, "flashBaud")->setCurrentText(QStringLiteral("19200"));

        // The runner's own share: the frames of one more run, sent again by a
        // bare client that only writes each and waits idly for its answer
        // (no thread, no event loop), against the same line and floor.
        const qsizetype from = port->writes().size();
        const RunFigures runner = flash(w, bench.dialog, *loader);
        ok = verdict(runner) && ok;
        const QList<QByteArray> frames = port->writes().mid(from);
        bench.session.stopTicking();
        const auto sensor = bench.line.sensors.first();
        loader->powerUp();
        sensor->enterBootloader(loader);
        port->read(4096);
        const Stm8Bootloader::Stats before = loader->stats();
        QElapsedTimer bare;
        bare.start();
        for (const QByteArray& frame : frames) {
            port->write(frame);
            for (int slices = 0; port->read(255).isEmpty() && slices < 15; ++slices)
                port->waitForReadyRead(20);
        }
        const double bareS = double(bare.nsecsElapsed()) / 1e9;
        const Stm8Bootloader::Stats wire = minus(loader->stats(), before);
        const double floorS = double(wire.hostBytes + wire.replyBytes) * 10.0 / 19200.0 +
                              double(wire.modelledUs) / 1e6;
        bench.session.startTicking();
        std::printf("--- the runner beside a bare exchange (%lld frames, 19200 baud)\n",
                    static_cast<long long>(frames.size()));
        std::printf("runner                     : %.3f s, %.4f x floor %.3f s\n", runner.wallS,
                    runner.wallS / runner.floorS, runner.floorS);
        std::printf("bare exchange              : %.3f s, %.4f x floor %.3f s\n", bareS,
                    bareS / floorS, floorS);
        std::printf("runner's own share         : %.2f %% of the floor (goal < 0.5 %%: %s)\n",
                    100.0 * (runner.wallS / runner.floorS - bareS / floorS),
                    runner.wallS / runner.floorS - bareS / floorS < 0.005 ? "met" : "MISSED");
    }

    if (!bench.dialog.messages().isEmpty())
        std::printf("messages                   : %s\n",
                    qPrintable(bench.dialog.messages().join(QStringLiteral(" / "))));
    return ok ? 0 : 1;
}
