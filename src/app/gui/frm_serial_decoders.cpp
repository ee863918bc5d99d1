// The decoders of the sensor's answers: live data, identity, mode.
#include "app/gui/frm_serial.h"

#include "app/gui/markers.h"
#include "app/gui/vb_colors.h"
#include "sensor/live_data.h"
#include "sensor/operations.h"
#include "tables/gui/form1.h"
#include "tables/gui/form3.h"
#include "ui_frmserial.h"

namespace {
bool digitsOnly(const QString& s) {
    for (QChar c : s) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
    }
    return !s.isEmpty();
}
} // namespace

void frmSerial::failDecoding(int marker) {
    if (engine.badData)
        return;
    message(QStringLiteral("Пришли ошибочные данные"));
    if (marker == 0)
        message(QStringLiteral("Измените уровень пустого"));
    else if (marker == 1)
        message(QStringLiteral("Измените уровень полного"));
    engine.badData = true;
}

void frmSerial::all_data_to_form(const QByteArray& a) {
    using namespace live;
    const int n = a.size();
    int marker = 0;
    engine.frequencyMode = false;
    ui->ur->setText(QStringLiteral("Уровень"));

    const auto r = u32At(a, 7);
    if (!r)
        return failDecoding(marker);
    ui->tek->setText(QString::number(*r));
    const quint32 stab = stability.update(*r, engine.holdCounter);
    setFillColor(ui->ind_stab, stab);
    setFillColor(form1_->ui.ind_stab, stab);

    ui->temp->setText(temperatureText(*u8At(a, 4)));
    ui->ne->setText(QString::number(*u8At(a, 2)));

    const int level = int(*u16At(a, 5));
    ui->ProgressBar1->setMaximum(Ur_progressBar);
    if (level >= 0 && level < Ur_progressBar)
        ui->ProgressBar1->setValue(level);
    ui->Uroven->setText(QString::number(level));
    ui->freq->setText(QString::number(level + 300) + QStringLiteral(" Гц"));
    ui->anal->setText(voltageText(level, ui->D_4096->isChecked()));
    form1_->ui.Uroven->setText(ui->Uroven->text());

    const auto empty = u32At(a, 11);
    if (!empty)
        return failDecoding(marker);
    ui->lo->setText(QString::number(*empty));
    marker = 1;
    const auto full = u32At(a, 15);
    if (!full)
        return failDecoding(marker);
    ui->hi->setText(QString::number(*full));
    marker = 2;

    const auto k = u16At(a, 19);
    if (!k)
        return failDecoding(marker);
    ui->ko->setText(QString::number(*k));
    if (ui->lo->text().size() < 6 && ui->hi->text().size() < 8) {
        if (*k == 0)
            return failDecoding(marker);
        ui->kko->setText(generalNumber((double(*full) - double(*empty)) / (double(*k) * 64.0)));
    }

    if (engine.mode_yes) {
        if (n > 22)
            ui->lamp_level->setText(QString::number(*u8At(a, 22)));
        if (n > 23)
            applySmoothingByte(*u8At(a, 23));
    }
    if (n > 21) {
        currentModeByte = *u8At(a, 21);
        if (engine.mode_yes)
            Out_modes(currentModeByte);
    }

    const QString lo = ui->lo->text(), hi = ui->hi->text();
    if (lo.size() <= 7 && hi.size() <= 8 && digitsOnly(lo) && digitsOnly(hi)) {
        if (*empty == 0)
            return failDecoding(marker);
        const quint32 color = ratioColor(double(*full) / double(*empty));
        for (QWidget* w : {static_cast<QWidget*>(ui->hi), static_cast<QWidget*>(ui->h),
                           static_cast<QWidget*>(ui->Label19)})
            setBackColor(w, color);
        ui->Kalibr_warning->setText(
            QStringLiteral("Внимание! Установка Пустой соотв. длине около ") +
            QString::number(roundHalfEven(double(*empty) / 600.0)) + QStringLiteral(" см."));
    }

    if (ui->BTNCloseCom->isEnabled()) {
        str_to_log(QStringList{ui->Uroven->text(), ui->tek->text(), ui->lo->text(), ui->hi->text(),
                               modeText, ui->temp->text()}
                       .join(QStringLiteral(", ")));
    }
}

