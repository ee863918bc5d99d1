// The settings-page operations: checks in order, exact texts, exact frames,
// and refusals that leave the pending request alone.

#include "sensor/operations.h"
#include "support/scripted_dialog.h"

#include <QtTest>
#include <functional>

using namespace sensor;

namespace {

SensorContext connectedSensor(int firmware = 0, quint8 address = 1) {
    SensorContext c;
    c.address = address;
    c.modeByte = 0;
    c.firmware = firmware;
    return c;
}

QString frameHex(const Outcome& o) {
    return o.frame ? QString::fromLatin1(o.frame->toHex().toUpper()) : QStringLiteral("none");
}

QStringList kinds(const ScriptedDialog& d) {
    QStringList out;
    for (const auto& c : d.calls)
        out << c.kind;
    return out;
}

const QString NotConnected = QStringLiteral("Датчик не подключен!");

} // namespace

class TestSensorOperations : public QObject {
    Q_OBJECT
private slots:
    void requestLengths_data();
    void requestLengths();
    void setToCurrent_data();
    void setToCurrent();
    void setToCurrentRefusals_data();
    void setToCurrentRefusals();
    void shift_data();
    void shift();
    void shiftQuestionAndNo();
    void direct_data();
    void direct();
    void directNoSensorComesFirst();
    void setMode_data();
    void setMode();
    void setModeRefusals();
    void netAddress_data();
    void netAddress();
    void netRefusals();
    void lampLevel_data();
    void lampLevel();
    void refusedText_data();
    void refusedText();
    void password_data();
    void password();
    void passwordCancelAndNoSensor();
    void changePasswordAskedFirst();
    void networkPoll();
};

// Whole request lengths, CRC included, at the firmware thresholds.
void TestSensorOperations::requestLengths_data() {
    QTest::addColumn<QString>("op");
    QTest::addColumn<int>("firmware");
    QTest::addColumn<int>("length");
    const QList<std::pair<QString, QList<int>>> table = {
        // op: lengths at firmware 0, 174, 175, 176
        {"hig", {4, 4, 7, 7}},           {"low", {4, 4, 7, 7}},
        {"sdv_hi", {6, 6, 9, 9}},        {"sdv_low", {6, 6, 9, 9}},
        {"set_hi_data", {8, 8, 11, 11}}, {"set_lo_data", {8, 8, 11, 11}},
        {"Set_mode", {5, 5, 8, 9}},      {"net", {5, 5, 8, 8}},
        {"Command1", {5, 5, 8, 8}},      {"Vvod_PWD", {8, 8, 11, 11}},
        {"Chg_pass", {8, 8, 11, 11}},    {"Opros", {3, 3, 3, 3}},
    };
    const int firmwares[] = {0, 174, 175, 176};
    for (const auto& [op, lengths] : table) {
        for (int i = 0; i < 4; ++i) {
            QTest::addRow("%s fw %d", qPrintable(op), firmwares[i])
                << op << firmwares[i] << lengths[i];
        }
    }
}

void TestSensorOperations::requestLengths() {
    QFETCH(QString, op);
    QFETCH(int, firmware);
    QFETCH(int, length);
    ScriptedDialog dlg;
    dlg.inputAnswers.enqueue(QStringLiteral("12"));
    const SensorContext ctx = connectedSensor(firmware);
    const QMap<QString, std::function<Outcome()>> ops = {
        {"hig", [&] { return sensor::setFullToCurrent(ctx, dlg); }},
        {"low", [&] { return sensor::setEmptyToCurrent(ctx, dlg); }},
        {"sdv_hi", [&] { return sensor::shiftFull(ctx, "5", dlg); }},
        {"sdv_low", [&] { return sensor::shiftEmpty(ctx, "5", dlg); }},
        {"set_hi_data", [&] { return sensor::enterFullLevel(ctx, "100000", dlg); }},
        {"set_lo_data", [&] { return sensor::enterEmptyLevel(ctx, "50000", dlg); }},
        {"Set_mode", [&] { return sensor::setMode(ctx, Mode{}, Smoothing{}, dlg); }},
        {"net", [&] { return sensor::setNetAddress(ctx, dlg); }},
        {"Command1", [&] { return sensor::setLampThreshold(ctx, "10", dlg); }},
        {"Vvod_PWD", [&] { return sensor::enterPassword(ctx, dlg); }},
        {"Chg_pass", [&] { return sensor::changePassword(ctx, dlg); }},
        {"Opros", [&] { return sensor::networkPoll(); }},
    };
    const Outcome o = ops.value(op)();
    QVERIFY(o.frame.has_value());
    QCOMPARE(o.frame->size(), length);
    QVERIFY(dlg.messages().isEmpty());
}

