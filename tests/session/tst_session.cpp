#include "base/tones.h"
#include "link/frame.h"
#include "link/port.h"
#include "session/exchange.h"
#include "session/session.h"
#include "support/scripted_dialog.h"
#include "test_support.h"

#include <functional>

#include <QQueue>
#include <QStringList>
#include <QTest>

namespace {
using testsupport::answer;

struct Wire {
    QQueue<QByteArray> incoming; // one piece arrives per tick
    QByteArray arrived;          // the piece of this tick not read yet
    bool tickRead = false;
    QList<QByteArray> written;
    int shortBy = 0; // a write reports this many bytes less
    bool vanished = false;
    int flushes = 0;
};

// A port whose reads come from a queue, one piece a tick (the piece's bytes
// beyond the first read are still there for further reads of the same tick),
// and whose writes are recorded on a wire the test owns (it outlives the port
// the session closes).
class ScriptPort : public Port {
public:
    explicit ScriptPort(Wire& wire) : w(wire) {}
    Wire& w;

    bool open(const QString&, QString*) override { return true; }
    void close() override {}
    bool isOpen() const override { return true; }
    QByteArray read(int maxBytes) override {
        if (!w.tickRead) {
            w.tickRead = true;
            w.arrived = w.incoming.isEmpty() ? QByteArray() : w.incoming.dequeue();
        }
        const QByteArray out = w.arrived.left(maxBytes);
        w.arrived.remove(0, out.size());
        return out;
    }
    bool waitForReadyRead(int) override { return !w.incoming.isEmpty(); }
    qint64 write(const QByteArray& b) override {
        w.tickRead = false;
        w.written.append(b);
        return b.size() - w.shortBy;
    }
    void flush() override {
        ++w.flushes;
        w.tickRead = false;
    }
    bool hasVanished() const override { return w.vanished; }
};

// A dialogue that can close the port while its box is up.
class ClosingDialog : public ScriptedDialog {
public:
    std::function<void()> onMessage;
    void message(const QString& text, const QString& title, Icon icon) override {
        ScriptedDialog::message(text, title, icon);
        if (onMessage)
            onMessage();
    }
};

class CountingTones : public Tones {
public:
    int shortBeeps = 0, longBeeps = 0;
    void beep(int hertz, int) override { ++(hertz == 1000 ? shortBeeps : longBeeps); }
};

// What the session reports, recorded.
struct Recorder {
    QString status;
    session::StatusTone tone = session::StatusTone::Plain;
    session::Lamp lamp = session::Lamp::Idle;
    QStringList logLines, errBox, events;
    QList<QByteArray> shown;
    int lenAnsw = -1, closeRequests = 0, lostReports = 0;
    QList<quint8> netList;
    QString netText;

    void attach(session::Session& s) {
        using session::Session;
        QObject::connect(&s, &Session::statusChanged, [this](const QString& t) { status = t; });
        QObject::connect(&s, &Session::statusToneChanged,
                         [this](session::StatusTone t) { tone = t; });
        QObject::connect(&s, &Session::lampChanged, [this](session::Lamp l) { lamp = l; });
        QObject::connect(&s, &Session::exchangeShown,
                         [this](const QByteArray& b) { shown.append(b); });
        QObject::connect(&s, &Session::errorTallied, [this](const QString& t) { errBox << t; });
        QObject::connect(&s, &Session::answerLength, [this](int n) { lenAnsw = n; });
        QObject::connect(&s, &Session::logLine, [this](const QString& t) { logLines << t; });
        QObject::connect(&s, &Session::closeRequested, [this] { ++closeRequests; });
        QObject::connect(&s, &Session::portLost, [this] { ++lostReports; });
        QObject::connect(&s, &Session::networkFound,
                         [this, &s](const QList<quint8>& a, const QString& t) {
                             netList = a;
                             netText = t;
                             s.setSelectedAddress(a.first(), QString::number(a.first()));
                         });
        QObject::connect(&s, &Session::identityReceived, [this](const sensor::IdentityAnswer& id) {
            events << "identity";
            Q_UNUSED(id);
        });
        QObject::connect(&s, &Session::dataReceived,
                         [this](const sensor::DataAnswer& d, live::Stability::State, bool) {
                             events << "data";
                             Q_UNUSED(d);
                         });
        QObject::connect(&s, &Session::modeReported,
                         [this, &s](const sensor::Mode&) { events << "modes " + s.modeText(); });
        QObject::connect(&s, &Session::smoothingReported,
                         [this](quint8 b) { events << QString("smoothing %1").arg(b); });
        QObject::connect(&s, &Session::lampThresholdReported,
                         [this](int p) { events << QString("lamp %1").arg(p); });
        QObject::connect(&s, &Session::frequencyReported,
                         [this](int hz) { events << QString("frequency %1").arg(hz); });
        QObject::connect(&s, &Session::tableRead, [this](const tables::DecodedTable& t) {
            events << (t.table ? "table" : "table refused");
        });
        QObject::connect(&s, &Session::refused, [this] { events << "refused"; });
        QObject::connect(&s, &Session::modeWriteDue, [this, &s] {
            events << "set mode";
            s.setPending(frame::request(1, 0xF2, QByteArray(1, 0)));
        });
    }
};

} // namespace

