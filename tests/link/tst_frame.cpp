#include "link/frame.h"

#include <QTest>

class TestFrame : public QObject {
    Q_OBJECT
private slots:
    void crcVectors_data();
    void crcVectors();
    void crcStepEqualsTable();
    void withCrc_data();
    void withCrc();
    void bigEndian32_data();
    void bigEndian32();
    void bigEndian32RefusesNegative();
    void answerCheck_data();
    void answerCheck();
};

static QByteArray hex(const char* h) {
    return QByteArray::fromHex(h);
}

void TestFrame::crcVectors_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("expected");
    QTest::newRow("empty") << QByteArray() << 0x00;
    QTest::newRow("check value 123456789") << QByteArray("123456789") << 0xA1;
    QTest::newRow("poll 31 FF") << hex("31FF") << 0xDC;
    QTest::newRow("data request addr 1") << hex("3101F0") << 0xC5;
    QTest::newRow("identity addr 1") << hex("3101FC") << 0x66;
    QTest::newRow("data request addr 10") << hex("310AF0") << 0xE6;
    QTest::newRow("mode RS-485 addr 1") << hex("3101F200") << 0x64;
}

void TestFrame::crcVectors() {
    QFETCH(QByteArray, bytes);
    QFETCH(int, expected);
    QCOMPARE(int(frame::crcOf(bytes)), expected);
}

// The bitwise step must equal the published CRC-8/MAXIM table for every input.
void TestFrame::crcStepEqualsTable() {
    for (int v = 0; v < 256; ++v) {
        quint8 ref = 0;
        quint8 x = static_cast<quint8>(v);
        for (int i = 0; i < 8; ++i) {
            const bool lsb = (x ^ ref) & 1;
            ref >>= 1;
            if (lsb)
                ref ^= 0x8C;
            x >>= 1;
        }
        quint8 cr = 0;
        const quint8 stepped = frame::crc(static_cast<quint8>(v), cr);
        QCOMPARE(int(stepped), int(ref));
        QCOMPARE(int(cr), int(ref)); // stored back into the running value
    }
}

void TestFrame::withCrc_data() {
    QTest::addColumn<QByteArray>("in");
    QTest::addColumn<QByteArray>("out");
    QTest::newRow("empty gives 00") << QByteArray() << hex("00");
    QTest::newRow("network poll") << hex("31FF") << hex("31FFDC");
    QTest::newRow("data poll addr 1") << hex("3101F0") << hex("3101F0C5");
    QTest::newRow("identity addr 1") << hex("3101FC") << hex("3101FC66");
}

void TestFrame::withCrc() {
    QFETCH(QByteArray, in);
    QFETCH(QByteArray, out);
    QCOMPARE(frame::withCrc(in), out);
    // A frame followed by its CRC has a CRC of zero over all its bytes.
    QCOMPARE(int(frame::crcOf(frame::withCrc(in))), 0);
}

void TestFrame::bigEndian32_data() {
    QTest::addColumn<int>("num");
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("0") << 0 << hex("00000000");
    QTest::newRow("1") << 1 << hex("00000001");
    QTest::newRow("12345") << 12345 << hex("00003039");
    QTest::newRow("2000000000") << 2000000000 << hex("77359400");
    QTest::newRow("int max") << 2147483647 << hex("7FFFFFFF");
}

void TestFrame::bigEndian32() {
    QFETCH(int, num);
    QFETCH(QByteArray, bytes);
    const auto r = frame::bigEndian32(num);
    QVERIFY(r.has_value());
    QCOMPARE(*r, bytes);
}

void TestFrame::bigEndian32RefusesNegative() {
    QVERIFY(!frame::bigEndian32(-1).has_value());
    QVERIFY(!frame::bigEndian32(-2147483647 - 1).has_value());
}

void TestFrame::answerCheck_data() {
    QTest::addColumn<QByteArray>("answer");
    QTest::addColumn<bool>("intact");
    QTest::addColumn<int>("computed");
    QTest::newRow("empty") << QByteArray() << false << 0;
    QTest::newRow("one byte 00") << hex("00") << true << 0;
    QTest::newRow("intact F5 answer")
        << frame::withCrc(hex("3E01F5")) << true << int(frame::crcOf(hex("3E01F5")));
    QByteArray bad = frame::withCrc(hex("3E01F5"));
    bad[3] = char(bad[3] ^ 0x01);
    QTest::newRow("flipped CRC") << bad << false << int(frame::crcOf(hex("3E01F5")));
}

void TestFrame::answerCheck() {
    QFETCH(QByteArray, answer);
    QFETCH(bool, intact);
    QFETCH(int, computed);
    QCOMPARE(frame::answerIntact(answer), intact);
    QCOMPARE(int(frame::computedCrc(answer)), computed);
}

QTEST_APPLESS_MAIN(TestFrame)
#include "tst_frame.moc"
