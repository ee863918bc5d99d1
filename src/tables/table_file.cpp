#include "tables/table_file.h"

#include "base/bounded_file.h"
#include "base/text_1251.h"
#include "tables/table_texts.h"
#include "tables/text_lines.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>

namespace tables {

namespace {

QString columnName(int line) {
    return line < Points ? txt::ReadingsColumn : txt::LitresColumn;
}

} // namespace

std::optional<QByteArray> lv3Bytes(const TableTexts& table, QString* error) {
    QByteArray out;
    int line = 0;
    for (const Column* column : {&table.readings, &table.litres}) {
        for (int point = 0; point < Points; ++point, ++line) {
            const QString& text = (*column)[size_t(point)];
            const QByteArray bytes = text1251::encode(text);
            if (text1251::decode(bytes) != text || text.contains(QLatin1Char('\r')) ||
                text.contains(QLatin1Char('\n'))) {
                if (error)
                    *error = QStringLiteral("Таблица не сохранена: текст \"%1\" в строке %2 "
                                            "столбца \"%3\" нельзя записать в файл.")
                                 .arg(text)
                                 .arg(Points - point)
                                 .arg(columnName(line));
                return std::nullopt;
            }
            out += bytes + text1251::CrLf;
        }
    }
    return out;
}

Lv3Contents parseLv3(const QByteArray& bytes) {
    Lv3Contents out;
    const QList<QByteArray> lines = splitLines(bytes);
    if (lines.isEmpty()) {
        out.error = QStringLiteral("Файл пуст, таблица не изменена.");
        return out;
    }
    if (lines.size() % Lv3Lines != 0) {
        out.error = QStringLiteral("В файле %1 строк, а таблица занимает %2 (или кратно %2). "
                                   "Таблица не изменена.")
                        .arg(lines.size())
                        .arg(Lv3Lines);
        return out;
    }
    TableTexts t;
    const qsizetype first = lines.size() - Lv3Lines; // the last pass is what stays
    for (int i = 0; i < Lv3Lines; ++i) {
        const QString text = text1251::decode(lines[first + i]);
        if (i < Points)
            t.readings[size_t(i)] = text;
        else
            t.litres[size_t(i - Points)] = text;
    }
    out.table = t;
    return out;
}

bool saveLv3(const QString& path, const TableTexts& table, QString* error) {
    QString why;
    const auto bytes = lv3Bytes(table, &why);
    if (!bytes) {
        *error = why;
        return false;
    }
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(*bytes) != bytes->size() || !file.commit()) {
        *error = QStringLiteral("Не удалось записать файл %1: %2")
                     .arg(QDir::toNativeSeparators(path), file.errorString());
        file.cancelWriting();
        return false;
    }
    return true;
}

Lv3Contents loadLv3(const QString& path) {
    const bounded::File file = bounded::read(path, MaxTextFileSize);
    const QString shown = QDir::toNativeSeparators(path);
    Lv3Contents out;
    switch (file.status) {
    case bounded::Status::Ok:
        return parseLv3(file.bytes);
    case bounded::Status::CannotOpen:
        out.error = QStringLiteral("Не удалось открыть файл %1: %2. Таблица не изменена.")
                        .arg(shown, file.why);
        break;
    case bounded::Status::NotRegular:
        out.error = txt::notRegularFile(path) + QStringLiteral(" Таблица не изменена.");
        break;
    case bounded::Status::TooLarge:
        out.error =
            QStringLiteral("Файл %1 слишком велик для таблицы. Таблица не изменена.").arg(shown);
        break;
    case bounded::Status::ReadFailed:
        out.error = QStringLiteral("Не удалось прочитать файл %1: %2. Таблица не изменена.")
                        .arg(shown, file.why);
        break;
    }
    return out;
}

} // namespace tables
