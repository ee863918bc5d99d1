// The level chart window on the simulator: what it collects from the
// session's answers (live, replayed, paused) and the CSV file it saves.
#include "support/window_harness.h"
#include "test_support.h"

#include "chart/gui/frm_chart.h"

#include <QCheckBox>
#include <QPushButton>
#include <QTest>

namespace {

// A data answer: temperature byte, level, raw value; a calibrated sensor.
QByteArray dataAnswer(quint8 address, quint8 temperature, quint16 level, quint32 raw) {
    QByteArray d;
    d.append(char(temperature));
    d.append(char(level & 0xFF)).append(char(level >> 8));
    for (quint32 v : {raw, 50000u, 95000u})
        for (int i = 0; i < 4; ++i)
            d.append(char((v >> (8 * i)) & 0xFF));
    d.append(char(100)).append(char(0)); // coefficient
    d.append(char(0)).append(char(10)).append(char(0));
    return testsupport::answer(address, 0xF0, d);
}

} // namespace

class TestChartWindow : public QObject {
    Q_OBJECT
private slots:
    void collectsAndSavesCsv();
};

void TestChartWindow::collectsAndSavesCsv() {
    WindowHarness h;
    auto* chart = qobject_cast<frmChart*>(topLevel("frmChart"));
    QVERIFY(chart);
    h.open();
    h.findSensors();
    // The button opens the window; a pause does not stop the collecting.
    h.c<QPushButton>("showChart")->click();
    QVERIFY(chart->isVisible());
    control<QPushButton>(chart, "pauseChart")->click();
    QCOMPARE(control<QPushButton>(chart, "pauseChart")->text(), QString("Продолжить"));
    const QDateTime t0 = h.clock.t;
    for (int s = 1; s <= 3; ++s) {
        h.clock.t = t0.addSecs(s);
        h.ticks(1);
    }
    control<QPushButton>(chart, "pauseChart")->click();
    // A broken answer (cut before the raw value) is not drawn.
    h.session.receive(testsupport::answer(1, 0xF0, QByteArray(3, '\0')));
    QCOMPARE(int(chart->live().samples().size()), 2);
    h.dialog.clear(); // the session's own word on the broken answer

    // A replayed log: its answers go by record number, apart from the live ones.
    h.session.replay(dataAnswer(5, 0xFE, 300, 60000), 2);
    h.session.replay(dataAnswer(5, 0xFE, 310, 60100), 4);
    QCOMPARE(chart->shown().kind(), chart::History::Kind::Replay);
    h.dialog.fileAnswers.enqueue(h.dir.filePath("replay.csv"));
    control<QPushButton>(chart, "saveCsv")->click();
    QCOMPARE(testsupport::readAll(h.dir.filePath("replay.csv")),
             QByteArray("record,address,level,raw,temperature\r\n"
                        "2,5,300,60000,-2\r\n"
                        "4,5,310,60100,-2\r\n"));

    // The next live answer brings the live history back, its earlier answers kept.
    h.clock.t = t0.addSecs(4);
    h.ticks(1);
    QCOMPARE(chart->shown().kind(), chart::History::Kind::Live);
    h.dialog.fileAnswers.enqueue(h.dir.filePath("live.csv"));
    control<QPushButton>(chart, "saveCsv")->click();
    QCOMPARE(h.dialog.messages(), QStringList());
    QCOMPARE(testsupport::readAll(h.dir.filePath("live.csv")),
             QByteArray("time,address,level,raw,temperature\r\n"
                        "2026-12-08 10:00:02.000,1,512,72500,21\r\n"
                        "2026-12-08 10:00:03.000,1,512,72500,21\r\n"
                        "2026-12-08 10:00:04.000,1,512,72500,21\r\n"));
}

QTEST_MAIN(TestChartWindow)
#include "tst_chart_window.moc"
