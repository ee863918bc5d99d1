// The table window and the calibration tab on the main window, driven tick by
// tick against the simulator.
#include "support/window_harness.h"
#include "test_support.h"

#include "link/frame.h"
#include "tables/gui/form1.h"
#include "tables/gui/form3.h"
#include "tables/table_frames.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>

namespace {
using testsupport::readAll;
using testsupport::writeAll;

// Reading of point i = 1000 + i, litres of point i = 50 * i.
SimSensor::Table distinctTable() {
    SimSensor::Table t;
    for (int i = 0; i < 20; ++i) {
        t.readings[size_t(i)] = quint16(1000 + i);
        t.litres[size_t(i)] = quint16(50 * i);
    }
    return t;
}

// A table answer from address 1 with 80 given data bytes.
QByteArray tableAnswer(const QByteArray& data) {
    return frame::withCrc(QByteArray::fromHex("3E01EF") + data);
}

// Opens the simulator, finds the sensors and lets one data answer through, so
// that the settings the sensor reports are already shown.
void connectSensor(WindowHarness& h) {
    h.open();
    h.findSensors();
    h.ticks(2); // identity in, then the first data answer
}

// The table window and the calibration window (top-level, found by name).
Form3* form3() {
    return qobject_cast<Form3*>(topLevel("Form3"));
}

Form1* form1() {
    return qobject_cast<Form1*>(topLevel("Form1"));
}

// The questions the dialogue was asked.
int questions(const ScriptedDialog& d) {
    int n = 0;
    for (const auto& c : d.calls)
        n += c.kind == QLatin1String("question") ? 1 : 0;
    return n;
}

// Writes that set the mode.
int modeWrites(const QList<QByteArray>& writes) {
    int n = 0;
    for (const QByteArray& w : writes)
        n += w.size() > 2 && quint8(w[2]) == 0xF2 ? 1 : 0;
    return n;
}

} // namespace

class TestTablesWindow : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::Russian)); }
    void readThroughSimulator();
    void readAnswerWithBadCheckByte();
    void writeThenModeTwoTicksLater();
    void writeLengthByFirmware_data();
    void writeLengthByFirmware();
    void writeRefusedForBadBox();
    void nonMonotonicWriteAsked_data();
    void nonMonotonicWriteAsked();
    void noSensorSelected();
    void answersRefused_data();
    void answersRefused();
    void recountBoxesMirrored();
    void lv3SaveAndOpen();
    void lv3RefusedAndEightyLines();
    void mainWindowFileButtonsDoNothing();
    void calibrationTab();
    void calibrationWindowFromMain();
};

void TestTablesWindow::readThroughSimulator() {
    WindowHarness h;
    h.line.sensors[0]->setTable(distinctTable());
    connectSensor(h);
    h.port->clearWrites();
    h.run("Command6_Click");
    QVERIFY(form3()->isVisible());
    QCOMPARE(h.session.pending(), tables::readRequest(1));
    QVERIFY(h.logText().contains("Cmd_ReadTable: \"\r\n"));
    h.ticks(2);
    QCOMPARE(h.port->writes().first(), tables::readRequest(1));
    Form3* f = form3();
    QCOMPARE(f->Text4(0)->text(), QString("1000"));
    QCOMPARE(f->Text4(19)->text(), QString("1019"));
    QCOMPARE(f->Text3(0)->text(), QString("0"));
    QCOMPARE(f->Text3(19)->text(), QString("950"));
    QCOMPARE(h.c<QLabel>("MsgCom")->text(), QString("Прочитана таблица."));
    QVERIFY(h.logText().contains("Прочитана таблица = 1000, 1001, 1002, "));
    QVERIFY(h.logText().contains(", 900, 950, \"\r\n"));
    QVERIFY(h.tones.shortCount() >= 1);
}

void TestTablesWindow::readAnswerWithBadCheckByte() {
    WindowHarness h;
    h.line.sensors[0]->setTable(distinctTable());
    connectSensor(h);
    h.run("Command6_Click");
    h.ticks(1);
    // The answer was made when the request went out; spoil the next one instead.
    h.line.sensors[0]->corruptNextAnswers(1);
    h.run("rdTable_Click");
    h.ticks(2);
    Form3* f = form3();
    QCOMPARE(f->Text4(5)->text(), QString("1005"));
    const QString shown = h.c<QPlainTextEdit>("txtRec")->toPlainText();
    QVERIFY(shown.startsWith("3E 1 EF 3 E8 3 E9 "));
    const QStringList parts = shown.trimmed().split(' ');
    QCOMPARE(parts.size(), 84 + 2);
    // The received check byte, then the computed one twice: they differ.
    QCOMPARE(parts[84], parts[85]);
    QVERIFY(parts[83] != parts[84]);
    QVERIFY(h.c<QPlainTextEdit>("errBox")->toPlainText().contains(" ош"));
}

