#include "direct_port.h"
#include "firmware/bootloader_session.h"
#include "sim/stm8_bootloader.h"
#include "test_support.h"

#include <QTest>
#include <memory>

using namespace firmware;

namespace {

using testsupport::bytes;

char xorOf(const QByteArray& b) {
    char x = 0;
    for (char c : b)
        x ^= c;
    return x;
}

QByteArray withXor(const QByteArray& b) {
    return b + QByteArray(1, xorOf(b));
}

constexpr quint8 Option[4] = {0x5A, 0x00, 0xFF, 0x3C};

// An image of `blocks` blocks whose block `programBlock` carries `mark` first.
QByteArray makeImage(int blocks, int programBlock, char mark = 0x23) {
    QByteArray image(64, '\0');
    for (int k = 0; k < 64; ++k)
        image[k] = char(0xC0 + k % 16);
    for (int k = 0; k < 4; ++k)
        image[19 + k] = char(Option[k]);
    for (int i = 0; i < blocks; ++i) {
        QByteArray block(128, '\0');
        for (int k = 0; k < 128; ++k)
            block[k] = char(i * 13 + k * 7 + 1);
        if (i == programBlock)
            block[0] = mark;
        image += block;
    }
    return image;
}

QByteArray blockOf(const QByteArray& image, int i) {
    return image.mid(64 + 128 * i, 128);
}

QByteArray addressBytes(quint32 a) {
    return withXor(bytes({int(a >> 24), int(a >> 16) & 0xFF, int(a >> 8) & 0xFF, int(a & 0xFF)}));
}

// The exchange in the order the loader follows: sync, erase, calibration
// erase when ticked, the four option bytes, the written blocks, go (with
// every written block read back before it when checked).
QList<QByteArray> expectedWire(const QByteArray& image, int firstProgramBlock,
                               quint32 programAddress, int eepromBlocks, bool ticked,
                               bool checked = false) {
    QList<QByteArray> w;
    w << bytes({0x7F}) << bytes({0x43, 0xBC}) << bytes({0xFF, 0x00});
    if (ticked)
        w << bytes({0x43, 0xBC}) << bytes({0xEE, 0x11});
    w << bytes({0x31, 0xCE}) << bytes({0x00, 0x00, 0x48, 0x03, 0x4B})
      << bytes({0x00, Option[0], Option[0]});
    w << bytes({0x31, 0xCE}) << bytes({0x00, 0x00, 0x48, 0x05, 0x4D})
      << bytes({0x00, Option[1], Option[1]});
    w << bytes({0x31, 0xCE}) << bytes({0x00, 0x00, 0x48, 0x07, 0x4F})
      << bytes({0x00, Option[2], Option[2]});
    w << bytes({0x31, 0xCE}) << bytes({0x00, 0x00, 0x48, 0x09, 0x41})
      << bytes({0x00, Option[3], Option[3]});
    const int blocks = (image.size() - 64) / 128;
    QList<quint32> written;
    auto block = [&](int i, quint32 address) {
        w << bytes({0x31, 0xCE}) << addressBytes(address)
          << withXor(QByteArray(1, '\x7F') + blockOf(image, i));
        written << address;
    };
    if (ticked)
        for (int i = 0; i < eepromBlocks; ++i)
            block(i, 0x4000 + 128 * i);
    for (int i = firstProgramBlock; i < blocks; ++i)
        block(i, programAddress + 128 * (i - firstProgramBlock));
    if (checked)
        for (quint32 address : written)
            w << bytes({0x11, 0xEE}) << addressBytes(address) << bytes({0x7F, 0x80});
    w << bytes({0x21, 0xDE});
    return w;
}

struct RecordingSink : SessionSink {
    QStringList logs;
    QList<bool> carets;
    QList<QPair<int, int>> progressSeen;
    QList<QPair<int, int>> checkSeen;
    QStringList messages;
    std::function<void(int)> onProgress;

    void logText(const QString& text, bool caretToEnd) override {
        logs << text;
        carets << caretToEnd;
    }
    void progress(int done, int total) override {
        progressSeen << qMakePair(done, total);
        if (onProgress)
            onProgress(done);
    }
    void checkProgress(int done, int total) override { checkSeen << qMakePair(done, total); }
    void message(const QString& text) override { messages << text; }
};

// A bootloader stand-in that acknowledges every write except the listed ones
// (counted from 0), which it answers 0x1F.
struct AckAllBut : SimDevice {
    QSet<int> nackAt;
    int count = 0;
    QList<SimReply> onHostBytes(const QByteArray&) override {
        return {SimReply{QByteArray(1, nackAt.contains(count++) ? '\x1F' : '\x79'), 0}};
    }
};

struct Rig {
    std::shared_ptr<Stm8Bootloader> loader = std::make_shared<Stm8Bootloader>();
    DirectPort port{loader};
    RecordingSink sink;
    std::atomic<bool> cancel{false};
    BootloaderSession session{port, sink, cancel};

