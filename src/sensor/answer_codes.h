#pragma once
// The codes of the sensor's answers (byte 3), and what they take.
//
// An answer to a request carries the request's command code (sensor::cmd in
// sensor/requests.h); besides those the sensor answers with the codes below.
// Every answer is 0x3E, address, code, data, CRC-8.

#include <QByteArray>
#include <optional>

namespace sensor {

namespace code {
inline constexpr quint8 Refused = 0xFD;       // a write without the password
inline constexpr quint8 FrequencyMode = 0xFE; // the sensor answers in frequency mode only
inline constexpr quint8 SerialSet = 0xF6;     // the serial number was set (at the factory)
inline constexpr quint8 Password = 0x06;      // "Пар."
} // namespace code

// The shortest answer a code comes as: data 21 bytes, identity 6, table 84,
// any other 4. A CRC match before that length is chance.
int shortestAnswer(quint8 code);

// The first answer frame (0x3E, the address when given, a code, data, CRC)
// inside bytes read from the line: the shortest CRC-correct run at least as
// long as an answer with its code; nullopt when there is none. Looks at most
// 255 bytes.
std::optional<QByteArray> findAnswer(const QByteArray& bytes, std::optional<quint8> address);
// True when the bytes are one such frame as a whole.
bool isAnswer(const QByteArray& bytes, std::optional<quint8> address);

// The answers that confirm a write, and what the window makes of them: the
// status line, the work-log line (none: nothing logged) and the beep.
enum class Beep { None, Short, Long };
struct Confirmation {
    quint8 code;
    const char* status;  // UTF-8
    const char* logLine; // UTF-8; nullptr: none
    Beep beep;
};
// The confirmation with that code; nullptr for the codes that are not one.
const Confirmation* confirmationOf(quint8 code);

} // namespace sensor
