#include "app/gui/frm_serial.h"

#include "app/gui/form2.h"
#include "app/gui/log_link.h"
#include "app/gui/markers.h"
#include "base/clock.h"
#include "base/gui/colors.h"
#include "base/gui/help_window.h"
#include "base/gui/vb_colors.h"
#include "base/message_window.h"
#include "base/tones.h"
#include "base/user_dialog.h"
#include "base/version.h"
#include "base/work_log.h"
#include "chart/gui/frm_chart.h"
#include "firmware/gui/firmware_page.h"
#include "generator/gui/remote_page.h"
#include "link/port.h"
#include "link/port_list.h"
#include "profile/gui/profile_page.h"
#include "sensor/gui/settings_page.h"
#include "session/session.h"
#include "tables/gui/form3.h"
#include "tables/gui/tables_page.h"
#include "ui_frmserial.h"

#include <QCloseEvent>
#include <QHash>
#include <QPushButton>
#include <QTabWidget>
#include <QTimer>

namespace {
// The guide's page for the tab on show.
QString tabHelpPage(const QTabWidget* tabs) {
    static const QHash<QString, QString> pages{
        {QStringLiteral("tabSettings"), QStringLiteral("settings.md")},
        {QStringLiteral("tabCalibration"), QStringLiteral("portions.md")},
        {QStringLiteral("tabRemote"), QStringLiteral("gateway.md")},
        {QStringLiteral("tabFirmware"), QStringLiteral("firmware.md")}};
    const QWidget* tab = tabs->currentWidget();
    return tab ? pages.value(tab->objectName(), help::IndexPage) : help::IndexPage;
}
} // namespace

frmSerial::frmSerial(Services services, QWidget* parent)
    : QMainWindow(parent), ui(new Ui::frmSerial), services_(std::move(services)),
      session_(*services_.session) {
    ui->setupUi(this);
    setWindowTitle(QStringLiteral("Конфигуратор ЛВ-300 v") + QLatin1String(version::Text));
    session_.setDialog(services_.dialog);
    session_.setTones(services_.tones);
    // Timers and the file-dialog holders are controls of the window too; the
    // exchange tick TMRComm is the session's.
    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(1000);
    for (const char* name : {"CommonDialog1", "CommonDialog2"}) {
        auto* holder = new QObject(this);
        holder->setObjectName(QLatin1String(name));
        holder->setProperty("tag", QStringLiteral("1"));
    }
    log_ = std::make_unique<WorkLog>(*services_.clock);
    form2_ = new Form2(nullptr);
    setFillColor(ui->Pic, vbcolor::LinkIdle);
    setFillColor(ui->ind_stab, vbcolor::LightGrey);
    setFillColor(ui->pic1, vbcolor::LightGrey);
    setForeColor(ui->MsgCom, vbcolor::ButtonText);
    ui->txtRec->setMaximumBlockCount(2000);
    ui->errBox->setMaximumBlockCount(2000);

    tables_ = new TablesPage(this, session_, services_.programDir);
    tables_->setClock(services_.clock);
    settings_ = new SettingsPage(this, session_, tables_->tableWindow());
    profile_ = new ProfilePage(this, session_, services_.programDir);
    remote_ = new RemotePage(this, session_, services_.programDir);
    FirmwarePage::Hooks hooks;
    hooks.closePort = [this] { BTNCloseCom_Click(); };
    hooks.portLost = [this] { portVanished(); };
    hooks.portItem = [this] { return ui->CmbPort->currentText(); };
    hooks.started = services_.firmwareStarted;
    hooks.folder = services_.programDir;
    firmware_ = new FirmwarePage(this, session_, hooks);
    addLogFolderLink(ui->horizontalLayout_2, [this] { return log_->path(); });
    connectControls();
    connectSession();
    // The chart button takes the free cell of the data panel, right of the
    // analogue output.
    chart_ = new frmChart(session_, *services_.clock, services_.programDir);
    auto* showChart = new QPushButton(QStringLiteral("График"), ui->Frame2);
    showChart->setObjectName(QStringLiteral("showChart"));
    ui->gridLayout_2->addWidget(showChart, 2, 6, 1, 2);
    connect(showChart, &QPushButton::clicked, chart_, &frmChart::showChart_Click);
    // "Справка" at the right end of the port row (last in the tab order); it
    // and F1 open the guide at the page of the tab on show.
    auto* helpButton = new QPushButton(QStringLiteral("Справка"), ui->centralwidget);
    helpButton->setObjectName(QStringLiteral("helpButton"));
    helpButton->setToolTip(QStringLiteral("Руководство техника (F1)"));
    ui->horizontalLayout->addStretch(1);
    ui->horizontalLayout->addWidget(helpButton);
    connect(helpButton, &QPushButton::clicked, this,
            [this] { help::show(this, tabHelpPage(ui->SSTab1)); });
    help::bindF1(this, [this] { return tabHelpPage(ui->SSTab1); });
}

