#pragma once
// The settings page of the main window: calibration, mode, address, lamp,
// password and the network poll, with the shift dialog Form4. It gathers the
// page's inputs, runs the sensor's operations on the session, and shows what
// the session reports about the mode, smoothing and lamp.

#include <QObject>

class Form4;
class QWidget;
namespace sensor {
struct DataAnswer;
struct Mode;
struct Outcome;
} // namespace sensor
namespace session {
class Session;
}

class SettingsPage : public QObject {
    Q_OBJECT
public:
    // root: the main window holding the page's controls; tableWindow: the
    // window whose recount boxes are the master copy for the mode.
    SettingsPage(QWidget* root, session::Session& session, QWidget* tableWindow);
    ~SettingsPage() override;

    void closeWindows();

public slots:
    void hig_Click();
    void low_Click();
    void shift_Click();
    void sdv_hi_Click();
    void sdv_low_Click();
    void set_hi_data_Click();
    void set_lo_data_Click();
    void Set_mode_Click();
    void net_Click();
    void Command1_Click();
    void Vvod_PWD_Click();
    void Chg_pass_Click();
    void Opros_Click();

private:
    void showMode(const sensor::Mode& m);
    void showSmoothing(quint8 b);
    void showData(const sensor::DataAnswer& d, bool refreshSettings);
    QString text(const char* box) const;
    bool checked(const char* box) const;

    QWidget* root_;
    session::Session& session_;
    QWidget* tableWindow_;
    Form4* form4_;
};