void frmSerial::applySmoothingByte(quint8 b) {
    ui->Termokompens->setChecked(b & 0x80);
    ui->sgla->setText(QString::number(b & 0x0F));
    ui->Slider1->setValue(b & 0x0F);
}

void frmSerial::Out_modes(quint8 mode) {
    const sensor::ModeDisplay d = sensor::Out_modes(mode, firmware172);
    ui->iinv->setChecked(d.iinv);
    form3_->ui.tartab->setChecked(d.tartab);
    ui->tartab1->setChecked(d.tartab);
    form3_->ui.per_sents->setChecked(d.per_sents);
    ui->per_sents->setChecked(d.per_sents);
    ui->D_4096->setChecked(d.D_4096);
    Ur_progressBar = d.Ur_progressBar;
    if (d.option) {
        switch (*d.option) {
        case sensor::ModeOption::R485:
            ui->R485->setChecked(true);
            break;
        case sensor::ModeOption::R_a:
            ui->R_a->setChecked(true);
            break;
        case sensor::ModeOption::R_f:
            ui->R_f->setChecked(true);
            break;
        case sensor::ModeOption::R_p:
            ui->R_p->setChecked(true);
            break;
        case sensor::ModeOption::R_p485:
            ui->R_p485->setChecked(true);
            break;
        }
    }
    ui->usredn->setChecked(d.usredn);
    engine.mode_yes = false;
    modeText = d.modeText;
}

void frmSerial::setLampLevel(int percent) {
    ui->lamp_level->setText(QString::number(percent));
}

void frmSerial::showFrequency(int hertz) {
    ui->ur->setText(QStringLiteral("Частота"));
    ui->Uroven->setText(QString::number(hertz) + QStringLiteral(" Гц."));
    form1_->ui.Uroven->setText(ui->Uroven->text());
}

void frmSerial::assept_sn(const QByteArray& a) {
    const int n = a.size();
    if (n <= 5) {
        ui->sn->setText(QStringLiteral("????????"));
        return;
    }
    // A 6- to 9-byte answer carries the serial number only; bytes it lacks count as 0.
    quint32 serial = 0;
    for (int i = 3; i >= 0; --i)
        serial = (serial << 8) | (4 + i <= n ? static_cast<quint8>(a[3 + i]) : 0);
    ui->sn->setText(QString::number(serial));
    if (n == 10) {
        const quint8 version = static_cast<quint8>(a[7]);
        const quint8 prefix = static_cast<quint8>(a[8]);
        engine.firmware = version;
        ui->vv->setText(live::versionCaption(version, prefix));
        if (!engine.replaying)
            firmwareLadder(engine.firmware);
    }
    str_to_log(QStringLiteral("Device: ") + ui->sn->text() + QStringLiteral("  Ver Soft: ") +
               ui->vv->text());
}

void frmSerial::firmwareLadder(int fw) {
    if (fw > 129) {
        swtag130(this);
        ui->Kalibr_warning->setVisible(false);
    }
    if (fw > 130) {
        swtag131(this);
        ui->Kalibr_warning->setVisible(false);
    }
    if (fw > 133) {
        swtag134(this);
        ui->Kalibr_warning->setVisible(false);
    }
    if (fw > 162) {
        swtag163(this);
        ui->Kalibr_warning->setVisible(true);
    }
    if (fw > 169) {
        swtag170(this);
        ui->Kalibr_warning->setVisible(true);
    }
    if (fw > 170)
        swtag171(this);
    if (fw == 172) {
        swtag171(this);
        swtag172(this);
        firmware172 = true;
    }
    if (fw > 175)
        swtag176(this);
}