frmSerial::~frmSerial() {
    // A firmware run still going is cancelled and awaited before its port goes.
    delete firmware_;
    firmware_ = nullptr;
    delete tables_;
    delete chart_;
    delete form2_;
    session_.disconnect(this);
    delete ui;
}

void frmSerial::setDialog(UserDialog* dialog) {
    services_.dialog = dialog;
    session_.setDialog(dialog);
}

void frmSerial::connectControls() {
    connect(Timer1, &QTimer::timeout, this, &frmSerial::Timer1_Timer);
    connect(ui->BTNOpenCom, &QPushButton::clicked, this, &frmSerial::BTNOpenCom_Click);
    connect(ui->BTNCloseCom, &QPushButton::clicked, this, &frmSerial::BTNCloseCom_Click);
    connect(ui->CmbNet, &QComboBox::activated, this, [this] { CmbNet_Click(); });
    connect(ui->CmbNet, &QComboBox::currentIndexChanged, this, &frmSerial::selectionChanged);
}

void frmSerial::connectSession() {
    using session::Session;
    connect(&session_, &Session::exchangeShown, this, &frmSerial::out_win);
    connect(&session_, &Session::statusChanged, ui->MsgCom, &QLabel::setText);
    connect(&session_, &Session::statusToneChanged, this, [this](session::StatusTone tone) {
        setForeColor(ui->MsgCom, tone == session::StatusTone::Connected ? vbcolor::DarkGreen
                                 : tone == session::StatusTone::Error   ? vbcolor::Red
                                                                        : vbcolor::ButtonText);
    });
    connect(&session_, &Session::lampChanged, this, [this](session::Lamp lamp) {
        static constexpr quint32 colours[] = {vbcolor::LinkIdle, vbcolor::White, vbcolor::Grey,
                                              vbcolor::Red};
        setFillColor(ui->Pic, colours[int(lamp)]);
    });
    connect(&session_, &Session::errorTallied, this, [this](const QString& text) {
        ui->errBox->moveCursor(QTextCursor::End);
        ui->errBox->insertPlainText(text);
    });
    connect(&session_, &Session::answerLength, this,
            [this](int n) { ui->len_answ->setText(QString::number(n)); });
    connect(&session_, &Session::logLine, this, &frmSerial::str_to_log);
    connect(&session_, &Session::identityReceived, this, &frmSerial::showIdentity);
    connect(&session_, &Session::dataReceived, this,
            [this](const sensor::DataAnswer& d, live::Stability::State s) { showData(d, int(s)); });
    connect(&session_, &Session::frequencyReported, this, &frmSerial::showFrequency);
    connect(&session_, &Session::networkFound, this, &frmSerial::fillNetList);
    connect(&session_, &Session::portLost, this, &frmSerial::portVanished);
    connect(&session_, &Session::closeRequested, this, &frmSerial::BTNCloseCom_Click);
}

void frmSerial::Load() {
    // 1. State.
    splashTicks_ = 0;
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
    remote_->load();
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
    session_.dialog().message(description, QStringLiteral("Error#") + QString::number(number),
                              UserDialog::Icon::Critical);
}

