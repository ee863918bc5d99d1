#include "tables/curves.h"

namespace tables {

QList<CurvePoint> captureCurve(const PortionCalibration& calibration) {
    const auto& s = calibration.state();
    const int captured = std::min(s.currentRow - 1, int(s.rows.size()));
    return captureCurve(s.rows.mid(0, captured), calibration.layout());
}

QList<CurvePoint> captureCurve(const QList<QStringList>& rows, const PortionLayout& layout) {
    QList<CurvePoint> points;
    qsizetype lastInOrder = -1; // index into points
    for (int row = 1; row <= rows.size(); ++row) {
        const QStringList& cells = rows[row - 1];
        bool levelOk = false;
        bool litresOk = false;
        const qint64 level = cells.value(layout.levelColumn()).trimmed().toLongLong(&levelOk);
        const qint64 litres = cells.value(layout.litresColumn()).trimmed().toLongLong(&litresOk);
        if (!levelOk || !litresOk)
            continue;
        CurvePoint p{row, double(level), double(litres), false};
        // Judged against the last capture in order: one capture taken too
        // early does not make the good ones after it look wrong.
        p.outOfOrder = lastInOrder >= 0 && (p.level <= points[lastInOrder].level ||
                                            p.litres < points[lastInOrder].litres);
        points.append(p);
        if (!p.outOfOrder)
            lastInOrder = points.size() - 1;
    }
    return points;
}

QList<CurvePoint> tableCurve(const TableTexts& table) {
    QList<CurvePoint> points;
    for (int i = 0; i < Points; ++i) {
        const auto reading = tableValue(table.readings[size_t(i)]);
        const auto litres = tableValue(table.litres[size_t(i)]);
        if (!reading || !litres)
            continue;
        CurvePoint p{i, double(*reading), double(*litres), false};
        p.outOfOrder = !points.isEmpty() &&
                       (p.level <= points.last().level || p.litres < points.last().litres);
        points.append(p);
    }
    return points;
}

QList<int> nonMonotonicPoints(const TableTexts& table) {
    QList<int> out;
    for (const CurvePoint& p : tableCurve(table)) {
        if (p.outOfOrder)
            out.append(p.number);
    }
    return out;
}

QString nonMonotonicQuestion(const QList<int>& points) {
    QStringList numbers;
    for (int n : points)
        numbers.append(QString::number(n));
    return QStringLiteral("Таблица не монотонна в точках ") + numbers.join(QStringLiteral(", ")) +
           QStringLiteral(". Записать всё равно?");
}

} // namespace tables
