// Replay of a log at the size limit: the peak memory of the process above
// its own baseline, the time to the first record and the time to the end.
// Usage: bench_replay [megabytes [early|late]]  (64 MiB, the replay's limit;
// "early": a record on line 2, "late": the only record on the last line)

#include "peak_memory.h"
#include "replay/replay.h"
#include "support/scripted_dialog.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <cstdio>

namespace {

const QByteArray Record = "S485=23:3E05F00102030405060708";

// A log of `size` bytes: a first line, then empty lines, with a record on
// line 2 when `recordFirst`, and one on the last line.
bool writeLog(const QString& path, qint64 size, bool recordFirst) {
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        return false;
    QByteArray head = "log\r\n";
    if (recordFirst)
        head += Record + "\r\n";
    const QByteArray tail = Record + "\r\n";
    f.write(head);
    const QByteArray chunk = QByteArray("\r\n").repeated(512 * 1024);
    qint64 left = size - head.size() - tail.size();
    while (left > 0) {
        const qint64 n = std::min<qint64>(left, chunk.size());
        f.write(chunk.constData(), n);
        left -= n;
    }
    f.write(tail);
    return f.size() == size;
}

void run(const char* name, const QString& path) {
    const qint64 base = peakKiB();
    ScriptedDialog dlg;
    QElapsedTimer t;
    t.start();
    replay::ReplayReader reader;
    if (!reader.open(path)) {
        std::printf("%s: refused (%s)\n", name, qPrintable(reader.errorText()));
        return;
    }
    const qint64 openMs = t.elapsed();
    const auto first = reader.next(dlg);
    const qint64 firstMs = t.elapsed();
    int records = first ? 1 : 0;
    while (reader.next(dlg))
        ++records;
    const qint64 allMs = t.elapsed();
    std::printf("%s: open %lld ms, first record %lld ms (line %d), all %d records %lld ms, "
                "peak %.1f MiB above a baseline of %.1f MiB\n",
                name, qlonglong(openMs), qlonglong(firstMs), first ? first->lineNumber : 0, records,
                qlonglong(allMs), (peakKiB() - base) / 1024.0, base / 1024.0);
    std::fflush(stdout);
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const qint64 megabytes = argc > 1 ? QByteArray(argv[1]).toLongLong() : 64;
    const qint64 size = std::min(megabytes * 1024 * 1024, replay::MaxFileSize);
    QTemporaryDir dir;
    const QString early = dir.filePath("early.log");
    const QString late = dir.filePath("late.log");
    if (!writeLog(early, size, true) || !writeLog(late, size, false)) {
        std::printf("cannot write the logs\n");
        return 1;
    }
    std::printf("logs of %lld bytes, empty lines (CR LF)\n", qlonglong(size));
    // One case a run, so that each has a peak of its own.
    const QByteArray which = argc > 2 ? QByteArray(argv[2]) : QByteArray("early");
    if (which == "early")
        run("record on line 2", early);
    else
        run("record on the last line only", late);
    return 0;
}
