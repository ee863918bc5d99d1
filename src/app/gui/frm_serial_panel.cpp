// The data panel: the sensor's identity and live readings as the session
// decoded them, formatted into the panel's labels.
#include "app/gui/frm_serial.h"
#include "app/gui/markers.h"
#include "base/gui/colors.h"
#include "base/gui/vb_colors.h"
#include "sensor/answers.h"
#include "sensor/gui/live_colours.h"
#include "sensor/live_data.h"
#include "session/session.h"
#include "ui_frmserial.h"

void frmSerial::showData(const sensor::DataAnswer& d, int stability) {
    ui->ur->setText(QStringLiteral("Уровень"));
    if (!d.raw)
        return;
    ui->tek->setText(QString::number(*d.raw));
    setFillColor(ui->ind_stab, stabilityColour(live::Stability::State(stability)));
    ui->temp->setText(d.temperatureText());
    ui->ne->setText(QString::number(d.address));
    ui->ProgressBar1->setMaximum(session_.levelRange());
    if (d.level >= 0 && d.level < session_.levelRange())
        ui->ProgressBar1->setValue(d.level);
    ui->Uroven->setText(QString::number(d.level));
    ui->freq->setText(QString::number(d.level + 300) + QStringLiteral(" Гц"));
    ui->anal->setText(live::voltageText(d.level, ui->D_4096->isChecked()));
    if (d.empty)
        ui->lo->setText(QString::number(*d.empty));
    if (d.full)
        ui->hi->setText(QString::number(*d.full));
    if (d.coefficient)
        ui->ko->setText(QString::number(*d.coefficient));
    if (d.levelFactor)
        ui->kko->setText(live::generalNumber(*d.levelFactor));
    if (d.balance) {
        for (QWidget* w : {static_cast<QWidget*>(ui->hi), static_cast<QWidget*>(ui->h),
                           static_cast<QWidget*>(ui->Label19)})
            setBackColor(w, balanceColour(*d.balance));
        ui->Kalibr_warning->setText(
            QStringLiteral("Внимание! Установка Пустой соотв. длине около ") +
            QString::number(*d.emptyLengthCm) + QStringLiteral(" см."));
    }
}

void frmSerial::showFrequency(int hertz) {
    ui->ur->setText(QStringLiteral("Частота"));
    ui->Uroven->setText(QString::number(hertz) + QStringLiteral(" Гц."));
}

void frmSerial::showIdentity(const sensor::IdentityAnswer& id) {
    ui->sn->setText(id.serialText());
    if (!id.serial)
        return;
    if (id.firmware) {
        ui->vv->setText(id.versionText());
        if (!session_.isReplaying())
            firmwareLadder(*id.firmware);
    }
    session_.log(QStringLiteral("Device: ") + ui->sn->text() + QStringLiteral("  Ver Soft: ") +
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
    }
    if (fw > 175)
        swtag176(this);
}
