// The main window driven tick by tick against the simulator.
#include "support/window_harness.h"
#include "test_support.h"

#include "base/gui/colors.h"
#include "base/gui/vb_colors.h"
#include "link/frame.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QTabWidget>
#include <QTableWidget>
#include <QTest>

namespace {
using testsupport::answer;

QByteArray le32(quint32 v) {
    QByteArray b;
    for (int i = 0; i < 4; ++i)
        b.append(char((v >> (8 * i)) & 0xFF));
    return b;
}

QByteArray le16(quint32 v) {
    QByteArray b;
    b.append(char(v & 0xFF));
    b.append(char((v >> 8) & 0xFF));
    return b;
}

// A data answer: temperature, level, raw current/empty/full, coefficient and
// optionally the mode, lamp and smoothing bytes.
QByteArray dataAnswer(quint8 temp, quint16 level, quint32 cur, quint32 empty, quint32 full,
                      quint16 k, const QByteArray& tail = QByteArray::fromHex("000A00")) {
    QByteArray d;
    d.append(char(temp));
    d += le16(level) + le32(cur) + le32(empty) + le32(full) + le16(k) + tail;
    return answer(1, 0xF0, d);
}

// A device that opens but refuses the line settings.
class SettingsRefusingPort : public Port {
public:
    bool open(const QString&, QString* error) override {
        if (error)
            *error = QStringLiteral("refused");
        return false;
    }
    QString setupError() const override {
        return QStringLiteral("Unable to set Comm DCB 19200,n,8,1 Error: 10");
    }
    void close() override {}
    bool isOpen() const override { return false; }
    QByteArray read(int) override { return {}; }
    bool waitForReadyRead(int) override { return false; }
    qint64 write(const QByteArray&) override { return 0; }
    void flush() override {}
    bool hasVanished() const override { return false; }
};

// A device the system would not open, for the given reason.
class UnopenablePort : public SettingsRefusingPort {
public:
    explicit UnopenablePort(serial::OpenFailure failure) : failure_(failure) {}
    bool open(const QString&, QString* error) override {
        if (error)
            *error = QStringLiteral("/dev/ttyUSB0: system's words");
        return false;
    }
    QString setupError() const override { return {}; }
    serial::OpenFailure openFailure() const override { return failure_; }

private:
    serial::OpenFailure failure_;
};

QByteArray identityAnswer(quint32 serial, quint8 fw, quint8 prefix) {
    QByteArray d = le32(serial);
    d.append(char(fw));
    d.append(char(prefix));
    return answer(1, 0xFC, d);
}

// The sensor's answer to a mode write: the mode is applied as reported.
QByteArray modeAnswer(quint8 mode) {
    return answer(1, 0xF2, QByteArray(1, char(mode)));
}

QTimer* timer1(const QObject* window) {
    return control<QTimer>(window, "Timer1");
}
} // namespace

class TestMainWindow : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::Russian)); }
    void startupState();
    void splashGivesWayOnSecondTick();
    void startupLogFailureStillShowsWindow();
    void openAndCloseSimulator();
    void openUnavailablePort();
    void openRefusedSettings();
    void openFailureReasonShownAndLogged_data();
    void openFailureReasonShownAndLogged();
    void networkPollIdentityAndData();
    void addressChangeAsksIdentity();
    void silenceBadCrcUnknownCode();
    void frequencyModeRefusesRequest();
    void fourShortWritesClosePort();
    void vanishedPortReportedOnce();
    void firmwareLadder_data();
    void firmwareLadder();
    void ladderAfterCloseAndOlderSensor();
    void identityCases_data();
    void identityCases();
    void dataDecoding_data();
    void dataDecoding();
    void barLimitAndRange();
    void shortAnswerKeepsModeYes();
    void emptyLevelZeroWarnsOnce();
    void stabilitySequence();
    void sliderAndTabHandlers();
    void rescanKeepsOrClampsSelection();
    void closingWindowClosesPortFirst_data();
    void closingWindowClosesPortFirst();
    void requestLeftWhileClosedIsNotSentOnOpen();
};

