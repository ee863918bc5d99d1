#pragma once
// The two curves a technician judges a tank by: the calibration's captures
// (litres against the level captured) and the sensor's 20-point table (litres
// against the sensor reading). A point out of order is the usual mistake: a
// portion poured before the level settled, or a table box typed wrong.

#include "tables/portions.h"
#include "tables/table_frames.h"

#include <QList>
#include <QString>

namespace tables {

struct CurvePoint {
    int number = 0;    // the grid row of a capture, or the table point 0..19
    double level = 0;  // level captured, or sensor reading
    double litres = 0; //
    bool outOfOrder = false;
};

// The captured rows (those above the pending one) whose level is a whole
// number, in row order. A capture is out of order when its level is not above
// that of the last capture in order before it, or its litres are below that
// capture's. Rows with another level text ("Нет данных", a frequency) are not
// points and are skipped.
QList<CurvePoint> captureCurve(const PortionCalibration& calibration);
// The same for rows laid out as `layout` says, row 1 first.
QList<CurvePoint> captureCurve(const QList<QStringList>& rows, const PortionLayout& layout);

// The table's points whose two boxes hold table values, by point number. A
// point is out of order when its reading is not above the reading of the
// point before it, or its litres are below that point's litres (the point
// before it: the nearest lower point number with valid boxes).
QList<CurvePoint> tableCurve(const TableTexts& table);

// The point numbers of the table's out-of-order points, ascending.
QList<int> nonMonotonicPoints(const TableTexts& table);

// "Таблица не монотонна в точках N, M. Записать всё равно?"
QString nonMonotonicQuestion(const QList<int>& points);

} // namespace tables
