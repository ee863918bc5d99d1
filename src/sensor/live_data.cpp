#include "sensor/live_data.h"


#include <QLocale>
#include <cfenv>
#include <cmath>

namespace live {

qint64 roundHalfEven(double v) {
    // nearbyint rounds in the current mode, which is to nearest, ties to even.
    const int old = std::fegetround();
    std::fesetround(FE_TONEAREST);
    const double r = std::nearbyint(v);
    std::fesetround(old);
    return static_cast<qint64>(r);
}

QString generalNumber(double v) {
    QString s = QString::number(v, 'g', 15);
    s.replace(QLatin1Char('e'), QLatin1Char('E'));
    s.replace(QLatin1Char('.'), QLocale().decimalPoint());
    return s;
}

QString temperatureText(quint8 b) {
    const int t = b > 127 ? int(b) - 256 : int(b);
    return QString::number(t) + QStringLiteral(" °C");
}

QString voltageText(int level, bool range4096) {
    const qint64 x = roundHalfEven(double(level) * 100.0 * 5.0 / 4096.0);
    const double volts = range4096 ? double(x) / 100.0 : double(x) / 25.0;
    return generalNumber(volts) + QStringLiteral(" В");
}

std::optional<quint32> u32At(const QByteArray& a, int pos) {
    if (pos < 1 || pos + 3 > a.size())
        return std::nullopt;
    quint32 v = 0;
    for (int i = 3; i >= 0; --i)
        v = (v << 8) | static_cast<quint8>(a[pos - 1 + i]);
    return v;
}

std::optional<quint32> u16At(const QByteArray& a, int pos) {
    if (pos < 1 || pos + 1 > a.size())
        return std::nullopt;
    return quint32(static_cast<quint8>(a[pos - 1])) | (quint32(static_cast<quint8>(a[pos])) << 8);
}

std::optional<quint8> u8At(const QByteArray& a, int pos) {
    if (pos < 1 || pos > a.size())
        return std::nullopt;
    return static_cast<quint8>(a[pos - 1]);
}

Stability::State Stability::update(quint32 r, int& holdCounter) {
    holdCounter += 2;
    if (r != 0) {
        holdCounter = 0;
        average = average + (double(r) - average) / 5.0;
        const double d = std::fabs(average - double(r));
        if (double(r) / 5000.0 > d)
            ++score;
        else
            --score;
    }
    State state;
    if (score > 5 || holdCounter > 60) {
        score = 5;
        holdCounter = 60;
        state = State::Steady;
    } else {
        state = State::Settling;
    }
    if (score < 0) {
        score = 0;
        holdCounter = 0;
        state = State::Unsteady;
    }
    return state;
}

QString versionCaption(quint8 firmware, quint8 prefix) {
    QString out;
    if (prefix != 0)
        out += QString::number(prefix);
    const QString digits = QString::number(firmware);
    for (int i = 0; i < 3; ++i) {
        if (i < digits.size())
            out += digits[i];
        out += QLatin1Char('.');
    }
    return out;
}

} // namespace live
