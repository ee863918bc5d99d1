// The "Дист. упр." tab of the real main window: what each item of the
// operation list shows, the firmware check box, and the gateway lines the
// generate button writes, while the port and the pending request stay
// untouched.
#include "support/window_harness.h"

#include "base/message_window.h"

#include "link/frame.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QTabWidget>
#include <QTest>

namespace {

const QString PwdRange = QStringLiteral("Введите числовой пароль в диапазоне 0....2 000 000 000");
const QString ShiftRange = QStringLiteral("Значения могут быть от -1000 до 1000");
const QString LevelRange = QStringLiteral("Введите значение уровня в диапазоне 0....2 000 000 000");
const QString AddressRange = QStringLiteral("Введите число в диапазоне 0....255");
const QString Previous = QStringLiteral("S485=previous line");

// A gateway line for a request given without its CRC: the CRC is appended,
// the request length counted, time-out 1500 and 19200 baud.
QString gw(int answerLength, const char* hexWithoutCrc) {
    const QByteArray f = frame::withCrc(QByteArray::fromHex(hexWithoutCrc));
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
    h.c<QComboBox>("VibGenCmd")->setCurrentIndex(index);
    emit h.c<QComboBox>("VibGenCmd")->activated(index);
}

QList<QWidget*> sliderGroup(WindowHarness& h) {
    return {h.c("Slider1d"), h.c("Label25"), h.c("sglad")};
}

QList<QWidget*> extendedBoxes(WindowHarness& h) {
    return {h.c("tartab1d"), h.c("per_sentsd"), h.c("Termokompensd")};
}

// Mode inputs by short names: p485 (periodic RS485 option), i, u, d, t, s, k
// (the check boxes iinvd, usrednd, D_4096d, tartab1d, per_sentsd,
// Termokompensd), gN (the slider at N).
void setModeInputs(WindowHarness& h, const QStringList& flags) {
    for (const QString& f : flags) {
        if (f == "p485")
            h.c<QRadioButton>("r_p485d")->setChecked(true);
        else if (f == "i")
            h.c<QCheckBox>("iinvd")->setChecked(true);
        else if (f == "u")
            h.c<QCheckBox>("usrednd")->setChecked(true);
        else if (f == "d")
            h.c<QCheckBox>("D_4096d")->setChecked(true);
        else if (f == "t")
            h.c<QCheckBox>("tartab1d")->setChecked(true);
        else if (f == "s")
            h.c<QCheckBox>("per_sentsd")->setChecked(true);
        else if (f == "k")
            h.c<QCheckBox>("Termokompensd")->setChecked(true);
        else if (f.startsWith("g"))
            h.c<QSlider>("Slider1d")->setValue(f.mid(1).toInt());
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
    void refusalEmptiesLine_data();
    void refusalEmptiesLine();
    void noSelectionDoesNothing();
    void neverTouchesPortOrPending();
};

void TestRemotePage::itemsAndStartState() {
    WindowHarness h;
    QStringList items;
    for (int i = 0; i < h.c<QComboBox>("VibGenCmd")->count(); ++i)
        items << h.c<QComboBox>("VibGenCmd")->itemText(i);
    QCOMPARE(items,
             (QStringList{"Ввести пароль", "Запрс состояния",
                          "Запрсить версию прошивки и серийный номер", "Сдвинуть уровень полного",
                          "Сдвинуть уровень пустого", "Установить уровень полного",
                          "Установить уровень пустого", "Установить режим", "Установить пароль"}));
    QCOMPARE(h.c<QComboBox>("VibGenCmd")->currentIndex(), 0);
    QCOMPARE(h.c<QLineEdit>("dist_net_num")->text(), QString("1"));
    QCOMPARE(h.c<QLineEdit>("chislo_sdv")->text(), QString("0"));
    QVERIFY(!h.c<QCheckBox>("ch_ver")->isChecked());
    QVERIFY(h.c<QRadioButton>("r485d")->isChecked());
    QVERIFY(h.c<QLineEdit>("gen_txt")->text().isEmpty());
    QVERIFY(!h.c<QPushButton>("gen_zapr")->isHidden());
    QVERIFY(h.c<QPushButton>("gen_zapr")->isEnabled());
    QCOMPARE(h.c<QPushButton>("gen_zapr")->text(), QString("Cгенерировать запрос"));
    QVERIFY(h.c<QPushButton>("gen_zapr")->text().startsWith(QChar('C'))); // a Latin C
    for (QWidget* w : sliderGroup(h) + extendedBoxes(h))
        QVERIFY2(w->isHidden(), qPrintable(w->objectName()));
    for (QWidget* w : {h.c("r_ad"), h.c("r_fd"), h.c("r_pd")})
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
    if (chVer)
        h.c<QCheckBox>("ch_ver")->click();
    // Come from an item that shows the value box and one that shows the frame.
    select(h, 7);
    select(h, 5);
    select(h, index);
    QCOMPARE(!h.c<QLineEdit>("chislo_sdv")->isHidden(), !caption.isNull());
    QCOMPARE(!h.c<QLabel>("lchislo")->isHidden(), !caption.isNull());
    if (!caption.isNull())
        QCOMPARE(h.c<QLabel>("lchislo")->text(), caption);
    QCOMPARE(!h.c<QGroupBox>("Frame5")->isHidden(), frame5);
    for (QWidget* w : sliderGroup(h))
        QCOMPARE(!w->isHidden(), sliders);
    for (QWidget* w : extendedBoxes(h))
        QCOMPARE(!w->isHidden(), chVer);
    QVERIFY(h.c<QLineEdit>("gen_txt")->text().isEmpty()); // selecting generates nothing
}

void TestRemotePage::valueBoxKeptAcrossSelections() {
    WindowHarness h;
    h.c<QLineEdit>("dist_net_num")->setText("1");
    select(h, 0);
    h.c<QLineEdit>("chislo_sdv")->setText("-100");
    for (int i : {1, 2, 7, 8, 5, 3}) {
        select(h, i);
        QCOMPARE(h.c<QLineEdit>("chislo_sdv")->text(), QString("-100"));
    }
    // A value typed for the password serves as the shift.
    h.c<QPushButton>("gen_zapr")->click();
    QCOMPARE(h.c<QLineEdit>("gen_txt")->text(), gw(10, "3101F4FF9C"));
    // And a password left in the box is a shift out of range.
    select(h, 8);
    h.c<QLineEdit>("chislo_sdv")->setText("5000");
    select(h, 4);
    QCOMPARE(h.c<QLineEdit>("chislo_sdv")->text(), QString("5000"));
    h.c<QPushButton>("gen_zapr")->click();
    QCOMPARE(h.dialog.messages(), QStringList{ShiftRange});
    QVERIFY(h.c<QLineEdit>("gen_txt")->text().isEmpty()); // the refusal leaves no line
}

void TestRemotePage::chVerClickShowsExtendedInputs() {
    WindowHarness h;
    select(h, 7);
    QVERIFY(!h.c<QGroupBox>("Frame5")->isHidden());
    h.c<QCheckBox>("ch_ver")->click();
    QVERIFY(h.c<QCheckBox>("ch_ver")->isChecked());
    for (QWidget* w : sliderGroup(h) + extendedBoxes(h))
        QVERIFY2(!w->isHidden(), qPrintable(w->objectName()));
    h.c<QCheckBox>("ch_ver")->click();
    QVERIFY(!h.c<QCheckBox>("ch_ver")->isChecked());
    for (QWidget* w : sliderGroup(h) + extendedBoxes(h))
        QVERIFY2(w->isHidden(), qPrintable(w->objectName()));

    // Selecting item 7 follows the box for the slider group only.
    h.c<QCheckBox>("ch_ver")->click();
    h.c<QCheckBox>("ch_ver")->setChecked(false); // changed without a click
    select(h, 7);
    for (QWidget* w : sliderGroup(h))
        QVERIFY2(w->isHidden(), qPrintable(w->objectName()));
    for (QWidget* w : extendedBoxes(h))
        QVERIFY2(!w->isHidden(), qPrintable(w->objectName()));
    // So does a click on the tab strip.
    h.c<QCheckBox>("ch_ver")->setChecked(true);
    emit h.c<QTabWidget>("SSTab1")->tabBarClicked(2);
    for (QWidget* w : sliderGroup(h))
        QVERIFY2(!w->isHidden(), qPrintable(w->objectName()));
    // The slider writes its position into sglad.
    h.c<QSlider>("Slider1d")->setValue(12);
    QCOMPARE(h.c<QLabel>("sglad")->text(), QString("12"));
}

void TestRemotePage::hiddenTickStillCounts() {
    WindowHarness h;
    select(h, 7);
    h.c<QCheckBox>("ch_ver")->click();
    h.c<QCheckBox>("tartab1d")->setChecked(true);
    h.c<QCheckBox>("Termokompensd")->setChecked(true);
    h.c<QSlider>("Slider1d")->setValue(7);
    h.c<QPushButton>("gen_zapr")->click();
    QCOMPARE(h.c<QLineEdit>("gen_txt")->text(), gw(6, "3101F25AC3964087"));
    h.c<QCheckBox>("ch_ver")->click(); // hides the litres box; its tick stays and counts
    QVERIFY(h.c<QCheckBox>("tartab1d")->isHidden());
    QVERIFY(h.c<QCheckBox>("tartab1d")->isChecked());
    h.c<QPushButton>("gen_zapr")->click();
    QCOMPARE(h.c<QLineEdit>("gen_txt")->text(), gw(5, "3101F240"));
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
    if (chVer)
        h.c<QCheckBox>("ch_ver")->click();
    select(h, index);
    h.c<QLineEdit>("dist_net_num")->setText(address);
    h.c<QLineEdit>("chislo_sdv")->setText(value);
    setModeInputs(h, mode);
    h.c<QLineEdit>("gen_txt")->setText(Previous);
    const QString txtBefore = h.c<QPlainTextEdit>("txtRec")->toPlainText();
    const QByteArray pending = h.session.pending();
    const QByteArray logBefore = h.logBytes();

    h.c<QPushButton>("gen_zapr")->click();
    QCOMPARE(h.c<QLineEdit>("gen_txt")->text(), line);
    QCOMPARE(h.dialog.calls.size(), 0);
    // Items 0, 5, 6, 7 and 8 echo the request to the message window.
    if (QList<int>{0, 5, 6, 7, 8}.contains(index))
        QCOMPARE(shownHex(h.c<QPlainTextEdit>("txtRec")), hexBytes(frameOf(line)));
    else
        QCOMPARE(h.c<QPlainTextEdit>("txtRec")->toPlainText(), txtBefore);
    QCOMPARE(h.session.pending(), pending);
    QCOMPARE(h.logBytes(), logBefore);
    QVERIFY(h.session.port() == nullptr);
    // The same inputs give the same line again.
    h.c<QPushButton>("gen_zapr")->click();
    QCOMPARE(h.c<QLineEdit>("gen_txt")->text(), line);
}

// A refusal with a message empties gen_txt, so no stale line is left to be
// copied; the silent address limit of items 1, 3 and 4 leaves it as it was.
void TestRemotePage::refusalEmptiesLine_data() {
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
                                           << "0" << QStringList{AddressRange};
        QTest::addRow("item %d at abc", i) << i << "abc"
                                           << "0" << QStringList{AddressRange};
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
                             << "x" << QStringList{ShiftRange};
    QTest::newRow("shift 1e9") << 4 << "1"
                               << "1e9" << QStringList{ShiftRange};
    QTest::newRow("shift at 200 out of range") << 3 << "200"
                                               << "5000" << silent;
    QTest::newRow("direct 2000000001") << 5 << "1"
                                       << "2000000001" << QStringList{LevelRange};
    QTest::newRow("direct -1") << 6 << "1"
                               << "-1" << QStringList{LevelRange};
    QTest::newRow("direct x") << 5 << "1"
                              << "x" << QStringList{LevelRange};
    QTest::newRow("direct 2147483648") << 6 << "1"
                                       << "2147483648" << QStringList{LevelRange};
    QTest::newRow("direct empty") << 5 << "1"
                                  << "" << QStringList{LevelRange};
    QTest::newRow("direct -1 at abc") << 6 << "abc"
                                      << "-1" << QStringList{LevelRange};
}

void TestRemotePage::refusalEmptiesLine() {
    QFETCH(int, index);
    QFETCH(QString, address);
    QFETCH(QString, value);
    QFETCH(QStringList, messages);

    WindowHarness h;
    select(h, index);
    h.c<QLineEdit>("dist_net_num")->setText(address);
    h.c<QLineEdit>("chislo_sdv")->setText(value);
    h.c<QLineEdit>("gen_txt")->setText(Previous);
    const QString txtBefore = h.c<QPlainTextEdit>("txtRec")->toPlainText();
    const QByteArray logBefore = h.logBytes();
    h.run("gen_zapr_Click");
    QCOMPARE(h.c<QLineEdit>("gen_txt")->text(), messages.isEmpty() ? Previous : QString());
    QCOMPARE(h.dialog.messages(), messages);
    QCOMPARE(h.c<QPlainTextEdit>("txtRec")->toPlainText(), txtBefore);
    QCOMPARE(h.logBytes(), logBefore);
}

void TestRemotePage::noSelectionDoesNothing() {
    WindowHarness h;
    h.c<QComboBox>("VibGenCmd")->setCurrentIndex(-1);
    h.c<QLineEdit>("gen_txt")->setText(Previous);
    h.c<QPushButton>("gen_zapr")->click();
    QCOMPARE(h.c<QLineEdit>("gen_txt")->text(), Previous);
    QVERIFY(h.dialog.calls.isEmpty());
}

void TestRemotePage::neverTouchesPortOrPending() {
    WindowHarness h;
    h.open();
    h.findSensors();
    h.ticks(2);
    // The generator is offered only while the port is closed.
    QVERIFY(h.c<QPushButton>("gen_zapr")->isHidden());

    // Even reached directly, it leaves the exchange alone.
    const QByteArray waiting = frame::request(1, 0xFC);
    h.session.setPending(waiting);
    const QByteArray logBefore = h.logBytes();
    const int writes = h.port->writes().size();
    QStringList lines;
    h.c<QLineEdit>("chislo_sdv")->setText("5");
    for (int i = 0; i < 9; ++i) {
        select(h, i);
        h.run("gen_zapr_Click");
        lines << h.c<QLineEdit>("gen_txt")->text();
        QCOMPARE(h.session.pending(), waiting);
    }
    QCOMPARE(lines.size(), 9);
    QCOMPARE(lines.last(), gw(8, "3101F700000005"));
    QCOMPARE(h.port->writes().size(), writes);
    QCOMPARE(h.logBytes(), logBefore);
    h.ticks(1);
    QCOMPARE(h.port->writes().mid(writes), QList<QByteArray>{waiting});

    // Closing the port offers it again.
    h.c<QPushButton>("BTNCloseCom")->click();
    QVERIFY(!h.c<QPushButton>("gen_zapr")->isHidden());
    QVERIFY(h.c<QPushButton>("gen_zapr")->isEnabled());
    const QByteArray pending = h.session.pending();
    select(h, 1);
    h.c<QPushButton>("gen_zapr")->click();
    QCOMPARE(h.c<QLineEdit>("gen_txt")->text(), QString("S485=4:23:1500:19200:3101F0C5"));
    QCOMPARE(h.session.pending(), pending);
}

QTEST_MAIN(TestRemotePage)
#include "tst_remote_page.moc"
