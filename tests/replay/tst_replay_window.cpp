// Log replay through the real main window: files on disk, chosen in the
// scripted open dialog, stepped through record by record and decoded into
// the window as live answers are.
#include "support/window_harness.h"
#include "test_support.h"

#include "base/gui/colors.h"
#include "base/gui/vb_colors.h"
#include "link/frame.h"

#include <QAbstractButton>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QSlider>
#include <QTest>

namespace {
using testsupport::answer;

const QString Next = QStringLiteral("след. запись");
const QString NoMore = QStringLiteral("больше записей нет");
const QString NoFile = QStringLiteral("Нет такого файла");
const QString NotHex = QStringLiteral("В строке имеются символы не принадлежащие HEX");

QByteArray le(quint32 v, int bytes) {
    QByteArray b;
    for (int i = 0; i < bytes; ++i)
        b.append(char((v >> (8 * i)) & 0xFF));
    return b;
}

// A full data answer: 21 °C, level 512, raw 72000 between 50000 and 95000,
// coefficient 703, analogue output with smoothing and litres, lamp 35 %,
// smoothing 5 with thermo-compensation off.
QByteArray dataAnswer(quint8 address = 1) {
    QByteArray d;
    d.append(char(21));
    d += le(512, 2) + le(72000, 4) + le(50000, 4) + le(95000, 4) + le(703, 2);
    d += QByteArray::fromHex("4A2385");
    return answer(address, 0xF0, d);
}

QByteArray identityAnswer(quint32 serial, quint8 firmware, quint8 prefix = 0) {
    QByteArray d = le(serial, 4);
    d.append(char(firmware));
    d.append(char(prefix));
    return answer(1, 0xFC, d);
}

QString hex(const QByteArray& b) {
    return QString::fromLatin1(b.toHex().toUpper());
}

// Lines joined with CR LF, the last one ended too unless told otherwise,
// in the Windows-1251 code page.
QByteArray fileBytes(const QStringList& lines, bool endLast = true) {
    QString text = lines.join(QStringLiteral("\r\n"));
    if (endLast && !lines.isEmpty())
        text += QStringLiteral("\r\n");
    return text1251::encode(text);
}

QString writeFile(const WindowHarness& h, const QString& name, const QByteArray& bytes) {
    const QString path = h.dir.path() + QLatin1Char('/') + name;
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size())
        qFatal("cannot write %s", qPrintable(path));
    return path;
}

// Closed port, the window shown; the file is chosen and rdf pressed.
void replayFile(WindowHarness& h, const QString& path) {
    h.dialog.fileAnswers.enqueue(path);
    auto* rdf = h.c<QAbstractButton>("rdf");
    QVERIFY(!rdf->isHidden());
    QVERIFY(rdf->isEnabled());
    rdf->click();
}

// What the decoders put into the window.
// (Form1 is found by name among the top-level windows: one harness at a time.)
QStringList shownReadings(WindowHarness& h) {
    QStringList out;
    for (const char* name : {"tek", "lo", "hi", "temp", "ne", "Uroven", "freq", "anal", "kko", "ko",
                             "Kalibr_warning", "sn", "vv", "sgla", "ur"})
        out << QLatin1String(name) + "=" + h.c<QLabel>(name)->text();
    out << "lamp_level=" + h.c<QLineEdit>("lamp_level")->text();
    out << "bar=" + QString::number(h.c<QProgressBar>("ProgressBar1")->value());
    out << "hiColor=" + QString::number(backColor(h.c("hi")), 16);
    out << "stab=" + QString::number(fillColor(h.c("ind_stab")), 16);
    out << "form1=" + h.in<QLabel>("Form1", "Uroven")->text();
    for (const char* name : {"R_a", "R485", "usredn", "tartab1", "Termokompens"})
        out << QLatin1String(name) + (h.c<QAbstractButton>(name)->isChecked() ? "+" : "-");
    out << "mode=" + h.session.modeText();
    out << "slider=" + QString::number(h.c<QSlider>("Slider1")->value());
    return out;
}