class TestSession : public QObject {
    Q_OBJECT
private slots:
    void init() {
        rec = std::make_unique<Recorder>();
        dialog = std::make_unique<ClosingDialog>();
        tones = std::make_unique<CountingTones>();
        s = std::make_unique<session::Session>();
        s->setDialog(dialog.get());
        s->setTones(tones.get());
        wire = Wire();
        port = &wire;
        s->attachPort(std::make_unique<ScriptPort>(wire));
        // Sensor 1 selected; its identity request already went out and was
        // answered.
        s->setSelectedAddress(1, "1");
        s->requestIdentity();
        s->receive(answer(1, 0xFC, QByteArray::fromHex("40E201000000")));
        s->setPending({});
        wire.flushes = 0;
        rec->attach(*s);
    }
    void idleTickSendsDataPoll();
    void silenceIsReported();
    void dispatchTable_data();
    void dispatchTable();
    void badCrcDataAnswerIgnored();
    void unrecognisedCode();
    void frequencyModeRefusesRequestNotPoll();
    void fourShortWritesClosePort();
    void networkPollRefillsList();
    void networkPollTooLongIgnored();
    void addressChangeReplacesPending();
    void tableWriteResendsModeTwoTicksLater();
    void replaySkipsPort();
    void refusedTableAnswerBeepsLong();
    void vanishedPortReported();
    void noTickWhileBusy();
    void portClosedDuringRefusalBox();
    void strayBytesAroundAnAnswer_data();
    void strayBytesAroundAnAnswer();
    void twoFramesInOneRead();
    void staleBacklogDropped();
    void identityRetried_data();
    void identityRetried();
    void checkedExchange_data();
    void checkedExchange();

private:
    std::unique_ptr<Recorder> rec;
    std::unique_ptr<ClosingDialog> dialog;
    std::unique_ptr<CountingTones> tones;
    std::unique_ptr<session::Session> s;
    Wire wire;
    Wire* port = nullptr;
};

void TestSession::idleTickSendsDataPoll() {
    s->tick();
    QCOMPARE(port->written, QList<QByteArray>{QByteArray::fromHex("3101F0C5")});
    QCOMPARE(rec->shown.first(), QByteArray::fromHex("3101F0C5"));
    QVERIFY(s->pending().isEmpty());
    QCOMPARE(s->exchangeCount(), 1);
    QCOMPARE(rec->lamp, session::Lamp::BlinkOn);
    s->tick();
    QCOMPARE(rec->lamp, session::Lamp::BlinkOff); // white toggles to grey
}

void TestSession::silenceIsReported() {
    s->tick();
    QCOMPARE(rec->errBox, QStringList{"1 пр\r\n"});
    QCOMPARE(rec->status, QString("Нет ответа от датчика с адресом 1"));
    QCOMPARE(rec->tone, session::StatusTone::Plain);
    QCOMPARE(rec->logLines, QStringList{"Нет ответа от датчика с адресом 1"});
}

