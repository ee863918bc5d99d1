#include "chart/level_history.h"

#include <QSaveFile>

namespace chart {

QList<Sample> History::add(const Sample& s) {
    QList<Sample> dropped;
    const auto dropFront = [&] {
        dropped.append(samples_.front());
        samples_.pop_front();
    };
    if (kind_ == Kind::Replay) {
        if (!samples_.empty() && s.x <= samples_.back().x) {
            while (!samples_.empty())
                dropFront();
        }
        samples_.push_back(s);
        while (int(samples_.size()) > MaxReplaySamples)
            dropFront();
        return dropped;
    }
    samples_.push_back(s);
    while (!samples_.empty() && samples_.front().x < s.x - LiveSpanMs)
        dropFront();
    while (int(samples_.size()) > MaxLiveSamples)
        dropFront();
    return dropped;
}

QByteArray csv(const History& history) {
    const bool live = history.kind() == History::Kind::Live;
    QByteArray out = live ? "time,address,level,raw,temperature\r\n"
                          : "record,address,level,raw,temperature\r\n";
    out.reserve(out.size() + qsizetype(history.samples().size()) * 48);
    for (const Sample& s : history.samples()) {
        if (live)
            out += QDateTime::fromMSecsSinceEpoch(s.x)
                       .toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz"))
                       .toUtf8();
        else
            out += QByteArray::number(s.x);
        out += ',' + QByteArray::number(s.address) + ',' + QByteArray::number(s.level) + ',' +
               QByteArray::number(s.raw) + ',' + QByteArray::number(s.temperature) + "\r\n";
    }
    return out;
}

bool saveCsv(const QString& path, const History& history, QString* error) {
    const QByteArray bytes = csv(history);
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        if (error)
            *error = file.errorString();
        file.cancelWriting();
        return false;
    }
    return true;
}

} // namespace chart
