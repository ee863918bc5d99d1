// The simulated sensor and the line it sits on: answers byte for byte.

#include "link/frame.h"
#include "sim/demo_line.h"
#include "sim/sim_bus.h"
#include "sim/sim_sensor.h"
#include "sim/stm8_bootloader.h"
#include "sim/virtual_port.h"

#include <QTest>

namespace {

QByteArray hx(const char* hex) {
    return QByteArray::fromHex(hex);
}

QByteArray code() {
    return QByteArray(reinterpret_cast<const char*>(sim::WriteAccessCode.data()), 3);
}

// A sensor whose reading stands still at 72500 between empty 50000 and full
// 95000, so its level is 512 of 1024.
SimSensorConfig steadyConfig(quint8 firmware = 176) {
    SimSensorConfig c;
    c.address = 1;
    c.serial = 123456;
    c.firmware = firmware;
    c.tankRaw = 72500;
    return c;
}

std::shared_ptr<SimSensor> steadySensor(quint8 firmware = 176) {
    auto s = std::make_shared<SimSensor>(steadyConfig(firmware));
    s->holdLevel(true);
    return s;
}

// Everything the sensor puts on the line for one request (the CRC is added).
QByteArray ask(SimSensor& sensor, const QByteArray& withoutCrc) {
    QByteArray out;
    for (const SimReply& r : sensor.onHostBytes(frame::withCrc(withoutCrc)))
        out.append(r.bytes);
    return out;
}

// A write request as the configurator builds it for the given firmware.
QByteArray writeRequest(quint8 firmware, quint8 address, quint8 command, const QByteArray& data) {
    QByteArray r;
    r.append(char(0x31));
    r.append(char(address));
    r.append(char(command));
    if (firmware > 174)
        r.append(code());
    r.append(data);
    return r;
}

// A stand-in for the bootloader: acknowledges every byte string with 0x79
// and hands the line back on the Go command 0x21 0xDE.
class AckingLoader : public SimDevice {
public:
    QList<QByteArray> heard;
    std::function<void()> onGo;
    QList<SimReply> onHostBytes(const QByteArray& bytes) override {
        heard.append(bytes);
        if (bytes == hx("21DE") && onGo)
            onGo();
        return {{QByteArray(1, char(0x79)), 100}};
    }
};

} // namespace

class TestSimSensor : public QObject {
    Q_OBJECT

private slots:
    void identityAnswer_data();
    void identityAnswer();
    void dataAnswer_data();
    void dataAnswer();
    void commandAnswers_data();
    void commandAnswers();
    void setToCurrentTakesTheReading();
    void shiftsAndDirectValues();
    void setModeByFirmware_data();
    void setModeByFirmware();
    void writeAccessCode_data();
    void writeAccessCode();
    void passwordLocksWrites();
    void passwordChangeAndPowerCycle();
    void addressChangeAnswersFromOldAddress();
    void tableReadsInitialValues();
    void tableWriteReadRoundTrip();
    void frequencyMode();
    void silence_data();
    void silence();
    void faults();
    void bootloaderTakesTheLine();
    void sensorWithStm8Loader();
    void levelWandersRepeatably();
    void levelSlopesAndTurnsBack();
    void pollAnswersInAddressOrder();
    void mergeOnLine();
    void demoLine();
};

void TestSimSensor::identityAnswer_data() {
    QTest::addColumn<bool>("shortIdentity");
    QTest::addColumn<quint8>("prefix");
    QTest::addColumn<QByteArray>("answer");
    QTest::newRow("10 bytes") << false << quint8(0) << hx("3E01FC40E20100B000DA");
    QTest::newRow("with prefix") << false << quint8(2) << hx("3E01FC40E20100B00266");
    QTest::newRow("old sensor, 8 bytes") << true << quint8(0) << hx("3E01FC40E2010077");
}

void TestSimSensor::identityAnswer() {
    QFETCH(bool, shortIdentity);
    QFETCH(quint8, prefix);
    QFETCH(QByteArray, answer);
    SimSensorConfig c = steadyConfig();
    c.shortIdentity = shortIdentity;
    c.firmwarePrefix = prefix;
    SimSensor s(c);
    QCOMPARE(ask(s, hx("3101FC")).toHex(), answer.toHex());
}

