#pragma once
// Reading a file safely: only a regular file is opened (a pipe would block
// the open, a device reports size 0 and never ends), and never more than a
// limit is read, whatever size the file reports.

#include <QByteArray>
#include <QString>

class QFile;

namespace bounded {

enum class Status {
    Ok,
    CannotOpen, // missing or unreadable (a folder too); why says what the system reported
    NotRegular, // a device, pipe or socket: never opened
    TooLarge,   // more than the limit
    ReadFailed, // opened, but reading failed; why says what the system reported
};

// Opens a regular file of at most `limit` bytes by its reported size for
// reading (a file that grows later is the reader's to bound).
Status open(QFile& file, const QString& path, qint64 limit, QString* why = nullptr);

// A small file read into memory.
struct File {
    Status status = Status::CannotOpen;
    QByteArray bytes;
    QString why;
};

// Reads at most limit + 1 bytes, in pieces; more than limit is TooLarge.
File read(const QString& path, qint64 limit);

} // namespace bounded
