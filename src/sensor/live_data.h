#pragma once
// Pieces of the live-data display that do not touch a widget: number formats,
// rounding, the voltage, the calibration hints and the stability indicator.

#include <QByteArray>
#include <QString>
#include <optional>

namespace live {

// Rounds to the nearest whole number, halves to even (2.5 -> 2, 3.5 -> 4).
qint64 roundHalfEven(double v);

// A number in general format: no fixed decimals, up to 15 significant
// digits, the decimal separator of the current locale.
QString generalNumber(double v);

// Temperature byte (two's complement) as shown: "-1 °C".
QString temperatureText(quint8 b);

// The output voltage for level N: N*100*5/4096 rounded (halves to even),
// divided by 100 with the 4096 range, else by 25; e.g. "5 В".
QString voltageText(int level, bool range4096);

// Little-endian fields of an answer, 1-based positions; nullopt when the
// answer is too short.
std::optional<quint32> u32At(const QByteArray& a, int pos);
std::optional<quint32> u16At(const QByteArray& a, int pos);
std::optional<quint8> u8At(const QByteArray& a, int pos);

// The level-stability indicator: running average of the raw value and a
// score kept in 0..5. The hold counter belongs to the exchange engine.
struct Stability {
    double average = 0;
    int score = 0;

    enum class State { Unsteady, Settling, Steady };
    // Runs for one data answer with raw value r.
    State update(quint32 r, int& holdCounter);
};

// The version caption of an identity answer: the prefix (when not 0) and
// the first three characters of the firmware number, each followed by ".".
QString versionCaption(quint8 firmware, quint8 prefix);

} // namespace live
