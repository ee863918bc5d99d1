// Table files on disk: exact bytes, round trips, refused files.
#include "base/text_1251.h"
#include "tables/table_file.h"
#include "tables/table_texts.h"
#include "test_support.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using tables::TableTexts;

namespace {
using testsupport::readAll;
using testsupport::writeAll;

// n lines "v0", "v1", ... each ended by CR LF.
QByteArray numberedLines(int n) {
    QByteArray b;
    for (int i = 0; i < n; ++i)
        b += "v" + QByteArray::number(i) + "\r\n";
    return b;
}

} // namespace

class TestLv3File : public QObject {
    Q_OBJECT
private slots:
    void oversizedFileRefused();
    void initialTableOnDisk();
    void roundTrip_data();
    void roundTrip();
    void lastPassOfEightyLines();
    void lineEnds_data();
    void lineEnds();
    void refusedLineCounts_data();
    void refusedLineCounts();
    void missingFile();
    void deviceRefused();
    void saveRefusesUnwritableText();
    void saveToMissingFolder();
    void saveReplacesWholeFile();
};

void TestLv3File::initialTableOnDisk() {
    QTemporaryDir dir;
    const QString path = dir.filePath("t.lv3");
    QString error;
    QVERIFY(tables::saveLv3(path, tables::initialTable(), &error));
    const QByteArray bytes = readAll(path);
    QVERIFY(bytes.startsWith("200\r\n400\r\n600\r\n"));
    QVERIFY(bytes.endsWith("3600\r\n3800\r\n4096\r\n"));
    const QStringList lines = QString::fromLatin1(bytes.chopped(2)).split("\r\n");
    QCOMPARE(lines.size(), 40);
    for (int i = 0; i < 20; ++i)
        QCOMPARE(lines[i], lines[i + 20]);
    QCOMPARE(bytes.count("\r\n"), 40);
    QCOMPARE(bytes.count('\n'), 40);
}

void TestLv3File::roundTrip_data() {
    QTest::addColumn<QString>("reading");
    QTest::addColumn<QString>("litre");
    QTest::newRow("decimal comma") << "3800,5"
                                   << "12,25";
    QTest::newRow("blanks") << " 300 "
                            << "  ";
    QTest::newRow("empty") << ""
                           << "";
    QTest::newRow("cyrillic") << "нет"
                              << "Литры";
    QTest::newRow("semicolon and tab") << "1;2"
                                       << "3\t4";
}

void TestLv3File::roundTrip() {
    QFETCH(QString, reading);
    QFETCH(QString, litre);
    TableTexts t = tables::initialTable();
    t.readings[0] = reading;
    t.readings[11] = reading + "x";
    t.litres[19] = litre;
    QTemporaryDir dir;
    const QString path = dir.filePath("round.lv3");
    QString error;
    QVERIFY2(tables::saveLv3(path, t, &error), qPrintable(error));
    // Windows-1251 on disk, the text exactly as in the box.
    QVERIFY(readAll(path).startsWith(text1251::encode(reading) + "\r\n"));
    const auto loaded = tables::loadLv3(path);
    QVERIFY2(loaded.table, qPrintable(loaded.error));
    QCOMPARE(*loaded.table, t);
}

void TestLv3File::lastPassOfEightyLines() {
    QTemporaryDir dir;
    const QString path = dir.filePath("eighty.lv3");
    writeAll(path, numberedLines(80));
    const auto loaded = tables::loadLv3(path);
    QVERIFY(loaded.table);
    QCOMPARE(loaded.table->readings[0], QString("v40"));
    QCOMPARE(loaded.table->readings[19], QString("v59"));
    QCOMPARE(loaded.table->litres[0], QString("v60"));
    QCOMPARE(loaded.table->litres[19], QString("v79"));
}

void TestLv3File::lineEnds_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("first");
    QTest::addColumn<QString>("last");
    QByteArray crlf = numberedLines(40);
    QTest::newRow("CR LF") << crlf << "v0"
                           << "v39";
    QTest::newRow("no end on last line") << crlf.chopped(2) << "v0"
                                         << "v39";
    QByteArray lf = crlf;
    lf.replace("\r\n", "\n");
    QTest::newRow("LF only") << lf << "v0"
                             << "v39";
    QByteArray emptyFirst = crlf;
    emptyFirst.replace(0, 2, "");
    QTest::newRow("empty first line") << emptyFirst << ""
                                      << "v39";
}

