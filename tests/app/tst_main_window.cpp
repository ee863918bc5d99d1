// The main window driven tick by tick against the simulator.
#include "test_support.h"
#include "window_harness.h"

#include "app/gui/form2.h"
#include "app/gui/markers.h"
#include "base/gui/vb_colors.h"
#include "base/gui/colors.h"
#include "link/frame.h"
#include "tables/gui/form1.h"

#include <QTest>

namespace {
using testsupport::answer;

QByteArray le32(quint32 v) {
    QByteArray b;
    for (int i = 0; i < 4; ++i)
        b.append(char((v >> (8 * i)) & 0xFF));
    return b;
}

QByteArray le16(quint32 v) {
    QByteArray b;
    b.append(char(v & 0xFF));
    b.append(char((v >> 8) & 0xFF));
    return b;
}

// A data answer: temperature, level, raw current/empty/full, coefficient and
// optionally the mode, lamp and smoothing bytes.
QByteArray dataAnswer(quint8 temp, quint16 level, quint32 cur, quint32 empty, quint32 full,
                      quint16 k, const QByteArray& tail = QByteArray::fromHex("000A00")) {
    QByteArray d;
    d.append(char(temp));
    d += le16(level) + le32(cur) + le32(empty) + le32(full) + le16(k) + tail;
    return answer(1, 0xF0, d);
}

// A device that opens but refuses the line settings.
class SettingsRefusingPort : public Port {
public:
    bool open(const QString&, QString* error) override {
        if (error)
            *error = QStringLiteral("refused");
        return false;
    }
    QString setupError() const override {
        return QStringLiteral("Unable to set Comm DCB 19200,n,8,1 Error: 10");
    }
    void close() override {}
    bool isOpen() const override { return false; }
    QByteArray read(int) override { return {}; }
    bool waitForReadyRead(int) override { return false; }
    qint64 write(const QByteArray&) override { return 0; }
    void flush() override {}
    bool hasVanished() const override { return false; }
};

QByteArray identityAnswer(quint32 serial, quint8 fw, quint8 prefix) {
    QByteArray d = le32(serial);
    d.append(char(fw));
    d.append(char(prefix));
    return answer(1, 0xFC, d);
}
} // namespace

class TestMainWindow : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::Russian)); }
    void startupState();
    void splashGivesWayOnSecondTick();
    void startupLogFailureStillShowsWindow();
    void openAndCloseSimulator();
    void openUnavailablePort();
    void openRefusedSettings();
    void networkPollIdentityAndData();
    void addressChangeAsksIdentity();
    void silenceBadCrcUnknownCode();
    void frequencyModeRefusesRequest();
    void fourShortWritesClosePort();
    void vanishedPortReportedOnce();
    void firmwareLadder_data();
    void firmwareLadder();
    void ladderAfterCloseAndOlderSensor();
    void identityCases_data();
    void identityCases();
    void dataDecoding_data();
    void dataDecoding();
    void barLimitAndRange();
    void shortAnswerKeepsModeYes();
    void emptyLevelZeroWarnsOnce();
    void stabilitySequence();
    void sliderAndTabHandlers();
    void rescanKeepsOrClampsSelection();
    void closingWindowClosesPortFirst_data();
    void closingWindowClosesPortFirst();
    void requestLeftWhileClosedIsNotSentOnOpen();
};

void TestMainWindow::startupState() {
    WindowHarness h;
    auto* ui = h.ui();
    QCOMPARE(h.w->windowTitle(), QString("Конфигуратор ЛВ-300 v2.6.3"));
    QCOMPARE(ui->CmbNet->count(), 1);
    QCOMPARE(ui->CmbNet->currentText(), QString("0"));
    QCOMPARE(h.w->engine.wrs,
             QByteArray::fromHex("3100FC") + char(frame::crcOf(QByteArray::fromHex("3100FC"))));
    QVERIFY(h.w->engine.mode_yes);
    QCOMPARE(ui->CmbPort->count(), 1);
    QCOMPARE(ui->CmbPort->currentText(), QString("----"));
    QCOMPARE(ui->VibGenCmd->count(), 9);
    QCOMPARE(ui->VibGenCmd->currentIndex(), 0);
    QCOMPARE(ui->ProgressBar1->value(), 621);
    QCOMPARE(ui->MSFlexGrid1->horizontalHeaderItem(0)->text(), QString("№ проции"));
    QCOMPARE(ui->MSFlexGrid1->horizontalHeaderItem(2)->text(), QString("Уровень"));
    QCOMPARE(ui->SSTab1->currentIndex(), 0);
    QVERIFY(h.w->Timer1->isActive());
    QVERIFY(!h.w->TMRComm->isActive());
    QVERIFY(ui->BTNOpenCom->isEnabled());
    QVERIFY(!ui->BTNCloseCom->isEnabled());
    QVERIFY(!ui->hig->isEnabled()); // marker 9: disabled until a port opens
    QCOMPARE(h.w->Timer1->property("tag").toString(), QString("2"));
    QCOMPARE(ui->Label1->property("tag").toString(), QString("2"));
    // The item-0 selection shows the password prompt.
    QVERIFY(!ui->chislo_sdv->isHidden());
    QCOMPARE(ui->lchislo->text(), QString("Введите числовой пароль:"));
    QVERIFY(ui->Frame5->isHidden());
    QCOMPARE(h.logBytes(), QByteArray("\"Start: 08.12.2026 10:00:00\r\n\"\r\n"));
}

