#include "firmware/gui/firmware_page.h"

#include "base/gui/controls.h"
#include "base/user_dialog.h"
#include "firmware/firmware_runner.h"
#include "firmware/firmware_texts.h"
#include "session/session.h"

#include <QBoxLayout>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>

FirmwarePage::FirmwarePage(QWidget* root, session::Session& session, Hooks hooks)
    : QObject(root), root_(root), session_(session), hooks_(std::move(hooks)),
      runner_(new firmware::FirmwareRunner(this)) {
    setObjectName(QStringLiteral("firmwarePage"));
    auto* log = control<QPlainTextEdit>(root_, "txtRec1");
    QWidget* box = log->parentWidget();
    progress_ = new QProgressBar(box);
    progress_->setObjectName(QStringLiteral("fwProgress"));
    progress_->setRange(0, 1);
    progress_->setValue(0);
    progress_->setFormat(firmware::texts::WriteProgress);
    progress_->setTextVisible(false); // until a run says how many blocks
    cancel_ = new QPushButton(QStringLiteral("Отмена"), box);
    cancel_->setObjectName(QStringLiteral("fwCancel"));
    cancel_->setEnabled(false);
    // Put both right under the loader's log.
    if (auto* layout = qobject_cast<QBoxLayout*>(box->layout())) {
        const int at = layout->indexOf(log);
        auto* row = new QHBoxLayout;
        row->addWidget(progress_, 1);
        row->addWidget(cancel_);
        layout->insertLayout(at < 0 ? layout->count() : at + 1, row);
    } else if (QLayout* other = box->layout()) {
        other->addWidget(progress_);
        other->addWidget(cancel_);
    }

    runner_->setDialog(&session_.dialog());
    runner_->setEngineControl([this] { session_.stopTicking(); }, [this] { resumePolling(); },
                              [this] { hooks_.closePort(); },
                              // The adapter went away: as when polling.
                              [this] {
                                  if (hooks_.portLost)
                                      hooks_.portLost();
                              },
                              // The polling stays paused; the question comes
                              // after the run's closing messages.
                              [this] { session_.showStatus(firmware::texts::WaitsInLoader); });
    // The loader gives its whole log each time; what is already shown is
    // kept and only the new end is added, so that a long log is not laid out
    // again for every block.
    connect(runner_, &firmware::FirmwareRunner::logText, this,
            [this, log](const QString& text, bool caretToEnd) {
                if (!shownLog_.isEmpty() && !shownLog_.endsWith(QLatin1Char('\r')) &&
                    text.startsWith(shownLog_)) {
                    QTextCursor end(log->document());
                    end.movePosition(QTextCursor::End);
                    end.insertText(text.mid(shownLog_.size()));
                } else {
                    log->setPlainText(text);
                }
                shownLog_ = text;
                if (caretToEnd)
                    log->moveCursor(QTextCursor::End);
            });
    connect(runner_, &firmware::FirmwareRunner::progress, this, [this](int done, int total) {
        showProgress(firmware::texts::WriteProgress, done, total);
    });
    connect(runner_, &firmware::FirmwareRunner::checkProgress, this, [this](int done, int total) {
        showProgress(firmware::texts::CheckProgress, done, total);
    });
    connect(runner_, &firmware::FirmwareRunner::runningChanged, this, [this](bool running) {
        // While the loader has the port, it can be neither closed nor used
        // for a second run; afterwards the controls follow the port again.
        const bool portOpen = session_.isOpen();
        cancel_->setEnabled(running);
        for (const char* name : {"BTNCloseCom", "start", "chkVerify", "flashBaud", "Command8"})
            control<QWidget>(root_, name)->setEnabled(!running && portOpen);
        if (running) {
            progress_->setTextVisible(true);
            if (hooks_.started)
                hooks_.started();
        }
    });
    connect(runner_, &firmware::FirmwareRunner::finished, this, [this] {
        const firmware::SessionResult& result = runner_->lastResult();
        session_.setWriteFailures(result.writeFailures);
        // What state the sensor is left in, when it is not the one asked for.
        for (const QString& text : firmware::closingMessages(result))
            session_.dialog().message(text, {}, UserDialog::Icon::Warning);
        // A poll reaching the waiting loader could be taken for a command:
        // the polling resumes once the sensor has been switched off and on,
        // otherwise only with another run or a port opened anew.
        if (result.leftInLoader && session_.isOpen() &&
            session_.dialog().askYesNo(firmware::texts::PowerCycleQuestion))
            resumePolling();
    });
    connect(cancel_, &QPushButton::clicked, runner_, &firmware::FirmwareRunner::cancel);
    connect(control<QPushButton>(root_, "Command8"), &QPushButton::clicked, this,
            &FirmwarePage::Command8_Click);
    connect(control<QPushButton>(root_, "start"), &QPushButton::clicked, this,
            &FirmwarePage::start_Click);
}

void FirmwarePage::resumePolling() {
    // The sensor may run another firmware now.
    session_.forgetIdentity();
    if (session_.isOpen())
        session_.startTicking();
}

FirmwarePage::~FirmwarePage() {
    delete runner_; // cancels the run and waits for the worker
}

void FirmwarePage::showProgress(const QString& format, int done, int total) {
    // A progress bar whose text shows the value repaints itself at once on
    // every change; with updates off for the change it is painted with the
    // window's next update instead.
    progress_->setUpdatesEnabled(false);
    if (progress_->format() != format)
        progress_->setFormat(format);
    progress_->setMaximum(qMax(1, total));
    progress_->setValue(done);
    progress_->setUpdatesEnabled(true);
}

bool FirmwarePage::closeWindow() {
    if (runner_ && runner_->isRunning()) {
        if (!session_.dialog().askYesNo(firmware::texts::CloseDuringRun))
            return false; // the run goes on
        delete runner_;   // cancels the run and waits for the worker
        runner_ = nullptr;
    }
    return true;
}

void FirmwarePage::Command8_Click() {
    const QString path = session_.dialog().openFileName(
        QStringLiteral("Open"), QStringLiteral("Bin Files (*.cri)"), hooks_.folder);
    if (path.isEmpty())
        return;
    imagePath_ = path;
    control<QLabel>(root_, "filename_prog")->setText(QDir::toNativeSeparators(path));
}

void FirmwarePage::start_Click() {
    if (!runner_)
        return;
    firmware::SessionParams params;
    params.type = control<QRadioButton>(root_, "LV200")->isChecked() ? firmware::SensorType::LV200
                                                                     : firmware::SensorType::LV300;
    params.resetCalibrations = control<QAbstractButton>(root_, "EEPROM")->isChecked();
    params.verify = control<QAbstractButton>(root_, "chkVerify")->isChecked();
    params.baud = control<QComboBox>(root_, "flashBaud")->currentText().toInt();
    params.writeFailures = session_.writeFailures();
    Busy::Guard guard(session_.busy());
    runner_->start(session_.port(), imagePath_, params);
}
