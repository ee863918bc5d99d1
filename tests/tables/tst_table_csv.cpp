// CSV for a monitoring server: exact bytes, the variants read, the refusals.
#include "tables/table_csv.h"
#include "test_support.h"

#include <QTemporaryDir>
#include <QTest>

using tables::CurvePoint;

namespace {

QStringList shape(const QList<CurvePoint>& points) {
    QStringList out;
    for (const CurvePoint& p : points)
        out << QStringLiteral("%1:%2").arg(p.level).arg(p.litres);
    return out;
}

} // namespace

class TestTableCsv : public QObject {
    Q_OBJECT
private slots:
    void initialTableRoundTrip();
    void read_data();
    void read();
    void refused_data();
    void refused();
};

void TestTableCsv::initialTableRoundTrip() {
    QTemporaryDir dir;
    const QString path = dir.filePath("t.csv");
    QString error;
    const auto points = tables::tablePoints(tables::initialTable(), &error);
    QVERIFY(points);
    QVERIFY(tables::saveCsv(path, *points, &error));
    QByteArray expected = "level;litres\r\n";
    for (int i = 1; i <= 19; ++i)
        expected += QByteArray::number(200 * i) + ';' + QByteArray::number(200 * i) + "\r\n";
    expected += "4096;4096\r\n";
    QCOMPARE(testsupport::readAll(path), expected);
    const tables::CsvContents back = tables::loadCsv(path);
    QCOMPARE(back.error, QString());
    QCOMPARE(shape(back.points), shape(*points));
    // A box that is not a table value is named.
    tables::TableTexts t = tables::initialTable();
    t.litres[0] = QStringLiteral("2OO");
    QVERIFY(!tables::tablePoints(t, &error));
    QCOMPARE(error,
             QStringLiteral("В строке 20 столбца \"Литры\" не число от 0 до 32767: \"2OO\"."));
}

void TestTableCsv::read_data() {
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QStringList>("points");
    const QStringList two{"0:0", "100:12.5"};
    QTest::newRow("semicolons, header, decimal comma")
        << QByteArray("X;Y\r\n0;0\r\n100;12,5\r\n") << two;
    QTest::newRow("commas, no header, LF") << QByteArray("0,0\n100,12.5\n") << two;
    QTest::newRow("tabs, blanks, empty lines")
        << QByteArray("\r\n 0\t 0 \r\n\r\n100\t12.5\r\n\r\n") << two;
    QTest::newRow("byte-order mark, Russian header")
        << QByteArray("\xEF\xBB\xBF") + QStringLiteral("Уровень;Литры\r\n").toUtf8() +
               "0;0\r\n100;12.5"
        << two;
}

void TestTableCsv::read() {
    QFETCH(QByteArray, file);
    QFETCH(QStringList, points);
    const tables::CsvContents c = tables::parseCsv(file);
    QCOMPARE(c.error, QString());
    QCOMPARE(shape(c.points), points);
}

void TestTableCsv::refused_data() {
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("error");
    QTest::newRow("text") << QByteArray("0;0\r\n100;ten\r\n")
                          << QStringLiteral(
                                 "Строка 2: \"100;ten\" не пара чисел \"уровень;литры\".");
    QTest::newRow("a blank field")
        << QByteArray("level;litres\r\n0;0\r\n100;\r\n")
        << QStringLiteral("Строка 3: \"100;\" не пара чисел \"уровень;литры\".");
    QTest::newRow("three fields") << QByteArray("0;0;1\r\n")
                                  << QStringLiteral(
                                         "Строка 1: \"0;0;1\" не пара чисел \"уровень;литры\".");
    QTest::newRow("negative") << QByteArray("0;0\r\n-5;10\r\n")
                              << QStringLiteral(
                                     "Строка 2: \"-5;10\" не пара чисел \"уровень;литры\".");
    QTest::newRow("huge") << QByteArray("0;0\r\n100;99999999999999999999\r\n")
                          << QStringLiteral("Строка 2: уровень и литры должны быть от 0 до 32767.");
    QTest::newRow("level with decimals")
        << QByteArray("0;0\r\n100.5;10\r\n")
        << QStringLiteral("Строка 2: уровень 100.5 не целое число.");
    QTest::newRow("level falling")
        << QByteArray("0;0\r\n200;10\r\n100;20\r\n")
        << QStringLiteral("Строка 3: уровень должен расти, а литры не убывать от строки к строке.");
    QTest::newRow("one pair") << QByteArray("X;Y\r\n0;0\r\n")
                              << QStringLiteral("В файле 1 пар чисел, а нужно не меньше двух.");
    QByteArray many;
    for (int i = 0; i <= tables::MaxCsvPoints; ++i)
        many += QByteArray::number(i) + ";" + QByteArray::number(i / 2) + "\r\n";
    QTest::newRow("10,001 pairs") << many << QStringLiteral("В файле больше 10000 пар.");
}

void TestTableCsv::refused() {
    QFETCH(QByteArray, file);
    QFETCH(QString, error);
    const tables::CsvContents c = tables::parseCsv(file);
    QCOMPARE(c.error, error);
    QVERIFY(c.points.isEmpty());
}

QTEST_GUILESS_MAIN(TestTableCsv)
#include "tst_table_csv.moc"