void TestSensorOperations::setToCurrent_data() {
    QTest::addColumn<bool>("full");
    QTest::addColumn<int>("firmware");
    QTest::addColumn<QString>("frame");
    QTest::addColumn<QString>("log");
    QTest::newRow("full, old firmware") << true << 174 << "3101F5FA"
                                        << "Cmd SetHight ";
    QTest::newRow("full, new firmware") << true << 175 << "3101F55AC396DB"
                                        << "Cmd SetHight ";
    QTest::newRow("empty, new firmware") << false << 176 << "3101FA5AC39641"
                                         << "Cmd SetLow ";
}

void TestSensorOperations::setToCurrent() {
    QFETCH(bool, full);
    QFETCH(int, firmware);
    QFETCH(QString, frame);
    QFETCH(QString, log);
    ScriptedDialog dlg;
    const SensorContext ctx = connectedSensor(firmware);
    const Outcome o =
        full ? sensor::setFullToCurrent(ctx, dlg) : sensor::setEmptyToCurrent(ctx, dlg);
    QCOMPARE(frameHex(o), frame);
    QCOMPARE(o.logLines, QStringList{log});
    QVERIFY(o.showFrame);
    QVERIFY(!o.clearPending);
    QVERIFY(dlg.calls.isEmpty()); // no confirmation question
}

void TestSensorOperations::setToCurrentRefusals_data() {
    QTest::addColumn<bool>("full");
    QTest::addColumn<bool>("selected");
    QTest::addColumn<bool>("noData");
    QTest::addColumn<int>("mode");
    QTest::addColumn<QStringList>("messages");
    QTest::addColumn<QStringList>("log");
    const QString smoothing =
        QStringLiteral(" На время калибровки снимите СГЛАЖИВАНИЕ и нажмите УСТАНОВИТЬ");
    QTest::newRow("no sensor, silent even without data")
        << true << false << true << 8 << QStringList() << QStringList();
    QTest::newRow("full, no data") << true << true << true << 8 << QStringList{NotConnected}
                                   << QStringList{"Cmd SetHight: Датчик не подключен!"};
    QTest::newRow("empty, no data") << false << true << true << 0 << QStringList{NotConnected}
                                    << QStringList{"Cmd SetLow: Датчик не подключен!"};
    QTest::newRow("full, smoothing on")
        << true << true << false << 0x08 << QStringList{smoothing} << QStringList();
    QTest::newRow("empty, smoothing with other bits")
        << false << true << false << 0xFF << QStringList{smoothing} << QStringList();
}

void TestSensorOperations::setToCurrentRefusals() {
    QFETCH(bool, full);
    QFETCH(bool, selected);
    QFETCH(bool, noData);
    QFETCH(int, mode);
    QFETCH(QStringList, messages);
    QFETCH(QStringList, log);
    ScriptedDialog dlg;
    SensorContext ctx = connectedSensor(176);
    if (!selected)
        ctx.address.reset();
    ctx.noData = noData;
    ctx.modeByte = static_cast<quint8>(mode);
    const Outcome o =
        full ? sensor::setFullToCurrent(ctx, dlg) : sensor::setEmptyToCurrent(ctx, dlg);
    QVERIFY(!o.frame);
    QCOMPARE(dlg.messages(), messages);
    QCOMPARE(dlg.calls.size(), messages.size());
    QCOMPARE(o.logLines, log);
}