    Rig() {
        // What the sensor held before: an old program and its calibrations.
        loader->setMemory(0x4000, QByteArray(0xC000, '\x5A'));
    }
    SessionResult run(const QByteArray& image, SensorType type, bool ticked, bool checked = false) {
        SessionParams p;
        p.type = type;
        p.resetCalibrations = ticked;
        p.verify = checked;
        return session.run(*CriImage::fromBytes(image), p);
    }
};

const QString Start = QStringLiteral("Прошиваем !  ");
const QString AfterOptions = QStringLiteral("Прошиваем !  \r\nOk! \r\n");
const QString Done = QStringLiteral("-----Готово------");
const QString Aborted = QStringLiteral("-----Прервано------");
const QString Failed = QStringLiteral("-----Ошибка------");
const QString NotFinished = QStringLiteral("Прошивка не завершена. Датчик остаётся в режиме "
                                           "загрузчика: не отключая питание, нажмите \"Пуск\" "
                                           "ещё раз.");

QString blockLines(int from, int to) {
    QString s;
    for (int n = from; n <= to; ++n)
        s += QStringLiteral("Block %1\r\n").arg(n);
    return s;
}

} // namespace

Q_DECLARE_METATYPE(SensorType)
Q_DECLARE_METATYPE(Outcome)

class TstBootloaderSession : public QObject {
    Q_OBJECT

private slots:
    void frames_data() {
        QTest::addColumn<QByteArray>("frame");
        QTest::addColumn<QByteArray>("expected");
        QTest::newRow("address 0x9000")
            << Stm8Link::addressFrame(0x9000) << bytes({0x00, 0x00, 0x90, 0x00, 0x90});
        QTest::newRow("address 0x8A00")
            << Stm8Link::addressFrame(0x8A00) << bytes({0x00, 0x00, 0x8A, 0x00, 0x8A});
        QTest::newRow("address 0x4380")
            << Stm8Link::addressFrame(0x4380) << bytes({0x00, 0x00, 0x43, 0x80, 0xC3});
        QTest::newRow("address 0x4809")
            << Stm8Link::addressFrame(0x4809) << bytes({0x00, 0x00, 0x48, 0x09, 0x41});
        QTest::newRow("block of 0xFF") << Stm8Link::dataFrame(QByteArray(128, '\xFF'))
                                       << bytes({0x7F}) + QByteArray(128, '\xFF') + bytes({0x7F});
        QTest::newRow("one option byte")
            << Stm8Link::dataFrame(bytes({0xA5})) << bytes({0x00, 0xA5, 0xA5});
        using Code = Stm8Link::Code;
        QTest::newRow("read memory")
            << Stm8Link::commandFrame(Code::ReadMemory) << bytes({0x11, 0xEE});
        QTest::newRow("go") << Stm8Link::commandFrame(Code::Go) << bytes({0x21, 0xDE});
        QTest::newRow("write memory")
            << Stm8Link::commandFrame(Code::WriteMemory) << bytes({0x31, 0xCE});
        QTest::newRow("erase") << Stm8Link::commandFrame(Code::Erase) << bytes({0x43, 0xBC});
        QTest::newRow("erase the program")
            << Stm8Link::eraseFrame(Stm8Link::EraseTarget::Program) << bytes({0xFF, 0x00});
        QTest::newRow("erase the data EEPROM")
            << Stm8Link::eraseFrame(Stm8Link::EraseTarget::DataEeprom) << bytes({0xEE, 0x11});
    }
    void frames() {
        QFETCH(QByteArray, frame);
        QFETCH(QByteArray, expected);
        QCOMPARE(frame.toHex(' '), expected.toHex(' '));
    }

