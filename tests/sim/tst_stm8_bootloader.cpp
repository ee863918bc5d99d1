#include "link/frame.h"
#include "sim/stm8_bootloader.h"
#include "test_support.h"

#include <QTest>

namespace {

using testsupport::bytes;

// All reply bytes of a list of replies, in order.
QByteArray joined(const QList<SimReply>& replies) {
    QByteArray b;
    for (const SimReply& r : replies)
        b += r.bytes;
    return b;
}

QByteArray addressFrame(quint32 a) {
    QByteArray b =
        bytes({int(a >> 24), int((a >> 16) & 0xFF), int((a >> 8) & 0xFF), int(a & 0xFF)});
    b.append(char(b[0] ^ b[1] ^ b[2] ^ b[3]));
    return b;
}

QByteArray dataFrame(const QByteArray& data) {
    QByteArray b(1, char(data.size() - 1));
    b += data;
    char x = 0;
    for (char c : b)
        x ^= c;
    b.append(x);
    return b;
}

const QByteArray ack(1, '\x79');
const QByteArray nack(1, '\x1F');

} // namespace

class TstStm8Bootloader : public QObject {
    Q_OBJECT

private slots:
    void answersSyncAndIgnoresOtherBytesBefore() {
        Stm8Bootloader b;
        QVERIFY(b.onHostBytes(bytes({0x31, 0x00, 0xF0})).isEmpty());
        QVERIFY(!b.isSynchronised());
        QCOMPARE(joined(b.onHostBytes(bytes({0x7F}))), ack);
        QVERIFY(b.isSynchronised());
    }

    void silentUntilTheNthSyncByte() {
        Stm8Bootloader b;
        b.answerSyncFrom(3);
        QVERIFY(b.onHostBytes(bytes({0x7F})).isEmpty());
        QVERIFY(b.onHostBytes(bytes({0x7F})).isEmpty());
        QCOMPARE(joined(b.onHostBytes(bytes({0x7F}))), ack);
    }

    // A sync byte once synchronised is a command byte; the next one, as its
    // complement, is refused, and commands are taken again after that.
    void syncByteWhenSynchronised() {
        Stm8Bootloader b;
        QCOMPARE(joined(b.onHostBytes(bytes({0x7F}))), ack);
        QVERIFY(b.onHostBytes(bytes({0x7F})).isEmpty());
        QCOMPARE(joined(b.onHostBytes(bytes({0x7F}))), nack);
        QCOMPARE(joined(b.onHostBytes(bytes({0x31, 0xCE}))), ack);
    }

    // Why the polling must not resume while the sensor waits in its loader:
    // a data poll to address 206 (31 CE F0 CRC) is a Write Memory command
    // with a valid complement, acknowledged; a poll to another address is
    // refused.
    void pollToAddress206IsAWriteCommand() {
        Stm8Bootloader b;
        QCOMPARE(joined(b.onHostBytes(bytes({0x7F}))), ack);
        QCOMPARE(joined(b.onHostBytes(frame::request(5, 0xF0))), nack + nack);
        QCOMPARE(joined(b.onHostBytes(frame::request(206, 0xF0))), ack);
    }

    // The loader keeps the rate of the sync byte it took: bytes at another
    // rate are garbage to it until it is powered up again.
    void keepsTheRateOfTheSync() {
        Stm8Bootloader b;
        QCOMPARE(joined(b.onHostBytesAt(bytes({0x7F}), 115200)), ack);
        QCOMPARE(b.baud(), 115200);
        QVERIFY(b.onHostBytesAt(bytes({0x31, 0xCE}), 19200).isEmpty());
        QCOMPARE(joined(b.onHostBytesAt(bytes({0x31, 0xCE}), 115200)), ack);
        b.powerUp();
        QCOMPARE(joined(b.onHostBytesAt(bytes({0x7F}), 19200)), ack);
        QCOMPARE(b.baud(), 19200);
    }