void TestSensorOperations::shift_data() {
    QTest::addColumn<bool>("full");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("frame");
    QTest::addColumn<QStringList>("messages");
    QTest::addColumn<QStringList>("log");
    const QStringList range{"Значения могут быть от -1000 до 1000"};
    QTest::newRow("-5") << true << "-5"
                        << "3101F4FFFB00" << QStringList() << QStringList{"Cmd Shift Hight: -5"};
    QTest::newRow("1000") << true << "1000"
                          << "3101F403E8AB" << QStringList()
                          << QStringList{"Cmd Shift Hight: 1000"};
    QTest::newRow("-1000") << true << "-1000"
                           << "3101F4FC185E" << QStringList()
                           << QStringList{"Cmd Shift Hight: -1000"};
    QTest::newRow("-1") << true << "-1"
                        << "3101F4FFFF61" << QStringList() << QStringList{"Cmd Shift Hight: -1"};
    QTest::newRow("empty side 100")
        << false << " 100 "
        << "3101F90064C1" << QStringList() << QStringList{"Cmd Shift Low: 100"};
    QTest::newRow("1001") << true << "1001"
                          << "none" << range << QStringList();
    QTest::newRow("-1001") << false << "-1001"
                           << "none" << range << QStringList();
    QTest::newRow("abc") << true << "abc"
                         << "none" << range << QStringList();
    QTest::newRow("empty") << true << ""
                           << "none" << range << QStringList();
    QTest::newRow("beyond 16 bits") << true << "40000"
                                    << "none" << range << QStringList();
}

void TestSensorOperations::shift() {
    QFETCH(bool, full);
    QFETCH(QString, text);
    QFETCH(QString, frame);
    QFETCH(QStringList, messages);
    QFETCH(QStringList, log);
    ScriptedDialog dlg;
    const SensorContext ctx = connectedSensor(0);
    const Outcome o = full ? sensor::shiftFull(ctx, text, dlg) : sensor::shiftEmpty(ctx, text, dlg);
    QCOMPARE(frameHex(o), frame);
    QCOMPARE(dlg.messages(), messages);
    QCOMPARE(o.logLines, log);
    QVERIFY(!o.showFrame);
}

void TestSensorOperations::shiftQuestionAndNo() {
    ScriptedDialog dlg;
    dlg.yesNoAnswers << false << false;
    const SensorContext ctx = connectedSensor(0);
    QVERIFY(!sensor::shiftFull(ctx, "5", dlg).frame);
    QVERIFY(!sensor::shiftEmpty(ctx, "5", dlg).frame);
    QCOMPARE(kinds(dlg), (QStringList{"question", "question"}));
    QCOMPARE(dlg.calls[0].text,
             QStringLiteral("Сейчас будет сдвинут верхний уровень. Вы уверены что это нужно?"));
    QCOMPARE(dlg.calls[1].text,
             QStringLiteral("Сейчас будет сдвинут уровень пустого. Вы уверены что это нужно?"));

    // No sensor: the range is checked first, then nothing, without a question.
    ScriptedDialog dlg2;
    SensorContext none = ctx;
    none.address.reset();
    QVERIFY(!sensor::shiftFull(none, "5", dlg2).frame);
    QVERIFY(dlg2.calls.isEmpty());
    QVERIFY(!sensor::shiftFull(none, "2000", dlg2).frame);
    QCOMPARE(dlg2.messages(), QStringList{"Значения могут быть от -1000 до 1000"});
}