void TestMainWindow::splashGivesWayOnSecondTick() {
    WindowHarness h;
    QVERIFY(h.w->form2()->isVisible());
    QVERIFY(!h.w->isVisible());
    h.w->Timer1_Timer();
    QVERIFY(!h.w->isVisible());
    h.w->Timer1_Timer();
    QVERIFY(h.w->isVisible());
    QVERIFY(!h.w->form2()->isVisible());
    // The rescan filled the port list.
    QCOMPARE(h.ui()->CmbPort->currentText(), SimItem);
}

void TestMainWindow::startupLogFailureStillShowsWindow() {
    WindowServices parts;
    ScriptedDialog& dialog = parts.dialog;
    QFile plain(parts.dir.path() + "/file");
    QVERIFY(plain.open(QIODevice::WriteOnly));
    plain.close();
    frmSerial::Services sv = parts.services();
    sv.logDirs = {parts.dir.path() + "/file/sub"};
    sv.listPorts = [] { return QStringList(); };
    frmSerial w(sv);
    w.Load();
    QCOMPARE(dialog.calls.size(), 1);
    QCOMPARE(dialog.calls[0].title, QString("Error#75"));
    QCOMPARE(dialog.calls[0].icon, UserDialog::Icon::Critical);
    // The remaining steps ran: the timer brings up the main window.
    QVERIFY(w.Timer1->isActive());
    QCOMPARE(w.ui->VibGenCmd->count(), 9);
    w.Timer1_Timer();
    w.Timer1_Timer();
    QVERIFY(w.isVisible());
}

void TestMainWindow::openAndCloseSimulator() {
    WindowHarness h;
    h.open();
    auto* ui = h.ui();
    QVERIFY(h.w->TMRComm->isActive());
    QVERIFY(!h.w->Timer1->isActive());
    QVERIFY(!ui->BTNOpenCom->isEnabled());
    QVERIFY(ui->BTNCloseCom->isEnabled());
    QVERIFY(ui->hig->isEnabled());
    QVERIFY(ui->gen_zapr->isHidden());
    QVERIFY(ui->rdf->isHidden());
    QVERIFY(ui->kko->isHidden());
    QVERIFY(!ui->sdv_hi->isHidden());
    QCOMPARE(h.tones.beeps, (QList<QPair<int, int>>{{1000, 100}}));
    QVERIFY(h.logText().contains("\"10:00:00 : Com Port Симулятор Open\"\r\n"));

    h.findSensors();
    h.ticks(2);
    ui->BTNCloseCom->click();
    QVERIFY(!h.w->TMRComm->isActive());
    QVERIFY(h.w->Timer1->isActive());
    QVERIFY(ui->BTNOpenCom->isEnabled());
    QVERIFY(!ui->BTNCloseCom->isEnabled());
    QVERIFY(!ui->hig->isEnabled());
    QVERIFY(!ui->gen_zapr->isHidden());
    QVERIFY(ui->Command1->isHidden());
    QCOMPARE(ui->CmbNet->count(), 1);
    QCOMPARE(ui->sn->text(), QString("0"));
    QCOMPARE(ui->vv->text(), QString("--------"));
    QCOMPARE(ui->tek->text(), QString("Нет данных"));
    QCOMPARE(ui->netdev->text(), QString("---------"));
    QCOMPARE(ui->ProgressBar1->value(), 0);
    QCOMPARE(fillColor(ui->Pic), vbcolor::LinkIdle);
    QCOMPARE(fillColor(ui->ind_stab), vbcolor::LightGrey);
    QCOMPARE(fillColor(h.w->form1()->ui.ind_stab), vbcolor::LightGrey);
    QCOMPARE(backColor(ui->hi), vbcolor::ButtonFace);
    QVERIFY(h.logText().contains(" : Com Port Симулятор Closed\"\r\n"));
    QCOMPARE(h.w->engine.wrs, frame::request(0, 0xFC));
}

