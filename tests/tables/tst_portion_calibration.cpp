// Calibration by portions, on both copies (the tab and the window), with the
// .trr files checked byte for byte.
#include "base/text_1251.h"
#include "support/scripted_dialog.h"
#include "tables/curves.h"
#include "tables/portions.h"
#include "tables/table_texts.h"
#include "test_support.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using tables::PortionCalibration;

namespace {
using testsupport::readAll;
using testsupport::writeAll;

tables::PortionLayout layoutOf(const QString& copy) {
    return copy == "tab" ? tables::tabLayout() : tables::windowLayout();
}

// A file line of either copy: row number first on the tab only.
QByteArray fileLine(const QString& copy, int row, int litres, const QString& level) {
    QString s = QString::number(litres) + ";" + level;
    if (copy == "tab")
        s = QString::number(row) + ";" + s;
    return text1251::encode(s) + "\r\n";
}

QByteArray header(const QString& copy) {
    return text1251::encode(copy == "tab" ? QStringLiteral("№ проции;Литры;Уровень")
                                          : QStringLiteral("Литры;Уровень")) +
           "\r\n";
}

// New calibration with the given portion into path.
void startNew(PortionCalibration& c, ScriptedDialog& dlg, const QString& portion,
              const QString& path) {
    dlg.inputAnswers.enqueue(portion);
    dlg.fileAnswers.enqueue(path);
    c.newCalibration(dlg);
}

QString litresOfRow(const PortionCalibration& c, int row) {
    return c.state().rows[row - 1][c.layout().litresColumn()];
}

QString levelOfRow(const PortionCalibration& c, int row) {
    return c.state().rows[row - 1][c.layout().levelColumn()];
}

} // namespace

class TestPortionCalibration : public QObject {
    Q_OBJECT
private slots:
    void copies_data();
    void initialGrid_data() { copies_data(); }
    void initialGrid();
    void workedExample_data() { copies_data(); }
    void workedExample();
    void resumeHeaderOnly_data() { copies_data(); }
    void resumeHeaderOnly();
    void resumeOneLine_data() { copies_data(); }
    void resumeOneLine();
    void resumeLastLineWithoutLineEnd_data() { copies_data(); }
    void resumeLastLineWithoutLineEnd();
    void oversizedFileRefused();
    void captureLeaving32BitsRefused_data() { copies_data(); }
    void captureLeaving32BitsRefused();
    void rowLimit();
    void deviceRefused();
    void cutLastLine_data() { copies_data(); }
    void cutLastLine();
    void gridGrowth_data();
    void gridGrowth();
    void captureWithoutFile_data() { copies_data(); }
    void captureWithoutFile();
    void badPortionOnNew_data();
    void badPortionOnNew();
    void badPortionOnChange_data() { badPortionOnNew_data(); }
    void badPortionOnChange();
    void portionRounding_data();
    void portionRounding();
    void fileCannotBeCreated_data() { copies_data(); }
    void fileCannotBeCreated();
    void cancelledDialogs_data() { copies_data(); }
    void cancelledDialogs();
    void resumeRefused_data();
    void resumeRefused();
    void captureFailsWhenFileGone_data() { copies_data(); }
    void captureFailsWhenFileGone();
    void levelTextKeptAsShown();
    void f9Poller();
    void badCaptureOnResume_data() { copies_data(); }
    void badCaptureOnResume();
};

void TestPortionCalibration::copies_data() {
    QTest::addColumn<QString>("copy");
    QTest::newRow("tab") << "tab";
    QTest::newRow("window") << "window";
}

void TestPortionCalibration::initialGrid() {
    QFETCH(QString, copy);
    PortionCalibration c(layoutOf(copy), "/x");
    QCOMPARE(c.state().rows.size(), copy == "tab" ? 8 : 5);
    QCOMPARE(c.state().rows[0].size(), copy == "tab" ? 3 : 2);
    QVERIFY(c.state().fileName.isEmpty());
    QCOMPARE(c.state().currentRow, 1);
}