void TestSensorOperations::direct_data() {
    QTest::addColumn<bool>("full");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("firmware");
    QTest::addColumn<QString>("frame");
    QTest::addColumn<QString>("log");
    QTest::newRow("full 0") << true << "0" << 0 << "3101EC00000000E5"
                            << "Cmd Enter Direct HI_data = 0";
    QTest::newRow("full 2e9") << true << "2000000000" << 0 << "3101EC77359400D8"
                              << "Cmd Enter Direct HI_data = 2000000000";
    QTest::newRow("full 2e9 with code") << true << "2000000000" << 176 << "3101EC5AC3967735940095"
                                        << "Cmd Enter Direct HI_data = 2000000000";
    QTest::newRow("empty 12345, log keeps the text")
        << false << " 12345 " << 0 << "3101ED0000303927"
        << "Cmd Enter Direct LO_data =  12345 ";
    QTest::newRow("full -1") << true << "-1" << 0 << "none"
                             << "";
    QTest::newRow("full 2000000001") << true << "2000000001" << 0 << "none"
                                     << "";
    QTest::newRow("empty abc") << false << "abc" << 0 << "none"
                               << "";
    QTest::newRow("empty beyond 32 bits") << false << "5000000000" << 0 << "none"
                                          << "";
}

void TestSensorOperations::direct() {
    QFETCH(bool, full);
    QFETCH(QString, text);
    QFETCH(int, firmware);
    QFETCH(QString, frame);
    QFETCH(QString, log);
    ScriptedDialog dlg;
    const SensorContext ctx = connectedSensor(firmware);
    const Outcome o =
        full ? sensor::enterFullLevel(ctx, text, dlg) : sensor::enterEmptyLevel(ctx, text, dlg);
    QCOMPARE(frameHex(o), frame);
    if (frame == "none") {
        QCOMPARE(dlg.messages(),
                 QStringList{"Введите значение уровня в диапазоне 0....2 000 000 000"});
        QCOMPARE(dlg.calls.size(), 1);
        QVERIFY(o.logLines.isEmpty());
        return;
    }
    QCOMPARE(kinds(dlg), QStringList{"question"});
    QCOMPARE(dlg.calls[0].text,
             full ? QStringLiteral("Сейчас будет произведена перекалибровка верхнего уровня. Вы "
                                   "уверены что это нужно?")
                  : QStringLiteral("Сейчас будет произведена перекалибровка нижнего уровня. Вы "
                                   "уверены что это нужно?"));
    QCOMPARE(o.logLines, QStringList{log});
    QVERIFY(o.showFrame);
}

void TestSensorOperations::directNoSensorComesFirst() {
    ScriptedDialog dlg;
    SensorContext ctx = connectedSensor(0);
    ctx.address.reset();
    QVERIFY(!sensor::enterFullLevel(ctx, "abc", dlg).frame);
    QVERIFY(!sensor::enterEmptyLevel(ctx, "100", dlg).frame);
    QCOMPARE(dlg.messages(),
             (QStringList{"Установите вменяемый уровень", "Установите вменяемый уровень"}));

    ScriptedDialog no;
    no.yesNoAnswers << false;
    QVERIFY(!sensor::enterFullLevel(connectedSensor(0), "100", no).frame);
    QCOMPARE(kinds(no), QStringList{"question"});
}

void TestSensorOperations::setMode_data() {
    QTest::addColumn<int>("firmware");
    QTest::addColumn<int>("sgla");
    QTest::addColumn<bool>("termo");
    QTest::addColumn<QString>("frame");
    QTest::addColumn<QString>("log");
    QTest::newRow("174: mode byte only") << 174 << 5 << true << "3101F24A5C"
                                         << "Cmd Change mode to 74 sgla 5";
    QTest::newRow("175: code, mode byte only") << 175 << 5 << true << "3101F25AC3964A1E"
                                               << "Cmd Change mode to 74 sgla 5";
    QTest::newRow("176: code, mode, 0x85") << 176 << 5 << true << "3101F25AC3964A8531"
                                           << "Cmd Change mode to 74 sgla 5";
    QTest::newRow("176: smoothing 0, compensation on") << 176 << 0 << false << "3101F25AC3964A0082"
                                                       << "Cmd Change mode to 74 sgla 0";
}

