#include "sensor/answers.h"

#include "sensor/live_data.h"

namespace sensor {

QString IdentityAnswer::serialText() const {
    return serial ? QString::number(*serial) : QStringLiteral("????????");
}

QString IdentityAnswer::versionText() const {
    return firmware ? live::versionCaption(*firmware, prefix) : QString();
}

IdentityAnswer decodeIdentity(const QByteArray& a) {
    IdentityAnswer out;
    const int n = int(a.size());
    if (n <= 5)
        return out;
    // A 6- to 9-byte answer carries the serial number only; bytes it lacks count as 0.
    quint32 serial = 0;
    for (int i = 3; i >= 0; --i)
        serial = (serial << 8) | (4 + i <= n ? static_cast<quint8>(a[3 + i]) : 0);
    out.serial = serial;
    if (n == 10) {
        out.firmware = static_cast<quint8>(a[7]);
        out.prefix = static_cast<quint8>(a[8]);
    }
    return out;
}

Balance balanceOf(double q) {
    if (q > 1.8 && q < 1.98)
        return Balance::Good;
    if (q > 1.6 && q < 2.08)
        return Balance::Doubtful;
    return Balance::Wrong;
}

FaultHint hintOf(DataFault fault) {
    switch (fault) {
    case DataFault::MissingRaw:
    case DataFault::MissingEmpty:
        return FaultHint::ChangeEmpty;
    case DataFault::MissingFull:
        return FaultHint::ChangeFull;
    default:
        return FaultHint::None;
    }
}

QString DataAnswer::temperatureText() const {
    return live::temperatureText(temperatureByte);
}

DataAnswer decodeData(const QByteArray& a) {
    using namespace live;
    DataAnswer d;
    const int n = int(a.size());
    d.raw = u32At(a, 7);
    if (!d.raw) {
        d.fault = DataFault::MissingRaw;
        return d;
    }
    // With the raw value at bytes 7..10 the fields before it are all there.
    d.temperatureByte = *u8At(a, 4);
    d.address = *u8At(a, 2);
    d.level = int(*u16At(a, 5));
    d.empty = u32At(a, 11);
    if (!d.empty) {
        d.fault = DataFault::MissingEmpty;
        return d;
    }
    d.full = u32At(a, 15);
    if (!d.full) {
        d.fault = DataFault::MissingFull;
        return d;
    }
    d.coefficient = u16At(a, 19);
    if (!d.coefficient) {
        d.fault = DataFault::MissingCoefficient;
        return d;
    }
    // Levels of six and eight digits and more are not a calibration: no
    // factor and no hints for them.
    const int emptyDigits = int(QString::number(*d.empty).size());
    const int fullDigits = int(QString::number(*d.full).size());
    if (emptyDigits < 6 && fullDigits < 8) {
        if (*d.coefficient == 0) {
            d.fault = DataFault::ZeroCoefficient;
            return d;
        }
        d.levelFactor = (double(*d.full) - double(*d.empty)) / (double(*d.coefficient) * 64.0);
    }
    if (n > 22)
        d.lampThreshold = *u8At(a, 22);
    if (n > 23)
        d.smoothingByte = *u8At(a, 23);
    if (n > 21)
        d.modeByte = *u8At(a, 21);
    if (emptyDigits <= 7 && fullDigits <= 8) {
        if (*d.empty == 0) {
            d.fault = DataFault::ZeroEmpty;
            return d;
        }
        d.balance = balanceOf(double(*d.full) / double(*d.empty));
        d.emptyLengthCm = roundHalfEven(double(*d.empty) / 600.0);
    }
    return d;
}

std::optional<int> decodeFrequency(const QByteArray& a) {
    // The frequency takes bytes 4 and 5; a 4-byte answer has no byte 5.
    if (a.size() < 5)
        return std::nullopt;
    return static_cast<quint8>(a[3]) * 256 + static_cast<quint8>(a[4]);
}

} // namespace sensor
