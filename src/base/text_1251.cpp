#include "base/text_1251.h"

#include <QStringDecoder>
#include <QStringEncoder>

namespace text1251 {

namespace {
// Bytes 0x80..0xBF; 0xC0..0xFF are U+0410..U+044F; 0x98 has no character.
constexpr char16_t Upper[64] = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021, 0x20AC, 0x2030, 0x0409,
    0x2039, 0x040A, 0x040C, 0x040B, 0x040F, 0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0xFFFD, 0x2122, 0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F, 0x00A0,
    0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6, 0x00A7, 0x0401, 0x00A9, 0x0404, 0x00AB,
    0x00AC, 0x00AD, 0x00AE, 0x0407, 0x00B0, 0x00B1, 0x0406, 0x0456, 0x0491, 0x00B5, 0x00B6,
    0x00B7, 0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457};

// A Qt built without ICU knows only the UTF encodings; its converter for
// this name is then invalid and would turn every text into nothing.
bool systemConverterWorks() {
    static const bool works =
        QStringEncoder("windows-1251").isValid() && QStringDecoder("windows-1251").isValid();
    return works;
}
} // namespace

QByteArray encodeWithTable(const QString& text) {
    QByteArray out;
    out.reserve(text.size());
    for (QChar qc : text) {
        const char16_t c = qc.unicode();
        char b = '?';
        if (c < 0x80) {
            b = char(c);
        } else if (c >= 0x0410 && c <= 0x044F) {
            b = char(0xC0 + (c - 0x0410));
        } else if (c != 0xFFFD) {
            for (int i = 0; i < 64; ++i) {
                if (Upper[i] == c) {
                    b = char(0x80 + i);
                    break;
                }
            }
        }
        out.append(b);
    }
    return out;
}

QString decodeWithTable(const QByteArray& bytes) {
    QString out;
    out.reserve(bytes.size());
    for (char ch : bytes) {
        const quint8 b = quint8(ch);
        if (b < 0x80)
            out.append(QChar(b));
        else if (b >= 0xC0)
            out.append(QChar(char16_t(0x0410 + (b - 0xC0))));
        else
            out.append(QChar(Upper[b - 0x80]));
    }
    return out;
}

QByteArray encode(const QString& text) {
    if (!systemConverterWorks())
        return encodeWithTable(text);
    QStringEncoder enc("windows-1251", QStringConverter::Flag::Default);
    return enc(text);
}

QString decode(const QByteArray& bytes) {
    if (!systemConverterWorks())
        return decodeWithTable(bytes);
    QStringDecoder dec("windows-1251", QStringConverter::Flag::Default);
    return dec(bytes);
}

QString charOf(quint8 byte) {
    const QString s = decode(QByteArray(1, static_cast<char>(byte)));
    return s.isEmpty() ? QStringLiteral("?") : s;
}

} // namespace text1251
