#include "tables/text_lines.h"

#include <QFile>
#include <QFileInfo>
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

TextFile readTextFile(const QString& path, qint64 limit) {
    TextFile out;
    const QFileInfo info(path);
    // A folder fails to open as before; devices, pipes and sockets are never opened.
    if (info.exists() && !info.isFile() && !info.isDir()) {
        out.status = TextFile::Status::NotRegular;
        return out;
    }
    QFile file(path);
    if (path.isEmpty() || !file.open(QIODevice::ReadOnly)) {
        out.status = TextFile::Status::CannotOpen;
        out.why = file.errorString();
        return out;
    }
    if (file.size() > limit) {
        out.status = TextFile::Status::TooLarge;
        return out;
    }
    // In pieces: a single read of limit + 1 would set that much memory aside
    // for every small file.
    while (out.bytes.size() <= limit) {
        const QByteArray piece =
            file.read(std::min<qint64>(64 * 1024, limit + 1 - out.bytes.size()));
        if (piece.isEmpty())
            break;
        out.bytes += piece;
    }
    if (file.error() != QFileDevice::NoError) {
        out.status = TextFile::Status::ReadFailed;
        out.why = file.errorString();
        out.bytes.clear();
        return out;
    }
    if (out.bytes.size() > limit) {
        out.status = TextFile::Status::TooLarge;
        out.bytes.clear();
        return out;
    }
    out.status = TextFile::Status::Ok;
    return out;
}

} // namespace tables
