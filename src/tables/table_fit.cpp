#include "tables/table_fit.h"

#include "base/bounded_file.h"
#include "base/text_1251.h"
#include "sensor/requests.h"
#include "tables/portions.h"
#include "tables/table_texts.h"
#include "tables/text_lines.h"

#include <QDir>
#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

namespace tables {

namespace {

Captures fromCurve(const QList<CurvePoint>& curve, qsizetype rows) {
    Captures out;
    for (const CurvePoint& p : curve) {
        if (p.outOfOrder)
            out.outOfOrder.append(p.number);
        else
            out.points.append(p);
    }
    out.withoutLevel = int(rows - curve.size());
    return out;
}

Captures refused(const QString& why) {
    Captures out;
    out.error = why;
    return out;
}

// The broken line through points a and b at level x.
double between(const CurvePoint& a, const CurvePoint& b, double x) {
    return a.litres + (b.litres - a.litres) * (x - a.level) / (b.level - a.level);
}

// Paths through the captures with a given number of segments whose every
// segment stays within a tolerance of the captures it passes over. For each
// capture j, bit t of reach[j] says that capture j ends such a path of t
// segments from capture 0; from[j * Points + t] is the capture before it.
class Paths {
public:
    explicit Paths(const QList<CurvePoint>& p) : x_(size_t(p.size())), y_(size_t(p.size())) {
        for (qsizetype i = 0; i < p.size(); ++i) {
            x_[size_t(i)] = p[i].level;
            y_[size_t(i)] = p[i].litres;
        }
    }

    // Whether capture 0 reaches the last capture in exactly `segments`
    // segments within the tolerance; with `record`, the path is kept for path().
    bool feasible(double tolerance, int segments, bool record) {
        const size_t n = x_.size();
        const quint32 keep = (quint32(1) << (segments + 1)) - 1; // bits 0..segments
        const quint32 extendable = keep >> 1;                    // bits 0..segments-1
        reach_.assign(n, 0);
        if (record)
            from_.assign(n * size_t(Points), -1);
        reach_[0] = 1;
        for (size_t i = 0; i + 1 < n; ++i) {
            const quint32 here = reach_[i] & extendable;
            if (!here)
                continue;
            const quint32 next = (here << 1) & keep;
            // The slopes from capture i that pass within the tolerance of
            // every capture between i and j: a cone that only narrows.
            double lo = -std::numeric_limits<double>::infinity();
            double hi = std::numeric_limits<double>::infinity();
            for (size_t j = i + 1; j < n; ++j) {
                const double dx = x_[j] - x_[i];
                const double dy = y_[j] - y_[i];
                const double slope = dy / dx;
                const double slack = 1e-12 * (std::fabs(slope) + 1);
                if (slope >= lo - slack && slope <= hi + slack) {
                    const quint32 added = next & ~reach_[j];
                    if (added) {
                        reach_[j] |= added;
                        if (record)
                            for (int t = 0; t <= segments; ++t)
                                if (added & (quint32(1) << t))
                                    from_[j * size_t(Points) + size_t(t)] = int(i);
                    }
                }
                lo = std::max(lo, (dy - tolerance) / dx);
                hi = std::min(hi, (dy + tolerance) / dx);
                if (lo > hi + 1e-12 * (std::fabs(hi) + 1))
                    break;
            }
        }
        return reach_[n - 1] & (quint32(1) << segments);
    }

