#include "firmware/firmware_runner.h"

#include "base/user_dialog.h"
#include "firmware/firmware_texts.h"

#include <QMutexLocker>
#include <QThread>

namespace firmware {

// Runs on the worker thread; everything it reports is handed to the runner's
// thread, where the signals are emitted in the order of the events.
class FirmwareRunner::WorkerSink : public SessionSink {
public:
    explicit WorkerSink(FirmwareRunner* runner) : runner_(runner) {}

    void logText(const QString& text, bool caretToEnd) override {
        QMetaObject::invokeMethod(
            runner_, [r = runner_, text, caretToEnd] { emit r->logText(text, caretToEnd); },
            Qt::QueuedConnection);
    }
    void progress(int done, int total) override {
        QMetaObject::invokeMethod(
            runner_, [r = runner_, done, total] { emit r->progress(done, total); },
            Qt::QueuedConnection);
    }
    void message(const QString& text) override {
        quint64 number;
        {
            QMutexLocker lock(&runner_->mutex_);
            number = ++runner_->messagesAsked_;
        }
        QMetaObject::invokeMethod(
            runner_, [r = runner_, text] { r->showMessage(text); }, Qt::QueuedConnection);
        runner_->waitForAcknowledge(number);
    }

private:
    FirmwareRunner* runner_;
};

FirmwareRunner::FirmwareRunner(QObject* parent) : QObject(parent) {}

FirmwareRunner::~FirmwareRunner() {
    if (thread_) {
        cancel();
        thread_->wait();
        delete thread_;
    }
}

void FirmwareRunner::setEngineControl(std::function<void()> stop, std::function<void()> resume,
                                      std::function<void()> closePort) {
    stopEngine_ = std::move(stop);
    resumeEngine_ = std::move(resume);
    closePort_ = std::move(closePort);
}

void FirmwareRunner::refuse(const QString& text) {
    emit refused(text);
    if (dialog_)
        dialog_->message(text);
}

bool FirmwareRunner::start(Port* port, const QString& imagePath, const SessionParams& params) {
    if (running_) {
        refuse(texts::AlreadyRunning);
        return false;
    }
    if (!port || !port->isOpen()) {
        refuse(texts::PortNotOpen);
        return false;
    }
    if (imagePath.isEmpty()) {
        refuse(texts::NoFileChosen);
        return false;
    }
    QString error;
    const std::optional<CriImage> image = CriImage::load(imagePath, &error);
    if (!image) {
        refuse(error);
        return false;
    }

    cancel_ = false;
    {
        QMutexLocker lock(&mutex_);
        messagesAsked_ = messagesClosed_ = 0;
    }
    running_ = true;
    if (stopEngine_)
        stopEngine_();

    QThread* home = QThread::currentThread();
    thread_ = QThread::create([this, port, image = *image, params, home] {
        WorkerSink sink(this);
        BootloaderSession session(*port, sink, cancel_);
        const SessionResult result = session.run(image, params);
        port->moveToThread(home);
        QMetaObject::invokeMethod(
            this, [this, result] { onWorkerDone(result); }, Qt::QueuedConnection);
    });
    thread_->setObjectName(QStringLiteral("firmware"));
    port->moveToThread(thread_);
    thread_->start();
    emit runningChanged(true);
    return true;
}

void FirmwareRunner::cancel() {
    cancel_ = true;
    QMutexLocker lock(&mutex_);
    acknowledged_.wakeAll();
}

void FirmwareRunner::acknowledgeMessage() {
    QMutexLocker lock(&mutex_);
    messagesClosed_ = messagesAsked_;
    acknowledged_.wakeAll();
}

void FirmwareRunner::showMessage(const QString& text) {
    if (cancel_) {
        acknowledgeMessage();
        return;
    }
    emit messageRequested(text);
    if (dialog_) {
        dialog_->message(text);
        acknowledgeMessage();
    }
}

void FirmwareRunner::waitForAcknowledge(quint64 number) {
    QMutexLocker lock(&mutex_);
    while (messagesClosed_ < number && !cancel_)
        acknowledged_.wait(&mutex_, 20);
}

void FirmwareRunner::onWorkerDone(const SessionResult& result) {
    if (thread_) {
        thread_->wait();
        delete thread_;
        thread_ = nullptr;
    }
    running_ = false;
    result_ = result;
    if (result.outcome == Outcome::PortFailed) {
        if (closePort_)
            closePort_();
    } else if (resumeEngine_) {
        resumeEngine_();
    }
    emit runningChanged(false);
    emit finished(result.outcome);
}

} // namespace firmware
