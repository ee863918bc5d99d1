#include "sensor/mode_words.h"

namespace sensor {

const std::array<ModeOutputWord, 5> ModeOutputWords{{{"rs485", ModeOption::R485},
                                                     {"analog", ModeOption::R_a},
                                                     {"frequency", ModeOption::R_f},
                                                     {"periodic", ModeOption::R_p},
                                                     {"periodic-rs485", ModeOption::R_p485}}};

const std::array<ModeFlagWord, 5> ModeFlagWords{{{"invert", 0x01},
                                                 {"averaging", 0x08},
                                                 {"percent", 0x20},
                                                 {"litres", 0x40},
                                                 {"range4096", 0x80}}};

std::optional<ModeOption> modeOptionOf(quint8 mode) {
    for (const ModeOutputWord& w : ModeOutputWords)
        if ((mode & 0x16) == modeValueOf(w.option))
            return w.option;
    return std::nullopt;
}

QString modeOutputName(quint8 mode) {
    for (const ModeOutputWord& w : ModeOutputWords)
        if ((mode & 0x16) == modeValueOf(w.option))
            return QLatin1String(w.name);
    return QStringLiteral("unknown");
}

std::optional<ModeOption> modeOptionNamed(const QString& name) {
    for (const ModeOutputWord& w : ModeOutputWords)
        if (name == QLatin1String(w.name))
            return w.option;
    return std::nullopt;
}

QStringList modeFlagNames(quint8 mode) {
    QStringList names;
    for (const ModeFlagWord& w : ModeFlagWords)
        if (mode & w.bit)
            names << QLatin1String(w.name);
    return names;
}

} // namespace sensor