void TestTablesWindow::writeThenModeTwoTicksLater() {
    WindowHarness h;
    connectSensor(h);
    Form3* f = form3();
    f->Text4(0)->setText("300");
    f->Text3(19)->setText("4000");
    QTest::mouseClick(h.in<QCheckBox>("Form3", "tartab"), Qt::LeftButton);
    QVERIFY(h.c<QCheckBox>("tartab1")->isChecked());
    h.dialog.clear();
    h.in<QPushButton>("Form3", "wrmyTable")->click();
    QCOMPARE(h.dialog.calls.size(), 0);
    const QByteArray written = h.session.pending();
    QCOMPARE(written.size(), 87);
    QCOMPARE(written.left(8), QByteArray::fromHex("3101F15AC396012C"));
    QCOMPARE(written.mid(6 + 40 + 38, 2), QByteArray::fromHex("0FA0"));
    QVERIFY(h.logText().contains("Cmd_SetTable =  300, 400, 600,"));
    QVERIFY(h.c<QPlainTextEdit>("txtRec")->toPlainText().startsWith("31 1 F1 5A C3 96 1 2C "));

    h.port->clearWrites();
    h.ticks(1); // the table goes out
    QCOMPARE(h.port->writes().size(), 1);
    QCOMPARE(h.port->writes()[0], written);
    QCOMPARE(h.dialog.calls.size(), 0);
    h.ticks(1); // the mode follows, with the window's recount choice
    QCOMPARE(h.dialog.calls.size(), 1);
    QCOMPARE(h.dialog.calls[0].text,
             QString("Сейчас будет изменен режим работы датчика. Вы уверены что это нужно?"));
    QCOMPARE(h.port->writes().size(), 2);
    const QByteArray mode = h.port->writes()[1];
    QCOMPARE(mode.left(7), QByteArray::fromHex("3101F25AC39640"));
    QCOMPARE(h.c<QLabel>("MsgCom")->text(), QString("Установлена Тарир таблица."));
    QVERIFY(h.logText().contains("Установлена Тарировочная таблица."));
    h.ticks(1);
    SimSensor::Table expected = SimSensor::initialTable();
    expected.readings[0] = 300;
    expected.litres[19] = 4000;
    QVERIFY(h.line.sensors[0]->table() == expected);
    QCOMPARE(h.line.sensors[0]->mode() & 0x40, 0x40);
    // No further mode request.
    h.ticks(2);
    for (const QByteArray& w : h.port->writes().mid(2))
        QVERIFY(quint8(w[2]) != 0xF2);
    QCOMPARE(questions(h.dialog), 1);
}

void TestTablesWindow::writeLengthByFirmware_data() {
    QTest::addColumn<int>("firmware");
    QTest::addColumn<int>("size");
    QTest::newRow("174") << 174 << 84;
    QTest::newRow("175") << 175 << 87;
}

void TestTablesWindow::writeLengthByFirmware() {
    QFETCH(int, firmware);
    QFETCH(int, size);
    WindowHarness h;
    h.line.sensors[0]->setFirmware(quint8(firmware));
    connectSensor(h);
    QCOMPARE(h.session.firmware(), firmware);
    form3()->Text3(0)->setText("123");
    h.run("wrmyTable_Click"); // the main window's write: no mode afterwards
    QCOMPARE(h.session.pending().size(), size);
    const int writes = int(h.port->writes().size());
    h.ticks(2);
    QCOMPARE(h.c<QLabel>("MsgCom")->text(), QString("Установлена Тарир таблица."));
    QCOMPARE(h.line.sensors[0]->table().litres[0], quint16(123));
    // No mode follows.
    h.ticks(1);
    QCOMPARE(modeWrites(h.port->writes().mid(writes)), 0);
    QCOMPARE(questions(h.dialog), 0);
}

