// The profile buttons of the settings page and the apply summary, in the
// window against the simulated line.

#include "support/window_harness.h"

#include "profile/gui/profile_page.h"

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTimer>

class TestProfilePage : public QObject {
    Q_OBJECT
private slots:
    void buttonsFollowThePort();
    void apply_data();
    void apply();
};

void TestProfilePage::buttonsFollowThePort() {
    WindowHarness h;
    QVERIFY(!h.c("saveProfile")->isEnabled());
    QVERIFY(!h.c("applyProfile")->isEnabled());
    h.open();
    QVERIFY(h.c("saveProfile")->isEnabled());
    QVERIFY(h.c("applyProfile")->isEnabled());
}

// The sensor's setup saved, its mode changed, the profile applied: the
// summary names the sensor and the difference, the run writes the mode back
// or is refused by the sensor's password.
void TestProfilePage::apply_data() {
    QTest::addColumn<bool>("locked");
    QTest::addColumn<QString>("status");
    QTest::addColumn<int>("modeAfter");
    QTest::newRow("written and checked")
        << false << "Записано: 1. Проверка: датчик совпадает с профилем." << 0x00;
    QTest::newRow("refused by the password")
        << true
        << "Режим 0, сглаживание 0, термокомпенсация вкл.: Неверный пароль. Датчик заблокирован "
           "паролем; больше ничего не записывалось."
        << 0x40;
}

void TestProfilePage::apply() {
    QFETCH(bool, locked);
    QFETCH(QString, status);
    QFETCH(int, modeAfter);
    WindowHarness h;
    h.open();
    h.findSensors();
    const QString path = h.dir.filePath(QStringLiteral("s1.lv300.json"));
    h.dialog.fileAnswers.enqueue(path);
    h.run("saveProfile_Click");
    QCOMPARE(h.dialog.messages().last(),
             QStringLiteral("Профиль датчика сохранен в файл ") + QDir::toNativeSeparators(path));

    SimSensor& sensor = *h.line.sensors[0];
    sensor.setMode(0x40);
    if (locked)
        sensor.setPassword(4321);
    auto* page = h.w->findChild<ProfilePage*>();
    QString header, modes, shown;
    bool modesChosen = false, levelsChosen = true;
    // The summary is modal: it is worked from a timer once it is up (the
    // readings before it run event loops of their own).
    QTimer poll;
    poll.setInterval(5);
    connect(&poll, &QTimer::timeout, this, [&] {
        QWidget* d = page->openDialog();
        if (!d || !d->isVisible())
            return;
        poll.stop();
        header = control<QLabel>(d, "profileHeader")->text();
        modes = control<QLabel>(d, "detail_modes")->text();
        modesChosen = control<QCheckBox>(d, "group_modes")->isChecked();
        levelsChosen = control<QCheckBox>(d, "group_levels")->isChecked();
        control<QPushButton>(d, "applyButton")->click();
        shown = control<QLabel>(d, "status")->text();
        control<QPushButton>(d, "closeButton")->click();
    });
    poll.start();
    h.dialog.fileAnswers.enqueue(path);
    h.run("applyProfile_Click");

    QVERIFY2(header.contains(QStringLiteral("s1.lv300.json")), qPrintable(header));
    QVERIFY2(header.contains(QStringLiteral("Датчик: адрес 1")), qPrintable(header));
    QVERIFY2(modes.contains(QStringLiteral("Режим: 64 (RS-485, в литры) → 0 (RS-485)")),
             qPrintable(modes));
    QVERIFY(modesChosen);
    QVERIFY(!levelsChosen); // levels belong to one sensor: off by default
    QCOMPARE(shown, status);
    QCOMPARE(int(sensor.mode()), modeAfter);
}

QTEST_MAIN(TestProfilePage)
#include "tst_profile_page.moc"
