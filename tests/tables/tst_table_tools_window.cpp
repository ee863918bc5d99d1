// The table window's tools for a calibration: the table fitted from the tab
// and from the calibration window.
#include "support/window_harness.h"
#include "test_support.h"

#include "tables/gui/form3.h"

#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

namespace {
using testsupport::writeAll;

// 22 captures of which the fit leaves out the 12th and 13th (tst_table_fit).
const QList<int> Levels{155,  274,  375,  452,  554,  669,  769,  864,  954,  1054, 1150,
                        1277, 1350, 1456, 1574, 1656, 1780, 1855, 1977, 2055, 2159, 2260};
const QList<int> Litres{0,   21,  48,  86,  92,  126, 146, 154, 169, 181, 209,
                        244, 264, 293, 332, 343, 363, 368, 386, 417, 439, 455};

QByteArray windowTrr() {
    QByteArray b = text1251::encode(QStringLiteral("Литры;Уровень")) + "\r\n";
    for (qsizetype i = 0; i < Levels.size(); ++i)
        b += QByteArray::number(Litres[i]) + ';' + QByteArray::number(Levels[i]) + "\r\n";
    return b;
}

} // namespace

class TestTableToolsWindow : public QObject {
    Q_OBJECT
private slots:
    void tableFromCalibration_data();
    void tableFromCalibration();
    void calibrationUnderWay();
    void refusedFileChangesNothing();
    void csvOutAndBack();
    void refusedCsvChangesNothing();
    void protocol();
};

void TestTableToolsWindow::tableFromCalibration_data() {
    QTest::addColumn<QString>("window");
    QTest::newRow("tab") << "frmSerial";
    QTest::newRow("calibration window") << "Form1";
}

void TestTableToolsWindow::tableFromCalibration() {
    QFETCH(QString, window);
    WindowHarness h;
    QTemporaryDir dir;
    const QString path = dir.filePath("tank.trr");
    writeAll(path, windowTrr());
    // No calibration under way: the file is asked for.
    h.dialog.fileAnswers.enqueue(path);
    auto* button = window == "Form1" ? h.in<QPushButton>("Form1", "tableFromCalibration")
                                     : h.c<QPushButton>("tableFromCalibration");
    QCOMPARE(button->text(), QStringLiteral("В таблицу датчика"));
    button->click();
    QCOMPARE(h.dialog.messages(), QStringList());
    auto* f = qobject_cast<Form3*>(h.windowOf("Form3"));
    QStringList expected;
    for (const QList<int>* column : {&Levels, &Litres})
        for (qsizetype i = 0; i < column->size(); ++i)
            if (i != 11 && i != 12)
                expected << QString::number(column->at(i));
    QCOMPARE(boxes(f), expected);
    QVERIFY(f->isVisible());
    QCOMPARE(h.in<QLabel>("Form3", "fitDeviation")->text(),
             QStringLiteral("Наибольшее отклонение: 0,1 л при уровне 1277"));
    // Typing into a box: the deviation shown no longer holds.
    f->Text3(5)->setText("130");
    QCOMPARE(h.in<QLabel>("Form3", "fitDeviation")->text(), QString());
}

void TestTableToolsWindow::calibrationUnderWay() {
    // The tab's calibration with three captures: no file is asked for, the
    // captures are the table's ends and middle.
    WindowHarness h;
    QTemporaryDir dir;
    h.dialog.inputAnswers.enqueue(QStringLiteral("10"));
    h.dialog.fileAnswers.enqueue(dir.filePath("new.trr"));
    h.run("Command11_Click"); // the tab's buttons wait for a sensor; the handlers do not
    for (const char* level : {"100", "250", "420"}) {
        h.c<QLabel>("Uroven")->setText(QLatin1String(level));
        h.run("Command14_Click");
    }
    h.dialog.clear();
    h.c<QPushButton>("tableFromCalibration")->click();
    QCOMPARE(h.dialog.calls.size(), 0);
    auto* f = qobject_cast<Form3*>(h.windowOf("Form3"));
    const QStringList b = boxes(f);
    QCOMPARE((QStringList{b[0], b[19], b[20], b[39]}), (QStringList{"100", "420", "0", "20"}));
    QVERIFY(b.mid(0, 20).contains("250"));
    QCOMPARE(h.in<QLabel>("Form3", "fitDeviation")->text(),
             QStringLiteral("Наибольшее отклонение: 0,0 л при уровне 100"));
}

void TestTableToolsWindow::refusedFileChangesNothing() {
    WindowHarness h;
    QTemporaryDir dir;
    const QString path = dir.filePath("cut.trr");
    writeAll(path, text1251::encode(QStringLiteral("Литры;Уровень")) + "\r\n0;100\r\n10;50\r\n");
    auto* f = qobject_cast<Form3*>(h.windowOf("Form3"));
    const QStringList before = boxes(f);
    h.dialog.fileAnswers.enqueue(path);
    h.c<QPushButton>("tableFromCalibration")->click();
    QCOMPARE(h.dialog.messages(),
             QStringList({"Для таблицы нужно не меньше двух точек тарировки по порядку, а их 1. "
                          "Таблица не изменена.\nНе по порядку и пропущены (1): строки 3."}));
    QCOMPARE(boxes(f), before);
    QVERIFY(!f->isVisible());
}

