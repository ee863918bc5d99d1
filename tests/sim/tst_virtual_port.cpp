// The virtual port: what the host reads after it writes, in both time models,
// with faults, and from more than one thread.

#include "link/frame.h"
#include "sim/demo_line.h"
#include "sim/sim_sensor.h"
#include "sim/virtual_port.h"

#include <QTest>
#include <atomic>
#include <thread>

namespace {

QByteArray hx(const char* hex) {
    return QByteArray::fromHex(hex);
}

// The data answer of a sensor at address 1 whose reading stands at 72500.
const QByteArray SteadyData = hx("3E01F0150002341B010050C3000018730100BF02000A005C");

struct Line {
    std::shared_ptr<SimBus> bus = std::make_shared<SimBus>();
    std::shared_ptr<SimSensor> sensor;
    explicit Line(int answerDelayUs = 2000) {
        SimSensorConfig c;
        c.address = 1;
        c.tankRaw = 72500;
        c.answerDelayUs = answerDelayUs;
        sensor = std::make_shared<SimSensor>(c);
        sensor->holdLevel(true);
        bus->addDevice(sensor);
    }
};

// Reads until `count` bytes came or the port stays silent for 5 s.
QByteArray readAll(Port& port, int count, int* reads = nullptr) {
    QByteArray got;
    while (got.size() < count && port.waitForReadyRead(5000)) {
        got.append(port.read(count - int(got.size())));
        if (reads)
            ++*reads;
    }
    return got;
}

} // namespace

class TestVirtualPort : public QObject {
    Q_OBJECT

private slots:
    void instantExchange();
    void readTakesAtMostMaxBytes();
    void closedPortSendsNothing();
    void emptyWriteYieldsZero();
    void shortWrites();
    void vanishedAdapter();
    void linesOfSeveralSensors();
    void injectedBytes();
    void realisticNothingBeforeItArrives();
    void realisticSchedule_data();
    void realisticSchedule();
    void waitTimesOutOnSilence_data();
    void waitTimesOutOnSilence();
    void waitWakesOnWriteFromAnotherThread();
    void workerThreadExchanges();
};

void TestVirtualPort::instantExchange() {
    Line line;
    VirtualPort port(line.bus);
    QVERIFY(port.open(QStringLiteral("sim")));
    QVERIFY(port.isOpen());
    QCOMPARE(port.path(), QStringLiteral("sim"));
    QVERIFY(port.read().isEmpty());
    const QByteArray request = frame::request(1, 0xF0);
    QCOMPARE(port.write(request), 4);
    QCOMPARE(port.bytesAvailable(), 24);
    QCOMPARE(port.read().toHex(), SteadyData.toHex());
    QVERIFY(port.read().isEmpty());
    QCOMPARE(port.writes(), QList<QByteArray>{request});
    port.flush();
    QVERIFY(!port.hasVanished());
}

void TestVirtualPort::readTakesAtMostMaxBytes() {
    Line line;
    VirtualPort port(line.bus);
    QVERIFY(port.open(QStringLiteral("sim")));
    port.write(frame::request(1, 0xF0));
    QCOMPARE(port.read(10).toHex(), SteadyData.left(10).toHex());
    QVERIFY(port.read(0).isEmpty());
    QCOMPARE(port.read().toHex(), SteadyData.mid(10).toHex());
    // Closing drops what was not read.
    port.write(frame::request(1, 0xF0));
    port.close();
    QVERIFY(port.open(QStringLiteral("sim")));
    QVERIFY(port.read().isEmpty());
}

void TestVirtualPort::closedPortSendsNothing() {
    Line line;
    VirtualPort port(line.bus);
    QCOMPARE(port.write(frame::request(1, 0xFB, hx("5AC39609"))), 0);
    QVERIFY(port.writes().isEmpty());
    QCOMPARE(line.sensor->address(), quint8(1));
    QVERIFY(!port.waitForReadyRead(0));
    QString error;
    QVERIFY(port.open(QStringLiteral("sim"), &error));
    QVERIFY(!port.open(QStringLiteral("sim"), &error));
    QVERIFY(!error.isEmpty());
}