void TestMainWindow::openUnavailablePort() {
    WindowHarness h;
    h.ports.clear();
    h.w->Timer1_Timer();
    h.w->BTNOpenCom_Click();
    QCOMPARE(h.dialog.messages(), QStringList{"Com Port ---- недоступен. Установите нужный порт."});
    QCOMPARE(h.dialog.calls.last().icon, UserDialog::Icon::Warning);
    QVERIFY(h.logText().contains("Com Port ---- недоступен. Установите нужный порт."));
    QVERIFY(h.w->Timer1->isActive());
    QVERIFY(!h.w->TMRComm->isActive());
}

void TestMainWindow::openRefusedSettings() {
    WindowServices parts;
    ScriptedDialog& dialog = parts.dialog;
    frmSerial::Services sv = parts.services();
    sv.listPorts = [] { return QStringList{"COM3"}; };
    sv.makePort = [](const QString&, QString* path) -> std::unique_ptr<Port> {
        *path = QStringLiteral("\\\\.\\COM3");
        return std::make_unique<SettingsRefusingPort>();
    };
    frmSerial w(sv);
    w.Load();
    w.Timer1_Timer();
    w.BTNOpenCom_Click();
    QCOMPARE(dialog.messages(), (QStringList{"Unable to set Comm DCB 19200,n,8,1 Error: 10",
                                             "Com Port COM3 недоступен. Установите нужный порт."}));
    QCOMPARE(dialog.calls[0].icon, UserDialog::Icon::None);
    QCOMPARE(dialog.calls[1].icon, UserDialog::Icon::Warning);
    QVERIFY(!w.TMRComm->isActive());
    QVERIFY(w.Timer1->isActive());
    QVERIFY(w.ui->BTNOpenCom->isEnabled());
    QVERIFY(w.port() == nullptr);
}

void TestMainWindow::networkPollIdentityAndData() {
    WindowHarness h;
    h.open();
    h.ticks(1); // identity request to address 0: nobody there
    h.w->Opros_Click();
    QCOMPARE(h.w->engine.wrs, QByteArray::fromHex("31FFDC"));
    QVERIFY(h.w->engine.net_opr);
    h.ticks(1); // no answer to address 0; the poll goes out
    QCOMPARE(h.port->writes().last(), QByteArray::fromHex("31FFDC"));
    h.ticks(1); // the list comes in after this tick's write
    auto* ui = h.ui();
    QCOMPARE(ui->CmbNet->count(), 2);
    QCOMPARE(ui->CmbNet->itemText(1), QString("5"));
    QCOMPARE(ui->netdev->text(), QString("1 5 "));
    QCOMPARE(ui->MsgCom->text(), QString("Произошел опрос сети."));
    QCOMPARE(h.w->engine.wrs, frame::request(1, 0xFC));
    h.ticks(1); // identity request out
    QCOMPARE(h.port->writes().last(), frame::request(1, 0xFC));
    h.ticks(1); // identity in, data poll out
    QCOMPARE(ui->sn->text(), QString("3000417"));
    QCOMPARE(ui->vv->text(), QString("1.7.6."));
    QCOMPARE(h.w->engine.firmware, 176);
    QCOMPARE(ui->MsgCom->text(), QString(" Получен С/Н и вер. прошивки"));
    QCOMPARE(h.port->writes().last(), frame::request(1, 0xF0));
    h.ticks(1); // data in
    QCOMPARE(ui->MsgCom->text(), QString("Датчик подключен"));
    QCOMPARE(foreColor(ui->MsgCom), vbcolor::DarkGreen);
    QCOMPARE(ui->ne->text(), QString("1"));
    QVERIFY(ui->tek->text().toUInt() > 0);
    QCOMPARE(ui->temp->text(), QString("%1 °C").arg(h.line.sensors[0]->temperature()));
    QCOMPARE(ui->Uroven->text(), QString::number(h.line.sensors[0]->levelN()));
    QCOMPARE(h.w->form1()->ui.Uroven->text(), ui->Uroven->text());
    const QString logged = h.logText();
    QVERIFY(logged.contains("Устройства в сети 1 5 "));
    QVERIFY(logged.contains("Device: 3000417  Ver Soft: 1.7.6."));
    QVERIFY(logged.contains(ui->Uroven->text() + ", " + ui->tek->text() + ", " + ui->lo->text() +
                            ", " + ui->hi->text() + ", " + h.w->modeText + ", " +
                            ui->temp->text()));
}

