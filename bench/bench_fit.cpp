// The table fitted to a calibration: the fit on a file of 10,000 captures
// (wall time, peak memory above the program's own baseline), and the largest
// deviation of the fitted table beside the naive choice of 20 evenly spaced
// captures, for a few tank shapes poured in equal portions.
// Usage: bench_fit [captures]   (10000 by default)

#include "base/text_1251.h"
#include "peak_memory.h"
#include "tables/table_fit.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTextStream>
#include <cmath>
#include <cstdio>
#include <functional>
#include <numbers>

namespace {

// A tank as litres against the sensor's level 0..4095 (its full height).
struct Tank {
    const char* name;
    std::function<double(double)> litres; // level -> litres, rising
};

// The level of a volume, by halving (the shapes only rise).
double levelOf(const Tank& t, double litres) {
    double lo = 0, hi = 4095;
    for (int i = 0; i < 60; ++i) {
        const double mid = (lo + hi) / 2;
        (t.litres(mid) < litres ? lo : hi) = mid;
    }
    return (lo + hi) / 2;
}

// The captures of a tank poured in `portions` equal portions from empty to
// full: litres whole, levels rounded as the sensor shows them.
QList<tables::CurvePoint> pour(const Tank& t, int portions) {
    const double full = t.litres(4095);
    const double portion = std::floor(full / portions);
    QList<tables::CurvePoint> out;
    double lastLevel = -1;
    for (int k = 0; k <= portions; ++k) {
        const double level = std::round(levelOf(t, k * portion));
        if (level <= lastLevel)
            continue; // two portions the sensor cannot tell apart
        out.append(tables::CurvePoint{k + 1, level, k * portion, false});
        lastLevel = level;
    }
    return out;
}

QList<int> evenly(qsizetype n) {
    QList<int> out;
    for (int k = 0; k < tables::Points; ++k)
        out.append(int(std::llround(double(k) * double(n - 1) / (tables::Points - 1))));
    return out;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int big = argc > 1 ? QByteArray(argv[1]).toInt() : 10000;
    std::printf("bench_fit: the 20-point table fitted to the captures\n\n");

    const double R = 4095 / 2.0;
    const Tank tanks[] = {
        {"cylinder on its side, 1 m x 2 m, 1570 l",
         [R](double h) {
             const double r = R - h;
             return (R * R * std::acos(std::clamp(r / R, -1.0, 1.0)) -
                     r * std::sqrt(std::max(0.0, R * R - r * r))) /
                    (std::numbers::pi * R * R) * 1570;
         }},
        {"box 1200 l, bottom sloped over the lowest quarter",
         [](double h) {
             const double slope = 4095 / 4.0; // the bottom rises over this height
             const double perLevel = 1200 / (4095 - slope / 2);
             return h < slope ? perLevel * h * h / (2 * slope)
                              : perLevel * (slope / 2 + (h - slope));
         }},
        {"box 600 l, straight sides", [](double h) { return 600 * h / 4095; }},
    };

    // The large file: a cylinder poured in as many portions as asked (a 31,400 l
    // tank, so that every portion moves the level).
    {
        const Tank t{"", [&](double h) { return tanks[0].litres(h) * 20; }};
        QList<tables::CurvePoint> points;
        for (int k = 0; k < big; ++k) {
            const double level = 4095.0 * k / (big - 1) * 8; // levels 0..32760
            points.append(tables::CurvePoint{k + 2, std::round(level),
                                             std::round(t.litres(level / 8)), false});
        }
        // The trr file's bytes, as a resume or `table fit` would read them.
        QByteArray file = text1251::encode(QStringLiteral("Литры;Уровень")) + "\r\n";
        for (const auto& p : points)
            file += QByteArray::number(qint64(p.litres)) + ';' +
                    QByteArray::number(qint64(p.level)) + "\r\n";
        const qint64 before = peakKiB();
        QElapsedTimer timer;
        timer.start();
        const tables::Captures c = tables::parseTrr(file);
        const qint64 parsed = timer.elapsed();
        const tables::TableFit fit = tables::fitTable(c.points);
        const qint64 fitted = timer.elapsed();
        const qint64 after = peakKiB();
        std::printf("%d captures (%lld kB of trr, %lld in order): read %lld ms, fit %lld ms, "
                    "peak memory +%lld KiB\n",
                    big, qint64(file.size() / 1024), qint64(c.points.size()), parsed,
                    fitted - parsed, after - before);
        std::printf("  largest deviation %.2f l of %.0f l; evenly spaced %.2f l\n\n", fit.deviation,
                    c.points.last().litres,
                    tables::deviationOf(c.points, evenly(c.points.size())).litres);
    }

    std::printf("%-52s %8s %6s %10s %10s\n", "tank", "portions", "points", "fitted, l",
                "evenly, l");
    for (const Tank& t : tanks) {
        for (int portions : {40, 100, 400}) {
            const QList<tables::CurvePoint> points = pour(t, portions);
            const tables::TableFit fit = tables::fitTable(points);
            const double naive = tables::deviationOf(points, evenly(points.size())).litres;
            std::printf("%-52s %8d %6lld %10.2f %10.2f\n", t.name, portions, qint64(points.size()),
                        fit.deviation, naive);
        }
    }
    return 0;
}
