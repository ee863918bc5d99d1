#pragma once
// The operations of the settings page. Each takes what the session knows
// (selected address, whether data came, the last mode byte, the firmware
// number) and the texts of the page's boxes, asks and tells the user through
// the dialog seam, and returns what the window is to do: the new pending
// request, log lines, flags. None of them touches the port.

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <optional>

class UserDialog;

namespace sensor {

struct SensorContext {
    std::optional<quint8> address; // the selected entry of CmbNet; nullopt when none
    bool noData = false;           // no data answer since start-up or the last port close
    quint8 modeByte = 0;           // mode byte of the last data answer
    int firmware = 0;              // firmware number of the last identity answer
};

struct Outcome {
    bool clearPending = false;       // empty wrs first (done even when nothing follows)
    std::optional<QByteArray> frame; // the new pending request; nullopt leaves wrs alone
    bool showFrame = false;          // echo the frame in the message window (out_win)
    QStringList logLines;            // work-log lines, in order (str_to_log)
    bool setModeYes = false;         // refresh the settings widgets from the next data answer
    bool setNetOpr = false;          // a network poll is under way
};

// The output options of the mode frame, one of which is on.
enum class ModeOption { R485, R_a, R_f, R_p, R_p485 };

// The mode controls as the window shows them. tartab1 and per_sents are the
// states after the table window's recount boxes have been copied into them.
struct ModeInputs {
    ModeOption option = ModeOption::R485;
    bool iinv = false;
    bool usredn = false;
    bool D_4096 = false;
    bool tartab1 = false;
    bool per_sents = false;
    int sgla = 0; // smoothing value shown in sgla, 0..15
    bool Termokompens = false;
};

// Value of an output option in the mode byte: 0, 2, 4, 6, 16.
quint8 modeValueOf(ModeOption option);
// The mode byte of the controls.
quint8 modeByteOf(const ModeInputs& in);
// Smoothing value (low four bits) plus 128 when thermo-compensation is off.
quint8 smoothingByteOf(int sgla, bool termokompensOff);

// Set full / empty level to the current reading.
Outcome hig(const SensorContext& ctx, UserDialog& dlg);
Outcome low(const SensorContext& ctx, UserDialog& dlg);

// Shift full / empty level by the text of the shift dialog's box. Text that
// is not a number in -1000..1000 gets the range message; nothing is sent.
Outcome sdv_hi(const SensorContext& ctx, const QString& shiftText, UserDialog& dlg);
Outcome sdv_low(const SensorContext& ctx, const QString& shiftText, UserDialog& dlg);

// Enter full / empty raw value directly from hi_data / lo_data.
Outcome set_hi_data(const SensorContext& ctx, const QString& hiDataText, UserDialog& dlg);
Outcome set_lo_data(const SensorContext& ctx, const QString& loDataText, UserDialog& dlg);

// Send the mode byte (and the smoothing byte for newer firmware).
Outcome Set_mode(const SensorContext& ctx, const ModeInputs& in, UserDialog& dlg);

// New network address, asked in an input box preset with the selected one.
Outcome net(const SensorContext& ctx, UserDialog& dlg);

// Lamp threshold (percent) from lamp_level. Text that is not a number in
// 1..99 gets the range message; nothing is sent.
Outcome Command1(const SensorContext& ctx, const QString& lampLevelText, UserDialog& dlg);

// Enter / change the access password (asked in input boxes).
Outcome Vvod_PWD(const SensorContext& ctx, UserDialog& dlg);
Outcome Chg_pass(const SensorContext& ctx, UserDialog& dlg);

// Network poll; works with or without a selected sensor.
Outcome Opros();

// What a reported mode byte shows in the widgets.
struct ModeDisplay {
    bool iinv = false;
    bool tartab = false; // "Пересчитывать в литры" (table window, mirrored into tartab1)
    bool per_sents = false; // "пересчитывать в проценты" (likewise)
    bool D_4096 = false;
    int Ur_progressBar = 1024;
    std::optional<ModeOption> option; // nullopt: leave the option buttons as they are
    bool usredn = false;
    QString modeText; // the mode byte in decimal
};
// The caller also clears mode_yes.
ModeDisplay Out_modes(quint8 m, bool firmware172);

} // namespace sensor
