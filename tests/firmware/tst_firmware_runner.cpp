#include "firmware/firmware_runner.h"
#include "link/frame.h"
#include "sim/sim_bus.h"
#include "sim/sim_sensor.h"
#include "sim/stm8_bootloader.h"
#include "sim/virtual_port.h"
#include "support/scripted_dialog.h"
#include "test_support.h"

#include <QFile>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <memory>

using namespace firmware;

namespace {

using testsupport::bytes;

QByteArray makeImage(int blocks, int programBlock) {
    QByteArray image(64, '\x01');
    for (int i = 0; i < blocks; ++i) {
        QByteArray block(128, '\0');
        for (int k = 0; k < 128; ++k)
            block[k] = char(i * 5 + k * 3 + 7);
        if (i == programBlock)
            block[0] = '\x23';
        image += block;
    }
    return image;
}

// A simulated line with the STM8 bootloader on it, a virtual port open on
// it, and a runner whose engine control records what the window would do.
struct Rig {
    std::shared_ptr<SimBus> bus = std::make_shared<SimBus>();
    std::shared_ptr<Stm8Bootloader> loader = std::make_shared<Stm8Bootloader>();
    VirtualPort port;
    ScriptedDialog dialog;
    std::unique_ptr<FirmwareRunner> runner = std::make_unique<FirmwareRunner>();
    QStringList engine; // "stop", "resume", "close", in order
    int writesWhenStopped = -1;
    bool hooksOnMainThread = true;
    QSignalSpy finished{runner.get(), &FirmwareRunner::finished};

    explicit Rig(VirtualPort::Timing timing = VirtualPort::Timing::Instant) : port(bus, timing) {
        bus->addDevice(loader);
        port.open(QStringLiteral("COM1"));
        runner->setDialog(&dialog);
        auto onMain = [this] {
            hooksOnMainThread = hooksOnMainThread && QThread::currentThread() == qApp->thread();
        };
        runner->setEngineControl(
            [this, onMain] {
                onMain();
                writesWhenStopped = int(port.writes().size());
                engine << QStringLiteral("stop");
            },
            [this, onMain] {
                onMain();
                engine << QStringLiteral("resume");
            },
            [this, onMain] {
                onMain();
                engine << QStringLiteral("close");
                port.close();
            });
    }

    Outcome outcome() const { return finished.front().front().value<Outcome>(); }

    // The port answers the main thread again: the loader, powered up anew,
    // answers the sync byte written from here.
    bool portUsableHere() {
        loader->answerSyncFrom(1);
        loader->powerUp();
        if (port.write(bytes({0x7F})) != 1)
            return false;
        QByteArray got;
        for (int k = 0; k < 50 && got.isEmpty(); ++k) {
            port.waitForReadyRead(20);
            got += port.read();
        }
        return got == bytes({0x79});
    }
};

} // namespace

class TstFirmwareRunner : public QObject {
    Q_OBJECT

    QTemporaryDir dir;

    QString imageFile(const QByteArray& bytes) {
        static int n = 0;
        const QString path = dir.filePath(QStringLiteral("fw%1.cri").arg(++n));
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size())
            qFatal("cannot write %s", qPrintable(path));
        return path;
    }

