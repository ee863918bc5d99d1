#pragma once
// Files and the readable rendering of frames use the sensors' home code page,
// Windows-1251, with CR LF line ends.

#include <QByteArray>
#include <QString>

namespace text1251 {

QByteArray encode(const QString& text);
QString decode(const QByteArray& bytes);
// The same by the program's own table, used where the system has no
// converter for this code page: characters outside it become "?", the
// unassigned byte 0x98 becomes U+FFFD.
QByteArray encodeWithTable(const QString& text);
QString decodeWithTable(const QByteArray& bytes);
// One byte as its Windows-1251 character ("?" for the one unassigned code).
QString charOf(quint8 byte);

inline constexpr const char* CrLf = "\r\n";

} // namespace text1251