void TestMainWindow::startupState() {
    WindowHarness h;
    QCOMPARE(h.w->windowTitle(), QString("Конфигуратор ЛВ-300 v2.6.3"));
    QCOMPARE(h.c<QComboBox>("CmbNet")->count(), 1);
    QCOMPARE(h.c<QComboBox>("CmbNet")->currentText(), QString("0"));
    QCOMPARE(h.session.pending(),
             QByteArray::fromHex("3100FC") + char(frame::crcOf(QByteArray::fromHex("3100FC"))));
    QCOMPARE(h.c<QComboBox>("CmbPort")->count(), 1);
    QCOMPARE(h.c<QComboBox>("CmbPort")->currentText(), QString("----"));
    QCOMPARE(h.c<QComboBox>("VibGenCmd")->count(), 9);
    QCOMPARE(h.c<QComboBox>("VibGenCmd")->currentIndex(), 0);
    QCOMPARE(h.c<QProgressBar>("ProgressBar1")->value(), 621);
    auto* grid = h.c<QTableWidget>("MSFlexGrid1");
    QCOMPARE(grid->horizontalHeaderItem(0)->text(), QString("№ проции"));
    QCOMPARE(grid->horizontalHeaderItem(2)->text(), QString("Уровень"));
    QCOMPARE(h.c<QTabWidget>("SSTab1")->currentIndex(), 0);
    QVERIFY(timer1(h.w.get())->isActive());
    QVERIFY(!h.session.tickTimer()->isActive());
    QVERIFY(h.c("BTNOpenCom")->isEnabled());
    QVERIFY(!h.c("BTNCloseCom")->isEnabled());
    QVERIFY(!h.c("hig")->isEnabled()); // marker 9: disabled until a port opens
    QCOMPARE(timer1(h.w.get())->property("tag").toString(), QString("2"));
    QCOMPARE(h.c("Label1")->property("tag").toString(), QString("2"));
    // The item-0 selection shows the password prompt.
    QVERIFY(!h.c("chislo_sdv")->isHidden());
    QCOMPARE(h.c<QLabel>("lchislo")->text(), QString("Введите числовой пароль:"));
    QVERIFY(h.c("Frame5")->isHidden());
    QCOMPARE(h.logBytes(), QByteArray("\"Start: 08.12.2026 10:00:00\r\n\"\r\n"));
    // The first data answer after start-up brings the settings with it.
    h.session.receive(dataAnswer(21, 100, 72000, 50000, 95000, 703, QByteArray::fromHex("4A2303")));
    QCOMPARE(h.c<QLineEdit>("lamp_level")->text(), QString("35"));
    QVERIFY(h.c<QRadioButton>("R_a")->isChecked());
}

void TestMainWindow::splashGivesWayOnSecondTick() {
    WindowHarness h;
    QWidget* splash = topLevel("Form2");
    QVERIFY(splash->isVisible());
    QVERIFY(!h.w->isVisible());
    h.w->Timer1_Timer();
    QVERIFY(!h.w->isVisible());
    h.w->Timer1_Timer();
    QVERIFY(h.w->isVisible());
    QVERIFY(!splash->isVisible());
    // The rescan filled the port list.
    QCOMPARE(h.c<QComboBox>("CmbPort")->currentText(), SimItem);
}

void TestMainWindow::startupLogFailureStillShowsWindow() {
    WindowServices parts;
    ScriptedDialog& dialog = parts.dialog;
    QFile plain(parts.dir.path() + "/file");
    QVERIFY(plain.open(QIODevice::WriteOnly));
    plain.close();
    frmSerial::Services sv = parts.services();
    sv.logDirs = {parts.dir.path() + "/file/sub"};
    sv.listPorts = [] { return QStringList(); };
    frmSerial w(sv);
    w.Load();
    QCOMPARE(dialog.calls.size(), 1);
    QCOMPARE(dialog.calls[0].title, QString("Error#75"));
    QCOMPARE(dialog.calls[0].icon, UserDialog::Icon::Critical);
    // The remaining steps ran: the timer brings up the main window.
    QVERIFY(timer1(&w)->isActive());
    QCOMPARE(control<QComboBox>(&w, "VibGenCmd")->count(), 9);
    w.Timer1_Timer();
    w.Timer1_Timer();
    QVERIFY(w.isVisible());
}

void TestMainWindow::openAndCloseSimulator() {
    WindowHarness h;
    h.open();
    QVERIFY(h.session.tickTimer()->isActive());
    QVERIFY(!timer1(h.w.get())->isActive());
    QVERIFY(!h.c("BTNOpenCom")->isEnabled());
    QVERIFY(h.c("BTNCloseCom")->isEnabled());
    QVERIFY(h.c("hig")->isEnabled());
    QVERIFY(h.c("gen_zapr")->isHidden());
    QVERIFY(h.c("rdf")->isHidden());
    QVERIFY(h.c("kko")->isHidden());
    QVERIFY(!h.c("sdv_hi")->isHidden());
    QCOMPARE(h.tones.beeps, (QList<QPair<int, int>>{{1000, 100}}));
    QVERIFY(h.logText().contains("\"10:00:00 : Com Port Симулятор Open\"\r\n"));

    h.findSensors();
    h.ticks(2);
    h.c<QPushButton>("BTNCloseCom")->click();
    QVERIFY(!h.session.tickTimer()->isActive());
    QVERIFY(timer1(h.w.get())->isActive());
    QVERIFY(h.c("BTNOpenCom")->isEnabled());
    QVERIFY(!h.c("BTNCloseCom")->isEnabled());
    QVERIFY(!h.c("hig")->isEnabled());
    QVERIFY(!h.c("gen_zapr")->isHidden());
    QVERIFY(h.c("Command1")->isHidden());
    QCOMPARE(h.c<QComboBox>("CmbNet")->count(), 1);
    QCOMPARE(h.c<QLabel>("sn")->text(), QString("0"));
    QCOMPARE(h.c<QLabel>("vv")->text(), QString("--------"));
    QCOMPARE(h.c<QLabel>("tek")->text(), QString("Нет данных"));
    QCOMPARE(h.c<QLabel>("netdev")->text(), QString("---------"));
    QCOMPARE(h.c<QProgressBar>("ProgressBar1")->value(), 0);
    QCOMPARE(fillColor(h.c("Pic")), vbcolor::LinkIdle);
    QCOMPARE(fillColor(h.c("ind_stab")), vbcolor::LightGrey);
    QCOMPARE(fillColor(h.in("Form1", "ind_stab")), vbcolor::LightGrey);
    QCOMPARE(backColor(h.c("hi")), vbcolor::ButtonFace);
    QVERIFY(h.logText().contains(" : Com Port Симулятор Closed\"\r\n"));
    QCOMPARE(h.session.pending(), frame::request(0, 0xFC));
}

