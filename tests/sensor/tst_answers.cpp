// The sensor's answers decoded into typed values: the identity (serial number,
// firmware, version text), the data answer field by field with where it stops,
// the balance of a calibration and the frequency.

#include "sensor/answers.h"
#include "test_support.h"

#include <QtTest>

using namespace sensor;
using testsupport::answer;

namespace {
QByteArray le(quint32 v, int bytes) {
    QByteArray b;
    for (int i = 0; i < bytes; ++i)
        b.append(char((v >> (8 * i)) & 0xFF));
    return b;
}

QByteArray identityAnswer(quint32 serial, quint8 firmware, quint8 prefix) {
    return answer(1, 0xFC, le(serial, 4) + char(firmware) + char(prefix));
}

// The data of a data answer up to the coefficient: temperature, level, raw
// reading, empty and full levels, coefficient.
QByteArray dataFields(quint8 temp, quint16 level, quint32 raw, quint32 empty, quint32 full,
                      quint16 k) {
    return QByteArray(1, char(temp)) + le(level, 2) + le(raw, 4) + le(empty, 4) + le(full, 4) +
           le(k, 2);
}
} // namespace

Q_DECLARE_METATYPE(sensor::DataFault)
Q_DECLARE_METATYPE(sensor::FaultHint)
Q_DECLARE_METATYPE(sensor::Balance)

class TestAnswers : public QObject {
    Q_OBJECT
private slots:
    void identity_data();
    void identity();
    void temperature_data();
    void temperature();
    void dataStops_data();
    void dataStops();
    void trailingBytes_data();
    void trailingBytes();
    void calibrationHints_data();
    void calibrationHints();
    void balance_data();
    void balance();
    void frequency();
};

void TestAnswers::identity_data() {
    QTest::addColumn<QByteArray>("a");
    QTest::addColumn<qint64>("serial"); // -1: none
    QTest::addColumn<int>("firmware");  // -1: none
    QTest::addColumn<QString>("serialText");
    QTest::addColumn<QString>("versionText");
    QTest::newRow("prefix 2 before the version")
        << identityAnswer(7, 176, 2) << qint64(7) << 176 << "7"
        << "21.7.6.";
    QTest::newRow("two-digit firmware 99") << identityAnswer(7, 99, 0) << qint64(7) << 99 << "7"
                                           << "9.9..";
    QTest::newRow("three-digit prefix")
        << identityAnswer(3000417, 176, 255) << qint64(3000417) << 176 << "3000417"
        << "2551.7.6.";
    QTest::newRow("9 bytes: serial number only")
        << answer(1, 0xFC, le(123456, 4) + char(176)) << qint64(123456) << -1 << "123456"
        << "";
    QTest::newRow("11 bytes: serial number only")
        << answer(1, 0xFC, le(123456, 4) + QByteArray::fromHex("B00000")) << qint64(123456) << -1
        << "123456"
        << "";
    const QByteArray six = answer(1, 0xFC, QByteArray::fromHex("40E2"));
    // The CRC is read as the third byte of the serial number, the missing
    // fourth counts as 0.
    const quint32 sixSerial = 0xE240u | (quint32(quint8(six[5])) << 16);
    QTest::newRow("6 bytes: missing bytes count as 0")
        << six << qint64(sixSerial) << -1 << QString::number(sixSerial) << "";
    QTest::newRow("5 bytes: no serial number")
        << answer(1, 0xFC, QByteArray::fromHex("40")) << qint64(-1) << -1 << "????????"
        << "";
}

void TestAnswers::identity() {
    QFETCH(QByteArray, a);
    QFETCH(qint64, serial);
    QFETCH(int, firmware);
    QFETCH(QString, serialText);
    QFETCH(QString, versionText);
    const IdentityAnswer id = decodeIdentity(a);
    QCOMPARE(id.serial.has_value(), serial >= 0);
    if (serial >= 0)
        QCOMPARE(qint64(*id.serial), serial);
    QCOMPARE(id.firmware.has_value(), firmware >= 0);
    if (firmware >= 0)
        QCOMPARE(int(*id.firmware), firmware);
    QCOMPARE(id.serialText(), serialText);
    QCOMPARE(id.versionText(), versionText);
}