void TestSensorOperations::setMode() {
    QFETCH(int, firmware);
    QFETCH(int, sgla);
    QFETCH(bool, termo);
    QFETCH(QString, frame);
    QFETCH(QString, log);
    ScriptedDialog dlg;
    Mode m;
    m.output = Output::Analog;
    m.averaging = true;
    m.litres = true;
    const Outcome o = sensor::setMode(connectedSensor(firmware), m, Smoothing{sgla, termo}, dlg);
    QCOMPARE(frameHex(o), frame);
    QCOMPARE(o.logLines, QStringList{log});
    QCOMPARE(kinds(dlg), QStringList{"question"});
    QCOMPARE(
        dlg.calls[0].text,
        QStringLiteral("Сейчас будет изменен режим работы датчика. Вы уверены что это нужно?"));
    QVERIFY(o.showFrame);
    QVERIFY(o.refreshSettings);
}

void TestSensorOperations::setModeRefusals() {
    // The connected check runs before the selection check.
    ScriptedDialog dlg;
    SensorContext ctx = connectedSensor(176);
    ctx.address.reset();
    ctx.noData = true;
    Outcome o = sensor::setMode(ctx, Mode{}, Smoothing{}, dlg);
    QVERIFY(!o.frame);
    QVERIFY(!o.refreshSettings);
    QCOMPARE(dlg.messages(), QStringList{NotConnected});
    QCOMPARE(o.logLines, QStringList{"Cmd Change mode to: Датчик не подключен!"});

    ScriptedDialog quiet;
    ctx.noData = false;
    o = sensor::setMode(ctx, Mode{}, Smoothing{}, quiet);
    QVERIFY(!o.frame);
    QVERIFY(quiet.calls.isEmpty());

    ScriptedDialog no;
    no.yesNoAnswers << false;
    o = sensor::setMode(connectedSensor(176), Mode{}, Smoothing{}, no);
    QVERIFY(!o.frame);
    QVERIFY(o.logLines.isEmpty());
    QVERIFY(!o.refreshSettings);
}

void TestSensorOperations::netAddress_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<int>("firmware");
    QTest::addColumn<QString>("frame");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("log");
    const QString range = QStringLiteral("Введите число в диапазоне 0....255");
    QTest::newRow("7") << "7" << 0 << "3101FB0755"
                       << ""
                       << "Cmd Set New net addr = 7";
    QTest::newRow("7 with code") << "7" << 176 << "3101FB5AC3960756"
                                 << ""
                                 << "Cmd Set New net addr = 7";
    QTest::newRow("6.5 rounds to even") << "6.5" << 0 << "3101FB060B"
                                        << ""
                                        << "Cmd Set New net addr = 6";
    QTest::newRow("0") << "0" << 0 << "3101FB00D6"
                       << ""
                       << "Cmd Set New net addr = 0";
    QTest::newRow("255") << "255" << 0 << "3101FBFFE3"
                         << ""
                         << "Cmd Set New net addr = 255";
    QTest::newRow("256") << "256" << 0 << "none" << range << "";
    QTest::newRow("-1") << "-1" << 0 << "none" << range << "";
    QTest::newRow("text") << "abc" << 0 << "none" << range << "";
    QTest::newRow("empty: silent") << "" << 0 << "none"
                                   << ""
                                   << "";
}

