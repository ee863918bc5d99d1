// Frame rule, write-access code thresholds, encodings and number conversion.

#include "link/frame.h"
#include "sensor/requests.h"

#include <QtTest>

using namespace sensor;

namespace {
QByteArray hex(const char* h) {
    return QByteArray::fromHex(h);
}
} // namespace

class TestSensorRequests : public QObject {
    Q_OBJECT
private slots:
    void firmwareThresholds_data();
    void firmwareThresholds();
    void accessCodeIsThreeFixedBytes();
    void buildRequest_data();
    void buildRequest();
    void builders_data();
    void builders();
    void encodeU32_data();
    void encodeU32();
    void encodeShift_data();
    void encodeShift();
    void toWholeNumber_data();
    void toWholeNumber();
};

void TestSensorRequests::firmwareThresholds_data() {
    QTest::addColumn<int>("firmware");
    QTest::addColumn<bool>("code");
    QTest::addColumn<bool>("smoothing");
    QTest::newRow("no identity yet") << 0 << false << false;
    QTest::newRow("172") << 172 << false << false;
    QTest::newRow("174") << 174 << false << false;
    QTest::newRow("175") << 175 << true << false;
    QTest::newRow("176") << 176 << true << true;
    QTest::newRow("300") << 300 << true << true;
}

void TestSensorRequests::firmwareThresholds() {
    QFETCH(int, firmware);
    QFETCH(bool, code);
    QFETCH(bool, smoothing);
    QCOMPARE(needsWriteAccessCode(firmware), code);
    QCOMPARE(sendsSmoothingByte(firmware), smoothing);
}

void TestSensorRequests::accessCodeIsThreeFixedBytes() {
    const QByteArray f = sensor::buildRequest(1, cmd::SetFullToCurrent, true);
    QCOMPARE(f.size(), 7);
    QCOMPARE(f.mid(3, 3), hex("5AC396"));
    QVERIFY(frame::answerIntact(f));
}

void TestSensorRequests::buildRequest_data() {
    QTest::addColumn<int>("address");
    QTest::addColumn<int>("command");
    QTest::addColumn<bool>("withCode");
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("data poll, address 1") << 1 << 0xF0 << false << QByteArray() << hex("3101F0C5");
    QTest::newRow("identity, address 1") << 1 << 0xFC << false << QByteArray() << hex("3101FC66");
    QTest::newRow("data poll, address 10")
        << 10 << 0xF0 << false << QByteArray() << hex("310AF0E6");
    QTest::newRow("set full, no code") << 1 << 0xF5 << false << QByteArray() << hex("3101F5FA");
    QTest::newRow("set full, code") << 1 << 0xF5 << true << QByteArray() << hex("3101F55AC396DB");
    QTest::newRow("set empty, code") << 1 << 0xFA << true << QByteArray() << hex("3101FA5AC39641");
    QTest::newRow("shift -1 with code")
        << 1 << 0xF4 << true << hex("FFFF") << hex("3101F45AC396FFFFF8");
    QTest::newRow("mode 0 for address 1") << 1 << 0xF2 << false << hex("00") << hex("3101F20064");
    QTest::newRow("shift -100 for address 5")
        << 5 << 0xF4 << false << hex("FF9C") << hex("3105F4FF9CE8");
}

void TestSensorRequests::buildRequest() {
    QFETCH(int, address);
    QFETCH(int, command);
    QFETCH(bool, withCode);
    QFETCH(QByteArray, data);
    QFETCH(QByteArray, expected);
    QCOMPARE(sensor::buildRequest(static_cast<quint8>(address), static_cast<quint8>(command),
                                  withCode, data)
                 .toHex(),
             expected.toHex());
}

