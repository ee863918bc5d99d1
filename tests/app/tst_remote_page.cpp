// The "Дист. упр." tab of the real main window: what each item of the
// operation list shows, the firmware check box, and the gateway lines the
// generate button writes, while the port and the pending request stay
// untouched.
#include "window_harness.h"

#include "base/message_window.h"

#include "link/frame.h"

#include <QTest>

namespace {

const QString PwdRange = QStringLiteral("Введите числовой пароль в диапазоне 0....2 000 000 000");
const QString ShiftRange = QStringLiteral("Значения могут быть от -1000 до 1000");
const QString LevelRange = QStringLiteral("Введите значение уровня в диапазоне 0....2 000 000 000");
const QString Previous = QStringLiteral("S485=previous line");

// A gateway line for a request given without its CRC: the CRC is appended,
// the request length counted, time-out 1500 and 19200 baud.
QString gw(int answerLength, const char* hexWithoutCrc) {
    const QByteArray f = frame::Control_summ(QByteArray::fromHex(hexWithoutCrc));
    return QStringLiteral("S485=%1:%2:1500:19200:%3")
        .arg(f.size())
        .arg(answerLength)
        .arg(QString::fromLatin1(f.toHex().toUpper()));
}

// The request inside a line.
QByteArray frameOf(const QString& line) {
    return QByteArray::fromHex(line.section(QLatin1Char(':'), 4).toLatin1());
}

// Picks an item as the user does.
void select(WindowHarness& h, int index) {
    h.ui()->VibGenCmd->setCurrentIndex(index);
    emit h.ui()->VibGenCmd->activated(index);
}

QList<QWidget*> sliderGroup(Ui::frmSerial* ui) {
    return {ui->Slider1d, ui->Label25, ui->sglad};
}

QList<QWidget*> extendedBoxes(Ui::frmSerial* ui) {
    return {ui->tartab1d, ui->per_sentsd, ui->Termokompensd};
}

// Mode inputs by short names: p485 (periodic RS485 option), i, u, d, t, s, k
// (the check boxes iinvd, usrednd, D_4096d, tartab1d, per_sentsd,
// Termokompensd), gN (the slider at N).
void setModeInputs(Ui::frmSerial* ui, const QStringList& flags) {
    for (const QString& f : flags) {
        if (f == "p485")
            ui->r_p485d->setChecked(true);
        else if (f == "i")
            ui->iinvd->setChecked(true);
        else if (f == "u")
            ui->usrednd->setChecked(true);
        else if (f == "d")
            ui->D_4096d->setChecked(true);
        else if (f == "t")
            ui->tartab1d->setChecked(true);
        else if (f == "s")
            ui->per_sentsd->setChecked(true);
        else if (f == "k")
            ui->Termokompensd->setChecked(true);
        else if (f.startsWith("g"))
            ui->Slider1d->setValue(f.mid(1).toInt());
        else
            QFAIL(qPrintable("unknown mode input " + f));
    }
}

} // namespace

class TestRemotePage : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::Russian)); }
    void itemsAndStartState();
    void selectionShows_data();
    void selectionShows();
    void valueBoxKeptAcrossSelections();
    void chVerClickShowsExtendedInputs();
    void hiddenTickStillCounts();
    void generate_data();
    void generate();
    void refusalKeepsLine_data();
    void refusalKeepsLine();
    void noSelectionDoesNothing();
    void neverTouchesPortOrPending();
};

void TestRemotePage::itemsAndStartState() {
    WindowHarness h;
    auto* ui = h.ui();
    QStringList items;
    for (int i = 0; i < ui->VibGenCmd->count(); ++i)
        items << ui->VibGenCmd->itemText(i);
    QCOMPARE(items,
             (QStringList{"Ввести пароль", "Запрс состояния",
                          "Запрсить версию прошивки и серийный номер", "Сдвинуть уровень полного",
                          "Сдвинуть уровень пустого", "Установить уровень полного",
                          "Установить уровень пустого", "Установить режим", "Установить пароль"}));
    QCOMPARE(ui->VibGenCmd->currentIndex(), 0);
    QCOMPARE(ui->dist_net_num->text(), QString("1"));
    QCOMPARE(ui->chislo_sdv->text(), QString("0"));
    QVERIFY(!ui->ch_ver->isChecked());
    QVERIFY(ui->r485d->isChecked());
    QVERIFY(ui->gen_txt->text().isEmpty());
    QVERIFY(!ui->gen_zapr->isHidden());
    QVERIFY(ui->gen_zapr->isEnabled());
    QCOMPARE(ui->gen_zapr->text(), QString("Cгенерировать запрос"));
    QVERIFY(ui->gen_zapr->text().startsWith(QChar('C'))); // a Latin C
    for (QWidget* w : sliderGroup(ui) + extendedBoxes(ui))
        QVERIFY2(w->isHidden(), qPrintable(w->objectName()));
    for (QWidget* w : {static_cast<QWidget*>(ui->r_ad), static_cast<QWidget*>(ui->r_fd),
                       static_cast<QWidget*>(ui->r_pd)})
        QVERIFY(w->isHidden());
}