    void fullRun_data() {
        QTest::addColumn<SensorType>("type");
        QTest::addColumn<bool>("ticked");
        QTest::addColumn<int>("firstProgramBlock");
        QTest::addColumn<quint32>("programAddress");
        QTest::addColumn<int>("eepromBlocks");
        QTest::newRow("LV300, calibrations reset")
            << SensorType::LV300 << true << 160 << 0x9000u << 8;
        QTest::newRow("LV200, calibrations kept")
            << SensorType::LV200 << false << 148 << 0x8A00u << 1;
        QTest::newRow("LV300, calibrations kept")
            << SensorType::LV300 << false << 160 << 0x9000u << 8;
        QTest::newRow("LV200, calibrations reset")
            << SensorType::LV200 << true << 148 << 0x8A00u << 1;
    }
    void fullRun() {
        QFETCH(SensorType, type);
        QFETCH(bool, ticked);
        QFETCH(int, firstProgramBlock);
        QFETCH(quint32, programAddress);
        QFETCH(int, eepromBlocks);
        const int programBlocks = 5;
        const QByteArray image = makeImage(firstProgramBlock + programBlocks, firstProgramBlock);
        Rig rig;
        const SessionResult result = rig.run(image, type, ticked);

        QCOMPARE(result.outcome, Outcome::Done);
        QVERIFY(rig.sink.messages.isEmpty());
        const QList<QByteArray> expected =
            expectedWire(image, firstProgramBlock, programAddress, eepromBlocks, ticked);
        QCOMPARE(rig.port.writes.size(), expected.size());
        for (int k = 0; k < expected.size(); ++k)
            QCOMPARE(rig.port.writes[k].toHex(' '), expected[k].toHex(' '));

        // The sensor's memory holds the image.
        for (int i = 0; i < programBlocks; ++i)
            QCOMPARE(rig.loader->memory(programAddress + 128 * i, 128),
                     blockOf(image, firstProgramBlock + i));
        QCOMPARE(rig.loader->memory(programAddress + 128 * programBlocks, 128),
                 QByteArray(128, '\0'));
        for (int i = 0; i < eepromBlocks; ++i)
            QCOMPARE(rig.loader->memory(0x4000 + 128 * i, 128),
                     ticked ? blockOf(image, i) : QByteArray(128, '\x5A'));
        QCOMPARE(rig.loader->memory(0x4000 + 128 * eepromBlocks, 128),
                 QByteArray(128, ticked ? '\0' : '\x5A'));
        for (int k = 0; k < 4; ++k)
            QCOMPARE(rig.loader->memory(0x4803 + 2 * k, 1), QByteArray(1, char(Option[k])));
        QCOMPARE(rig.loader->stats().goCommands, 1);

        const int total = programBlocks + (ticked ? eepromBlocks : 0);
        QCOMPARE(result.blocksToWrite, total);
        QCOMPARE(result.blocksWritten, total);
        QCOMPARE(rig.sink.progressSeen.front(), qMakePair(0, total));
        QCOMPARE(rig.sink.progressSeen.back(), qMakePair(total, total));
        QCOMPARE(rig.sink.progressSeen.size(), total + 1);
        const QString eepromLines =
            ticked ? blockLines(-firstProgramBlock - 1, -firstProgramBlock - 2 + eepromBlocks)
                   : QString();
        QCOMPARE(result.log, AfterOptions + eepromLines + blockLines(-1, programBlocks - 2) + Done);
    }

    void logTextAsShown() {
        Rig rig;
        rig.run(makeImage(162, 160), SensorType::LV300, true);
        const QStringList expected = {
            QStringLiteral("Прошиваем !  "),
            QStringLiteral("Прошиваем !  \r\nOk! \r\n"),
            QStringLiteral("Прошиваем !  \r\nOk! \r\nBlock -161\r\n"),
        };
        QCOMPARE(rig.sink.logs.mid(0, 3), expected);
        QCOMPARE(rig.sink.logs.size(), 2 + 10 + 1);
        QCOMPARE(rig.sink.logs[10], QStringLiteral("Прошиваем !  \r\nOk! \r\nBlock -161\r\nBlock "
                                                   "-160\r\nBlock -159\r\nBlock -158\r\nBlock "
                                                   "-157\r\nBlock -156\r\nBlock -155\r\nBlock "
                                                   "-154\r\nBlock -1\r\n"));
        QCOMPARE(rig.sink.logs.back(), rig.sink.logs[11] + QStringLiteral("-----Готово------"));
        // The caret goes to the end after block lines and at the end only.
        QCOMPARE(rig.sink.carets.mid(0, 2), QList<bool>({false, false}));
        QVERIFY(!rig.sink.carets.mid(2).contains(false));
    }

    void damagedFirstProgramBlock_data() {
        QTest::addColumn<SensorType>("type");
        QTest::addColumn<bool>("ticked");
        QTest::addColumn<int>("firstProgramBlock");
        QTest::addColumn<QString>("lines");
        QTest::newRow("LV300, ticked")
            << SensorType::LV300 << true << 160 << blockLines(-161, -154);
        QTest::newRow("LV200, unticked") << SensorType::LV200 << false << 148 << QString();
    }
    void damagedFirstProgramBlock() {
        QFETCH(SensorType, type);
        QFETCH(bool, ticked);
        QFETCH(int, firstProgramBlock);
        QFETCH(QString, lines);
        Rig rig;
        const QByteArray image = makeImage(firstProgramBlock + 3, firstProgramBlock, '\x24');
        const SessionResult result = rig.run(image, type, ticked);
        QCOMPARE(result.outcome, Outcome::Failed);
        QCOMPARE(rig.sink.messages, QStringList{QStringLiteral(" Файл поврежден ")});
        QCOMPARE(result.log, AfterOptions + lines + Failed);
        // Nothing of the program was sent, and the erased sensor is not started.
        const int fixed = ticked ? 5 + 12 : 3 + 12;
        const int eepromWrites = ticked ? 3 * 8 : 0;
        QCOMPARE(rig.port.writes.size(), fixed + eepromWrites);
        QCOMPARE(rig.loader->stats().goCommands, 0);
        QCOMPARE(rig.loader->stats().writes, 4 + (ticked ? 8 : 0));
    }

