// The settings page driven through the real main window against the
// simulator: each button builds its request into the pending slot, the next
// tick puts it on the line, and the tick after shows the sensor's answer.
#include "support/window_harness.h"

#include "base/message_window.h"

#include "base/gui/colors.h"
#include "base/gui/vb_colors.h"
#include "link/frame.h"
#include "sensor/gui/form4.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QTest>

namespace {

const QString FrequencyRefusal =
    QStringLiteral("Эту операцию невозможно выполнить в частотном режиме. Отключите ненадолго "
                   "питание датчика и сделайте опрос сети");
const QString SmoothingMessage =
    QStringLiteral(" На время калибровки снимите СГЛАЖИВАНИЕ и нажмите УСТАНОВИТЬ");
const QString Cancel = QStringLiteral("<cancel>");

// A request written out byte by byte in hex, CRC appended.
QByteArray req(const char* hex) {
    return frame::withCrc(QByteArray::fromHex(hex));
}

// One work-log line as the fixed clock stamps it.
QString logLine(const QString& text) {
    return QStringLiteral("\"10:00:00 : ") + text + QStringLiteral("\"\r\n");
}

// The button an operation is started by.
QAbstractButton* button(WindowHarness& h, const QString& op) {
    if (op == "Form4 full")
        return h.in<QAbstractButton>("Form4", "Command1");
    if (op == "Form4 empty")
        return h.in<QAbstractButton>("Form4", "Command3");
    if (op == "Form4 exit")
        return h.in<QAbstractButton>("Form4", "Command2");
    const QHash<QString, const char*> names{
        {"hig", "hig"},
        {"low", "low"},
        {"sdv_hi", "sdv_hi"},
        {"sdv_low", "sdv_low"},
        {"set_hi_data", "set_hi_data"},
        {"set_lo_data", "set_lo_data"},
        {"Set_mode", "Set_mode"},
        {"net", "net"},
        {"lamp", "Command1"},
        {"Vvod_PWD", "Vvod_PWD"},
        {"Chg_pass", "Chg_pass"},
        {"Opros", "Opros"},
    };
    const char* name = names.value(op);
    return name ? h.c<QAbstractButton>(name) : nullptr;
}

// The shift dialog and its value box.
Form4* shiftDialog(WindowHarness& h) {
    return qobject_cast<Form4*>(h.c("Form4"));
}

QLineEdit* shiftBox(WindowHarness& h) {
    return h.in<QLineEdit>("Form4", "data");
}

// The text box an operation reads, if any.
QLineEdit* boxOf(WindowHarness& h, const QString& op) {
    if (op.startsWith("Form4") || op.startsWith("sdv_"))
        return shiftBox(h);
    if (op == "set_hi_data")
        return h.c<QLineEdit>("hi_data");
    if (op == "set_lo_data")
        return h.c<QLineEdit>("lo_data");
    if (op == "lamp")
        return h.c<QLineEdit>("lamp_level");
    return nullptr;
}

void script(WindowHarness& h, const QStringList& inputs, const QString& yesNo) {
    for (const QString& s : inputs)
        h.dialog.inputAnswers.enqueue(s == Cancel ? std::nullopt : std::optional<QString>(s));
    for (QChar c : yesNo)
        h.dialog.yesNoAnswers.enqueue(c == QLatin1Char('Y'));
}

void press(WindowHarness& h, const QString& op) {
    QAbstractButton* b = button(h, op);
    QVERIFY2(b, qPrintable(op));
    QVERIFY2(b->isEnabled(), qPrintable(op + " is disabled"));
    b->click();
}

// Port open, the sensor found and identified, its first data answer shown;
// the answer to the next data poll is on its way.
void connectSensor(WindowHarness& h) {
    h.open();
    h.findSensors(); // poll out; list in; identity out
    h.ticks(2);      // identity in; data in
}

// Bare bytes arriving as an answer are the list of a network poll only while
// one is under way: true when they were taken as one.
bool takenAsNetworkList(WindowHarness& h) {
    auto* netdev = h.c<QLabel>("netdev");
    const QString before = netdev->text();
    h.session.receive(QByteArray(1, char(0x07)));
    return netdev->text() != before;
}

QStringList callsOf(const ScriptedDialog& d, const QString& kind) {
    QStringList out;
    for (const auto& c : d.calls) {
        if (c.kind == kind)
            out << c.text;
    }
    return out;
}

// The mode controls as a technician sets them: analogue output, litres
// recount ticked in the table window, smoothing 5, thermo-compensation off.
void setAnalogueMode(WindowHarness& h) {
    h.c<QRadioButton>("R_a")->setChecked(true);
    h.c<QCheckBox>("usredn")->setChecked(true);
    h.in<QCheckBox>("Form3", "tartab")->setChecked(true);
    h.c<QCheckBox>("tartab1")->setChecked(false); // the table window's box wins
    h.c<QSlider>("Slider1")->setValue(5);
    h.c<QCheckBox>("Termokompens")->setChecked(true);
}

} // namespace

class TestSettingsPage : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::Russian)); }
    void acceptedOperation_data();
    void acceptedOperation();
    void refusalSendsNothing_data();
    void refusalSendsNothing();
    void shiftDialogHides_data();
    void shiftDialogHides();
    void shiftDialogAfterPortClosed_data();
    void shiftDialogAfterPortClosed();
    void smoothingBlocksSetToCurrent();
    void twoPressesInOneTickSendTheSecond_data();
    void twoPressesInOneTickSendTheSecond();
    void frequencyModeRefusesRequest();
    void wrongPasswordShownInRed();
    void networkPollFromSettingsPage();
    void technicianSession();
};

