#include "firmware/firmware_runner.h"

#include "base/user_dialog.h"
#include "firmware/firmware_texts.h"

#include <QMutexLocker>
#include <QThread>

namespace firmware {

// Runs on the worker thread; everything it reports is handed to the runner's
// thread, where the signals are emitted in the order of the events. Log and
// progress reports are coalesced: at most one delivery of each is on its way
// at a time, and it shows the latest state when it arrives.
class FirmwareRunner::WorkerSink : public SessionSink {
public:
    explicit WorkerSink(FirmwareRunner* runner) : runner_(runner) {}

    void logText(const QString& text, bool caretToEnd) override {
        bool post;
        {
            QMutexLocker lock(&runner_->mutex_);
            runner_->pendingLog_ = text;
            runner_->pendingCaret_ = runner_->pendingCaret_ || caretToEnd;
            post = !runner_->logPosted_;
            runner_->logPosted_ = true;
        }
        if (post)
            QMetaObject::invokeMethod(
                runner_, [r = runner_] { r->deliverLog(); }, Qt::QueuedConnection);
    }
    void progress(int done, int total) override { report(false, done, total); }
    void checkProgress(int done, int total) override { report(true, done, total); }
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
    void report(bool check, int done, int total) {
        bool post;
        {
            QMutexLocker lock(&runner_->mutex_);
            auto& pending = runner_->pendingProgress_;
            if (!pending.isEmpty() && pending.back().check == check)
                pending.back() = {check, done, total};
            else
                pending.append({check, done, total});
            post = !runner_->progressPosted_;
            runner_->progressPosted_ = true;
        }
        if (post)
            QMetaObject::invokeMethod(
                runner_, [r = runner_] { r->deliverProgress(); }, Qt::QueuedConnection);
    }

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
                                      std::function<void()> closePort,
                                      std::function<void()> portLost,
                                      std::function<void()> loaderLeft) {
    stopEngine_ = std::move(stop);
    resumeEngine_ = std::move(resume);
    closePort_ = std::move(closePort);
    portLost_ = std::move(portLost);
    loaderLeft_ = std::move(loaderLeft);
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

    // A run at another rate switches the port before anything is sent; a
    // port that cannot is refused and stays at the sensors' rate.
    if (params.baud != DefaultBaud && !port->setBaudRate(params.baud)) {
        port->setBaudRate(DefaultBaud);
        refuse(texts::rateNotSet(params.baud));
        return false;
    }

    cancel_ = false;
    {
        QMutexLocker lock(&mutex_);
        messagesAsked_ = messagesClosed_ = 0;
        pendingLog_.clear();
        pendingCaret_ = logPosted_ = progressPosted_ = false;
        pendingProgress_.clear();
    }
    running_ = true;
    if (stopEngine_)
        stopEngine_();

    QThread* home = QThread::currentThread();
    thread_ = QThread::create([this, port, image = *image, params, home] {
        WorkerSink sink(this);
        BootloaderSession session(*port, sink, cancel_);
        SessionResult result = session.run(image, params);
        // Back to the sensors' rate whatever the ending, before the polling
        // resumes; a port that cannot go back is closed.
        if (params.baud != DefaultBaud && !port->setBaudRate(DefaultBaud) &&
            result.outcome != Outcome::PortLost) {
            result.outcome = Outcome::PortFailed;
            result.restoreFailed = true;
        }
        port->moveToThread(home);
        {
            QMutexLocker lock(&mutex_);
            workerResult_ = result;
        }
    });
    thread_->setObjectName(QStringLiteral("firmware"));
    thread_->setParent(this);
    // The end of the run is taken from the thread's own finished signal, so
    // this thread never has to wait for the worker to wind down.
    connect(thread_, &QThread::finished, this, &FirmwareRunner::onWorkerDone, Qt::QueuedConnection);
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

void FirmwareRunner::deliverLog() {
    QString text;
    bool caret;
    {
        QMutexLocker lock(&mutex_);
        if (!logPosted_)
            return;
        logPosted_ = false;
        text = pendingLog_;
        caret = pendingCaret_;
        pendingCaret_ = false;
    }
    emit logText(text, caret);
}

void FirmwareRunner::deliverProgress() {
    QList<Progress> reports;
    {
        QMutexLocker lock(&mutex_);
        if (!progressPosted_)
            return;
        progressPosted_ = false;
        reports.swap(pendingProgress_);
    }
    for (const Progress& p : reports) {
        if (p.check)
            emit checkProgress(p.done, p.total);
        else
            emit progress(p.done, p.total);
    }
}

void FirmwareRunner::onWorkerDone() {
    if (!thread_ || sender() != thread_)
        return;
    // What the worker reported last is shown before the end is.
    deliverProgress();
    deliverLog();
    thread_->deleteLater();
    thread_ = nullptr;
    SessionResult result;
    {
        QMutexLocker lock(&mutex_);
        result = workerResult_;
    }
    running_ = false;
    result_ = result;
    if (result.outcome == Outcome::PortFailed) {
        if (closePort_)
            closePort_();
    } else if (result.outcome == Outcome::PortLost) {
        if (portLost_)
            portLost_();
        else if (closePort_)
            closePort_();
    } else if (result.leftInLoader && loaderLeft_) {
        loaderLeft_();
    } else if (resumeEngine_) {
        resumeEngine_();
    }
    emit runningChanged(false);
    emit finished(result.outcome);
}

} // namespace firmware