    void imageTooShortToReachProgram_data() {
        QTest::addColumn<bool>("ticked");
        QTest::addColumn<int>("blocks");
        QTest::addColumn<QString>("lines");
        QTest::newRow("ticked, 10 blocks") << true << 10 << blockLines(-161, -154);
        QTest::newRow("ticked, 3 blocks") << true << 3 << blockLines(-161, -159);
        QTest::newRow("unticked, 159 blocks") << false << 159 << QString();
        QTest::newRow("header only") << false << 0 << QString();
    }
    void imageTooShortToReachProgram() {
        QFETCH(bool, ticked);
        QFETCH(int, blocks);
        QFETCH(QString, lines);
        Rig rig;
        const SessionResult result = rig.run(makeImage(blocks, -1), SensorType::LV300, ticked);
        QCOMPARE(result.outcome, Outcome::Done);
        QVERIFY(rig.sink.messages.isEmpty());
        QCOMPARE(result.log, AfterOptions + lines + Done);
        QCOMPARE(rig.port.writes.back(), bytes({0x21, 0xDE}));
        for (const auto& w : rig.loader->writes())
            QVERIFY(w.address < 0x8000);
    }

    void finalShortBlockIsPaddedWithFF() {
        Rig rig;
        QByteArray image = makeImage(161, 160);
        image += QByteArray(10, '\x23');
        rig.run(image, SensorType::LV300, false);
        QCOMPARE(rig.loader->memory(0x9080, 128), QByteArray(10, '\x23') + QByteArray(118, '\xFF'));
        QVERIFY(rig.sink.messages.isEmpty());
    }

    // A read waits up to 256 ms; an exchange gives up after five such reads.
    void answerWithinFiveReads_data() {
        QTest::addColumn<int>("afterMs");
        QTest::addColumn<int>("answer");
        QTest::newRow("at once") << 0 << 0x79;
        QTest::newRow("in the fifth read") << 1200 << 0x79;
        QTest::newRow("after five reads") << 1300 << 255;
    }
    void answerWithinFiveReads() {
        struct Mute : SimDevice {
            QList<SimReply> onHostBytes(const QByteArray&) override { return {}; }
        };
        DirectPort port(std::make_shared<Mute>());
        QStringList messages;
        std::atomic<bool> cancel{false};
        Stm8Link link(port, cancel, [&](const QString& text) { messages << text; });
        QFETCH(int, afterMs);
        QFETCH(int, answer);
        port.inject(bytes({0x79}), qint64(afterMs) * 1000);
        QCOMPARE(int(link.exchange(bytes({0x43, 0xBC}))), answer);
        if (answer == 255)
            QCOMPARE(port.nowUs, qint64(5 * 256) * 1000);
        QVERIFY(messages.isEmpty());
    }

    // The exchange ends when the one-byte answer is in, not a 20 ms gap later.
    void exchangeEndsWithTheAnswer() {
        Rig rig;
        rig.port.write(bytes({0x7F}));
        const qint64 start = rig.port.nowUs = 10000;
        QCOMPARE(rig.port.read(), bytes({0x79}));
        Stm8Link link(rig.port, rig.cancel, [](const QString&) {});
        QCOMPARE(int(link.exchange(bytes({0x31, 0xCE}))), 0x79);
        const qint64 expected =
            2 * DirectPort::ByteUs + Stm8Bootloader::Timing{}.turnaroundUs + DirectPort::ByteUs;
        QCOMPARE(rig.port.nowUs - start, expected);
    }

    // The whole run waits for nothing but the line and the bootloader.
    void runTakesLineTimeOnly() {
        Rig rig;
        rig.run(makeImage(170, 160), SensorType::LV300, true);
        const auto s = rig.loader->stats();
        QCOMPARE(rig.port.nowUs, (s.hostBytes + s.replyBytes) * DirectPort::ByteUs + s.modelledUs);
    }