private slots:
    void initTestCase() { QVERIFY(dir.isValid()); }

    void refusals_data() {
        QTest::addColumn<QString>("situation");
        QTest::newRow("no port") << "no port";
        QTest::newRow("port closed") << "port closed";
        QTest::newRow("no file chosen") << "no file";
        QTest::newRow("file gone") << "missing";
        QTest::newRow("file shorter than its header") << "short";
    }
    void refusals() {
        QFETCH(QString, situation);
        Rig rig;
        QString path = imageFile(makeImage(170, 160));
        QString expected;
        Port* port = &rig.port;
        if (situation == "no port") {
            port = nullptr;
            expected = QStringLiteral("Порт не открыт. Откройте порт датчика.");
        } else if (situation == "port closed") {
            rig.port.close();
            expected = QStringLiteral("Порт не открыт. Откройте порт датчика.");
        } else if (situation == "no file") {
            path.clear();
            expected = QStringLiteral("Файл прошивки не выбран. Нажмите \"Открыть файл\".");
        } else if (situation == "missing") {
            QFile::remove(path);
            expected = QStringLiteral("Не удалось прочитать файл ") + path;
        } else {
            path = imageFile(QByteArray(40, '\x23'));
            expected =
                QStringLiteral("Файл ") + path + QStringLiteral(" короче заголовка (64 байта).");
        }
        QSignalSpy refused(rig.runner.get(), &FirmwareRunner::refused);
        QVERIFY(!rig.runner->start(port, path, {}));
        QCOMPARE(rig.dialog.messages(), QStringList{expected});
        QCOMPARE(refused.size(), 1);
        QVERIFY(!rig.runner->isRunning());
        QVERIFY(rig.engine.isEmpty());
        QVERIFY(rig.port.writes().isEmpty());
    }

    void flashesInTheWorkerThread() {
        Rig rig;
        const QByteArray image = makeImage(170, 160);
        QStringList logs;
        QList<QPair<int, int>> progress;
        bool signalsOnMain = true;
        connect(rig.runner.get(), &FirmwareRunner::logText, this, [&](const QString& t, bool) {
            logs << t;
            signalsOnMain = signalsOnMain && QThread::currentThread() == thread();
        });
        connect(rig.runner.get(), &FirmwareRunner::progress, this,
                [&](int done, int total) { progress << qMakePair(done, total); });
        SessionParams p;
        p.resetCalibrations = true;
        QVERIFY(rig.runner->start(&rig.port, imageFile(image), p));
        QVERIFY(rig.runner->isRunning());
        QCOMPARE(rig.engine, QStringList{"stop"});
        QCOMPARE(rig.writesWhenStopped, 0);
        QTRY_COMPARE_WITH_TIMEOUT(rig.finished.size(), 1, 60000);
        QCOMPARE(rig.outcome(), Outcome::Done);
        QVERIFY(!rig.runner->isRunning());
        QCOMPARE(rig.engine, QStringList({"stop", "resume"}));
        QVERIFY(rig.hooksOnMainThread);
        QVERIFY(signalsOnMain);
        QVERIFY(rig.dialog.messages().isEmpty());
        QVERIFY(logs.back().endsWith(QStringLiteral("Block 8\r\n-----Готово------")));
        QCOMPARE(logs.back(), rig.runner->lastResult().log);
        // Reports the window has not shown yet are replaced by later ones:
        // what arrives climbs to the last one.
        QCOMPARE(progress.back(), qMakePair(18, 18));
        for (qsizetype k = 1; k < progress.size(); ++k)
            QVERIFY(progress[k].first > progress[k - 1].first);
        for (int i = 0; i < 8; ++i)
            QCOMPARE(rig.loader->memory(0x4000 + 128 * i, 128), image.mid(64 + 128 * i, 128));
        QCOMPARE(rig.loader->memory(0x9000, 10 * 128), image.mid(64 + 160 * 128));
        QCOMPARE(rig.port.writes().back(), bytes({0x21, 0xDE}));
        QVERIFY(rig.portUsableHere());
    }

    void messagesGoThroughTheDialog() {
        Rig rig;
        rig.loader->nackBlock(1);
        QVERIFY(rig.runner->start(&rig.port, imageFile(makeImage(165, 160)), {}));
        QTRY_COMPARE_WITH_TIMEOUT(rig.finished.size(), 1, 60000);
        QCOMPARE(rig.outcome(), Outcome::Failed);
        QCOMPARE(rig.engine, QStringList({"stop", "resume"}));
        QCOMPARE(rig.dialog.messages(), QStringList({QStringLiteral("Ошибка 1F !!!!"),
                                                     QStringLiteral(" data 1,блок ошибка")}));
    }

    // Without a dialog the window shows the message itself; the run goes on
    // only once it is acknowledged.
    void runWaitsUntilTheMessageIsClosed() {
        Rig rig;
        rig.runner->setDialog(nullptr);
        rig.loader->nackBlock(0);
        QSignalSpy asked(rig.runner.get(), &FirmwareRunner::messageRequested);
        QVERIFY(rig.runner->start(&rig.port, imageFile(makeImage(165, 160)), {}));
        QTRY_COMPARE_WITH_TIMEOUT(asked.size(), 1, 60000);
        QCOMPARE(asked.front().front().toString(), QStringLiteral("Ошибка 1F !!!!"));
        const qsizetype writes = rig.port.writes().size();
        QTest::qWait(200);
        QCOMPARE(asked.size(), 1);
        QCOMPARE(rig.port.writes().size(), writes);
        rig.runner->acknowledgeMessage();
        QTRY_COMPARE_WITH_TIMEOUT(asked.size(), 2, 10000);
        QCOMPARE(asked.back().front().toString(), QStringLiteral(" data 0,блок ошибка"));
        QCOMPARE(rig.finished.size(), 0);
        rig.runner->acknowledgeMessage();
        QTRY_COMPARE_WITH_TIMEOUT(rig.finished.size(), 1, 10000);
        QCOMPARE(rig.port.writes().size(), writes);
        QCOMPARE(rig.loader->stats().goCommands, 0);
    }

    void cancelWhileWaitingForSync() {
        Rig rig(VirtualPort::Timing::Realistic);
        rig.loader->answerSyncFrom(1000000);
        QVERIFY(rig.runner->start(&rig.port, imageFile(makeImage(165, 160)), {}));
        QTRY_VERIFY_WITH_TIMEOUT(rig.port.writes().size() >= 2, 10000);
        rig.runner->cancel();
        QTRY_COMPARE_WITH_TIMEOUT(rig.finished.size(), 1, 10000);
        QCOMPARE(rig.outcome(), Outcome::Cancelled);
        QCOMPARE(rig.engine, QStringList({"stop", "resume"}));
        QCOMPARE(rig.runner->lastResult().log,
                 QStringLiteral("Прошиваем !  \r\n-----Прервано------"));
        for (const QByteArray& w : rig.port.writes())
            QCOMPARE(w, bytes({0x7F}));
        QVERIFY(rig.port.isOpen());
        QVERIFY(rig.portUsableHere());
    }

    void cancelWhileWritingBlocks() {
        Rig rig(VirtualPort::Timing::Realistic);
        connect(rig.runner.get(), &FirmwareRunner::progress, this, [&](int done, int) {
            if (done == 3)
                rig.runner->cancel();
        });
        QVERIFY(rig.runner->start(&rig.port, imageFile(makeImage(180, 160)), {}));
        QTRY_COMPARE_WITH_TIMEOUT(rig.finished.size(), 1, 60000);
        QCOMPARE(rig.outcome(), Outcome::Cancelled);
        QCOMPARE(rig.engine, QStringList({"stop", "resume"}));
        const SessionResult& r = rig.runner->lastResult();
        QVERIFY(r.blocksWritten >= 3 && r.blocksWritten < r.blocksToWrite);
        QVERIFY(r.log.endsWith(QStringLiteral("\r\n-----Прервано------")));
        QCOMPARE(rig.loader->stats().goCommands, 0);
        QVERIFY(rig.dialog.messages().isEmpty());
        // Nothing left over for the exchange engine, and the port answers here.
        QCOMPARE(rig.port.bytesAvailable() + rig.port.bytesInFlight(), 0);
        QVERIFY(rig.portUsableHere());
    }

    // A run at 115200: the loader learns that rate from the sync byte, the
    // log says it, and the port is back at 19200 whatever the ending; a port
    // that cannot change its rate is refused before anything is sent.
    void runAtAnotherRate_data() {
        QTest::addColumn<QString>("ending");
        QTest::newRow("done") << "done";
        QTest::newRow("failed") << "failed";
        QTest::newRow("cancelled") << "cancelled";
        QTest::newRow("port lost") << "port lost";
        QTest::newRow("rate refused") << "rate refused";
    }
    void runAtAnotherRate() {
        QFETCH(QString, ending);
        Rig rig(VirtualPort::Timing::Realistic);
        SessionParams params;
        params.baud = 115200;
        if (ending == QLatin1String("failed"))
            rig.loader->nackBlock(2);
        if (ending == QLatin1String("rate refused"))
            rig.port.setRateFixed(true);
        connect(rig.runner.get(), &FirmwareRunner::progress, this, [&](int done, int) {
            if (done == 2 && ending == QLatin1String("cancelled"))
                rig.runner->cancel();
            if (done == 2 && ending == QLatin1String("port lost"))
                rig.port.setVanished(true);
        });
        const bool started = rig.runner->start(&rig.port, imageFile(makeImage(170, 160)), params);
        if (ending == QLatin1String("rate refused")) {
            QVERIFY(!started);
            QCOMPARE(rig.dialog.messages(),
                     QStringList{QStringLiteral(
                         "Порт не переключается на скорость 115200 бод. Прошивка не начата.")});
            QVERIFY(rig.port.writes().isEmpty());
            QCOMPARE(rig.port.baudRate(), 19200);
            return;
        }
        QVERIFY(started);
        QTRY_COMPARE_WITH_TIMEOUT(rig.finished.size(), 1, 30000);
        const SessionResult& r = rig.runner->lastResult();
        QVERIFY(r.log.startsWith(QStringLiteral("Скорость 115200 бод\r\nПрошиваем !  ")));
        QCOMPARE(rig.loader->baud(), 115200);
        const QMap<QString, Outcome> outcomes{{"done", Outcome::Done},
                                              {"failed", Outcome::Failed},
                                              {"cancelled", Outcome::Cancelled},
                                              {"port lost", Outcome::PortLost}};
        QCOMPARE(rig.outcome(), outcomes.value(ending));
        if (ending != QLatin1String("port lost"))
            QCOMPARE(rig.port.baudRate(), 19200);
    }

    // An adapter that holds every answer 16 ms (a USB latency timer): the
    // log says so once, with the figure, and the run goes on; without the
    // timer it says nothing.
    void heldAnswersNoticed_data() {
        QTest::addColumn<int>("latencyMs");
        QTest::newRow("16 ms timer") << 16;
        QTest::newRow("no timer") << 0;
    }
    void heldAnswersNoticed() {
        QFETCH(int, latencyMs);
        Rig rig(VirtualPort::Timing::Realistic);
        rig.port.setLatencyTimer(latencyMs);
        QVERIFY(rig.runner->start(&rig.port, imageFile(makeImage(162, 160)), {}));
        QTRY_COMPARE_WITH_TIMEOUT(rig.finished.size(), 1, 30000);
        QCOMPARE(rig.outcome(), Outcome::Done);
        const QString log = rig.runner->lastResult().log;
        const QString notice = QStringLiteral("Адаптер задерживает каждый ответ примерно на ");
        QCOMPARE(log.count(notice), latencyMs ? 1 : 0);
        // The timer's 16 ms, give or take the machine's own timers (Wine's
        // run a couple of milliseconds late).
        if (latencyMs)
            QVERIFY2(log.contains(QRegularExpression(notice + QStringLiteral("(1[4-9]|20) мс"))),
                     qPrintable(log));
    }

    void secondStartWhileRunningIsRefused() {
        Rig rig;
        rig.loader->answerSyncFrom(1000000);
        const QString path = imageFile(makeImage(165, 160));
        QVERIFY(rig.runner->start(&rig.port, path, {}));
        QVERIFY(!rig.runner->start(&rig.port, path, {}));
        QCOMPARE(rig.dialog.messages(), QStringList{QStringLiteral("Прошивка уже идёт.")});
        rig.runner->cancel();
        QTRY_COMPARE_WITH_TIMEOUT(rig.finished.size(), 1, 10000);
        QCOMPARE(rig.engine, QStringList({"stop", "resume"}));
    }

    void failingWritesCloseThePort() {
        Rig rig;
        rig.port.setShortWrites(true);
        QVERIFY(rig.runner->start(&rig.port, imageFile(makeImage(165, 160)), {}));
        QTRY_COMPARE_WITH_TIMEOUT(rig.finished.size(), 1, 10000);
        QCOMPARE(rig.outcome(), Outcome::PortFailed);
        QCOMPARE(rig.engine, QStringList({"stop", "close"}));
        QCOMPARE(rig.dialog.messages(), QStringList(4, QStringLiteral("Ошибка записи в порт")));
        QVERIFY(!rig.port.isOpen());
    }

    // The sensor model runs its loader until go, then answers the exchange
    // engine's requests again on the same port.
    void sensorAnswersAgainAfterGo() {
        auto bus = std::make_shared<SimBus>();
        auto sensor = std::make_shared<SimSensor>();
        auto loader = std::make_shared<Stm8Bootloader>();
        bus->addDevice(sensor);
        sensor->enterBootloader(loader);
        loader->setOnGo(sensor->leaveBootloaderCallback());
        VirtualPort port(bus);
        port.open(QStringLiteral("COM1"));
        FirmwareRunner runner;
        QSignalSpy finished(&runner, &FirmwareRunner::finished);
        QVERIFY(runner.start(&port, imageFile(makeImage(165, 160)), {}));
        QTRY_COMPARE_WITH_TIMEOUT(finished.size(), 1, 60000);
        QCOMPARE(finished.front().front().value<Outcome>(), Outcome::Done);
        QVERIFY(!sensor->inBootloader());
        QCOMPARE(loader->memory(0x9000, 1), bytes({0x23}));

        const QByteArray poll = frame::request(1, 0xF0);
        QCOMPARE(port.write(poll), poll.size());
        QByteArray answer;
        for (int k = 0; k < 50 && answer.size() < 3; ++k) {
            port.waitForReadyRead(20);
            answer += port.read();
        }
        QVERIFY(answer.size() >= 3);
        QCOMPARE(quint8(answer.at(0)), quint8(0x3E));
        QCOMPARE(quint8(answer.at(1)), quint8(1));
        QCOMPARE(quint8(answer.at(2)), quint8(0xF0));
    }

    void destroyingTheRunnerStopsTheRun() {
        Rig rig;
        rig.loader->answerSyncFrom(1000000);
        QVERIFY(rig.runner->start(&rig.port, imageFile(makeImage(165, 160)), {}));
        QTRY_VERIFY_WITH_TIMEOUT(rig.port.writes().size() >= 2, 10000);
        rig.runner.reset();
        QVERIFY(rig.port.isOpen());
        QVERIFY(rig.portUsableHere());
    }
};

QTEST_GUILESS_MAIN(TstFirmwareRunner)
#include "tst_firmware_runner.moc"
