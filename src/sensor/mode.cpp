#include "sensor/mode.h"

namespace sensor {

namespace {
constexpr quint8 OutputMask = 0x16;
constexpr quint8 InvertedBit = 0x01;
constexpr quint8 AveragingBit = 0x08;
constexpr quint8 PercentBit = 0x20;
constexpr quint8 LitresBit = 0x40;
constexpr quint8 Range4096Bit = 0x80;

constexpr quint8 SmoothingMask = 0x0F;
constexpr quint8 ThermoCompensationOffBit = 0x80;
} // namespace

quint8 outputBits(Output output) {
    switch (output) {
    case Output::Rs485:
        return 0x00;
    case Output::Analog:
        return 0x02;
    case Output::Frequency:
        return 0x04;
    case Output::Periodic:
        return 0x06;
    case Output::PeriodicRs485:
        return 0x10;
    }
    return 0x00;
}

Mode Mode::fromByte(quint8 byte) {
    Mode m;
    m.output.reset();
    for (const OutputWord& w : OutputWords)
        if ((byte & OutputMask) == outputBits(w.output))
            m.output = w.output;
    m.inverted = byte & InvertedBit;
    m.averaging = byte & AveragingBit;
    m.percent = byte & PercentBit;
    m.litres = byte & LitresBit;
    m.range4096 = byte & Range4096Bit;
    return m;
}

quint8 Mode::toByte() const {
    quint8 b = outputBits(output.value_or(Output::Rs485));
    if (inverted)
        b |= InvertedBit;
    if (averaging)
        b |= AveragingBit;
    if (percent)
        b |= PercentBit;
    if (litres)
        b |= LitresBit;
    if (range4096)
        b |= Range4096Bit;
    return b;
}

Smoothing Smoothing::fromByte(quint8 byte) {
    return {byte & SmoothingMask, bool(byte & ThermoCompensationOffBit)};
}

quint8 Smoothing::toByte() const {
    // The slider runs 0..15; bits 4-6 of the byte stay clear whatever comes in.
    return quint8((value & SmoothingMask) | (thermoCompensationOff ? ThermoCompensationOffBit : 0));
}

int levelRangeOf(const Mode& mode, bool firmware172) {
    if (!mode.range4096)
        return 1024;
    return firmware172 ? 256 : 4096;
}

const std::array<OutputWord, 5> OutputWords{{{"rs485", Output::Rs485},
                                             {"analog", Output::Analog},
                                             {"frequency", Output::Frequency},
                                             {"periodic", Output::Periodic},
                                             {"periodic-rs485", Output::PeriodicRs485}}};

const std::array<FlagWord, 5> FlagWords{{{"invert", &Mode::inverted},
                                         {"averaging", &Mode::averaging},
                                         {"percent", &Mode::percent},
                                         {"litres", &Mode::litres},
                                         {"range4096", &Mode::range4096}}};

QString outputName(quint8 mode) {
    const std::optional<Output> output = Mode::fromByte(mode).output;
    for (const OutputWord& w : OutputWords)
        if (output == w.output)
            return QLatin1String(w.name);
    return QStringLiteral("unknown");
}

std::optional<Output> outputNamed(const QString& name) {
    for (const OutputWord& w : OutputWords)
        if (name == QLatin1String(w.name))
            return w.output;
    return std::nullopt;
}

QStringList flagNames(quint8 mode) {
    const Mode m = Mode::fromByte(mode);
    QStringList names;
    for (const FlagWord& w : FlagWords)
        if (m.*w.flag)
            names << QLatin1String(w.name);
    return names;
}

} // namespace sensor
