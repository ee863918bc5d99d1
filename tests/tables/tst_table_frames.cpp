// The litres table on the wire: read request, write request, read answer.
#include "link/frame.h"
#include "tables/curves.h"
#include "tables/table_frames.h"

#include <QTest>

using tables::TableTexts;

namespace {

// A read answer from address 1 carrying the given 80 data bytes.
QByteArray readAnswer(const QByteArray& data) {
    return frame::withCrc(QByteArray::fromHex("3E01EF") + data);
}

// 80 data bytes: reading of point i = 1000 + i, litres of point i = 50 * i.
QByteArray distinctData() {
    QByteArray d;
    for (int i = 0; i < 20; ++i)
        d += QByteArray::fromHex(QByteArray::number(1000 + i, 16).rightJustified(4, '0'));
    for (int i = 0; i < 20; ++i)
        d += QByteArray::fromHex(QByteArray::number(50 * i, 16).rightJustified(4, '0'));
    return d;
}

} // namespace

class TestTableFrames : public QObject {
    Q_OBJECT
private slots:
    void initialTexts();
    void readRequest();
    void valueOnTheWire_data();
    void valueOnTheWire();
    void pointOrderOnTheWire();
    void accessCodeByFirmware_data();
    void accessCodeByFirmware();
    void writeLogLine();
    void writeRefused_data();
    void writeRefused();
    void decodeAnswer();
    void decodeAnswerWithBadCheckByte();
    void decodeRefused_data();
    void decodeRefused();
    void nonMonotonicPoints_data();
    void nonMonotonicPoints();
};

void TestTableFrames::initialTexts() {
    const TableTexts t = tables::initialTable();
    QCOMPARE(t.readings[19], QString("4096"));
    QCOMPARE(t.readings[18], QString("3800"));
    QCOMPARE(t.readings[1], QString("400"));
    QCOMPARE(t.readings[0], QString("200"));
    QCOMPARE(t.litres, t.readings);
}

void TestTableFrames::readRequest() {
    const QByteArray r = tables::readRequest(5);
    QCOMPARE(r.left(3), QByteArray::fromHex("3105EF"));
    QCOMPARE(r.size(), 4);
    QVERIFY(frame::answerIntact(r));
}

void TestTableFrames::valueOnTheWire_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("300") << "300" << QByteArray::fromHex("012C");
    QTest::newRow("4096") << "4096" << QByteArray::fromHex("1000");
    QTest::newRow("0") << "0" << QByteArray::fromHex("0000");
    QTest::newRow("32767") << "32767" << QByteArray::fromHex("7FFF");
    QTest::newRow("blanks around") << " 300 " << QByteArray::fromHex("012C");
    QTest::newRow("leading zeros") << "0255" << QByteArray::fromHex("00FF");
    QTest::newRow("many leading zeros") << "0000300" << QByteArray::fromHex("012C");
}

void TestTableFrames::valueOnTheWire() {
    QFETCH(QString, text);
    QFETCH(QByteArray, bytes);
    TableTexts t = tables::initialTable();
    t.litres[7] = text; // litres follow the 20 readings: data bytes 40 + 2*7
    const auto w = tables::writeRequest(1, 170, t);
    QVERIFY2(w.frame, qPrintable(w.error));
    QCOMPARE(w.frame->mid(3 + 40 + 14, 2), bytes);
}

void TestTableFrames::pointOrderOnTheWire() {
    const auto w = tables::writeRequest(9, 170, tables::initialTable());
    QVERIFY(w.frame);
    const QByteArray f = *w.frame;
    QCOMPARE(f.size(), 84);
    QCOMPARE(f.left(3), QByteArray::fromHex("3109F1"));
    // Point 0 (200) first, point 19 (4096) last, in each column.
    QCOMPARE(f.mid(3, 4), QByteArray::fromHex("00C80190"));
    QCOMPARE(f.mid(3 + 38, 2), QByteArray::fromHex("1000"));
    QCOMPARE(f.mid(3 + 40, 2), QByteArray::fromHex("00C8"));
    QCOMPARE(f.mid(3 + 78, 2), QByteArray::fromHex("1000"));
    QVERIFY(frame::answerIntact(f));
}