void TestSimSensor::dataAnswer_data() {
    QTest::addColumn<int>("firmware");
    QTest::addColumn<int>("temperature");
    QTest::addColumn<int>("mode");
    QTest::addColumn<int>("raw");
    QTest::addColumn<bool>("litresDoubled");
    QTest::addColumn<QByteArray>("answer");
    const char* base = "3E01F0150002341B010050C3000018730100BF02000A005C";
    QTest::newRow("fw 176: 24 bytes") << 176 << 21 << 0 << 72500 << false << hx(base);
    QTest::newRow("fw 170: 24 bytes") << 170 << 21 << 0 << 72500 << false << hx(base);
    QTest::newRow("fw 169: 21 bytes")
        << 169 << 21 << 0 << 72500 << false << hx("3E01F0150002341B010050C3000018730100BF020C");
    QTest::newRow("temperature -5") << 176 << -5 << 0 << 72500 << false
                                    << hx("3E01F0FB0002341B010050C3000018730100BF02000A0072");
    QTest::newRow("range 4096") << 176 << 21 << 0x80 << 72500 << false
                                << hx("3E01F0150008341B010050C3000018730100BF02800A00C1");
    QTest::newRow("fw 172, range 256") << 172 << 21 << 0x80 << 72500 << false
                                       << hx("3E01F0158000341B010050C3000018730100BF02800A00CB");
    QTest::newRow("percent") << 176 << 21 << 0x20 << 72500 << false
                             << hx("3E01F0153200341B010050C3000018730100BF02200A00C8");
    QTest::newRow("litres through the table")
        << 176 << 21 << 0x40 << 72500 << true
        << hx("3E01F0150004341B010050C3000018730100BF02400A0038");
    QTest::newRow("below empty: 0") << 176 << 21 << 0 << 40000 << false
                                    << hx("3E01F0150000409C000050C3000018730100BF02000A0017");
    QTest::newRow("above full: whole range")
        << 176 << 21 << 0 << 100000 << false
        << hx("3E01F0150004A086010050C3000018730100BF02000A00F3");
}

void TestSimSensor::dataAnswer() {
    QFETCH(int, firmware);
    QFETCH(int, temperature);
    QFETCH(int, mode);
    QFETCH(int, raw);
    QFETCH(bool, litresDoubled);
    QFETCH(QByteArray, answer);
    auto s = steadySensor(quint8(firmware));
    s->setTemperature(qint8(temperature));
    s->setMode(quint8(mode));
    s->setTankRaw(quint32(raw));
    if (litresDoubled) {
        SimSensor::Table t = SimSensor::initialTable();
        for (auto& l : t.litres)
            l = quint16(l * 2);
        s->setTable(t);
    }
    QCOMPARE(ask(*s, hx("3101F0")).toHex(), answer.toHex());
}

void TestSimSensor::commandAnswers_data() {
    QTest::addColumn<int>("firmware");
    QTest::addColumn<int>("command");
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<QByteArray>("answer");
    struct Row {
        const char* name;
        int command;
        const char* data;
        const char* answer;
    };
    const Row rows[] = {
        {"set full", 0xF5, "", "3E01F5A5"},
        {"set empty", 0xFA, "", "3E01FAE4"},
        {"shift full", 0xF4, "FFFF", "3E01F4FB"},
        {"shift empty", 0xF9, "03E8", "3E01F906"},
        {"full direct", 0xEC, "77359400", "3E01ECA4"},
        {"empty direct", 0xED, "0000C350", "3E01EDFA"},
        {"address", 0xFB, "01", "3E01FBBA"},
        {"lamp", 0xEE, "19", "3E01EE195E"},
        {"password", 0xF8, "00000000", "3E01F858"},
        {"new password", 0xF7, "00000000", "3E01F719"},
    };
    for (int fw : {174, 176}) {
        for (const Row& r : rows) {
            QTest::addRow("%s, fw %d", r.name, fw) << fw << r.command << hx(r.data) << hx(r.answer);
        }
    }
}

void TestSimSensor::commandAnswers() {
    QFETCH(int, firmware);
    QFETCH(int, command);
    QFETCH(QByteArray, data);
    QFETCH(QByteArray, answer);
    auto s = steadySensor(quint8(firmware));
    QCOMPARE(ask(*s, writeRequest(quint8(firmware), 1, quint8(command), data)).toHex(),
             answer.toHex());
}

