#pragma once
// The mode byte in words, as lv300ctl and the profile files write it: the
// output option ("rs485", "analog", "frequency", "periodic",
// "periodic-rs485") and the flags ("invert", "averaging", "percent",
// "litres", "range4096").

#include "sensor/operations.h"

#include <QString>
#include <QStringList>
#include <array>
#include <optional>

namespace sensor {

struct ModeOutputWord {
    const char* name;
    ModeOption option;
};
extern const std::array<ModeOutputWord, 5> ModeOutputWords;

struct ModeFlagWord {
    const char* name;
    quint8 bit;
};
extern const std::array<ModeFlagWord, 5> ModeFlagWords;

// The output option of a mode byte; nullopt for bit patterns no option has.
std::optional<ModeOption> modeOptionOf(quint8 mode);
// Its name, or "unknown".
QString modeOutputName(quint8 mode);
// The option a name stands for.
std::optional<ModeOption> modeOptionNamed(const QString& name);
// The names of the flags set in a mode byte, in the order above.
QStringList modeFlagNames(quint8 mode);

} // namespace sensor