void TestSensorOperations::netAddress() {
    QFETCH(QString, typed);
    QFETCH(int, firmware);
    QFETCH(QString, frame);
    QFETCH(QString, message);
    QFETCH(QString, log);
    ScriptedDialog dlg;
    dlg.inputAnswers.enqueue(typed);
    const Outcome o = sensor::setNetAddress(connectedSensor(firmware, 1), dlg);
    QCOMPARE(dlg.calls[0].kind, QStringLiteral("input"));
    QCOMPARE(dlg.calls[0].text, QStringLiteral("Введите новый сетевой номер"));
    QCOMPARE(dlg.calls[0].title, QStringLiteral("Ввод сетевого номера"));
    QCOMPARE(dlg.calls[0].extra, QStringLiteral("1"));
    QCOMPARE(frameHex(o), frame);
    QCOMPARE(dlg.messages(), message.isEmpty() ? QStringList() : QStringList{message});
    QCOMPARE(o.logLines, log.isEmpty() ? QStringList() : QStringList{log});
    QCOMPARE(o.showFrame, o.frame.has_value());
    QVERIFY(!o.refreshSettings);
}

void TestSensorOperations::netRefusals() {
    // Disconnected: refused before the input box.
    ScriptedDialog dlg;
    SensorContext ctx = connectedSensor(0, 9);
    ctx.noData = true;
    Outcome o = sensor::setNetAddress(ctx, dlg);
    QVERIFY(!o.frame);
    QCOMPARE(kinds(dlg), QStringList{"message"});
    QCOMPARE(o.logLines, QStringList{"Cmd Set New net addr: Датчик не подключен!"});

    // Cancelled input box: nothing.
    ScriptedDialog cancel;
    o = sensor::setNetAddress(connectedSensor(0, 9), cancel);
    QVERIFY(!o.frame);
    QCOMPARE(kinds(cancel), QStringList{"input"});
    QCOMPARE(cancel.calls[0].extra, QStringLiteral("9"));

    // No sensor selected: asked first (empty preset), then refused.
    ScriptedDialog none;
    none.inputAnswers.enqueue(QStringLiteral("5"));
    ctx = connectedSensor(0);
    ctx.address.reset();
    o = sensor::setNetAddress(ctx, none);
    QVERIFY(!o.frame);
    QCOMPARE(kinds(none), (QStringList{"input", "message"}));
    QCOMPARE(none.calls[0].extra, QString());
    QCOMPARE(none.calls[1].text, QStringLiteral("Установите существующий сетевой адрес"));
}

void TestSensorOperations::lampLevel_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("selected");
    QTest::addColumn<QString>("frame");
    QTest::addColumn<QStringList>("calls");
    QTest::addColumn<QString>("log");
    QTest::newRow("10") << "10" << true << "3101EE0ABB" << QStringList{"question"}
                        << "Cmd Set Lamp Level: 10";
    QTest::newRow("1") << "1" << true << "3101EE019B" << QStringList{"question"}
                       << "Cmd Set Lamp Level: 1";
    QTest::newRow("99") << "99" << true << "3101EE6342" << QStringList{"question"}
                        << "Cmd Set Lamp Level: 99";
    QTest::newRow("0") << "0" << true << "none" << QStringList{"message"} << "";
    QTest::newRow("100") << "100" << true << "none" << QStringList{"message"} << "";
    QTest::newRow("abc") << "abc" << true << "none" << QStringList{"message"} << "";
    QTest::newRow("no sensor silent") << "10" << false << "none" << QStringList() << "";
    QTest::newRow("no sensor, range first")
        << "100" << false << "none" << QStringList{"message"} << "";
}

void TestSensorOperations::lampLevel() {
    QFETCH(QString, text);
    QFETCH(bool, selected);
    QFETCH(QString, frame);
    QFETCH(QStringList, calls);
    QFETCH(QString, log);
    ScriptedDialog dlg;
    SensorContext ctx = connectedSensor(0);
    if (!selected)
        ctx.address.reset();
    const Outcome o = sensor::setLampThreshold(ctx, text, dlg);
    QCOMPARE(frameHex(o), frame);
    QCOMPARE(kinds(dlg), calls);
    if (calls == QStringList{"message"})
        QCOMPARE(dlg.calls[0].text, QStringLiteral("Значения могут быть от 1 до 99"));
    if (calls == QStringList{"question"})
        QCOMPARE(dlg.calls[0].text, QStringLiteral("Сейчас будет новый уровень аварийного "
                                                   "остатка топлива. Вы уверены что это нужно?"));
    QCOMPARE(o.logLines, log.isEmpty() ? QStringList() : QStringList{log});
    QCOMPARE(o.refreshSettings, o.frame.has_value());
    QVERIFY(!o.showFrame);
}