void TestSession::dispatchTable_data() {
    QTest::addColumn<int>("code");
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<QString>("status");
    QTest::addColumn<QString>("logLine");
    QTest::addColumn<int>("shortBeeps");
    QTest::addColumn<int>("longBeeps");
    QTest::addColumn<QStringList>("events");
    const QStringList none;
    QTest::newRow("FC") << 0xFC << QByteArray::fromHex("40E201000000")
                        << " Получен С/Н и вер. прошивки"
                        << "" << 0 << 0 << QStringList{"identity"};
    QTest::newRow("FA") << 0xFA << QByteArray() << " Установлен нижний уровень."
                        << " Установлен нижний уровень." << 1 << 0 << none;
    QTest::newRow("F2 fw 176") << 0xF2 << QByteArray::fromHex("4A85") << " Установлен новый режим."
                               << " Установлен новый режим." << 1 << 0
                               << QStringList{"modes 74", "smoothing 133"};
    QTest::newRow("F5") << 0xF5 << QByteArray() << " Установлен верхний уровень."
                        << " Установлен верхний уровень." << 1 << 0 << none;
    QTest::newRow("FB") << 0xFB << QByteArray() << " Установлен сетевой номер."
                        << " Установлен сетевой номер." << 1 << 0 << none;
    QTest::newRow("F6") << 0xF6 << QByteArray() << "Установлен серийный номер."
                        << "Установлен серийный номер." << 0 << 0 << none;
    QTest::newRow("F9") << 0xF9 << QByteArray() << "Сдвинут нижний уровень."
                        << "Сдвинут нижний уровень." << 1 << 0 << none;
    QTest::newRow("F4") << 0xF4 << QByteArray() << "Сдвинут верхний уровень."
                        << "Сдвинут верхний уровень." << 1 << 0 << none;
    QTest::newRow("EE") << 0xEE << QByteArray::fromHex("0F")
                        << "Уст. новый уровень ав. ост. топлива."
                        << "Уст. новый уровень ав. ост. топлива." << 1 << 0
                        << QStringList{"lamp 15"};
    QTest::newRow("F8") << 0xF8 << QByteArray() << "Пароль принят."
                        << "Пароль принят." << 1 << 0 << none;
    QTest::newRow("FD") << 0xFD << QByteArray() << "Неверный пароль."
                        << "Неверный пароль." << 0 << 1 << QStringList{"refused"};
    QTest::newRow("F7") << 0xF7 << QByteArray() << "Пароль изменен."
                        << "Пароль изменен." << 1 << 0 << none;
    QTest::newRow("06") << 0x06 << QByteArray() << "Пар."
                        << "" << 0 << 0 << none;
    QTest::newRow("ED") << 0xED << QByteArray() << "Директивно изменен нижний уровень."
                        << "Директивно изменен нижний уровень." << 1 << 0 << none;
    QTest::newRow("EC") << 0xEC << QByteArray() << "Директивно изменен верхний уровень."
                        << "Директивно изменен верхний уровень." << 1 << 0 << none;
    QTest::newRow("FE") << 0xFE << QByteArray::fromHex("01F4") << "Датчик в частотном режиме."
                        << "" << 0 << 0 << QStringList{"frequency 500"};
    QTest::newRow("EF") << 0xEF << QByteArray(80, '\0') << "Прочитана таблица."
                        << "Прочитана таблица = " + QString("0, ").repeated(40) << 1 << 0
                        << QStringList{"table"};
    QTest::newRow("F1") << 0xF1 << QByteArray() << "Установлена Тарир таблица."
                        << "Установлена Тарировочная таблица." << 1 << 0 << none;
}

void TestSession::dispatchTable() {
    QFETCH(int, code);
    QFETCH(QByteArray, data);
    QFETCH(QString, status);
    QFETCH(QString, logLine);
    QFETCH(int, shortBeeps);
    QFETCH(int, longBeeps);
    QFETCH(QStringList, events);
    s->receive(answer(1, 0xFC, QByteArray::fromHex("40E20100B001"))); // firmware 176
    rec->events.clear();
    s->tick(); // sends the poll; silence logged
    rec->logLines.clear();
    port->incoming.enqueue(answer(1, quint8(code), data));
    s->tick();
    QCOMPARE(rec->status, status);
    QCOMPARE(rec->logLines, logLine.isEmpty() ? QStringList() : QStringList{logLine});
    QCOMPARE(tones->shortBeeps, shortBeeps);
    QCOMPARE(tones->longBeeps, longBeeps);
    QCOMPARE(rec->events, events);
    QCOMPARE(rec->lamp, session::Lamp::Answered);
    QCOMPARE(rec->lenAnsw, 4 + data.size());
    QCOMPARE(rec->tone, code == 0xFD ? session::StatusTone::Error : session::StatusTone::Connected);
    // The answer is echoed with the computed CRC appended.
    const QByteArray a = answer(1, quint8(code), data);
    if (a.size() < 30)
        QCOMPARE(rec->shown.last(), a + a.right(1));
}

