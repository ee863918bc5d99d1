// The firmware tab of the main window: a whole run against the simulated
// bootloader in its worker thread, cancel, and the refusals.
#include "window_harness.h"

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

firmware::FirmwareRunner* runner(WindowHarness& h) {
    auto* page = h.w->findChild<FirmwarePage*>();
    if (!page)
        qFatal("The window has no firmware page");
    return page->runner();
}

QPushButton* cancelButton(WindowHarness& h) {
    return h.c<QPushButton>("fwCancel");
}

QProgressBar* progressBar(WindowHarness& h) {
    return h.c<QProgressBar>("fwProgress");
}

QString loaderLog(WindowHarness& h) {
    return h.c<QPlainTextEdit>("txtRec1")->toPlainText();
}
} // namespace

class TestFirmwareWindow : public QObject {
    Q_OBJECT
private slots:
    void refusesWithoutPortOrFile();
    void flashesAndResumesEngine();
    void cancelDuringSyncKeepsPortUsable();
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
    const QString path = h.dir.path() + "/fw.cri";
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    const QByteArray image = makeImage(3);
    f.write(image);
    f.close();
    h.dialog.fileAnswers.enqueue(path);
    h.run("Command8_Click");
    QCOMPARE(h.dialog.calls.last().kind, QString("open"));
    QCOMPARE(h.dialog.calls.last().title, QString("Open"));
    QCOMPARE(h.dialog.calls.last().extra, QString("Bin Files (*.cri)"));
    QCOMPARE(h.c<QLabel>("filename_prog")->text(), path);

    auto sensor = h.line.sensors.first();
    auto loader = std::make_shared<Stm8Bootloader>();
    loader->powerUp();
    loader->setOnGo(sensor->leaveBootloaderCallback());
    sensor->enterBootloader(loader);
    h.c<QCheckBox>("EEPROM")->setChecked(true);
    // The sensor's answer to the last data poll still waits in the port.
    QVERIFY(h.port->bytesAvailable() > 0);
    h.run("start_Click");
    QVERIFY(runner(h)->isRunning());
    QVERIFY(!h.session.tickTimer()->isActive()); // the tick is paused for the run
    QVERIFY(!h.c("start")->isEnabled());
    QVERIFY(!h.c("BTNCloseCom")->isEnabled());
    QVERIFY(cancelButton(h)->isEnabled());
    QTRY_VERIFY2_WITH_TIMEOUT(!runner(h)->isRunning(),
                              qPrintable(loaderLog(h) + h.dialog.messages().join("|")), 30000);
    QVERIFY(h.session.tickTimer()->isActive());
    QVERIFY(!cancelButton(h)->isEnabled());
    // The tab is ready for the next run, and the port can be closed again.
    QVERIFY(h.c("start")->isEnabled());
    QVERIFY(h.c("Command8")->isEnabled());
    QVERIFY(h.c("BTNCloseCom")->isEnabled());
    const QString log = loaderLog(h);
    QVERIFY(log.startsWith("Прошиваем !  "));
    QVERIFY(log.contains("Ok! "));
    QVERIFY(log.contains("Block -1"));
    QVERIFY(log.contains("Block 1"));
    QVERIFY(log.endsWith("-----Готово------"));
    QCOMPARE(progressBar(h)->value(), 11); // 8 EEPROM + 3 program blocks
    QCOMPARE(progressBar(h)->maximum(), 11);
    for (int b = 0; b < 3; ++b)
        QCOMPARE(loader->memory(0x9000 + 128 * b, 128), image.mid(64 + 128 * (160 + b), 128));
    for (int b = 0; b < 8; ++b)
        QCOMPARE(loader->memory(0x4000 + 128 * b, 128), image.mid(64 + 128 * b, 128));
    QCOMPARE(loader->memory(0x4803, 1), QByteArray(1, char(0x11)));
    QCOMPARE(loader->memory(0x4809, 1), QByteArray(1, char(0x44)));
    // The sensor answers again after Go, and the session polls it.
    QVERIFY(!sensor->inBootloader());
    h.ticks(2);
    QCOMPARE(h.c<QLabel>("MsgCom")->text(), QString("Датчик подключен"));
}

void TestFirmwareWindow::cancelDuringSyncKeepsPortUsable() {
    WindowHarness h({1});
    h.open();
    h.findSensors();
    const QString path = h.dir.path() + "/fw.cri";
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(makeImage(1));
    f.close();
    h.dialog.fileAnswers.enqueue(path);
    h.run("Command8_Click");
    // Nobody powers the sensor up into its loader: the sync wait goes on.
    h.line.sensors.first()->setMuted(true);
    h.run("start_Click");
    QVERIFY(runner(h)->isRunning());
    QTest::qWait(300);
    QVERIFY(runner(h)->isRunning());
    cancelButton(h)->click();
    QTRY_VERIFY_WITH_TIMEOUT(!runner(h)->isRunning(), 5000);
    QVERIFY(h.session.tickTimer()->isActive());
    QVERIFY(loaderLog(h).contains("Прервано"));
    h.line.sensors.first()->setMuted(false);
    h.ticks(2);
    QCOMPARE(h.c<QLabel>("MsgCom")->text(), QString("Датчик подключен"));
}

QTEST_MAIN(TestFirmwareWindow)
#include "tst_firmware_window.moc"