void TestMainWindow::openUnavailablePort() {
    WindowHarness h;
    h.ports.clear();
    h.w->Timer1_Timer();
    h.w->BTNOpenCom_Click();
    QCOMPARE(h.dialog.messages(), QStringList{"Com Port ---- недоступен. Установите нужный порт."});
    QCOMPARE(h.dialog.calls.last().icon, UserDialog::Icon::Warning);
    QVERIFY(h.logText().contains("Com Port ---- недоступен. Установите нужный порт."));
    QVERIFY(timer1(h.w.get())->isActive());
    QVERIFY(!h.session.tickTimer()->isActive());
}

void TestMainWindow::openRefusedSettings() {
    WindowServices parts;
    ScriptedDialog& dialog = parts.dialog;
    frmSerial::Services sv = parts.services();
    sv.listPorts = [] { return QStringList{"COM3"}; };
    sv.makePort = [](const QString&, QString* path) -> std::unique_ptr<Port> {
        *path = QStringLiteral("\\\\.\\COM3");
        return std::make_unique<SettingsRefusingPort>();
    };
    frmSerial w(sv);
    w.Load();
    w.Timer1_Timer();
    w.BTNOpenCom_Click();
    QCOMPARE(dialog.messages(), (QStringList{"Unable to set Comm DCB 19200,n,8,1 Error: 10",
                                             "Com Port COM3 недоступен. Установите нужный порт."}));
    QCOMPARE(dialog.calls[0].icon, UserDialog::Icon::None);
    QCOMPARE(dialog.calls[1].icon, UserDialog::Icon::Warning);
    QVERIFY(!parts.session.tickTimer()->isActive());
    QVERIFY(timer1(&w)->isActive());
    QVERIFY(control<QWidget>(&w, "BTNOpenCom")->isEnabled());
    QVERIFY(parts.session.port() == nullptr);
}

void TestMainWindow::openFailureReasonShownAndLogged_data() {
    QTest::addColumn<serial::OpenFailure>("failure");
    QTest::addColumn<QString>("secondLine"); // on the box and in the log
    QTest::newRow("no right") << serial::OpenFailure::NoPermission
                              << "Нет прав на порт: добавьте пользователя в группу dialout и "
                                 "войдите заново.";
    QTest::newRow("busy") << serial::OpenFailure::Busy << "Порт занят другой программой.";
    QTest::newRow("absent") << serial::OpenFailure::NotFound << "Порт не найден.";
    QTest::newRow("other: the system's words, in the log only")
        << serial::OpenFailure::Other << QString();
}

void TestMainWindow::openFailureReasonShownAndLogged() {
    QFETCH(serial::OpenFailure, failure);
    QFETCH(QString, secondLine);
    WindowServices parts;
    frmSerial::Services sv = parts.services();
    sv.listPorts = [] { return QStringList{"ttyUSB0"}; };
    sv.makePort = [failure](const QString&, QString* path) -> std::unique_ptr<Port> {
        *path = QStringLiteral("/dev/ttyUSB0");
        return std::make_unique<UnopenablePort>(failure);
    };
    frmSerial w(sv);
    w.Load();
    w.Timer1_Timer();
    w.BTNOpenCom_Click();
    const QString first = "Com Port ttyUSB0 недоступен. Установите нужный порт.";
    QCOMPARE(parts.dialog.messages(),
             QStringList{secondLine.isEmpty() ? first : first + "\n" + secondLine});
    const QString log = text1251::decode(testsupport::readAll(w.workLog().path()));
    const QString logged = secondLine.isEmpty() ? "/dev/ttyUSB0: system's words" : secondLine;
    QVERIFY2(log.contains(" : " + first + "\"\r\n\"") && log.contains(" : " + logged + "\"\r\n"),
             qPrintable(log));
}