void TestVirtualPort::emptyWriteYieldsZero() {
    Line line;
    VirtualPort port(line.bus);
    QVERIFY(port.open(QStringLiteral("sim")));
    QCOMPARE(port.write(QByteArray()), 0);
    QVERIFY(port.writes().isEmpty());
}

void TestVirtualPort::shortWrites() {
    Line line;
    VirtualPort port(line.bus);
    QVERIFY(port.open(QStringLiteral("sim")));
    port.setShortWrites(true);
    // New address 9, with the write-access code: 8 bytes.
    const QByteArray request = frame::request(1, 0xFB, hx("5AC39609"));
    QCOMPARE(port.write(request), 4);
    QCOMPARE(port.writes(), QList<QByteArray>{request.left(4)});
    QCOMPARE(port.write(hx("7F")), 0);
    QCOMPARE(port.bytesAvailable(), 0);
    QCOMPARE(line.sensor->address(), quint8(1));
    port.setShortWrites(false);
    QCOMPARE(port.write(request), 8);
    QCOMPARE(line.sensor->address(), quint8(9));
}

void TestVirtualPort::vanishedAdapter() {
    Line line;
    VirtualPort port(line.bus);
    port.setVanished(true);
    QString error;
    QVERIFY(!port.open(QStringLiteral("sim"), &error));
    QVERIFY(error.contains(QStringLiteral("sim")));
    QVERIFY(!port.isOpen());

    port.setVanished(false);
    QVERIFY(port.open(QStringLiteral("sim")));
    port.write(frame::request(1, 0xF0));
    port.setVanished(true);
    QVERIFY(port.hasVanished());
    QVERIFY(port.read().isEmpty());
    QVERIFY(!port.waitForReadyRead(1000));
    QCOMPARE(port.write(frame::request(1, 0xFB, hx("5AC39609"))), 0);
    QCOMPARE(line.sensor->address(), quint8(1));

    // Plugged back in, the old handle stays dead until the port is reopened.
    port.setVanished(false);
    QVERIFY(port.hasVanished());
    QCOMPARE(port.write(frame::request(1, 0xF0)), 0);
    port.close();
    QVERIFY(!port.hasVanished());
    QVERIFY(port.open(QStringLiteral("sim")));
    QCOMPARE(port.write(frame::request(1, 0xF0)), 4);
    QCOMPARE(port.read().toHex(), SteadyData.toHex());
}

void TestVirtualPort::linesOfSeveralSensors() {
    DemoLine demo = makeDemoLine({5, 1, 9});
    VirtualPort port(demo.bus);
    QVERIFY(port.open(QStringLiteral("sim")));
    port.write(frame::netPollRequest());
    QCOMPARE(port.read().toHex(), QByteArray("010509"));
    port.write(frame::request(9, 0xFC));
    const QByteArray identity = port.read();
    QCOMPARE(identity.size(), 10);
    QCOMPARE(identity.at(1), char(9));
}

void TestVirtualPort::injectedBytes() {
    Line line;
    VirtualPort port(line.bus);
    port.injectFromLine(hx("AA")); // closed: nobody hears it
    QVERIFY(port.open(QStringLiteral("sim")));
    port.injectFromLine(hx("0102"));
    port.write(frame::request(1, 0xF0));
    QCOMPARE(port.read().toHex(), (hx("0102") + SteadyData).toHex());
}

void TestVirtualPort::realisticNothingBeforeItArrives() {
    // The sensor answers 300 ms after the request: at the moment the write
    // returns nothing has arrived yet.
    Line line(300000);
    VirtualPort port(line.bus, VirtualPort::Timing::Realistic);
    QVERIFY(port.open(QStringLiteral("sim")));
    QCOMPARE(port.write(frame::request(1, 0xF0)), 4);
    QCOMPARE(port.bytesAvailable(), 0);
    QVERIFY(port.read().isEmpty());
    QCOMPARE(port.bytesInFlight(), 24);
    int reads = 0;
    QCOMPARE(readAll(port, 24, &reads).toHex(), SteadyData.toHex());
    QVERIFY(reads >= 1);
    QCOMPARE(port.bytesInFlight(), 0);
    QCOMPARE(port.bytesAvailable(), 0);
}

