#include "tables/table_frames.h"

#include "base/message_window.h"
#include "link/frame.h"
#include "sensor/requests.h"
#include "tables/table_texts.h"

namespace tables {

TableTexts initialTable() {
    TableTexts t;
    for (int i = 0; i < Points; ++i) {
        const QString v = QString::number(i == Points - 1 ? 4096 : 200 * (i + 1));
        t.readings[size_t(i)] = v;
        t.litres[size_t(i)] = v;
    }
    return t;
}

std::optional<quint16> tableValue(const QString& text) {
    const QString s = text.trimmed();
    if (s.isEmpty())
        return std::nullopt;
    // Leading zeros are allowed however many; the value is capped as it
    // grows so that no run of digits can overflow it.
    int v = 0;
    for (QChar c : s) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return std::nullopt;
        v = v * 10 + (c.unicode() - '0');
        if (v > MaxValue)
            v = MaxValue + 1;
    }
    if (v > MaxValue)
        return std::nullopt;
    return quint16(v);
}

QByteArray readRequest(quint8 address) {
    return sensor::buildRequest(address, sensor::cmd::ReadTable, false);
}

WriteRequest writeRequest(quint8 address, int firmware, const TableTexts& table) {
    WriteRequest out;
    QByteArray data;
    out.logLine = txt::WriteLogTag;
    for (const Column* column : {&table.readings, &table.litres}) {
        for (int point = 0; point < Points; ++point) {
            const QString& text = (*column)[size_t(point)];
            const auto v = tableValue(text);
            if (!v) {
                const QString name =
                    column == &table.readings ? txt::ReadingsColumn : txt::LitresColumn;
                out.error = QStringLiteral("Таблица не записана: в строке %1 столбца \"%2\" "
                                           "стоит \"%3\". Нужно целое число от 0 до 32767.")
                                .arg(Points - point)
                                .arg(name, text);
                out.logLine.clear();
                return out;
            }
            data.append(char(*v >> 8));
            data.append(char(*v & 0xFF));
            out.logLine += QLatin1Char(' ') + text + QLatin1Char(',');
        }
    }
    out.frame = sensor::buildRequest(address, sensor::cmd::WriteTable,
                                     sensor::needsWriteAccessCode(firmware), data);
    return out;
}

DecodedTable decodeAnswer(const QByteArray& answer) {
    DecodedTable out;
    const QString crcHex = QString::number(frame::computedCrc(answer), 16).toUpper();
    out.txtRecText = hexBytes(answer) + crcHex + QLatin1Char(' ') + crcHex;
    if (answer.size() < AnswerSize) {
        out.error =
            QStringLiteral("ответ из %1 байт, а нужно %2.").arg(answer.size()).arg(AnswerSize);
        return out;
    }
    TableTexts t;
    QString result;
    int at = 3;
    for (Column* column : {&t.readings, &t.litres}) {
        for (int point = 0; point < Points; ++point, at += 2) {
            const quint8 hi = quint8(answer[at]);
            const quint8 lo = quint8(answer[at + 1]);
            const int v = hi * 256 + lo;
            if (hi >= 0x80) {
                const QString name =
                    column == &t.readings ? txt::ReadingsColumn : txt::LitresColumn;
                out.error = QStringLiteral("в строке %1 столбца \"%2\" значение %3 больше 32767.")
                                .arg(Points - point)
                                .arg(name)
                                .arg(v);
                return out;
            }
            (*column)[size_t(point)] = QString::number(v);
            result += QString::number(v) + QStringLiteral(", ");
        }
    }
    out.table = t;
    out.result = result;
    return out;
}

} // namespace tables