void TestRemotePage::selectionShows_data() {
    QTest::addColumn<int>("index");
    QTest::addColumn<bool>("chVer");
    QTest::addColumn<QString>("caption"); // null: value box and caption hidden
    QTest::addColumn<bool>("frame5");
    QTest::addColumn<bool>("sliders");

    const QString hidden;
    for (bool chVer : {false, true}) {
        const char* suffix = chVer ? " ch_ver" : "";
        QTest::addRow("0%s", suffix) << 0 << chVer << "Введите числовой пароль:" << false << chVer;
        QTest::addRow("1%s", suffix) << 1 << chVer << hidden << false << chVer;
        QTest::addRow("2%s", suffix) << 2 << chVer << hidden << false << chVer;
        QTest::addRow("3%s", suffix) << 3 << chVer << "Сдвиг полного в У.Е" << false << chVer;
        QTest::addRow("4%s", suffix) << 4 << chVer << "Сдвиг пустого в У.Е" << false << chVer;
        QTest::addRow("5%s", suffix)
            << 5 << chVer << "Установить в качестве полного" << false << chVer;
        QTest::addRow("6%s", suffix)
            << 6 << chVer << "Установить в качестве пустого" << false << chVer;
        QTest::addRow("7%s", suffix) << 7 << chVer << hidden << true << chVer;
        QTest::addRow("8%s", suffix)
            << 8 << chVer << "Установить в качестве пароля доступа" << false << chVer;
    }
}

void TestRemotePage::selectionShows() {
    QFETCH(int, index);
    QFETCH(bool, chVer);
    QFETCH(QString, caption);
    QFETCH(bool, frame5);
    QFETCH(bool, sliders);

    WindowHarness h;
    auto* ui = h.ui();
    if (chVer)
        ui->ch_ver->click();
    // Come from an item that shows the value box and one that shows the frame.
    select(h, 7);
    select(h, 5);
    select(h, index);
    QCOMPARE(!ui->chislo_sdv->isHidden(), !caption.isNull());
    QCOMPARE(!ui->lchislo->isHidden(), !caption.isNull());
    if (!caption.isNull())
        QCOMPARE(ui->lchislo->text(), caption);
    QCOMPARE(!ui->Frame5->isHidden(), frame5);
    for (QWidget* w : sliderGroup(ui))
        QCOMPARE(!w->isHidden(), sliders);
    for (QWidget* w : extendedBoxes(ui))
        QCOMPARE(!w->isHidden(), chVer);
    QVERIFY(ui->gen_txt->text().isEmpty()); // selecting generates nothing
}

void TestRemotePage::valueBoxKeptAcrossSelections() {
    WindowHarness h;
    auto* ui = h.ui();
    ui->dist_net_num->setText("1");
    select(h, 0);
    ui->chislo_sdv->setText("-100");
    for (int i : {1, 2, 7, 8, 5, 3}) {
        select(h, i);
        QCOMPARE(ui->chislo_sdv->text(), QString("-100"));
    }
    // A value typed for the password serves as the shift.
    ui->gen_zapr->click();
    QCOMPARE(ui->gen_txt->text(), gw(10, "3101F4FF9C"));
    // And a password left in the box is a shift out of range.
    select(h, 8);
    ui->chislo_sdv->setText("5000");
    select(h, 4);
    QCOMPARE(ui->chislo_sdv->text(), QString("5000"));
    ui->gen_zapr->click();
    QCOMPARE(h.dialog.messages(), QStringList{ShiftRange});
    QCOMPARE(ui->gen_txt->text(), gw(10, "3101F4FF9C"));
}

