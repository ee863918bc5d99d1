#include "sensor/gui/settings_page.h"

#include "base/gui/controls.h"
#include "sensor/gui/form4.h"
#include "sensor/operations.h"
#include "session/session.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>

SettingsPage::SettingsPage(QWidget* root, session::Session& session, QWidget* tableWindow)
    : QObject(root), root_(root), session_(session), tableWindow_(tableWindow),
      form4_(new Form4(root)) {
    setObjectName(QStringLiteral("settingsPage"));
    const auto button = [this](const char* name) { return control<QPushButton>(root_, name); };
    connect(button("hig"), &QPushButton::clicked, this, &SettingsPage::hig_Click);
    connect(button("low"), &QPushButton::clicked, this, &SettingsPage::low_Click);
    connect(button("shift"), &QPushButton::clicked, this, &SettingsPage::shift_Click);
    connect(button("sdv_hi"), &QPushButton::clicked, this, &SettingsPage::sdv_hi_Click);
    connect(button("sdv_low"), &QPushButton::clicked, this, &SettingsPage::sdv_low_Click);
    connect(button("set_hi_data"), &QPushButton::clicked, this, &SettingsPage::set_hi_data_Click);
    connect(button("set_lo_data"), &QPushButton::clicked, this, &SettingsPage::set_lo_data_Click);
    connect(button("Set_mode"), &QPushButton::clicked, this, &SettingsPage::Set_mode_Click);
    connect(button("net"), &QPushButton::clicked, this, &SettingsPage::net_Click);
    connect(button("Command1"), &QPushButton::clicked, this, &SettingsPage::Command1_Click);
    connect(button("Vvod_PWD"), &QPushButton::clicked, this, &SettingsPage::Vvod_PWD_Click);
    connect(button("Chg_pass"), &QPushButton::clicked, this, &SettingsPage::Chg_pass_Click);
    connect(button("Opros"), &QPushButton::clicked, this, &SettingsPage::Opros_Click);
    auto* sgla = control<QLabel>(root_, "sgla");
    connect(control<QSlider>(root_, "Slider1"), &QSlider::valueChanged, sgla,
            [sgla](int v) { sgla->setText(QString::number(v)); });
    // The shift dialog's buttons run the shift and hide the dialog whatever
    // the outcome; "Выход" only hides it.
    connect(form4_->ui.Command1, &QPushButton::clicked, this, [this] {
        sdv_hi_Click();
        form4_->hide();
    });
    connect(form4_->ui.Command3, &QPushButton::clicked, this, [this] {
        sdv_low_Click();
        form4_->hide();
    });
    connect(form4_->ui.Command2, &QPushButton::clicked, form4_, &QWidget::hide);

    connect(&session_, &session::Session::modeReported, this, &SettingsPage::showMode);
    connect(&session_, &session::Session::smoothingReported, this, &SettingsPage::showSmoothing);
    connect(&session_, &session::Session::lampThresholdReported, this, [this](int percent) {
        control<QLineEdit>(root_, "lamp_level")->setText(QString::number(percent));
    });
    connect(&session_, &session::Session::dataReceived, this,
            [this](const sensor::DataAnswer& d, live::Stability::State, bool refresh) {
                showData(d, refresh);
            });
    connect(&session_, &session::Session::modeWriteDue, this, &SettingsPage::Set_mode_Click);
}

SettingsPage::~SettingsPage() = default;

void SettingsPage::closeWindows() {
    form4_->close();
}

QString SettingsPage::text(const char* box) const {
    if (auto* edit = root_->findChild<QLineEdit*>(QLatin1String(box)))
        return edit->text();
    return control<QLabel>(root_, box)->text();
}

bool SettingsPage::checked(const char* box) const {
    return control<QAbstractButton>(root_, box)->isChecked();
}

void SettingsPage::showData(const sensor::DataAnswer& d, bool refreshSettings) {
    if (!refreshSettings)
        return;
    if (d.lampThreshold)
        control<QLineEdit>(root_, "lamp_level")->setText(QString::number(*d.lampThreshold));
    if (d.smoothingByte)
        showSmoothing(*d.smoothingByte);
}

