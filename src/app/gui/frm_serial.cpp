#include "app/gui/frm_serial.h"

#include "app/gui/form2.h"
#include "app/gui/markers.h"
#include "app/gui/vb_colors.h"
#include "base/clock.h"
#include "base/message_window.h"
#include "base/tones.h"
#include "base/user_dialog.h"
#include "base/work_log.h"
#include "firmware/firmware_runner.h"
#include "firmware/firmware_texts.h"
#include "generator/remote_commands.h"
#include "link/colors.h"
#include "link/port.h"
#include "link/port_list.h"
#include "sensor/gui/form4.h"
#include "tables/gui/form1.h"
#include "tables/gui/form3.h"
#include "ui_frmserial.h"

#include <QCloseEvent>
#include <QTimer>

frmSerial::frmSerial(Services services, QWidget* parent)
    : QMainWindow(parent), ui(new Ui::frmSerial), engine(*this), services_(std::move(services)) {
    ui->setupUi(this);
    // Timers and the file-dialog holders are controls of the window too.
    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(1000);
    TMRComm = new QTimer(this);
    TMRComm->setObjectName(QStringLiteral("TMRComm"));
    TMRComm->setInterval(1000);
    Timer3 = new QTimer(this);
    Timer3->setObjectName(QStringLiteral("Timer3"));
    Timer3->setInterval(50);
    for (const char* name : {"CommonDialog1", "CommonDialog2"}) {
        auto* holder = new QObject(this);
        holder->setObjectName(QLatin1String(name));
        holder->setProperty("tag", QStringLiteral("1"));
    }
    log_ = std::make_unique<WorkLog>(*services_.clock);
    form1_ = new Form1(nullptr);
    form2_ = new Form2(nullptr);
    form3_ = new Form3(nullptr);
    form4_ = new Form4(this);
    setFillColor(ui->Pic, vbcolor::LinkIdle);
    setFillColor(ui->ind_stab, vbcolor::LightGrey);
    setFillColor(form1_->ui.ind_stab, vbcolor::LightGrey);
    setFillColor(ui->pic1, vbcolor::LightGrey);
    setForeColor(ui->MsgCom, vbcolor::ButtonText);
    ui->txtRec->setMaximumBlockCount(2000);
    ui->errBox->setMaximumBlockCount(2000);
    connectControls();
}

frmSerial::~frmSerial() {
    // A firmware run still going is cancelled and awaited before its port goes.
    delete firmwareRunner_;
    firmwareRunner_ = nullptr;
    engine.setPort(nullptr);
    delete form1_;
    delete form2_;
    delete form3_;
    delete ui;
}

void frmSerial::connectControls() {
    connect(Timer1, &QTimer::timeout, this, &frmSerial::Timer1_Timer);
    connect(TMRComm, &QTimer::timeout, this, &frmSerial::TMRComm_Timer);
    connect(ui->BTNOpenCom, &QPushButton::clicked, this, &frmSerial::BTNOpenCom_Click);
    connect(ui->BTNCloseCom, &QPushButton::clicked, this, &frmSerial::BTNCloseCom_Click);
    connect(ui->CmbNet, &QComboBox::activated, this, [this] { CmbNet_Click(); });
    connect(ui->Slider1, &QSlider::valueChanged, this,
            [this](int v) { ui->sgla->setText(QString::number(v)); });
    connect(ui->Slider1d, &QSlider::valueChanged, this,
            [this](int v) { ui->sglad->setText(QString::number(v)); });
    connect(ui->SSTab1, &QTabWidget::tabBarClicked, this, [this] {
        const bool on = ui->ch_ver->isChecked();
        ui->Slider1d->setVisible(on);
        ui->Label25->setVisible(on);
        ui->sglad->setVisible(on);
    });
    connectSettingsPage();
    connectGeneratorPage();
    connectCalibrationPage();
    connectFirmwarePage();
}

void frmSerial::Load() {
    // 1. State.
    engine.sec_wr_table = 0;
    engine.frequencyMode = false;
    engine.mode_yes = true;
    engine.net_opr = false;
    Ur_progressBar = 1024;
    engine.badData = false;
    splashTicks = 0;
    // 2. Splash instead of the main window.
    hide();
    form2_->show();
    // 3. Address "0": its click handler makes the identity request pending.
    ui->CmbNet->clear();
    ui->CmbNet->addItem(QStringLiteral("0"));
    ui->CmbNet->setCurrentIndex(0);
    CmbNet_Click();
    ui->sdv_hi->hide();
    ui->sdv_low->hide();
    ui->gen_up->show();
    ui->gen_down->show();
    // 4. Disconnected state.
    CloseAllTags(this);
    // 6. The work log. A failure is reported and start-up goes on, so that
    // the main window does not stay hidden behind the splash.
    QString error;
    if (!log_->create(services_.logDirs, &error))
        startupError(error, 75);
    // 7. Lists.
    ui->CmbPort->clear();
    ui->CmbPort->addItem(QStringLiteral("----"));
    ui->CmbPort->setCurrentIndex(0);
    ui->VibGenCmd->clear();
    ui->VibGenCmd->addItems(generator::itemNames());
    ui->VibGenCmd->setCurrentIndex(0);
    VibGenCmd_Click();
    // 8. Timer and the open button.
    Timer1->start();
    ui->BTNOpenCom->setEnabled(true);
    // 9. Bar, grid header, markers, first page.
    ui->ProgressBar1->setValue(621);
    ui->MSFlexGrid1->setHorizontalHeaderLabels(
        {QStringLiteral("№ проции"), QStringLiteral("Литры"), QStringLiteral("Уровень")});
    fillEmptyTags(this);
    ui->SSTab1->setCurrentIndex(0);
}