void TestVirtualPort::realisticSchedule_data() {
    QTest::addColumn<int>("hostBytes");
    QTest::addColumn<QList<qint64>>("starts");
    QTest::addColumn<QList<int>>("sizes");
    QTest::addColumn<QList<qint64>>("arrivals");
    // 4 host bytes take 2083333 ns; the answer starts 2 ms later; each byte
    // is readable when its last bit is in.
    QTest::newRow("one answer") << 4 << QList<qint64>{2000000} << QList<int>{2}
                                << QList<qint64>{4604166, 5124999};
    // A second burst wanted before the first has left waits for it.
    QTest::newRow("back to back") << 1 << QList<qint64>{0, 100} << QList<int>{1, 1}
                                  << QList<qint64>{1041666, 1562499};
    QTest::newRow("gap between") << 0 << QList<qint64>{0, 5000000} << QList<int>{1, 1}
                                 << QList<qint64>{520833, 5520833};
}

void TestVirtualPort::realisticSchedule() {
    QFETCH(int, hostBytes);
    QFETCH(QList<qint64>, starts);
    QFETCH(QList<int>, sizes);
    QFETCH(QList<qint64>, arrivals);
    QList<LineBurst> bursts;
    for (int i = 0; i < starts.size(); ++i)
        bursts.append({starts.at(i), QByteArray(sizes.at(i), 'x')});
    QCOMPARE(VirtualPort::arrivalOffsetsNs(hostBytes, bursts), arrivals);
}

void TestVirtualPort::waitTimesOutOnSilence_data() {
    QTest::addColumn<bool>("realistic");
    QTest::newRow("instant") << false;
    QTest::newRow("realistic") << true;
}

void TestVirtualPort::waitTimesOutOnSilence() {
    QFETCH(bool, realistic);
    Line line;
    line.sensor->setMuted(true);
    VirtualPort port(line.bus,
                     realistic ? VirtualPort::Timing::Realistic : VirtualPort::Timing::Instant);
    QVERIFY(port.open(QStringLiteral("sim")));
    port.write(frame::request(1, 0xF0));
    QVERIFY(!port.waitForReadyRead(30));
    QVERIFY(port.read().isEmpty());
}

void TestVirtualPort::waitWakesOnWriteFromAnotherThread() {
    for (auto timing : {VirtualPort::Timing::Instant, VirtualPort::Timing::Realistic}) {
        Line line;
        VirtualPort port(line.bus, timing);
        QVERIFY(port.open(QStringLiteral("sim")));
        std::atomic<bool> waiting{false};
        std::thread writer([&] {
            while (!waiting.load())
                std::this_thread::yield();
            port.write(frame::request(1, 0xF0));
        });
        waiting = true;
        const bool ready = port.waitForReadyRead(10000);
        writer.join();
        QVERIFY(ready);
        QCOMPARE(readAll(port, 24).toHex(), SteadyData.toHex());
    }
}

void TestVirtualPort::workerThreadExchanges() {
    // A worker exchanges frames over the port while this thread keeps
    // changing the sensor: every answer arrives whole and intact.
    Line line(0);
    line.sensor->holdLevel(false);
    VirtualPort port(line.bus, VirtualPort::Timing::Realistic);
    QVERIFY(port.open(QStringLiteral("sim")));
    std::atomic<bool> done{false};
    QList<QByteArray> answers;
    std::thread worker([&] {
        for (int i = 0; i < 40; ++i) {
            port.write(frame::request(1, i % 2 ? 0xF0 : 0xFC));
            answers.append(readAll(port, i % 2 ? 24 : 10));
        }
        done = true;
    });
    int changes = 0;
    while (!done.load()) {
        line.sensor->setTemperature(qint8(changes % 50));
        line.sensor->setTankRaw(quint32(60000 + changes % 1000));
        (void)line.sensor->currentRaw();
        ++changes;
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    worker.join();
    QCOMPARE(answers.size(), 40);
    for (int i = 0; i < answers.size(); ++i) {
        QCOMPARE(answers.at(i).size(), i % 2 ? 24 : 10);
        QVERIFY(frame::answerIntact(answers.at(i)));
    }
    QCOMPARE(port.writes().size(), 40);
}

QTEST_GUILESS_MAIN(TestVirtualPort)
#include "tst_virtual_port.moc"