void TestMainWindow::addressChangeAsksIdentity() {
    WindowHarness h;
    h.open();
    h.findSensors();
    h.ui()->CmbNet->setCurrentIndex(1);
    h.w->CmbNet_Click();
    h.ticks(1);
    QCOMPARE(h.port->writes().last(), frame::request(5, 0xFC));
    h.ticks(1);
    QCOMPARE(h.ui()->sn->text(), QString("2704155"));
    QCOMPARE(h.ui()->vv->text(), QString("1.6.3."));
}

void TestMainWindow::silenceBadCrcUnknownCode() {
    WindowHarness h;
    h.open();
    h.findSensors();
    h.ticks(1);
    auto* ui = h.ui();
    h.line.sensors[0]->setMuted(true);
    h.ticks(2);
    QCOMPARE(ui->MsgCom->text(), QString("Нет ответа от датчика с адресом 1"));
    QCOMPARE(foreColor(ui->MsgCom), vbcolor::ButtonText);
    QVERIFY(ui->errBox->toPlainText().contains(" пр"));
    QVERIFY(h.logText().contains(" : Нет ответа от датчика с адресом 1\""));
    h.line.sensors[0]->setMuted(false);
    h.ticks(2);
    const QString tekBefore = ui->tek->text();
    h.line.sensors[0]->holdLevel(false);
    h.line.sensors[0]->setTankRaw(90000);
    h.line.sensors[0]->corruptNextAnswers(1);
    h.ticks(2); // the corrupted answer arrives on the second tick
    QCOMPARE(ui->tek->text(), tekBefore);
    QVERIFY(ui->errBox->toPlainText().contains(" ош"));
    h.line.sensors[0]->replaceCodeOfNextAnswers(0x77, 1);
    h.ticks(1);
    const int longBefore = h.tones.longCount();
    h.ticks(1);
    QCOMPARE(ui->MsgCom->text(), QString(" Непонятно что пришло! "));
    QCOMPARE(h.dialog.messages().last(), QString("Ответ не соответствует запросу"));
    QCOMPARE(h.tones.longCount() - longBefore, 2);
}

void TestMainWindow::frequencyModeRefusesRequest() {
    WindowHarness h;
    h.open();
    h.findSensors();
    h.line.sensors[0]->setFrequencyMode(true);
    h.ticks(2);
    auto* ui = h.ui();
    QCOMPARE(ui->MsgCom->text(), QString("Датчик в частотном режиме."));
    QCOMPARE(ui->ur->text(), QString("Частота"));
    QVERIFY(ui->Uroven->text().endsWith(" Гц."));
    QCOMPARE(h.w->form1()->ui.Uroven->text(), ui->Uroven->text());
    h.w->Opros_Click();
    const int writes = h.port->writes().size();
    h.ticks(1);
    QVERIFY(h.dialog.messages().last().startsWith(
        "Эту операцию невозможно выполнить в частотном режиме."));
    QCOMPARE(h.port->writes().size(), writes); // the refused request is not sent
}

void TestMainWindow::fourShortWritesClosePort() {
    WindowHarness h;
    h.open();
    h.findSensors();
    h.port->setShortWrites(true);
    h.ticks(3);
    QCOMPARE(h.dialog.messages(), QStringList(3, "Ошибка записи в порт"));
    QVERIFY(h.w->TMRComm->isActive());
    h.ticks(1);
    QCOMPARE(h.dialog.messages().size(), 4);
    QVERIFY(!h.w->TMRComm->isActive());
    QVERIFY(h.ui()->BTNOpenCom->isEnabled());
    QVERIFY(h.w->port() == nullptr);
}

void TestMainWindow::vanishedPortReportedOnce() {
    WindowHarness h;
    h.open();
    h.findSensors();
    h.port->setVanished(true);
    h.ticks(3);
    QCOMPARE(h.dialog.messages(), QStringList{"Связь с портом Симулятор потеряна. Порт закрыт."});
    QVERIFY(!h.w->TMRComm->isActive());
    QVERIFY(h.ui()->BTNOpenCom->isEnabled());
}

