#pragma once
// A sensor profile: the whole setup of one sensor (mode, smoothing,
// thermo-compensation, lamp threshold, empty and full levels, the 20-point
// table, the network address) with where it came from, kept in a
// *.lv300.json file so that the same setup can be applied to the next sensor.
//
// The file is UTF-8 JSON with plain English keys and "format": 1:
//
//   {
//     "format": 1,
//     "source": {"serial": 3000417, "firmware": 176, "version": "1.7.6.",
//                "saved": "2024-05-02T10:15:00+03:00"},
//     "mode": {"byte": 64, "output": "rs485", "invert": false, "averaging": false,
//              "percent": false, "litres": true, "range4096": false},
//     "smoothing": 3, "thermo_compensation": true, "lamp_threshold": 15,
//     "empty": 50000, "full": 95000,
//     "table": [{"reading": 200, "litres": 200}, ... 20 points, point 0 first],
//     "network_address": 1
//   }
//
// A setting the sensor did not report (an older sensor's short data answer)
// is null and is carried nowhere. The mode's byte is what is written; the
// words beside it say what it means and must agree with it.

#include <QDateTime>
#include <QList>
#include <QString>
#include <array>
#include <optional>

namespace profile {

inline constexpr int Format = 1;
inline constexpr int TablePoints = 20;
inline constexpr const char* FileSuffix = ".lv300.json";
// The largest profile file read (a real one is about 3 KB).
inline constexpr qint64 MaxFileSize = 256 * 1024;

struct Table {
    std::array<quint16, TablePoints> readings{}; // point 0 first
    std::array<quint16, TablePoints> litres{};
    bool operator==(const Table&) const = default;
};

// What a profile carries and what is read from a sensor.
struct Settings {
    std::optional<quint8> mode;             // the mode byte
    std::optional<quint8> smoothing;        // 0..15
    std::optional<bool> thermoCompensation; // true: on (bit 7 of the smoothing byte clear)
    std::optional<quint8> lampThreshold;    // percent, 1..99
    std::optional<quint32> empty, full;     // raw levels, 0..2 000 000 000
    Table table;
    quint8 address = 0;
    bool operator==(const Settings&) const = default;
};

struct Source {
    std::optional<quint32> serial;
    std::optional<quint8> firmware;
    QString version; // "1.7.6."; empty when unknown
    QDateTime saved;
};

struct Profile {
    Settings settings;
    Source source;
};

// What went wrong, typed so that a front end can map it (the command line to
// its exit codes); text is the message shown to the user.
struct Error {
    enum class Kind { None, NoAnswer, BadAnswer, Refused, File, Port, Cancelled };
    Kind kind = Kind::None;
    QString text;
    explicit operator bool() const { return kind != Kind::None; }
};

// The file's bytes (UTF-8, indented JSON, a line end at the end).
QByteArray toJson(const Profile& p);

// Reads a profile from bytes. A file that is not such a profile is refused
// with the name of the field that is wrong; the caller then changes nothing.
struct Loaded {
    std::optional<Profile> profile;
    Error error; // Kind::File when refused
};
Loaded fromJson(const QByteArray& bytes);

// Writes the file atomically: the old file stays whole until the new one is
// complete. Returns an Error of Kind::File on failure.
Error save(const QString& path, const Profile& p);
// Reads and checks a file (a regular file of at most MaxFileSize bytes).
Loaded load(const QString& path);
// The path with the profile suffix added when it has none.
QString withSuffix(const QString& path);

} // namespace profile
