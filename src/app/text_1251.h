#pragma once
// Files and the readable rendering of frames use the sensors' home code page,
// Windows-1251, with CR LF line ends.

#include <QByteArray>
#include <QString>

namespace text1251 {

QByteArray encode(const QString& text);
QString decode(const QByteArray& bytes);
// One byte as its Windows-1251 character ("?" for the one unassigned code).
QString charOf(quint8 byte);

inline constexpr const char* CrLf = "\r\n";

} // namespace text1251
