#pragma once
// The firmware tab: the image file, the sensor type and the loader run in its
// worker thread, with a progress bar and a cancel button beside the log.

#include <QObject>
#include <functional>

class QProgressBar;
class QPushButton;
class QWidget;
namespace firmware {
class FirmwareRunner;
}
namespace session {
class Session;
}

class FirmwarePage : public QObject {
    Q_OBJECT
public:
    // What the tab needs of the main window.
    struct Hooks {
        std::function<void()> closePort;   // the port Close handler
        std::function<void()> portLost;    // the polling's handler of a vanished port
        std::function<QString()> portItem; // the port list's item, for messages
        std::function<void()> started;     // told when a run starts
        QString folder;                    // where the file dialog starts
    };

    FirmwarePage(QWidget* root, session::Session& session, Hooks hooks);
    ~FirmwarePage() override; // a run still going is cancelled and awaited

    firmware::FirmwareRunner* runner() const { return runner_; }
    // The main window is being closed: true when it may close now. During a
    // run the user is asked; yes cancels the run and waits for the worker.
    bool closeWindow();

public slots:
    void Command8_Click();
    void start_Click();

private:
    void resumePolling();
    void showProgress(const QString& format, int done, int total);

    QWidget* root_;
    session::Session& session_;
    Hooks hooks_;
    firmware::FirmwareRunner* runner_;
    QProgressBar* progress_ = nullptr; // blocks written of blocks to write
    QPushButton* cancel_ = nullptr;    // stops the run, the sync wait included
    QString imagePath_;
    QString shownLog_; // the loader's log as txtRec1 shows it
};
