#include "base/gui/colors.h"
#include "link/exchange_engine.h"
#include "link/frame.h"
#include "link/port.h"
#include "test_support.h"

#include <QQueue>
#include <QStringList>
#include <QTest>

namespace {
using testsupport::answer;

// A port whose reads come from a queue and whose writes are recorded.
class ScriptPort : public Port {
public:
    QQueue<QByteArray> incoming;
    QList<QByteArray> written;
    int shortBy = 0; // a write reports this many bytes less
    bool vanished = false;
    int flushes = 0;

    bool open(const QString&, QString*) override { return true; }
    void close() override {}
    bool isOpen() const override { return true; }
    QByteArray read(int) override { return incoming.isEmpty() ? QByteArray() : incoming.dequeue(); }
    bool waitForReadyRead(int) override { return !incoming.isEmpty(); }
    qint64 write(const QByteArray& b) override {
        written.append(b);
        return b.size() - shortBy;
    }
    void flush() override { ++flushes; }
    bool hasVanished() const override { return vanished; }
};

class FakeHost : public EngineHost {
public:
    std::optional<quint8> address = 1;
    QString status;
    quint32 statusColor = 0;
    quint32 lamp = vbcolor::LinkIdle;
    QStringList logLines, messages, errBox, events;
    QList<QByteArray> shown;
    int lenAnsw = -1;
    int shortBeeps = 0, longBeeps = 0, closed = 0, vanishedReports = 0;
    QList<quint8> netList;
    QString netText;
    ExchangeEngine* engine = nullptr;

    std::optional<quint8> selectedAddress() const override { return address; }
    QString selectedAddressText() const override {
        return address ? QString::number(*address) : QString();
    }
    void setStatus(const QString& t) override { status = t; }
    void setStatusColor(quint32 c) override { statusColor = c; }
    quint32 lampColor() const override { return lamp; }
    void setLampColor(quint32 c) override { lamp = c; }
    void outWin(const QByteArray& b) override { shown.append(b); }
    void appendErrBox(const QString& t) override { errBox << t; }
    void setLenAnsw(int n) override { lenAnsw = n; }
    void log(const QString& t) override { logLines << t; }
    void shortBeep() override { ++shortBeeps; }
    void longBeep() override { ++longBeeps; }
    bool closeOnMessage = false; // the user closes the port while the box is up
    void message(const QString& t) override {
        messages << t;
        if (closeOnMessage)
            engine->setPort(nullptr);
    }
    void closePort() override { ++closed; }
    void portVanished() override { ++vanishedReports; }
    void fillNetList(const QList<quint8>& a, const QString& t) override {
        netList = a;
        netText = t;
        address = a.first();
    }
    void all_data_to_form(const QByteArray&) override { events << "data"; }
    void assept_sn(const QByteArray&) override { events << "identity"; }
    void Out_modes(quint8 m) override { events << QString("modes %1").arg(m); }
    void applySmoothingByte(quint8 b) override { events << QString("smoothing %1").arg(b); }
    void setLampLevel(int p) override { events << QString("lamp %1").arg(p); }
    void showFrequency(int hz) override { events << QString("frequency %1").arg(hz); }
    std::optional<QString> tableResult = QString("1, 2, ");
    std::optional<QString> ans_to_table(const QByteArray&) override { return tableResult; }
    void Set_mode_Click() override {
        events << "set mode";
        engine->wrs = frame::request(1, 0xF2, QByteArray(1, 0));
    }
};

} // namespace

