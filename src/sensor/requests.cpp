#include "sensor/requests.h"

#include "link/frame.h"

#include <limits>

namespace sensor {

bool needsWriteAccessCode(int firmware) {
    return firmware > 174;
}

bool sendsSmoothingByte(int firmware) {
    return firmware > 175;
}

QByteArray buildRequest(quint8 address, quint8 command, bool withAccessCode,
                        const QByteArray& data) {
    QByteArray r;
    r.append(static_cast<char>(frame::RequestPrefix));
    r.append(static_cast<char>(address));
    r.append(static_cast<char>(command));
    if (withAccessCode) {
        for (quint8 b : WriteAccessCode)
            r.append(static_cast<char>(b));
    }
    r.append(data);
    return frame::Control_summ(r);
}

QByteArray encodeU8(quint8 value) {
    return QByteArray(1, static_cast<char>(value));
}

std::optional<QByteArray> encodeU32(qint64 value) {
    if (value < 0 || value > MaxU32Value)
        return std::nullopt;
    return frame::Long_to_string(static_cast<qint32>(value));
}

std::optional<QByteArray> encodeShift(int value) {
    if (value < -MaxShift || value > MaxShift)
        return std::nullopt;
    const int u = value < 0 ? value + 65536 : value;
    QByteArray out;
    out.append(static_cast<char>(u / 256));
    out.append(static_cast<char>(u % 256));
    return out;
}

namespace {

bool isAsciiDigit(QChar c) {
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

} // namespace

std::optional<qint32> toWholeNumber(const QString& text, NumberWidth width) {
    const QString t = text.trimmed();
    qsizetype i = 0;
    bool negative = false;
    if (i < t.size() && (t[i] == QLatin1Char('+') || t[i] == QLatin1Char('-'))) {
        negative = t[i] == QLatin1Char('-');
        ++i;
    }

    // Whole part. More than 12 significant digits is beyond every width even
    // after rounding, so the magnitude never overflows.
    qint64 magnitude = 0;
    int significant = 0;
    int digits = 0;
    for (; i < t.size() && isAsciiDigit(t[i]); ++i) {
        ++digits;
        const int d = t[i].unicode() - '0';
        if (significant > 0 || d != 0)
            ++significant;
        if (significant > 12)
            return std::nullopt;
        magnitude = magnitude * 10 + d;
    }

    // Fraction: only its first digit and whether anything non-zero follows
    // matter for rounding.
    int firstFractionDigit = 0;
    bool nonZeroAfterFirst = false;
    if (i < t.size() && (t[i] == QLatin1Char('.') || t[i] == QLatin1Char(','))) {
        ++i;
        bool first = true;
        for (; i < t.size() && isAsciiDigit(t[i]); ++i) {
            ++digits;
            const int d = t[i].unicode() - '0';
            if (first)
                firstFractionDigit = d;
            else if (d != 0)
                nonZeroAfterFirst = true;
            first = false;
        }
    }
    if (digits == 0 || i != t.size())
        return std::nullopt;

    const bool roundUp = firstFractionDigit > 5 ||
                         (firstFractionDigit == 5 && (nonZeroAfterFirst || magnitude % 2 == 1));
    if (roundUp)
        ++magnitude;
    const qint64 value = negative ? -magnitude : magnitude;

    qint64 lo = 0;
    qint64 hi = 0;
    switch (width) {
    case NumberWidth::Byte:
        lo = 0;
        hi = 255;
        break;
    case NumberWidth::Int16:
        lo = std::numeric_limits<qint16>::min();
        hi = std::numeric_limits<qint16>::max();
        break;
    case NumberWidth::Int32:
        lo = std::numeric_limits<qint32>::min();
        hi = std::numeric_limits<qint32>::max();
        break;
    }
    if (value < lo || value > hi)
        return std::nullopt;
    return static_cast<qint32>(value);
}

} // namespace sensor
