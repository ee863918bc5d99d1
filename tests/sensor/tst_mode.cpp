// The mode byte and the smoothing byte: composed, decoded, named.

#include "sensor/mode.h"

#include <QtTest>

using namespace sensor;

class TestMode : public QObject {
    Q_OBJECT
private slots:
    void toByte_data();
    void toByte();
    void fromByte_data();
    void fromByte();
    void smoothing_data();
    void smoothing();
    void words_data();
    void words();
};

namespace {
// iinv 1, usredn 2, D_4096 4, tartab1 8, per_sents 16
Mode modeOf(std::optional<Output> output, int flags) {
    Mode m;
    m.output = output;
    m.inverted = flags & 1;
    m.averaging = flags & 2;
    m.range4096 = flags & 4;
    m.litres = flags & 8;
    m.percent = flags & 16;
    return m;
}
} // namespace

void TestMode::toByte_data() {
    QTest::addColumn<int>("output");
    QTest::addColumn<int>("flags");
    QTest::addColumn<int>("expected");
    QTest::newRow("RS-485 bare") << int(Output::Rs485) << 0 << 0;
    QTest::newRow("analogue") << int(Output::Analog) << 0 << 2;
    QTest::newRow("frequency") << int(Output::Frequency) << 0 << 4;
    QTest::newRow("periodic") << int(Output::Periodic) << 0 << 6;
    QTest::newRow("periodic RS-485") << int(Output::PeriodicRs485) << 0 << 16;
    QTest::newRow("analogue, averaging, litres") << int(Output::Analog) << (2 | 8) << 74;
    QTest::newRow("inverted") << int(Output::Rs485) << 1 << 1;
    QTest::newRow("range 4096") << int(Output::Rs485) << 4 << 128;
    QTest::newRow("percent") << int(Output::Rs485) << 16 << 32;
    QTest::newRow("everything") << int(Output::PeriodicRs485) << 31 << 16 + 1 + 8 + 128 + 64 + 32;
    QTest::newRow("no output: as RS-485") << -1 << 1 << 1;
}

void TestMode::toByte() {
    QFETCH(int, output);
    QFETCH(int, flags);
    QFETCH(int, expected);
    const auto o = output < 0 ? std::nullopt : std::optional<Output>(Output(output));
    QCOMPARE(int(modeOf(o, flags).toByte()), expected);
}

void TestMode::fromByte_data() {
    QTest::addColumn<int>("m");
    QTest::addColumn<bool>("fw172");
    QTest::addColumn<int>("output"); // -1: a pattern no output has
    QTest::addColumn<int>("flags");
    QTest::addColumn<int>("range");
    QTest::newRow("0x00") << 0x00 << false << int(Output::Rs485) << 0 << 1024;
    QTest::newRow("0x00 with 172") << 0x00 << true << int(Output::Rs485) << 0 << 1024;
    QTest::newRow("0x80") << 0x80 << false << int(Output::Rs485) << 4 << 4096;
    QTest::newRow("0x80 with 172") << 0x80 << true << int(Output::Rs485) << 4 << 256;
    QTest::newRow("0x4A") << 0x4A << false << int(Output::Analog) << (2 | 8) << 1024;
    QTest::newRow("0x25") << 0x25 << false << int(Output::Frequency) << (1 | 16) << 1024;
    QTest::newRow("0x06") << 0x06 << false << int(Output::Periodic) << 0 << 1024;
    QTest::newRow("0x10") << 0x10 << false << int(Output::PeriodicRs485) << 0 << 1024;
    QTest::newRow("0x12") << 0x12 << false << -1 << 0 << 1024;
    QTest::newRow("0x14") << 0x14 << false << -1 << 0 << 1024;
    QTest::newRow("0x9F") << 0x9F << false << -1 << (1 | 2 | 4) << 4096;
}

void TestMode::fromByte() {
    QFETCH(int, m);
    QFETCH(bool, fw172);
    QFETCH(int, output);
    QFETCH(int, flags);
    QFETCH(int, range);
    const Mode d = Mode::fromByte(quint8(m));
    const auto o = output < 0 ? std::nullopt : std::optional<Output>(Output(output));
    QCOMPARE(d, modeOf(o, flags));
    QCOMPARE(levelRangeOf(d, fw172), range);
    if (o) // every byte with a known output comes back as it was
        QCOMPARE(int(d.toByte()), m);
}

void TestMode::smoothing_data() {
    QTest::addColumn<int>("value");
    QTest::addColumn<bool>("off");
    QTest::addColumn<int>("byte");
    QTest::newRow("5, compensation off") << 5 << true << 0x85;
    QTest::newRow("0, compensation on") << 0 << false << 0x00;
    QTest::newRow("15") << 15 << false << 0x0F;
    QTest::newRow("only the low bits are sent") << 0x7A << false << 0x0A;
}

void TestMode::smoothing() {
    QFETCH(int, value);
    QFETCH(bool, off);
    QFETCH(int, byte);
    QCOMPARE(int(Smoothing{value, off}.toByte()), byte);
    QCOMPARE(Smoothing::fromByte(quint8(byte)), (Smoothing{value & 0x0F, off}));
    // Bits 4-6 of a reported byte are not part of the value.
    QCOMPARE(Smoothing::fromByte(quint8(byte | 0x70)), (Smoothing{value & 0x0F, off}));
}

void TestMode::words_data() {
    QTest::addColumn<int>("m");
    QTest::addColumn<QString>("output");
    QTest::addColumn<QStringList>("flags");
    QTest::newRow("0x00") << 0x00 << "rs485" << QStringList{};
    QTest::newRow("0xEB") << 0xEB << "analog"
                          << QStringList{"invert", "averaging", "percent", "litres", "range4096"};
    QTest::newRow("0x14") << 0x14 << "unknown" << QStringList{};
    QTest::newRow("0x10") << 0x10 << "periodic-rs485" << QStringList{};
}

void TestMode::words() {
    QFETCH(int, m);
    QFETCH(QString, output);
    QFETCH(QStringList, flags);
    QCOMPARE(outputName(quint8(m)), output);
    QCOMPARE(flagNames(quint8(m)), flags);
    const auto named = outputNamed(output);
    QCOMPARE(named.has_value(), output != "unknown");
    if (named)
        QCOMPARE(outputName(outputBits(*named)), output);
}

QTEST_APPLESS_MAIN(TestMode)
#include "tst_mode.moc"