void TestSettingsPage::acceptedOperation_data() {
    QTest::addColumn<int>("firmware");
    QTest::addColumn<QString>("op");
    QTest::addColumn<QString>("box");
    QTest::addColumn<QStringList>("inputs");
    QTest::addColumn<QByteArray>("frame");
    QTest::addColumn<QString>("logText");
    QTest::addColumn<bool>("shown");
    QTest::addColumn<QString>("question");
    QTest::addColumn<QString>("status");
    QTest::addColumn<bool>("shortBeep");

    const QString askFull =
        QStringLiteral("Сейчас будет сдвинут верхний уровень. Вы уверены что это нужно?");
    const QString askEmpty =
        QStringLiteral("Сейчас будет сдвинут уровень пустого. Вы уверены что это нужно?");
    const QString askDirectFull = QStringLiteral(
        "Сейчас будет произведена перекалибровка верхнего уровня. Вы уверены что это нужно?");
    const QString askDirectEmpty = QStringLiteral(
        "Сейчас будет произведена перекалибровка нижнего уровня. Вы уверены что это нужно?");
    const QString askMode =
        QStringLiteral("Сейчас будет изменен режим работы датчика. Вы уверены что это нужно?");
    const QString askLamp = QStringLiteral(
        "Сейчас будет новый уровень аварийного остатка топлива. Вы уверены что это нужно?");
    const QString askPwd =
        QStringLiteral("Сейчас будет изменен пароль датчика. Если Вы забудете новый пароль, снять "
                       "его сможет только производитель. МЕНЯЕМ ?");
    const QString none;
    const QStringList noInput;

    QTest::newRow("hig 176") << 176 << "hig" << none << noInput << req("3101F55AC396")
                             << "Cmd SetHight " << true << none << " Установлен верхний уровень."
                             << true;
    QTest::newRow("low 176") << 176 << "low" << none << noInput << req("3101FA5AC396")
                             << "Cmd SetLow " << true << none << " Установлен нижний уровень."
                             << true;
    QTest::newRow("hig 174 without code")
        << 174 << "hig" << none << noInput << req("3101F5") << "Cmd SetHight " << true << none
        << " Установлен верхний уровень." << true;
    QTest::newRow("shift full -1")
        << 176 << "Form4 full"
        << "-1" << noInput << req("3101F45AC396FFFF") << "Cmd Shift Hight: -1" << false << askFull
        << "Сдвинут верхний уровень." << true;
    QTest::newRow("shift full 1000")
        << 176 << "sdv_hi"
        << "1000" << noInput << req("3101F45AC39603E8") << "Cmd Shift Hight: 1000" << false
        << askFull << "Сдвинут верхний уровень." << true;
    QTest::newRow("shift empty -1000")
        << 176 << "Form4 empty"
        << "-1000" << noInput << req("3101F95AC396FC18") << "Cmd Shift Low: -1000" << false
        << askEmpty << "Сдвинут нижний уровень." << true;
    QTest::newRow("shift empty 163")
        << 163 << "sdv_low"
        << "100" << noInput << req("3101F90064") << "Cmd Shift Low: 100" << false << askEmpty
        << "Сдвинут нижний уровень." << true;
    QTest::newRow("direct full initial text")
        << 176 << "set_hi_data" << none << noInput << req("3101EC5AC396000186A0")
        << "Cmd Enter Direct HI_data = 100000" << true << askDirectFull
        << "Директивно изменен верхний уровень." << true;
    QTest::newRow("direct full 2000000000")
        << 176 << "set_hi_data"
        << "2000000000" << noInput << req("3101EC5AC39677359400")
        << "Cmd Enter Direct HI_data = 2000000000" << true << askDirectFull
        << "Директивно изменен верхний уровень." << true;
    QTest::newRow("direct empty half rounds to even")
        << 176 << "set_lo_data"
        << "2.5" << noInput << req("3101ED5AC39600000002") << "Cmd Enter Direct LO_data = 2.5"
        << true << askDirectEmpty << "Директивно изменен нижний уровень." << true;
    QTest::newRow("mode 176 with smoothing byte")
        << 176 << "Set_mode" << none << noInput << req("3101F25AC3964A85")
        << "Cmd Change mode to 74 sgla 5" << true << askMode << " Установлен новый режим." << true;
    QTest::newRow("mode 175 mode byte only")
        << 175 << "Set_mode" << none << noInput << req("3101F25AC3964A")
        << "Cmd Change mode to 74 sgla 5" << true << askMode << " Установлен новый режим." << true;
    QTest::newRow("mode 163 no code")
        << 163 << "Set_mode" << none << noInput << req("3101F24A") << "Cmd Change mode to 74 sgla 5"
        << true << askMode << " Установлен новый режим." << true;
    QTest::newRow("net 0") << 176 << "net" << none << QStringList{"0"} << req("3101FB5AC39600")
                           << "Cmd Set New net addr = 0" << true << none
                           << " Установлен сетевой номер." << true;
    QTest::newRow("net 255") << 176 << "net" << none << QStringList{"255"} << req("3101FB5AC396FF")
                             << "Cmd Set New net addr = 255" << true << none
                             << " Установлен сетевой номер." << true;
    QTest::newRow("net 2.5 rounds to even")
        << 176 << "net" << none << QStringList{"2.5"} << req("3101FB5AC39602")
        << "Cmd Set New net addr = 2" << true << none << " Установлен сетевой номер." << true;
    QTest::newRow("lamp 50,5 rounds to even")
        << 176 << "lamp"
        << "50,5" << noInput << req("3101EE5AC39632") << "Cmd Set Lamp Level: 50" << false
        << askLamp << "Уст. новый уровень ав. ост. топлива." << true;
    QTest::newRow("lamp 25") << 176 << "lamp"
                             << "25" << noInput << req("3101EE5AC39619") << "Cmd Set Lamp Level: 25"
                             << false << askLamp << "Уст. новый уровень ав. ост. топлива." << true;
    QTest::newRow("password 0") << 176 << "Vvod_PWD" << none << QStringList{"0"}
                                << req("3101F85AC39600000000") << "Cmd Enter Password = 0" << true
                                << none << "Пароль принят." << true;
    QTest::newRow("password 163") << 163 << "Vvod_PWD" << none << QStringList{"0"}
                                  << req("3101F800000000") << "Cmd Enter Password = 0" << true
                                  << none << "Пароль принят." << true;
    QTest::newRow("new password 2000000000")
        << 176 << "Chg_pass" << none << QStringList{"2000000000"} << req("3101F75AC39677359400")
        << "Cmd New Password = 2000000000" << true << askPwd << "Пароль изменен." << true;
}

