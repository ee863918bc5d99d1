#include "base/message_window.h"

#include "base/text_1251.h"

QString hexBytes(const QByteArray& bytes) {
    QString out;
    for (char c : bytes) {
        out += QString::number(static_cast<quint8>(c), 16).toUpper();
        out += QLatin1Char(' ');
    }
    return out;
}

QString CleanStr(const QByteArray& bytes) {
    QString out;
    for (char c : bytes) {
        const quint8 b = static_cast<quint8>(c);
        // The brackets are tested before the general rule, so they never
        // appear as themselves.
        if (b == 0x5D)
            out += QStringLiteral("<ACK>");
        else if (b == 0x5B)
            out += QStringLiteral("<NAK>");
        else if (b >= 0x30)
            out += text1251::charOf(b);
        else if (b == 0x0D)
            out += QStringLiteral("<CR>");
        else if (b == 0x0A)
            out += QStringLiteral("<LF>");
        else
            out += QLatin1Char('@');
    }
    return out;
}

QString outWinText(const QByteArray& bytes) {
    return hexBytes(bytes) + QStringLiteral("\r\n\r\n") + CleanStr(bytes);
}