void TestLv3File::lineEnds() {
    QFETCH(QByteArray, bytes);
    QFETCH(QString, first);
    QFETCH(QString, last);
    const auto parsed = tables::parseLv3(bytes);
    QVERIFY2(parsed.table, qPrintable(parsed.error));
    QCOMPARE(parsed.table->readings[0], first);
    QCOMPARE(parsed.table->litres[19], last);
}

void TestLv3File::refusedLineCounts_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("error");
    QTest::newRow("41 lines") << numberedLines(41)
                              << "В файле 41 строк, а таблица занимает 40 (или кратно 40). "
                                 "Таблица не изменена.";
    QTest::newRow("39 lines") << numberedLines(39)
                              << "В файле 39 строк, а таблица занимает 40 (или кратно 40). "
                                 "Таблица не изменена.";
    QTest::newRow("79 lines") << numberedLines(79)
                              << "В файле 79 строк, а таблица занимает 40 (или кратно 40). "
                                 "Таблица не изменена.";
    QTest::newRow("empty") << QByteArray() << "Файл пуст, таблица не изменена.";
}

void TestLv3File::refusedLineCounts() {
    QFETCH(QByteArray, bytes);
    QFETCH(QString, error);
    QTemporaryDir dir;
    const QString path = dir.filePath("bad.lv3");
    writeAll(path, bytes);
    const auto loaded = tables::loadLv3(path);
    QVERIFY(!loaded.table);
    QCOMPARE(loaded.error, error);
}

// A device is never read: a link to /dev/zero would never end.
void TestLv3File::deviceRefused() {
#ifdef Q_OS_WIN
    QSKIP("a Unix device file");
#endif
    QTemporaryDir dir;
    const QString path = dir.filePath("zero.lv3");
    QVERIFY(QFile::link("/dev/zero", path));
    const auto loaded = tables::loadLv3(path);
    QVERIFY(!loaded.table);
    QCOMPARE(loaded.error, "Файл " + QDir::toNativeSeparators(path) +
                               " не является обычным файлом (это устройство или канал). "
                               "Таблица не изменена.");
}

void TestLv3File::missingFile() {
    QTemporaryDir dir;
    const auto loaded = tables::loadLv3(dir.filePath("none.lv3"));
    QVERIFY(!loaded.table);
    QVERIFY(loaded.error.startsWith("Не удалось открыть файл "));
    QVERIFY(loaded.error.contains("none.lv3"));
    QVERIFY(loaded.error.endsWith(". Таблица не изменена."));
}

void TestLv3File::saveRefusesUnwritableText() {
    QTemporaryDir dir;
    const QString path = dir.filePath("keep.lv3");
    writeAll(path, "old");
    TableTexts t = tables::initialTable();
    t.litres[18] = QStringLiteral("水");
    QString error;
    QVERIFY(!tables::saveLv3(path, t, &error));
    QCOMPARE(error,
             QStringLiteral("Таблица не сохранена: текст \"水\" в строке 2 столбца \"Литры\" "
                            "нельзя записать в файл."));
    QCOMPARE(readAll(path), QByteArray("old"));
}

void TestLv3File::saveToMissingFolder() {
    QTemporaryDir dir;
    QString error;
    QVERIFY(!tables::saveLv3(dir.filePath("no/such/t.lv3"), tables::initialTable(), &error));
    QVERIFY(error.startsWith("Не удалось записать файл "));
}

void TestLv3File::saveReplacesWholeFile() {
    QTemporaryDir dir;
    const QString path = dir.filePath("t.lv3");
    writeAll(path, numberedLines(120));
    QString error;
    QVERIFY(tables::saveLv3(path, tables::initialTable(), &error));
    QCOMPARE(readAll(path).count("\r\n"), 40);
}

// A file far larger than any table is refused before it is read.
void TestLv3File::oversizedFileRefused() {
    QTemporaryDir dir;
    const QString path = dir.filePath("huge.lv3");
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    QVERIFY(f.resize(tables::MaxTextFileSize + 1)); // sparse: nothing is written
    f.close();
    const auto loaded = tables::loadLv3(path);
    QVERIFY(!loaded.table);
    QVERIFY(loaded.error.contains("слишком велик"));
}

QTEST_GUILESS_MAIN(TestLv3File)
#include "tst_lv3_file.moc"