void TestSettingsPage::acceptedOperation() {
    QFETCH(int, firmware);
    QFETCH(QString, op);
    QFETCH(QString, box);
    QFETCH(QStringList, inputs);
    QFETCH(QByteArray, frame);
    QFETCH(QString, logText);
    QFETCH(bool, shown);
    QFETCH(QString, question);
    QFETCH(QString, status);
    QFETCH(bool, shortBeep);

    WindowHarness h({1});
    h.line.sensors[0]->setFirmware(quint8(firmware));
    connectSensor(h);
    QCOMPARE(h.session.firmware(), firmware);
    if (!box.isNull())
        boxOf(h, op)->setText(box);
    if (op == "Set_mode")
        setAnalogueMode(h);
    if (op.startsWith("Form4"))
        h.c<QPushButton>("shift")->click();
    script(h, inputs, QString());
    h.dialog.clear();
    const QString logBefore = h.logText();
    const QString txtBefore = h.c<QPlainTextEdit>("txtRec")->toPlainText();

    press(h, op);
    QCOMPARE(h.session.pending(), frame);
    QCOMPARE(h.dialog.messages(), QStringList());
    QCOMPARE(callsOf(h.dialog, "question"),
             question.isEmpty() ? QStringList() : QStringList{question});
    QCOMPARE(h.logText(), logBefore + logLine(logText));
    if (shown)
        QCOMPARE(shownHex(h.c<QPlainTextEdit>("txtRec")), hexBytes(frame));
    else
        QCOMPARE(h.c<QPlainTextEdit>("txtRec")->toPlainText(), txtBefore);

    const int writes = h.port->writes().size();
    const int shortBefore = h.tones.shortCount();
    const int longBefore = h.tones.longCount();
    h.ticks(1);
    QCOMPARE(h.port->writes().size(), writes + 1);
    QCOMPARE(h.port->writes().last(), frame);
    QVERIFY(h.session.pending().isEmpty());
    h.ticks(1); // the sensor's answer
    QCOMPARE(h.c<QLabel>("MsgCom")->text(), status);
    QVERIFY(h.logText().endsWith(logLine(status)));
    QCOMPARE(h.tones.shortCount() - shortBefore, shortBeep ? 1 : 0);
    QCOMPARE(h.tones.longCount() - longBefore, 0);
    QCOMPARE(h.dialog.messages(), QStringList());
    // Nothing is pending: the data poll follows (to the address as it was).
    QCOMPARE(h.port->writes().last(), req("3101F0"));
}

