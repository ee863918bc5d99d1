#pragma once
// The sensor's answers as typed values. Each decoder takes the answer bytes as
// they came (0x3E, address, code, data, CRC) and says how far the answer could
// be read and, where it stops short, why. The front ends only format these.

#include <QByteArray>
#include <QString>
#include <optional>

namespace sensor {

// The identity answer (code 0xFC): serial number, then firmware number and
// its prefix in a full 10-byte answer.
struct IdentityAnswer {
    std::optional<quint32> serial;  // nullopt: 5 bytes or fewer, no serial number
    std::optional<quint8> firmware; // only in a 10-byte answer
    quint8 prefix = 0;
    QString serialText() const;  // "????????" without a serial number
    QString versionText() const; // "1.7.6." / "21.7.6."; empty without a firmware number
};
IdentityAnswer decodeIdentity(const QByteArray& answer);

// The fill ratio full/empty of a calibrated sensor, as the hint shows it.
enum class Balance { Good, Doubtful, Wrong };
Balance balanceOf(double fullOverEmpty);

// Why a data answer could not be read to its end.
enum class DataFault {
    None,
    MissingRaw,         // shorter than the raw value
    MissingEmpty,       // shorter than the empty level
    MissingFull,        // shorter than the full level
    MissingCoefficient, // shorter than the coefficient
    ZeroCoefficient,    // coefficient 0 where it is divided by
    ZeroEmpty,          // empty level 0 where the balance divides by it
};
// Which level the user is told to change after a fault: "Измените уровень ...".
enum class FaultHint { None, ChangeEmpty, ChangeFull };
FaultHint hintOf(DataFault fault);

// The data answer (code 0xF0). Fields are read in the order of the answer and
// stop at the first fault: what comes before it is set, what comes after is not.
struct DataAnswer {
    DataFault fault = DataFault::None;
    std::optional<quint32> raw; // current raw reading
    quint8 address = 0;
    quint8 temperatureByte = 0; // two's complement, °C
    int level = 0;              // 0..65535
    std::optional<quint32> empty, full;
    std::optional<quint32> coefficient;
    // (full - empty) / (coefficient * 64), only where both levels are short
    // enough to be a real calibration.
    std::optional<double> levelFactor;
    std::optional<quint8> modeByte, lampThreshold, smoothingByte;
    // The balance hint and the length the empty level stands for, only for a
    // sensor whose levels are short enough to be a real calibration.
    std::optional<Balance> balance;
    std::optional<qint64> emptyLengthCm;

    QString temperatureText() const;
};
DataAnswer decodeData(const QByteArray& answer);

// The frequency answer (code 0xFE): nullopt when the answer has no byte 5.
std::optional<int> decodeFrequency(const QByteArray& answer);

} // namespace sensor
