#pragma once
// Splitting the bytes of a text file into its lines.

#include <QByteArray>
#include <QList>

namespace tables {

// Splits at CR LF, CR or LF; a line end at the very end opens no new line.
QList<QByteArray> splitLines(const QByteArray& bytes);

} // namespace tables
