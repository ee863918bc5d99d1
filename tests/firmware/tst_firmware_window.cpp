// The firmware tab of the main window: a whole run against the simulated
// bootloader in its worker thread, the endings that leave the sensor without
// a whole program (each says so), the read-back check, and the refusals.
#include "support/window_harness.h"

#include "firmware/firmware_runner.h"
#include "firmware/gui/firmware_page.h"
#include "link/frame.h"
#include "sim/stm8_bootloader.h"

#include <QCheckBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>

namespace {
firmware::FirmwareRunner* runner(WindowHarness& h) {
    auto* page = h.w->findChild<FirmwarePage*>();
    if (!page)
        qFatal("The window has no firmware page");
    return page->runner();
}

// An LV300 image: header with option bytes, 160 blocks before the program
// (8 of them data EEPROM), then `programBlocks` program blocks.
QByteArray makeImage(int programBlocks) {
    QByteArray img(64, '\0');
    img[19] = char(0x11);
    img[20] = char(0x22);
    img[21] = char(0x33);
    img[22] = char(0x44);
    for (int i = 0; i < 160; ++i)
        img += QByteArray(128, char(i < 8 ? 0xA0 + i : 0x00));
    for (int b = 0; b < programBlocks; ++b) {
        QByteArray block(128, char(b + 1));
        if (b == 0)
            block[0] = '#';
        img += block;
    }
    return img;
}

const QString NotFinished = QStringLiteral("Прошивка не завершена. Датчик остаётся в режиме "
                                           "загрузчика: не отключая питание, нажмите \"Пуск\" "
                                           "ещё раз.");

// The image is written to a file and chosen with "Открыть файл"; returns its path.
QString chooseImage(WindowHarness& h, const QByteArray& image) {
    const QString path = h.dir.path() + "/fw.cri";
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(image) != image.size())
        qFatal("cannot write the image");
    f.close();
    h.dialog.fileAnswers.enqueue(path);
    h.run("Command8_Click");
    return path;
}

// The image is chosen; the first sensor is powered up with its loader running.
std::shared_ptr<Stm8Bootloader> prepareRun(WindowHarness& h, const QByteArray& image) {
    chooseImage(h, image);
    h.dialog.clear();
    auto sensor = h.line.sensors.first();
    auto loader = std::make_shared<Stm8Bootloader>();
    loader->powerUp();
    loader->setOnGo(sensor->leaveBootloaderCallback());
    sensor->enterBootloader(loader);
    return loader;
}

void awaitEnd(WindowHarness& h) {
    QTRY_VERIFY2_WITH_TIMEOUT(
        !runner(h)->isRunning(),
        qPrintable(h.c<QPlainTextEdit>("txtRec1")->toPlainText() + h.dialog.messages().join("|")),
        30000);
}

// Answers after the sync answer (LV300, calibrations kept): 2 erase, 12
// option bytes, 3 per block; this is the data of program block k.
int dataAnswer(int k) {
    return 2 + 12 + 3 * k + 3;
}

// Calls `what` once, as soon as the run reports its first block written.
void onFirstBlock(WindowHarness& h, std::function<void()> what) {
    auto once = std::make_shared<bool>(false);
    QObject::connect(runner(h), &firmware::FirmwareRunner::progress, h.w.get(),
                     [once, what](int done, int) {
                         if (done >= 1 && !*once) {
                             *once = true;
                             what();
                         }
                     });
}

bool sent(const VirtualPort* port, const QByteArray& frame) {
    return port->writes().contains(frame);
}
} // namespace

class TestFirmwareWindow : public QObject {
    Q_OBJECT
private slots:
    void refusesWithoutPortOrFile();
    void flashesAndResumesEngine();
    void cancelDuringSyncKeepsPortUsable();
    void cancelAfterTheFirstBlock();
    void failedRunThenSecondPressCompletes_data();
    void failedRunThenSecondPressCompletes();
    void unpluggedDuringARun();
    void closingDuringARun_data();
    void closingDuringARun();
    void readBack_data();
    void readBack();
    void withoutTheCheckTheExchangeIsUnchanged();
};

