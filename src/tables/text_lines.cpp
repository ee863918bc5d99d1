#include "tables/text_lines.h"

#include "tables/table_texts.h"

#include <QDir>
#include <algorithm>

namespace tables {

std::optional<LineSpan> lineAt(const QByteArray& bytes, qsizetype from) {
    if (from >= bytes.size())
        return std::nullopt;
    LineSpan line;
    line.start = from;
    const char* data = bytes.constData();
    qsizetype i = from;
    while (i < bytes.size() && data[i] != '\r' && data[i] != '\n')
        ++i;
    line.length = i - from;
    line.ended = i < bytes.size();
    if (line.ended && data[i] == '\r' && i + 1 < bytes.size() && data[i + 1] == '\n')
        ++i;
    line.next = line.ended ? i + 1 : i;
    return line;
}

QList<QByteArray> splitLines(const QByteArray& bytes) {
    QList<QByteArray> lines;
    for (auto l = lineAt(bytes, 0); l; l = lineAt(bytes, l->next))
        lines.append(bytes.mid(l->start, l->length));
    return lines;
}

QString readRefusal(const bounded::File& file, const QString& path, const QString& tooLarge) {
    const QString shown = QDir::toNativeSeparators(path);
    switch (file.status) {
    case bounded::Status::Ok:
        return {};
    case bounded::Status::NotRegular:
        return txt::notRegularFile(path);
    case bounded::Status::TooLarge:
        return tooLarge;
    case bounded::Status::CannotOpen:
        return QStringLiteral("Не удалось открыть файл %1: %2.").arg(shown, file.why);
    case bounded::Status::ReadFailed:
        return QStringLiteral("Не удалось прочитать файл %1: %2.").arg(shown, file.why);
    }
    return {};
}

} // namespace tables