void TestMainWindow::networkPollIdentityAndData() {
    WindowHarness h;
    h.open();
    h.ticks(1); // identity request to address 0: nobody there
    h.run("Opros_Click");
    QCOMPARE(h.session.pending(), QByteArray::fromHex("31FFDC"));
    h.ticks(1); // no answer to address 0; the poll goes out
    QCOMPARE(h.port->writes().last(), QByteArray::fromHex("31FFDC"));
    h.ticks(1); // the list comes in after this tick's write
    QCOMPARE(h.c<QComboBox>("CmbNet")->count(), 2);
    QCOMPARE(h.c<QComboBox>("CmbNet")->itemText(1), QString("5"));
    QCOMPARE(h.c<QLabel>("netdev")->text(), QString("1 5 "));
    QCOMPARE(h.c<QLabel>("MsgCom")->text(), QString("Произошел опрос сети."));
    QCOMPARE(h.session.pending(), frame::request(1, 0xFC));
    h.ticks(1); // identity request out
    QCOMPARE(h.port->writes().last(), frame::request(1, 0xFC));
    h.ticks(1); // identity in, data poll out
    QCOMPARE(h.c<QLabel>("sn")->text(), QString("3000417"));
    QCOMPARE(h.c<QLabel>("vv")->text(), QString("1.7.6."));
    QCOMPARE(h.session.firmware(), 176);
    QCOMPARE(h.c<QLabel>("MsgCom")->text(), QString(" Получен С/Н и вер. прошивки"));
    QCOMPARE(h.port->writes().last(), frame::request(1, 0xF0));
    h.ticks(1); // data in
    QCOMPARE(h.c<QLabel>("MsgCom")->text(), QString("Датчик подключен"));
    QCOMPARE(foreColor(h.c("MsgCom")), vbcolor::DarkGreen);
    QCOMPARE(h.c<QLabel>("ne")->text(), QString("1"));
    QVERIFY(h.c<QLabel>("tek")->text().toUInt() > 0);
    QCOMPARE(h.c<QLabel>("temp")->text(), QString("%1 °C").arg(h.line.sensors[0]->temperature()));
    QCOMPARE(h.c<QLabel>("Uroven")->text(), QString::number(h.line.sensors[0]->levelN()));
    QCOMPARE(h.in<QLabel>("Form1", "Uroven")->text(), h.c<QLabel>("Uroven")->text());
    const QString logged = h.logText();
    QVERIFY(logged.contains("Устройства в сети 1 5 "));
    QVERIFY(logged.contains("Device: 3000417  Ver Soft: 1.7.6."));
    const auto shown = [&h](const char* name) { return h.c<QLabel>(name)->text(); };
    QVERIFY(logged.contains(shown("Uroven") + ", " + shown("tek") + ", " + shown("lo") + ", " +
                            shown("hi") + ", " + h.session.modeText() + ", " + shown("temp")));
}

void TestMainWindow::addressChangeAsksIdentity() {
    WindowHarness h;
    h.open();
    h.findSensors();
    h.c<QComboBox>("CmbNet")->setCurrentIndex(1);
    h.w->CmbNet_Click();
    h.ticks(1);
    QCOMPARE(h.port->writes().last(), frame::request(5, 0xFC));
    h.ticks(1);
    QCOMPARE(h.c<QLabel>("sn")->text(), QString("2704155"));
    QCOMPARE(h.c<QLabel>("vv")->text(), QString("1.6.3."));
}

void TestMainWindow::silenceBadCrcUnknownCode() {
    WindowHarness h;
    h.open();
    h.findSensors();
    h.ticks(1);
    auto* msgCom = h.c<QLabel>("MsgCom");
    auto* errBox = h.c<QPlainTextEdit>("errBox");
    auto* tek = h.c<QLabel>("tek");
    h.line.sensors[0]->setMuted(true);
    h.ticks(2);
    QCOMPARE(msgCom->text(), QString("Нет ответа от датчика с адресом 1"));
    QCOMPARE(foreColor(msgCom), vbcolor::ButtonText);
    QVERIFY(errBox->toPlainText().contains(" пр"));
    QVERIFY(h.logText().contains(" : Нет ответа от датчика с адресом 1\""));
    h.line.sensors[0]->setMuted(false);
    h.ticks(2);
    const QString tekBefore = tek->text();
    h.line.sensors[0]->holdLevel(false);
    h.line.sensors[0]->setTankRaw(90000);
    h.line.sensors[0]->corruptNextAnswers(1);
    h.ticks(2); // the corrupted answer arrives on the second tick
    QCOMPARE(tek->text(), tekBefore);
    QVERIFY(errBox->toPlainText().contains(" ош"));
    h.line.sensors[0]->replaceCodeOfNextAnswers(0x77, 1);
    h.ticks(1);
    const int longBefore = h.tones.longCount();
    h.ticks(1);
    QCOMPARE(msgCom->text(), QString(" Непонятно что пришло! "));
    QCOMPARE(h.dialog.messages().last(), QString("Ответ не соответствует запросу"));
    QCOMPARE(h.tones.longCount() - longBefore, 2);
}

void TestMainWindow::frequencyModeRefusesRequest() {
    WindowHarness h;
    h.open();
    h.findSensors();
    h.line.sensors[0]->setFrequencyMode(true);
    h.ticks(2);
    QCOMPARE(h.c<QLabel>("MsgCom")->text(), QString("Датчик в частотном режиме."));
    QCOMPARE(h.c<QLabel>("ur")->text(), QString("Частота"));
    QVERIFY(h.c<QLabel>("Uroven")->text().endsWith(" Гц."));
    QCOMPARE(h.in<QLabel>("Form1", "Uroven")->text(), h.c<QLabel>("Uroven")->text());
    h.run("Opros_Click");
    const int writes = h.port->writes().size();
    h.ticks(1);
    QVERIFY(h.dialog.messages().last().startsWith(
        "Эту операцию невозможно выполнить в частотном режиме."));
    QCOMPARE(h.port->writes().size(), writes); // the refused request is not sent
}

