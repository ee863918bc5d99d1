// The calibration table window, its files, and the calibration tab.
#include "app/gui/frm_serial.h"

#include "base/user_dialog.h"
#include "tables/gui/form1.h"
#include "tables/gui/form3.h"
#include "tables/gui/portion_view.h"
#include "tables/table_file.h"
#include "tables/table_frames.h"
#include "tables/table_texts.h"
#include "ui_frmserial.h"

namespace {

void renderTab(frmSerial& w) {
    renderPortions(*w.tabCalibration_, w.ui->MSFlexGrid1, w.ui->step_zapr, w.ui->tar_file_name);
}

// Builds the write request from Form3's boxes into wrs; false when refused.
bool writeTable(frmSerial& w) {
    const auto address = w.selectedAddress();
    if (!address) {
        w.dialog().message(tables::txt::NoSensor);
        return false;
    }
    const auto request = tables::writeRequest(*address, w.engine.firmware, w.form3()->texts());
    if (!request.frame) {
        w.dialog().message(request.error);
        return false;
    }
    w.engine.wrs = *request.frame;
    w.out_win(*request.frame);
    w.str_to_log(request.logLine);
    return true;
}

} // namespace

void frmSerial::connectCalibrationPage() {
    tabCalibration_ =
        std::make_unique<tables::PortionCalibration>(tables::tabLayout(), services_.programDir);
    renderTab(*this);
    form1_->attach([this]() -> UserDialog& { return dialog(); }, services_.programDir,
                   [this](const std::function<void()>& op) {
                       // F9 polled inside a box of a tick or another handler waits.
                       if (!engine.isBusy())
                           runOperation(op);
                   });

    connect(ui->Command11, &QPushButton::clicked, this, &frmSerial::Command11_Click);
    connect(ui->Command12, &QPushButton::clicked, this, &frmSerial::Command12_Click);
    connect(ui->Command14, &QPushButton::clicked, this, &frmSerial::Command14_Click);
    connect(ui->ch_portion, &QPushButton::clicked, this, &frmSerial::ch_portion_Click);
    connect(ui->Command4, &QPushButton::clicked, this, &frmSerial::Command4_Click);
    connect(ui->Command6, &QPushButton::clicked, this, &frmSerial::Command6_Click);
    connect(ui->rdTable, &QPushButton::clicked, this, &frmSerial::rdTable_Click);
    connect(ui->wrmyTable, &QPushButton::clicked, this, &frmSerial::wrmyTable_Click);
    // The main window's own fTablOpen and fTablSave do nothing.

    connect(form3_->ui.rdTable, &QPushButton::clicked, this, &frmSerial::rdt);
    connect(form3_->ui.wrmyTable, &QPushButton::clicked, this, &frmSerial::form3WriteClick);
    connect(form3_->ui.fTablSave, &QPushButton::clicked, this, &frmSerial::form3SaveClick);
    connect(form3_->ui.fTablOpen, &QPushButton::clicked, this, &frmSerial::form3OpenClick);
    connect(form3_->ui.Command1, &QPushButton::clicked, form3_, &QWidget::hide);
    // The table window's recount boxes are the master copy; a click mirrors
    // them into the main window, never the other way round.
    connect(form3_->ui.tartab, &QCheckBox::clicked, this,
            [this](bool on) { ui->tartab1->setChecked(on); });
    connect(form3_->ui.per_sents, &QCheckBox::clicked, this,
            [this](bool on) { ui->per_sents->setChecked(on); });
}

void frmSerial::rdt() {
    runOperation([this] {
        const auto address = selectedAddress();
        if (!address) {
            dialog().message(tables::txt::NoSensor);
            return;
        }
        engine.wrs = tables::readRequest(*address);
        str_to_log(tables::txt::ReadLogLine);
    });
}

void frmSerial::wrmyTable_Click() {
    runOperation([this] { writeTable(*this); });
}

void frmSerial::form3WriteClick() {
    runOperation([this] {
        // The mode (with the window's recount choices) follows two ticks later.
        if (writeTable(*this))
            engine.sec_wr_table = 2;
    });
}

void frmSerial::Command6_Click() {
    rdt();
    form3_->show();
    form3_->raise();
}

std::optional<QString> frmSerial::ans_to_table(const QByteArray& answer) {
    const tables::DecodedTable decoded = tables::decodeAnswer(answer);
    ui->txtRec->setPlainText(decoded.txtRecText);
    if (!decoded.table) {
        const QString text = tables::txt::AnswerRefused + decoded.error;
        setStatus(text);
        str_to_log(text);
        message(text);
        return std::nullopt;
    }
    form3_->setTexts(*decoded.table);
    return decoded.result;
}

void frmSerial::form3SaveClick() {
    runOperation([this] {
        const QString path = dialog().saveFileName(tables::txt::SaveTitle, tables::txt::Lv3Filter,
                                                   services_.programDir);
        if (path.isEmpty())
            return;
        QString error;
        if (!tables::saveLv3(path, form3_->texts(), &error))
            dialog().message(error);
    });
}

void frmSerial::form3OpenClick() {
    runOperation([this] {
        const QString path = dialog().openFileName(tables::txt::OpenTitle, tables::txt::Lv3Filter,
                                                   services_.programDir);
        if (path.isEmpty())
            return;
        const tables::Lv3Contents contents = tables::loadLv3(path);
        if (!contents.table) {
            dialog().message(contents.error);
            return;
        }
        form3_->setTexts(*contents.table);
    });
}

void frmSerial::Command11_Click() {
    runOperation([this] { tabCalibration_->newCalibration(dialog()); });
    renderTab(*this);
}

void frmSerial::Command12_Click() {
    runOperation([this] { tabCalibration_->resume(dialog()); });
    renderTab(*this);
}

void frmSerial::Command14_Click() {
    runOperation([this] { tabCalibration_->capture(ui->Uroven->text(), dialog()); });
    renderTab(*this);
}

void frmSerial::ch_portion_Click() {
    runOperation([this] { tabCalibration_->changePortion(dialog()); });
    renderTab(*this);
}

void frmSerial::Command4_Click() {
    form1_->show();
    form1_->raise();
}