void TestMainWindow::firmwareLadder_data() {
    QTest::addColumn<int>("fw");
    QTest::addColumn<QStringList>("enabled");
    QTest::addColumn<QStringList>("disabled");
    QTest::addColumn<QStringList>("shown");
    QTest::addColumn<QStringList>("hidden");
    QTest::addColumn<bool>("warning");
    QTest::newRow("0") << 0 << QStringList{"hig", "CmbNet", "Set_mode"}
                       << QStringList{"R_a", "R_p", "Vvod_PWD", "set_hi_data", "R_p485"}
                       << QStringList{"R_a", "Vvod_PWD", "usredn"}
                       << QStringList{"Command1", "Slider1", "lamp_level", "Termokompens"} << true;
    QTest::newRow("150") << 150 << QStringList{"R_a", "R_f", "R_p", "R_analog"}
                         << QStringList{"Vvod_PWD", "Chg_pass", "R_p485", "set_hi_data"}
                         << QStringList{"usredn", "usred"} << QStringList{"Command1", "Slider1"}
                         << false;
    QTest::newRow("170") << 170 << QStringList{"R_p485",   "Vvod_PWD",   "Chg_pass",
                                               "Command1", "lamp_level", "Command6"}
                         << QStringList{"tartab1", "per_sents", "set_hi_data", "hi_data"}
                         << QStringList{"Command1", "Label9", "lamp_level", "tartab1", "usredn"}
                         << QStringList{"Slider1", "Termokompens", "per_sents"} << true;
    QTest::newRow("172") << 172 << QStringList{"set_hi_data", "set_lo_data", "hi_data", "lo_data"}
                         << QStringList{"Slider1"}
                         << QStringList{"set_hi_data", "lo_data", "usredn"}
                         << QStringList{"Slider1", "sgla"} << true;
    QTest::newRow("176") << 176
                         << QStringList{"Slider1", "sgla", "Label22", "Termokompens", "set_hi_data"}
                         << QStringList{"usredn", "usred", "tartab1"}
                         << QStringList{"Slider1", "sgla", "Termokompens"}
                         << QStringList{"usredn", "usred", "per_sents"} << true;
}

void TestMainWindow::firmwareLadder() {
    QFETCH(int, fw);
    QFETCH(QStringList, enabled);
    QFETCH(QStringList, disabled);
    QFETCH(QStringList, shown);
    QFETCH(QStringList, hidden);
    QFETCH(bool, warning);
    WindowHarness h;
    h.open();
    if (fw > 0)
        h.w->assept_sn(identityAnswer(123456, quint8(fw), 0));
    for (const QString& n : enabled)
        QVERIFY2(h.w->findChild<QWidget*>(n)->isEnabled(), qPrintable(n));
    for (const QString& n : disabled)
        QVERIFY2(!h.w->findChild<QWidget*>(n)->isEnabled(), qPrintable(n));
    for (const QString& n : shown)
        QVERIFY2(!h.w->findChild<QWidget*>(n)->isHidden(), qPrintable(n));
    for (const QString& n : hidden)
        QVERIFY2(h.w->findChild<QWidget*>(n)->isHidden(), qPrintable(n));
    QCOMPARE(!h.ui()->Kalibr_warning->isHidden(), warning);
    QCOMPARE(h.w->firmware172, fw == 172);
}

void TestMainWindow::ladderAfterCloseAndOlderSensor() {
    WindowHarness h;
    h.open();
    h.w->assept_sn(identityAnswer(1, 176, 0));
    h.ui()->BTNCloseCom->click();
    auto* ui = h.ui();
    // Closed: every firmware control disabled, marker 176 hidden, 170 less
    // Label9/lamp_level/Command1 still visible.
    for (QWidget* w : {static_cast<QWidget*>(ui->R_a), static_cast<QWidget*>(ui->Vvod_PWD),
                       static_cast<QWidget*>(ui->set_hi_data), static_cast<QWidget*>(ui->Command6)})
        QVERIFY(!w->isEnabled());
    QVERIFY(ui->Slider1->isHidden());
    QVERIFY(ui->Termokompens->isHidden());
    QVERIFY(!ui->Command6->isHidden());
    QVERIFY(!ui->set_hi_data->isHidden());
    QVERIFY(ui->Command1->isHidden());
    QVERIFY(ui->lamp_level->isHidden());
    // A sensor with firmware 120: everything stays disabled; the smoothing
    // box hidden by 176 stays hidden.
    h.w->Timer1_Timer();
    h.w->BTNOpenCom_Click();
    h.w->assept_sn(identityAnswer(1, 120, 0));
    QVERIFY(!ui->R_a->isEnabled());
    QVERIFY(!ui->Command6->isEnabled());
    QVERIFY(!ui->Command6->isHidden());
    QVERIFY(ui->usredn->isHidden());
    QVERIFY(ui->hig->isEnabled());
}