void TestFirmwareWindow::refusesWithoutPortOrFile() {
    WindowHarness h;
    h.run("start_Click");
    QCOMPARE(h.dialog.messages(), QStringList{"Порт не открыт. Откройте порт датчика."});
    h.open();
    h.dialog.clear();
    h.run("start_Click");
    QCOMPARE(h.dialog.messages(),
             QStringList{"Файл прошивки не выбран. Нажмите \"Открыть файл\"."});
    QVERIFY(h.session.tickTimer()->isActive());
    QVERIFY(h.port->writes().isEmpty());
}

void TestFirmwareWindow::flashesAndResumesEngine() {
    WindowHarness h({1});
    h.open();
    h.findSensors();
    const QByteArray image = makeImage(3);
    const QString path = chooseImage(h, image);
    QCOMPARE(h.dialog.calls.last().kind, QString("open"));
    QCOMPARE(h.dialog.calls.last().title, QString("Open"));
    QCOMPARE(h.dialog.calls.last().extra, QString("Bin Files (*.cri)"));
    QCOMPARE(h.c<QLabel>("filename_prog")->text(), path);

    auto sensor = h.line.sensors.first();
    auto loader = std::make_shared<Stm8Bootloader>();
    loader->powerUp();
    loader->setOnGo(sensor->leaveBootloaderCallback());
    sensor->enterBootloader(loader);
    h.c<QAbstractButton>("EEPROM")->setChecked(true);
    // The sensor's answer to the last data poll still waits in the port.
    QVERIFY(h.port->bytesAvailable() > 0);
    h.run("start_Click");
    QVERIFY(runner(h)->isRunning());
    QVERIFY(!h.session.tickTimer()->isActive()); // the engine is paused for the run
    QVERIFY(!h.c<QAbstractButton>("start")->isEnabled());
    QVERIFY(!h.c<QAbstractButton>("BTNCloseCom")->isEnabled());
    QVERIFY(h.c<QPushButton>("fwCancel")->isEnabled());
    QTRY_VERIFY2_WITH_TIMEOUT(
        !runner(h)->isRunning(),
        qPrintable(h.c<QPlainTextEdit>("txtRec1")->toPlainText() + h.dialog.messages().join("|")),
        30000);
    QVERIFY(h.session.tickTimer()->isActive());
    QVERIFY(!h.c<QPushButton>("fwCancel")->isEnabled());
    // The tab is ready for the next run, and the port can be closed again.
    QVERIFY(h.c<QAbstractButton>("start")->isEnabled());
    QVERIFY(h.c<QAbstractButton>("Command8")->isEnabled());
    QVERIFY(h.c<QAbstractButton>("BTNCloseCom")->isEnabled());
    const QString log = h.c<QPlainTextEdit>("txtRec1")->toPlainText();
    QVERIFY(log.startsWith("Прошиваем !  "));
    QVERIFY(log.contains("Ok! "));
    QVERIFY(log.contains("Block -1"));
    QVERIFY(log.contains("Block 1"));
    QVERIFY(log.endsWith("-----Готово------"));
    QCOMPARE(h.c<QProgressBar>("fwProgress")->value(), 11); // 8 EEPROM + 3 program blocks
    QCOMPARE(h.c<QProgressBar>("fwProgress")->maximum(), 11);
    for (int b = 0; b < 3; ++b)
        QCOMPARE(loader->memory(0x9000 + 128 * b, 128), image.mid(64 + 128 * (160 + b), 128));
    for (int b = 0; b < 8; ++b)
        QCOMPARE(loader->memory(0x4000 + 128 * b, 128), image.mid(64 + 128 * b, 128));
    QCOMPARE(loader->memory(0x4803, 1), QByteArray(1, char(0x11)));
    QCOMPARE(loader->memory(0x4809, 1), QByteArray(1, char(0x44)));
    // The sensor answers again after Go: its identity is asked again (the
    // firmware may be another now), then its data.
    QVERIFY(!sensor->inBootloader());
    h.ticks(3);
    QCOMPARE(h.c<QLabel>("vv")->text(), QString("1.7.6."));
    QCOMPARE(h.c<QLabel>("MsgCom")->text(), QString("Датчик подключен"));
}