void frmSerial::startupError(const QString& description, int number) {
    services_.dialog->message(description, QStringLiteral("Error#") + QString::number(number),
                              UserDialog::Icon::Critical);
}

void frmSerial::Timer1_Timer() {
    if (splashTicks == 1) {
        form2_->hide();
        show();
    }
    if (splashTicks < 32767)
        ++splashTicks;
    rescanPorts();
}

void frmSerial::rescanPorts() {
    const QStringList found = services_.listPorts ? services_.listPorts() : QStringList();
    ui->txtRec->moveCursor(QTextCursor::End);
    ui->txtRec->insertPlainText(portlist::rescanListing(found) + QStringLiteral("\n"));
    const int remembered = found.isEmpty() ? 0 : ui->CmbPort->currentIndex();
    const QStringList items = portlist::itemsOrPlaceholder(found);
    ui->CmbPort->clear();
    ui->CmbPort->addItems(items);
    ui->CmbPort->setCurrentIndex(portlist::indexAfterRescan(remembered, int(items.size())));
}

void frmSerial::BTNOpenCom_Click() {
    Timer1->stop();
    const QString item = ui->CmbPort->currentText();
    QString path;
    std::unique_ptr<Port> port = services_.makePort ? services_.makePort(item, &path) : nullptr;
    QString error;
    if (!port || !port->open(path, &error)) {
        const QString text = QStringLiteral("Com Port ") + item +
                             QStringLiteral(" недоступен. Установите нужный порт.");
        {
            ExchangeEngine::BusyGuard guard(engine);
            // A port that opened but refused its line settings says so first.
            if (port && !port->setupError().isEmpty())
                services_.dialog->message(port->setupError(), {}, UserDialog::Icon::None);
            services_.dialog->message(text, {}, UserDialog::Icon::Warning);
        }
        str_to_log(text);
        BTNCloseCom_Click();
        return;
    }
    port_ = std::move(port);
    engine.setPort(port_.get());
    // Whatever a window left pending while the port was closed (the table
    // window stays usable) is not for the sensor now on the line: the first
    // frame after an open is the identity request of the selected address.
    CmbNet_Click();
    SwitchTags(this);
    TMRComm->start();
    ui->BTNOpenCom->setEnabled(false);
    ui->BTNCloseCom->setEnabled(true);
    engine.writeFailures = 0;
    str_to_log(QStringLiteral("Com Port ") + path + QStringLiteral(" Open"));
    applyConnectedColumn();
    services_.tones->shortBeep();
}

void frmSerial::applyConnectedColumn() {
    for (QWidget* w : {static_cast<QWidget*>(ui->gen_zapr), static_cast<QWidget*>(ui->Label10),
                       static_cast<QWidget*>(ui->rdf), static_cast<QWidget*>(ui->kko),
                       static_cast<QWidget*>(ui->gen_up), static_cast<QWidget*>(ui->gen_down)})
        w->hide();
    ui->sdv_hi->show();
    ui->sdv_low->show();
}

void frmSerial::applyClosedColumn() {
    for (QWidget* w : {static_cast<QWidget*>(ui->gen_zapr), static_cast<QWidget*>(ui->Label10),
                       static_cast<QWidget*>(ui->rdf), static_cast<QWidget*>(ui->kko)}) {
        w->show();
        w->setEnabled(true);
    }
    ui->sdv_hi->hide();
    ui->sdv_low->hide();
    ui->gen_up->show();
    ui->gen_down->show();
    ui->Label9->hide();
    ui->lamp_level->hide();
    ui->Command1->hide();
}

void frmSerial::BTNCloseCom_Click() {
    TMRComm->stop();
    applyClosedColumn();
    engine.setPort(nullptr);
    if (port_) {
        port_->close();
        port_.reset();
    }
    CloseAllTags(this);
    for (QWidget* w : {static_cast<QWidget*>(ui->gen_zapr), static_cast<QWidget*>(ui->Label10),
                       static_cast<QWidget*>(ui->rdf), static_cast<QWidget*>(ui->kko),
                       static_cast<QWidget*>(ui->BTNOpenCom)})
        w->setEnabled(true);
    ui->BTNCloseCom->setEnabled(false);
    str_to_log(QStringLiteral("Com Port ") + ui->CmbPort->currentText() +
               QStringLiteral(" Closed"));
    ui->CmbNet->clear();
    ui->CmbNet->addItem(QStringLiteral("0"));
    ui->CmbNet->setCurrentIndex(0);
    CmbNet_Click();
    resetDisplays();
    Timer1->start();
}