    void commandComplements_data() {
        QTest::addColumn<QByteArray>("command");
        QTest::addColumn<QByteArray>("answer");
        QTest::newRow("write") << bytes({0x31, 0xCE}) << ack;
        QTest::newRow("write, bad complement") << bytes({0x31, 0xCF}) << nack;
        QTest::newRow("erase") << bytes({0x43, 0xBC}) << ack;
        QTest::newRow("erase, bad complement") << bytes({0x43, 0x43}) << nack;
        QTest::newRow("go, bad complement") << bytes({0x21, 0xDF}) << nack;
        QTest::newRow("unknown command") << bytes({0x55, 0xAA}) << nack;
    }
    void commandComplements() {
        QFETCH(QByteArray, command);
        QFETCH(QByteArray, answer);
        Stm8Bootloader b;
        b.onHostBytes(bytes({0x7F}));
        QCOMPARE(joined(b.onHostBytes(command)), answer);
    }

    void writeMemoryChecks_data() {
        QTest::addColumn<quint32>("address");
        QTest::addColumn<bool>("badAddressCheck");
        QTest::addColumn<bool>("badDataCheck");
        QTest::addColumn<QByteArray>("addressAnswer");
        QTest::addColumn<QByteArray>("dataAnswer");
        QTest::newRow("flash") << 0x9000u << false << false << ack << ack;
        QTest::newRow("eeprom") << 0x4000u << false << false << ack << ack;
        QTest::newRow("last flash block") << 0xFF80u << false << false << ack << ack;
        QTest::newRow("bad address check") << 0x9000u << true << false << nack << QByteArray();
        QTest::newRow("bad data check") << 0x9000u << false << true << ack << nack;
        QTest::newRow("unmapped 0x5000") << 0x5000u << false << false << nack << QByteArray();
        QTest::newRow("below eeprom") << 0x3F80u << false << false << nack << QByteArray();
        QTest::newRow("beyond 16 bits") << 0x10000u << false << false << nack << QByteArray();
    }
    void writeMemoryChecks() {
        QFETCH(quint32, address);
        QFETCH(bool, badAddressCheck);
        QFETCH(bool, badDataCheck);
        QFETCH(QByteArray, addressAnswer);
        QFETCH(QByteArray, dataAnswer);
        Stm8Bootloader b;
        b.setMemory(0x4000, QByteArray(0xC000, '\x5A'));
        b.onHostBytes(bytes({0x7F}));
        QCOMPARE(joined(b.onHostBytes(bytes({0x31, 0xCE}))), ack);
        QByteArray a = addressFrame(address);
        if (badAddressCheck)
            a[4] = char(a[4] ^ 0x01);
        QCOMPARE(joined(b.onHostBytes(a)), addressAnswer);
        if (addressAnswer != ack)
            return;
        QByteArray data(128, '\0');
        for (int i = 0; i < 128; ++i)
            data[i] = char(i * 3);
        QByteArray d = dataFrame(data);
        if (badDataCheck)
            d[129] = char(d[129] ^ 0x80);
        const QList<SimReply> replies = b.onHostBytes(d);
        QCOMPARE(joined(replies), dataAnswer);
        if (dataAnswer == ack) {
            QCOMPARE(replies.front().delayUs, Stm8Bootloader::Timing{}.programUs);
            QCOMPARE(b.memory(address, 128), data);
        } else {
            QCOMPARE(b.memory(address, 128), QByteArray(128, '\x5A'));
        }
        // Back at the command level either way.
        QCOMPARE(joined(b.onHostBytes(bytes({0x31, 0xCE}))), ack);
    }

    void readMemory_data() {
        QTest::addColumn<quint32>("address");
        QTest::addColumn<QByteArray>("count");
        QTest::addColumn<bool>("badAddressCheck");
        QTest::addColumn<QByteArray>("answer"); // to the count
        QTest::newRow("a block of flash")
            << 0x9000u << bytes({0x7F, 0x80}) << false << ack + QByteArray(128, '\x77');
        QTest::newRow("one byte of eeprom")
            << 0x47FFu << bytes({0x00, 0xFF}) << false << ack + bytes({0x66});
        QTest::newRow("the last 256 bytes")
            << 0xFF00u << bytes({0xFF, 0x00}) << false << ack + QByteArray(256, '\x77');
        QTest::newRow("bad count complement") << 0x9000u << bytes({0x7F, 0x81}) << false << nack;
        QTest::newRow("past the end of memory") << 0xFF81u << bytes({0x7F, 0x80}) << false << nack;
        QTest::newRow("bad address check") << 0x9000u << QByteArray() << true << nack;
    }
    void readMemory() {
        QFETCH(quint32, address);
        QFETCH(QByteArray, count);
        QFETCH(bool, badAddressCheck);
        QFETCH(QByteArray, answer);
        Stm8Bootloader b;
        b.setMemory(0x4000, QByteArray(0x800, '\x66'));
        b.setMemory(0x8000, QByteArray(0x8000, '\x77'));
        b.onHostBytes(bytes({0x7F}));
        QCOMPARE(joined(b.onHostBytes(bytes({0x11, 0xEE}))), ack);
        QByteArray a = addressFrame(address);
        if (badAddressCheck) {
            a[4] = char(a[4] ^ 0x01);
            QCOMPARE(joined(b.onHostBytes(a)), answer);
        } else {
            QCOMPARE(joined(b.onHostBytes(a)), ack);
            QCOMPARE(joined(b.onHostBytes(count)), answer);
        }
        QCOMPARE(b.stats().reads, answer.size() > 1 ? 1 : 0);
        // Back at the command level either way.
        QCOMPARE(joined(b.onHostBytes(bytes({0x31, 0xCE}))), ack);
    }