void TestRemotePage::chVerClickShowsExtendedInputs() {
    WindowHarness h;
    auto* ui = h.ui();
    select(h, 7);
    QVERIFY(!ui->Frame5->isHidden());
    ui->ch_ver->click();
    QVERIFY(ui->ch_ver->isChecked());
    for (QWidget* w : sliderGroup(ui) + extendedBoxes(ui))
        QVERIFY2(!w->isHidden(), qPrintable(w->objectName()));
    ui->ch_ver->click();
    QVERIFY(!ui->ch_ver->isChecked());
    for (QWidget* w : sliderGroup(ui) + extendedBoxes(ui))
        QVERIFY2(w->isHidden(), qPrintable(w->objectName()));

    // Selecting item 7 follows the box for the slider group only.
    ui->ch_ver->click();
    ui->ch_ver->setChecked(false); // changed without a click
    select(h, 7);
    for (QWidget* w : sliderGroup(ui))
        QVERIFY2(w->isHidden(), qPrintable(w->objectName()));
    for (QWidget* w : extendedBoxes(ui))
        QVERIFY2(!w->isHidden(), qPrintable(w->objectName()));
    // So does a click on the tab strip.
    ui->ch_ver->setChecked(true);
    emit ui->SSTab1->tabBarClicked(2);
    for (QWidget* w : sliderGroup(ui))
        QVERIFY2(!w->isHidden(), qPrintable(w->objectName()));
    // The slider writes its position into sglad.
    ui->Slider1d->setValue(12);
    QCOMPARE(ui->sglad->text(), QString("12"));
}

void TestRemotePage::hiddenTickStillCounts() {
    WindowHarness h;
    auto* ui = h.ui();
    select(h, 7);
    ui->ch_ver->click();
    ui->tartab1d->setChecked(true);
    ui->Termokompensd->setChecked(true);
    ui->Slider1d->setValue(7);
    ui->gen_zapr->click();
    QCOMPARE(ui->gen_txt->text(), gw(6, "3101F25AC3964087"));
    ui->ch_ver->click(); // hides the litres box; its tick stays and counts
    QVERIFY(ui->tartab1d->isHidden());
    QVERIFY(ui->tartab1d->isChecked());
    ui->gen_zapr->click();
    QCOMPARE(ui->gen_txt->text(), gw(5, "3101F240"));
}