void TestMainWindow::fourShortWritesClosePort() {
    WindowHarness h;
    h.open();
    h.findSensors();
    h.port->setShortWrites(true);
    h.ticks(3);
    QCOMPARE(h.dialog.messages(), QStringList(3, "Ошибка записи в порт"));
    QVERIFY(h.session.tickTimer()->isActive());
    h.ticks(1);
    QCOMPARE(h.dialog.messages().size(), 4);
    QVERIFY(!h.session.tickTimer()->isActive());
    QVERIFY(h.c("BTNOpenCom")->isEnabled());
    QVERIFY(h.session.port() == nullptr);
}

void TestMainWindow::vanishedPortReportedOnce() {
    WindowHarness h;
    h.open();
    h.findSensors();
    h.port->setVanished(true);
    h.ticks(3);
    QCOMPARE(h.dialog.messages(), QStringList{"Связь с портом Симулятор потеряна. Порт закрыт."});
    QVERIFY(!h.session.tickTimer()->isActive());
    QVERIFY(h.c("BTNOpenCom")->isEnabled());
}

void TestMainWindow::firmwareLadder_data() {
    QTest::addColumn<int>("fw");
    QTest::addColumn<QStringList>("enabled");
    QTest::addColumn<QStringList>("disabled");
    QTest::addColumn<QStringList>("shown");
    QTest::addColumn<QStringList>("hidden");
    QTest::addColumn<bool>("warning");
    QTest::newRow("0") << 0 << QStringList{"hig", "CmbNet", "Set_mode"}
                       << QStringList{"R_a", "R_p", "Vvod_PWD", "set_hi_data", "R_p485"}
                       << QStringList{"R_a", "Vvod_PWD", "usredn"}
                       << QStringList{"Command1", "Slider1", "lamp_level", "Termokompens"} << true;
    QTest::newRow("150") << 150 << QStringList{"R_a", "R_f", "R_p", "R_analog"}
                         << QStringList{"Vvod_PWD", "Chg_pass", "R_p485", "set_hi_data"}
                         << QStringList{"usredn", "usred"} << QStringList{"Command1", "Slider1"}
                         << false;
    QTest::newRow("170") << 170 << QStringList{"R_p485",   "Vvod_PWD",   "Chg_pass",
                                               "Command1", "lamp_level", "Command6"}
                         << QStringList{"tartab1", "per_sents", "set_hi_data", "hi_data"}
                         << QStringList{"Command1", "Label9", "lamp_level", "tartab1", "usredn"}
                         << QStringList{"Slider1", "Termokompens", "per_sents"} << true;
    QTest::newRow("172") << 172 << QStringList{"set_hi_data", "set_lo_data", "hi_data", "lo_data"}
                         << QStringList{"Slider1"}
                         << QStringList{"set_hi_data", "lo_data", "usredn"}
                         << QStringList{"Slider1", "sgla"} << true;
    QTest::newRow("176") << 176
                         << QStringList{"Slider1", "sgla", "Label22", "Termokompens", "set_hi_data"}
                         << QStringList{"usredn", "usred", "tartab1"}
                         << QStringList{"Slider1", "sgla", "Termokompens"}
                         << QStringList{"usredn", "usred", "per_sents"} << true;
}

void TestMainWindow::firmwareLadder() {
    QFETCH(int, fw);
    QFETCH(QStringList, enabled);
    QFETCH(QStringList, disabled);
    QFETCH(QStringList, shown);
    QFETCH(QStringList, hidden);
    QFETCH(bool, warning);
    WindowHarness h;
    h.open();
    if (fw > 0)
        h.session.receive(identityAnswer(123456, quint8(fw), 0));
    for (const QString& n : enabled)
        QVERIFY2(h.w->findChild<QWidget*>(n)->isEnabled(), qPrintable(n));
    for (const QString& n : disabled)
        QVERIFY2(!h.w->findChild<QWidget*>(n)->isEnabled(), qPrintable(n));
    for (const QString& n : shown)
        QVERIFY2(!h.w->findChild<QWidget*>(n)->isHidden(), qPrintable(n));
    for (const QString& n : hidden)
        QVERIFY2(h.w->findChild<QWidget*>(n)->isHidden(), qPrintable(n));
    QCOMPARE(!h.c("Kalibr_warning")->isHidden(), warning);
    QCOMPARE(h.session.isFirmware172(), fw == 172);
}