void SettingsPage::showSmoothing(quint8 b) {
    const sensor::Smoothing smoothing = sensor::Smoothing::fromByte(b);
    control<QCheckBox>(root_, "Termokompens")->setChecked(smoothing.thermoCompensationOff);
    control<QLabel>(root_, "sgla")->setText(QString::number(smoothing.value));
    control<QSlider>(root_, "Slider1")->setValue(smoothing.value);
}

// The option buttons, in the order of sensor::Output.
static const char* const OutputButtons[] = {"R485", "R_a", "R_f", "R_p", "R_p485"};

void SettingsPage::showMode(const sensor::Mode& m) {
    control<QCheckBox>(root_, "iinv")->setChecked(m.inverted);
    control<QCheckBox>(root_, "tartab1")->setChecked(m.litres);
    control<QCheckBox>(root_, "per_sents")->setChecked(m.percent);
    control<QCheckBox>(root_, "D_4096")->setChecked(m.range4096);
    if (m.output) // a pattern no output has leaves the buttons as they are
        control<QRadioButton>(root_, OutputButtons[int(*m.output)])->setChecked(true);
    control<QCheckBox>(root_, "usredn")->setChecked(m.averaging);
}

void SettingsPage::hig_Click() {
    session_.apply(sensor::setFullToCurrent(session_.context(), session_.dialog()));
}

void SettingsPage::low_Click() {
    session_.apply(sensor::setEmptyToCurrent(session_.context(), session_.dialog()));
}

void SettingsPage::shift_Click() {
    form4_->show();
}

// The shift dialog can outlive the port it was opened for. With the port
// closed there is no sensor to shift: a request left in the pending slot
// would go out unasked at the next open, to whatever answers at address 0.
void SettingsPage::sdv_hi_Click() {
    if (!session_.isOpen())
        return;
    session_.apply(
        sensor::shiftFull(session_.context(), form4_->ui.data->text(), session_.dialog()));
}

void SettingsPage::sdv_low_Click() {
    if (!session_.isOpen())
        return;
    session_.apply(
        sensor::shiftEmpty(session_.context(), form4_->ui.data->text(), session_.dialog()));
}

void SettingsPage::set_hi_data_Click() {
    session_.apply(sensor::enterFullLevel(session_.context(), text("hi_data"), session_.dialog()));
}

void SettingsPage::set_lo_data_Click() {
    session_.apply(sensor::enterEmptyLevel(session_.context(), text("lo_data"), session_.dialog()));
}

void SettingsPage::Set_mode_Click() {
    // The table window's recount boxes are the master copy.
    control<QCheckBox>(root_, "tartab1")
        ->setChecked(control<QCheckBox>(tableWindow_, "tartab")->isChecked());
    control<QCheckBox>(root_, "per_sents")
        ->setChecked(control<QCheckBox>(tableWindow_, "per_sents")->isChecked());
    sensor::Mode mode;
    for (int i = 4; i >= 1; --i) // the first button that is on, RS-485 when none
        if (checked(OutputButtons[i]))
            mode.output = sensor::Output(i);
    mode.inverted = checked("iinv");
    mode.averaging = checked("usredn");
    mode.range4096 = checked("D_4096");
    mode.litres = checked("tartab1");
    mode.percent = checked("per_sents");
    const sensor::Smoothing smoothing{text("sgla").toInt(), checked("Termokompens")};
    session_.apply(sensor::setMode(session_.context(), mode, smoothing, session_.dialog()));
}

void SettingsPage::net_Click() {
    session_.apply(sensor::setNetAddress(session_.context(), session_.dialog()));
}

void SettingsPage::Command1_Click() {
    session_.apply(
        sensor::setLampThreshold(session_.context(), text("lamp_level"), session_.dialog()));
}

void SettingsPage::Vvod_PWD_Click() {
    session_.apply(sensor::enterPassword(session_.context(), session_.dialog()));
}

void SettingsPage::Chg_pass_Click() {
    session_.apply(sensor::changePassword(session_.context(), session_.dialog()));
}

void SettingsPage::Opros_Click() {
    session_.apply(sensor::networkPoll());
}
