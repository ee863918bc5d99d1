#include "base/bounded_file.h"

#include <QFile>
#include <QFileInfo>
#include <algorithm>

namespace bounded {

Status open(QFile& file, const QString& path, qint64 limit, QString* why) {
    const QFileInfo info(path);
    // A folder fails to open; devices, pipes and sockets are never opened.
    if (info.exists() && !info.isFile() && !info.isDir())
        return Status::NotRegular;
    file.setFileName(path);
    if (path.isEmpty() || !file.open(QIODevice::ReadOnly)) {
        if (why)
            *why = file.errorString();
        return Status::CannotOpen;
    }
    if (file.size() > limit) {
        file.close();
        return Status::TooLarge;
    }
    return Status::Ok;
}

File read(const QString& path, qint64 limit) {
    File out;
    QFile file;
    out.status = open(file, path, limit, &out.why);
    if (out.status != Status::Ok)
        return out;
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
        out.status = Status::ReadFailed;
        out.why = file.errorString();
        out.bytes.clear();
        return out;
    }
    if (out.bytes.size() > limit) {
        out.status = Status::TooLarge;
        out.bytes.clear();
        return out;
    }
    return out;
}

} // namespace bounded