// Which controls are enabled and which are hidden.
QStringList controlStates(WindowHarness& h) {
    QStringList out;
    for (QWidget* w : h.w->findChildren<QWidget*>()) {
        if (!w->objectName().isEmpty())
            out << w->objectName() + (w->isEnabled() ? "+" : "-") + (w->isHidden() ? "h" : "v");
    }
    return out;
}

} // namespace

class TestReplayWindow : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::Russian)); }
    void decodesAsLiveAnswer();
    void records_data();
    void records();
    void unreadableFiles_data();
    void unreadableFiles();
    void cancelledChoiceDoesNothing();
    void nothingLoggedDuringReplay();
    void identityDoesNotSwitchControls_data();
    void identityDoesNotSwitchControls();
};

void TestReplayWindow::decodesAsLiveAnswer() {
    const QByteArray data = dataAnswer();
    const QByteArray identity = identityAnswer(123456, 176);

    // The same two answers arriving on the line of an open port. (The windows
    // are compared one after the other: Form1 is found by its name.)
    QStringList liveReadings;
    {
        WindowHarness live;
        live.open(); // address 0 selected: nobody else answers
        live.port->injectFromLine(data);
        live.ticks(1);
        live.port->injectFromLine(identity);
        live.ticks(1);
        QCOMPARE(live.c<QLabel>("sn")->text(), QString("123456"));
        liveReadings = shownReadings(live);
    }

    WindowHarness h;
    h.w->Timer1_Timer();
    h.w->Timer1_Timer();
    const QString path = writeFile(
        h, "session.log",
        fileBytes({"S485=23:" + hex(dataAnswer(7)), // the first line is never examined
                   "10:00:01 S485=23:" + hex(data), "10:00:02 S485=10:" + hex(identity)}));
    const int counter = h.session.exchangeCount();
    replayFile(h, path);

    QCOMPARE(h.dialog.calls.first().kind, QString("open"));
    QCOMPARE(h.dialog.calls.first().title, QString("Открыть"));
    QCOMPARE(h.dialog.calls.first().extra, QString("tbl Files (*.log)"));
    QCOMPARE(h.dialog.calls.first().folder, h.dir.path());
    QCOMPARE(h.dialog.messages(), (QStringList{Next, Next, NoMore}));
    QCOMPARE(shownReadings(h), liveReadings);
    QCOMPARE(h.c<QLabel>("ne")->text(), QString("1"));
    QCOMPARE(h.c<QLabel>("Uroven")->text(), QString("512"));
    QCOMPARE(h.c<QLabel>("temp")->text(), QString("21 °C"));
    QCOMPARE(h.c<QLabel>("vv")->text(), QString("1.7.6."));
    QCOMPARE(h.session.firmware(), 176);
    QCOMPARE(h.c<QLabel>("MsgCom")->text(), QString(" Получен С/Н и вер. прошивки"));
    QCOMPARE(fillColor(h.c("Pic")), vbcolor::Red);
    QCOMPARE(h.session.exchangeCount(), counter);
    QVERIFY(!h.session.isReplaying());
    QVERIFY(h.tones.beeps.isEmpty());
}