void TestMainWindow::identityCases_data() {
    QTest::addColumn<QByteArray>("a");
    QTest::addColumn<QString>("sn");
    QTest::addColumn<QString>("vv");
    QTest::addColumn<int>("fw");
    QTest::addColumn<QString>("logLine");
    QTest::newRow("123456 v1.7.6") << identityAnswer(123456, 176, 0) << "123456"
                                   << "1.7.6." << 176 << "Device: 123456  Ver Soft: 1.7.6.";
    QTest::newRow("prefix 2") << identityAnswer(7, 176, 2) << "7"
                              << "21.7.6." << 176 << "Device: 7  Ver Soft: 21.7.6.";
    QTest::newRow("firmware 99") << identityAnswer(7, 99, 0) << "7"
                                 << "9.9.." << 99 << "Device: 7  Ver Soft: 9.9..";
    QTest::newRow("8 bytes keeps the version")
        << answer(1, 0xFC, QByteArray::fromHex("40E20100")) << "123456"
        << "Ver ---------" << 0 << "Device: 123456  Ver Soft: Ver ---------";
    QTest::newRow("5 bytes") << answer(1, 0xFC, QByteArray::fromHex("40")) << "????????"
                             << "Ver ---------" << 0 << "";
}

void TestMainWindow::identityCases() {
    QFETCH(QByteArray, a);
    QFETCH(QString, sn);
    QFETCH(QString, vv);
    QFETCH(int, fw);
    QFETCH(QString, logLine);
    WindowHarness h;
    h.w->assept_sn(a);
    QCOMPARE(h.ui()->sn->text(), sn);
    QCOMPARE(h.ui()->vv->text(), vv);
    QCOMPARE(h.w->engine.firmware, fw);
    if (logLine.isEmpty())
        QVERIFY(!h.logText().contains("Device:"));
    else
        QVERIFY(h.logText().contains(logLine + "\"\r\n"));
}

void TestMainWindow::dataDecoding_data() {
    QTest::addColumn<QByteArray>("a");
    QTest::addColumn<bool>("d4096");
    QTest::addColumn<QString>("temp");
    QTest::addColumn<QString>("freq");
    QTest::addColumn<QString>("anal");
    QTest::addColumn<QString>("kko");
    QTest::addColumn<QString>("warning");
    QTest::addColumn<quint32>("hiColor");
    QTest::newRow("FF is -1 °C, level 0")
        << dataAnswer(0xFF, 0, 72000, 50000, 95000, 703) << false << "-1 °C"
        << "300 Гц"
        << "0 В"
        << "1,00017780938834"
        << "Внимание! Установка Пустой соотв. длине около 83 см." << vbcolor::LightGreen;
    QTest::newRow("80 is -128 °C, 1024 is 5 V")
        << dataAnswer(0x80, 1024, 72000, 50000, 85000, 703) << false << "-128 °C"
        << "1324 Гц"
        << "5 В"
        << "0,777916073968706"
        << "Внимание! Установка Пустой соотв. длине около 83 см." << vbcolor::Yellow;
    QTest::newRow("7F is 127 °C, 4096 in range 4096 is 5 V")
        << dataAnswer(0x7F, 4096, 72000, 50000, 150000, 703) << true << "127 °C"
        << "4396 Гц"
        << "5 В"
        << "2,2226173541963"
        << "Внимание! Установка Пустой соотв. длине около 83 см." << vbcolor::Red;
    QTest::newRow("512 is 2,48 V (62,5 rounds to even)")
        << dataAnswer(21, 512, 72000, 50000, 95000, 703) << false << "21 °C"
        << "812 Гц"
        << "2,48 В"
        << "1,00017780938834"
        << "Внимание! Установка Пустой соотв. длине около 83 см." << vbcolor::LightGreen;
    QTest::newRow("8-digit empty skips hints")
        << dataAnswer(21, 100, 72000, 12345678, 95000, 703) << false << "21 °C"
        << "400 Гц"
        << "0,48 В"
        << ""
        << "" << vbcolor::ButtonFace;
}

