#include "app/text_1251.h"

#include <QStringDecoder>
#include <QStringEncoder>

namespace text1251 {

QByteArray encode(const QString& text) {
    QStringEncoder enc("windows-1251", QStringConverter::Flag::Default);
    return enc(text);
}

QString decode(const QByteArray& bytes) {
    QStringDecoder dec("windows-1251", QStringConverter::Flag::Default);
    return dec(bytes);
}

QString charOf(quint8 byte) {
    const QString s = decode(QByteArray(1, static_cast<char>(byte)));
    return s.isEmpty() ? QStringLiteral("?") : s;
}

} // namespace text1251