// Each request's builder: the exact frame and its log line.
void TestSensorRequests::builders_data() {
    QTest::addColumn<QByteArray>("frame");
    QTest::addColumn<QString>("log");
    QTest::addColumn<QString>("expectedFrame");
    QTest::addColumn<QString>("expectedLog");
    const auto row = [](const char* name, const Request& r, const char* frame, const char* log) {
        QTest::newRow(name) << r.frame << r.logLine << frame << QString::fromUtf8(log);
    };
    row("empty to current, 1.7.4", setToCurrentRequest(1, 174, Level::Empty), "3101FABB",
        "Cmd SetLow ");
    row("full to current, 1.7.6", setToCurrentRequest(1, 176, Level::Full), "3101F55AC396DB",
        "Cmd SetHight ");
    row("shift empty -5", shiftRequest(3, 175, Level::Empty, -5), "3103F95AC396FFFBA9",
        "Cmd Shift Low: -5");
    row("shift full 1000, 1.7.4", shiftRequest(3, 174, Level::Full, 1000), "3103F403E8AC",
        "Cmd Shift Hight: 1000");
    row("direct empty as typed", directLevelRequest(1, 176, Level::Empty, 12345, " 12345 "),
        "3101ED5AC39600003039E4", "Cmd Enter Direct LO_data =  12345 ");
    row("direct full", directLevelRequest(1, 176, Level::Full, 2000000000),
        "3101EC5AC3967735940095", "Cmd Enter Direct HI_data = 2000000000");
    row("mode with smoothing, 1.7.6", modeRequest(1, 176, 74, {5, true}), "3101F25AC3964A8531",
        "Cmd Change mode to 74 sgla 5");
    row("mode without smoothing, 1.7.5", modeRequest(1, 175, 74, {5, true}), "3101F25AC3964A1E",
        "Cmd Change mode to 74 sgla 5");
    row("lamp", lampThresholdRequest(1, 176, 15), "3101EE5AC3960F3A", "Cmd Set Lamp Level: 15");
    row("address, 1.7.4", netAddressRequest(1, 174, 7), "3101FB0755", "Cmd Set New net addr = 7");
    row("password entered as typed", passwordRequest(1, 176, PasswordUse::Enter, 0, "0"),
        "3101F85AC39600000000E9", "Cmd Enter Password = 0");
    row("password changed", passwordRequest(1, 176, PasswordUse::Change, 1234),
        "3101F75AC396000004D2C3", "Cmd New Password = 1234");
    row("network poll", networkPollRequest(), "31FFDC", "Cmd Ask Net ");
}

void TestSensorRequests::builders() {
    QFETCH(QByteArray, frame);
    QFETCH(QString, log);
    QFETCH(QString, expectedFrame);
    QFETCH(QString, expectedLog);
    QCOMPARE(QString::fromLatin1(frame.toHex().toUpper()), expectedFrame);
    QCOMPARE(log, expectedLog);
}

void TestSensorRequests::encodeU32_data() {
    QTest::addColumn<qint64>("value");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("0") << qint64(0) << true << hex("00000000");
    QTest::newRow("1") << qint64(1) << true << hex("00000001");
    QTest::newRow("12345") << qint64(12345) << true << hex("00003039");
    QTest::newRow("2 000 000 000") << qint64(2000000000) << true << hex("77359400");
    QTest::newRow("-1") << qint64(-1) << false << QByteArray();
    QTest::newRow("2 000 000 001") << qint64(2000000001) << false << QByteArray();
    QTest::newRow("2^31") << qint64(2147483648LL) << false << QByteArray();
}

void TestSensorRequests::encodeU32() {
    QFETCH(qint64, value);
    QFETCH(bool, ok);
    QFETCH(QByteArray, expected);
    const auto r = sensor::encodeU32(value);
    QCOMPARE(r.has_value(), ok);
    if (ok)
        QCOMPARE(r->toHex(), expected.toHex());
}

void TestSensorRequests::encodeShift_data() {
    QTest::addColumn<int>("value");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("0") << 0 << true << hex("0000");
    QTest::newRow("-1") << -1 << true << hex("FFFF");
    QTest::newRow("100") << 100 << true << hex("0064");
    QTest::newRow("-100") << -100 << true << hex("FF9C");
    QTest::newRow("1000") << 1000 << true << hex("03E8");
    QTest::newRow("-1000") << -1000 << true << hex("FC18");
    QTest::newRow("1001") << 1001 << false << QByteArray();
    QTest::newRow("-1001") << -1001 << false << QByteArray();
}

void TestSensorRequests::encodeShift() {
    QFETCH(int, value);
    QFETCH(bool, ok);
    QFETCH(QByteArray, expected);
    const auto r = sensor::encodeShift(value);
    QCOMPARE(r.has_value(), ok);
    if (ok)
        QCOMPARE(r->toHex(), expected.toHex());
}

