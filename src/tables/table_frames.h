#pragma once
// The sensor's 20-point litres table on the wire.
//
// The table is held as the texts of the window's boxes, one pair per point
// (sensor reading, litres), indexed by point number 0..19. Wherever it is
// serialised (requests, answers, log lines, files) it runs readings first,
// then litres, each column by ascending point number: point 0 first.

#include <QByteArray>
#include <QString>
#include <array>
#include <optional>

namespace tables {

inline constexpr int Points = 20;
inline constexpr int MaxValue = 32767;
inline constexpr int AnswerSize = 84; // 0x3E, address, 0xEF, 80 data bytes, CRC

using Column = std::array<QString, Points>;

struct TableTexts {
    Column readings; // "Показания датчика"
    Column litres;   // "Литры"
    bool operator==(const TableTexts&) const = default;
};

// The window's initial texts: point 19 "4096", point i "200*(i+1)".
TableTexts initialTable();

// A box text as a table value: a whole decimal number 0..32767, blanks
// around it allowed. nullopt for anything else.
std::optional<quint16> tableValue(const QString& text);

// The read request 0x31, address, 0xEF, CRC (no write-access code).
QByteArray readRequest(quint8 address);

struct WriteRequest {
    std::optional<QByteArray> frame; // nullopt: refused, error says why
    QString error;
    QString logLine; // "Cmd_SetTable = " and " <text>," for each of the 40 values
};

// The write request 0x31, address, 0xF1, [write-access code when the firmware
// number is above 174], 80 data bytes high byte first, CRC. A box text that is
// not a table value refuses the whole request; the message names the column
// and the row as the window shows them (row 1 at the top, point 19).
WriteRequest writeRequest(quint8 address, int firmware, const TableTexts& table);

struct DecodedTable {
    std::optional<TableTexts> table; // nullopt: refused, error says why
    QString error;
    QString result;     // the 40 values, each followed by ", " (empty when refused)
    QString txtRecText; // the answer bytes in hex, then the computed CRC twice
};

// Decodes a read answer. A wrong check byte does not stop the decoding (the
// computed CRC is shown next to the bytes); an answer shorter than 84 bytes or
// holding a value of 0x8000 or more is refused as a whole.
DecodedTable decodeAnswer(const QByteArray& answer);

} // namespace tables