    void silentBootloader() {
        Rig rig;
        rig.loader->muteAfterSync(true);
        const SessionResult result = rig.run(makeImage(163, 160), SensorType::LV300, false);
        QCOMPARE(result.outcome, Outcome::Failed);
        QCOMPARE(rig.sink.messages, QStringList({QStringLiteral(" 31 0,блок ошибка"),
                                                 QStringLiteral("addr 0,блок ошибка"),
                                                 QStringLiteral(" data 0,блок ошибка")}));
        QCOMPARE(result.log, AfterOptions + Failed);
        QCOMPARE(rig.port.writes.size(), 1 + 2 + 12 + 3);
        QCOMPARE(rig.loader->stats().goCommands, 0);
        // sync, then 17 exchanges of five reads of 256 ms each
        QCOMPARE(rig.port.nowUs, DirectPort::ByteUs * 2 + 50 + 17 * 5 * 256 * 1000);
    }

    void dataRefused_data() {
        QTest::addColumn<bool>("ticked");
        QTest::addColumn<int>("nackBlock"); // counted among the written blocks
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("lines");
        QTest::newRow("first program block")
            << false << 0 << QStringLiteral(" data 0,блок ошибка") << QString();
        QTest::newRow("third program block")
            << false << 2 << QStringLiteral(" data 2,блок ошибка") << blockLines(-1, 0);
        QTest::newRow("third eeprom block")
            << true << 2 << QStringLiteral(" data -158,блок ошибка") << blockLines(-161, -160);
    }
    void dataRefused() {
        QFETCH(bool, ticked);
        QFETCH(int, nackBlock);
        QFETCH(QString, message);
        QFETCH(QString, lines);
        Rig rig;
        rig.loader->nackBlock(nackBlock);
        const SessionResult result = rig.run(makeImage(165, 160), SensorType::LV300, ticked);
        QCOMPARE(result.outcome, Outcome::Failed);
        QVERIFY(result.blockSent);
        QCOMPARE(rig.sink.messages, QStringList({QStringLiteral("Ошибка 1F !!!!"), message}));
        QCOMPARE(result.log, AfterOptions + lines + Failed);
        // The remaining blocks are abandoned, and the half-written program is
        // not started: the refused data is the last thing sent.
        QCOMPARE(rig.port.writes.size(), (ticked ? 5 : 3) + 12 + 3 * (nackBlock + 1));
        QCOMPARE(rig.port.writes.back().size(), 130);
        QCOMPARE(rig.loader->stats().goCommands, 0);
        QVERIFY(rig.loader->isSynchronised());
    }

    void lostAnswerOnData() {
        Rig rig;
        // answers after sync: 2 erase, 12 option bytes, then 31, address, data
        rig.loader->dropAnswer(2 + 12 + 3);
        const SessionResult result = rig.run(makeImage(163, 160), SensorType::LV300, false);
        QCOMPARE(rig.sink.messages, QStringList{QStringLiteral(" data 0,блок ошибка")});
        QCOMPARE(result.outcome, Outcome::Failed);
        QCOMPARE(result.log, AfterOptions + Failed);
        QCOMPARE(rig.loader->stats().goCommands, 0);
        // The bootloader did take the block.
        QCOMPARE(rig.loader->memory(0x9000, 1), bytes({0x23}));
    }

    void commandOrAddressRefusedGoesOn_data() {
        QTest::addColumn<int>("nackWrite");
        QTest::addColumn<QString>("message");
        // writes: sync, 2 erase, 12 option bytes, then 31 CE, address, data per block
        QTest::newRow("write command") << 15 << QStringLiteral(" 31 0,блок ошибка");
        QTest::newRow("address") << 16 << QStringLiteral("addr 0,блок ошибка");
        QTest::newRow("second block's address") << 19 << QStringLiteral("addr 1,блок ошибка");
    }
    void commandOrAddressRefusedGoesOn() {
        QFETCH(int, nackWrite);
        QFETCH(QString, message);
        auto device = std::make_shared<AckAllBut>();
        device->nackAt = {nackWrite};
        DirectPort port(device);
        RecordingSink sink;
        std::atomic<bool> cancel{false};
        BootloaderSession session(port, sink, cancel);
        const QByteArray image = makeImage(162, 160);
        const SessionResult result = session.run(*CriImage::fromBytes(image), {});
        QCOMPARE(sink.messages, QStringList({QStringLiteral("Ошибка 1F !!!!"), message}));
        // Every block is still attempted, but a block written without an
        // acknowledged command or address is not trusted: no go.
        QCOMPARE(result.outcome, Outcome::Failed);
        QCOMPARE(result.log, AfterOptions + blockLines(-1, 0) + Failed);
        QCOMPARE(port.writes, expectedWire(image, 160, 0x9000, 8, false).mid(0, 15 + 2 * 3));
    }

