#pragma once
// Splitting the bytes of table and calibration files into lines (they are
// read with bounded::read, base/bounded_file.h).

#include "base/bounded_file.h"

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

// Why a file read with bounded::read cannot be used, in the user's words;
// empty when it was read. tooLarge: what to say of a file over the limit.
QString readRefusal(const bounded::File& file, const QString& path, const QString& tooLarge);

} // namespace tables