void TestPortionCalibration::workedExample() {
    QFETCH(QString, copy);
    QTemporaryDir dir;
    ScriptedDialog dlg;
    PortionCalibration c(layoutOf(copy), dir.path());
    const QString path = dir.filePath("tank.trr");
    startNew(c, dlg, "10", path);
    QCOMPARE(dlg.calls.size(), 2);
    QCOMPARE(dlg.calls[0].kind, QString("input"));
    QCOMPARE(dlg.calls[0].text, QString("Ввод порции тарировки"));
    QCOMPARE(dlg.calls[0].title, QString("Автотарировка"));
    QCOMPARE(dlg.calls[0].extra, QString("0"));
    QCOMPARE(dlg.calls[1].kind, QString("save"));
    QCOMPARE(dlg.calls[1].title, QString("Схранить"));
    QCOMPARE(dlg.calls[1].extra, QString("tbl Files (*.trr)"));
    QCOMPARE(dlg.calls[1].folder, dir.path());
    QCOMPARE(c.state().fileName, QString("tank.trr"));
    QCOMPARE(c.state().portion, 10);
    QCOMPARE(litresOfRow(c, 1), QString("0"));
    QCOMPARE(readAll(path), header(copy));

    c.capture("1520", dlg);
    // Complete after each capture.
    QCOMPARE(readAll(path), header(copy) + fileLine(copy, 1, 0, "1520"));
    c.capture("1644", dlg);
    c.capture("1771", dlg);
    QCOMPARE(readAll(path), header(copy) + fileLine(copy, 1, 0, "1520") +
                                fileLine(copy, 2, 10, "1644") + fileLine(copy, 3, 20, "1771"));
    QCOMPARE(c.state().currentRow, 4);
    QCOMPARE(litresOfRow(c, 4), QString("30"));
    if (copy == "tab")
        QCOMPARE(c.state().rows[3][0], QString("4"));
    QCOMPARE(dlg.messages(), QStringList());

    dlg.inputAnswers.enqueue(QString("5"));
    c.changePortion(dlg);
    QCOMPARE(c.state().portion, 5);
    QCOMPARE(c.state().litres, 25);
    QCOMPARE(litresOfRow(c, 4), QString("25"));

    // Resumed in a fresh copy: rows 1..3 back, portion 20 - 10.
    PortionCalibration again(layoutOf(copy), dir.path());
    dlg.clear();
    dlg.fileAnswers.enqueue(path);
    again.resume(dlg);
    QCOMPARE(dlg.calls.size(), 1);
    QCOMPARE(dlg.calls[0].kind, QString("open"));
    QCOMPARE(dlg.calls[0].title, QString("Открыть"));
    QCOMPARE(dlg.calls[0].extra, QString("tbl Files (*.trr)"));
    QCOMPARE(again.state().fileName, QString("tank.trr"));
    QCOMPARE(again.state().portion, 10);
    QCOMPARE(again.state().currentRow, 4);
    QCOMPARE(litresOfRow(again, 4), QString("30"));
    QCOMPARE(levelOfRow(again, 3), QString("1771"));
    QCOMPARE(litresOfRow(again, 2), QString("10"));
    // Carrying on appends to the same file.
    again.capture("1900", dlg);
    QVERIFY(readAll(path).endsWith(fileLine(copy, 3, 20, "1771") + fileLine(copy, 4, 30, "1900")));
}

void TestPortionCalibration::resumeHeaderOnly() {
    QFETCH(QString, copy);
    QTemporaryDir dir;
    const QString path = dir.filePath("empty.trr");
    writeAll(path, header(copy));
    ScriptedDialog dlg;
    PortionCalibration c(layoutOf(copy), dir.path());
    dlg.fileAnswers.enqueue(path);
    dlg.inputAnswers.enqueue(QString("0")); // zero is accepted here
    c.resume(dlg);
    QCOMPARE(dlg.messages(), QStringList());
    QCOMPARE(dlg.calls.last().kind, QString("input"));
    QCOMPARE(c.state().portion, 0);
    QCOMPARE(c.state().litres, 0);
    QCOMPARE(c.state().currentRow, 1);
    QCOMPARE(c.state().fileName, QString("empty.trr"));
    c.capture("77", dlg);
    QCOMPARE(readAll(path), header(copy) + fileLine(copy, 1, 0, "77"));
    QCOMPARE(litresOfRow(c, 2), QString("0"));
}