void TestFirmwareWindow::cancelDuringSyncKeepsPortUsable() {
    WindowHarness h({1});
    h.open();
    h.findSensors();
    chooseImage(h, makeImage(1));
    h.dialog.clear();
    // Nobody powers the sensor up into its loader: the sync wait goes on.
    h.line.sensors.first()->setMuted(true);
    h.run("start_Click");
    QVERIFY(runner(h)->isRunning());
    QTest::qWait(300);
    QVERIFY(runner(h)->isRunning());
    h.c<QPushButton>("fwCancel")->click();
    QTRY_VERIFY_WITH_TIMEOUT(!runner(h)->isRunning(), 5000);
    QVERIFY(h.session.tickTimer()->isActive());
    QVERIFY(h.c<QPlainTextEdit>("txtRec1")->toPlainText().endsWith("\n-----Прервано------"));
    // Nothing was written: nothing to tell.
    QVERIFY(h.dialog.messages().isEmpty());
    h.line.sensors.first()->setMuted(false);
    h.ticks(3); // identity again, then data
    QCOMPARE(h.c<QLabel>("MsgCom")->text(), QString("Датчик подключен"));
}

void TestFirmwareWindow::cancelAfterTheFirstBlock() {
    WindowHarness h({1});
    h.open();
    auto loader = prepareRun(h, makeImage(3));
    // The second block's acknowledge never comes: the run is waiting for it.
    loader->dropAnswer(dataAnswer(1));
    onFirstBlock(h, [&h] { h.c<QPushButton>("fwCancel")->click(); });
    h.run("start_Click");
    awaitEnd(h);
    QVERIFY(h.c<QPlainTextEdit>("txtRec1")->toPlainText().endsWith("\n-----Прервано------"));
    QCOMPARE(h.dialog.messages(),
             QStringList{"Прошивка прервана. Программа датчика записана не полностью: "
                         "повторите прошивку."});
    QVERIFY(!sent(h.port, QByteArray::fromHex("21de")));
    QVERIFY(h.session.tickTimer()->isActive());
}

void TestFirmwareWindow::failedRunThenSecondPressCompletes_data() {
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QStringList>("boxes");
    QTest::newRow("block refused")
        << "nack" << QStringList{"Ошибка 1F !!!!", " data 1,блок ошибка", NotFinished};
    QTest::newRow("acknowledge lost") << "drop" << QStringList{" data 1,блок ошибка", NotFinished};
}

void TestFirmwareWindow::failedRunThenSecondPressCompletes() {
    QFETCH(QString, fault);
    QFETCH(QStringList, boxes);
    WindowHarness h({1});
    h.open();
    const QByteArray image = makeImage(3);
    auto loader = prepareRun(h, image);
    if (fault == "nack")
        loader->nackBlock(1);
    else
        loader->dropAnswer(dataAnswer(1));
    h.port->clearWrites();
    h.dialog.yesNoAnswers.enqueue(false); // not switched off and on
    h.c<QAbstractButton>("start")->click();
    awaitEnd(h);
    QCOMPARE(h.dialog.messages(), boxes);
    // The polling stays paused: no poll reaches the waiting loader.
    QCOMPARE(h.dialog.calls.last().kind, QStringLiteral("question"));
    QCOMPARE(h.dialog.calls.last().text,
             QStringLiteral("Датчик остался в режиме загрузчика, и опрос датчиков остановлен. "
                            "Выключите и включите питание датчика, затем нажмите \"Да\", "
                            "чтобы продолжить опрос."));
    QCOMPARE(h.c<QLabel>("MsgCom")->text(),
             QStringLiteral("Датчик в режиме загрузчика: опрос остановлен."));
    QVERIFY(!h.session.tickTimer()->isActive());
    // The log says so too, whatever the progress bar stopped at.
    QVERIFY(h.c<QPlainTextEdit>("txtRec1")->toPlainText().endsWith("Block -1\n-----Ошибка------"));
    // The half-written program is not started: the loader waits.
    QVERIFY(!sent(h.port, QByteArray::fromHex("21de")));
    QVERIFY(loader->isSynchronised());
    QVERIFY(h.c<QAbstractButton>("start")->isEnabled());

    // "Пуск" again, without a power cycle.
    loader->nackBlock(-1);
    loader->dropAnswer(0);
    h.dialog.clear();
    h.port->clearWrites();
    h.c<QAbstractButton>("start")->click();
    awaitEnd(h);
    QVERIFY(h.dialog.messages().isEmpty());
    QVERIFY(h.c<QPlainTextEdit>("txtRec1")->toPlainText().endsWith("Block 1\n-----Готово------"));
    // The first sync byte is taken for a command, the second refused: synchronised.
    QCOMPARE(h.port->writes().mid(0, 3),
             QList<QByteArray>({QByteArray::fromHex("7f"), QByteArray::fromHex("7f"),
                                QByteArray::fromHex("43bc")}));
    QCOMPARE(h.port->writes().last(), QByteArray::fromHex("21de"));
    QCOMPARE(loader->memory(0x9000, 3 * 128), image.mid(64 + 160 * 128));
    QVERIFY(!h.line.sensors.first()->inBootloader());
}

