// The session without any window: a plain QCoreApplication, the simulated
// line behind a virtual port, and what the session reports.
#include "link/frame.h"
#include "session/session.h"
#include "sim/demo_line.h"
#include "sim/sim_sensor.h"
#include "sim/virtual_port.h"
#include "support/scripted_dialog.h"
#include "tables/table_frames.h"

#include <QCoreApplication>
#include <QTest>

class TestSessionLine : public QObject {
    Q_OBJECT
private slots:
    void init() {
        line = makeDemoLine({1, 5});
        for (auto& s : line.sensors)
            s->holdLevel(true);
        session = std::make_unique<session::Session>();
        session->setDialog(&dialog);
        auto port = std::make_unique<VirtualPort>(line.bus, VirtualPort::Timing::Instant);
        QVERIFY(port->open(QStringLiteral("sim")));
        virtualPort = port.get();
        session->attachPort(std::move(port));
        session->setSelectedAddress(1, QStringLiteral("1"));
        session->requestIdentity();
    }
    void identityAndDataOfSensor1();
    void tableRead();
    void lockedSensorRefusesWrite();
    void scriptedCallWaitsForAnswer();
    void echoingAdapter_data();
    void echoingAdapter();

private:
    VirtualPort* virtualPort = nullptr;
    DemoLine line;
    ScriptedDialog dialog;
    std::unique_ptr<session::Session> session;
};

void TestSessionLine::identityAndDataOfSensor1() {
    std::optional<sensor::IdentityAnswer> identity;
    std::optional<sensor::DataAnswer> data;
    connect(session.get(), &session::Session::identityReceived,
            [&](const sensor::IdentityAnswer& id) { identity = id; });
    connect(session.get(), &session::Session::dataReceived,
            [&](const sensor::DataAnswer& d) { data = d; });
    session->tick(); // identity request out
    session->tick(); // identity in, data poll out
    QVERIFY(identity);
    QCOMPARE(identity->serialText(), QStringLiteral("3000417"));
    QCOMPARE(identity->versionText(), QStringLiteral("1.7.6."));
    QCOMPARE(session->firmware(), 176);
    session->tick(); // data in
    QVERIFY(data);
    QCOMPARE(data->fault, sensor::DataFault::None);
    QCOMPARE(data->address, quint8(1));
    QCOMPARE(*data->raw, demoSensorConfig(1).tankRaw); // the level is held
    QVERIFY(!session->hasNoData());
}

void TestSessionLine::tableRead() {
    std::optional<tables::DecodedTable> read;
    connect(session.get(), &session::Session::tableRead,
            [&](const tables::DecodedTable& t) { read = t; });
    session->tick();
    session->setPending(tables::readRequest(1));
    session->tick(); // table request out
    session->tick(); // table in
    QVERIFY(read && read->table);
    const SimSensor::Table t = line.sensors[0]->table();
    for (int i = 0; i < tables::Points; ++i) {
        QCOMPARE(read->table->readings[i], QString::number(t.readings[i]));
        QCOMPARE(read->table->litres[i], QString::number(t.litres[i]));
    }
}

void TestSessionLine::lockedSensorRefusesWrite() {
    line.sensors[0]->setPassword(4321);
    int refusals = 0;
    connect(session.get(), &session::Session::refused, [&] { ++refusals; });
    session->tick();
    session->tick(); // firmware 176 known: writes carry the write-access code
    session->tick(); // a data answer: the sensor counts as connected
    ScriptedDialog answers;
    answers.inputAnswers.enqueue(QStringLiteral("77"));
    session->apply(sensor::setNetAddress(session->context(), answers));
    QVERIFY(!session->pending().isEmpty());
    session->tick(); // the address write out
    session->tick(); // refused
    QCOMPARE(refusals, 1);
    QCOMPARE(line.sensors[0]->address(), quint8(1));
}

void TestSessionLine::scriptedCallWaitsForAnswer() {
    const auto reply = session->call(session->identityRequest(), 1000);
    QCOMPARE(reply.status, session::Session::Reply::Status::Answered);
    const auto id = sensor::decodeIdentity(reply.answer);
    QCOMPARE(id.serialText(), QStringLiteral("3000417"));
    const auto silent = session->call(frame::request(9, 0xF0), 50);
    QCOMPARE(silent.status, session::Session::Reply::Status::NoAnswer);
}

// An adapter that hands back every byte it sends: the network poll finds the
// sensors and no more, identity and data come through, and the echo is not
// counted as noise; without echo nothing is taken for one.
void TestSessionLine::echoingAdapter_data() {
    QTest::addColumn<bool>("echo");
    QTest::newRow("echo") << true;
    QTest::newRow("no echo") << false;
}

void TestSessionLine::echoingAdapter() {
    QFETCH(bool, echo);
    virtualPort->setEcho(echo);
    QList<quint8> found;
    int noticed = 0;
    std::optional<sensor::DataAnswer> data;
    connect(session.get(), &session::Session::networkFound,
            [&](const QList<quint8>& a) { found = a; });
    connect(session.get(), &session::Session::echoNoticed, [&] { ++noticed; });
    connect(session.get(), &session::Session::dataReceived,
            [&](const sensor::DataAnswer& d) { data = d; });
    session->apply(sensor::networkPoll());
    session->tick(); // poll out
    session->tick(); // the list in, identity out
    session->tick(); // identity in, data poll out
    session->tick(); // data in
    QCOMPARE(found, (QList<quint8>{1, 5}));
    QCOMPARE(session->firmware(), 176);
    QVERIFY(data && data->fault == sensor::DataFault::None);
    QCOMPARE(session->noiseBytes(), 0);
    QCOMPARE(noticed, echo ? 1 : 0);
    QCOMPARE(session->echoBytes() > 0, echo);

    const auto reply = session->call(session->identityRequest(), 1000);
    QCOMPARE(sensor::decodeIdentity(reply.answer).serialText(), QStringLiteral("3000417"));
}

QTEST_GUILESS_MAIN(TestSessionLine)
#include "tst_session_line.moc"