void TestPortionCalibration::resumeOneLine() {
    QFETCH(QString, copy);
    QTemporaryDir dir;
    const QString path = dir.filePath("one.trr");
    writeAll(path, header(copy) + fileLine(copy, 1, 0, "1200"));
    ScriptedDialog dlg;
    PortionCalibration c(layoutOf(copy), dir.path());
    dlg.fileAnswers.enqueue(path);
    dlg.inputAnswers.enqueue(QString("15"));
    c.resume(dlg);
    QCOMPARE(dlg.messages(), QStringList());
    QCOMPARE(c.state().portion, 15);
    QCOMPARE(c.state().currentRow, 2);
    QCOMPARE(c.state().litres, 15);
    QCOMPARE(levelOfRow(c, 1), QString("1200"));
    QCOMPARE(litresOfRow(c, 2), QString("15"));

    // A bad entry keeps the portion in effect and still resumes.
    PortionCalibration d(layoutOf(copy), dir.path());
    dlg.clear();
    dlg.fileAnswers.enqueue(path);
    dlg.inputAnswers.enqueue(QString("abc"));
    d.resume(dlg);
    QCOMPARE(dlg.messages(), QStringList{"Неверное значение порции"});
    QCOMPARE(d.state().fileName, QString("one.trr"));
    QCOMPARE(d.state().portion, 0);
    QCOMPARE(d.state().currentRow, 2);
}

void TestPortionCalibration::resumeLastLineWithoutLineEnd() {
    QFETCH(QString, copy);
    QTemporaryDir dir;
    const QString path = dir.filePath("edited.trr");
    QByteArray lastLine = fileLine(copy, 2, 10, "1300");
    lastLine.chop(2);
    const QByteArray before = header(copy) + fileLine(copy, 1, 0, "1200") + lastLine;
    writeAll(path, before);
    ScriptedDialog dlg;
    PortionCalibration c(layoutOf(copy), dir.path());
    dlg.fileAnswers.enqueue(path);
    c.resume(dlg);
    QCOMPARE(dlg.messages(), QStringList());
    QCOMPARE(c.state().currentRow, 3);
    c.capture("1400", dlg);
    QCOMPARE(dlg.messages(), QStringList());
    // The new row stands on a line of its own.
    QCOMPARE(readAll(path), before + "\r\n" + fileLine(copy, 3, 20, "1400"));
    c.capture("1500", dlg);
    QCOMPARE(readAll(path),
             before + "\r\n" + fileLine(copy, 3, 20, "1400") + fileLine(copy, 4, 30, "1500"));
}

void TestPortionCalibration::oversizedFileRefused() {
    QTemporaryDir dir;
    const QString path = dir.filePath("huge.trr");
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    QVERIFY(f.resize(tables::MaxTextFileSize + 1));
    f.close();
    ScriptedDialog dlg;
    PortionCalibration c(tables::tabLayout(), dir.path());
    dlg.fileAnswers.enqueue(path);
    c.resume(dlg);
    QCOMPARE(dlg.messages(), QStringList{"Нет такого файла"});
    QVERIFY(c.state().fileName.isEmpty());
}

// A file ending just below 2^31, resumed with portion 5: the pending row
// 2147483645 would leave a total of 2147483650, which no file line can hold.
void TestPortionCalibration::captureLeaving32BitsRefused() {
    QFETCH(QString, copy);
    QTemporaryDir dir;
    const QString path = dir.filePath("top.trr");
    const QByteArray bytes = header(copy) + fileLine(copy, 1, 2147483640, "1200");
    writeAll(path, bytes);
    ScriptedDialog dlg;
    PortionCalibration c(layoutOf(copy), dir.path());
    dlg.fileAnswers.enqueue(path);
    dlg.inputAnswers.enqueue(QString("5"));
    c.resume(dlg);
    QCOMPARE(litresOfRow(c, 2), QString("2147483645"));
    dlg.clear();
    c.capture("1300", dlg);
    QCOMPARE(dlg.messages(), QStringList{"Литры 2147483650 выходят за пределы от -2147483648 до "
                                         "2147483647. Значение не записано."});
    QCOMPARE(readAll(path), bytes);
    QCOMPARE(c.state().currentRow, 2);
    QCOMPARE(levelOfRow(c, 2), QString());
}

