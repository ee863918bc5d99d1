// The firmware tab: the image file, the sensor type and the loader run in its
// worker thread, with a progress bar and a cancel button beside the log. The
// run decides how it ended; the tab only shows it.
#include "app/gui/frm_serial.h"

#include "base/user_dialog.h"
#include "firmware/firmware_runner.h"
#include "firmware/firmware_texts.h"
#include "ui_frmserial.h"

#include <QBoxLayout>
#include <QDir>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <memory>

void frmSerial::connectFirmwarePage() {
    firmwareRunner_ = new firmware::FirmwareRunner(this);
    fwProgress = new QProgressBar(ui->txtRec1->parentWidget());
    fwProgress->setObjectName(QStringLiteral("fwProgress"));
    fwProgress->setRange(0, 1);
    fwProgress->setValue(0);
    fwProgress->setFormat(firmware::texts::WriteProgress);
    fwProgress->setTextVisible(false); // until a run says how many blocks
    fwCancel = new QPushButton(QStringLiteral("Отмена"), ui->txtRec1->parentWidget());
    fwCancel->setObjectName(QStringLiteral("fwCancel"));
    fwCancel->setEnabled(false);
    // Put both right under the loader's log.
    if (auto* box = qobject_cast<QBoxLayout*>(ui->txtRec1->parentWidget()->layout())) {
        const int at = box->indexOf(ui->txtRec1);
        auto* row = new QHBoxLayout;
        row->addWidget(fwProgress, 1);
        row->addWidget(fwCancel);
        box->insertLayout(at < 0 ? box->count() : at + 1, row);
    } else if (QLayout* layout = ui->txtRec1->parentWidget()->layout()) {
        layout->addWidget(fwProgress);
        layout->addWidget(fwCancel);
    }

    firmwareRunner_->setDialog(services_.dialog);
    firmwareRunner_->setEngineControl([this] { TMRComm->stop(); },
                                      [this] {
                                          if (port_)
                                              TMRComm->start();
                                      },
                                      [this] { BTNCloseCom_Click(); },
                                      // The adapter went away: as when polling.
                                      [this] { portVanished(); });
    // The loader gives its whole log each time; what is already shown is
    // kept and only the new end is added, so that a long log is not laid
    // out again for every block.
    auto shown = std::make_shared<QString>();
    connect(firmwareRunner_, &firmware::FirmwareRunner::logText, this,
            [this, shown](const QString& text, bool caretToEnd) {
                if (!shown->isEmpty() && !shown->endsWith(QLatin1Char('\r')) &&
                    text.startsWith(*shown)) {
                    QTextCursor end(ui->txtRec1->document());
                    end.movePosition(QTextCursor::End);
                    end.insertText(text.mid(shown->size()));
                } else {
                    ui->txtRec1->setPlainText(text);
                }
                *shown = text;
                if (caretToEnd)
                    ui->txtRec1->moveCursor(QTextCursor::End);
            });
    auto showProgress = [this](const QString& format, int done, int total) {
        // A progress bar whose text shows the value repaints itself at once
        // on every change; with updates off for the change it is painted
        // with the window's next update instead.
        fwProgress->setUpdatesEnabled(false);
        if (fwProgress->format() != format)
            fwProgress->setFormat(format);
        fwProgress->setMaximum(qMax(1, total));
        fwProgress->setValue(done);
        fwProgress->setUpdatesEnabled(true);
    };
    connect(firmwareRunner_, &firmware::FirmwareRunner::progress, this,
            [showProgress](int done, int total) {
                showProgress(firmware::texts::WriteProgress, done, total);
            });
    connect(firmwareRunner_, &firmware::FirmwareRunner::checkProgress, this,
            [showProgress](int done, int total) {
                showProgress(firmware::texts::CheckProgress, done, total);
            });
    connect(firmwareRunner_, &firmware::FirmwareRunner::runningChanged, this, [this](bool running) {
        // While the loader has the port, it can be neither closed nor used
        // for a second run; afterwards the controls follow the port again.
        const bool portOpen = port_ != nullptr;
        fwCancel->setEnabled(running);
        ui->BTNCloseCom->setEnabled(!running && portOpen);
        ui->start->setEnabled(!running && portOpen);
        ui->chkVerify->setEnabled(!running && portOpen);
        ui->Command8->setEnabled(!running && portOpen);
        if (running) {
            fwProgress->setTextVisible(true);
            if (services_.firmwareStarted)
                services_.firmwareStarted();
        }
    });
    connect(firmwareRunner_, &firmware::FirmwareRunner::finished, this, [this] {
        const firmware::SessionResult& result = firmwareRunner_->lastResult();
        engine.writeFailures = result.writeFailures;
        // What state the sensor is left in, when it is not the one asked for.
        const QStringList boxes = firmware::closingMessages(result);
        if (boxes.isEmpty())
            return;
        ExchangeEngine::BusyGuard guard(engine);
        for (const QString& text : boxes)
            services_.dialog->message(text, {}, UserDialog::Icon::Warning);
    });
    connect(fwCancel, &QPushButton::clicked, firmwareRunner_, &firmware::FirmwareRunner::cancel);
    connect(ui->Command8, &QPushButton::clicked, this, &frmSerial::Command8_Click);
    connect(ui->start, &QPushButton::clicked, this, &frmSerial::start_Click);
}

void frmSerial::Command8_Click() {
    ExchangeEngine::BusyGuard guard(engine);
    const QString path = dialog().openFileName(
        QStringLiteral("Open"), QStringLiteral("Bin Files (*.cri)"), services_.programDir);
    if (path.isEmpty())
        return;
    firmwarePath = path;
    ui->filename_prog->setText(QDir::toNativeSeparators(path));
}

void frmSerial::start_Click() {
    if (!firmwareRunner_)
        return;
    firmware::SessionParams params;
    params.type =
        ui->LV200->isChecked() ? firmware::SensorType::LV200 : firmware::SensorType::LV300;
    params.resetCalibrations = ui->EEPROM->isChecked();
    params.verify = ui->chkVerify->isChecked();
    params.writeFailures = engine.writeFailures;
    ExchangeEngine::BusyGuard guard(engine);
    firmwareRunner_->setDialog(services_.dialog);
    firmwareRunner_->start(port_.get(), firmwarePath, params);
}