void TestTableToolsWindow::csvOutAndBack() {
    WindowHarness h;
    QTemporaryDir dir;
    auto* f = qobject_cast<Form3*>(h.windowOf("Form3"));
    // The fitted table, then every capture on the question's yes.
    h.dialog.fileAnswers.enqueue(dir.filePath("tank.trr"));
    writeAll(dir.filePath("tank.trr"), windowTrr());
    h.c<QPushButton>("tableFromCalibration")->click();
    const QStringList fitted = boxes(f);
    h.dialog.yesNoAnswers.enqueue(true);
    h.dialog.fileAnswers.enqueue(dir.filePath("all.csv"));
    QCOMPARE(h.in<QPushButton>("Form3", "exportCsv")->text(), QStringLiteral("Экспорт CSV…"));
    h.in<QPushButton>("Form3", "exportCsv")->click();
    QByteArray all = "level;litres\r\n";
    for (qsizetype i = 0; i < Levels.size(); ++i)
        all += QByteArray::number(Levels[i]) + ';' + QByteArray::number(Litres[i]) + "\r\n";
    QCOMPARE(testsupport::readAll(dir.filePath("all.csv")), all);
    // Read back: the same fit, the same boxes.
    f->setTexts(tables::initialTable());
    h.dialog.fileAnswers.enqueue(dir.filePath("all.csv"));
    QCOMPARE(h.in<QPushButton>("Form3", "importCsv")->text(), QStringLiteral("Импорт CSV…"));
    h.in<QPushButton>("Form3", "importCsv")->click();
    QCOMPARE(h.dialog.messages(), QStringList());
    QCOMPARE(boxes(f), fitted);
    QCOMPARE(h.in<QLabel>("Form3", "fitDeviation")->text(),
             QStringLiteral("Наибольшее отклонение: 0,1 л при уровне 1277"));
}

void TestTableToolsWindow::refusedCsvChangesNothing() {
    WindowHarness h;
    QTemporaryDir dir;
    writeAll(dir.filePath("bad.csv"), "level;litres\r\n0;0\r\n100;10\r\n200;x\r\n");
    auto* f = qobject_cast<Form3*>(h.windowOf("Form3"));
    const QStringList before = boxes(f);
    h.dialog.fileAnswers.enqueue(dir.filePath("bad.csv"));
    h.in<QPushButton>("Form3", "importCsv")->click();
    QCOMPARE(h.dialog.messages(),
             QStringList({QStringLiteral("Файл %1: Строка 4: \"200;x\" не пара чисел "
                                         "\"уровень;литры\". Таблица не изменена.")
                              .arg(QDir::toNativeSeparators(dir.filePath("bad.csv")))}));
    QCOMPARE(boxes(f), before);
}

void TestTableToolsWindow::protocol() {
    WindowHarness h;
    QTemporaryDir dir;
    writeAll(dir.filePath("tank.trr"), windowTrr());
    h.dialog.fileAnswers.enqueue(dir.filePath("tank.trr"));
    h.c<QPushButton>("tableFromCalibration")->click();
    auto* button = h.in<QPushButton>("Form3", "reportPdf");
    QCOMPARE(button->text(), QStringLiteral("Протокол…"));
    // The three fields, then the file: the table page and one of captures.
    const QString pdf = dir.filePath("p.pdf");
    h.dialog.clear();
    for (const char* typed : {"КАМАЗ 65115", "", "Петров"})
        h.dialog.inputAnswers.enqueue(QString::fromUtf8(typed));
    h.dialog.fileAnswers.enqueue(pdf);
    button->click();
    QCOMPARE(h.dialog.messages(), QStringList());
    QStringList asked;
    for (const auto& c : h.dialog.calls)
        asked << c.kind + ':' + c.text + ':' + c.extra;
    QCOMPARE(asked, QStringList({"input:Транспортное средство (можно оставить пустым):",
                                 "input:Бак (можно оставить пустым):",
                                 "input:Тарировку выполнил (можно оставить пустым):",
                                 "save:Протокол тарировки:PDF (*.pdf)"}));
    const QByteArray bytes = testsupport::readAll(pdf);
    QVERIFY(bytes.startsWith("%PDF-"));
    QCOMPARE(bytes.count("/Type /Page") - bytes.count("/Type /Pages"), 2);
    // The next protocol offers what was typed; a cancelled box makes none.
    h.dialog.clear();
    h.dialog.inputAnswers.enqueue(QStringLiteral("КАМАЗ 65115"));
    button->click();
    QCOMPARE(h.dialog.calls.size(), 2);
    QCOMPARE(h.dialog.calls[1].extra, QString());
    QCOMPARE(h.dialog.calls[0].extra, QStringLiteral("КАМАЗ 65115"));
    // A file that cannot be written: told, nothing left behind.
    h.dialog.clear();
    for (int i = 0; i < 3; ++i)
        h.dialog.inputAnswers.enqueue(QString());
    const QString nowhere = dir.filePath("none/p.pdf");
    h.dialog.fileAnswers.enqueue(nowhere);
    button->click();
    QCOMPARE(h.dialog.messages().size(), 1);
    QVERIFY(h.dialog.messages()[0].startsWith(
        QStringLiteral("Протокол не записан в файл %1: ").arg(QDir::toNativeSeparators(nowhere))));
    QVERIFY(!QFile::exists(nowhere));
    // A box the sensor cannot hold: no protocol, nothing asked.
    h.dialog.clear();
    auto* f = qobject_cast<Form3*>(h.windowOf("Form3"));
    f->Text3(0)->setText(QStringLiteral("ноль"));
    button->click();
    QCOMPARE(h.dialog.messages(),
             QStringList({"Протокол не составлен: В строке 20 столбца \"Литры\" не число от 0 "
                          "до 32767: \"ноль\"."}));
    QCOMPARE(h.dialog.calls.size(), 1);
}

QTEST_MAIN(TestTableToolsWindow)
#include "tst_table_tools_window.moc"