    void writeFailures_data() {
        QTest::addColumn<int>("engineCount");
        QTest::addColumn<QList<int>>("refused"); // write attempts, counted from 0
        QTest::addColumn<int>("vanishAt");       // the adapter goes with this attempt
        QTest::addColumn<QStringList>("messages");
        QTest::addColumn<Outcome>("outcome");
        QTest::addColumn<int>("sent");       // writes that reached the line
        QTest::addColumn<int>("countAfter"); // consecutive failures at the end
        const QString err = QStringLiteral("Ошибка записи в порт");
        QTest::newRow("sync write retried")
            << 0 << QList<int>{0} << -1 << QStringList{err} << Outcome::Done << 19 << 0;
        QTest::newRow("data write refused")
            << 0 << QList<int>{17} << -1 << QStringList{err, QStringLiteral(" data 0,блок ошибка")}
            << Outcome::Failed << 17 << 1;
        QTest::newRow("an option byte's writes refused")
            << 0 << QList<int>{3, 4, 5} << -1 << QStringList{err, err, err} << Outcome::Failed << 15
            << 0;
        QTest::newRow("engine already failed three times")
            << 3 << QList<int>{0} << -1 << QStringList{err} << Outcome::PortFailed << 0 << 3;
        QTest::newRow("four in a row")
            << 0 << QList<int>{0, 1, 2, 3, 4} << -1 << QStringList{err, err, err, err}
            << Outcome::PortFailed << 0 << 3;
        // An unplugged adapter ends the run without a box of its own.
        QTest::newRow("adapter pulled out on a write")
            << 0 << QList<int>{5, 6, 7, 8} << 5 << QStringList{} << Outcome::PortLost << 5 << 0;
        QTest::newRow("adapter pulled out while a block is programmed")
            << 0 << QList<int>{} << 17 << QStringList{} << Outcome::PortLost << 18 << 0;
    }
    void writeFailures() {
        QFETCH(int, engineCount);
        QFETCH(QList<int>, refused);
        QFETCH(int, vanishAt);
        QFETCH(QStringList, messages);
        QFETCH(Outcome, outcome);
        QFETCH(int, sent);
        QFETCH(int, countAfter);
        Rig rig;
        rig.port.refusedAttempts = QSet<int>(refused.begin(), refused.end());
        rig.port.onWrite = [&](int attempt, const QByteArray&) {
            if (attempt == vanishAt)
                rig.port.vanished = true;
        };
        SessionParams p;
        p.writeFailures = engineCount;
        const SessionResult result = rig.session.run(*CriImage::fromBytes(makeImage(161, 160)), p);
        QCOMPARE(rig.sink.messages, messages);
        QCOMPARE(result.outcome, outcome);
        QCOMPARE(rig.port.writes.size(), sent);
        QCOMPARE(result.writeFailures, countAfter);
        QCOMPARE(rig.loader->stats().goCommands, outcome == Outcome::Done ? 1 : 0);
        if (outcome == Outcome::Done)
            QVERIFY(result.log.endsWith(Done));
        else if (outcome == Outcome::Failed)
            QVERIFY(result.log.endsWith(QStringLiteral("\r\n-----Ошибка------")));
        else
            QVERIFY(result.log.endsWith(QStringLiteral("\r\n-----Прервано------")));
    }

    // A run that failed leaves the bootloader synchronised; the next run,
    // without a power cycle, takes its refusal of the sync byte as the
    // answer and writes the whole program.
    void secondRunAfterAFailedOne() {
        Rig rig;
        const QByteArray image = makeImage(165, 160);
        rig.loader->nackBlock(2);
        QCOMPARE(rig.run(image, SensorType::LV300, false).outcome, Outcome::Failed);
        QVERIFY(rig.loader->isSynchronised());
        rig.loader->nackBlock(-1);
        rig.port.writes.clear();
        rig.sink.messages.clear();
        const SessionResult result = rig.run(image, SensorType::LV300, false);
        QCOMPARE(result.outcome, Outcome::Done);
        QVERIFY(rig.sink.messages.isEmpty());
        // The first sync byte is taken for a command, the second refused.
        QList<QByteArray> expected = expectedWire(image, 160, 0x9000, 8, false);
        expected.prepend(bytes({0x7F}));
        QCOMPARE(rig.port.writes, expected);
        QCOMPARE(rig.loader->memory(0x9000, 5 * 128), image.mid(64 + 160 * 128));
        QCOMPARE(rig.loader->stats().goCommands, 1);
    }