void TestMainWindow::dataDecoding() {
    QFETCH(QByteArray, a);
    QFETCH(bool, d4096);
    QFETCH(QString, temp);
    QFETCH(QString, freq);
    QFETCH(QString, anal);
    QFETCH(QString, kko);
    QFETCH(QString, warning);
    QFETCH(quint32, hiColor);
    WindowHarness h;
    h.open();
    auto* ui = h.ui();
    h.w->engine.mode_yes = false;
    ui->D_4096->setChecked(d4096);
    h.w->Ur_progressBar = d4096 ? 4096 : 1024;
    const QString kkoBefore = ui->kko->text();
    h.w->all_data_to_form(a);
    QCOMPARE(ui->temp->text(), temp);
    QCOMPARE(ui->freq->text(), freq);
    QCOMPARE(ui->anal->text(), anal);
    QCOMPARE(ui->kko->text(), kko.isEmpty() ? kkoBefore : kko);
    QCOMPARE(ui->Kalibr_warning->text(), warning);
    QCOMPARE(backColor(ui->hi), hiColor == vbcolor::ButtonFace ? 0u : hiColor);
    QVERIFY(h.dialog.messages().isEmpty());
    // The data line is logged (the port is open).
    QVERIFY(h.logText().contains(", " + temp + "\"\r\n"));
}

void TestMainWindow::barLimitAndRange() {
    WindowHarness h;
    auto* ui = h.ui();
    h.w->engine.mode_yes = false;
    h.w->all_data_to_form(dataAnswer(21, 1000, 72000, 50000, 95000, 703));
    QCOMPARE(ui->ProgressBar1->value(), 1000);
    h.w->all_data_to_form(dataAnswer(21, 1024, 72000, 50000, 95000, 703));
    QCOMPARE(ui->Uroven->text(), QString("1024"));
    QCOMPARE(ui->ProgressBar1->value(), 1000); // N equal to the range leaves the bar
    QCOMPARE(ui->ProgressBar1->maximum(), 1024);
    // A mode byte with bit 7 and firmware 172 make the range 256.
    h.w->firmware172 = true;
    h.w->engine.mode_yes = true;
    h.w->all_data_to_form(
        dataAnswer(21, 100, 72000, 50000, 95000, 703, QByteArray::fromHex("801485")));
    QCOMPARE(h.w->Ur_progressBar, 256);
    QVERIFY(ui->D_4096->isChecked());
    QCOMPARE(ui->lamp_level->text(), QString("20"));
    QCOMPARE(ui->sgla->text(), QString("5"));
    QCOMPARE(ui->Slider1->value(), 5);
    QVERIFY(ui->Termokompens->isChecked());
    QVERIFY(!h.w->engine.mode_yes);
    QCOMPARE(h.w->modeText, QString("128"));
    // Without a port the data line is not logged.
    QVERIFY(!h.logText().contains("72000"));
}

void TestMainWindow::shortAnswerKeepsModeYes() {
    WindowHarness h;
    auto* ui = h.ui();
    QVERIFY(h.w->engine.mode_yes);
    const QByteArray shortAnswer = dataAnswer(21, 100, 72000, 50000, 95000, 703, QByteArray());
    QCOMPARE(shortAnswer.size(), 21);
    h.w->all_data_to_form(shortAnswer);
    QVERIFY(h.w->engine.mode_yes);
    QCOMPARE(ui->lamp_level->text(), QString("10"));
    h.w->all_data_to_form(
        dataAnswer(21, 100, 72000, 50000, 95000, 703, QByteArray::fromHex("4A2303")));
    QVERIFY(!h.w->engine.mode_yes);
    QCOMPARE(ui->lamp_level->text(), QString("35"));
    QVERIFY(ui->R_a->isChecked());
    QVERIFY(ui->usredn->isChecked());
    QVERIFY(ui->tartab1->isChecked());
    QCOMPARE(h.w->currentModeByte, quint8(0x4A));
}

void TestMainWindow::emptyLevelZeroWarnsOnce() {
    WindowHarness h;
    h.open();
    h.w->engine.mode_yes = false;
    h.w->all_data_to_form(dataAnswer(21, 100, 72000, 0, 95000, 703));
    QCOMPARE(h.dialog.messages(), QStringList{"Пришли ошибочные данные"});
    QVERIFY(h.w->engine.badData);
    h.w->all_data_to_form(dataAnswer(21, 100, 72000, 0, 95000, 703));
    QCOMPARE(h.dialog.messages().size(), 1); // shown once
    QVERIFY(!h.logText().contains("72000"));
    // A short answer stops at the empty level: both messages.
    h.w->engine.badData = false;
    h.dialog.clear();
    h.w->all_data_to_form(answer(1, 0xF0, QByteArray(9, '\1')));
    QCOMPARE(h.dialog.messages(),
             (QStringList{"Пришли ошибочные данные", "Измените уровень пустого"}));
}