void TestSimSensor::setToCurrentTakesTheReading() {
    auto s = steadySensor();
    s->setTankRaw(88123);
    ask(*s, hx("3101F0"));
    ask(*s, writeRequest(176, 1, 0xF5, {}));
    QCOMPARE(s->fullRaw(), 88123u);
    s->setTankRaw(51234);
    ask(*s, hx("3101F0"));
    ask(*s, writeRequest(176, 1, 0xFA, {}));
    QCOMPARE(s->emptyRaw(), 51234u);
    QCOMPARE(s->fullRaw(), 88123u);
}

void TestSimSensor::shiftsAndDirectValues() {
    auto s = steadySensor();
    ask(*s, writeRequest(176, 1, 0xF4, hx("FC18"))); // -1000
    QCOMPARE(s->fullRaw(), 94000u);
    ask(*s, writeRequest(176, 1, 0xF9, hx("03E8"))); // +1000
    QCOMPARE(s->emptyRaw(), 51000u);
    ask(*s, writeRequest(176, 1, 0xEC, hx("77359400")));
    QCOMPARE(s->fullRaw(), 2000000000u);
    ask(*s, writeRequest(176, 1, 0xED, hx("000001F4"))); // 500
    QCOMPARE(s->emptyRaw(), 500u);
    // A shift below zero stops at zero instead of wrapping round.
    ask(*s, writeRequest(176, 1, 0xF9, hx("FC18")));
    QCOMPARE(s->emptyRaw(), 0u);
}

void TestSimSensor::setModeByFirmware_data() {
    QTest::addColumn<int>("firmware");
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<QByteArray>("answer");
    QTest::addColumn<int>("smoothing");
    QTest::newRow("176: mode and smoothing") << 176 << hx("4A85") << hx("3E01F24A85A4") << 0x85;
    QTest::newRow("176: mode alone is refused") << 176 << hx("4A") << QByteArray() << 0;
    QTest::newRow("175: mode, answer reports smoothing")
        << 175 << hx("4A") << hx("3E01F24A0017") << 0;
    QTest::newRow("175: smoothing byte is refused") << 175 << hx("4A85") << QByteArray() << 0;
    QTest::newRow("174: mode only") << 174 << hx("4A") << hx("3E01F24AC6") << 0;
}

void TestSimSensor::setModeByFirmware() {
    QFETCH(int, firmware);
    QFETCH(QByteArray, data);
    QFETCH(QByteArray, answer);
    QFETCH(int, smoothing);
    auto s = steadySensor(quint8(firmware));
    QCOMPARE(ask(*s, writeRequest(quint8(firmware), 1, 0xF2, data)).toHex(), answer.toHex());
    QCOMPARE(int(s->mode()), answer.isEmpty() ? 0 : 0x4A);
    QCOMPARE(int(s->smoothing()), smoothing);
}

void TestSimSensor::writeAccessCode_data() {
    QTest::addColumn<int>("firmware");
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<bool>("answered");
    const QByteArray c = code();
    QTest::newRow("175 without code") << 175 << hx("3101F5") << false;
    QTest::newRow("175 with code") << 175 << (hx("3101F5") + c) << true;
    QTest::newRow("175 wrong code") << 175 << hx("3101F55AC397") << false;
    QTest::newRow("175 code cut short") << 175 << hx("3101F55AC3") << false;
    QTest::newRow("174 without code") << 174 << hx("3101F5") << true;
    QTest::newRow("174 with code") << 174 << (hx("3101F5") + c) << false;
    QTest::newRow("0 without code") << 0 << hx("3101F5") << true;
    QTest::newRow("176 table write with code")
        << 176 << (hx("3101F1") + c + QByteArray(80, '\0')) << true;
    QTest::newRow("176 table write without code")
        << 176 << (hx("3101F1") + QByteArray(80, '\0')) << false;
    QTest::newRow("176 data poll needs none") << 176 << hx("3101F0") << true;
    QTest::newRow("176 data poll with code") << 176 << (hx("3101F0") + c) << false;
    QTest::newRow("176 table read needs none") << 176 << hx("3101EF") << true;
}

