#include "support/pty_sim.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFile>

PtySim::PtySim(const QStringList& options) {
    sim_.setStandardErrorFile(dir_.filePath(QStringLiteral("sim.log")));
    sim_.start(QCoreApplication::applicationDirPath() + QStringLiteral("/lv300-sim"), options);
    if (!sim_.waitForStarted(10000))
        return;
    QDeadlineTimer deadline(10000);
    while (!sim_.canReadLine() && !deadline.hasExpired())
        sim_.waitForReadyRead(100);
    const QString line = QString::fromLocal8Bit(sim_.readLine()).trimmed();
    if (line.startsWith(QLatin1String("/dev/")))
        path_ = line;
}

int PtySim::stop() {
    if (sim_.state() == QProcess::NotRunning)
        return sim_.exitStatus() == QProcess::NormalExit ? sim_.exitCode() : -1;
    sim_.closeWriteChannel();
    if (!sim_.waitForFinished(5000)) {
        // Run with --ignore-stdin: SIGTERM ends it as cleanly.
        sim_.terminate();
        if (!sim_.waitForFinished(5000)) {
            sim_.kill();
            sim_.waitForFinished(3000);
            return -1;
        }
    }
    return sim_.exitStatus() == QProcess::NormalExit ? sim_.exitCode() : -1;
}

QByteArray PtySim::log() const {
    QFile f(dir_.filePath(QStringLiteral("sim.log")));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}