void frmSerial::resetDisplays() {
    ui->sn->setText(QStringLiteral("0"));
    ui->vv->setText(QStringLiteral("--------"));
    for (QLabel* l : {ui->tek, ui->temp, ui->Uroven, ui->lo, ui->hi, ui->ne})
        l->setText(QStringLiteral("Нет данных"));
    ui->ProgressBar1->setValue(0);
    ui->MsgCom->clear();
    ui->Kalibr_warning->clear();
    ui->netdev->setText(QStringLiteral("---------"));
    setFillColor(ui->Pic, vbcolor::LinkIdle);
    for (QWidget* w : {static_cast<QWidget*>(ui->hi), static_cast<QWidget*>(ui->h),
                       static_cast<QWidget*>(ui->Label19)})
        setBackColor(w, vbcolor::ButtonFace);
    setFillColor(ui->ind_stab, vbcolor::LightGrey);
    setFillColor(form1_->ui.ind_stab, vbcolor::LightGrey);
}

void frmSerial::portVanished() {
    const QString text = QStringLiteral("Связь с портом ") + ui->CmbPort->currentText() +
                         QStringLiteral(" потеряна. Порт закрыт.");
    // Close first, so that no further tick meets the dead port.
    BTNCloseCom_Click();
    str_to_log(text);
    ExchangeEngine::BusyGuard guard(engine);
    services_.dialog->message(text, {}, UserDialog::Icon::Warning);
}

void frmSerial::CmbNet_Click() {
    engine.wrs = engine.Zapros_ser_num();
    engine.mode_yes = true;
}

void frmSerial::closeEvent(QCloseEvent* event) {
    if (firmwareRunner_ && firmwareRunner_->isRunning()) {
        bool stop;
        {
            ExchangeEngine::BusyGuard guard(engine);
            stop = services_.dialog->askYesNo(firmware::texts::CloseDuringRun);
        }
        if (!stop) {
            event->ignore(); // the run goes on
            return;
        }
        delete firmwareRunner_; // cancels the run and waits for the worker
        firmwareRunner_ = nullptr;
    }
    // Closing the window always runs the port Close handler, open or not,
    // so the run's log ends with the "Closed" line.
    BTNCloseCom_Click();
    Timer1->stop();
    form1_->close();
    form2_->close();
    form3_->close();
    form4_->close();
    event->accept();
}

void frmSerial::str_to_log(const QString& text) {
    if (engine.replaying)
        return;
    if (log_->append(text) == WorkLog::AppendResult::FailedFirstTime && !logFailureShown_) {
        logFailureShown_ = true;
        ExchangeEngine::BusyGuard guard(engine);
        services_.dialog->message(QStringLiteral("Не удалось дописать журнал работы ") +
                                      log_->path() +
                                      QStringLiteral(". Работа продолжается без журнала."),
                                  {}, UserDialog::Icon::Warning);
    }
}

void frmSerial::out_win(const QByteArray& bytes) {
    ui->txtRec->setPlainText(outWinText(bytes));
}

void frmSerial::message(const QString& text) {
    ExchangeEngine::BusyGuard guard(engine);
    services_.dialog->message(text);
}

void frmSerial::shortBeep() {
    services_.tones->shortBeep();
}
void frmSerial::longBeep() {
    services_.tones->longBeep();
}

std::optional<quint8> frmSerial::selectedAddress() const {
    if (ui->CmbNet->currentIndex() < 0)
        return std::nullopt;
    bool ok = false;
    const int v = ui->CmbNet->currentText().trimmed().toInt(&ok);
    if (!ok || v < 0 || v > 255)
        return std::nullopt;
    return static_cast<quint8>(v);
}

QString frmSerial::selectedAddressText() const {
    return ui->CmbNet->currentIndex() < 0 ? QString() : ui->CmbNet->currentText();
}

void frmSerial::setStatus(const QString& text) {
    ui->MsgCom->setText(text);
}
void frmSerial::setStatusColor(quint32 vbColor) {
    setForeColor(ui->MsgCom, vbColor);
}
quint32 frmSerial::lampColor() const {
    return fillColor(ui->Pic);
}
void frmSerial::setLampColor(quint32 vbColor) {
    setFillColor(ui->Pic, vbColor);
}
void frmSerial::appendErrBox(const QString& text) {
    ui->errBox->moveCursor(QTextCursor::End);
    ui->errBox->insertPlainText(text);
}
void frmSerial::setLenAnsw(int n) {
    ui->len_answ->setText(QString::number(n));
}

void frmSerial::fillNetList(const QList<quint8>& addresses, const QString& text) {
    ui->CmbNet->clear();
    for (quint8 a : addresses)
        ui->CmbNet->addItem(QString::number(a));
    ui->CmbNet->setCurrentIndex(0);
    CmbNet_Click();
    ui->netdev->setText(text);
}