void TestSimSensor::writeAccessCode() {
    QFETCH(int, firmware);
    QFETCH(QByteArray, request);
    QFETCH(bool, answered);
    auto s = steadySensor(quint8(firmware));
    const QByteArray answer = ask(*s, request);
    QCOMPARE(!answer.isEmpty(), answered);
    if (answered) {
        QVERIFY(frame::answerIntact(answer));
        QCOMPARE(answer.at(2), request.at(2));
    }
}

void TestSimSensor::passwordLocksWrites() {
    auto s = steadySensor();
    s->setPassword(1234);
    // Every write command but the password entry is refused, and changes nothing.
    const QList<QPair<int, QByteArray>> writes{{0xF5, {}},
                                               {0xFA, {}},
                                               {0xF4, hx("0001")},
                                               {0xF9, hx("0001")},
                                               {0xEC, hx("00000001")},
                                               {0xED, hx("00000001")},
                                               {0xF2, hx("0800")},
                                               {0xFB, hx("09")},
                                               {0xEE, hx("20")},
                                               {0xF7, hx("00000000")},
                                               {0xF1, QByteArray(80, '\0')}};
    for (const auto& [command, data] : writes) {
        QCOMPARE(ask(*s, writeRequest(176, 1, quint8(command), data)).toHex(),
                 hx("3E01FD67").toHex());
    }
    QCOMPARE(s->fullRaw(), 95000u);
    QCOMPARE(s->emptyRaw(), 50000u);
    QCOMPARE(s->address(), quint8(1));
    QCOMPARE(s->password(), 1234u);
    QCOMPARE(s->table(), SimSensor::initialTable());
    // Reads go on as before.
    QCOMPARE(ask(*s, hx("3101F0")).size(), 24);
    QCOMPARE(ask(*s, hx("3101FC")).size(), 10);

    // A wrong password is answered 0xFD, the right one 0xF8; then writes pass.
    QCOMPARE(ask(*s, writeRequest(176, 1, 0xF8, hx("000004D3"))).toHex(), hx("3E01FD67").toHex());
    QVERIFY(!s->passwordEntered());
    QCOMPARE(ask(*s, writeRequest(176, 1, 0xF8, hx("000004D2"))).toHex(), hx("3E01F858").toHex());
    QVERIFY(s->passwordEntered());
    QCOMPARE(ask(*s, writeRequest(176, 1, 0xF5, {})).toHex(), hx("3E01F5A5").toHex());
}

void TestSimSensor::passwordChangeAndPowerCycle() {
    auto s = steadySensor();
    s->setPassword(1234);
    ask(*s, writeRequest(176, 1, 0xF8, hx("000004D2")));
    QCOMPARE(ask(*s, writeRequest(176, 1, 0xF7, hx("77359400"))).toHex(), hx("3E01F719").toHex());
    QCOMPARE(s->password(), 2000000000u);
    // The entry lasts until the power goes off.
    QCOMPARE(ask(*s, writeRequest(176, 1, 0xF5, {})).toHex(), hx("3E01F5A5").toHex());
    s->powerCycle();
    QCOMPARE(ask(*s, writeRequest(176, 1, 0xF5, {})).toHex(), hx("3E01FD67").toHex());
    QCOMPARE(ask(*s, writeRequest(176, 1, 0xF8, hx("000004D2"))).toHex(), hx("3E01FD67").toHex());
    QCOMPARE(ask(*s, writeRequest(176, 1, 0xF8, hx("77359400"))).toHex(), hx("3E01F858").toHex());
    // Setting password 0 removes it: writes pass even after a power cycle.
    ask(*s, writeRequest(176, 1, 0xF7, hx("00000000")));
    s->powerCycle();
    QCOMPARE(ask(*s, writeRequest(176, 1, 0xF5, {})).toHex(), hx("3E01F5A5").toHex());
}

void TestSimSensor::addressChangeAnswersFromOldAddress() {
    auto s = steadySensor();
    QCOMPARE(ask(*s, writeRequest(176, 1, 0xFB, hx("07"))).toHex(), hx("3E01FBBA").toHex());
    QCOMPARE(s->address(), quint8(7));
    QVERIFY(ask(*s, hx("3101F0")).isEmpty());
    QCOMPARE(ask(*s, hx("3107F0")).toHex(),
             hx("3E07F0150002341B010050C3000018730100BF02000A0005").toHex());
    QCOMPARE(ask(*s, hx("31FF")).toHex(), hx("07").toHex());
}