void TestRemotePage::generate_data() {
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("address");
    QTest::addColumn<QString>("value");
    QTest::addColumn<bool>("chVer");
    QTest::addColumn<QStringList>("mode");
    QTest::addColumn<QString>("line");

    const QStringList plain;
    // The worked examples, character for character.
    QTest::newRow("status of 1") << 1 << "1"
                                 << "0" << false << plain << "S485=4:23:1500:19200:3101F0C5";
    QTest::newRow("identity of 1") << 2 << "1"
                                   << "0" << false << plain << "S485=4:10:1500:19200:3101FC66";
    QTest::newRow("status of 10") << 1 << "10"
                                  << "0" << false << plain << "S485=4:23:1500:19200:310AF0E6";
    QTest::newRow("mode RS-485") << 7 << "1"
                                 << "0" << false << plain << "S485=5:5:1500:19200:3101F20064";
    QTest::newRow("shift full -100 at 5")
        << 3 << "5"
        << "-100" << false << plain << "S485=6:10:1500:19200:3105F4FF9CE8";
    QTest::newRow("shift empty 100 at 5")
        << 4 << "5"
        << "100" << false << plain << "S485=6:8:1500:19200:3105F90064CF";
    QTest::newRow("direct empty 12345")
        << 6 << "1"
        << "12345" << false << plain << "S485=8:8:1500:19200:3101ED0000303927";
    QTest::newRow("mode periodic RS485 smoothing")
        << 7 << "1"
        << "0" << false << QStringList{"p485", "u"} << "S485=5:5:1500:19200:3101F2183B";

    // Limits and the firmware check box.
    QTest::newRow("status of 199") << 1 << "199"
                                   << "0" << false << plain << gw(23, "31C7F0");
    QTest::newRow("status ch_ver") << 1 << "1"
                                   << "0" << true << plain << gw(24, "3101F0");
    QTest::newRow("identity ch_ver unchanged")
        << 2 << "1"
        << "0" << true << plain << "S485=4:10:1500:19200:3101FC66";
    QTest::newRow("identity of 255") << 2 << "255"
                                     << "0" << false << plain << gw(10, "31FFFC");
    QTest::newRow("password 0") << 0 << "1"
                                << "0" << false << plain << gw(4, "3101F800000000");
    QTest::newRow("password 0 ch_ver") << 0 << "1"
                                       << "0" << true << plain << gw(4, "3101F85AC39600000000");
    QTest::newRow("password of 200") << 0 << "200"
                                     << "77" << false << plain << gw(4, "31C8F80000004D");
    QTest::newRow("new password max") << 8 << "1"
                                      << "2000000000" << false << plain << gw(8, "3101F777359400");
    QTest::newRow("new password ch_ver") << 8 << "3"
                                         << "7" << true << plain << gw(8, "3103F75AC39600000007");
    QTest::newRow("shift 1000") << 3 << "1"
                                << "1000" << false << plain << gw(10, "3101F403E8");
    QTest::newRow("shift -1") << 3 << "1"
                              << "-1" << false << plain << gw(10, "3101F4FFFF");
    QTest::newRow("shift -1000 ch_ver") << 4 << "1"
                                        << "-1000" << true << plain << gw(8, "3101F95AC396FC18");
    QTest::newRow("shift of 0") << 4 << "0"
                                << "0" << false << plain << gw(8, "3100F90000");
    QTest::newRow("direct full 0") << 5 << "1"
                                   << "0" << false << plain << gw(10, "3101EC00000000");
    QTest::newRow("direct full max ch_ver")
        << 5 << "1"
        << "2000000000" << true << plain << gw(10, "3101EC5AC39677359400");
    QTest::newRow("direct empty at 250") << 6 << "250"
                                         << "1" << false << plain << gw(8, "31FAED00000001");
    QTest::newRow("mode every flag ch_ver")
        << 7 << "1"
        << "0" << true << QStringList{"i", "u", "d", "t", "s", "k", "g5"}
        << gw(6, "3101F25AC396E985");
    QTest::newRow("mode smoothing 15 ch_ver")
        << 7 << "2"
        << "0" << true << QStringList{"p485", "g15"} << gw(6, "3102F25AC396100F");
    QTest::newRow("mode inverted 4096 without ch_ver")
        << 7 << "1"
        << "0" << false << QStringList{"i", "d", "g9"} << gw(5, "3101F281");
}

void TestRemotePage::generate() {
    QFETCH(int, index);
    QFETCH(QString, address);
    QFETCH(QString, value);
    QFETCH(bool, chVer);
    QFETCH(QStringList, mode);
    QFETCH(QString, line);

    WindowHarness h;
    auto* ui = h.ui();
    if (chVer)
        ui->ch_ver->click();
    select(h, index);
    ui->dist_net_num->setText(address);
    ui->chislo_sdv->setText(value);
    setModeInputs(ui, mode);
    ui->gen_txt->setText(Previous);
    const QString txtBefore = ui->txtRec->toPlainText();
    const QByteArray pending = h.w->engine.wrs;
    const QByteArray logBefore = h.logBytes();

    ui->gen_zapr->click();
    QCOMPARE(ui->gen_txt->text(), line);
    QCOMPARE(h.dialog.calls.size(), 0);
    // Items 0, 5, 6, 7 and 8 echo the request to the message window.
    if (QList<int>{0, 5, 6, 7, 8}.contains(index))
        QCOMPARE(shownHex(ui->txtRec), hexBytes(frameOf(line)));
    else
        QCOMPARE(ui->txtRec->toPlainText(), txtBefore);
    QCOMPARE(h.w->engine.wrs, pending);
    QCOMPARE(h.logBytes(), logBefore);
    QVERIFY(h.w->port() == nullptr);
    // The same inputs give the same line again.
    ui->gen_zapr->click();
    QCOMPARE(ui->gen_txt->text(), line);
}

