// The gateway command line built from finished request frames.

#include "generator/gateway.h"

#include <QtTest>

using namespace generator;

class TestGatewayLine : public QObject {
    Q_OBJECT
private slots:
    void hexOfFrame_data();
    void hexOfFrame();
    void line_data();
    void line();
};

void TestGatewayLine::hexOfFrame_data() {
    QTest::addColumn<QByteArray>("frame");
    QTest::addColumn<QString>("hex");
    QTest::newRow("empty") << QByteArray() << "";
    QTest::newRow("zero byte") << QByteArray(1, '\0') << "00";
    QTest::newRow("0x0A") << QByteArray("\x0A", 1) << "0A";
    QTest::newRow("0xFF") << QByteArray("\xFF", 1) << "FF";
    QTest::newRow("all nibbles") << QByteArray::fromHex("0123456789ABCDEFFEDCBA98")
                                 << "0123456789ABCDEFFEDCBA98";
}

void TestGatewayLine::hexOfFrame() {
    QFETCH(QByteArray, frame);
    QFETCH(QString, hex);
    QCOMPARE(HexOfFrame(frame), hex);
}

void TestGatewayLine::line_data() {
    QTest::addColumn<QByteArray>("frame");
    QTest::addColumn<int>("answerLength");
    QTest::addColumn<QString>("line");
    QTest::newRow("status of address 1")
        << QByteArray::fromHex("3101F0C5") << 23 << "S485=4:23:1500:19200:3101F0C5";
    QTest::newRow("identity of address 1")
        << QByteArray::fromHex("3101FC66") << 10 << "S485=4:10:1500:19200:3101FC66";
    QTest::newRow("status of address 10")
        << QByteArray::fromHex("310AF0E6") << 23 << "S485=4:23:1500:19200:310AF0E6";
    QTest::newRow("mode RS-485 for address 1")
        << QByteArray::fromHex("3101F20064") << 5 << "S485=5:5:1500:19200:3101F20064";
    QTest::newRow("shift with the write-access code: length 9")
        << QByteArray::fromHex("3101F45AC396FFFFF8") << 10
        << "S485=9:10:1500:19200:3101F45AC396FFFFF8";
}

void TestGatewayLine::line() {
    QFETCH(QByteArray, frame);
    QFETCH(int, answerLength);
    QFETCH(QString, line);
    QCOMPARE(BuildGatewayLine(frame, answerLength), line);
}

QTEST_APPLESS_MAIN(TestGatewayLine)
#include "tst_gateway_line.moc"