void TestSimSensor::tableReadsInitialValues() {
    auto s = steadySensor(174);
    const QByteArray expected =
        hx("3E01EF00C801900258032003E804B005780640070807D0089809600A280AF00BB80C800D480E100ED81000"
           "00C801900258032003E804B005780640070807D0089809600A280AF00BB80C800D480E100ED8100026");
    QCOMPARE(expected.size(), 84);
    QCOMPARE(ask(*s, hx("3101EF")).toHex(), expected.toHex());
}

void TestSimSensor::tableWriteReadRoundTrip() {
    for (int fw : {174, 176}) {
        auto s = steadySensor(quint8(fw));
        SimSensor::Table t;
        QByteArray body;
        for (int i = 0; i < 20; ++i)
            t.readings[i] = quint16(i == 19 ? 32767 : i * 300);
        for (int i = 0; i < 20; ++i)
            t.litres[i] = quint16(i == 0 ? 0 : 1000 + i * 7);
        for (const auto* column : {&t.readings, &t.litres}) {
            for (quint16 v : *column) {
                body.append(char(v >> 8));
                body.append(char(v & 0xFF));
            }
        }
        const QByteArray request = frame::withCrc(writeRequest(quint8(fw), 1, 0xF1, body));
        QCOMPARE(request.size(), fw > 174 ? 87 : 84);
        QByteArray answer;
        for (const SimReply& r : s->onHostBytes(request))
            answer.append(r.bytes);
        QCOMPARE(answer.toHex(), hx("3E01F1C4").toHex());
        QCOMPARE(s->table(), t);
        const QByteArray read = ask(*s, hx("3101EF"));
        QCOMPARE(read.size(), 84);
        QCOMPARE(read.mid(3, 80).toHex(), body.toHex());
        QVERIFY(frame::answerIntact(read));
        QCOMPARE(read.mid(3, 4).toHex(), QByteArray("0000012c")); // 0, then 300 as 0x01 0x2C
    }
}

void TestSimSensor::frequencyMode() {
    auto s = steadySensor();
    s->setFrequencyMode(true);
    // Level 512 gives 812 Hz = 0x032C.
    QCOMPARE(ask(*s, hx("3101F0")).toHex(), hx("3E01FE032C05").toHex());
    QCOMPARE(ask(*s, writeRequest(176, 1, 0xF5, {})).toHex(), hx("3E01FE032C05").toHex());
    QCOMPARE(s->fullRaw(), 95000u);
    // The network poll is still answered with the bare address.
    QCOMPARE(ask(*s, hx("31FF")).toHex(), QByteArray("01"));
    // A damaged request still gets silence.
    QVERIFY(s->onHostBytes(hx("3101F0C6")).isEmpty());
    s->powerCycle();
    QVERIFY(!s->frequencyMode());
    QCOMPARE(ask(*s, hx("3101F0")).size(), 24);
}

void TestSimSensor::silence_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("wrong CRC") << hx("3101F0C4");
    QTest::newRow("other address") << frame::withCrc(hx("3102F0"));
    QTest::newRow("unknown command") << frame::withCrc(hx("3101AA"));
    QTest::newRow("answer prefix") << frame::withCrc(hx("3E01F0"));
    QTest::newRow("too short") << hx("3101");
    QTest::newRow("poll with a command byte") << frame::withCrc(hx("31FFF0"));
    QTest::newRow("data poll with data") << frame::withCrc(hx("3101F000"));
    QTest::newRow("noise before the request") << (hx("00") + frame::withCrc(hx("3101F0")));
    QTest::newRow("empty") << QByteArray();
}

void TestSimSensor::silence() {
    QFETCH(QByteArray, bytes);
    auto s = steadySensor();
    QVERIFY(s->onHostBytes(bytes).isEmpty());
}