void TestSettingsPage::refusalSendsNothing_data() {
    QTest::addColumn<QString>("state"); // "no data", "connected", "no sensor", "smoothing"
    QTest::addColumn<QString>("op");
    QTest::addColumn<QString>("box");
    QTest::addColumn<QStringList>("inputs");
    QTest::addColumn<QString>("yesNo");
    QTest::addColumn<QStringList>("messages");
    QTest::addColumn<QString>("logText");
    QTest::addColumn<bool>("clearsPending");

    const QString none;
    const QStringList noInput;
    const QStringList notConnected{"Датчик не подключен!"};
    const QStringList shiftRange{"Значения могут быть от -1000 до 1000"};
    const QStringList levelRange{"Введите значение уровня в диапазоне 0....2 000 000 000"};
    const QStringList netRange{"Введите число в диапазоне 0....255"};
    const QStringList lampRange{"Значения могут быть от 1 до 99"};
    const QStringList pwdRange{"Введите числовой пароль в диапазоне 0....2 000 000 000"};

    // The sensor gives no data yet: the connected check refuses.
    QTest::newRow("hig no data") << "no data"
                                 << "hig" << none << noInput << "" << notConnected
                                 << "Cmd SetHight: Датчик не подключен!" << false;
    QTest::newRow("low no data") << "no data"
                                 << "low" << none << noInput << "" << notConnected
                                 << "Cmd SetLow: Датчик не подключен!" << false;
    QTest::newRow("mode no data") << "no data"
                                  << "Set_mode" << none << noInput << "" << notConnected
                                  << "Cmd Change mode to: Датчик не подключен!" << false;
    QTest::newRow("net no data") << "no data"
                                 << "net" << none << QStringList{"3"} << "" << notConnected
                                 << "Cmd Set New net addr: Датчик не подключен!" << false;
    QTest::newRow("password no data")
        << "no data"
        << "Vvod_PWD" << none << QStringList{"1"} << "" << notConnected
        << "Cmd Enter Password: Датчик не подключен!" << true;
    QTest::newRow("new password no data")
        << "no data"
        << "Chg_pass" << none << QStringList{"1"} << "" << notConnected
        << "Cmd New Password: Датчик не подключен!" << true;

    // Smoothing on: no calibration to the current reading.
    QTest::newRow("hig smoothing")
        << "smoothing"
        << "hig" << none << noInput << "" << QStringList{SmoothingMessage} << none << false;
    QTest::newRow("low smoothing")
        << "smoothing"
        << "low" << none << noInput << "" << QStringList{SmoothingMessage} << none << false;

    // Shifts.
    QTest::newRow("shift 1001") << "connected"
                                << "Form4 full"
                                << "1001" << noInput << "" << shiftRange << none << false;
    QTest::newRow("shift -1001") << "connected"
                                 << "Form4 empty"
                                 << "-1001" << noInput << "" << shiftRange << none << false;
    QTest::newRow("shift abc") << "connected"
                               << "Form4 full"
                               << "abc" << noInput << "" << shiftRange << none << false;
    QTest::newRow("shift 40000 not 16-bit")
        << "connected"
        << "sdv_hi"
        << "40000" << noInput << "" << shiftRange << none << false;
    QTest::newRow("shift answered No") << "connected"
                                       << "Form4 empty"
                                       << "5" << noInput << "N" << QStringList() << none << false;

    // Direct entry.
    QTest::newRow("direct 2000000001")
        << "connected"
        << "set_hi_data"
        << "2000000001" << noInput << "" << levelRange << none << false;
    QTest::newRow("direct -1") << "connected"
                               << "set_lo_data"
                               << "-1" << noInput << "" << levelRange << none << false;
    QTest::newRow("direct abc") << "connected"
                                << "set_hi_data"
                                << "abc" << noInput << "" << levelRange << none << false;
    QTest::newRow("direct answered No") << "connected"
                                        << "set_lo_data"
                                        << "7" << noInput << "N" << QStringList() << none << false;

    // Mode.
    QTest::newRow("mode answered No")
        << "connected"
        << "Set_mode" << none << noInput << "N" << QStringList() << none << false;

    // Network address.
    QTest::newRow("net 256") << "connected"
                             << "net" << none << QStringList{"256"} << "" << netRange << none
                             << false;
    QTest::newRow("net -1") << "connected"
                            << "net" << none << QStringList{"-1"} << "" << netRange << none
                            << false;
    QTest::newRow("net abc") << "connected"
                             << "net" << none << QStringList{"abc"} << "" << netRange << none
                             << false;
    QTest::newRow("net cancelled")
        << "connected"
        << "net" << none << QStringList{Cancel} << "" << QStringList() << none << false;
    QTest::newRow("net empty") << "connected"
                               << "net" << none << QStringList{""} << "" << QStringList() << none
                               << false;

    // Lamp threshold.
    QTest::newRow("lamp 0") << "connected"
                            << "lamp"
                            << "0" << noInput << "" << lampRange << none << false;
    QTest::newRow("lamp 100") << "connected"
                              << "lamp"
                              << "100" << noInput << "" << lampRange << none << false;
    QTest::newRow("lamp abc") << "connected"
                              << "lamp"
                              << "abc" << noInput << "" << lampRange << none << false;
    QTest::newRow("lamp answered No") << "connected"
                                      << "lamp"
                                      << "50" << noInput << "N" << QStringList() << none << false;

    // Passwords: the pending request is dropped even when nothing follows.
    QTest::newRow("password 2000000001")
        << "connected"
        << "Vvod_PWD" << none << QStringList{"2000000001"} << "" << pwdRange << none << true;
    QTest::newRow("password -5") << "connected"
                                 << "Vvod_PWD" << none << QStringList{"-5"} << "" << pwdRange
                                 << none << true;
    QTest::newRow("password x") << "connected"
                                << "Vvod_PWD" << none << QStringList{"x"} << "" << pwdRange << none
                                << true;
    QTest::newRow("password cancelled")
        << "connected"
        << "Vvod_PWD" << none << QStringList{Cancel} << "" << QStringList() << none << true;
    QTest::newRow("new password answered No")
        << "connected"
        << "Chg_pass" << none << QStringList{"5"} << "N" << QStringList() << none << true;
    QTest::newRow("new password -1")
        << "connected"
        << "Chg_pass" << none << QStringList{"-1"} << "" << pwdRange << none << true;
    QTest::newRow("new password cancelled")
        << "connected"
        << "Chg_pass" << none << QStringList{Cancel} << "" << QStringList() << none << true;

    // No sensor selected.
    QTest::newRow("hig no sensor")
        << "no sensor"
        << "hig" << none << noInput << "" << QStringList() << none << false;
    QTest::newRow("shift no sensor") << "no sensor"
                                     << "Form4 full"
                                     << "10" << noInput << "" << QStringList() << none << false;
    QTest::newRow("direct no sensor")
        << "no sensor"
        << "set_hi_data"
        << "10" << noInput << "" << QStringList{"Установите вменяемый уровень"} << none << false;
    QTest::newRow("mode no sensor")
        << "no sensor"
        << "Set_mode" << none << noInput << "" << QStringList() << none << false;
    QTest::newRow("net no sensor")
        << "no sensor"
        << "net" << none << QStringList{"3"} << ""
        << QStringList{"Установите существующий сетевой адрес"} << none << false;
    QTest::newRow("lamp no sensor") << "no sensor"
                                    << "lamp"
                                    << "50" << noInput << "" << QStringList() << none << false;
    QTest::newRow("password no sensor")
        << "no sensor"
        << "Vvod_PWD" << none << QStringList{"1"} << ""
        << QStringList{"Установите допустимый пароль"} << none << true;
}