void TestSession::badCrcDataAnswerIgnored() {
    QByteArray a = answer(1, 0xF0, QByteArray(20, '\1'));
    a[a.size() - 1] = char(a.back() ^ 0x55);
    port->incoming.enqueue(a);
    s->tick();
    QCOMPARE(rec->events, QStringList());
    QCOMPARE(rec->errBox, QStringList{"1 ош\r\n"});
    QCOMPARE(rec->status, QString("Датчик подключен"));
}

void TestSession::unrecognisedCode() {
    port->incoming.enqueue(answer(1, 0x77));
    s->tick();
    QCOMPARE(rec->status, QString(" Непонятно что пришло! "));
    QCOMPARE(rec->logLines,
             (QStringList{"Непонятно что пришло!", "Ответ не соответствует запросу"}));
    QCOMPARE(dialog->messages(), QStringList{"Ответ не соответствует запросу"});
    QCOMPARE(tones->longBeeps, 2);
}

void TestSession::frequencyModeRefusesRequestNotPoll() {
    port->incoming.enqueue(answer(1, 0xFE, QByteArray::fromHex("01F4")));
    s->tick();
    QVERIFY(s->frequencyMode());
    s->setPending(frame::request(1, 0xF5));
    s->tick(); // the request is refused and dropped; nothing is written
    QCOMPARE(dialog->messages().size(), 1);
    QVERIFY(dialog->messages().first().startsWith(
        "Эту операцию невозможно выполнить в частотном режиме."));
    QCOMPARE(port->written.size(), 1);
    s->tick(); // data polls go on
    QCOMPARE(port->written.last(), QByteArray::fromHex("3101F0C5"));
    QCOMPARE(dialog->messages().size(), 1);
}

void TestSession::fourShortWritesClosePort() {
    port->shortBy = 1;
    for (int i = 1; i <= 3; ++i) {
        s->tick();
        QCOMPARE(dialog->messages().size(), i);
        QCOMPARE(rec->closeRequests, 0);
    }
    s->tick();
    QCOMPARE(dialog->messages(), QStringList(4, "Ошибка записи в порт"));
    QCOMPARE(rec->closeRequests, 1);
    QCOMPARE(s->exchangeCount(), 0);
}

void TestSession::networkPollRefillsList() {
    s->apply(sensor::networkPoll());
    rec->logLines.clear();
    s->setPending({});
    port->incoming.enqueue(QByteArray::fromHex("0105"));
    s->tick();
    QCOMPARE(rec->netList, (QList<quint8>{1, 5}));
    QCOMPARE(rec->netText, QString("1 5 "));
    QCOMPARE(rec->logLines.last(), QString("Устройства в сети 1 5 "));
    QCOMPARE(rec->status, QString("Произошел опрос сети."));
    QCOMPARE(s->pending(), QByteArray::fromHex("3101FC66"));
}

void TestSession::networkPollTooLongIgnored() {
    s->apply(sensor::networkPoll());
    rec->logLines.clear();
    s->setPending({});
    port->incoming.enqueue(QByteArray(20, '\2'));
    s->tick();
    QVERIFY(rec->netList.isEmpty());
}

void TestSession::addressChangeReplacesPending() {
    s->setPending(frame::request(1, 0xF5));
    s->setSelectedAddress(7, "7");
    s->tick();
    QCOMPARE(port->written.last(), frame::request(7, 0xFC));
}

void TestSession::tableWriteResendsModeTwoTicksLater() {
    s->setPending(QByteArray::fromHex("3101F1AA")); // stands for the table frame
    s->scheduleModeAfterTableWrite();
    s->tick();
    QCOMPARE(port->written.last(), QByteArray::fromHex("3101F1AA"));
    s->tick();
    QCOMPARE(rec->events, QStringList{"set mode"});
    QCOMPARE(port->written.last(), frame::request(1, 0xF2, QByteArray(1, 0)));
}

void TestSession::replaySkipsPort() {
    s->replay(answer(1, 0xF0, QByteArray(20, '\1')));
    QVERIFY(port->written.isEmpty());
    QCOMPARE(rec->status, QString(" Получены данные."));
    QCOMPARE(rec->events, (QStringList{"data", "modes 1"}));
    QCOMPARE(s->exchangeCount(), 0);
    QCOMPARE(rec->lamp, session::Lamp::Answered);
    QVERIFY(!s->isReplaying());
}

