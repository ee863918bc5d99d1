#pragma once
// Reading table and calibration files, and splitting their bytes into lines.

#include <QByteArray>
#include <QList>
#include <QString>
#include <optional>

namespace tables {

// Splits at CR LF, CR or LF; a line end at the very end opens no new line.
QList<QByteArray> splitLines(const QByteArray& bytes);

// One line of a text, found without copying it.
struct LineSpan {
    qsizetype start = 0;  // first byte of the line
    qsizetype length = 0; // its bytes, the line end not counted
    qsizetype next = 0;   // where the following line starts
    bool ended = false;   // a line end closes it (the last line may have none)
};

// The line that starts at `from`, split as splitLines does; nullopt once
// `from` has reached the end of the bytes.
std::optional<LineSpan> lineAt(const QByteArray& bytes, qsizetype from);

// A small file read into memory.
struct TextFile {
    enum class Status {
        Ok,
        CannotOpen, // missing or unreadable; why says what the system reported
        NotRegular, // a device, pipe or socket: never opened
        TooLarge,   // more than the limit
        ReadFailed, // opened, but reading failed; why says what the system reported
    };
    Status status = Status::CannotOpen;
    QByteArray bytes;
    QString why;
};

// Reads at most limit + 1 bytes, whatever size the file reports, and never
// opens a device, pipe or socket (a pipe would block the open, a device
// reports size 0 and never ends).
TextFile readTextFile(const QString& path, qint64 limit);

} // namespace tables