void frmSerial::Timer1_Timer() {
    if (splashTicks_ == 1) {
        form2_->hide();
        show();
    }
    if (splashTicks_ < 32767)
        ++splashTicks_;
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
    for (int i = 0; services_.describePort && i < ui->CmbPort->count(); ++i)
        ui->CmbPort->setItemData(i, services_.describePort(ui->CmbPort->itemText(i)),
                                 Qt::ToolTipRole);
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
        // Why, where the system said: on the box's second line and in the log.
        const QString reason = port ? serial::openFailureReason(port->openFailure()) : QString();
        // A port that opened but refused its line settings says so first.
        if (port && !port->setupError().isEmpty())
            session_.dialog().message(port->setupError(), {}, UserDialog::Icon::None);
        session_.dialog().message(reason.isEmpty() ? text : text + u'\n' + reason, {},
                                  UserDialog::Icon::Warning);
        str_to_log(text);
        if (!reason.isEmpty() || !error.isEmpty())
            str_to_log(reason.isEmpty() ? error : reason);
        BTNCloseCom_Click();
        return;
    }
    session_.attachPort(std::move(port));
    // Whatever a window left pending while the port was closed (the table
    // window stays usable) is not for the sensor now on the line: the first
    // frame after an open is the identity request of the selected address.
    CmbNet_Click();
    SwitchTags(this);
    session_.startTicking();
    ui->BTNOpenCom->setEnabled(false);
    ui->BTNCloseCom->setEnabled(true);
    str_to_log(QStringLiteral("Com Port ") + path + QStringLiteral(" Open"));
    applyConnectedColumn();
    if (services_.tones)
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
    session_.stopTicking();
    applyClosedColumn();
    session_.detachPort();
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
    tables_->resetDisplays();
}

void frmSerial::portVanished() {
    const QString text = QStringLiteral("Связь с портом ") + ui->CmbPort->currentText() +
                         QStringLiteral(" потеряна. Порт закрыт.");
    // Close first, so that no further tick meets the dead port.
    BTNCloseCom_Click();
    str_to_log(text);
    session_.dialog().message(text, {}, UserDialog::Icon::Warning);
}

void frmSerial::selectionChanged() {
    std::optional<quint8> address;
    bool ok = false;
    const int v = ui->CmbNet->currentText().trimmed().toInt(&ok);
    if (ui->CmbNet->currentIndex() >= 0 && ok && v >= 0 && v <= 255)
        address = static_cast<quint8>(v);
    session_.setSelectedAddress(
        address, ui->CmbNet->currentIndex() < 0 ? QString() : ui->CmbNet->currentText());
}

void frmSerial::CmbNet_Click() {
    selectionChanged();
    session_.requestIdentity();
}

void frmSerial::closeEvent(QCloseEvent* event) {
    if (!firmware_->closeWindow()) {
        event->ignore();
        return;
    }
    // Closing the window always runs the port Close handler, open or not,
    // so the run's log ends with the "Closed" line.
    BTNCloseCom_Click();
    Timer1->stop();
    form2_->close();
    settings_->closeWindows();
    tables_->closeWindows();
    chart_->close();
    event->accept();
}

void frmSerial::str_to_log(const QString& text) {
    if (log_->append(text) == WorkLog::AppendResult::FailedFirstTime && !logFailureShown_) {
        logFailureShown_ = true;
        session_.dialog().message(QStringLiteral("Не удалось дописать журнал работы ") +
                                      log_->path() +
                                      QStringLiteral(". Работа продолжается без журнала."),
                                  {}, UserDialog::Icon::Warning);
    }
}

void frmSerial::out_win(const QByteArray& bytes) {
    ui->txtRec->setPlainText(outWinText(bytes));
}

void frmSerial::fillNetList(const QList<quint8>& addresses, const QString& text) {
    ui->CmbNet->clear();
    for (quint8 a : addresses)
        ui->CmbNet->addItem(QString::number(a));
    ui->CmbNet->setCurrentIndex(0);
    CmbNet_Click();
    ui->netdev->setText(text);
}
