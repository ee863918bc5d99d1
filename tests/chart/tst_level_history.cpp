// The level chart's history: its bounds, and the CSV file byte for byte.
#include "chart/level_history.h"
#include "test_support.h"

#include <QTemporaryDir>
#include <QTest>

using chart::History;
using chart::Sample;

namespace {

const QDateTime T0(QDate(2026, 12, 8), QTime(10, 0, 0));

Sample at(qint64 x, quint8 address = 1, int level = 500) {
    return Sample{x, address, level, 72499, 21};
}

qint64 ms(int seconds) {
    return T0.toMSecsSinceEpoch() + qint64(seconds) * 1000;
}

} // namespace

class TestLevelHistory : public QObject {
    Q_OBJECT
private slots:
    void liveKeepsTenMinutes();
    void bounds_data();
    void bounds();
    void replayRestartsWhenRecordsStartOver();
    void csvBytes();
    void saveCsv();
};

void TestLevelHistory::liveKeepsTenMinutes() {
    History h(History::Kind::Live);
    for (int s = 0; s <= 600; ++s)
        QVERIFY(h.add(at(ms(s))).isEmpty()); // exactly ten minutes old stays
    const QList<Sample> dropped = h.add(at(ms(601), 5));
    QCOMPARE(dropped.size(), 1);
    QCOMPARE(dropped[0].x, ms(0));
    QCOMPARE(int(h.samples().size()), 601);
    QCOMPARE(h.samples().front().x, ms(1));
    // A gap (the port closed for a quarter of an hour) leaves only the new answer.
    QCOMPARE(h.add(at(ms(601 + 900))).size(), 601);
    QCOMPARE(int(h.samples().size()), 1);
}

void TestLevelHistory::bounds_data() {
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("limit");
    QTest::newRow("replay") << int(History::Kind::Replay) << History::MaxReplaySamples;
    // Answers far faster than one a second: the count bounds them.
    QTest::newRow("live flood") << int(History::Kind::Live) << History::MaxLiveSamples;
}

void TestLevelHistory::bounds() {
    QFETCH(int, kind);
    QFETCH(int, limit);
    QCOMPARE(limit, 100000);
    History h{History::Kind(kind)};
    const qint64 base = kind == int(History::Kind::Live) ? ms(0) : 1;
    for (int i = 0; i < limit; ++i)
        h.add(at(base + i));
    QCOMPARE(int(h.samples().size()), limit);
    const QList<Sample> dropped = h.add(at(base + limit));
    QCOMPARE(dropped.size(), 1);
    QCOMPARE(dropped[0].x, base);
    QCOMPARE(int(h.samples().size()), limit);
    QCOMPARE(h.samples().front().x, base + 1);
}

void TestLevelHistory::replayRestartsWhenRecordsStartOver() {
    History h(History::Kind::Replay);
    h.add(at(3));
    h.add(at(7));
    QCOMPARE(h.add(at(1)).size(), 2);
    QCOMPARE(int(h.samples().size()), 1);
    QCOMPARE(h.samples().front().x, 1);
}

void TestLevelHistory::csvBytes() {
    History live(History::Kind::Live);
    live.add(Sample{ms(0), 1, 512, 72499, 21});
    live.add(Sample{ms(1) + 250, 1, 0, 0, -40});
    live.add(Sample{ms(2), 255, 65535, 4294967295u, 127});
    QCOMPARE(chart::csv(live), QByteArray("time,address,level,raw,temperature\r\n"
                                          "2026-12-08 10:00:00.000,1,512,72499,21\r\n"
                                          "2026-12-08 10:00:01.250,1,0,0,-40\r\n"
                                          "2026-12-08 10:00:02.000,255,65535,4294967295,127\r\n"));
    History replay(History::Kind::Replay);
    replay.add(Sample{2, 5, 100, 1000, -1});
    replay.add(Sample{9, 5, 101, 1001, 0});
    QCOMPARE(chart::csv(replay), QByteArray("record,address,level,raw,temperature\r\n"
                                            "2,5,100,1000,-1\r\n"
                                            "9,5,101,1001,0\r\n"));
    QCOMPARE(chart::csv(History(History::Kind::Live)),
             QByteArray("time,address,level,raw,temperature\r\n"));
}

void TestLevelHistory::saveCsv() {
    QTemporaryDir dir;
    History h(History::Kind::Replay);
    h.add(Sample{1, 1, 2, 3, 4});
    const QString path = dir.filePath("level.csv");
    testsupport::writeAll(path, "old");
    QString error;
    QVERIFY(chart::saveCsv(path, h, &error));
    QCOMPARE(testsupport::readAll(path), chart::csv(h));
    // A file that cannot be written is reported, and nothing half-made stays.
    const QString missing = dir.filePath("no/such/folder/level.csv");
    QVERIFY(!chart::saveCsv(missing, h, &error));
    QVERIFY(!error.isEmpty());
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{"level.csv"});
}

QTEST_GUILESS_MAIN(TestLevelHistory)
#include "tst_level_history.moc"