void TestMainWindow::ladderAfterCloseAndOlderSensor() {
    WindowHarness h;
    h.open();
    h.session.receive(identityAnswer(1, 176, 0));
    h.c<QPushButton>("BTNCloseCom")->click();
    // Closed: every firmware control disabled, marker 176 hidden, 170 less
    // Label9/lamp_level/Command1 still visible.
    for (const char* name : {"R_a", "Vvod_PWD", "set_hi_data", "Command6"})
        QVERIFY2(!h.c(name)->isEnabled(), name);
    QVERIFY(h.c("Slider1")->isHidden());
    QVERIFY(h.c("Termokompens")->isHidden());
    QVERIFY(!h.c("Command6")->isHidden());
    QVERIFY(!h.c("set_hi_data")->isHidden());
    QVERIFY(h.c("Command1")->isHidden());
    QVERIFY(h.c("lamp_level")->isHidden());
    // A sensor with firmware 120: everything stays disabled; the smoothing
    // box hidden by 176 stays hidden.
    h.w->Timer1_Timer();
    h.w->BTNOpenCom_Click();
    h.session.receive(identityAnswer(1, 120, 0));
    QVERIFY(!h.c("R_a")->isEnabled());
    QVERIFY(!h.c("Command6")->isEnabled());
    QVERIFY(!h.c("Command6")->isHidden());
    QVERIFY(h.c("usredn")->isHidden());
    QVERIFY(h.c("hig")->isEnabled());
}

// What the window does with an identity answer; the version texts of other
// firmware numbers and prefixes are the decoder's (tst_answers).
void TestMainWindow::identityCases_data() {
    QTest::addColumn<QByteArray>("a");
    QTest::addColumn<QString>("sn");
    QTest::addColumn<QString>("vv");
    QTest::addColumn<int>("fw");
    QTest::addColumn<QString>("logLine");
    QTest::newRow("123456 v1.7.6") << identityAnswer(123456, 176, 0) << "123456"
                                   << "1.7.6." << 176 << "Device: 123456  Ver Soft: 1.7.6.";
    QTest::newRow("8 bytes keeps the version")
        << answer(1, 0xFC, QByteArray::fromHex("40E20100")) << "123456"
        << "Ver ---------" << 0 << "Device: 123456  Ver Soft: Ver ---------";
    QTest::newRow("5 bytes") << answer(1, 0xFC, QByteArray::fromHex("40")) << "????????"
                             << "Ver ---------" << 0 << "";
}

void TestMainWindow::identityCases() {
    QFETCH(QByteArray, a);
    QFETCH(QString, sn);
    QFETCH(QString, vv);
    QFETCH(int, fw);
    QFETCH(QString, logLine);
    WindowHarness h;
    h.session.receive(a);
    QCOMPARE(h.c<QLabel>("sn")->text(), sn);
    QCOMPARE(h.c<QLabel>("vv")->text(), vv);
    QCOMPARE(h.session.firmware(), fw);
    if (logLine.isEmpty())
        QVERIFY(!h.logText().contains("Device:"));
    else
        QVERIFY(h.logText().contains(logLine + "\"\r\n"));
}

// What the window shows of a data answer; the temperature bytes are the
// decoder's (tst_answers).
void TestMainWindow::dataDecoding_data() {
    QTest::addColumn<QByteArray>("a");
    QTest::addColumn<bool>("d4096");
    QTest::addColumn<QString>("temp");
    QTest::addColumn<QString>("freq");
    QTest::addColumn<QString>("anal");
    QTest::addColumn<QString>("kko");
    QTest::addColumn<QString>("warning");
    QTest::addColumn<quint32>("hiColor");
    QTest::newRow("level 0, good balance")
        << dataAnswer(21, 0, 72000, 50000, 95000, 703) << false << "21 °C"
        << "300 Гц"
        << "0 В"
        << "1,00017780938834"
        << "Внимание! Установка Пустой соотв. длине около 83 см." << vbcolor::LightGreen;
    QTest::newRow("1024 is 5 V, doubtful balance")
        << dataAnswer(21, 1024, 72000, 50000, 85000, 703) << false << "21 °C"
        << "1324 Гц"
        << "5 В"
        << "0,777916073968706"
        << "Внимание! Установка Пустой соотв. длине около 83 см." << vbcolor::Yellow;
    QTest::newRow("4096 in range 4096 is 5 V, wrong balance")
        << dataAnswer(21, 4096, 72000, 50000, 150000, 703) << true << "21 °C"
        << "4396 Гц"
        << "5 В"
        << "2,2226173541963"
        << "Внимание! Установка Пустой соотв. длине около 83 см." << vbcolor::Red;
    QTest::newRow("512 is 2,48 V (62,5 rounds to even)")
        << dataAnswer(21, 512, 72000, 50000, 95000, 703) << false << "21 °C"
        << "812 Гц"
        << "2,48 В"
        << "1,00017780938834"
        << "Внимание! Установка Пустой соотв. длине около 83 см." << vbcolor::LightGreen;
    QTest::newRow("8-digit empty skips hints")
        << dataAnswer(21, 100, 72000, 12345678, 95000, 703) << false << "21 °C"
        << "400 Гц"
        << "0,48 В"
        << ""
        << "" << vbcolor::ButtonFace;
}