void TestAnswers::temperature_data() {
    QTest::addColumn<int>("byte");
    QTest::addColumn<QString>("text");
    QTest::newRow("FF is -1 °C") << 0xFF << "-1 °C";
    QTest::newRow("80 is -128 °C") << 0x80 << "-128 °C";
    QTest::newRow("7F is 127 °C") << 0x7F << "127 °C";
    QTest::newRow("00 is 0 °C") << 0x00 << "0 °C";
}

void TestAnswers::temperature() {
    QFETCH(int, byte);
    QFETCH(QString, text);
    const DataAnswer d = decodeData(answer(1, 0xF0,
                                           dataFields(quint8(byte), 100, 72000, 50000, 95000, 703) +
                                               QByteArray::fromHex("000A00")));
    QCOMPARE(d.fault, DataFault::None);
    QCOMPARE(int(d.temperatureByte), byte);
    QCOMPARE(d.temperatureText(), text);
}

// Fields are read in order; the first one missing stops the answer, with the
// level the user is told to change.
void TestAnswers::dataStops_data() {
    QTest::addColumn<QByteArray>("a");
    QTest::addColumn<DataFault>("fault");
    QTest::addColumn<FaultHint>("hint");
    QTest::addColumn<int>("fieldsRead"); // raw, empty, full, coefficient
    const QByteArray all = dataFields(21, 512, 72000, 50000, 95000, 703);
    QTest::newRow("no raw reading")
        << answer(1, 0xF0, all.left(5)) << DataFault::MissingRaw << FaultHint::ChangeEmpty << 0;
    QTest::newRow("no full level")
        << answer(1, 0xF0, all.left(13)) << DataFault::MissingFull << FaultHint::ChangeFull << 2;
    QTest::newRow("no coefficient")
        << answer(1, 0xF0, all.left(15)) << DataFault::MissingCoefficient << FaultHint::None << 3;
    QTest::newRow("coefficient 0") << answer(1, 0xF0, dataFields(21, 512, 72000, 50000, 95000, 0))
                                   << DataFault::ZeroCoefficient << FaultHint::None << 4;
}

void TestAnswers::dataStops() {
    QFETCH(QByteArray, a);
    QFETCH(DataFault, fault);
    QFETCH(FaultHint, hint);
    QFETCH(int, fieldsRead);
    const DataAnswer d = decodeData(a);
    QCOMPARE(d.fault, fault);
    QCOMPARE(hintOf(d.fault), hint);
    QCOMPARE(d.raw.has_value(), fieldsRead > 0);
    QCOMPARE(d.empty.has_value(), fieldsRead > 1);
    QCOMPARE(d.full.has_value(), fieldsRead > 2);
    QCOMPARE(d.coefficient.has_value(), fieldsRead > 3);
    if (fieldsRead > 0) {
        QCOMPARE(*d.raw, 72000u);
        QCOMPARE(d.level, 512);
        QCOMPARE(d.address, quint8(1));
        QCOMPARE(d.temperatureByte, quint8(21));
    }
    QVERIFY(!d.levelFactor);
    QVERIFY(!d.modeByte && !d.lampThreshold && !d.smoothingByte);
    QVERIFY(!d.balance && !d.emptyLengthCm);
}

// After the coefficient: the mode, lamp and smoothing bytes as far as the
// answer reaches (its last byte is the CRC).
void TestAnswers::trailingBytes_data() {
    QTest::addColumn<QByteArray>("tail");
    QTest::addColumn<int>("mode"); // -1: absent
    QTest::addColumn<int>("lamp");
    QTest::addColumn<int>("smoothing");
    QTest::newRow("none") << QByteArray() << -1 << -1 << -1;
    QTest::newRow("mode only") << QByteArray::fromHex("4A") << 0x4A << -1 << -1;
    QTest::newRow("mode and lamp") << QByteArray::fromHex("4A23") << 0x4A << 0x23 << -1;
    QTest::newRow("all three") << QByteArray::fromHex("4A2385") << 0x4A << 0x23 << 0x85;
}

