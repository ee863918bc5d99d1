// The settings page: calibration, mode, address, lamp, password, network poll.
#include "app/gui/frm_serial.h"

#include "base/user_dialog.h"
#include "sensor/gui/form4.h"
#include "tables/gui/form3.h"
#include "ui_frmserial.h"

void frmSerial::connectSettingsPage() {
    connect(ui->hig, &QPushButton::clicked, this, &frmSerial::hig_Click);
    connect(ui->low, &QPushButton::clicked, this, &frmSerial::low_Click);
    connect(ui->shift, &QPushButton::clicked, this, &frmSerial::shift_Click);
    connect(ui->sdv_hi, &QPushButton::clicked, this, &frmSerial::sdv_hi_Click);
    connect(ui->sdv_low, &QPushButton::clicked, this, &frmSerial::sdv_low_Click);
    connect(ui->set_hi_data, &QPushButton::clicked, this, &frmSerial::set_hi_data_Click);
    connect(ui->set_lo_data, &QPushButton::clicked, this, &frmSerial::set_lo_data_Click);
    connect(ui->Set_mode, &QPushButton::clicked, this, &frmSerial::Set_mode_Click);
    connect(ui->net, &QPushButton::clicked, this, &frmSerial::net_Click);
    connect(ui->Command1, &QPushButton::clicked, this, &frmSerial::Command1_Click);
    connect(ui->Vvod_PWD, &QPushButton::clicked, this, &frmSerial::Vvod_PWD_Click);
    connect(ui->Chg_pass, &QPushButton::clicked, this, &frmSerial::Chg_pass_Click);
    connect(ui->Opros, &QPushButton::clicked, this, &frmSerial::Opros_Click);
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
}

sensor::SensorContext frmSerial::sensorContext() const {
    return {selectedAddress(), ui->tek->text(), currentModeByte, engine.firmware};
}

void frmSerial::apply(const sensor::Outcome& outcome) {
    if (outcome.clearPending)
        engine.wrs.clear();
    for (const QString& line : outcome.logLines)
        str_to_log(line);
    if (outcome.frame) {
        engine.wrs = *outcome.frame;
        if (outcome.showFrame)
            out_win(*outcome.frame);
    }
    if (outcome.setModeYes)
        engine.mode_yes = true;
    if (outcome.setNetOpr)
        engine.net_opr = true;
}

// Operations ask questions in modal boxes; no tick may run meanwhile.
void frmSerial::runOperation(const std::function<void()>& op) {
    ExchangeEngine::BusyGuard guard(engine);
    op();
}

void frmSerial::hig_Click() {
    runOperation([this] { apply(sensor::hig(sensorContext(), dialog())); });
}

void frmSerial::low_Click() {
    runOperation([this] { apply(sensor::low(sensorContext(), dialog())); });
}

void frmSerial::shift_Click() {
    form4_->show();
}

// The shift dialog can outlive the port it was opened for. With the port
// closed there is no sensor to shift: a request left in the pending slot
// would go out unasked at the next open, to whatever answers at address 0.
void frmSerial::sdv_hi_Click() {
    if (!port_)
        return;
    runOperation(
        [this] { apply(sensor::sdv_hi(sensorContext(), form4_->ui.data->text(), dialog())); });
}

void frmSerial::sdv_low_Click() {
    if (!port_)
        return;
    runOperation(
        [this] { apply(sensor::sdv_low(sensorContext(), form4_->ui.data->text(), dialog())); });
}

void frmSerial::set_hi_data_Click() {
    runOperation(
        [this] { apply(sensor::set_hi_data(sensorContext(), ui->hi_data->text(), dialog())); });
}

void frmSerial::set_lo_data_Click() {
    runOperation(
        [this] { apply(sensor::set_lo_data(sensorContext(), ui->lo_data->text(), dialog())); });
}

void frmSerial::Set_mode_Click() {
    runOperation([this] {
        // The table window's recount boxes are the master copy.
        ui->tartab1->setChecked(form3_->ui.tartab->isChecked());
        ui->per_sents->setChecked(form3_->ui.per_sents->isChecked());
        sensor::ModeInputs in;
        if (ui->R_a->isChecked())
            in.option = sensor::ModeOption::R_a;
        else if (ui->R_f->isChecked())
            in.option = sensor::ModeOption::R_f;
        else if (ui->R_p->isChecked())
            in.option = sensor::ModeOption::R_p;
        else if (ui->R_p485->isChecked())
            in.option = sensor::ModeOption::R_p485;
        in.iinv = ui->iinv->isChecked();
        in.usredn = ui->usredn->isChecked();
        in.D_4096 = ui->D_4096->isChecked();
        in.tartab1 = ui->tartab1->isChecked();
        in.per_sents = ui->per_sents->isChecked();
        in.sgla = ui->sgla->text().toInt();
        in.Termokompens = ui->Termokompens->isChecked();
        apply(sensor::Set_mode(sensorContext(), in, dialog()));
    });
}

void frmSerial::net_Click() {
    runOperation([this] { apply(sensor::net(sensorContext(), dialog())); });
}

void frmSerial::Command1_Click() {
    runOperation(
        [this] { apply(sensor::Command1(sensorContext(), ui->lamp_level->text(), dialog())); });
}

void frmSerial::Vvod_PWD_Click() {
    runOperation([this] { apply(sensor::Vvod_PWD(sensorContext(), dialog())); });
}

void frmSerial::Chg_pass_Click() {
    runOperation([this] { apply(sensor::Chg_pass(sensorContext(), dialog())); });
}

void frmSerial::Opros_Click() {
    runOperation([this] { apply(sensor::Opros()); });
}