void TestMainWindow::dataDecoding() {
    QFETCH(QByteArray, a);
    QFETCH(bool, d4096);
    QFETCH(QString, temp);
    QFETCH(QString, freq);
    QFETCH(QString, anal);
    QFETCH(QString, kko);
    QFETCH(QString, warning);
    QFETCH(quint32, hiColor);
    WindowHarness h;
    h.open();
    // The sensor reports its mode (range 4096 or 1024); the settings are then
    // current, so the data answer's own mode byte leaves them alone.
    h.session.receive(modeAnswer(d4096 ? 0x80 : 0x00));
    QCOMPARE(h.c<QCheckBox>("D_4096")->isChecked(), d4096);
    QCOMPARE(h.session.levelRange(), d4096 ? 4096 : 1024);
    const QString kkoBefore = h.c<QLabel>("kko")->text();
    h.session.receive(a);
    QCOMPARE(h.c<QLabel>("temp")->text(), temp);
    QCOMPARE(h.c<QLabel>("freq")->text(), freq);
    QCOMPARE(h.c<QLabel>("anal")->text(), anal);
    QCOMPARE(h.c<QLabel>("kko")->text(), kko.isEmpty() ? kkoBefore : kko);
    QCOMPARE(h.c<QLabel>("Kalibr_warning")->text(), warning);
    QCOMPARE(backColor(h.c("hi")), hiColor == vbcolor::ButtonFace ? 0u : hiColor);
    QVERIFY(h.dialog.messages().isEmpty());
    // The data line is logged (the port is open).
    QVERIFY(h.logText().contains(", " + temp + "\"\r\n"));
}

void TestMainWindow::barLimitAndRange() {
    WindowHarness h;
    auto* bar = h.c<QProgressBar>("ProgressBar1");
    h.session.receive(dataAnswer(21, 1000, 72000, 50000, 95000, 703));
    QCOMPARE(bar->value(), 1000);
    h.session.receive(dataAnswer(21, 1024, 72000, 50000, 95000, 703));
    QCOMPARE(h.c<QLabel>("Uroven")->text(), QString("1024"));
    QCOMPARE(bar->value(), 1000); // N equal to the range leaves the bar
    QCOMPARE(bar->maximum(), 1024);
    // A mode byte with bit 7 and firmware 172 make the range 256. The
    // identity answer also makes the next data answer refresh the settings.
    h.session.receive(identityAnswer(1, 172, 0));
    QVERIFY(h.session.isFirmware172());
    h.session.receive(dataAnswer(21, 100, 72000, 50000, 95000, 703, QByteArray::fromHex("801485")));
    QCOMPARE(h.session.levelRange(), 256);
    QVERIFY(h.c<QCheckBox>("D_4096")->isChecked());
    QCOMPARE(h.c<QLineEdit>("lamp_level")->text(), QString("20"));
    QCOMPARE(h.c<QLabel>("sgla")->text(), QString("5"));
    QCOMPARE(h.c<QSlider>("Slider1")->value(), 5);
    QVERIFY(h.c<QCheckBox>("Termokompens")->isChecked());
    QCOMPARE(h.session.modeText(), QString("128"));
    // The settings were refreshed once: the next answer leaves them.
    h.session.receive(dataAnswer(21, 100, 72000, 50000, 95000, 703, QByteArray::fromHex("001E03")));
    QCOMPARE(h.c<QLineEdit>("lamp_level")->text(), QString("20"));
    QVERIFY(h.c<QCheckBox>("D_4096")->isChecked());
    QCOMPARE(h.session.levelRange(), 256);
    // Without a port the data line is not logged.
    QVERIFY(!h.logText().contains("72000"));
}

void TestMainWindow::shortAnswerKeepsModeYes() {
    WindowHarness h;
    auto* lamp = h.c<QLineEdit>("lamp_level");
    const QByteArray shortAnswer = dataAnswer(21, 100, 72000, 50000, 95000, 703, QByteArray());
    QCOMPARE(shortAnswer.size(), 21);
    h.session.receive(shortAnswer);
    QCOMPARE(lamp->text(), QString("10"));
    // The settings are still due: the next full answer brings them.
    h.session.receive(dataAnswer(21, 100, 72000, 50000, 95000, 703, QByteArray::fromHex("4A2303")));
    QCOMPARE(lamp->text(), QString("35"));
    QVERIFY(h.c<QRadioButton>("R_a")->isChecked());
    QVERIFY(h.c<QCheckBox>("usredn")->isChecked());
    QVERIFY(h.c<QCheckBox>("tartab1")->isChecked());
    QCOMPARE(h.session.modeByte(), quint8(0x4A));
    // ... and only once.
    h.session.receive(dataAnswer(21, 100, 72000, 50000, 95000, 703, QByteArray::fromHex("001E00")));
    QCOMPARE(lamp->text(), QString("35"));
    QVERIFY(h.c<QRadioButton>("R_a")->isChecked());
}

void TestMainWindow::emptyLevelZeroWarnsOnce() {
    WindowHarness h;
    h.open();
    h.session.receive(dataAnswer(21, 100, 72000, 0, 95000, 703));
    QCOMPARE(h.dialog.messages(), QStringList{"Пришли ошибочные данные"});
    h.session.receive(dataAnswer(21, 100, 72000, 0, 95000, 703));
    QCOMPARE(h.dialog.messages().size(), 1); // shown once
    QVERIFY(!h.logText().contains("72000"));
    // The next request sent (the identity request left pending by the open)
    // allows the warning again. A short answer stops at the empty level: both
    // messages.
    QVERIFY(!h.session.pending().isEmpty());
    h.ticks(1);
    h.dialog.clear();
    h.session.receive(answer(1, 0xF0, QByteArray(9, '\1')));
    QCOMPARE(h.dialog.messages(),
             (QStringList{"Пришли ошибочные данные", "Измените уровень пустого"}));
}