void TestReplayWindow::records_data() {
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QStringList>("messages");
    QTest::addColumn<QString>("ne");      // network address shown afterwards
    QTest::addColumn<QString>("lenAnsw"); // length of the last answer processed
    QTest::addColumn<QString>("status");

    const QString data5 = hex(dataAnswer(5));
    const QString data1 = hex(dataAnswer(1));
    const QString none = QStringLiteral("Нет данных");

    QTest::newRow("23:3E05F0 replayed from 3E05F0")
        << fileBytes({"header", "12:00 S485=23:" + data5}) << QStringList{Next, NoMore} << "5"
        << "24"
        << " Получены данные.";
    QTest::newRow("8:3E05F8 passed over")
        << fileBytes({"header", "12:00 S485=8:3E05F8" + data5.mid(6)}) << QStringList{NoMore}
        << none << "0"
        << "";
    QTest::newRow("lower-case 3e passed over")
        << fileBytes({"header", "S485=23:" + data1.toLower()}) << QStringList{NoMore} << none << "0"
        << "";
    QTest::newRow("lower-case digits after the E")
        << fileBytes({"header", "S485=23:3E" + data1.mid(2).toLower()}) << QStringList{Next, NoMore}
        << "1"
        << "24"
        << " Получены данные.";
    QTest::newRow("odd digit count loses the last digit")
        << fileBytes({"header", "S485=23:" + data1 + "7"}) << QStringList{Next, NoMore} << "1"
        << "24"
        << " Получены данные.";
    QTest::newRow("3E0G: HEX message, empty answer, next record")
        << fileBytes({"header", "S485=23:3E0G"}) << QStringList{NotHex, Next, NoMore} << none << "0"
        << "";
    QTest::newRow("not hex, then a good record")
        << fileBytes({"header", "S485=23:3E0G", "S485=23:" + data5})
        << QStringList{NotHex, Next, Next, NoMore} << "5"
        << "24"
        << " Получены данные.";
    QTest::newRow("only line is a record")
        << fileBytes({"S485=23:" + data1}) << QStringList{NoMore} << none << "0"
        << "";
    QTest::newRow("last line without a line end")
        << fileBytes({"header", "no record here", "S485=23:" + data5}, false)
        << QStringList{Next, NoMore} << "5"
        << "24"
        << " Получены данные.";
    QTest::newRow("Russian text around the record")
        << fileBytes({"Журнал шлюза", "Ответ датчика: S485=23:" + data5})
        << QStringList{Next, NoMore} << "5"
        << "24"
        << " Получены данные.";
    QTest::newRow("only the first 485= counts")
        << fileBytes({"header", "x485=1:3E05 S485=23:" + data5}) << QStringList{NoMore} << none
        << "0"
        << "";
    QTest::newRow("other marker text before 485=")
        << fileBytes({"header", "R485=23:" + data5}) << QStringList{Next, NoMore} << "5"
        << "24"
        << " Получены данные.";
    QTest::newRow("too short after the marker")
        << fileBytes({"header", "S485=23:3"}) << QStringList{NoMore} << none << "0"
        << "";
    QTest::newRow("answer of another code")
        << fileBytes({"header", "S485=05:" + hex(answer(1, 0xF5, {}))}) << QStringList{Next, NoMore}
        << none << "4"
        << " Установлен верхний уровень.";
    QTest::newRow("unrecognised answer, then data")
        << fileBytes({"header", "S485=05:" + hex(answer(1, 0x77, {})), "S485=23:" + data1})
        << QStringList{"Ответ не соответствует запросу", Next, Next, NoMore} << "1"
        << "24"
        << " Получены данные.";
}

void TestReplayWindow::records() {
    QFETCH(QByteArray, file);
    QFETCH(QStringList, messages);
    QFETCH(QString, ne);
    QFETCH(QString, lenAnsw);
    QFETCH(QString, status);

    WindowHarness h;
    const QString path = writeFile(h, "record.log", file);
    replayFile(h, path);
    QCOMPARE(h.dialog.messages(), messages);
    QCOMPARE(h.c<QLabel>("ne")->text(), ne);
    QCOMPARE(h.c<QLabel>("len_answ")->text(), lenAnsw);
    QCOMPARE(h.c<QLabel>("MsgCom")->text(), status);
}

void TestReplayWindow::unreadableFiles_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("kind"); // 0 empty file, 1 missing, 2 a folder
    QTest::newRow("empty file") << "empty.log" << 0;
    QTest::newRow("missing file") << "missing.log" << 1;
    QTest::newRow("a folder") << "folder.log" << 2;
}