void TestFirmwareWindow::unpluggedDuringARun() {
    WindowHarness h({1});
    h.open();
    auto loader = prepareRun(h, makeImage(3));
    loader->dropAnswer(dataAnswer(1));
    onFirstBlock(h, [&h] { h.port->setVanished(true); });
    h.run("start_Click");
    awaitEnd(h);
    QVERIFY(h.c<QPlainTextEdit>("txtRec1")->toPlainText().endsWith("\n-----Прервано------"));
    // The polling's message, and no block fault or write error.
    QCOMPARE(h.dialog.messages(), QStringList{"Связь с портом Симулятор потеряна. Порт закрыт."});
    QCOMPARE(h.session.port(), nullptr);
    QVERIFY(!h.session.tickTimer()->isActive());
    QVERIFY(h.c<QAbstractButton>("BTNOpenCom")->isEnabled());
    QVERIFY(!h.c<QAbstractButton>("start")->isEnabled());
    QVERIFY(!h.c<QAbstractButton>("chkVerify")->isEnabled());
    QVERIFY(h.logText().contains("Связь с портом Симулятор потеряна. Порт закрыт."));
}

void TestFirmwareWindow::closingDuringARun_data() {
    QTest::addColumn<bool>("yes");
    QTest::newRow("Нет: the run goes on") << false;
    QTest::newRow("Да: stopped, then closed") << true;
}

void TestFirmwareWindow::closingDuringARun() {
    QFETCH(bool, yes);
    WindowHarness h({1});
    h.open();
    const QByteArray image = makeImage(2);
    chooseImage(h, image);
    h.dialog.clear();
    // The sensor is not powered up yet: the run waits for the sync answer.
    h.line.sensors.first()->setMuted(true);
    h.run("start_Click");
    QTRY_VERIFY_WITH_TIMEOUT(h.port->writes().size() >= 2, 5000);
    h.dialog.yesNoAnswers.enqueue(yes);
    QCOMPARE(h.w->close(), yes);
    QCOMPARE(h.dialog.calls.size(), 1);
    QCOMPARE(h.dialog.calls.front().kind, QString("question"));
    QCOMPARE(h.dialog.calls.front().text,
             QString("Идёт прошивка датчика. Прервать её и закрыть программу?"));
    if (yes) {
        // The worker has stopped, and the port is closed as every close does.
        QCOMPARE(runner(h), nullptr);
        QCOMPARE(h.session.port(), nullptr);
        QVERIFY(h.logText().endsWith(" : Com Port Симулятор Closed\"\r\n"));
        return;
    }
    QVERIFY(runner(h)->isRunning());
    h.line.sensors.first()->setMuted(false);
    auto loader = prepareRun(h, image);
    awaitEnd(h);
    QVERIFY(h.c<QPlainTextEdit>("txtRec1")->toPlainText().endsWith("-----Готово------"));
    QCOMPARE(loader->memory(0x9000, 2 * 128), image.mid(64 + 160 * 128));
}