void TestSettingsPage::refusalSendsNothing() {
    QFETCH(QString, state);
    QFETCH(QString, op);
    QFETCH(QString, box);
    QFETCH(QStringList, inputs);
    QFETCH(QString, yesNo);
    QFETCH(QStringList, messages);
    QFETCH(QString, logText);
    QFETCH(bool, clearsPending);

    WindowHarness h({1});
    if (state == "smoothing")
        h.line.sensors[0]->setMode(0x08);
    if (state == "no data") {
        // Found and identified, the first data answer not yet in.
        h.open();
        h.findSensors();
        h.ticks(1);
        QCOMPARE(h.c<QLabel>("tek")->text(), QString("Нет данных"));
        QCOMPARE(h.session.firmware(), 176);
    } else {
        connectSensor(h);
        QVERIFY(h.c<QLabel>("tek")->text().toUInt() > 0);
    }
    if (state == "no sensor")
        h.c<QComboBox>("CmbNet")->setCurrentIndex(-1);
    if (!box.isNull())
        boxOf(h, op)->setText(box);
    if (op.startsWith("Form4"))
        h.c<QPushButton>("shift")->click();
    script(h, inputs, yesNo);
    h.dialog.clear();
    // Something waiting in the pending slot: a refusal must leave it alone.
    const QByteArray waiting = req("3101FC");
    h.session.setPending(waiting);
    const QString logBefore = h.logText();
    const QString txtBefore = h.c<QPlainTextEdit>("txtRec")->toPlainText();

    press(h, op);
    QCOMPARE(h.dialog.messages(), messages);
    QCOMPARE(h.session.pending(), clearsPending ? QByteArray() : waiting);
    QCOMPARE(h.logText(), logText.isEmpty() ? logBefore : logBefore + logLine(logText));
    QCOMPARE(h.c<QPlainTextEdit>("txtRec")->toPlainText(), txtBefore);

    const int writes = h.port->writes().size();
    h.ticks(1);
    const auto address = h.session.selectedAddress();
    if (!clearsPending) {
        QCOMPARE(h.port->writes().size(), writes + 1);
        QCOMPARE(h.port->writes().last(), waiting);
    } else if (address) {
        QCOMPARE(h.port->writes().size(), writes + 1);
        QCOMPARE(
            h.port->writes().last(),
            frame::withCrc(QByteArray::fromHex("31") + char(*address) + QByteArray::fromHex("F0")));
    } else {
        QCOMPARE(h.port->writes().size(), writes);
    }
    // No network poll was started by the refusal.
    QVERIFY(!takenAsNetworkList(h));
}

void TestSettingsPage::shiftDialogHides_data() {
    QTest::addColumn<QString>("op");
    QTest::addColumn<QString>("data");
    QTest::addColumn<QString>("yesNo");
    QTest::addColumn<QByteArray>("pending");
    QTest::addColumn<QStringList>("messages");
    QTest::addColumn<int>("questions");

    const QStringList range{"Значения могут быть от -1000 до 1000"};
    QTest::newRow("full accepted") << "Form4 full"
                                   << "250"
                                   << "Y" << req("3101F45AC39600FA") << QStringList() << 1;
    QTest::newRow("empty accepted") << "Form4 empty"
                                    << "-250"
                                    << "Y" << req("3101F95AC396FF06") << QStringList() << 1;
    QTest::newRow("full out of range") << "Form4 full"
                                       << "1001"
                                       << "" << QByteArray() << range << 0;
    QTest::newRow("empty out of range") << "Form4 empty"
                                        << "-5000"
                                        << "" << QByteArray() << range << 0;
    QTest::newRow("full not a number") << "Form4 full"
                                       << "x"
                                       << "" << QByteArray() << range << 0;
    QTest::newRow("empty answered No") << "Form4 empty"
                                       << "10"
                                       << "N" << QByteArray() << QStringList() << 1;
    QTest::newRow("exit with a valid shift") << "Form4 exit"
                                             << "10"
                                             << "" << QByteArray() << QStringList() << 0;
}

void TestSettingsPage::shiftDialogHides() {
    QFETCH(QString, op);
    QFETCH(QString, data);
    QFETCH(QString, yesNo);
    QFETCH(QByteArray, pending);
    QFETCH(QStringList, messages);
    QFETCH(int, questions);

    WindowHarness h({1});
    connectSensor(h);
    Form4* f = shiftDialog(h);
    QVERIFY(!f->isVisible());
    h.c<QPushButton>("shift")->click();
    QVERIFY(f->isVisible());
    QVERIFY(h.w->isVisible()); // the main window stays usable beside it
    QVERIFY(!f->isModal());
    shiftBox(h)->setText(data);
    script(h, {}, yesNo);
    h.dialog.clear();
    press(h, op);
    QVERIFY(!f->isVisible());
    QCOMPARE(h.session.pending(), pending);
    QCOMPARE(h.dialog.messages(), messages);
    QCOMPARE(callsOf(h.dialog, "question").size(), questions);
    QCOMPARE(shiftBox(h)->text(), data); // the typed shift stays for the next time
}