void TestSimSensor::faults() {
    auto s = steadySensor();
    const QByteArray good = hx("3E01F0150002341B010050C3000018730100BF02000A005C");

    s->setMuted(true);
    QVERIFY(ask(*s, hx("3101F0")).isEmpty());
    QVERIFY(ask(*s, hx("31FF")).isEmpty());
    QVERIFY(ask(*s, writeRequest(176, 1, 0xFB, hx("09"))).isEmpty());
    QCOMPARE(s->address(), quint8(1));
    s->setMuted(false);

    s->corruptNextAnswers(1);
    const QByteArray bad = ask(*s, hx("3101F0"));
    QCOMPARE(bad.left(23).toHex(), good.left(23).toHex());
    QVERIFY(bad.at(23) != good.at(23));
    QCOMPARE(ask(*s, hx("3101F0")).toHex(), good.toHex());

    s->prefixNextAnswers(hx("00FF"), 2);
    QCOMPARE(ask(*s, hx("3101F0")).toHex(), (hx("00FF") + good).toHex());
    QCOMPARE(ask(*s, hx("31FF")).toHex(), QByteArray("00ff01"));
    QCOMPARE(ask(*s, hx("3101F0")).toHex(), good.toHex());

    s->replaceCodeOfNextAnswers(0x77);
    QCOMPARE(ask(*s, hx("3101F0")).toHex(),
             hx("3E0177150002341B010050C3000018730100BF02000A0011").toHex());
    QCOMPARE(ask(*s, hx("3101F0")).toHex(), good.toHex());
}

void TestSimSensor::bootloaderTakesTheLine() {
    auto s = steadySensor();
    auto loader = std::make_shared<AckingLoader>();
    loader->onGo = s->leaveBootloaderCallback();
    s->enterBootloader(loader);
    QVERIFY(s->inBootloader());

    QCOMPARE(ask(*s, hx("3101F0")).toHex(), QByteArray("79")); // the loader answers, not the sensor
    const QList<SimReply> sync = s->onHostBytes(hx("7F"));
    QCOMPARE(sync.size(), 1);
    QCOMPARE(sync.first().bytes.toHex(), QByteArray("79"));
    QCOMPARE(sync.first().delayUs, 100);
    QCOMPARE(s->onHostBytes(hx("21DE")).size(), 1); // Go is still acknowledged
    QVERIFY(!s->inBootloader());
    QCOMPARE(loader->heard.size(), 3);
    QCOMPARE(loader->heard.at(1).toHex(), QByteArray("7f"));

    QCOMPARE(ask(*s, hx("3101F0")).size(), 24);
    QCOMPARE(loader->heard.size(), 3);

    s->enterBootloader(loader);
    s->powerCycle();
    QVERIFY(!s->inBootloader());
}

void TestSimSensor::sensorWithStm8Loader() {
    auto bus = std::make_shared<SimBus>();
    auto sensor = steadySensor();
    bus->addDevice(sensor);
    VirtualPort port(bus);
    QVERIFY(port.open(QStringLiteral("sim")));

    // Powered up with the loader running: the sync byte is acknowledged and
    // the sensor's own protocol is off.
    auto loader = std::make_shared<Stm8Bootloader>();
    loader->powerUp();
    loader->setOnGo(sensor->leaveBootloaderCallback());
    sensor->enterBootloader(loader);
    port.write(frame::request(1, 0xF0));
    QVERIFY(port.read().isEmpty());
    port.write(hx("7F"));
    QCOMPARE(port.read().toHex(), QByteArray("79"));

    // Go hands the line back: data polls are answered again.
    port.write(hx("21DE"));
    QCOMPARE(port.read().left(1).toHex(), QByteArray("79"));
    QVERIFY(!sensor->inBootloader());
    port.write(frame::request(1, 0xF0));
    QCOMPARE(port.read().toHex(), hx("3E01F0150002341B010050C3000018730100BF02000A005C").toHex());
}

void TestSimSensor::levelWandersRepeatably() {
    SimSensorConfig c = steadyConfig();
    c.seed = 77;
    SimSensor a(c), b(c);
    c.seed = 78;
    SimSensor other(c);
    QList<quint32> readings;
    bool differs = false;
    for (int i = 0; i < 200; ++i) {
        const QByteArray fa = ask(a, hx("3101F0"));
        QCOMPARE(fa.toHex(), ask(b, hx("3101F0")).toHex());
        differs = differs || fa != ask(other, hx("3101F0"));
        readings.append(a.currentRaw());
    }
    QVERIFY(differs);
    QVERIFY(std::adjacent_find(readings.begin(), readings.end(), std::not_equal_to<>()) !=
            readings.end());
    for (quint32 r : readings) {
        // Stays near where the tank stands, and steady enough for the
        // configurator's stability lamp (changes well under reading / 5000).
        QVERIFY2(r > 72500 - 100 && r < 72500 + 100, qPrintable(QString::number(r)));
    }
    a.holdLevel(true);
    a.setTankRaw(60000);
    for (int i = 0; i < 5; ++i) {
        ask(a, hx("3101F0"));
        QCOMPARE(a.currentRaw(), 60000u);
    }
}

