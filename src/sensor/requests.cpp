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
    return frame::withCrc(r);
}

namespace {
QByteArray write(quint8 address, int firmware, quint8 command, const QByteArray& data = {}) {
    return buildRequest(address, command, needsWriteAccessCode(firmware), data);
}
} // namespace

Request setToCurrentRequest(quint8 address, int firmware, Level level) {
    const bool empty = level == Level::Empty;
    return {write(address, firmware, empty ? cmd::SetEmptyToCurrent : cmd::SetFullToCurrent),
            empty ? QStringLiteral("Cmd SetLow ") : QStringLiteral("Cmd SetHight ")};
}

Request shiftRequest(quint8 address, int firmware, Level level, int shift) {
    const bool empty = level == Level::Empty;
    const int sent = qBound(-MaxShift, shift, MaxShift); // the check keeps it in range
    return {write(address, firmware, empty ? cmd::ShiftEmpty : cmd::ShiftFull, *encodeShift(sent)),
            (empty ? QStringLiteral("Cmd Shift Low: ") : QStringLiteral("Cmd Shift Hight: ")) +
                QString::number(sent)};
}

Request directLevelRequest(quint8 address, int firmware, Level level, quint32 value,
                           const QString& typed) {
    const bool empty = level == Level::Empty;
    const qint64 sent = qMin<qint64>(value, MaxU32Value); // the check keeps it in range
    return {write(address, firmware, empty ? cmd::DirectEmpty : cmd::DirectFull, *encodeU32(sent)),
            (empty ? QStringLiteral("Cmd Enter Direct LO_data = ")
                   : QStringLiteral("Cmd Enter Direct HI_data = ")) +
                (typed.isNull() ? QString::number(sent) : typed)};
}

Request modeRequest(quint8 address, int firmware, quint8 mode, const Smoothing& smoothing) {
    QByteArray data = encodeU8(mode);
    if (sendsSmoothingByte(firmware))
        data += encodeU8(smoothing.toByte());
    return {write(address, firmware, cmd::SetMode, data),
            QStringLiteral("Cmd Change mode to %1 sgla %2")
                .arg(mode)
                .arg(Smoothing::fromByte(smoothing.toByte()).value)}; // the value as sent
}

Request lampThresholdRequest(quint8 address, int firmware, int percent) {
    return {write(address, firmware, cmd::SetLampLevel, encodeU8(quint8(percent))),
            QStringLiteral("Cmd Set Lamp Level: ") + QString::number(percent)};
}

Request netAddressRequest(quint8 address, int firmware, quint8 newAddress) {
    return {write(address, firmware, cmd::SetNetAddress, encodeU8(newAddress)),
            QStringLiteral("Cmd Set New net addr = ") + QString::number(newAddress)};
}

Request passwordRequest(quint8 address, int firmware, PasswordUse use, quint32 value,
                        const QString& typed) {
    const bool enter = use == PasswordUse::Enter;
    const qint64 sent = qMin<qint64>(value, MaxU32Value); // the check keeps it in range
    return {
        write(address, firmware, enter ? cmd::EnterPassword : cmd::ChangePassword,
              *encodeU32(sent)),
        (enter ? QStringLiteral("Cmd Enter Password = ") : QStringLiteral("Cmd New Password = ")) +
            (typed.isNull() ? QString::number(sent) : typed)};
}

Request networkPollRequest() {
    return {frame::netPollRequest(), QStringLiteral("Cmd Ask Net ")};
}

QByteArray encodeU8(quint8 value) {
    return QByteArray(1, static_cast<char>(value));
}

std::optional<QByteArray> encodeU32(qint64 value) {
    if (value < 0 || value > MaxU32Value)
        return std::nullopt;
    return frame::bigEndian32(static_cast<qint32>(value));
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