void TestSession::refusedTableAnswerBeepsLong() {
    port->incoming.enqueue(answer(1, 0xEF, QByteArray(10, '\0')));
    s->tick();
    const QString refusal = "Таблица из датчика не принята: ответ из 14 байт, а нужно 84.";
    QCOMPARE(rec->status, refusal);
    QCOMPARE(rec->logLines, QStringList{refusal});
    QCOMPARE(dialog->messages(), QStringList{refusal});
    QCOMPARE(rec->events, QStringList{"table refused"});
    QCOMPARE(tones->shortBeeps, 0);
    QCOMPARE(tones->longBeeps, 1);
}

void TestSession::vanishedPortReported() {
    port->vanished = true;
    s->tick();
    QCOMPARE(rec->lostReports, 1);
    QVERIFY(port->written.isEmpty());
}

void TestSession::noTickWhileBusy() {
    {
        Busy::Guard guard(s->busy());
        s->tick();
        QVERIFY(port->written.isEmpty());
    }
    s->tick();
    QCOMPARE(port->written.size(), 1);
}

void TestSession::portClosedDuringRefusalBox() {
    s->receive(answer(1, 0xFE, QByteArray::fromHex("01F4")));
    rec->events.clear();
    s->setPending(frame::request(1, 0xF5));
    port->incoming.enqueue(answer(1, 0xF0, QByteArray(20, '\0')));
    dialog->onMessage = [this] { s->detachPort(); };
    s->tick();
    QCOMPARE(dialog->messages().size(), 1);
    QVERIFY(s->pending().isEmpty());
    QVERIFY(port->written.isEmpty());
    QCOMPARE(port->incoming.size(), 1); // nothing was read from the closed port
    QVERIFY(rec->events.isEmpty());
    s->tick(); // and later ticks find no port
    QVERIFY(port->written.isEmpty());
}

void TestSession::strayBytesAroundAnAnswer_data() {
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<QByteArray>("after");
    QTest::newRow("before") << QByteArray::fromHex("A5FF00") << QByteArray();
    QTest::newRow("after") << QByteArray() << QByteArray::fromHex("5A");
    QTest::newRow("both") << QByteArray::fromHex("00") << QByteArray::fromHex("7E81");
    QTest::newRow("a stray 0x3E") << QByteArray::fromHex("3E") << QByteArray();
}

void TestSession::strayBytesAroundAnAnswer() {
    QFETCH(QByteArray, before);
    QFETCH(QByteArray, after);
    port->incoming.enqueue(before + answer(1, 0xEE, QByteArray::fromHex("0F")) + after);
    s->tick();
    QCOMPARE(rec->status, QString("Уст. новый уровень ав. ост. топлива."));
    QCOMPARE(rec->events, QStringList{"lamp 15"});
    QCOMPARE(rec->errBox, QStringList{"1 пом\r\n"});
    QCOMPARE(dialog->messages(), QStringList());
    QCOMPARE(s->noiseBytes(), before.size() + after.size());
}

void TestSession::twoFramesInOneRead() {
    // The first answer is taken; the second counts as noise.
    const QByteArray second = answer(1, 0xF8);
    port->incoming.enqueue(answer(1, 0xEE, QByteArray::fromHex("0F")) + second);
    s->tick();
    QCOMPARE(rec->events, QStringList{"lamp 15"});
    QCOMPARE(rec->status, QString("Уст. новый уровень ав. ост. топлива."));
    QCOMPARE(s->noiseBytes(), second.size());
}

void TestSession::staleBacklogDropped() {
    // Another station talked for a while: all but what one tick takes is
    // dropped, and the next tick sees only the sensor's fresh answer.
    port->incoming.enqueue(QByteArray(1000, char(0x55)));
    port->incoming.enqueue(answer(1, 0xF8));
    s->tick();
    QCOMPARE(port->arrived, QByteArray());
    // The 255 bytes taken hold no answer: they are handled as they came.
    QCOMPARE(rec->errBox, (QStringList{"1 пом\r\n", "1 ош\r\n"}));
    QCOMPARE(s->noiseBytes(), 745);
    s->tick();
    QCOMPARE(rec->status, QString("Пароль принят."));
    QCOMPARE(s->noiseBytes(), 745);
}

void TestSession::identityRetried_data() {
    QTest::addColumn<int>("lost");
    QTest::addColumn<QString>("requests"); // I identity, D data poll, one a tick
    QTest::newRow("lost once") << 1 << "IIDD";
    QTest::newRow("lost three times") << 3 << "IIIIDD";
    QTest::newRow("arrives much later") << 14 << "IIIIDDDDDDDDDIDDD";
}

