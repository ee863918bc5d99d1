#pragma once
// Runs a firmware update in a worker thread so that the window stays
// responsive. The port is handed to the worker for the run and handed back
// to the calling thread at its end; the exchange engine is stopped before the
// run and started again after it through the engine control.
//
// What the window does:
//   - setDialog(its UserDialog) so that the loader's messages are shown as
//     modal boxes (the run waits until each one is closed);
//   - setEngineControl(stop TMRComm, start TMRComm, port Close handler, the
//     polling's handler of a vanished port);
//   - connect logText -> txtRec1 (whole text; scroll to the end when
//     caretToEnd), progress and checkProgress -> the progress bar (value
//     done, maximum total), finished -> re-enable the controls and show
//     closingMessages(lastResult()), each in a box;
//   - "Пуск": start(port, path, params); the cancel button: cancel();
//     closing the window during a run: delete the runner (it cancels and
//     waits for the worker).

#include "firmware/bootloader_session.h"

#include <QMutex>
#include <QObject>
#include <QWaitCondition>
#include <atomic>
#include <functional>

class QThread;
class UserDialog;

namespace firmware {

class FirmwareRunner : public QObject {
    Q_OBJECT
public:
    explicit FirmwareRunner(QObject* parent = nullptr);
    ~FirmwareRunner() override; // cancels a run and waits for the worker

    // Messages (also the refusals of start) go to this dialog; without one,
    // connect messageRequested and call acknowledgeMessage when it is closed.
    void setDialog(UserDialog* dialog) { dialog_ = dialog; }

    // Called on the calling thread: stop before the run; resume after it, or
    // closePort instead when writes to the port kept failing, or portLost
    // when the adapter went away (closePort when portLost is not given).
    // After a run that left the sensor in its bootloader, loaderLeft instead
    // of resume: the polling must not reach the loader (resume when not given).
    void setEngineControl(std::function<void()> stop, std::function<void()> resume,
                          std::function<void()> closePort, std::function<void()> portLost = {},
                          std::function<void()> loaderLeft = {});

    bool isRunning() const { return running_; }

    // Refuses with a message (and returns false) without an open port, without
    // a chosen image file, with an unreadable or too short file, or while a run
    // is going on. Otherwise reads the image whole and starts the run.
    bool start(Port* port, const QString& imagePath, const SessionParams& params);

    // The result of the last finished run.
    const SessionResult& lastResult() const { return result_; }

public slots:
    // Stops the run at the next wait (the sync wait included); nothing more
    // is sent to the sensor.
    void cancel();
    // The message box of the last messageRequested has been closed.
    void acknowledgeMessage();

signals:
    void logText(const QString& text, bool caretToEnd);
    void progress(int done, int total);
    void checkProgress(int done, int total);
    void messageRequested(const QString& text);
    void refused(const QString& text);
    void runningChanged(bool running);
    void finished(firmware::Outcome outcome);

private:
    class WorkerSink;
    void refuse(const QString& text);
    void showMessage(const QString& text);
    void waitForAcknowledge(quint64 number);
    void deliverLog();
    void deliverProgress();
    void onWorkerDone();

    UserDialog* dialog_ = nullptr;
    std::function<void()> stopEngine_, resumeEngine_, closePort_, portLost_, loaderLeft_;
    QThread* thread_ = nullptr;
    bool running_ = false;
    std::atomic<bool> cancel_{false};
    SessionResult result_;

    QMutex mutex_;
    QWaitCondition acknowledged_;
    quint64 messagesAsked_ = 0;
    quint64 messagesClosed_ = 0;

    // What the worker reported last and this thread has not shown yet. The
    // worker posts one delivery at a time; a later report only replaces the
    // pending one, so a busy window never has a queue of stale texts to work
    // through. Guarded by mutex_.
    QString pendingLog_;
    bool pendingCaret_ = false;
    bool logPosted_ = false;
    struct Progress {
        bool check;
        int done;
        int total;
    };
    QList<Progress> pendingProgress_; // the last of each pass, in order
    bool progressPosted_ = false;
    SessionResult workerResult_;
};

} // namespace firmware