// Text in lamp_level or the shift dialog's box that is no 16-bit number, or
// none at all, gets the operation's range message, before any question and
// whether or not a sensor is selected; nothing is sent or logged.
void TestSensorOperations::refusedText_data() {
    QTest::addColumn<QString>("op"); // "lamp", "shift full", "shift empty"
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("selected");
    QTest::addColumn<QString>("message");
    const QString lampRange = QStringLiteral("Значения могут быть от 1 до 99");
    const QString shiftRange = QStringLiteral("Значения могут быть от -1000 до 1000");
    const char* bad[] = {"1e9", "０１２", "2147483648", "", "0x10", "   ", "1 0"};
    for (const char* text : bad) {
        QTest::addRow("lamp '%s'", text) << "lamp" << text << true << lampRange;
        QTest::addRow("shift full '%s'", text) << "shift full" << text << true << shiftRange;
        QTest::addRow("shift empty '%s'", text) << "shift empty" << text << true << shiftRange;
    }
    QTest::newRow("lamp, no sensor") << "lamp"
                                     << "x" << false << lampRange;
    QTest::newRow("shift, no sensor") << "shift full"
                                      << "x" << false << shiftRange;
}

void TestSensorOperations::refusedText() {
    QFETCH(QString, op);
    QFETCH(QString, text);
    QFETCH(bool, selected);
    QFETCH(QString, message);
    ScriptedDialog dlg;
    SensorContext ctx = connectedSensor(176);
    if (!selected)
        ctx.address.reset();
    const Outcome o = op == "lamp"         ? sensor::setLampThreshold(ctx, text, dlg)
                      : op == "shift full" ? sensor::shiftFull(ctx, text, dlg)
                                           : sensor::shiftEmpty(ctx, text, dlg);
    QCOMPARE(kinds(dlg), QStringList{"message"});
    QCOMPARE(dlg.messages(), QStringList{message});
    QCOMPARE(frameHex(o), QStringLiteral("none"));
    QVERIFY(!o.clearPending);
    QVERIFY(o.logLines.isEmpty());
    QVERIFY(!o.refreshSettings);
}

void TestSensorOperations::password_data() {
    QTest::addColumn<bool>("change");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<int>("firmware");
    QTest::addColumn<QString>("frame");
    QTest::addColumn<QString>("log");
    QTest::newRow("enter 0") << false << "0" << 0 << "3101F80000000086"
                             << "Cmd Enter Password = 0";
    QTest::newRow("change 2e9 with code") << true << "2000000000" << 176 << "3101F75AC396773594002E"
                                          << "Cmd New Password = 2000000000";
    QTest::newRow("enter 2000000001") << false << "2000000001" << 0 << "none"
                                      << "";
    QTest::newRow("enter -1") << false << "-1" << 0 << "none"
                              << "";
    QTest::newRow("enter x") << false << "x" << 0 << "none"
                             << "";
    QTest::newRow("change -5") << true << "-5" << 176 << "none"
                               << "";
    QTest::newRow("change beyond 32 bits") << true << "99999999999" << 176 << "none"
                                           << "";
}