void TestMainWindow::stabilitySequence() {
    WindowHarness h;
    h.w->engine.mode_yes = false;
    QList<quint32> colors;
    for (int i = 1; i <= 45; ++i) {
        h.w->all_data_to_form(dataAnswer(21, 100, 72000, 50000, 95000, 703));
        colors << fillColor(h.ui()->ind_stab);
        QCOMPARE(fillColor(h.w->form1()->ui.ind_stab), colors.last());
    }
    for (int i = 0; i < 38; ++i)
        QCOMPARE(colors[i], vbcolor::Red);
    for (int i = 38; i < 43; ++i)
        QCOMPARE(colors[i], vbcolor::Yellow);
    QCOMPARE(colors[43], vbcolor::Green);
    QCOMPARE(colors[44], vbcolor::Green);
    // A jump to twice the reading: the score falls by one per answer (yellow
    // from 5 down to 0), turns red when it would go below 0, and stays red
    // until the average has caught up again.
    colors.clear();
    for (int i = 1; i <= 36; ++i) {
        h.w->all_data_to_form(dataAnswer(21, 100, 144000, 50000, 95000, 703));
        colors << fillColor(h.ui()->ind_stab);
    }
    for (int i = 0; i < 5; ++i)
        QCOMPARE(colors[i], vbcolor::Yellow);
    for (int i = 5; i < 35; ++i)
        QCOMPARE(colors[i], vbcolor::Red);
    QCOMPARE(colors[35], vbcolor::Yellow);
}

void TestMainWindow::sliderAndTabHandlers() {
    WindowHarness h;
    auto* ui = h.ui();
    ui->Slider1->setValue(7);
    QCOMPARE(ui->sgla->text(), QString("7"));
    ui->Slider1d->setValue(9);
    QCOMPARE(ui->sglad->text(), QString("9"));
    ui->ch_ver->setChecked(true);
    emit ui->SSTab1->tabBarClicked(2);
    QVERIFY(!ui->Slider1d->isHidden());
    ui->ch_ver->setChecked(false);
    emit ui->SSTab1->tabBarClicked(1);
    QVERIFY(ui->Slider1d->isHidden());
}

void TestMainWindow::rescanKeepsOrClampsSelection() {
    WindowHarness h;
    auto* ui = h.ui();
    h.ports = {"ttyS0", "ttyS1", "ttyUSB0"};
    h.w->rescanPorts();
    ui->CmbPort->setCurrentIndex(2);
    h.w->rescanPorts();
    QCOMPARE(ui->CmbPort->currentText(), QString("ttyUSB0"));
    h.ports = {"ttyS0", "ttyS1"}; // the adapter was unplugged
    h.w->rescanPorts();
    QCOMPARE(ui->CmbPort->currentIndex(), 1);
    h.ports.clear();
    h.w->rescanPorts();
    QCOMPARE(ui->CmbPort->count(), 1);
    QCOMPARE(ui->CmbPort->currentText(), QString("----"));
    QVERIFY(ui->txtRec->toPlainText().contains("ttyS0, ttyS1, ttyUSB0, \nttyS0, ttyS1, "));
}

void TestMainWindow::closingWindowClosesPortFirst_data() {
    QTest::addColumn<bool>("portOpen");
    QTest::newRow("port open") << true;
    QTest::newRow("port never opened") << false;
}

void TestMainWindow::closingWindowClosesPortFirst() {
    QFETCH(bool, portOpen);
    WindowHarness h;
    if (portOpen) {
        h.open();
        h.findSensors();
    } else {
        h.w->Timer1_Timer();
        h.w->Timer1_Timer();
    }
    QVERIFY(h.w->close());
    QVERIFY(h.logText().endsWith(" : Com Port Симулятор Closed\"\r\n"));
    QVERIFY(!h.w->TMRComm->isActive());
    QVERIFY(!h.w->Timer1->isActive());
}

void TestMainWindow::requestLeftWhileClosedIsNotSentOnOpen() {
    WindowHarness h({0});
    h.open();
    h.ui()->BTNCloseCom->click();
    // The table window stays usable with the port closed.
    h.w->wrmyTable_Click();
    QVERIFY(!h.w->engine.wrs.isEmpty());
    h.w->Timer1_Timer();
    h.w->BTNOpenCom_Click();
    h.ticks(1);
    QCOMPARE(h.port->writes(), QList<QByteArray>{frame::request(0, 0xFC)});
}

QTEST_MAIN(TestMainWindow)
#include "tst_main_window.moc"
