#pragma once
// A calibration as CSV for a fleet-monitoring server: one "level;litres" pair
// a line after a header line, UTF-8, CR LF. The server turns the level the
// sensor sends (X) into litres (Y) by the broken line through these pairs.

#include "tables/curves.h"
#include "tables/table_frames.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <optional>

namespace tables {

inline const QByteArray CsvHeader = "level;litres";
// Pairs a CSV file may hold: as many as a calibration file's rows.
inline constexpr int MaxCsvPoints = 10000;

// The bytes of a CSV file: the header, then the points as whole numbers
// (litres with up to one decimal where they are not whole).
QByteArray csvBytes(const QList<CurvePoint>& points);

// The table's 20 points for the server, point 0 first; nullopt when a box
// does not hold a table value (error names the row and the column as the
// window shows them).
std::optional<QList<CurvePoint>> tablePoints(const TableTexts& table, QString* error);

// Writes a CSV file whole or not at all.
bool saveCsv(const QString& path, const QList<CurvePoint>& points, QString* error);

struct CsvContents {
    QList<CurvePoint> points; // number: the file's line
    QString error;            // not empty: refused, points empty
};

// Reads a CSV of pairs: fields separated by ";", "," or a tab (the first
// data line decides), an optional header line, empty lines skipped. Every
// other line must be two numbers, level and litres, each 0..32767 (litres may
// have decimals, with a point, or a comma when the separator is not one),
// levels rising and litres never falling; anything else refuses the whole
// file with the line's number. A UTF-8 byte-order mark is skipped.
CsvContents parseCsv(const QByteArray& bytes);

// Reads a CSV file (a regular file of at most MaxTextFileSize bytes) and parses it.
CsvContents loadCsv(const QString& path);

} // namespace tables
