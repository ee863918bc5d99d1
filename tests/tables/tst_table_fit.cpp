// The table fitted to the captures: exact tables on small inputs, what is left
// out of a trr file, and the files refused.
#include "base/text_1251.h"
#include "tables/table_fit.h"

#include <QTest>

using tables::CurvePoint;

namespace {

QList<CurvePoint> pointsOf(const QList<int>& levels, const QList<int>& litres) {
    QList<CurvePoint> out;
    for (qsizetype i = 0; i < levels.size(); ++i)
        out.append(CurvePoint{int(i + 1), double(levels[i]), double(litres[i]), false});
    return out;
}

QStringList column(const tables::Column& c) {
    return QStringList(c.begin(), c.end());
}

QStringList numbers(const QList<int>& v) {
    QStringList out;
    for (int i : v)
        out.append(QString::number(i));
    return out;
}

// A window-layout trr file: the header, then "litres;level" lines.
QByteArray trr(const QList<QByteArray>& lines) {
    QByteArray b = text1251::encode(QStringLiteral("Литры;Уровень")) + "\r\n";
    for (const QByteArray& l : lines)
        b += l + "\r\n";
    return b;
}

} // namespace

class TestTableFit : public QObject {
    Q_OBJECT
private slots:
    void twentyOfTwentyTwo();
    void fewCapturesFilled();
    void outOfOrderLeftOut();
    void refused_data();
    void refused();
};

void TestTableFit::twentyOfTwentyTwo() {
    // The best pair to leave out is 11 and 12 (found by trying all 190
    // pairs): 7/51 l at level 1277. Every other pair costs 0.87 l or more.
    const QList<int> levels{155,  274,  375,  452,  554,  669,  769,  864,  954,  1054, 1150,
                            1277, 1350, 1456, 1574, 1656, 1780, 1855, 1977, 2055, 2159, 2260};
    const QList<int> litres{0,   21,  48,  86,  92,  126, 146, 154, 169, 181, 209,
                            244, 264, 293, 332, 343, 363, 368, 386, 417, 439, 455};
    const tables::TableFit fit = tables::fitTable(pointsOf(levels, litres));
    QVERIFY(fit.table);
    QList<int> keptLevels = levels, keptLitres = litres;
    keptLevels.remove(11, 2);
    keptLitres.remove(11, 2);
    QCOMPARE(column(fit.table->readings), numbers(keptLevels));
    QCOMPARE(column(fit.table->litres), numbers(keptLitres));
    QCOMPARE(fit.deviation, 7.0 / 51);
    QCOMPARE(tables::deviationText(fit.deviation, fit.deviationAt),
             QStringLiteral("Наибольшее отклонение: 0,1 л при уровне 1277"));
}

void TestTableFit::fewCapturesFilled() {
    // Three captures: they stay, and the widest gaps get points on the line
    // between their ends until there are 20.
    const tables::TableFit fit = tables::fitTable(pointsOf({0, 1000, 3000}, {0, 100, 500}));
    QVERIFY(fit.table);
    QCOMPARE(column(fit.table->readings),
             numbers({0,    125,  250,  375,  500,  625,  750,  875,  1000, 1125,
                      1250, 1375, 1500, 1625, 1750, 2000, 2250, 2500, 2750, 3000}));
    QCOMPARE(column(fit.table->litres),
             numbers({0,   13,  25,  38,  50,  63,  75,  88,  100, 125,
                      150, 175, 200, 225, 250, 300, 350, 400, 450, 500}));
    QCOMPARE(fit.deviation, 0.0);
}

void TestTableFit::outOfOrderLeftOut() {
    // Line 4 was captured before the level settled, line 5 has no level, line
    // 6 is below the level of line 3; the last line was cut off.
    const tables::Captures c = tables::parseTrr(
        trr({"0;100", "10;200", "20;150", text1251::encode(QStringLiteral("30;Нет данных")),
             "40;180", "50;300"}) +
        "60");
    QCOMPARE(c.error, QString());
    QStringList kept;
    for (const CurvePoint& p : c.points)
        kept << QStringLiteral("%1:%2:%3").arg(p.number).arg(p.level).arg(p.litres);
    QCOMPARE(kept, QStringList({"2:100:0", "3:200:10", "7:300:50"}));
    QCOMPARE(c.outOfOrder, QList<int>({4, 6}));
    QCOMPARE(c.withoutLevel, 1);
    QCOMPARE(tables::leftOutText(c),
             QStringLiteral("Не по порядку и пропущены (2): строки 4, 6.\n"
                            "Без уровня и пропущены: 1.\n"
                            "Последняя строка файла неполная и пропущена: 60"));
}

void TestTableFit::refused_data() {
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("error");
    QTest::newRow("empty") << QByteArray() << QStringLiteral("Файл тарировки пуст.");
    QTest::newRow("not a header")
        << QByteArray("1;2;3;4\r\n")
        << QStringLiteral("Первая строка файла не похожа на заголовок файла тарировки "
                          "(\"Литры;Уровень\" или \"№ проции;Литры;Уровень\").");
    QTest::newRow("three fields in a window file")
        << trr({"0;100", "1;10;200"})
        << QStringLiteral("Строка 3 файла тарировки: нужно 2 поля через \";\", а в ней "
                          "\"1;10;200\".");
    QTest::newRow("litres not a number")
        << trr({"0;100", "1O;200"})
        << QStringLiteral("Строка 3 файла тарировки: литры \"1O\" не целое число.");
    QTest::newRow("one capture")
        << trr({"0;100", "10;90"})
        << QStringLiteral("Для таблицы нужно не меньше двух точек тарировки по порядку, а их 1.");
    QTest::newRow("litres beyond the table")
        << trr({"0;100", "40000;200"})
        << QStringLiteral("Литры 40000 (строка 3) не помещается в таблицу датчика: от 0 до 32767.");
}

void TestTableFit::refused() {
    QFETCH(QByteArray, file);
    QFETCH(QString, error);
    const tables::Captures c = tables::parseTrr(file);
    const QString why = !c.error.isEmpty() ? c.error : tables::fitTable(c.points).error;
    QCOMPARE(why, error);
}

QTEST_GUILESS_MAIN(TestTableFit)
#include "tst_table_fit.moc"
