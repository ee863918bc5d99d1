#pragma once
// The main window: it owns the controls and implements the engine's host.

#include "link/exchange_engine.h"
#include "sensor/live_data.h"
#include "sensor/operations.h"
#include "tables/portions.h"

#include <QMainWindow>
#include <functional>
#include <memory>

namespace Ui {
class frmSerial;
}
class Clock;
class QProgressBar;
class QPushButton;
namespace firmware {
class FirmwareRunner;
}
class Form1;
class Form2;
class Form3;
class Form4;
class Port;
class QTimer;
class Tones;
class UserDialog;
class WorkLog;

class frmSerial : public QMainWindow, public EngineHost {
    Q_OBJECT
public:
    // Everything the window reaches outside itself.
    struct Services {
        UserDialog* dialog = nullptr;
        Tones* tones = nullptr;
        const Clock* clock = nullptr;
        // The items of the port list, rescanned every second while closed.
        std::function<QStringList()> listPorts;
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
    void setDialog(UserDialog* dialog) { services_.dialog = dialog; }

    // Start-up: state, splash, address "0", work log, lists, timers.
    void Load();

    Ui::frmSerial* ui;
    ExchangeEngine engine;
    Form1* form1() const { return form1_; }
    Form2* form2() const { return form2_; }
    Form3* form3() const { return form3_; }
    Form4* form4() const { return form4_; }
    QTimer* Timer1;
    QTimer* TMRComm;
    QTimer* Timer3;
    WorkLog& workLog() { return *log_; }
    Port* port() const { return port_.get(); }
    UserDialog& dialog() const { return *services_.dialog; }

    // Shared routines of the window.
    void str_to_log(const QString& text);
    void out_win(const QByteArray& bytes);
    void outWin(const QByteArray& bytes) override { out_win(bytes); }
    void Timer1_Timer();
    void TMRComm_Timer() { engine.tick(); }
    void BTNOpenCom_Click();
    void BTNCloseCom_Click();
    void CmbNet_Click();
    void rescanPorts();

    // Settings page, password and network poll.
    void runOperation(const std::function<void()>& op);
    void hig_Click();
    void low_Click();
    void shift_Click();
    void sdv_hi_Click();
    void sdv_low_Click();
    void set_hi_data_Click();
    void set_lo_data_Click();
    void net_Click();
    void Command1_Click();
    void Vvod_PWD_Click();
    void Chg_pass_Click();
    void Opros_Click();
    // Remote-command tab.
    void VibGenCmd_Click();
    void ch_ver_Click();
    void gen_zapr_Click();
    // Log replay.
    void rdf_Click();
    // Calibration table (Form3 and its files) and the calibration tab.
    void rdt();
    void rdTable_Click() { rdt(); }
    void wrmyTable_Click();
    void Command6_Click();
    void form3WriteClick(); // Form3's wrmyTable: the write, then the mode two ticks later
    void form3SaveClick();  // Form3's fTablSave
    void form3OpenClick();  // Form3's fTablOpen
    void Command11_Click();
    void Command12_Click();
    void Command14_Click();
    void ch_portion_Click();
    void Command4_Click();
    tables::PortionCalibration& tabCalibration() { return *tabCalibration_; }
    std::unique_ptr<tables::PortionCalibration> tabCalibration_;
    // Firmware tab.
    void Command8_Click();
    void start_Click();
    firmware::FirmwareRunner* firmwareRunner() const { return firmwareRunner_; }
    QString firmwarePath;
    QProgressBar* fwProgress = nullptr; // blocks written of blocks to write
    QPushButton* fwCancel = nullptr;    // stops the run, the sync wait included

    // EngineHost.
    std::optional<quint8> selectedAddress() const override;
    QString selectedAddressText() const override;
    void setStatus(const QString& text) override;
    void setStatusColor(quint32 vbColor) override;
    quint32 lampColor() const override;
    void setLampColor(quint32 vbColor) override;
    void appendErrBox(const QString& text) override;
    void setLenAnsw(int n) override;
    void log(const QString& text) override { str_to_log(text); }
    void shortBeep() override;
    void longBeep() override;
    void message(const QString& text) override;
    void closePort() override { BTNCloseCom_Click(); }
    void portVanished() override;
    void fillNetList(const QList<quint8>& addresses, const QString& text) override;
    void all_data_to_form(const QByteArray& answer) override;
    void assept_sn(const QByteArray& answer) override;
    void Out_modes(quint8 mode) override;
    void applySmoothingByte(quint8 b) override;
    void setLampLevel(int percent) override;
    void showFrequency(int hertz) override;
    std::optional<QString> ans_to_table(const QByteArray& answer) override;
    void Set_mode_Click() override;

    // State the window keeps for its decoders.
    int Ur_progressBar = 1024;
    bool firmware172 = false;
    quint8 currentModeByte = 0;
    QString modeText;
    live::Stability stability;
    int splashTicks = 0;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void connectControls();
    void startupError(const QString& description, int number);
    void applyConnectedColumn();
    void applyClosedColumn();
    void resetDisplays();
    void firmwareLadder(int firmware);
    void failDecoding(int marker);
    void connectSettingsPage();
    sensor::SensorContext sensorContext() const;
    void apply(const sensor::Outcome& outcome);
    void connectGeneratorPage();
    void connectCalibrationPage();
    void connectFirmwarePage();

    Services services_;
    std::unique_ptr<WorkLog> log_;
    std::unique_ptr<Port> port_;
    Form1* form1_ = nullptr;
    Form2* form2_ = nullptr;
    Form3* form3_ = nullptr;
    Form4* form4_ = nullptr;
    bool logFailureShown_ = false;
    firmware::FirmwareRunner* firmwareRunner_ = nullptr;
};
