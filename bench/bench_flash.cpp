// Flashes a full LV300 image (8 data-EEPROM blocks with "Сброс калибровок"
// ticked, program blocks from 0x9000 to 0xFFFF) from the main window's
// firmware tab into the simulated STM8 bootloader on a virtual port that
// keeps 19200 baud time, and prints how close the run comes to what the line
// allows and how long the window's event loop was ever kept waiting meanwhile.
//
//   QT_QPA_PLATFORM=offscreen build/bin/bench_flash
//
// Goals: wall time / line-rate floor <= 1.10; longest event-loop stall <= 16 ms.

#include "bench_window.h"
#include "firmware/firmware_runner.h"
#include "firmware/gui/firmware_page.h"
#include "sim/stm8_bootloader.h"

#include <QApplication>
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

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);

    // The image: header, blocks 0x4000.., the program from 0x9000 to 0xFFFF.
    const int programBlock = 160;
    const int blocks = programBlock + (0x10000 - 0x9000) / 128;
    QByteArray image(64, '\0');
    for (int i = 0; i < blocks; ++i) {
        QByteArray block(128, '\0');
        for (int k = 0; k < 128; ++k)
            block[k] = char((i * 31 + k * 17 + 3) & 0xFF);
        if (i == programBlock)
            block[0] = '\x23';
        image += block;
    }
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("full.cri"));
    QFile file(path);
    if (!dir.isValid() || !file.open(QIODevice::WriteOnly) || file.write(image) != image.size()) {
        std::fprintf(stderr, "cannot write the image\n");
        return 2;
    }
    file.close();

    // The real main window on the simulated line; when the run starts, the
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
    ScriptedDialog& dialog = bench.dialog;
    control<QTabWidget>(&w, "SSTab1")->setCurrentIndex(3);
    dialog.fileAnswers.enqueue(path); // the image, chosen in the file dialog
    control<QPushButton>(&w, "Command8")->click();
    control<QRadioButton>(&w, "LV300")->setChecked(true);
    control<QAbstractButton>(&w, "EEPROM")->setChecked(true);
    FirmwareRunner& runner = *w.findChild<FirmwarePage*>()->runner();

    // The stall probe: a 5 ms timer on the main thread; its lateness is how
    // long the event loop could not run.
    const int periodMs = 5;
    QElapsedTimer clock;
    clock.start();
    qint64 lastTickNs = -1;
    qint64 worstStallNs = 0;
    QTimer probe;
    probe.setTimerType(Qt::PreciseTimer);
    probe.setInterval(periodMs);
    QObject::connect(&probe, &QTimer::timeout, [&] {
        const qint64 now = clock.nsecsElapsed();
        if (lastTickNs >= 0)
            worstStallNs = std::max(worstStallNs, now - lastTickNs - periodMs * 1000000LL);
        lastTickNs = now;
    });

    Outcome outcome = Outcome::Cancelled;
    qint64 wallNs = 0;
    QObject::connect(&runner, &FirmwareRunner::finished, &app, [&](Outcome o) {
        wallNs = clock.nsecsElapsed() - wallNs;
        outcome = o;
        probe.stop();
        app.quit();
    });
    QTimer::singleShot(0, [&] {
        probe.start();
        lastTickNs = clock.nsecsElapsed();
        wallNs = clock.nsecsElapsed();
        const qint64 before = clock.nsecsElapsed();
        control<QPushButton>(&w, "start")->click();
        if (!runner.isRunning()) {
            std::fprintf(stderr, "the run did not start: %s\n",
                         qPrintable(dialog.messages().join(" / ")));
            app.exit(2);
        }
        worstStallNs = std::max(worstStallNs, clock.nsecsElapsed() - before);
    });
    if (app.exec() != 0)
        return 2;

    const Stm8Bootloader::Stats s = loader->stats();
    const qint64 wireBytes = s.hostBytes + s.replyBytes;
    const double floorS = double(wireBytes) * 10.0 / 19200.0 + double(s.modelledUs) / 1e6;
    const double wallS = double(wallNs) / 1e9;
    const double ratio = wallS / floorS;
    const double stallMs = double(worstStallNs) / 1e6;

    bool memoryOk = loader->memory(0x9000, 0x7000) == image.mid(64 + programBlock * 128);
    for (int i = 0; i < 8; ++i)
        memoryOk =
            memoryOk && loader->memory(0x4000 + 128 * i, 128) == image.mid(64 + 128 * i, 128);

    std::printf("blocks written        : %d of %d\n", runner.lastResult().blocksWritten,
                runner.lastResult().blocksToWrite);
    std::printf("wire bytes            : %lld (host %lld, bootloader %lld)\n",
                static_cast<long long>(wireBytes), static_cast<long long>(s.hostBytes),
                static_cast<long long>(s.replyBytes));
    std::printf("modelled busy time    : %.3f s (programming, erase, turnaround)\n",
                double(s.modelledUs) / 1e6);
    std::printf("wall time             : %.3f s\n", wallS);
    std::printf("line-rate floor       : %.3f s\n", floorS);
    std::printf("ratio                 : %.4f (goal <= 1.10: %s)\n", ratio,
                ratio <= 1.10 ? "met" : "MISSED");
    std::printf("longest loop stall    : %.2f ms (goal <= 16 ms: %s)\n", stallMs,
                stallMs <= 16.0 ? "met" : "MISSED");
    std::printf("outcome               : %s, memory %s\n",
                outcome == Outcome::Done ? "done" : "NOT done",
                memoryOk ? "equals the image" : "DIFFERS from the image");
    return outcome == Outcome::Done && memoryOk ? 0 : 1;
}