    // A worn cell keeps its value through writes and erases; the k-th read
    // can be refused.
    void plantedFaults() {
        Stm8Bootloader b;
        b.stuckByte(0x9005, 0xA5);
        b.refuseRead(1);
        b.onHostBytes(bytes({0x7F}));
        b.onHostBytes(bytes({0x43, 0xBC}));
        b.onHostBytes(bytes({0xFF, 0x00}));
        QCOMPARE(b.memory(0x9005, 1), bytes({0xA5}));
        b.onHostBytes(bytes({0x31, 0xCE}));
        b.onHostBytes(addressFrame(0x9000));
        QCOMPARE(joined(b.onHostBytes(dataFrame(QByteArray(128, '\x01')))), ack);
        QByteArray expected(128, '\x01');
        expected[5] = char(0xA5);
        QCOMPARE(b.memory(0x9000, 128), expected);
        QCOMPARE(joined(b.onHostBytes(bytes({0x11, 0xEE}))), ack);
        b.onHostBytes(addressFrame(0x9000));
        QCOMPARE(joined(b.onHostBytes(bytes({0x7F, 0x80}))), ack + expected);
        QCOMPARE(joined(b.onHostBytes(bytes({0x11, 0xEE}))), nack);
        QCOMPARE(joined(b.onHostBytes(bytes({0x11, 0xEE}))), ack);
    }

    void writeArrivingByteByByte() {
        Stm8Bootloader b;
        b.onHostBytes(bytes({0x7F}));
        QByteArray all = bytes({0x31, 0xCE}) + addressFrame(0x4803) + bytes({0x00, 0x5C, 0x5C});
        QByteArray answers;
        for (char c : all)
            answers += joined(b.onHostBytes(QByteArray(1, c)));
        QCOMPARE(answers, ack + ack + ack);
        QCOMPARE(b.memory(0x4803, 1), bytes({0x5C}));
    }

    void erase_data() {
        QTest::addColumn<QByteArray>("code");
        QTest::addColumn<bool>("flashErased");
        QTest::addColumn<bool>("eepromErased");
        QTest::newRow("program memory") << bytes({0xFF, 0x00}) << true << false;
        QTest::newRow("data eeprom") << bytes({0xEE, 0x11}) << false << true;
        QTest::newRow("bad complement") << bytes({0xFF, 0x01}) << false << false;
        QTest::newRow("sector form not used") << bytes({0x00, 0xFF}) << false << false;
    }
    void erase() {
        QFETCH(QByteArray, code);
        QFETCH(bool, flashErased);
        QFETCH(bool, eepromErased);
        Stm8Bootloader b;
        b.setMemory(0x4000, QByteArray(0x800, '\x66'));
        b.setMemory(0x8000, QByteArray(0x8000, '\x77'));
        b.onHostBytes(bytes({0x7F}));
        QCOMPARE(joined(b.onHostBytes(bytes({0x43, 0xBC}))), ack);
        const QList<SimReply> replies = b.onHostBytes(code);
        const bool accepted = flashErased || eepromErased;
        QCOMPARE(joined(replies), accepted ? ack : nack);
        if (accepted)
            QCOMPARE(replies.front().delayUs, Stm8Bootloader::Timing{}.eraseUs);
        QCOMPARE(b.memory(0x8000, 0x8000), QByteArray(0x8000, flashErased ? '\0' : '\x77'));
        QCOMPARE(b.memory(0x4000, 0x800), QByteArray(0x800, eepromErased ? '\0' : '\x66'));
    }