// The shift dialog may still be open when the port is closed. A shift
// confirmed then has no sensor to go to; it must not wait in the pending
// slot and reach whatever sensor answers at address 0 after the next open.
void TestSettingsPage::shiftDialogAfterPortClosed_data() {
    QTest::addColumn<QString>("op");
    QTest::newRow("full") << "Form4 full";
    QTest::newRow("empty") << "Form4 empty";
}

void TestSettingsPage::shiftDialogAfterPortClosed() {
    QFETCH(QString, op);
    WindowHarness h({0});
    auto s = h.line.sensors[0];
    h.open(); // address 0 is selected from the start and answers
    h.ticks(3);
    QCOMPARE(h.c<QLabel>("ne")->text(), QString("0"));
    h.c<QPushButton>("shift")->click();
    h.c<QPushButton>("BTNCloseCom")->click();
    Form4* f = shiftDialog(h);
    const QByteArray pending = h.session.pending();
    shiftBox(h)->setText("500");
    h.dialog.clear();
    press(h, op);
    QVERIFY(!f->isVisible());
    QCOMPARE(h.session.pending(), pending);
    QCOMPARE(h.dialog.calls.size(), 0);

    const quint32 empty = s->emptyRaw();
    const quint32 full = s->fullRaw();
    h.w->Timer1_Timer();
    h.c<QPushButton>("BTNOpenCom")->click();
    h.ticks(3);
    QCOMPARE(s->emptyRaw(), empty);
    QCOMPARE(s->fullRaw(), full);
    for (const QByteArray& w : h.port->writes())
        QVERIFY(quint8(w.at(2)) == 0xFC || quint8(w.at(2)) == 0xF0);
}

void TestSettingsPage::smoothingBlocksSetToCurrent() {
    WindowHarness h({1});
    auto s = h.line.sensors[0];
    s->setMode(0x0A); // analogue output with smoothing
    connectSensor(h);
    QVERIFY(h.c<QCheckBox>("usredn")->isChecked());
    QVERIFY(h.c<QRadioButton>("R_a")->isChecked());

    h.c<QPushButton>("hig")->click();
    QCOMPARE(h.dialog.messages(), QStringList{SmoothingMessage});
    QVERIFY(h.session.pending().isEmpty());

    // Smoothing off, the mode is sent and answered, a data answer follows.
    h.c<QCheckBox>("usredn")->setChecked(false);
    h.dialog.clear();
    h.c<QPushButton>("Set_mode")->click();
    QCOMPARE(h.session.pending(), req("3101F25AC3960200"));
    h.ticks(2);
    QCOMPARE(h.c<QLabel>("MsgCom")->text(), QString(" Установлен новый режим."));
    QCOMPARE(s->mode(), quint8(0x02));
    h.ticks(1);
    QCOMPARE(h.session.modeByte(), quint8(0x02));
    h.c<QPushButton>("hig")->click();
    QCOMPARE(h.dialog.messages(), QStringList());
    QCOMPARE(h.session.pending(), req("3101F55AC396"));
}

void TestSettingsPage::twoPressesInOneTickSendTheSecond_data() {
    QTest::addColumn<QString>("first");
    QTest::addColumn<QString>("second");
    QTest::addColumn<QByteArray>("sent");
    QTest::addColumn<QString>("status");
    QTest::newRow("low then hig") << "low"
                                  << "hig" << req("3101F55AC396") << " Установлен верхний уровень.";
    QTest::newRow("direct full then shift empty")
        << "set_hi_data"
        << "Form4 empty" << req("3101F95AC396FFFF") << "Сдвинут нижний уровень.";
}

void TestSettingsPage::twoPressesInOneTickSendTheSecond() {
    QFETCH(QString, first);
    QFETCH(QString, second);
    QFETCH(QByteArray, sent);
    QFETCH(QString, status);

    WindowHarness h({1});
    auto s = h.line.sensors[0];
    connectSensor(h);
    shiftBox(h)->setText("-1");
    if (second.startsWith("Form4"))
        h.c<QPushButton>("shift")->click();
    const quint32 empty = s->emptyRaw();
    const quint32 full = s->fullRaw();
    press(h, first);
    press(h, second);
    const int writes = h.port->writes().size();
    h.ticks(1);
    QCOMPARE(h.port->writes().mid(writes), QList<QByteArray>{sent});
    h.ticks(1);
    QCOMPARE(h.c<QLabel>("MsgCom")->text(), status);
    // Only the second reached the sensor.
    if (first == "low")
        QCOMPARE(s->emptyRaw(), empty);
    if (first == "set_hi_data")
        QCOMPARE(s->fullRaw(), full);
}

void TestSettingsPage::frequencyModeRefusesRequest() {
    WindowHarness h({1});
    auto s = h.line.sensors[0];
    connectSensor(h);
    s->setFrequencyMode(true);
    h.ticks(2); // the poll answered in frequency mode arrives
    QCOMPARE(h.c<QLabel>("MsgCom")->text(), QString("Датчик в частотном режиме."));
    QVERIFY(h.dialog.messages().isEmpty()); // data polls are not refused

    h.c<QPushButton>("hig")->click();
    QCOMPARE(h.session.pending(), req("3101F55AC396"));
    const int writes = h.port->writes().size();
    const quint32 full = s->fullRaw();
    h.ticks(1);
    QCOMPARE(h.dialog.messages(), QStringList{FrequencyRefusal});
    QCOMPARE(h.port->writes().size(), writes); // nothing went out
    QVERIFY(h.session.pending().isEmpty());
    h.ticks(1);
    QCOMPARE(h.port->writes().size(), writes + 1);
    QCOMPARE(h.port->writes().last(), req("3101F0"));
    QCOMPARE(s->fullRaw(), full);
    QCOMPARE(h.dialog.messages().size(), 1);
}