void TestFirmwareWindow::readBack_data() {
    QTest::addColumn<quint32>("wornCell"); // 0: none
    QTest::addColumn<QStringList>("boxes");
    QTest::addColumn<QString>("progress");
    QTest::newRow("all equal") << 0u << QStringList{} << "Проверка: 3 из 3 блоков";
    QTest::newRow("a worn cell in the second block")
        << 0x9083u
        << QStringList{"Проверка не пройдена: блок 2 (адрес 0x9080) отличается.", NotFinished}
        << "Проверка: 1 из 3 блоков";
}

void TestFirmwareWindow::readBack() {
    QFETCH(quint32, wornCell);
    QFETCH(QStringList, boxes);
    QFETCH(QString, progress);
    WindowHarness h({1});
    h.open();
    auto loader = prepareRun(h, makeImage(3));
    if (wornCell)
        loader->stuckByte(wornCell, 0x5A);
    h.c<QAbstractButton>("chkVerify")->setChecked(true);
    h.port->clearWrites();
    h.run("start_Click");
    QVERIFY(!h.c<QAbstractButton>("chkVerify")->isEnabled()); // the run took its settings
    awaitEnd(h);
    QVERIFY(h.c<QAbstractButton>("chkVerify")->isEnabled());
    QCOMPARE(h.dialog.messages(), boxes);
    QCOMPARE(h.c<QProgressBar>("fwProgress")->text(), progress);
    // After the last block, Read Memory of each block up to the first bad
    // one; Go only when all were equal.
    const QList<QByteArray> addresses = {QByteArray::fromHex("0000900090"),
                                         QByteArray::fromHex("0000908010"),
                                         QByteArray::fromHex("0000910091")};
    QList<QByteArray> expected;
    for (int b = 0; b < (wornCell ? 2 : 3); ++b)
        expected << QByteArray::fromHex("11ee") << addresses[b] << QByteArray::fromHex("7f80");
    if (!wornCell)
        expected << QByteArray::fromHex("21de");
    const QList<QByteArray> writes = h.port->writes();
    const qsizetype firstRead = writes.indexOf(QByteArray::fromHex("11ee"));
    QCOMPARE(firstRead, qsizetype(3 + 12 + 3 * 3));
    QCOMPARE(writes.mid(firstRead), expected);
}

// With the check off the loader sends, byte for byte, what it sent before the
// check existed (recorded from such a run: LV300, calibrations reset, three
// program blocks).
void TestFirmwareWindow::withoutTheCheckTheExchangeIsUnchanged() {
    WindowHarness h({1});
    QVERIFY(!h.c<QAbstractButton>("chkVerify")->isChecked());
    QCOMPARE(h.c<QAbstractButton>("chkVerify")->text(), QString("Проверить запись"));
    QCOMPARE(h.c<QAbstractButton>("chkVerify")->isEnabled(),
             h.c<QAbstractButton>("start")->isEnabled());
    h.open();
    h.findSensors();
    QVERIFY(h.c<QAbstractButton>("chkVerify")->isEnabled());
    QCOMPARE(h.c<QAbstractButton>("chkVerify")->isVisibleTo(h.w.get()),
             h.c<QAbstractButton>("start")->isVisibleTo(h.w.get()));
    QFile recorded(QFINDTESTDATA("../firmware/recorded_flash_lv300.txt"));
    QVERIFY(recorded.open(QIODevice::ReadOnly));
    QList<QByteArray> expected;
    for (const QByteArray& line : recorded.readAll().split('\n'))
        if (!line.trimmed().isEmpty())
            expected << QByteArray::fromHex(line);
    prepareRun(h, makeImage(3));
    h.c<QAbstractButton>("EEPROM")->setChecked(true);
    h.port->clearWrites();
    h.run("start_Click");
    awaitEnd(h);
    QCOMPARE(h.port->writes().mid(0, expected.size()), expected);
    QVERIFY(h.c<QPlainTextEdit>("txtRec1")->toPlainText().endsWith("-----Готово------"));
}

QTEST_MAIN(TestFirmwareWindow)
#include "tst_firmware_window.moc"
