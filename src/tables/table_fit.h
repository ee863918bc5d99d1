#pragma once
// The sensor's 20-point table fitted to the captures of a calibration by
// portions: a tank poured in 40 portions gives 40 (level, litres) points, the
// sensor holds 20. The table's points are chosen among the captures so that
// the table's broken line strays least from the captures it leaves out,
// judged by the largest difference in litres at a captured level.

#include "tables/curves.h"
#include "tables/table_frames.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <optional>

namespace tables {

// The captures a table or a server's calibration is made from: levels
// strictly rising, litres never falling.
struct Captures {
    QList<CurvePoint> points; // number: the row of the capture (the file's line for a file)
    QList<int> outOfOrder;    // rows left out: level not above the capture before, or fewer litres
    int withoutLevel = 0; // rows whose level is not a number ("Нет данных", a frequency)
    QString cutLine;      // a last line cut off while it was written, left out
    QString error;        // not empty: refused, points empty
};

// The captures of a calibration under way (the rows above the pending one).
Captures capturesOf(const PortionCalibration& calibration);

// A .trr file given whole, made by the calibration tab (three fields a line)
// or by the calibration window (two): the header line names which. A line
// that is neither (wrong field count, litres not a whole number) refuses the
// file with its line number.
Captures parseTrr(const QByteArray& bytes);

// Reads a .trr file (a regular file of at most MaxTextFileSize bytes) and
// parses it.
Captures loadTrr(const QString& path);

struct TableFit {
    std::optional<TableTexts> table; // nullopt: refused, error says why
    QString error;
    QList<int> chosen;      // the captures (indices into the points) that became table points
    double deviation = 0;   // the largest difference in litres at a captured level
    double deviationAt = 0; // the level where it occurs (the lowest such level)
};

// The 20-point table through the captures (at least two, levels and litres
// table values 0..32767). With 20 or more captures, 20 of them are the
// points, the first and the last always among them, chosen to make the
// largest deviation as small as it can be (to 0.0001 l). With fewer, the
// captures are the points and the widest gaps between them get points on the
// straight line between their ends (litres rounded), until there are 20.
TableFit fitTable(const QList<CurvePoint>& points);

// The largest deviation of the broken line through the chosen points (indices
// ascending, the first and the last point among them) from all points, and
// the level where it occurs.
struct Deviation {
    double litres = 0;
    double level = 0;
};
Deviation deviationOf(const QList<CurvePoint>& points, const QList<int>& chosen);

// The largest deviation of a table's broken line (its points in order) from
// the captures within its range of readings; nullopt when none is.
std::optional<Deviation> tableDeviation(const TableTexts& table, const QList<CurvePoint>& captures);

// "Наибольшее отклонение: 2,5 л при уровне 1530"
QString deviationText(double litres, double level);
// What was left out of the captures, for the user; empty when nothing was.
QString leftOutText(const Captures& captures);

} // namespace tables
