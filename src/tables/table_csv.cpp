#include "tables/table_csv.h"

#include "base/bounded_file.h"
#include "tables/table_texts.h"
#include "tables/text_lines.h"

#include <QDir>
#include <QSaveFile>
#include <algorithm>
#include <cmath>

namespace tables {

namespace {

QByteArray numberBytes(double v) {
    if (v == std::floor(v))
        return QByteArray::number(qint64(v));
    return QByteArray::number(v, 'f', 1);
}

CsvContents refused(const QString& why) {
    CsvContents out;
    out.error = why;
    return out;
}

// A number of the file: digits with at most one decimal separator.
std::optional<double> csvNumber(QString text, bool commaDecimal) {
    text = text.trimmed();
    if (commaDecimal)
        text.replace(QLatin1Char(','), QLatin1Char('.'));
    if (text.isEmpty() || text.size() > 20)
        return std::nullopt;
    int points = 0;
    for (QChar c : text) {
        if (c == QLatin1Char('.'))
            ++points;
        else if (!c.isDigit() || c.unicode() > 127)
            return std::nullopt;
    }
    if (points > 1 || text == QLatin1String("."))
        return std::nullopt;
    bool ok = false;
    const double v = text.toDouble(&ok);
    return ok ? std::optional<double>(v) : std::nullopt;
}

} // namespace

QByteArray csvBytes(const QList<CurvePoint>& points) {
    QByteArray out = CsvHeader + "\r\n";
    for (const CurvePoint& p : points)
        out += numberBytes(p.level) + ';' + numberBytes(p.litres) + "\r\n";
    return out;
}

std::optional<QList<CurvePoint>> tablePoints(const TableTexts& table, QString* error) {
    QList<CurvePoint> out;
    for (int i = 0; i < Points; ++i) {
        for (const auto& [text, column] :
             {std::pair{&table.readings[size_t(i)], &txt::ReadingsColumn},
              std::pair{&table.litres[size_t(i)], &txt::LitresColumn}}) {
            if (!tableValue(*text)) {
                if (error)
                    *error = QStringLiteral("В строке %1 столбца \"%2\" не число от 0 до 32767: "
                                            "\"%3\".")
                                 .arg(Points - i)
                                 .arg(*column, *text);
                return std::nullopt;
            }
        }
        out.append(CurvePoint{i, double(*tableValue(table.readings[size_t(i)])),
                              double(*tableValue(table.litres[size_t(i)])), false});
    }
    return out;
}

bool saveCsv(const QString& path, const QList<CurvePoint>& points, QString* error) {
    const QByteArray bytes = csvBytes(points);
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        *error = QStringLiteral("Не удалось записать файл %1: %2")
                     .arg(QDir::toNativeSeparators(path), file.errorString());
        file.cancelWriting();
        return false;
    }
    return true;
}

CsvContents parseCsv(const QByteArray& bytes) {
    CsvContents out;
    const qsizetype from = bytes.startsWith("\xEF\xBB\xBF") ? 3 : 0;
    QChar separator;
    int lineNumber = 0;
    int dataLines = 0;
    for (auto l = lineAt(bytes, from); l; l = lineAt(bytes, l->next)) {
        ++lineNumber;
        const QByteArray raw = bytes.mid(l->start, l->length);
        const QString text = QString::fromUtf8(raw);
        if (text.trimmed().isEmpty())
            continue;
        ++dataLines;
        if (separator.isNull()) {
            for (QChar c : {QLatin1Char(';'), QLatin1Char('\t'), QLatin1Char(',')})
                if (text.contains(c)) {
                    separator = c;
                    break;
                }
        }
        const QStringList fields = separator.isNull() ? QStringList{text} : text.split(separator);
        const bool commaDecimal = separator != QLatin1Char(',');
        const auto level = fields.size() == 2 ? csvNumber(fields[0], commaDecimal) : std::nullopt;
        const auto litres = fields.size() == 2 ? csvNumber(fields[1], commaDecimal) : std::nullopt;
        if (!level || !litres) {
            // The first line with letters in it is the header.
            if (dataLines == 1 &&
                std::any_of(text.begin(), text.end(), [](QChar c) { return c.isLetter(); }))
                continue;
            return refused(QStringLiteral("Строка %1: \"%2\" не пара чисел \"уровень;литры\".")
                               .arg(lineNumber)
                               .arg(text.left(60)));
        }
        if (*level > MaxValue || *litres > MaxValue)
            return refused(QStringLiteral("Строка %1: уровень и литры должны быть от 0 до %2.")
                               .arg(lineNumber)
                               .arg(MaxValue));
        if (*level != std::floor(*level))
            return refused(QStringLiteral("Строка %1: уровень %2 не целое число.")
                               .arg(lineNumber)
                               .arg(*level));
        if (!out.points.isEmpty() &&
            (*level <= out.points.last().level || *litres < out.points.last().litres))
            return refused(QStringLiteral("Строка %1: уровень должен расти, а литры не убывать "
                                          "от строки к строке.")
                               .arg(lineNumber));
        if (out.points.size() == MaxCsvPoints)
            return refused(QStringLiteral("В файле больше %1 пар.").arg(MaxCsvPoints));
        out.points.append(CurvePoint{lineNumber, *level, *litres, false});
    }
    if (out.points.size() < 2)
        return refused(
            QStringLiteral("В файле %1 пар чисел, а нужно не меньше двух.").arg(out.points.size()));
    return out;
}

CsvContents loadCsv(const QString& path) {
    const bounded::File file = bounded::read(path, MaxTextFileSize);
    const QString shown = QDir::toNativeSeparators(path);
    if (const QString why =
            readRefusal(file, path, QStringLiteral("Файл %1 слишком велик.").arg(shown));
        !why.isEmpty())
        return refused(why);
    CsvContents out = parseCsv(file.bytes);
    if (!out.error.isEmpty())
        out.error = QStringLiteral("Файл %1: %2").arg(shown, out.error);
    return out;
}

} // namespace tables
