// The remote-command tab and the log replay.
#include "app/gui/frm_serial.h"

#include "base/user_dialog.h"
#include "generator/remote_commands.h"
#include "replay/replay.h"
#include "ui_frmserial.h"

void frmSerial::connectGeneratorPage() {
    connect(ui->VibGenCmd, &QComboBox::activated, this, [this] { VibGenCmd_Click(); });
    connect(ui->ch_ver, &QCheckBox::clicked, this, [this] { ch_ver_Click(); });
    connect(ui->gen_zapr, &QPushButton::clicked, this, &frmSerial::gen_zapr_Click);
    connect(ui->rdf, &QPushButton::clicked, this, &frmSerial::rdf_Click);
}

void frmSerial::VibGenCmd_Click() {
    ui->chislo_sdv->hide();
    ui->lchislo->hide();
    ui->Frame5->hide();
    const generator::ItemView view =
        generator::viewOfItem(ui->VibGenCmd->currentIndex(), ui->ch_ver->isChecked());
    if (view.valueShown) {
        ui->chislo_sdv->show();
        ui->lchislo->show();
        ui->lchislo->setText(view.valueCaption);
    }
    if (view.frame5Shown)
        ui->Frame5->show();
    if (view.sliderGroupShown) {
        ui->Slider1d->setVisible(*view.sliderGroupShown);
        ui->Label25->setVisible(*view.sliderGroupShown);
        ui->sglad->setVisible(*view.sliderGroupShown);
    }
}

void frmSerial::ch_ver_Click() {
    const bool on = ui->ch_ver->isChecked();
    for (QWidget* w : {static_cast<QWidget*>(ui->Slider1d), static_cast<QWidget*>(ui->Label25),
                       static_cast<QWidget*>(ui->sglad), static_cast<QWidget*>(ui->Termokompensd),
                       static_cast<QWidget*>(ui->tartab1d), static_cast<QWidget*>(ui->per_sentsd)})
        w->setVisible(on);
}

void frmSerial::gen_zapr_Click() {
    generator::Inputs in;
    in.address = ui->dist_net_num->text();
    in.value = ui->chislo_sdv->text();
    in.chVer = ui->ch_ver->isChecked();
    generator::ModeInputs& m = in.mode;
    if (ui->r_p485d->isChecked())
        m.option = sensor::ModeOption::R_p485;
    else if (ui->r_ad->isChecked())
        m.option = sensor::ModeOption::R_a;
    else if (ui->r_fd->isChecked())
        m.option = sensor::ModeOption::R_f;
    else if (ui->r_pd->isChecked())
        m.option = sensor::ModeOption::R_p;
    m.iinvd = ui->iinvd->isChecked();
    m.usrednd = ui->usrednd->isChecked();
    m.D_4096d = ui->D_4096d->isChecked();
    m.tartab1d = ui->tartab1d->isChecked();
    m.per_sentsd = ui->per_sentsd->isChecked();
    m.Termokompensd = ui->Termokompensd->isChecked();
    m.sglad = ui->sglad->text();
    ExchangeEngine::BusyGuard guard(engine);
    const auto result = generator::generate(ui->VibGenCmd->currentIndex(), in, dialog());
    if (!result)
        return;
    ui->gen_txt->setText(result->line);
    if (result->echo)
        out_win(result->frame);
}

void frmSerial::rdf_Click() {
    ExchangeEngine::BusyGuard guard(engine);
    const QString path = dialog().openFileName(replay::txt::OpenTitle, replay::txt::OpenFilter,
                                               services_.programDir);
    if (path.isEmpty())
        return;
    replay::ReplayReader reader;
    if (!reader.open(path)) {
        dialog().message(reader.errorText());
        return;
    }
    while (const auto record = reader.next(dialog())) {
        engine.replay(record->answer);
        dialog().message(replay::txt::NextRecord);
    }
    dialog().message(replay::txt::NoMoreRecords);
}