void TestTablesWindow::writeRefusedForBadBox() {
    WindowHarness h;
    connectSensor(h);
    form3()->Text3(3)->setText("12,5");
    const QByteArray pending = h.session.pending();
    h.dialog.clear();
    h.in<QPushButton>("Form3", "wrmyTable")->click();
    QCOMPARE(h.dialog.messages(),
             QStringList{"Таблица не записана: в строке 17 столбца \"Литры\" стоит \"12,5\". "
                         "Нужно целое число от 0 до 32767."});
    QCOMPARE(h.session.pending(), pending);
    QVERIFY(!h.logText().contains("Cmd_SetTable"));
    h.port->clearWrites();
    h.ticks(3); // no mode follows either
    for (const QByteArray& w : h.port->writes())
        QCOMPARE(quint8(w[2]), quint8(0xF0));
    QCOMPARE(questions(h.dialog), 0);
}

void TestTablesWindow::nonMonotonicWriteAsked_data() {
    QTest::addColumn<bool>("yes");
    QTest::newRow("Да") << true;
    QTest::newRow("Нет") << false;
}

void TestTablesWindow::nonMonotonicWriteAsked() {
    QFETCH(bool, yes);
    WindowHarness h;
    connectSensor(h);
    Form3* f = form3();
    f->Text4(5)->setText("900");   // below point 4's 1000
    f->Text3(12)->setText("2000"); // below point 11's 2400
    const QByteArray before = h.session.pending();
    h.dialog.clear();
    h.dialog.yesNoAnswers.enqueue(yes);
    h.in<QPushButton>("Form3", "wrmyTable")->click();
    QCOMPARE(h.dialog.calls.size(), 1);
    QCOMPARE(h.dialog.calls[0].kind, QString("question"));
    QCOMPARE(h.dialog.calls[0].text,
             QString("Таблица не монотонна в точках 5, 12. Записать всё равно?"));
    const auto request = tables::writeRequest(1, h.session.firmware(), f->texts());
    QCOMPARE(h.session.pending(), yes ? *request.frame : before);
    QCOMPARE(h.logText().contains("Cmd_SetTable"), yes);
    h.port->clearWrites();
    h.ticks(3); // the mode follows the table only when it went out
    QCOMPARE(modeWrites(h.port->writes()), yes ? 1 : 0);
}

void TestTablesWindow::noSensorSelected() {
    WindowHarness h;
    connectSensor(h);
    h.c<QComboBox>("CmbNet")->setCurrentIndex(-1);
    h.session.setPending({});
    h.dialog.clear();
    h.run("Command6_Click");
    h.in<QPushButton>("Form3", "wrmyTable")->click();
    const QString text = "Не выбран датчик: выберите сетевой адрес в списке.";
    QCOMPARE(h.dialog.messages(), (QStringList{text, text}));
    QVERIFY(h.session.pending().isEmpty());
    QVERIFY(!h.logText().contains("Cmd_ReadTable"));
    // No mode was scheduled: with the sensor selected again, none follows.
    h.c<QComboBox>("CmbNet")->setCurrentIndex(0);
    const int writes = int(h.port->writes().size());
    h.ticks(3);
    QCOMPARE(modeWrites(h.port->writes().mid(writes)), 0);
    QCOMPARE(questions(h.dialog), 0);
}

void TestTablesWindow::answersRefused_data() {
    QTest::addColumn<QByteArray>("answer");
    QTest::addColumn<QString>("why");
    QByteArray data(80, '\0');
    QTest::newRow("short") << tableAnswer(data.left(40)) << "ответ из 44 байт, а нужно 84.";
    data[2 * 19] = char(0x80);
    QTest::newRow("0x8000") << tableAnswer(data)
                            << "в строке 1 столбца \"Показания датчика\" значение 32768 больше "
                               "32767.";
}

void TestTablesWindow::answersRefused() {
    QFETCH(QByteArray, answer);
    QFETCH(QString, why);
    WindowHarness h;
    connectSensor(h);
    const QStringList before = boxes(form3());
    h.dialog.clear();
    h.session.replay(answer);
    const QString text = "Таблица из датчика не принята: " + why;
    QCOMPARE(h.dialog.messages(), QStringList{text});
    QCOMPARE(h.c<QLabel>("MsgCom")->text(), text);
    QCOMPARE(boxes(form3()), before);
    QVERIFY(h.c<QPlainTextEdit>("txtRec")->toPlainText().startsWith("3E 1 EF "));
    QCOMPARE(h.tones.longCount(), 1); // a refusal, not the short success beep
}