void TestTableFrames::accessCodeByFirmware_data() {
    QTest::addColumn<int>("firmware");
    QTest::addColumn<int>("size");
    QTest::addColumn<QByteArray>("afterCommand");
    QTest::newRow("174") << 174 << 84 << QByteArray::fromHex("00C8");
    QTest::newRow("175") << 175 << 87 << QByteArray::fromHex("5AC39600C8");
    QTest::newRow("176") << 176 << 87 << QByteArray::fromHex("5AC39600C8");
}

void TestTableFrames::accessCodeByFirmware() {
    QFETCH(int, firmware);
    QFETCH(int, size);
    QFETCH(QByteArray, afterCommand);
    const auto w = tables::writeRequest(1, firmware, tables::initialTable());
    QVERIFY(w.frame);
    QCOMPARE(w.frame->size(), size);
    QCOMPARE(w.frame->mid(3, afterCommand.size()), afterCommand);
    QVERIFY(frame::answerIntact(*w.frame));
}

void TestTableFrames::writeLogLine() {
    TableTexts t = tables::initialTable();
    t.readings[0] = " 150";
    const auto w = tables::writeRequest(1, 176, t);
    QVERIFY(w.frame);
    QVERIFY(w.logLine.startsWith("Cmd_SetTable =   150, 400, 600,"));
    QVERIFY(w.logLine.contains(" 3800, 4096, 200, 400,"));
    QVERIFY(w.logLine.endsWith(" 3800, 4096,"));
    QCOMPARE(w.logLine.count(','), 40);
}

void TestTableFrames::writeRefused_data() {
    QTest::addColumn<bool>("litres");
    QTest::addColumn<int>("point");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("message");
    const QString tail = QStringLiteral(". Нужно целое число от 0 до 32767.");
    QTest::newRow("letters") << false << 19 << "abc"
                             << "Таблица не записана: в строке 1 столбца \"Показания датчика\" "
                                "стоит \"abc\"" +
                                    tail;
    QTest::newRow("empty") << true << 0 << ""
                           << "Таблица не записана: в строке 20 столбца \"Литры\" стоит \"\"" +
                                  tail;
    QTest::newRow("too big") << true << 5 << "32768"
                             << "Таблица не записана: в строке 15 столбца \"Литры\" стоит "
                                "\"32768\"" +
                                    tail;
    QTest::newRow("many digits") << true << 6 << "0099999999999"
                                 << "Таблица не записана: в строке 14 столбца \"Литры\" стоит "
                                    "\"0099999999999\"" +
                                        tail;
    QTest::newRow("negative") << false << 10 << "-1"
                              << "Таблица не записана: в строке 10 столбца \"Показания датчика\" "
                                 "стоит \"-1\"" +
                                     tail;
    QTest::newRow("decimal comma") << true << 1 << "3,5"
                                   << "Таблица не записана: в строке 19 столбца \"Литры\" стоит "
                                      "\"3,5\"" +
                                          tail;
    QTest::newRow("blank inside") << true << 2 << "1 2"
                                  << "Таблица не записана: в строке 18 столбца \"Литры\" стоит "
                                     "\"1 2\"" +
                                         tail;
}

void TestTableFrames::writeRefused() {
    QFETCH(bool, litres);
    QFETCH(int, point);
    QFETCH(QString, text);
    QFETCH(QString, message);
    TableTexts t = tables::initialTable();
    (litres ? t.litres : t.readings)[size_t(point)] = text;
    const auto w = tables::writeRequest(1, 176, t);
    QVERIFY(!w.frame);
    QCOMPARE(w.error, message);
    QVERIFY(w.logLine.isEmpty());
}

void TestTableFrames::decodeAnswer() {
    const auto d = tables::decodeAnswer(readAnswer(distinctData()));
    QVERIFY2(d.table, qPrintable(d.error));
    QCOMPARE(d.table->readings[0], QString("1000"));
    QCOMPARE(d.table->readings[19], QString("1019"));
    QCOMPARE(d.table->litres[0], QString("0"));
    QCOMPARE(d.table->litres[19], QString("950"));
    QVERIFY(d.result.startsWith("1000, 1001, "));
    QVERIFY(d.result.contains("1019, 0, 50, 100, "));
    QVERIFY(d.result.endsWith("900, 950, "));
    QCOMPARE(d.result.count(", "), 40);
}