void TestReplayWindow::unreadableFiles() {
    QFETCH(QString, name);
    QFETCH(int, kind);
    WindowHarness h;
    QString path = h.dir.path() + "/" + name;
    if (kind == 0)
        path = writeFile(h, name, QByteArray());
    if (kind == 2)
        QVERIFY(QDir(h.dir.path()).mkdir(name));
    const QStringList before = shownReadings(h);
    replayFile(h, path);
    QCOMPARE(h.dialog.messages(), QStringList{NoFile});
    QCOMPARE(shownReadings(h), before);
}

void TestReplayWindow::cancelledChoiceDoesNothing() {
    WindowHarness h;
    const QStringList before = shownReadings(h);
    h.c<QAbstractButton>("rdf")->click(); // the dialog answers with no file
    QCOMPARE(h.dialog.calls.size(), 1);
    QCOMPARE(h.dialog.calls.first().kind, QString("open"));
    QCOMPARE(shownReadings(h), before);
}

void TestReplayWindow::nothingLoggedDuringReplay() {
    WindowHarness h;
    h.open();
    h.findSensors();
    h.ticks(2);
    h.c<QAbstractButton>("BTNCloseCom")->click(); // the log now holds a live session
    const QByteArray logBefore = h.logBytes();
    QVERIFY(logBefore.contains("Device: 3000417"));
    const QString path = writeFile(
        h, "many.log",
        fileBytes({"header", "S485=23:" + hex(dataAnswer()),
                   "S485=10:" + hex(identityAnswer(42, 176)), "S485=05:" + hex(answer(1, 0xF5, {})),
                   "S485=04:" + hex(answer(1, 0xFD, {})),
                   "S485=05:" + hex(answer(1, 0xF2, QByteArray::fromHex("0A83"))),
                   "S485=05:" + hex(answer(1, 0x77, {})), "S485=05:3E0G"}));
    replayFile(h, path);
    QCOMPARE(h.dialog.messages().count(Next), 7);
    QCOMPARE(h.c<QLabel>("sn")->text(), QString("42"));
    QVERIFY(h.c<QAbstractButton>("R_a")->isChecked()); // the mode answer was decoded
    QCOMPARE(h.c<QLabel>("sgla")->text(), QString("3"));
    QCOMPARE(h.logBytes(), logBefore);
    // The session's lines reach the log again once the replay is over.
    h.session.log("after");
    QVERIFY(h.logText().endsWith("\"10:00:00 : after\"\r\n"));
}

void TestReplayWindow::identityDoesNotSwitchControls_data() {
    QTest::addColumn<int>("firmware");
    QTest::addColumn<bool>("afterSession");
    QTest::newRow("176, fresh window") << 176 << false;
    QTest::newRow("172, fresh window") << 172 << false;
    QTest::newRow("130, after a session with 1.6.3") << 130 << true;
    QTest::newRow("176, after a session with 1.6.3") << 176 << true;
}

void TestReplayWindow::identityDoesNotSwitchControls() {
    QFETCH(int, firmware);
    QFETCH(bool, afterSession);
    WindowHarness h({5});
    if (afterSession) {
        h.open();
        h.findSensors();
        h.ticks(2);
        QCOMPARE(h.session.firmware(), 163);
        h.c<QAbstractButton>("BTNCloseCom")->click();
    } else {
        h.w->Timer1_Timer();
        h.w->Timer1_Timer();
    }
    const QStringList before = controlStates(h);
    const QString path =
        writeFile(h, "identity.log",
                  fileBytes({"header", "S485=10:" + hex(identityAnswer(777, quint8(firmware)))}));
    replayFile(h, path);
    QCOMPARE(h.c<QLabel>("sn")->text(), QString("777"));
    QCOMPARE(controlStates(h), before);
    QVERIFY(!h.session.isFirmware172());
}

QTEST_MAIN(TestReplayWindow)
#include "tst_replay_window.moc"