// Up to MaxPortionRows rows resume; no capture goes beyond them, and a longer
// file is refused with the limit named.
void TestPortionCalibration::rowLimit() {
    QTemporaryDir dir;
    QByteArray full = header("window");
    for (int i = 0; i < tables::MaxPortionRows; ++i)
        full += fileLine("window", i + 1, i, "7");
    const QString path = dir.filePath("full.trr");
    writeAll(path, full);
    ScriptedDialog dlg;
    PortionCalibration c(tables::windowLayout(), dir.path());
    dlg.fileAnswers.enqueue(path);
    c.resume(dlg);
    QCOMPARE(dlg.messages(), QStringList());
    QCOMPARE(c.state().currentRow, 10001);
    c.capture("8", dlg);
    QCOMPARE(dlg.messages(), QStringList{"В файле уже 10000 строк тарировки, больше в него не "
                                         "записывается. Значение не записано."});
    QCOMPARE(readAll(path), full);

    const QString longer = dir.filePath("longer.trr");
    writeAll(longer, full + fileLine("window", 10001, 10000, "8"));
    PortionCalibration d(tables::windowLayout(), dir.path());
    dlg.clear();
    dlg.fileAnswers.enqueue(longer);
    d.resume(dlg);
    QCOMPARE(dlg.messages(),
             QStringList{"В файле " + QDir::toNativeSeparators(longer) +
                         " больше 10000 строк тарировки: такой файл не возобновляется."});
    QVERIFY(d.state().fileName.isEmpty());
}

// A device is never read: a link to /dev/zero would never end.
void TestPortionCalibration::deviceRefused() {
#ifdef Q_OS_WIN
    QSKIP("a Unix device file");
#endif
    QTemporaryDir dir;
    const QString path = dir.filePath("zero.trr");
    QVERIFY(QFile::link("/dev/zero", path));
    ScriptedDialog dlg;
    PortionCalibration c(tables::tabLayout(), dir.path());
    dlg.fileAnswers.enqueue(path);
    c.resume(dlg);
    QCOMPARE(dlg.messages(), QStringList{"Файл " + QDir::toNativeSeparators(path) +
                                         " не является обычным файлом (это устройство или "
                                         "канал). Тарировка не возобновлена."});
    QVERIFY(c.state().fileName.isEmpty());
}

// A capture cut off by a power failure: the rows before it resume, the cut
// line is named, and the next capture replaces it on disk.
void TestPortionCalibration::cutLastLine() {
    QFETCH(QString, copy);
    QTemporaryDir dir;
    const QString path = dir.filePath("cut.trr");
    const QByteArray complete =
        header(copy) + fileLine(copy, 1, 0, "1200") + fileLine(copy, 2, 10, "1300");
    const QByteArray cut = fileLine(copy, 3, 20, "1400").left(copy == "tab" ? 3 : 1);
    writeAll(path, complete + cut);
    ScriptedDialog dlg;
    PortionCalibration c(layoutOf(copy), dir.path());
    dlg.fileAnswers.enqueue(path);
    c.resume(dlg);
    QCOMPARE(dlg.messages(), QStringList{"Последняя строка файла неполная и пропущена: " +
                                         QString::fromLatin1(cut)});
    QCOMPARE(c.state().currentRow, 3);
    QCOMPARE(c.state().portion, 10);
    QCOMPARE(litresOfRow(c, 3), QString("20"));
    c.capture("1450", dlg);
    QCOMPARE(readAll(path), complete + fileLine(copy, 3, 20, "1450"));
    c.capture("1500", dlg);
    QCOMPARE(readAll(path),
             complete + fileLine(copy, 3, 20, "1450") + fileLine(copy, 4, 30, "1500"));
}

void TestPortionCalibration::gridGrowth_data() {
    QTest::addColumn<QString>("copy");
    QTest::addColumn<int>("growingCapture");
    QTest::newRow("tab: seventh") << "tab" << 7;
    QTest::newRow("window: fourth") << "window" << 4;
}

