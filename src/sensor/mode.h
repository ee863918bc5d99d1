#pragma once
// The sensor's mode byte and the smoothing byte beside it, as one value each.
//
// Mode byte: bits 1, 2 and 4 carry the output (RS-485 0x00, analogue 0x02,
// frequency 0x04, periodic 0x06, periodic over RS-485 0x10); bit 0 inverts
// the output, bit 3 averages, bit 5 recounts into percent, bit 6 into litres,
// bit 7 selects the 4096-step level range.
// Smoothing byte (firmware above 1.7.5): bits 0-3 the smoothing value 0..15,
// bit 7 set switches thermo-compensation off, bits 4-6 stay clear.
//
// Here too are the words lv300ctl and the profile files use for them: the
// outputs "rs485", "analog", "frequency", "periodic", "periodic-rs485" and the
// flags "invert", "averaging", "percent", "litres", "range4096".

#include <QString>
#include <QStringList>
#include <array>
#include <optional>

namespace sensor {

// The outputs, one of which is on (the option buttons R485, R_a, R_f, R_p,
// R_p485 in this order).
enum class Output { Rs485, Analog, Frequency, Periodic, PeriodicRs485 };

// The bits of an output in the mode byte.
quint8 outputBits(Output output);

struct Mode {
    // nullopt: bits 1, 2, 4 in a pattern no output has (0x12, 0x14, 0x16);
    // such a mode is written back as RS-485.
    std::optional<Output> output = Output::Rs485;
    bool inverted = false;
    bool averaging = false;
    bool percent = false;
    bool litres = false;
    bool range4096 = false;

    static Mode fromByte(quint8 byte);
    quint8 toByte() const;
    bool operator==(const Mode&) const = default;
};

struct Smoothing {
    int value = 0;                      // 0..15; only bits 0-3 are sent
    bool thermoCompensationOff = false; // "Откл. Термокомпенсацию"

    static Smoothing fromByte(quint8 byte);
    quint8 toByte() const;
    bool operator==(const Smoothing&) const = default;
};

// The top of the level bar for a mode: 1024 steps, or with range4096 4096
// steps (256 on firmware 1.7.2).
int levelRangeOf(const Mode& mode, bool firmware172);

// The words.
struct OutputWord {
    const char* name;
    Output output;
};
extern const std::array<OutputWord, 5> OutputWords;

struct FlagWord {
    const char* name;
    bool Mode::*flag;
};
extern const std::array<FlagWord, 5> FlagWords;

// The name of a mode byte's output, or "unknown".
QString outputName(quint8 mode);
// The output a name stands for.
std::optional<Output> outputNamed(const QString& name);
// The names of the flags set in a mode byte, in the order above.
QStringList flagNames(quint8 mode);

} // namespace sensor
