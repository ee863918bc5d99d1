#pragma once
// The main window: start-up, the port row, the data panel and the wiring of
// the pages. What it knows about the sensor comes from the session.

#include <QMainWindow>
#include <functional>
#include <memory>

namespace Ui {
class frmSerial;
}
namespace session {
class Session;
}
namespace sensor {
struct DataAnswer;
struct IdentityAnswer;
} // namespace sensor
class Clock;
class FirmwarePage;
class Form2;
class Port;
class QTimer;
class RemotePage;
class SettingsPage;
class ProfilePage;
class TablesPage;
class Tones;
class frmChart;
class UserDialog;
class WorkLog;

class frmSerial : public QMainWindow {
    Q_OBJECT
public:
    // Everything the window reaches outside itself.
    struct Services {
        session::Session* session = nullptr; // the exchange with the line
        UserDialog* dialog = nullptr;        // given to the session
        Tones* tones = nullptr;
        const Clock* clock = nullptr;
        // The items of the port list, rescanned every second while closed.
        std::function<QStringList()> listPorts;
        // The tooltip of a port list item (what the system says about it).
        std::function<QString(const QString& item)> describePort;
        // A closed port object for a list item, and the path to open it by.
        std::function<std::unique_ptr<Port>(const QString& item, QString* path)> makePort;
        // Where the log folder may go, in order of preference.
        QStringList logDirs;
        // The folder the file dialogs start in.
        QString programDir;
        // Told when a firmware run starts (the demo powers its sensor up
        // into the bootloader then).
        std::function<void()> firmwareStarted;
    };

    explicit frmSerial(Services services, QWidget* parent = nullptr);
    ~frmSerial() override;

    // The dialogue seam, when it needs the window as its parent.
    void setDialog(UserDialog* dialog);

    // Start-up: state, splash, address "0", work log, lists, timers.
    void Load();
    WorkLog& workLog() { return *log_; }

public slots:
    // Handlers of the window's own controls and timers.
    void Timer1_Timer();
    void BTNOpenCom_Click();
    void BTNCloseCom_Click();
    void CmbNet_Click();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void connectControls();
    void connectSession();
    void str_to_log(const QString& text);
    void out_win(const QByteArray& bytes);
    void rescanPorts();
    void startupError(const QString& description, int number);
    void applyConnectedColumn();
    void applyClosedColumn();
    void resetDisplays();
    void portVanished();
    void fillNetList(const QList<quint8>& addresses, const QString& text);
    void selectionChanged();
    // The data panel.
    void showIdentity(const sensor::IdentityAnswer& id);
    void firmwareLadder(int firmware);
    void showData(const sensor::DataAnswer& d, int stability);
    void showFrequency(int hertz);

    Ui::frmSerial* ui;
    Services services_;
    session::Session& session_;
    std::unique_ptr<WorkLog> log_;
    Form2* form2_ = nullptr;
    QTimer* Timer1;
    SettingsPage* settings_ = nullptr;
    ProfilePage* profile_ = nullptr;
    TablesPage* tables_ = nullptr;
    RemotePage* remote_ = nullptr;
    FirmwarePage* firmware_ = nullptr;
    frmChart* chart_ = nullptr; // the level chart window
    bool logFailureShown_ = false;
    int splashTicks_ = 0;
};