void TestPortionCalibration::gridGrowth() {
    QFETCH(QString, copy);
    QFETCH(int, growingCapture);
    QTemporaryDir dir;
    ScriptedDialog dlg;
    PortionCalibration c(layoutOf(copy), dir.path());
    startNew(c, dlg, "10", dir.filePath("g.trr"));
    const int kept = growingCapture; // rows kept by a clear
    QCOMPARE(c.state().rows.size(), kept);
    QCOMPARE(c.state().topRow, 1);
    c.clearScrollRequest();
    for (int i = 1; i < growingCapture; ++i)
        c.capture(QString::number(i), dlg);
    QCOMPARE(c.state().rows.size(), kept);
    QCOMPARE(c.state().topRow, 0);
    c.capture("x", dlg);
    QCOMPARE(c.state().rows.size(), kept + 1);
    QCOMPARE(c.state().currentRow, kept + 1);
    QCOMPARE(c.state().topRow, kept + 1);
    QCOMPARE(litresOfRow(c, kept + 1), QString::number(10 * kept));
    c.clearScrollRequest();
    c.capture("y", dlg);
    QCOMPARE(c.state().rows.size(), kept + 2);
    QCOMPARE(c.state().topRow, kept + 2);
}

void TestPortionCalibration::captureWithoutFile() {
    QFETCH(QString, copy);
    QTemporaryDir dir;
    ScriptedDialog dlg;
    PortionCalibration c(layoutOf(copy), dir.path());
    const auto before = c.state().rows;
    c.capture("1500", dlg);
    QCOMPARE(dlg.messages(), QStringList{"нет файла для записи"});
    QCOMPARE(c.state().rows, before);
    QCOMPARE(c.state().currentRow, 1);
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList());
}

void TestPortionCalibration::badPortionOnNew_data() {
    QTest::addColumn<QString>("copy");
    QTest::addColumn<std::optional<QString>>("entry");
    for (const QString copy : {"tab", "window"}) {
        const QByteArray c = copy.toLatin1();
        QTest::newRow(c + " cancelled") << copy << std::optional<QString>();
        QTest::newRow(c + " empty") << copy << std::optional<QString>("");
        QTest::newRow(c + " zero") << copy << std::optional<QString>("0");
        QTest::newRow(c + " letters") << copy << std::optional<QString>("десять");
        QTest::newRow(c + " too big") << copy << std::optional<QString>("32768");
        QTest::newRow(c + " too small") << copy << std::optional<QString>("-32769");
        QTest::newRow(c + " rounds to zero") << copy << std::optional<QString>("0,4");
    }
}

void TestPortionCalibration::badPortionOnNew() {
    QFETCH(QString, copy);
    QFETCH(std::optional<QString>, entry);
    QTemporaryDir dir;
    ScriptedDialog dlg;
    PortionCalibration c(layoutOf(copy), dir.path());
    const QString path = dir.filePath("first.trr");
    startNew(c, dlg, "10", path);
    c.capture("100", dlg);
    const PortionCalibration::State before = c.state();
    const QByteArray fileBefore = readAll(path);
    dlg.clear();
    dlg.inputAnswers.enqueue(entry);
    c.newCalibration(dlg);
    QCOMPARE(dlg.messages(), QStringList{"Неверное значение порции"});
    QCOMPARE(dlg.calls.size(), 2); // no file dialog after the refusal
    // The calibration under way is untouched, so the next capture still fits its file.
    QCOMPARE(c.state().rows, before.rows);
    QCOMPARE(c.state().portion, 10);
    QCOMPARE(c.state().fileName, QString("first.trr"));
    c.capture("200", dlg);
    QCOMPARE(readAll(path), fileBefore + fileLine(copy, 2, 10, "200"));
}

void TestPortionCalibration::badPortionOnChange() {
    QFETCH(QString, copy);
    QFETCH(std::optional<QString>, entry);
    QTemporaryDir dir;
    ScriptedDialog dlg;
    PortionCalibration c(layoutOf(copy), dir.path());
    startNew(c, dlg, "10", dir.filePath("c.trr"));
    c.capture("1", dlg);
    dlg.clear();
    dlg.inputAnswers.enqueue(entry);
    c.changePortion(dlg);
    QCOMPARE(dlg.messages(), QStringList{"Неверное значение порции"});
    QCOMPARE(c.state().portion, 10);
    QCOMPARE(c.state().litres, 10);
    QCOMPARE(litresOfRow(c, 2), QString("10"));
}