void TestSensorRequests::toWholeNumber_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("width");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<int>("expected");
    const int B = int(NumberWidth::Byte);
    const int S = int(NumberWidth::Int16);
    const int L = int(NumberWidth::Int32);
    QTest::newRow("plain") << "42" << S << true << 42;
    QTest::newRow("blanks around") << "  42\t" << S << true << 42;
    QTest::newRow("plus sign") << "+7" << S << true << 7;
    QTest::newRow("minus sign") << "-5" << S << true << -5;
    QTest::newRow("leading zeros") << "000012" << B << true << 12;
    QTest::newRow("2.5 to even") << "2.5" << S << true << 2;
    QTest::newRow("3.5 to even") << "3.5" << S << true << 4;
    QTest::newRow("-2.5 to even") << "-2.5" << S << true << -2;
    QTest::newRow("-3.5 to even") << "-3.5" << S << true << -4;
    QTest::newRow("2.51 up") << "2.51" << S << true << 3;
    QTest::newRow("2.500001 up") << "2.500001" << S << true << 3;
    QTest::newRow("2.49999 down") << "2.49999" << S << true << 2;
    QTest::newRow("comma separator") << "3,5" << S << true << 4;
    QTest::newRow("trailing separator") << "5." << S << true << 5;
    QTest::newRow("leading separator") << ",7" << S << true << 1;
    QTest::newRow("-0.4 is zero") << "-0.4" << B << true << 0;
    QTest::newRow("byte 0") << "0" << B << true << 0;
    QTest::newRow("byte 255") << "255" << B << true << 255;
    QTest::newRow("byte 255.5 rounds out") << "255.5" << B << false << 0;
    QTest::newRow("byte 254.5 stays") << "254.5" << B << true << 254;
    QTest::newRow("byte 256") << "256" << B << false << 0;
    QTest::newRow("byte -1") << "-1" << B << false << 0;
    QTest::newRow("int16 max") << "32767" << S << true << 32767;
    QTest::newRow("int16 min") << "-32768" << S << true << -32768;
    QTest::newRow("int16 over") << "32768" << S << false << 0;
    QTest::newRow("int16 under") << "-32769" << S << false << 0;
    QTest::newRow("int32 max") << "2147483647" << L << true << 2147483647;
    QTest::newRow("int32 over") << "2147483648" << L << false << 0;
    QTest::newRow("int32 min") << "-2147483648" << L << true << int(-2147483647 - 1);
    QTest::newRow("int32 2e9") << "2000000000" << L << true << 2000000000;
    QTest::newRow("very long") << "123456789012345678901234567890" << L << false << 0;
    QTest::newRow("zeros then digits") << "0000000000000000000001" << L << true << 1;
    QTest::newRow("empty") << "" << S << false << 0;
    QTest::newRow("blanks only") << "   " << S << false << 0;
    QTest::newRow("sign only") << "-" << S << false << 0;
    QTest::newRow("separator only") << "." << S << false << 0;
    QTest::newRow("letters") << "abc" << S << false << 0;
    QTest::newRow("trailing letter") << "12a" << S << false << 0;
    QTest::newRow("blank inside") << "1 000" << L << false << 0;
    QTest::newRow("blank after sign") << "- 5" << S << false << 0;
    QTest::newRow("two separators") << "1.2.3" << S << false << 0;
    QTest::newRow("two signs") << "--1" << S << false << 0;
    QTest::newRow("exponent") << "1e3" << S << false << 0;
    QTest::newRow("hex form") << "&H10" << S << false << 0;
    QTest::newRow("arabic-indic digits") << QString::fromUtf8("\u0661\u0662") << S << false << 0;
}

void TestSensorRequests::toWholeNumber() {
    QFETCH(QString, text);
    QFETCH(int, width);
    QFETCH(bool, ok);
    QFETCH(int, expected);
    const auto r = sensor::toWholeNumber(text, NumberWidth(width));
    QCOMPARE(r.has_value(), ok);
    if (ok)
        QCOMPARE(*r, expected);
}

QTEST_APPLESS_MAIN(TestSensorRequests)
#include "tst_sensor_requests.moc"