    void goLeavesBootloaderModeAndCallsBack() {
        Stm8Bootloader b;
        int calls = 0;
        b.setOnGo([&] { ++calls; });
        b.onHostBytes(bytes({0x7F}));
        QCOMPARE(joined(b.onHostBytes(bytes({0x21, 0xDE}))), ack);
        QCOMPARE(calls, 1);
        QVERIFY(!b.isActive());
        QVERIFY(b.onHostBytes(bytes({0x7F})).isEmpty());
        // Powered up again with the loader running: memory kept, sync awaited.
        b.powerUp();
        QVERIFY(b.isActive());
        QVERIFY(!b.isSynchronised());
        QCOMPARE(joined(b.onHostBytes(bytes({0x7F}))), ack);
    }

    void nackOnTheKthBlock() {
        Stm8Bootloader b;
        b.nackBlock(1);
        b.onHostBytes(bytes({0x7F}));
        QByteArray answers;
        for (int k = 0; k < 3; ++k) {
            answers += joined(b.onHostBytes(bytes({0x31, 0xCE})));
            answers += joined(b.onHostBytes(addressFrame(0x9000 + 128 * k)));
            answers += joined(b.onHostBytes(dataFrame(QByteArray(128, char(k + 1)))));
        }
        QCOMPARE(answers, ack + ack + ack + ack + ack + nack + ack + ack + ack);
        QCOMPARE(b.memory(0x9080, 128), QByteArray(128, '\0'));
        QCOMPARE(b.memory(0x9100, 128), QByteArray(128, '\x03'));
    }

    void droppedAnswerStillCarriesOutTheCommand() {
        Stm8Bootloader b;
        b.dropAnswer(3);
        b.onHostBytes(bytes({0x7F}));
        QCOMPARE(joined(b.onHostBytes(bytes({0x31, 0xCE}))), ack);
        QCOMPARE(joined(b.onHostBytes(addressFrame(0x9000))), ack);
        QVERIFY(b.onHostBytes(dataFrame(QByteArray(128, '\x42'))).isEmpty());
        QCOMPARE(b.memory(0x9000, 128), QByteArray(128, '\x42'));
        QCOMPARE(joined(b.onHostBytes(bytes({0x31, 0xCE}))), ack);
    }

    void muteAfterSync() {
        Stm8Bootloader b;
        b.muteAfterSync(true);
        QCOMPARE(joined(b.onHostBytes(bytes({0x7F}))), ack);
        QVERIFY(b.onHostBytes(bytes({0x43, 0xBC})).isEmpty());
        QVERIFY(b.onHostBytes(bytes({0xFF, 0x00})).isEmpty());
        QCOMPARE(b.stats().erases, 1);
    }

    void offTheLineWhenPoweredDown() {
        Stm8Bootloader b;
        b.powerDown();
        QVERIFY(b.onHostBytes(bytes({0x7F})).isEmpty());
        QVERIFY(!b.isActive());
    }

    void statsCountWireBytesAndModelledTime() {
        Stm8Bootloader b;
        Stm8Bootloader::Timing t;
        t.turnaroundUs = 10;
        t.programUs = 1000;
        t.eraseUs = 5000;
        b.setTiming(t);
        b.onHostBytes(bytes({0x7F}));
        b.onHostBytes(bytes({0x43, 0xBC}));
        b.onHostBytes(bytes({0xFF, 0x00}));
        b.onHostBytes(bytes({0x31, 0xCE}));
        b.onHostBytes(addressFrame(0x8000));
        b.onHostBytes(dataFrame(QByteArray(128, '\x01')));
        const auto s = b.stats();
        QCOMPARE(s.hostBytes, 1 + 2 + 2 + 2 + 5 + 130);
        QCOMPARE(s.replyBytes, 6);
        QCOMPARE(s.modelledUs, 10 + 10 + 5000 + 10 + 10 + 1000);
        QCOMPARE(s.writes, 1);
        QCOMPARE(b.writes().size(), 1);
        QCOMPARE(b.writes().front().address, 0x8000u);
    }
};

QTEST_GUILESS_MAIN(TstStm8Bootloader)
#include "tst_stm8_bootloader.moc"