void TestPortionCalibration::portionRounding_data() {
    QTest::addColumn<QString>("entry");
    QTest::addColumn<int>("portion");
    QTest::newRow("blanks") << " 25 " << 25;
    QTest::newRow("fraction") << "12,7" << 13;
    QTest::newRow("half to even") << "2.5" << 2;
    QTest::newRow("negative") << "-20" << -20;
    QTest::newRow("largest") << "32767" << 32767;
}

void TestPortionCalibration::portionRounding() {
    QFETCH(QString, entry);
    QFETCH(int, portion);
    QTemporaryDir dir;
    ScriptedDialog dlg;
    PortionCalibration c(tables::tabLayout(), dir.path());
    startNew(c, dlg, entry, dir.filePath("r.trr"));
    QCOMPARE(dlg.messages(), QStringList());
    QCOMPARE(c.state().portion, portion);
    c.capture("1", dlg);
    QCOMPARE(litresOfRow(c, 2), QString::number(portion));
}

void TestPortionCalibration::fileCannotBeCreated() {
    QFETCH(QString, copy);
    QTemporaryDir dir;
    ScriptedDialog dlg;
    PortionCalibration c(layoutOf(copy), dir.path());
    const QString first = dir.filePath("first.trr");
    startNew(c, dlg, "10", first);
    c.capture("5", dlg);
    const auto before = c.state();
    dlg.clear();
    const QString bad = dir.filePath("missing/second.trr");
    startNew(c, dlg, "20", bad);
    QCOMPARE(dlg.messages().size(), 1);
    QVERIFY(dlg.messages()[0].startsWith("Не удалось создать файл "));
    QVERIFY(dlg.messages()[0].contains("second.trr"));
    QCOMPARE(c.state().fileName, QString("first.trr"));
    QCOMPARE(c.state().filePath, first);
    QCOMPARE(c.state().rows, before.rows);
    QCOMPARE(c.state().portion, 10);
    QVERIFY(!QFile::exists(bad));
}

void TestPortionCalibration::cancelledDialogs() {
    QFETCH(QString, copy);
    QTemporaryDir dir;
    ScriptedDialog dlg;
    PortionCalibration c(layoutOf(copy), dir.path());
    startNew(c, dlg, "10", dir.filePath("a.trr"));
    c.capture("5", dlg);
    const auto before = c.state();
    dlg.clear();
    dlg.inputAnswers.enqueue(QString("3"));
    c.newCalibration(dlg); // save dialog cancelled
    c.resume(dlg);         // open dialog cancelled
    QCOMPARE(dlg.messages(), QStringList());
    QCOMPARE(c.state().rows, before.rows);
    QCOMPARE(c.state().portion, 10);
    QCOMPARE(c.state().fileName, QString("a.trr"));
}

void TestPortionCalibration::resumeRefused_data() {
    QTest::addColumn<QString>("copy");
    QTest::addColumn<QByteArray>("bytes");
    const QByteArray tabFile =
        header("tab") + fileLine("tab", 1, 0, "10") + fileLine("tab", 2, 5, "20");
    const QByteArray windowFile =
        header("window") + fileLine("window", 1, 0, "10") + fileLine("window", 2, 5, "20");
    QTest::newRow("window file on the tab") << "tab" << windowFile;
    QTest::newRow("tab file in the window") << "window" << tabFile;
    QTest::newRow("litres not a number") << "tab" << header("tab") + "1;0;10\r\n2;пять;20\r\n";
    QTest::newRow("no separator") << "window" << header("window") + "0 10\r\n";
    QTest::newRow("empty file") << "tab" << QByteArray();
    QTest::newRow("portion beyond 16 bits") << "window" << header("window") + "0;1\r\n40000;2\r\n";
}

void TestPortionCalibration::resumeRefused() {
    QFETCH(QString, copy);
    QFETCH(QByteArray, bytes);
    QTemporaryDir dir;
    ScriptedDialog dlg;
    PortionCalibration c(layoutOf(copy), dir.path());
    const QString good = dir.filePath("good.trr");
    startNew(c, dlg, "10", good);
    c.capture("5", dlg);
    const auto before = c.state();
    const QString bad = dir.filePath("bad.trr");
    writeAll(bad, bytes);
    dlg.clear();
    dlg.fileAnswers.enqueue(bad);
    c.resume(dlg);
    QCOMPARE(dlg.messages(), QStringList{"Нет такого файла"});
    QCOMPARE(c.state().rows, before.rows);
    QCOMPARE(c.state().fileName, QString("good.trr"));
    QCOMPARE(c.state().portion, 10);
    QCOMPARE(readAll(bad), bytes);

    // A missing file says the same.
    dlg.clear();
    dlg.fileAnswers.enqueue(dir.filePath("none.trr"));
    c.resume(dlg);
    QCOMPARE(dlg.messages(), QStringList{"Нет такого файла"});
    QCOMPARE(c.state().fileName, QString("good.trr"));
}

