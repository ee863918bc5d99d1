#pragma once
// The process's peak resident memory, for the benchmarks that report it.

#include <QByteArray>
#include <QFile>
#include <QString>

// Peak resident memory of this process in KiB (VmHWM), 0 where unknown.
inline qint64 peakKiB() {
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : f.readAll().split('\n'))
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').first().toLongLong();
    return 0;
}