    // The captures of the path kept by the last feasible(..., true), first to last.
    QList<int> path(int segments) const {
        QList<int> out;
        int j = int(x_.size()) - 1;
        for (int t = segments; t > 0; --t) {
            out.prepend(j);
            j = from_[size_t(j) * size_t(Points) + size_t(t)];
        }
        out.prepend(j);
        return out;
    }

private:
    std::vector<double> x_, y_;
    std::vector<quint32> reach_;
    std::vector<int> from_;
};

// The captures spread evenly over their order: where a binary search starts.
QList<int> evenlySpaced(qsizetype n) {
    QList<int> out;
    for (int k = 0; k < Points; ++k)
        out.append(int(std::llround(double(k) * double(n - 1) / (Points - 1))));
    return out;
}

QString numberText(double v) {
    QString t = QString::number(v, 'f', 1);
    t.replace(QLatin1Char('.'), QLatin1Char(','));
    return t;
}

} // namespace

Captures capturesOf(const PortionCalibration& calibration) {
    const auto& s = calibration.state();
    const int captured = std::min(s.currentRow - 1, int(s.rows.size()));
    return fromCurve(captureCurve(calibration), captured);
}

Captures parseTrr(const QByteArray& bytes) {
    const auto header = lineAt(bytes, 0);
    if (!header)
        return refused(QStringLiteral("Файл тарировки пуст."));
    const int columns = int(bytes.mid(header->start, header->length).count(';')) + 1;
    if (columns != 2 && columns != 3)
        return refused(
            QStringLiteral("Первая строка файла не похожа на заголовок файла "
                           "тарировки (\"Литры;Уровень\" или \"№ проции;Литры;Уровень\")."));
    const PortionLayout layout = columns == 3 ? tabLayout() : windowLayout();
    QList<QStringList> rows;
    QList<int> lineOfRow;
    QString cutLine;
    int lineNumber = 1;
    for (auto l = lineAt(bytes, header->next); l; l = lineAt(bytes, l->next)) {
        ++lineNumber;
        if (l->length == 0)
            continue;
        const QString text = text1251::decode(bytes.mid(l->start, l->length));
        const QStringList fields = text.split(QLatin1Char(';'));
        if (!l->ended && fields.size() < columns) {
            cutLine = text; // cut off while it was written: the rows before it stand
            break;
        }
        if (fields.size() != columns)
            return refused(QStringLiteral("Строка %1 файла тарировки: нужно %2 поля через \";\", "
                                          "а в ней \"%3\".")
                               .arg(lineNumber)
                               .arg(columns)
                               .arg(text));
        if (!sensor::toInt32(fields[layout.litresColumn()]))
            return refused(QStringLiteral("Строка %1 файла тарировки: литры \"%2\" не целое число.")
                               .arg(lineNumber)
                               .arg(fields[layout.litresColumn()]));
        if (rows.size() == MaxPortionRows)
            return refused(
                QStringLiteral("В файле больше %1 строк тарировки.").arg(MaxPortionRows));
        rows.append(fields);
        lineOfRow.append(lineNumber);
    }
    QList<CurvePoint> curve = captureCurve(rows, layout);
    for (CurvePoint& p : curve)
        p.number = lineOfRow[p.number - 1]; // the file's line, as the user finds it
    Captures out = fromCurve(curve, rows.size());
    out.cutLine = cutLine;
    return out;
}

Captures loadTrr(const QString& path) {
    const bounded::File file = bounded::read(path, MaxTextFileSize);
    const QString shown = QDir::toNativeSeparators(path);
    if (const QString why = readRefusal(
            file, path, QStringLiteral("Файл %1 слишком велик для файла тарировки.").arg(shown));
        !why.isEmpty())
        return refused(why);
    Captures out = parseTrr(file.bytes);
    if (!out.error.isEmpty())
        out.error = QStringLiteral("Файл %1: %2").arg(shown, out.error);
    return out;
}

Deviation deviationOf(const QList<CurvePoint>& points, const QList<int>& chosen) {
    Deviation worst;
    bool first = true;
    for (qsizetype k = 0; k + 1 < chosen.size(); ++k) {
        const CurvePoint& a = points[chosen[k]];
        const CurvePoint& b = points[chosen[k + 1]];
        for (int m = chosen[k]; m <= chosen[k + 1]; ++m) {
            const double d = std::fabs(points[m].litres - between(a, b, points[m].level));
            if (first || d > worst.litres) {
                worst = {d, points[m].level};
                first = false;
            }
        }
    }
    return worst;
}

TableFit fitTable(const QList<CurvePoint>& points) {
    TableFit out;
    if (points.size() < 2) {
        out.error = QStringLiteral("Для таблицы нужно не меньше двух точек тарировки по порядку, "
                                   "а их %1.")
                        .arg(points.size());
        return out;
    }
    for (const CurvePoint& p : points) {
        for (const auto& [value, what] : {std::pair{p.level, QStringLiteral("Уровень")},
                                          std::pair{p.litres, QStringLiteral("Литры")}}) {
            if (value < 0 || value > MaxValue) {
                out.error = QStringLiteral("%1 %2 (строка %3) не помещается в таблицу датчика: "
                                           "от 0 до %4.")
                                .arg(what)
                                .arg(qint64(value))
                                .arg(p.number)
                                .arg(MaxValue);
                return out;
            }
        }
    }
    const qsizetype n = points.size();
    QList<CurvePoint> table; // the 20 points, by level
    if (n >= Points) {
        Paths paths(points);
        const int segments = Points - 1;
        // The smallest tolerance with a path of 19 segments, by halving:
        // the evenly spaced choice is one such path.
        double hi = deviationOf(points, evenlySpaced(n)).litres;
        double lo = 0;
        if (paths.feasible(0, segments, false))
            hi = 0;
        while (hi - lo > 1e-4) {
            const double mid = (lo + hi) / 2;
            (paths.feasible(mid, segments, false) ? hi : lo) = mid;
        }
        // The path at the tolerance found; the evenly spaced one should
        // rounding ever leave none.
        out.chosen = paths.feasible(hi * (1 + 1e-9) + 1e-9, segments, true) ? paths.path(segments)
                                                                            : evenlySpaced(n);
        for (int i : out.chosen)
            table.append(points[i]);
    } else {
        for (int i = 0; i < n; ++i)
            out.chosen.append(i);
        table = points;
        // Fill the widest gaps with points on the line, while any gap has room.
        while (table.size() < Points) {
            qsizetype widest = -1;
            for (qsizetype k = 0; k + 1 < table.size(); ++k)
                if (table[k + 1].level - table[k].level >= 2 &&
                    (widest < 0 || table[k + 1].level - table[k].level >
                                       table[widest + 1].level - table[widest].level))
                    widest = k;
            if (widest < 0)
                break;
            const CurvePoint& a = table[widest];
            const CurvePoint& b = table[widest + 1];
            const double level = std::floor((a.level + b.level) / 2);
            table.insert(widest + 1,
                         CurvePoint{0, level, double(std::llround(between(a, b, level))), false});
        }
        // No room left between the levels: the top point repeats.
        while (table.size() < Points)
            table.append(table.last());
    }
    const Deviation d = deviationOf(points, out.chosen);
    out.deviation = d.litres;
    out.deviationAt = d.level;
    TableTexts t;
    for (int i = 0; i < Points; ++i) {
        t.readings[size_t(i)] = QString::number(std::llround(table[i].level));
        t.litres[size_t(i)] = QString::number(std::llround(table[i].litres));
    }
    out.table = t;
    return out;
}

std::optional<Deviation> tableDeviation(const TableTexts& table,
                                        const QList<CurvePoint>& captures) {
    QList<CurvePoint> line;
    for (const CurvePoint& p : tableCurve(table))
        if (!p.outOfOrder)
            line.append(p);
    std::optional<Deviation> worst;
    for (const CurvePoint& c : captures) {
        for (qsizetype k = 0; k + 1 < line.size(); ++k) {
            if (c.level < line[k].level || c.level > line[k + 1].level)
                continue;
            const double d = std::fabs(c.litres - between(line[k], line[k + 1], c.level));
            if (!worst || d > worst->litres)
                worst = Deviation{d, c.level};
            break;
        }
    }
    return worst;
}

QString deviationText(double litres, double level) {
    return QStringLiteral("Наибольшее отклонение: %1 л при уровне %2")
        .arg(numberText(litres))
        .arg(qint64(level));
}

QString leftOutText(const Captures& captures) {
    QStringList parts;
    if (!captures.outOfOrder.isEmpty()) {
        QStringList rows;
        for (int r : captures.outOfOrder)
            rows.append(QString::number(r));
        parts.append(QStringLiteral("Не по порядку и пропущены (%1): строки %2.")
                         .arg(captures.outOfOrder.size())
                         .arg(rows.join(QStringLiteral(", "))));
    }
    if (captures.withoutLevel > 0)
        parts.append(QStringLiteral("Без уровня и пропущены: %1.").arg(captures.withoutLevel));
    if (!captures.cutLine.isNull())
        parts.append(txt::LastLineCut + captures.cutLine);
    return parts.join(QLatin1Char('\n'));
}

} // namespace tables