void TestAnswers::trailingBytes() {
    QFETCH(QByteArray, tail);
    QFETCH(int, mode);
    QFETCH(int, lamp);
    QFETCH(int, smoothing);
    const DataAnswer d =
        decodeData(answer(1, 0xF0, dataFields(21, 512, 72000, 50000, 95000, 703) + tail));
    QCOMPARE(d.fault, DataFault::None);
    const auto value = [](const std::optional<quint8>& b) { return b ? int(*b) : -1; };
    QCOMPARE(value(d.modeByte), mode);
    QCOMPARE(value(d.lampThreshold), lamp);
    QCOMPARE(value(d.smoothingByte), smoothing);
    QCOMPARE(*d.coefficient, 703u);
    QVERIFY(d.balance.has_value());
}

// The level factor and the hints exist only for levels short enough to be a
// calibration; the length the empty level stands for rounds half to even.
void TestAnswers::calibrationHints_data() {
    QTest::addColumn<quint32>("empty");
    QTest::addColumn<quint32>("full");
    QTest::addColumn<double>("factor");   // < 0: none
    QTest::addColumn<qint64>("lengthCm"); // < 0: no hints
    QTest::newRow("84,5 cm rounds to 84")
        << 50700u << 95000u << 44300.0 / (703.0 * 64.0) << qint64(84);
    QTest::newRow("85,5 cm rounds to 86")
        << 51300u << 95000u << 43700.0 / (703.0 * 64.0) << qint64(86);
    QTest::newRow("6-digit empty: hints without a factor")
        << 123456u << 234567u << -1.0 << qint64(206);
    QTest::newRow("7-digit full: factor and hints")
        << 50000u << 1234567u << (1234567.0 - 50000.0) / (703.0 * 64.0) << qint64(83);
    QTest::newRow("8-digit full: hints without a factor")
        << 50000u << 12345678u << -1.0 << qint64(83);
    QTest::newRow("9-digit full: neither") << 50000u << 123456789u << -1.0 << qint64(-1);
}

void TestAnswers::calibrationHints() {
    QFETCH(quint32, empty);
    QFETCH(quint32, full);
    QFETCH(double, factor);
    QFETCH(qint64, lengthCm);
    const DataAnswer d = decodeData(answer(
        1, 0xF0, dataFields(21, 512, 72000, empty, full, 703) + QByteArray::fromHex("000A00")));
    QCOMPARE(d.fault, DataFault::None);
    QCOMPARE(d.levelFactor.has_value(), factor >= 0);
    if (factor >= 0)
        QCOMPARE(*d.levelFactor, factor);
    QCOMPARE(d.emptyLengthCm.has_value(), lengthCm >= 0);
    QCOMPARE(d.balance.has_value(), lengthCm >= 0);
    if (lengthCm >= 0) {
        QCOMPARE(*d.emptyLengthCm, lengthCm);
        QCOMPARE(*d.balance, balanceOf(double(full) / double(empty)));
    }
}

void TestAnswers::balance_data() {
    QTest::addColumn<double>("ratio");
    QTest::addColumn<Balance>("balance");
    QTest::newRow("1,6 is wrong") << 1.6 << Balance::Wrong;
    QTest::newRow("1,61 is doubtful") << 1.61 << Balance::Doubtful;
    QTest::newRow("1,8 is doubtful") << 1.8 << Balance::Doubtful;
    QTest::newRow("1,81 is good") << 1.81 << Balance::Good;
    QTest::newRow("1,97 is good") << 1.97 << Balance::Good;
    QTest::newRow("1,98 is doubtful") << 1.98 << Balance::Doubtful;
    QTest::newRow("2,07 is doubtful") << 2.07 << Balance::Doubtful;
    QTest::newRow("2,08 is wrong") << 2.08 << Balance::Wrong;
}

void TestAnswers::balance() {
    QFETCH(double, ratio);
    QFETCH(Balance, balance);
    QCOMPARE(balanceOf(ratio), balance);
}

void TestAnswers::frequency() {
    QCOMPARE(decodeFrequency(answer(1, 0xFE, QByteArray::fromHex("04D2"))).value_or(-1), 1234);
    // Four bytes (code and CRC): no byte 5.
    QVERIFY(!decodeFrequency(answer(1, 0xFE)));
    // Five bytes: the CRC is read as the low byte.
    const QByteArray one = answer(1, 0xFE, QByteArray::fromHex("01"));
    QCOMPARE(decodeFrequency(one).value_or(-1), 256 + quint8(one[4]));
}

QTEST_APPLESS_MAIN(TestAnswers)
#include "tst_answers.moc"