void TestSettingsPage::wrongPasswordShownInRed() {
    WindowHarness h({1});
    auto s = h.line.sensors[0];
    s->setPassword(4321);
    connectSensor(h);
    h.dialog.inputAnswers.enqueue(QString("1234"));
    h.c<QPushButton>("Vvod_PWD")->click();
    QCOMPARE(h.dialog.calls.last().kind, QString("input"));
    QCOMPARE(h.dialog.calls.last().text, QString("Введите пароль"));
    QCOMPARE(h.dialog.calls.last().title, QString("Ввод пароля"));
    QCOMPARE(h.session.pending(), req("3101F85AC396000004D2"));
    QVERIFY(h.logText().endsWith(logLine("Cmd Enter Password = 1234")));
    const int longBefore = h.tones.longCount();
    h.ticks(2);
    QCOMPARE(h.c<QLabel>("MsgCom")->text(), QString("Неверный пароль."));
    QCOMPARE(foreColor(h.c<QLabel>("MsgCom")), vbcolor::Red);
    QCOMPARE(h.tones.longCount() - longBefore, 1);
    QVERIFY(h.logText().endsWith(logLine("Неверный пароль.")));
    QVERIFY(!s->passwordEntered());
    // The next answer turns the status line green again.
    h.ticks(1);
    QCOMPARE(h.c<QLabel>("MsgCom")->text(), QString("Датчик подключен"));
    QCOMPARE(foreColor(h.c<QLabel>("MsgCom")), vbcolor::DarkGreen);
}

void TestSettingsPage::networkPollFromSettingsPage() {
    WindowHarness h({1, 5});
    connectSensor(h);
    // A settings box changed by hand stays as it is through a data answer...
    auto* usredn = h.c<QCheckBox>("usredn");
    const bool reported = usredn->isChecked();
    usredn->setChecked(!reported);
    h.ticks(1);
    QCOMPARE(usredn->isChecked(), !reported);
    h.session.setPending(req("3101FC"));
    const QString logBefore = h.logText();
    h.c<QPushButton>("Opros")->click();
    QCOMPARE(h.session.pending(),
             QByteArray::fromHex("31FF") + char(frame::crcOf(QByteArray::fromHex("31FF"))));
    QCOMPARE(shownHex(h.c<QPlainTextEdit>("txtRec")), hexBytes(h.session.pending()));
    QCOMPARE(h.logText(), logBefore + logLine("Cmd Ask Net "));
    // ...but after the poll request the next data answer refreshes the settings.
    h.ticks(1);
    QCOMPARE(usredn->isChecked(), reported);
    h.ticks(1); // the bare bytes of the poll are taken as the list
    QCOMPARE(h.c<QLabel>("MsgCom")->text(), QString("Произошел опрос сети."));
    QCOMPARE(h.c<QLabel>("netdev")->text(), QString("1 5 "));
    QVERIFY(!takenAsNetworkList(h)); // the poll is over
}

