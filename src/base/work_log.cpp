#include "base/work_log.h"

#include "base/clock.h"
#include "base/text_1251.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

WorkLog::WorkLog(const Clock& clock) : clock_(clock) {}

QStringList WorkLog::defaultDirs() {
    const QString programDir = QCoreApplication::applicationDirPath();
    const QString userDir = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
                            QStringLiteral("/lv300-configurator");
    // Installed: the menu entry beside the program's folder (Linux), or the
    // installer's uninstall.exe in it (Windows, under Program Files).
    if (QFileInfo::exists(programDir +
                          QStringLiteral("/../share/applications/lv300-configurator.desktop")) ||
        QFileInfo::exists(programDir + QStringLiteral("/uninstall.exe")))
        return {userDir};
    return {programDir, userDir};
}

QString WorkLog::runName(const QDateTime& start) {
    return start.toString(QStringLiteral("ddMMyyyy_HHmmss"));
}

QString WorkLog::dateTimeText(const QDateTime& t) {
    return t.toString(QStringLiteral("dd.MM.yyyy HH:mm:ss"));
}

QString WorkLog::timeText(const QDateTime& t) {
    return t.toString(QStringLiteral("HH:mm:ss"));
}

bool WorkLog::create(const QStringList& baseDirs, QString* error) {
    start_ = clock_.now();
    const QString name = runName(start_);
    QString lastError;
    for (const QString& base : baseDirs) {
        if (base.isEmpty())
            continue;
        QDir dir(base);
        if (!dir.exists(QStringLiteral("log")) && !dir.mkpath(QStringLiteral("log"))) {
            lastError = QStringLiteral("Не удалось создать папку ") +
                        QDir::toNativeSeparators(dir.filePath(QStringLiteral("log")));
            continue;
        }
        // NewOnly makes the choice of a free name atomic between two runs.
        for (int n = 1; n < 1000; ++n) {
            const QString file =
                name + (n == 1 ? QString() : QStringLiteral("_%1").arg(n)) + QStringLiteral(".log");
            QFile f(dir.filePath(QStringLiteral("log/") + file));
            if (f.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
                // The start text itself ends with CR LF inside the quotation marks.
                const QString line = QStringLiteral("\"Start: ") + dateTimeText(start_) +
                                     QStringLiteral("\r\n\"\r\n");
                const QByteArray bytes = text1251::encode(line);
                const bool ok = f.write(bytes) == bytes.size();
                f.close();
                if (!ok) {
                    lastError = QStringLiteral("Не удалось записать журнал ") +
                                QDir::toNativeSeparators(f.fileName());
                    break;
                }
                path_ = f.fileName();
                return true;
            }
            if (!f.exists()) {
                lastError = QStringLiteral("Не удалось создать журнал ") +
                            QDir::toNativeSeparators(f.fileName()) + QStringLiteral(": ") +
                            f.errorString();
                break;
            }
        }
    }
    if (error)
        *error =
            lastError.isEmpty() ? QStringLiteral("Не удалось создать журнал работы") : lastError;
    return false;
}

WorkLog::AppendResult WorkLog::append(const QString& text) {
    if (suppressed_)
        return AppendResult::Written;
    bool ok = false;
    if (!path_.isEmpty()) {
        QFile f(path_);
        if (f.open(QIODevice::WriteOnly | QIODevice::Append)) {
            const QString line = QStringLiteral("\"") + timeText(clock_.now()) +
                                 QStringLiteral(" : ") + text + QStringLiteral("\"\r\n");
            const QByteArray bytes = text1251::encode(line);
            ok = f.write(bytes) == bytes.size();
            f.close();
            ok = ok && f.error() == QFileDevice::NoError;
        }
    }
    if (ok)
        return AppendResult::Written;
    if (failedBefore_)
        return AppendResult::Failed;
    failedBefore_ = true;
    return AppendResult::FailedFirstTime;
}