class TestExchangeEngine : public QObject {
    Q_OBJECT
private slots:
    void init() {
        hostPtr = std::make_unique<FakeHost>();
        portPtr = std::make_unique<ScriptPort>();
        engine = std::make_unique<ExchangeEngine>(*hostPtr);
        hostPtr->engine = engine.get();
        engine->setPort(portPtr.get());
        engine->currentAddress = 1; // sensor 1 already asked for its identity
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

private:
    std::unique_ptr<FakeHost> hostPtr;
    std::unique_ptr<ScriptPort> portPtr;
    std::unique_ptr<ExchangeEngine> engine;
};

void TestExchangeEngine::idleTickSendsDataPoll() {
    engine->tick();
    QCOMPARE(portPtr->written, QList<QByteArray>{QByteArray::fromHex("3101F0C5")});
    QCOMPARE(hostPtr->shown.first(), QByteArray::fromHex("3101F0C5"));
    QVERIFY(engine->wrs.isEmpty());
    QCOMPARE(engine->exchangeCounter, 1);
    QCOMPARE(hostPtr->lamp, vbcolor::White);
    engine->tick();
    QCOMPARE(hostPtr->lamp, vbcolor::Grey); // white toggles to grey
}

void TestExchangeEngine::silenceIsReported() {
    engine->tick();
    QCOMPARE(hostPtr->errBox, QStringList{"1 пр\r\n"});
    QCOMPARE(hostPtr->status, QString("Нет ответа от датчика с адресом 1"));
    QCOMPARE(hostPtr->statusColor, vbcolor::ButtonText);
    QCOMPARE(hostPtr->logLines, QStringList{"Нет ответа от датчика с адресом 1"});
}

void TestExchangeEngine::dispatchTable_data() {
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
                        << "Неверный пароль." << 0 << 1 << none;
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
                        << "Прочитана таблица = 1, 2, " << 1 << 0 << none;
    QTest::newRow("F1") << 0xF1 << QByteArray() << "Установлена Тарир таблица."
                        << "Установлена Тарировочная таблица." << 1 << 0 << none;
}

void TestExchangeEngine::dispatchTable() {
    QFETCH(int, code);
    QFETCH(QByteArray, data);
    QFETCH(QString, status);
    QFETCH(QString, logLine);
    QFETCH(int, shortBeeps);
    QFETCH(int, longBeeps);
    QFETCH(QStringList, events);
    engine->firmware = 176;
    engine->tick(); // sends the poll; silence logged
    hostPtr->logLines.clear();
    portPtr->incoming.enqueue(answer(1, quint8(code), data));
    engine->tick();
    QCOMPARE(hostPtr->status, status);
    QCOMPARE(hostPtr->logLines, logLine.isEmpty() ? QStringList() : QStringList{logLine});
    QCOMPARE(hostPtr->shortBeeps, shortBeeps);
    QCOMPARE(hostPtr->longBeeps, longBeeps);
    QCOMPARE(hostPtr->events, events);
    QCOMPARE(hostPtr->lamp, vbcolor::Red);
    QCOMPARE(hostPtr->lenAnsw, 4 + data.size());
    QCOMPARE(hostPtr->statusColor, code == 0xFD ? vbcolor::Red : vbcolor::DarkGreen);
    // The answer is echoed with the computed CRC appended.
    const QByteArray a = answer(1, quint8(code), data);
    if (a.size() < 30)
        QCOMPARE(hostPtr->shown.last(), a + a.right(1));
}

void TestExchangeEngine::badCrcDataAnswerIgnored() {
    QByteArray a = answer(1, 0xF0, QByteArray(20, '\1'));
    a[a.size() - 1] = char(a.back() ^ 0x55);
    portPtr->incoming.enqueue(a);
    engine->tick();
    QCOMPARE(hostPtr->events, QStringList());
    QCOMPARE(hostPtr->errBox, QStringList{"1 ош\r\n"});
    QCOMPARE(hostPtr->status, QString("Датчик подключен"));
}

void TestExchangeEngine::unrecognisedCode() {
    portPtr->incoming.enqueue(answer(1, 0x77));
    engine->tick();
    QCOMPARE(hostPtr->status, QString(" Непонятно что пришло! "));
    QCOMPARE(hostPtr->logLines,
             (QStringList{"Непонятно что пришло!", "Ответ не соответствует запросу"}));
    QCOMPARE(hostPtr->messages, QStringList{"Ответ не соответствует запросу"});
    QCOMPARE(hostPtr->longBeeps, 2);
}

void TestExchangeEngine::frequencyModeRefusesRequestNotPoll() {
    portPtr->incoming.enqueue(answer(1, 0xFE, QByteArray::fromHex("01F4")));
    engine->tick();
    QVERIFY(engine->frequencyMode);
    engine->wrs = frame::request(1, 0xF5);
    engine->tick(); // the request is refused and dropped; nothing is written
    QCOMPARE(hostPtr->messages.size(), 1);
    QVERIFY(hostPtr->messages.first().startsWith(
        "Эту операцию невозможно выполнить в частотном режиме."));
    QCOMPARE(portPtr->written.size(), 1);
    engine->tick(); // data polls go on
    QCOMPARE(portPtr->written.last(), QByteArray::fromHex("3101F0C5"));
    QCOMPARE(hostPtr->messages.size(), 1);
}

void TestExchangeEngine::fourShortWritesClosePort() {
    portPtr->shortBy = 1;
    for (int i = 1; i <= 3; ++i) {
        engine->tick();
        QCOMPARE(hostPtr->messages.size(), i);
        QCOMPARE(hostPtr->closed, 0);
    }
    engine->tick();
    QCOMPARE(hostPtr->messages, QStringList(4, "Ошибка записи в порт"));
    QCOMPARE(hostPtr->closed, 1);
    QCOMPARE(engine->exchangeCounter, 0);
}

void TestExchangeEngine::networkPollRefillsList() {
    engine->net_opr = true;
    portPtr->incoming.enqueue(QByteArray::fromHex("0105"));
    engine->tick();
    QCOMPARE(hostPtr->netList, (QList<quint8>{1, 5}));
    QCOMPARE(hostPtr->netText, QString("1 5 "));
    QCOMPARE(hostPtr->logLines.last(), QString("Устройства в сети 1 5 "));
    QCOMPARE(hostPtr->status, QString("Произошел опрос сети."));
    QCOMPARE(engine->wrs, QByteArray::fromHex("3101FC66"));
    QVERIFY(!engine->net_opr);
}

void TestExchangeEngine::networkPollTooLongIgnored() {
    engine->net_opr = true;
    portPtr->incoming.enqueue(QByteArray(20, '\2'));
    engine->tick();
    QVERIFY(hostPtr->netList.isEmpty());
    QVERIFY(!engine->net_opr);
}

void TestExchangeEngine::addressChangeReplacesPending() {
    engine->wrs = frame::request(1, 0xF5);
    hostPtr->address = 7;
    engine->tick();
    QCOMPARE(portPtr->written.last(), frame::request(7, 0xFC));
    QCOMPARE(engine->currentAddress, quint8(7));
}

void TestExchangeEngine::tableWriteResendsModeTwoTicksLater() {
    engine->wrs = QByteArray::fromHex("3101F1AA"); // stands for the table frame
    engine->sec_wr_table = 2;
    engine->tick();
    QCOMPARE(portPtr->written.last(), QByteArray::fromHex("3101F1AA"));
    QCOMPARE(engine->sec_wr_table, 1);
    engine->tick();
    QCOMPARE(hostPtr->events, QStringList{"set mode"});
    QCOMPARE(portPtr->written.last(), frame::request(1, 0xF2, QByteArray(1, 0)));
    QCOMPARE(engine->sec_wr_table, 0);
}

void TestExchangeEngine::replaySkipsPort() {
    engine->replay(answer(1, 0xF0, QByteArray(20, '\1')));
    QVERIFY(portPtr->written.isEmpty());
    QCOMPARE(hostPtr->status, QString(" Получены данные."));
    QCOMPARE(hostPtr->events, QStringList{"data"});
    QCOMPARE(engine->exchangeCounter, 0);
    QCOMPARE(hostPtr->lamp, vbcolor::Red);
    QVERIFY(!engine->replaying);
}

void TestExchangeEngine::refusedTableAnswerBeepsLong() {
    hostPtr->tableResult = std::nullopt;
    portPtr->incoming.enqueue(answer(1, 0xEF, QByteArray(10, '\0')));
    engine->tick();
    QCOMPARE(hostPtr->status, QString("Прочитана таблица."));
    QCOMPARE(hostPtr->logLines, QStringList());
    QCOMPARE(hostPtr->shortBeeps, 0);
    QCOMPARE(hostPtr->longBeeps, 1);
}

void TestExchangeEngine::vanishedPortReported() {
    portPtr->vanished = true;
    engine->tick();
    QCOMPARE(hostPtr->vanishedReports, 1);
    QVERIFY(portPtr->written.isEmpty());
}

void TestExchangeEngine::noTickWhileBusy() {
    {
        ExchangeEngine::BusyGuard guard(*engine);
        engine->tick();
        QVERIFY(portPtr->written.isEmpty());
    }
    engine->tick();
    QCOMPARE(portPtr->written.size(), 1);
}

void TestExchangeEngine::portClosedDuringRefusalBox() {
    engine->frequencyMode = true;
    engine->wrs = frame::request(1, 0xF5);
    portPtr->incoming.enqueue(answer(1, 0xF0, QByteArray(20, '\0')));
    hostPtr->closeOnMessage = true;
    engine->tick();
    QCOMPARE(hostPtr->messages.size(), 1);
    QVERIFY(engine->wrs.isEmpty());
    QVERIFY(portPtr->written.isEmpty());
    QCOMPARE(portPtr->incoming.size(), 1); // nothing was read from the closed port
    QVERIFY(hostPtr->events.isEmpty());
    engine->tick(); // and later ticks find no port
    QVERIFY(portPtr->written.isEmpty());
}

QTEST_GUILESS_MAIN(TestExchangeEngine)
#include "tst_exchange_engine.moc"