void TestSimSensor::levelSlopesAndTurnsBack() {
    SimSensorConfig c = steadyConfig();
    c.noiseAmplitude = 0;
    c.driftStep = 0;
    c.slopePerAnswer = 10;
    c.emptyRaw = 50000;
    c.fullRaw = 50040;
    c.tankRaw = 50015;
    SimSensor s(c);
    QList<quint32> readings;
    for (int i = 0; i < 8; ++i) {
        ask(s, hx("3101F0"));
        readings.append(s.currentRaw());
    }
    // Down to empty, back up to full, down again.
    QCOMPARE(readings, (QList<quint32>{50005, 50015, 50025, 50035, 50025, 50015, 50005, 50015}));
}

void TestSimSensor::pollAnswersInAddressOrder() {
    SimBus bus;
    SimSensorConfig c = steadyConfig();
    c.address = 5;
    bus.addDevice(std::make_shared<SimSensor>(c));
    c.address = 1;
    bus.addDevice(std::make_shared<SimSensor>(c));
    c.address = 200;
    bus.addDevice(std::make_shared<SimSensor>(c));
    const QList<LineBurst> line = bus.transmit(frame::netPollRequest());
    QCOMPARE(SimBus::concatenated(line).toHex(), QByteArray("0105c8"));
    for (int i = 1; i < line.size(); ++i)
        QVERIFY(line.at(i).startNs >= line.at(i - 1).startNs + SimBus::wireTimeNs(1));
    // An addressed request is answered by that sensor only.
    QCOMPARE(SimBus::concatenated(bus.transmit(frame::request(5, 0xFC))).mid(1, 1).toHex(),
             QByteArray("05"));
    bus.removeDevice(bus.devices().first().get());
    QVERIFY(bus.transmit(frame::request(5, 0xFC)).isEmpty());
}

void TestSimSensor::mergeOnLine() {
    QCOMPARE(SimBus::wireTimeNs(1), 520833);
    QCOMPARE(SimBus::wireTimeNs(24), 12500000);
    // Device 2 answers first, at 0.5 ms; device 0 wants the line at 1 ms but
    // gets it when device 2's byte has left; device 1, wanting it at 1 ms as
    // well, comes after device 0 (equal wishes keep the devices' order).
    const QList<LineBurst> line = SimBus::mergeOnLine(
        {{{hx("AABB"), 1000}}, {{hx("CC"), 1000}, {QByteArray(), 0}}, {{hx("DD"), 500}}});
    QCOMPARE(line.size(), 3);
    QCOMPARE(line.at(0).bytes.toHex(), QByteArray("dd"));
    QCOMPARE(line.at(0).startNs, 500000);
    QCOMPARE(line.at(1).bytes.toHex(), QByteArray("aabb"));
    QCOMPARE(line.at(1).startNs, 500000 + 520833);
    QCOMPARE(line.at(2).bytes.toHex(), QByteArray("cc"));
    QCOMPARE(line.at(2).startNs, 500000 + 520833 + 1041666);
}

void TestSimSensor::demoLine() {
    DemoLine line = makeDemoLine();
    QCOMPARE(line.sensors.size(), 2);
    QCOMPARE(SimBus::concatenated(line.bus->transmit(frame::netPollRequest())).toHex(),
             QByteArray("0105"));
    // Sensor 1: serial 3000417, firmware 1.7.6.
    QCOMPARE(SimBus::concatenated(line.bus->transmit(frame::request(1, 0xFC))).toHex(),
             QByteArray("3e01fc61c82d00b0007c"));
    QCOMPARE(SimBus::concatenated(line.bus->transmit(frame::request(1, 0xF0))).size(), 24);
    QCOMPARE(SimBus::concatenated(line.bus->transmit(frame::request(5, 0xF0))).size(), 21);
    QCOMPARE(line.sensors.at(1)->firmware(), quint8(163));
    QCOMPARE(makeDemoLine({3, 3, 9}).sensors.size(), 2);
}

QTEST_GUILESS_MAIN(TestSimSensor)
#include "tst_sim_sensor.moc"