// A technician's session on a password-protected sensor, from the first
// reading to a changed password, each step checked on the sensor and in the
// window.
void TestSettingsPage::technicianSession() {
    WindowHarness h({1});
    auto s = h.line.sensors[0];
    s->setPassword(4321);
    s->setTankRaw(51000);
    connectSensor(h);
    QCOMPARE(h.c<QLabel>("tek")->text(), QString("51000"));
    QCOMPARE(h.c<QLabel>("lo")->text(), QString("50000"));
    QCOMPARE(h.c<QLabel>("hi")->text(), QString("95000"));

    // The locked sensor refuses a calibration.
    h.c<QPushButton>("low")->click();
    h.ticks(2);
    QCOMPARE(h.c<QLabel>("MsgCom")->text(), QString("Неверный пароль."));
    QCOMPARE(s->emptyRaw(), 50000u);

    // Password entered.
    h.dialog.inputAnswers.enqueue(QString("4321"));
    h.c<QPushButton>("Vvod_PWD")->click();
    h.ticks(2);
    QCOMPARE(h.c<QLabel>("MsgCom")->text(), QString("Пароль принят."));
    QVERIFY(s->passwordEntered());

    // Empty: the tank is empty now.
    h.c<QPushButton>("low")->click();
    h.ticks(2);
    QCOMPARE(h.c<QLabel>("MsgCom")->text(), QString(" Установлен нижний уровень."));
    QCOMPARE(s->emptyRaw(), 51000u);
    h.ticks(1);
    QCOMPARE(h.c<QLabel>("lo")->text(), QString("51000"));
    QCOMPARE(h.c<QLabel>("Uroven")->text(), QString("0"));

    // Full: filled up; the reading follows after the answer in flight.
    s->setTankRaw(96000);
    h.ticks(2);
    QCOMPARE(h.c<QLabel>("tek")->text(), QString("96000"));
    h.c<QPushButton>("hig")->click();
    h.ticks(2);
    QCOMPARE(h.c<QLabel>("MsgCom")->text(), QString(" Установлен верхний уровень."));
    QCOMPARE(s->fullRaw(), 96000u);
    h.ticks(1);
    QCOMPARE(h.c<QLabel>("hi")->text(), QString("96000"));
    QCOMPARE(h.c<QLabel>("Uroven")->text(), QString("1024"));

    // Half a tank reads half the range.
    s->setTankRaw(73500);
    h.ticks(2);
    QCOMPARE(h.c<QLabel>("Uroven")->text(), QString("512"));
    QCOMPARE(h.c<QProgressBar>("ProgressBar1")->value(), 512);
    QCOMPARE(h.c<QLabel>("freq")->text(), QString("812 Гц"));

    // Analogue output with smoothing 3 (set with the slider on this firmware).
    QVERIFY(!h.c<QSlider>("Slider1")->isHidden());
    h.c<QRadioButton>("R_a")->click();
    h.c<QSlider>("Slider1")->setValue(3);
    QCOMPARE(h.c<QLabel>("sgla")->text(), QString("3"));
    h.c<QPushButton>("Set_mode")->click();
    QCOMPARE(h.dialog.calls.last().text,
             QString("Сейчас будет изменен режим работы датчика. Вы уверены что это нужно?"));
    QCOMPARE(h.session.pending(), req("3101F25AC3960203"));
    h.ticks(2);
    QCOMPARE(h.c<QLabel>("MsgCom")->text(), QString(" Установлен новый режим."));
    QCOMPARE(s->mode(), quint8(0x02));
    QCOMPARE(s->smoothing(), quint8(0x03));
    QVERIFY(h.c<QRadioButton>("R_a")->isChecked());
    QCOMPARE(h.c<QLabel>("sgla")->text(), QString("3"));
    QCOMPARE(h.c<QSlider>("Slider1")->value(), 3);
    h.ticks(1);
    QCOMPARE(h.session.modeText(), QString("2"));
    QCOMPARE(h.c<QLabel>("anal")->text(), QString("2,48 В"));

    // New network address 9: the old one falls silent until the next poll.
    h.dialog.inputAnswers.enqueue(QString("9"));
    h.c<QPushButton>("net")->click();
    QCOMPARE(h.dialog.calls.last().text, QString("Введите новый сетевой номер"));
    QCOMPARE(h.dialog.calls.last().title, QString("Ввод сетевого номера"));
    QCOMPARE(h.dialog.calls.last().extra, QString("1"));
    h.ticks(2);
    QCOMPARE(h.c<QLabel>("MsgCom")->text(), QString(" Установлен сетевой номер."));
    QCOMPARE(s->address(), quint8(9));
    h.ticks(1);
    QCOMPARE(h.c<QLabel>("MsgCom")->text(), QString("Нет ответа от датчика с адресом 1"));
    h.c<QPushButton>("Opros")->click();
    h.ticks(2);
    QCOMPARE(h.c<QComboBox>("CmbNet")->count(), 1);
    QCOMPARE(h.c<QComboBox>("CmbNet")->currentText(), QString("9"));
    QCOMPARE(h.c<QLabel>("netdev")->text(), QString("9 "));
    h.ticks(2);
    QCOMPARE(h.c<QLabel>("MsgCom")->text(), QString(" Получен С/Н и вер. прошивки"));
    QCOMPARE(h.c<QLabel>("sn")->text(), QString("3000417"));
    h.ticks(1);
    QCOMPARE(h.c<QLabel>("ne")->text(), QString("9"));
    QCOMPARE(h.c<QLabel>("Uroven")->text(), QString("512"));

    // New password; after a power cycle only the new one opens the sensor.
    h.dialog.inputAnswers.enqueue(QString("5555"));
    h.c<QPushButton>("Chg_pass")->click();
    QCOMPARE(h.session.pending(), req("3109F75AC396000015B3"));
    h.ticks(2);
    QCOMPARE(h.c<QLabel>("MsgCom")->text(), QString("Пароль изменен."));
    QCOMPARE(s->password(), 5555u);
    s->powerCycle();
    h.dialog.inputAnswers.enqueue(QString("4321"));
    h.c<QPushButton>("Vvod_PWD")->click();
    h.ticks(2);
    QCOMPARE(h.c<QLabel>("MsgCom")->text(), QString("Неверный пароль."));
    h.dialog.inputAnswers.enqueue(QString("5555"));
    h.c<QPushButton>("Vvod_PWD")->click();
    h.ticks(2);
    QCOMPARE(h.c<QLabel>("MsgCom")->text(), QString("Пароль принят."));

    // The work log tells the session in order.
    const QString log = h.logText();
    qsizetype at = 0;
    const QStringList story{"Cmd SetLow ",
                            "Неверный пароль.",
                            "Cmd Enter Password = 4321",
                            "Пароль принят.",
                            "Cmd SetLow ",
                            " Установлен нижний уровень.",
                            "Cmd SetHight ",
                            " Установлен верхний уровень.",
                            "Cmd Change mode to 2 sgla 3",
                            " Установлен новый режим.",
                            "Cmd Set New net addr = 9",
                            " Установлен сетевой номер.",
                            "Cmd Ask Net ",
                            "Устройства в сети 9 ",
                            "Device: 3000417  Ver Soft: 1.7.6.",
                            "Cmd New Password = 5555",
                            "Пароль изменен.",
                            "Cmd Enter Password = 4321",
                            "Неверный пароль.",
                            "Cmd Enter Password = 5555",
                            "Пароль принят."};
    for (const QString& line : story) {
        const qsizetype found = log.indexOf(logLine(line), at);
        QVERIFY2(found >= 0, qPrintable(line));
        at = found + 1;
    }
    QVERIFY(h.dialog.messages().isEmpty());
}

QTEST_MAIN(TestSettingsPage)
#include "tst_settings_page.moc"