void TestTableFrames::decodeAnswerWithBadCheckByte() {
    QByteArray a = readAnswer(distinctData());
    const quint8 good = quint8(a.back());
    a.back() = char(good ^ 0x5A);
    const auto d = tables::decodeAnswer(a);
    QVERIFY(d.table);
    QCOMPARE(d.table->readings[3], QString("1003"));
    const QString goodHex = QString::number(good, 16).toUpper();
    const QString badHex = QString::number(quint8(good ^ 0x5A), 16).toUpper();
    QVERIFY(d.txtRecText.startsWith("3E 1 EF 3 E8 3 E9 "));
    QVERIFY(d.txtRecText.endsWith(" " + badHex + " " + goodHex + " " + goodHex));
}

void TestTableFrames::decodeRefused_data() {
    QTest::addColumn<QByteArray>("answer");
    QTest::addColumn<QString>("error");
    const QByteArray full = readAnswer(distinctData());
    QTest::newRow("83 bytes") << full.left(83) << "ответ из 83 байт, а нужно 84.";
    QTest::newRow("4 bytes") << frame::withCrc(QByteArray::fromHex("3E01EF"))
                             << "ответ из 4 байт, а нужно 84.";
    QByteArray d = distinctData();
    d[2 * 4] = char(0x80); // reading of point 4 becomes 0x8000
    d[2 * 4 + 1] = char(0x00);
    QTest::newRow("reading 0x8000") << readAnswer(d)
                                    << "в строке 16 столбца \"Показания датчика\" значение 32768 "
                                       "больше 32767.";
    QByteArray e = distinctData();
    e[40 + 2 * 19] = char(0xFF);
    e[40 + 2 * 19 + 1] = char(0xFF);
    QTest::newRow("litres 0xFFFF")
        << readAnswer(e) << "в строке 1 столбца \"Литры\" значение 65535 больше 32767.";
}

void TestTableFrames::decodeRefused() {
    QFETCH(QByteArray, answer);
    QFETCH(QString, error);
    const auto d = tables::decodeAnswer(answer);
    QVERIFY(!d.table);
    QCOMPARE(d.error, error);
    QVERIFY(d.result.isEmpty());
    // The bytes are still shown for the technician.
    QVERIFY(d.txtRecText.startsWith("3E 1 EF "));
}

void TestTableFrames::nonMonotonicPoints_data() {
    // Edits of the initial table (point i: 200 * (i + 1) in both columns):
    // column ("r" readings, "l" litres), point, text; then the points out of
    // order and the question asked before writing.
    QTest::addColumn<QStringList>("edits");
    QTest::addColumn<QList<int>>("points");
    QTest::addColumn<QString>("question");
    QTest::newRow("initial") << QStringList{} << QList<int>{} << QString();
    QTest::newRow("reading falls back")
        << QStringList{"r", "5", "900"} << QList<int>{5}
        << QString("Таблица не монотонна в точках 5. Записать всё равно?");
    QTest::newRow("equal readings, litres lower")
        << QStringList{"r", "2", "400", "l", "12", "2000"} << QList<int>{2, 12}
        << QString("Таблица не монотонна в точках 2, 12. Записать всё равно?");
    QTest::newRow("equal litres are a level stretch")
        << QStringList{"l", "7", "1400"} << QList<int>{} << QString();
    // A box that is not a number is the write's business; the point after
    // it is compared with the point before it.
    QTest::newRow("bad box skipped")
        << QStringList{"r", "3", "abc", "r", "4", "500"} << QList<int>{4}
        << QString("Таблица не монотонна в точках 4. Записать всё равно?");
}

void TestTableFrames::nonMonotonicPoints() {
    QFETCH(QStringList, edits);
    QFETCH(QList<int>, points);
    QFETCH(QString, question);
    TableTexts t = tables::initialTable();
    for (int i = 0; i + 2 < edits.size(); i += 3)
        (edits[i] == "r" ? t.readings : t.litres)[size_t(edits[i + 1].toInt())] = edits[i + 2];
    QCOMPARE(tables::nonMonotonicPoints(t), points);
    if (!points.isEmpty())
        QCOMPARE(tables::nonMonotonicQuestion(points), question);
}

QTEST_GUILESS_MAIN(TestTableFrames)
#include "tst_table_frames.moc"