void TestTablesWindow::recountBoxesMirrored() {
    WindowHarness h;
    QTest::mouseClick(h.in<QCheckBox>("Form3", "per_sents"), Qt::LeftButton);
    QVERIFY(h.c<QCheckBox>("per_sents")->isChecked());
    QVERIFY(!h.c<QCheckBox>("tartab1")->isChecked());
    QTest::mouseClick(h.in<QCheckBox>("Form3", "tartab"), Qt::LeftButton);
    QVERIFY(h.c<QCheckBox>("tartab1")->isChecked());
    QTest::mouseClick(h.in<QCheckBox>("Form3", "per_sents"), Qt::LeftButton);
    QVERIFY(!h.c<QCheckBox>("per_sents")->isChecked());
    // Not read back from the main window.
    h.c<QCheckBox>("tartab1")->setChecked(false);
    QVERIFY(h.in<QCheckBox>("Form3", "tartab")->isChecked());
}

void TestTablesWindow::lv3SaveAndOpen() {
    WindowHarness h;
    Form3* f = form3();
    const QString path = h.dir.filePath("table.lv3");
    h.dialog.fileAnswers.enqueue(path);
    h.in<QPushButton>("Form3", "fTablSave")->click();
    QCOMPARE(h.dialog.calls.size(), 1);
    QCOMPARE(h.dialog.calls[0].kind, QString("save"));
    QCOMPARE(h.dialog.calls[0].title, QString("Схранить"));
    QCOMPARE(h.dialog.calls[0].extra, QString("tbl Files (*.lv3)"));
    QCOMPARE(h.dialog.calls[0].folder, h.dir.path());
    const QByteArray initial = readAll(path);
    QVERIFY(initial.startsWith("200\r\n400\r\n"));
    QCOMPARE(initial.count("\r\n"), 40);

    f->Text4(0)->setText("3800,5");
    f->Text4(7)->setText(" 12 ");
    f->Text3(19)->setText("");
    f->Text3(4)->setText("около 50");
    const QStringList edited = boxes(f);
    h.dialog.fileAnswers.enqueue(path);
    h.in<QPushButton>("Form3", "fTablSave")->click();
    f->setTexts(tables::initialTable());
    h.dialog.clear();
    h.dialog.fileAnswers.enqueue(path);
    h.in<QPushButton>("Form3", "fTablOpen")->click();
    QCOMPARE(h.dialog.calls.size(), 1);
    QCOMPARE(h.dialog.calls[0].kind, QString("open"));
    QCOMPARE(h.dialog.calls[0].title, QString("Открыть"));
    QCOMPARE(h.dialog.calls[0].extra, QString("tbl Files (*.lv3)"));
    QCOMPARE(h.dialog.calls[0].folder, h.dir.path());
    QCOMPARE(boxes(f), edited);
    // Cancelled dialogs change nothing.
    h.in<QPushButton>("Form3", "fTablOpen")->click();
    h.in<QPushButton>("Form3", "fTablSave")->click();
    QCOMPARE(boxes(f), edited);
    QCOMPARE(h.dialog.messages(), QStringList());
}

void TestTablesWindow::lv3RefusedAndEightyLines() {
    WindowHarness h;
    Form3* f = form3();
    const QStringList before = boxes(f);
    QByteArray lines;
    for (int i = 0; i < 80; ++i)
        lines += QByteArray::number(5000 + i) + "\r\n";
    const QString bad = h.dir.filePath("bad.lv3");
    int at = 0;
    for (int i = 0; i < 41; ++i)
        at = int(lines.indexOf("\r\n", at)) + 2;
    writeAll(bad, lines.left(at));
    h.dialog.fileAnswers.enqueue(bad);
    h.in<QPushButton>("Form3", "fTablOpen")->click();
    QCOMPARE(h.dialog.messages(),
             QStringList{"В файле 41 строк, а таблица занимает 40 (или кратно 40). "
                         "Таблица не изменена."});
    QCOMPARE(boxes(f), before);

    const QString eighty = h.dir.filePath("eighty.lv3");
    writeAll(eighty, lines);
    h.dialog.fileAnswers.enqueue(eighty);
    h.in<QPushButton>("Form3", "fTablOpen")->click();
    QCOMPARE(f->Text4(0)->text(), QString("5040"));
    QCOMPARE(f->Text3(19)->text(), QString("5079"));
}

