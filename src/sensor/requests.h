#pragma once
// Requests to the sensor: command codes, the shared frame rule, the data
// encodings, one builder per request, and the conversion of typed text to
// whole numbers.

#include "sensor/mode.h"

#include <QByteArray>
#include <QString>
#include <array>
#include <optional>

namespace sensor {

// Inserted after the command byte of every write command for firmware newer
// than 1.7.4.
inline constexpr std::array<quint8, 3> WriteAccessCode{0x5A, 0xC3, 0x96};

// Firmware numbers above 174 expect the write-access code.
bool needsWriteAccessCode(int firmware);
// Firmware numbers above 175 take the smoothing byte after the mode byte.
bool sendsSmoothingByte(int firmware);

namespace cmd {
inline constexpr quint8 DataPoll = 0xF0;
inline constexpr quint8 Identity = 0xFC;
inline constexpr quint8 SetFullToCurrent = 0xF5;
inline constexpr quint8 SetEmptyToCurrent = 0xFA;
inline constexpr quint8 ShiftFull = 0xF4;
inline constexpr quint8 ShiftEmpty = 0xF9;
inline constexpr quint8 DirectFull = 0xEC;
inline constexpr quint8 DirectEmpty = 0xED;
inline constexpr quint8 SetMode = 0xF2;
inline constexpr quint8 SetNetAddress = 0xFB;
inline constexpr quint8 SetLampLevel = 0xEE;
inline constexpr quint8 EnterPassword = 0xF8;
inline constexpr quint8 ChangePassword = 0xF7;
inline constexpr quint8 ReadTable = 0xEF;
inline constexpr quint8 WriteTable = 0xF1;
} // namespace cmd

// 0x31, address, command, the write-access code when asked for, data, CRC-8.
QByteArray buildRequest(quint8 address, quint8 command, bool withAccessCode,
                        const QByteArray& data = {});

// The largest value a four-byte field (levels, passwords) may carry.
inline constexpr qint64 MaxU32Value = 2000000000;
// The level shift limits.
inline constexpr int MaxShift = 1000;

// A request ready to go out, and the work-log line written for it.
struct Request {
    QByteArray frame;
    QString logLine;
};

// The builders, from plain values already checked (sensor/operations.h has the
// checks). Every write carries the write-access code by the firmware number.
enum class Level { Empty, Full };
enum class PasswordUse { Enter, Change };
// Set the empty or full level to the current reading: "Cmd SetLow " / "Cmd SetHight ".
Request setToCurrentRequest(quint8 address, int firmware, Level level);
// Shift a level by -1000..1000: "Cmd Shift Low: 5" / "Cmd Shift Hight: 5".
Request shiftRequest(quint8 address, int firmware, Level level, int shift);
// A level's raw value 0..2 000 000 000 entered directly. The log line names the
// value as typed when given ("Cmd Enter Direct LO_data =  12345 "), else in decimal.
Request directLevelRequest(quint8 address, int firmware, Level level, quint32 value,
                           const QString& typed = {});
// The mode byte, and the smoothing byte on firmware that takes it:
// "Cmd Change mode to 74 sgla 5".
// The byte as it is, so a byte read from a sensor goes back unchanged.
Request modeRequest(quint8 address, int firmware, quint8 mode, const Smoothing& smoothing);
// The lamp threshold 1..99 percent: "Cmd Set Lamp Level: 15".
Request lampThresholdRequest(quint8 address, int firmware, int percent);
// A new network address: "Cmd Set New net addr = 7".
Request netAddressRequest(quint8 address, int firmware, quint8 newAddress);
// Enter or change the password 0..2 000 000 000; the log line names it as typed
// when given: "Cmd Enter Password = 0" / "Cmd New Password = 0".
Request passwordRequest(quint8 address, int firmware, PasswordUse use, quint32 value,
                        const QString& typed = {});
// The network poll 0x31, 0xFF, CRC, which every sensor on the line answers
// with its address: "Cmd Ask Net ".
Request networkPollRequest();

// One byte.
QByteArray encodeU8(quint8 value);
// 0 .. 2 000 000 000 as four bytes, most significant first; nullopt outside.
std::optional<QByteArray> encodeU32(qint64 value);
// -1000 .. 1000 as 16-bit two's complement, high byte first; nullopt outside.
std::optional<QByteArray> encodeShift(int value);

// Typed text to a whole number of a given width.
//
// Accepted: blanks around the number, one leading "+" or "-", decimal digits
// with at most one decimal separator ("." or ","), at least one digit
// (so "5." and ",5" are numbers). A fraction is rounded to the nearest whole
// number, exact halves to the even neighbour (2.5 -> 2, 3.5 -> 4, -2.5 -> -2);
// the rounding works on the decimal digits, so no binary fraction error
// creeps in. The rounded value must fit the width: Byte 0..255, Int16
// -32768..32767, Int32 -2147483648..2147483647.
// Refused (nullopt): empty text, blanks inside the number, thousands
// separators, exponents, hexadecimal forms, any other character.
enum class NumberWidth { Byte, Int16, Int32 };
std::optional<qint32> toWholeNumber(const QString& text, NumberWidth width);

inline std::optional<qint32> toByte(const QString& text) {
    return toWholeNumber(text, NumberWidth::Byte);
}
inline std::optional<qint32> toInt16(const QString& text) {
    return toWholeNumber(text, NumberWidth::Int16);
}
inline std::optional<qint32> toInt32(const QString& text) {
    return toWholeNumber(text, NumberWidth::Int32);
}

} // namespace sensor