void TestMainWindow::stabilitySequence() {
    WindowHarness h;
    auto* lamp = h.c("ind_stab");
    auto* form1Lamp = h.in("Form1", "ind_stab");
    QList<quint32> colors;
    for (int i = 1; i <= 45; ++i) {
        h.session.receive(dataAnswer(21, 100, 72000, 50000, 95000, 703));
        colors << fillColor(lamp);
        QCOMPARE(fillColor(form1Lamp), colors.last());
    }
    for (int i = 0; i < 38; ++i)
        QCOMPARE(colors[i], vbcolor::Red);
    for (int i = 38; i < 43; ++i)
        QCOMPARE(colors[i], vbcolor::Yellow);
    QCOMPARE(colors[43], vbcolor::Green);
    QCOMPARE(colors[44], vbcolor::Green);
    // A jump to twice the reading: the score falls by one per answer (yellow
    // from 5 down to 0), turns red when it would go below 0, and stays red
    // until the average has caught up again.
    colors.clear();
    for (int i = 1; i <= 36; ++i) {
        h.session.receive(dataAnswer(21, 100, 144000, 50000, 95000, 703));
        colors << fillColor(lamp);
    }
    for (int i = 0; i < 5; ++i)
        QCOMPARE(colors[i], vbcolor::Yellow);
    for (int i = 5; i < 35; ++i)
        QCOMPARE(colors[i], vbcolor::Red);
    QCOMPARE(colors[35], vbcolor::Yellow);
}

void TestMainWindow::sliderAndTabHandlers() {
    WindowHarness h;
    h.c<QSlider>("Slider1")->setValue(7);
    QCOMPARE(h.c<QLabel>("sgla")->text(), QString("7"));
    h.c<QSlider>("Slider1d")->setValue(9);
    QCOMPARE(h.c<QLabel>("sglad")->text(), QString("9"));
    h.c<QCheckBox>("ch_ver")->setChecked(true);
    emit h.c<QTabWidget>("SSTab1")->tabBarClicked(2);
    QVERIFY(!h.c("Slider1d")->isHidden());
    h.c<QCheckBox>("ch_ver")->setChecked(false);
    emit h.c<QTabWidget>("SSTab1")->tabBarClicked(1);
    QVERIFY(h.c("Slider1d")->isHidden());
}

// Each Timer1 tick rescans the ports.
void TestMainWindow::rescanKeepsOrClampsSelection() {
    WindowHarness h;
    auto* ports = h.c<QComboBox>("CmbPort");
    h.ports = {"ttyS0", "ttyS1", "ttyUSB0"};
    h.w->Timer1_Timer();
    ports->setCurrentIndex(2);
    h.w->Timer1_Timer();
    QCOMPARE(ports->currentText(), QString("ttyUSB0"));
    h.ports = {"ttyS0", "ttyS1"}; // the adapter was unplugged
    h.w->Timer1_Timer();
    QCOMPARE(ports->currentIndex(), 1);
    h.ports.clear();
    h.w->Timer1_Timer();
    QCOMPARE(ports->count(), 1);
    QCOMPARE(ports->currentText(), QString("----"));
    QVERIFY(h.c<QPlainTextEdit>("txtRec")->toPlainText().contains(
        "ttyS0, ttyS1, ttyUSB0, \nttyS0, ttyS1, "));
}

void TestMainWindow::closingWindowClosesPortFirst_data() {
    QTest::addColumn<bool>("portOpen");
    QTest::newRow("port open") << true;
    QTest::newRow("port never opened") << false;
}

void TestMainWindow::closingWindowClosesPortFirst() {
    QFETCH(bool, portOpen);
    WindowHarness h;
    if (portOpen) {
        h.open();
        h.findSensors();
    } else {
        h.w->Timer1_Timer();
        h.w->Timer1_Timer();
    }
    QVERIFY(h.w->close());
    QVERIFY(h.logText().endsWith(" : Com Port Симулятор Closed\"\r\n"));
    QVERIFY(!h.session.tickTimer()->isActive());
    QVERIFY(!timer1(h.w.get())->isActive());
}

void TestMainWindow::requestLeftWhileClosedIsNotSentOnOpen() {
    WindowHarness h({0});
    h.open();
    h.c<QPushButton>("BTNCloseCom")->click();
    // The table window stays usable with the port closed.
    h.run("wrmyTable_Click");
    QVERIFY(!h.session.pending().isEmpty());
    QVERIFY(h.session.pending() != frame::request(0, 0xFC));
    h.w->Timer1_Timer();
    h.w->BTNOpenCom_Click();
    h.ticks(1);
    QCOMPARE(h.port->writes(), QList<QByteArray>{frame::request(0, 0xFC)});
}

QTEST_MAIN(TestMainWindow)
#include "tst_main_window.moc"