void TestRemotePage::refusalKeepsLine_data() {
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("address");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QStringList>("messages");

    const QStringList silent;
    for (int i : {1, 3, 4})
        QTest::addRow("item %d at 200", i) << i << "200"
                                           << "0" << silent;
    for (int i = 1; i <= 7; ++i) {
        QTest::addRow("item %d at 256", i) << i << "256"
                                           << "0" << silent;
        QTest::addRow("item %d at abc", i) << i << "abc"
                                           << "0" << silent;
    }
    QTest::newRow("password at 256") << 0 << "256"
                                     << "0" << QStringList{PwdRange};
    QTest::newRow("new password at abc") << 8 << "abc"
                                         << "0" << QStringList{PwdRange};
    QTest::newRow("password -5") << 0 << "1"
                                 << "-5" << QStringList{PwdRange};
    QTest::newRow("password x") << 0 << "1"
                                << "x" << QStringList{PwdRange};
    QTest::newRow("new password 2000000001") << 8 << "1"
                                             << "2000000001" << QStringList{PwdRange};
    QTest::newRow("shift 1001") << 3 << "1"
                                << "1001" << QStringList{ShiftRange};
    QTest::newRow("shift -1001") << 4 << "1"
                                 << "-1001" << QStringList{ShiftRange};
    QTest::newRow("shift x") << 3 << "1"
                             << "x" << silent;
    QTest::newRow("shift at 200 out of range") << 3 << "200"
                                               << "5000" << silent;
    QTest::newRow("direct 2000000001") << 5 << "1"
                                       << "2000000001" << QStringList{LevelRange};
    QTest::newRow("direct -1") << 6 << "1"
                               << "-1" << QStringList{LevelRange};
    QTest::newRow("direct x") << 5 << "1"
                              << "x" << silent;
    QTest::newRow("direct -1 at abc") << 6 << "abc"
                                      << "-1" << QStringList{LevelRange};
}

void TestRemotePage::refusalKeepsLine() {
    QFETCH(int, index);
    QFETCH(QString, address);
    QFETCH(QString, value);
    QFETCH(QStringList, messages);

    WindowHarness h;
    auto* ui = h.ui();
    select(h, index);
    ui->dist_net_num->setText(address);
    ui->chislo_sdv->setText(value);
    ui->gen_txt->setText(Previous);
    const QString txtBefore = ui->txtRec->toPlainText();
    const QByteArray logBefore = h.logBytes();
    ui->gen_zapr->click();
    QCOMPARE(ui->gen_txt->text(), Previous);
    QCOMPARE(h.dialog.messages(), messages);
    QCOMPARE(ui->txtRec->toPlainText(), txtBefore);
    QCOMPARE(h.logBytes(), logBefore);
}

void TestRemotePage::noSelectionDoesNothing() {
    WindowHarness h;
    auto* ui = h.ui();
    ui->VibGenCmd->setCurrentIndex(-1);
    ui->gen_txt->setText(Previous);
    ui->gen_zapr->click();
    QCOMPARE(ui->gen_txt->text(), Previous);
    QVERIFY(h.dialog.calls.isEmpty());
}

void TestRemotePage::neverTouchesPortOrPending() {
    WindowHarness h;
    auto* ui = h.ui();
    h.open();
    h.findSensors();
    h.ticks(2);
    // The generator is offered only while the port is closed.
    QVERIFY(ui->gen_zapr->isHidden());

    // Even reached directly, it leaves the exchange alone.
    const QByteArray waiting = frame::request(1, 0xFC);
    h.w->engine.wrs = waiting;
    const QByteArray logBefore = h.logBytes();
    const int writes = h.port->writes().size();
    QStringList lines;
    ui->chislo_sdv->setText("5");
    for (int i = 0; i < 9; ++i) {
        select(h, i);
        h.w->gen_zapr_Click();
        lines << ui->gen_txt->text();
        QCOMPARE(h.w->engine.wrs, waiting);
    }
    QCOMPARE(lines.size(), 9);
    QCOMPARE(lines.last(), gw(8, "3101F700000005"));
    QCOMPARE(h.port->writes().size(), writes);
    QCOMPARE(h.logBytes(), logBefore);
    h.ticks(1);
    QCOMPARE(h.port->writes().mid(writes), QList<QByteArray>{waiting});

    // Closing the port offers it again.
    ui->BTNCloseCom->click();
    QVERIFY(!ui->gen_zapr->isHidden());
    QVERIFY(ui->gen_zapr->isEnabled());
    const QByteArray pending = h.w->engine.wrs;
    select(h, 1);
    ui->gen_zapr->click();
    QCOMPARE(ui->gen_txt->text(), QString("S485=4:23:1500:19200:3101F0C5"));
    QCOMPARE(h.w->engine.wrs, pending);
}

QTEST_MAIN(TestRemotePage)
#include "tst_remote_page.moc"