void TestSensorOperations::password() {
    QFETCH(bool, change);
    QFETCH(QString, typed);
    QFETCH(int, firmware);
    QFETCH(QString, frame);
    QFETCH(QString, log);
    ScriptedDialog dlg;
    dlg.inputAnswers.enqueue(typed);
    const SensorContext ctx = connectedSensor(firmware);
    const Outcome o = change ? sensor::changePassword(ctx, dlg) : sensor::enterPassword(ctx, dlg);
    QVERIFY(o.clearPending);
    QCOMPARE(frameHex(o), frame);
    const auto& input = dlg.calls[change ? 1 : 0];
    QCOMPARE(input.kind, QStringLiteral("input"));
    QCOMPARE(input.text,
             change ? QStringLiteral("Введите новый пароль") : QStringLiteral("Введите пароль"));
    QCOMPARE(input.title,
             change ? QStringLiteral("Ввод нового пароля") : QStringLiteral("Ввод пароля"));
    if (frame == "none") {
        QCOMPARE(dlg.messages(),
                 QStringList{"Введите числовой пароль в диапазоне 0....2 000 000 000"});
        QVERIFY(o.logLines.isEmpty());
    } else {
        QVERIFY(dlg.messages().isEmpty());
        QCOMPARE(o.logLines, QStringList{log});
        QVERIFY(o.showFrame);
    }
}

void TestSensorOperations::passwordCancelAndNoSensor() {
    ScriptedDialog cancel; // empty queue: the input box is cancelled
    Outcome o = sensor::enterPassword(connectedSensor(0), cancel);
    QVERIFY(o.clearPending); // the pending request is dropped all the same
    QVERIFY(!o.frame);
    QCOMPARE(kinds(cancel), QStringList{"input"});

    ScriptedDialog empty;
    empty.inputAnswers.enqueue(QString());
    o = sensor::changePassword(connectedSensor(0), empty);
    QVERIFY(o.clearPending);
    QVERIFY(!o.frame);
    QCOMPARE(kinds(empty), (QStringList{"question", "input"}));

    ScriptedDialog none;
    none.inputAnswers.enqueue(QStringLiteral("123"));
    SensorContext ctx = connectedSensor(0);
    ctx.address.reset();
    o = sensor::enterPassword(ctx, none);
    QVERIFY(!o.frame);
    QCOMPARE(none.messages(), QStringList{"Установите допустимый пароль"});

    ScriptedDialog off;
    ctx = connectedSensor(0);
    ctx.noData = true;
    o = sensor::enterPassword(ctx, off);
    QVERIFY(o.clearPending);
    QCOMPARE(kinds(off), QStringList{"message"});
    QCOMPARE(o.logLines, QStringList{"Cmd Enter Password: Датчик не подключен!"});
    o = sensor::changePassword(ctx, off);
    QCOMPARE(o.logLines, QStringList{"Cmd New Password: Датчик не подключен!"});
}

void TestSensorOperations::changePasswordAskedFirst() {
    ScriptedDialog dlg;
    dlg.yesNoAnswers << false;
    dlg.inputAnswers.enqueue(QStringLiteral("5"));
    const Outcome o = sensor::changePassword(connectedSensor(0), dlg);
    QVERIFY(!o.frame);
    QVERIFY(o.clearPending);
    QCOMPARE(kinds(dlg), QStringList{"question"});
    QCOMPARE(dlg.calls[0].text,
             QStringLiteral("Сейчас будет изменен пароль датчика. Если Вы забудете новый пароль, "
                            "снять его сможет только производитель. МЕНЯЕМ ?"));
}

void TestSensorOperations::networkPoll() {
    const Outcome o = sensor::networkPoll();
    QCOMPARE(frameHex(o), QStringLiteral("31FFDC"));
    QVERIFY(o.clearPending);
    QVERIFY(o.showFrame);
    QVERIFY(o.startsNetworkPoll);
    QVERIFY(o.refreshSettings);
    QCOMPARE(o.logLines, QStringList{"Cmd Ask Net "});
}

QTEST_APPLESS_MAIN(TestSensorOperations)
#include "tst_sensor_operations.moc"
