#pragma once
// Frames on the sensor line: request 0x31, address, command, data, CRC-8;
// answer 0x3E, address, code, data, CRC-8. The CRC is CRC-8/MAXIM (1-Wire):
// reflected polynomial 0x8C, initial 0, no final XOR, over every preceding byte.

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <optional>

namespace frame {

constexpr quint8 RequestPrefix = 0x31;
constexpr quint8 AnswerPrefix = 0x3E;
constexpr quint8 NetPollAddress = 0xFF;

// One CRC step: returns the new running CRC and stores it back into cr.
quint8 crc(quint8 data, quint8& cr);

// The CRC-8 of all bytes of s, starting from 0.
quint8 crcOf(const QByteArray& s);

// The request with its CRC-8 appended.
QByteArray withCrc(const QByteArray& bytes);

// A number 0..2^31-1 as four bytes, most significant first. A negative number
// cannot be encoded: the result is empty and the caller reports its own
// range message.
std::optional<QByteArray> bigEndian32(qint32 num);

// True when the CRC-8 of all bytes but the last equals the last byte.
bool answerIntact(const QByteArray& answer);

// The CRC-8 of all bytes but the last (0 for an empty answer).
quint8 computedCrc(const QByteArray& answer);

// Builders of the requests every operation shares.
QByteArray request(quint8 address, quint8 command, const QByteArray& data = {});
// Bytes as the tools print them: "3E 01 FC ...".
QString hexText(const QByteArray& bytes);
QByteArray netPollRequest(); // 0x31, 0xFF, CRC

} // namespace frame