void TestPortionCalibration::captureFailsWhenFileGone() {
    QFETCH(QString, copy);
    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkdir("sub"));
    ScriptedDialog dlg;
    PortionCalibration c(layoutOf(copy), dir.path());
    startNew(c, dlg, "10", dir.filePath("sub/t.trr"));
    c.capture("5", dlg);
    QVERIFY(QDir(dir.filePath("sub")).removeRecursively());
    dlg.clear();
    c.capture("6", dlg);
    QCOMPARE(dlg.messages().size(), 1);
    QVERIFY(dlg.messages()[0].startsWith("Не удалось дописать файл "));
    QVERIFY(dlg.messages()[0].endsWith(". Значение не записано."));
    QCOMPARE(c.state().currentRow, 2);
    QCOMPARE(levelOfRow(c, 2), QString());
}

void TestPortionCalibration::levelTextKeptAsShown() {
    QTemporaryDir dir;
    ScriptedDialog dlg;
    PortionCalibration c(tables::tabLayout(), dir.path());
    const QString path = dir.filePath("f.trr");
    startNew(c, dlg, "10", path);
    c.capture("1234 Гц.", dlg);
    QCOMPARE(readAll(path), header("tab") + "1;0;1234 \xC3\xF6.\r\n");
}

void TestPortionCalibration::f9Poller() {
    tables::F9Poller f9;
    QVERIFY(!f9.poll(true));
    // Held: once per tick while held.
    f9.keyPressed();
    QVERIFY(f9.poll(true));
    QVERIFY(f9.poll(true));
    f9.keyReleased();
    QVERIFY(!f9.poll(true));
    // A tap between two ticks is still seen, once.
    f9.keyPressed();
    f9.keyReleased();
    QVERIFY(f9.poll(true));
    QVERIFY(!f9.poll(true));
    // Not the active window: nothing, and the tap is used up.
    f9.keyPressed();
    f9.keyReleased();
    QVERIFY(!f9.poll(false));
    QVERIFY(!f9.poll(true));
    // Lost activation while held: the release is never seen, so forget the key.
    f9.keyPressed();
    f9.reset();
    QVERIFY(!f9.isDown());
    QVERIFY(!f9.poll(true));
}

void TestPortionCalibration::badCaptureOnResume() {
    QFETCH(QString, copy);
    QTemporaryDir dir;
    const QString path = dir.filePath("bad.trr");
    // Row 3 was captured before the level settled; row 4 has no reading.
    writeAll(path, header(copy) + fileLine(copy, 1, 0, "100") + fileLine(copy, 2, 10, "200") +
                       fileLine(copy, 3, 20, "150") + fileLine(copy, 4, 30, "Нет данных") +
                       fileLine(copy, 5, 40, "300"));
    ScriptedDialog dlg;
    PortionCalibration c(layoutOf(copy), dir.path());
    dlg.fileAnswers.enqueue(path);
    c.resume(dlg);
    QCOMPARE(dlg.messages(), QStringList());
    const auto shape = [&c] {
        QStringList out; // row:level:litres, "!" for out of order
        for (const tables::CurvePoint& p : tables::captureCurve(c))
            out << QString("%1:%2:%3%4")
                       .arg(p.number)
                       .arg(p.level)
                       .arg(p.litres)
                       .arg(p.outOfOrder ? "!" : "");
        return out;
    };
    QCOMPARE(shape(), (QStringList{"1:100:0", "2:200:10", "3:150:20!", "5:300:40"}));
    // A capture at the level of the one before is out of order too.
    c.capture("300", dlg);
    QCOMPARE(shape().last(), QString("6:300:50!"));
}

QTEST_GUILESS_MAIN(TestPortionCalibration)
#include "tst_portion_calibration.moc"
