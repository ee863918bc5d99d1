#pragma once
// Table files (.lv3): Windows-1251 text, CR LF line ends, the 20 readings
// then the 20 litres, one box text per line, point 0 first, nothing else.

#include "tables/table_frames.h"

#include <QByteArray>
#include <QString>
#include <optional>

namespace tables {

inline constexpr int Lv3Lines = 2 * Points;

// The bytes of a table file. nullopt when a box text cannot be written in
// Windows-1251 (error names the row and column).
std::optional<QByteArray> lv3Bytes(const TableTexts& table, QString* error = nullptr);

// Reads a table file given whole. Lines end in CR LF (a bare CR or LF is taken
// as a line end too). The file is taken in passes of 40 lines and the last
// pass wins; a line count that is not a multiple of 40, or no line at all,
// refuses the file.
struct Lv3Contents {
    std::optional<TableTexts> table; // nullopt: refused, error says why
    QString error;
};
Lv3Contents parseLv3(const QByteArray& bytes);

// Saves the table. The file is replaced only once it is complete; on failure
// the old file stays as it was. Returns false with the reason in error.
bool saveLv3(const QString& path, const TableTexts& table, QString* error);

// Opens, reads whole and checks a table file: a regular file of at most
// MaxTextFileSize bytes, however large it says it is.
Lv3Contents loadLv3(const QString& path);

} // namespace tables
