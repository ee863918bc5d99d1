// flash: firmware through the sensor's STM8 bootloader, by the same runner
// as the window's firmware tab. Progress goes to stderr: a bar on a
// terminal, a line per tenth otherwise.

#include "commands.h"
#include "link.h"

#include "firmware/cri_image.h"
#include "firmware/firmware_runner.h"
#include "firmware/firmware_texts.h"

#include <QEventLoop>
#include <QJsonObject>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <unistd.h>

namespace ctl {

namespace {

class ProgressPrinter {
public:
    ProgressPrinter() : terminal_(::isatty(STDERR_FILENO)) {}
    ~ProgressPrinter() { endLine(); }

    void show(const char* what, int done, int total) {
        if (total <= 0)
            return;
        if (terminal_) {
            constexpr int Width = 30;
            const int filled = Width * done / total;
            std::fprintf(stderr, "\r%-8s [%s%s] %d/%d blocks", what,
                         QByteArray(filled, '#').constData(),
                         QByteArray(Width - filled, '.').constData(), done, total);
            open_ = true;
        } else {
            const int tenth = 10 * done / total;
            if (what == lastWhat_ && tenth == lastTenth_)
                return;
            std::fprintf(stderr, "%s %d/%d blocks\n", what, done, total);
            lastWhat_ = what;
            lastTenth_ = tenth;
        }
        std::fflush(stderr);
    }
    // Ends a bar line before anything else is printed.
    void endLine() {
        if (open_)
            std::fputs("\n", stderr);
        open_ = false;
    }

private:
    bool terminal_;
    bool open_ = false;
    const char* lastWhat_ = nullptr;
    int lastTenth_ = -1;
};

} // namespace

int cmdFlash(const Options& o, Output& out, TerminalDialog& dlg) {
    if (o.words.size() != 2)
        return usage(out, QStringLiteral("flash takes one image file (.cri)"));
    // The image is checked before the port is touched.
    QString error;
    if (!firmware::CriImage::load(o.word(1), &error))
        return out.fail(FileError, QStringLiteral("file"), error);

    firmware::SessionParams params;
    if (o.values.contains(QStringLiteral("--baud"))) {
        params.baud = o.values.value(QStringLiteral("--baud")).toInt();
        if (!std::ranges::count(firmware::FlashBauds, params.baud))
            return usage(out, QStringLiteral("--baud is 19200, 57600 or 115200"));
    }

    Link link(o, out, dlg);
    if (const int rc = link.open())
        return rc;

    params.type = o.flag(QStringLiteral("--lv200")) ? firmware::SensorType::LV200
                                                    : firmware::SensorType::LV300;
    params.resetCalibrations = o.flag(QStringLiteral("--reset-calibration"));
    params.verify = o.flag(QStringLiteral("--verify"));

    ProgressPrinter progress;
    firmware::FirmwareRunner runner;
    runner.setDialog(&dlg);
    // No engine control: lv300ctl does not poll, so there is no tick to stop
    // or resume, and the port goes with the program.
    QObject::connect(&runner, &firmware::FirmwareRunner::progress,
                     [&](int done, int total) { progress.show("written", done, total); });
    QObject::connect(&runner, &firmware::FirmwareRunner::checkProgress,
                     [&](int done, int total) { progress.show("checked", done, total); });
    QObject::connect(&runner, &firmware::FirmwareRunner::messageRequested,
                     [&](const QString&) { progress.endLine(); });
    QEventLoop loop;
    QObject::connect(&runner, &firmware::FirmwareRunner::finished, &loop, &QEventLoop::quit);
    QTimer watchInterrupt;
    QObject::connect(&watchInterrupt, &QTimer::timeout, [&] {
        if (interrupted())
            runner.cancel();
    });
    watchInterrupt.start(50);

    const int shown = int(dlg.messages().size());
    toStderr(QStringLiteral("Отключите питание датчика и включите его снова.\n"
                            "Waiting for the bootloader (Ctrl-C cancels)...\n"));
    if (!runner.start(link.session().port(), o.word(1), params)) {
        const QString why = dlg.messages().size() > shown ? dlg.messages().last() : QString();
        if (why == firmware::texts::rateNotSet(params.baud))
            return out.failShown(PortError, QStringLiteral("port"), why);
        return out.failShown(FileError, QStringLiteral("file"), why);
    }
    loop.exec();
    progress.endLine();

    const firmware::SessionResult& result = runner.lastResult();
    for (const QString& text : firmware::closingMessages(result))
        dlg.message(text);
    using firmware::Outcome;
    switch (result.outcome) {
    case Outcome::Done:
        out.result(QJsonObject{{QStringLiteral("command"), QStringLiteral("flash")},
                               {QStringLiteral("address"), link.address()},
                               {QStringLiteral("blocks"), result.blocksWritten},
                               {QStringLiteral("verified"), params.verify},
                               {QStringLiteral("status"), QStringLiteral("done")}},
                   QStringLiteral("done: %1 blocks written%2")
                       .arg(result.blocksWritten)
                       .arg(params.verify ? QStringLiteral(" and read back") : QString()));
        return Done;
    case Outcome::Cancelled:
        return out.fail(Cancelled, QStringLiteral("cancelled"),
                        QStringLiteral("cancelled after %1 of %2 blocks; no Go sent")
                            .arg(result.blocksWritten)
                            .arg(result.blocksToWrite));
    case Outcome::PortFailed:
    case Outcome::PortLost:
        return out.fail(PortError, QStringLiteral("port"), QStringLiteral("the port is gone"));
    case Outcome::Failed:
        break;
    }
    const QString why = result.checkFault ? firmware::texts::checkFailed(result.checkFault->block,
                                                                         result.checkFault->address)
                                          : QStringLiteral("the bootloader refused block %1 of %2")
                                                .arg(result.blocksWritten + 1)
                                                .arg(result.blocksToWrite);
    return out.fail(NoAnswer, QStringLiteral("bad-answer"), why);
}

} // namespace ctl