void TestTablesWindow::mainWindowFileButtonsDoNothing() {
    WindowHarness h;
    h.c<QPushButton>("fTablOpen")->click();
    h.c<QPushButton>("fTablSave")->click();
    QCOMPARE(h.dialog.calls.size(), 0);
}

void TestTablesWindow::calibrationTab() {
    WindowHarness h;
    connectSensor(h);
    const QString path = h.dir.filePath("tab.trr");
    h.dialog.clear();
    h.dialog.inputAnswers.enqueue(QString("10"));
    h.dialog.fileAnswers.enqueue(path);
    h.c<QPushButton>("Command11")->click();
    QCOMPARE(h.dialog.calls[1].folder, h.dir.path());
    QCOMPARE(h.c<QLabel>("step_zapr")->text(), QString("10"));
    QCOMPARE(h.c<QLabel>("tar_file_name")->text(), QString("tab.trr"));
    QCOMPARE(h.c<QTableWidget>("MSFlexGrid1")->rowCount(), 7);
    const QString level = h.c<QLabel>("Uroven")->text();
    QVERIFY(level != "Нет данных");
    QByteArray expected = text1251::encode("№ проции;Литры;Уровень\r\n");
    for (int i = 1; i <= 7; ++i) {
        h.c<QPushButton>("Command14")->click();
        expected += text1251::encode(QString("%1;%2;%3\r\n").arg(i).arg(10 * (i - 1)).arg(level));
    }
    QCOMPARE(readAll(path), expected);
    QCOMPARE(h.c<QTableWidget>("MSFlexGrid1")->rowCount(), 8);
    QCOMPARE(h.c<QTableWidget>("MSFlexGrid1")->item(7, 0)->text(), QString("8"));
    QCOMPARE(h.c<QTableWidget>("MSFlexGrid1")->item(7, 1)->text(), QString("70"));
    QCOMPARE(h.c<QTableWidget>("MSFlexGrid1")->item(6, 2)->text(), level);
    h.dialog.inputAnswers.enqueue(QString("5"));
    h.c<QPushButton>("ch_portion")->click();
    QCOMPARE(h.c<QTableWidget>("MSFlexGrid1")->item(7, 1)->text(), QString("65"));
    // The window copy is independent of the tab.
    QCOMPARE(h.in<QLabel>("Form1", "tar_file_name")->text(), QString());
}

void TestTablesWindow::calibrationWindowFromMain() {
    WindowHarness h;
    connectSensor(h);
    Form1* f = form1();
    h.run("Command4_Click");
    QVERIFY(f->isVisible());
    QCOMPARE(h.in<QLabel>("Form1", "Uroven")->text(), h.c<QLabel>("Uroven")->text());
    const QString path = h.dir.filePath("win.trr");
    h.dialog.clear();
    h.dialog.inputAnswers.enqueue(QString("20"));
    h.dialog.fileAnswers.enqueue(path);
    h.in<QPushButton>("Form1", "Command1")->click();
    QCOMPARE(h.dialog.calls[1].title, QString("Схранить"));
    QCOMPARE(h.dialog.calls[1].folder, h.dir.path());
    f->isActive = [] { return true; };
    QTest::keyPress(f, Qt::Key_F9);
    f->Timer3_Timer();
    QTest::keyRelease(f, Qt::Key_F9);
    f->Timer3_Timer();
    const QString level = h.in<QLabel>("Form1", "Uroven")->text();
    QCOMPARE(readAll(path), text1251::encode("Литры;Уровень\r\n0;" + level + "\r\n"));
    QCOMPARE(h.in<QTableWidget>("Form1", "MSFlexGrid1")->item(1, 0)->text(), QString("20"));
    // While a tick or a handler of the main window is running, F9 waits.
    {
        Busy::Guard busy(h.session.busy());
        QTest::keyPress(f, Qt::Key_F9);
        f->Timer3_Timer();
        QTest::keyRelease(f, Qt::Key_F9);
    }
    QCOMPARE(readAll(path).count("\r\n"), 2);
    h.in<QPushButton>("Form1", "Command3")->click();
    QVERIFY(!f->isVisible());
}

QTEST_MAIN(TestTablesWindow)
#include "tst_tables_window.moc"
