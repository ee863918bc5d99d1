#pragma once
// The history behind the level chart: one sample per intact data answer, kept
// within bounds, and its CSV form. Live answers are placed by the time they
// arrived and kept for the last ten minutes; answers replayed from a log are
// placed by their record number and kept up to 100,000. The two are kept
// apart, so a replay does not wipe the live picture and the live picture
// does not mix clock times with record numbers.

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>
#include <deque>

namespace chart {

struct Sample {
    qint64 x = 0; // live: milliseconds since the epoch; replay: record number
    quint8 address = 0;
    int level = 0;
    quint32 raw = 0;
    int temperature = 0; // °C
};

class History {
public:
    enum class Kind { Live, Replay };
    static constexpr qint64 LiveSpanMs = 10 * 60 * 1000;
    static constexpr int MaxReplaySamples = 100000;
    // Even a live line gone wild (a clock set back, answers far faster than
    // one a second) never holds more than this.
    static constexpr int MaxLiveSamples = 100000;

    explicit History(Kind kind) : kind_(kind) {}

    Kind kind() const { return kind_; }
    const std::deque<Sample>& samples() const { return samples_; }
    bool isEmpty() const { return samples_.empty(); }

    // Adds a sample and drops what falls outside the bounds; returns the
    // dropped samples, oldest first. A replayed record whose number is not
    // above the last one starts a new replay: everything before it is dropped
    // (and returned).
    QList<Sample> add(const Sample& s);
    void clear() { samples_.clear(); }

private:
    Kind kind_;
    std::deque<Sample> samples_;
};

// The CSV text: a header, then one line per sample, CR LF line ends, UTF-8,
// fields separated by commas. Live: "time,address,level,raw,temperature"
// with the local time "yyyy-MM-dd HH:mm:ss.zzz"; replay: the first column is
// "record", the record number.
QByteArray csv(const History& history);

// Writes the CSV to path in one piece: the file is replaced only once the
// whole text is written. False with the reason in error otherwise.
bool saveCsv(const QString& path, const History& history, QString* error);

} // namespace chart