    void readBack_data() {
        QTest::addColumn<quint32>("stuckAt"); // 0: none
        QTest::addColumn<int>("refusedRead"); // -1: none
        QTest::addColumn<Outcome>("outcome");
        QTest::addColumn<int>("badBlock"); // counted from 1 among the written
        QTest::addColumn<quint32>("badAddress");
        QTest::addColumn<QString>("box");
        QTest::newRow("all equal") << 0u << -1 << Outcome::Done << 0 << 0u << QString();
        QTest::newRow("a worn cell in the third program block")
            << 0x9105u << -1 << Outcome::Failed << 11 << 0x9100u
            << QStringLiteral("Проверка не пройдена: блок 11 (адрес 0x9100) отличается.");
        QTest::newRow("a worn cell in the first eeprom block")
            << 0x407Fu << -1 << Outcome::Failed << 1 << 0x4000u
            << QStringLiteral("Проверка не пройдена: блок 1 (адрес 0x4000) отличается.");
        QTest::newRow("fifth read refused")
            << 0u << 4 << Outcome::Failed << 5 << 0x4200u
            << QStringLiteral("Проверка не пройдена: блок 5 (адрес 0x4200) отличается.");
    }
    void readBack() {
        QFETCH(quint32, stuckAt);
        QFETCH(int, refusedRead);
        QFETCH(Outcome, outcome);
        QFETCH(int, badBlock);
        QFETCH(quint32, badAddress);
        QFETCH(QString, box);
        Rig rig;
        const QByteArray image = makeImage(165, 160);
        if (stuckAt)
            rig.loader->stuckByte(stuckAt, 0xA5);
        rig.loader->refuseRead(refusedRead);
        const SessionResult result = rig.run(image, SensorType::LV300, true, true);
        QCOMPARE(result.outcome, outcome);
        QList<QByteArray> expected = expectedWire(image, 160, 0x9000, 8, true, true);
        const int total = 13;
        QCOMPARE(result.blocksWritten, total);
        if (outcome == Outcome::Done) {
            QVERIFY(!result.checkFault);
            QCOMPARE(rig.port.writes, expected);
            QCOMPARE(result.log, AfterOptions + blockLines(-161, -154) + blockLines(-1, 3) + Done);
            QCOMPARE(rig.sink.checkSeen.size(), total + 1);
            QCOMPARE(rig.sink.checkSeen.back(), qMakePair(total, total));
            QCOMPARE(rig.loader->stats().goCommands, 1);
            QVERIFY(rig.sink.messages.isEmpty());
            return;
        }
        QVERIFY(result.checkFault);
        QCOMPARE(result.checkFault->block, badBlock);
        QCOMPARE(result.checkFault->address, badAddress);
        // The check stops at the first bad block, and nothing is started.
        const int writtenFrames = 5 + 12 + 3 * total;
        const int readFrames = refusedRead >= 0 ? 3 * (badBlock - 1) + 1 : 3 * badBlock;
        QCOMPARE(rig.port.writes, expected.mid(0, writtenFrames + readFrames));
        QCOMPARE(rig.loader->stats().goCommands, 0);
        QCOMPARE(rig.sink.checkSeen.back(), qMakePair(badBlock - 1, total));
        QCOMPARE(result.log, AfterOptions + blockLines(-161, -154) + blockLines(-1, 3) + Failed);
        QCOMPARE(rig.sink.messages,
                 refusedRead >= 0 ? QStringList{QStringLiteral("Ошибка 1F !!!!")} : QStringList{});
        QCOMPARE(firmware::closingMessages(result), QStringList({box, NotFinished}));
    }

    // An adapter that hears itself: the same frames, the run ends done with
    // the read-back check, and every echoed byte was taken off as echo, also
    // when the echo stops in the middle of the run.
    void echoingAdapter_data() {
        QTest::addColumn<int>("echoedWrites"); // -1: all
        QTest::newRow("echo throughout") << -1;
        QTest::newRow("echo stops mid-run") << 40;
    }
    void echoingAdapter() {
        QFETCH(int, echoedWrites);
        Rig rig;
        rig.port.onWrite = [&](int attempt, const QByteArray&) {
            rig.port.echo = echoedWrites < 0 || attempt < echoedWrites;
        };
        const QByteArray image = makeImage(165, 160);
        const SessionResult result = rig.run(image, SensorType::LV300, true, true);
        QCOMPARE(result.outcome, Outcome::Done);
        QVERIFY(rig.sink.messages.isEmpty());
        QCOMPARE(rig.port.writes, expectedWire(image, 160, 0x9000, 8, true, true));
        qint64 echoed = 0;
        for (qsizetype k = 0; k < rig.port.writes.size(); ++k)
            if (echoedWrites < 0 || k < echoedWrites)
                echoed += rig.port.writes[k].size();
        QCOMPARE(result.echoBytes, echoed);
    }