void TestSession::identityRetried() {
    QFETCH(int, lost);
    QFETCH(QString, requests);
    s->setSelectedAddress(2, "2");
    s->requestIdentity(); // a new sensor: its identity is not known yet
    QString sent;
    for (int t = 0; t < requests.size(); ++t) {
        if (t == lost + 1)
            port->incoming.enqueue(answer(2, 0xFC, QByteArray::fromHex("40E20100B001")));
        s->tick();
        const quint8 code = quint8(port->written.last()[2]);
        sent += code == 0xFC ? 'I' : code == 0xF0 ? 'D' : '?';
    }
    QCOMPARE(sent, requests);
    QCOMPARE(s->firmware(), 176);
    QVERIFY(!s->identityMissing());
}

// The scripted exchange: the answer with the expected code is picked out of
// what came, a late answer of another code sends the request once more.
void TestSession::checkedExchange_data() {
    using K = session::ExchangeError::Kind;
    QTest::addColumn<QByteArrayList>("replies"); // what comes after each write
    QTest::addColumn<int>("expected");           // -1: no code expected
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("answer");
    QTest::addColumn<int>("writes");
    const QByteArray mode = answer(1, 0xF2, QByteArray(1, 0x4A));
    const QByteArray data = answer(1, 0xF0, QByteArray(20, '\1'));
    QTest::newRow("the expected answer")
        << QByteArrayList{mode} << 0xF2 << int(K::None) << "" << mode << 1;
    QTest::newRow("behind a late poll answer")
        << QByteArrayList{data + mode} << 0xF2 << int(K::None) << "" << mode << 1;
    QTest::newRow("a late poll answer alone: asked again")
        << QByteArrayList{data, mode} << 0xF2 << int(K::None) << "" << mode << 2;
    QTest::newRow("the address write answered from the new address")
        << QByteArrayList{answer(7, 0xFB)} << 0xFB << int(K::None) << "" << answer(7, 0xFB) << 1;
    QTest::newRow("refused") << QByteArrayList{answer(1, 0xFD)} << 0xF2 << int(K::Refused)
                             << "Неверный пароль." << answer(1, 0xFD) << 1;
    QTest::newRow("frequency mode") << QByteArrayList{answer(1, 0xFE, QByteArray::fromHex("0102"))}
                                    << 0xF2 << int(K::FrequencyMode) << "Датчик в частотном режиме."
                                    << answer(1, 0xFE, QByteArray::fromHex("0102")) << 1;
    QTest::newRow("another code twice")
        << QByteArrayList{answer(1, 0xF5), answer(1, 0xF5)} << 0xF2 << int(K::WrongAnswer)
        << "Ответ не соответствует запросу (3E 01 F5 " +
               QString::fromLatin1(answer(1, 0xF5).right(1).toHex().toUpper()) + ")"
        << QByteArray() << 2;
    QTest::newRow("bytes without a frame")
        << QByteArrayList{QByteArray::fromHex("0102")} << 0xF2 << int(K::WrongAnswer)
        << "Ответ не соответствует запросу (01 02)" << QByteArray() << 1;
    QTest::newRow("silence") << QByteArrayList{QByteArray()} << 0xF2 << int(K::NoAnswer)
                             << "Нет ответа от датчика с адресом 1" << QByteArray() << 1;
    QTest::newRow("no code expected: what came")
        << QByteArrayList{QByteArray::fromHex("0105")} << -1 << int(K::None) << ""
        << QByteArray::fromHex("0105") << 1;
}

void TestSession::checkedExchange() {
    QFETCH(QByteArrayList, replies);
    QFETCH(int, expected);
    QFETCH(int, kind);
    QFETCH(QString, text);
    QFETCH(QByteArray, answer);
    QFETCH(int, writes);
    wire.incoming << QByteArray(); // nothing came before the question
    for (const QByteArray& r : replies)
        wire.incoming << r;
    const QByteArray request = frame::request(1, 0xF2, QByteArray(1, 0x4A));
    const session::Exchanged e = session::exchange(
        *s, 1, request, expected < 0 ? std::nullopt : std::optional<quint8>(quint8(expected)), 30);
    QCOMPARE(int(e.error.kind), kind);
    QCOMPARE(e.error.text, text);
    QCOMPARE(e.answer, answer);
    QCOMPARE(wire.written, QList<QByteArray>(writes, request));
}

QTEST_GUILESS_MAIN(TestSession)
#include "tst_session.moc"