    void closingMessages_data() {
        QTest::addColumn<Outcome>("outcome");
        QTest::addColumn<bool>("blockSent");
        QTest::addColumn<int>("badBlock");
        QTest::addColumn<QStringList>("boxes");
        QTest::newRow("done") << Outcome::Done << true << 0 << QStringList{};
        QTest::newRow("failed") << Outcome::Failed << true << 0 << QStringList{NotFinished};
        QTest::newRow("check failed")
            << Outcome::Failed << true << 12
            << QStringList{
                   QStringLiteral("Проверка не пройдена: блок 12 (адрес 0x9A80) отличается."),
                   NotFinished};
        QTest::newRow("cancelled before the first block")
            << Outcome::Cancelled << false << 0 << QStringList{};
        QTest::newRow("cancelled after a block")
            << Outcome::Cancelled << true << 0
            << QStringList{QStringLiteral("Прошивка прервана. Программа датчика записана не "
                                          "полностью: повторите прошивку.")};
        QTest::newRow("port lost") << Outcome::PortLost << true << 0 << QStringList{};
        QTest::newRow("port failed") << Outcome::PortFailed << true << 0 << QStringList{};
    }
    void closingMessages() {
        QFETCH(Outcome, outcome);
        QFETCH(bool, blockSent);
        QFETCH(int, badBlock);
        QFETCH(QStringList, boxes);
        SessionResult r;
        r.outcome = outcome;
        r.blockSent = blockSent;
        if (badBlock)
            r.checkFault = CheckFault{badBlock, 0x9A80};
        QCOMPARE(firmware::closingMessages(r), boxes);
    }

    void cancelDuringSync() {
        Rig rig;
        rig.loader->answerSyncFrom(1000);
        rig.port.onWrite = [&](int attempt, const QByteArray&) {
            if (attempt == 6)
                rig.cancel = true;
        };
        const SessionResult result = rig.run(makeImage(165, 160), SensorType::LV300, true);
        QCOMPARE(result.outcome, Outcome::Cancelled);
        QCOMPARE(result.log, Start + QStringLiteral("\r\n") + Aborted);
        QVERIFY(!result.blockSent);
        QCOMPARE(rig.port.writes.size(), 7);
        for (const QByteArray& w : rig.port.writes)
            QCOMPARE(w, bytes({0x7F}));
        QVERIFY(rig.sink.messages.isEmpty());
    }

    void cancelDuringBlocks() {
        Rig rig;
        rig.sink.onProgress = [&](int done) {
            if (done == 2)
                rig.cancel = true;
        };
        const SessionResult result = rig.run(makeImage(165, 160), SensorType::LV300, false);
        QCOMPARE(result.outcome, Outcome::Cancelled);
        QCOMPARE(result.blocksWritten, 2);
        QVERIFY(result.blockSent);
        QCOMPARE(result.log, AfterOptions + blockLines(-1, 0) + Aborted);
        // Nothing after the second block: no further block, no go.
        QCOMPARE(rig.port.writes.size(), 3 + 12 + 2 * 3);
        QCOMPARE(rig.loader->stats().goCommands, 0);
        QVERIFY(rig.sink.messages.isEmpty());
    }

    // A cancel while the bootloader programs a block: its late answer is read
    // away, so the exchange engine does not take it for a sensor's answer.
    void cancelReadsAwayTheLateAnswer() {
        Rig rig;
        rig.port.onWrite = [&](int attempt, const QByteArray&) {
            if (attempt == 17) // the first block's data
                rig.cancel = true;
        };
        const SessionResult result = rig.run(makeImage(165, 160), SensorType::LV300, false);
        QCOMPARE(result.outcome, Outcome::Cancelled);
        QCOMPARE(rig.port.writes.size(), 18);
        QCOMPARE(rig.port.pending(), 0);
        QVERIFY(rig.port.read().isEmpty());
    }

    // A cancel between a block's address and its data: the block is finished,
    // so the bootloader waits at its command level and the next run goes
    // through at once instead of feeding sync bytes into the data.
    void cancelMidCommandLeavesTheLoaderReady() {
        Rig rig;
        const QByteArray image = makeImage(165, 160);
        rig.port.onWrite = [&](int attempt, const QByteArray&) {
            if (attempt == 16) // the first block's address
                rig.cancel = true;
        };
        const SessionResult cut = rig.run(image, SensorType::LV300, false);
        QCOMPARE(cut.outcome, Outcome::Cancelled);
        QCOMPARE(cut.blocksWritten, 1);
        QCOMPARE(rig.loader->stats().goCommands, 0);
        rig.port.onWrite = nullptr;
        rig.cancel = false;
        rig.port.writes.clear();
        QCOMPARE(rig.run(image, SensorType::LV300, false).outcome, Outcome::Done);
        // As after a failed run: the first sync byte is taken for a command,
        // the second refused.
        QCOMPARE(rig.port.writes.mid(0, 2), (QList<QByteArray>{bytes({0x7F}), bytes({0x7F})}));
        QCOMPARE(rig.port.writes.count(bytes({0x7F})), 2);
        QCOMPARE(rig.loader->memory(0x9000, 5 * 128), image.mid(64 + 160 * 128));
    }
};

QTEST_GUILESS_MAIN(TstBootloaderSession)
#include "tst_bootloader_session.moc"
