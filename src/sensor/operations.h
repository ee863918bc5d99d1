#pragma once
// The operations of the settings page. Each takes what the session knows
// (selected address, whether data came, the last mode byte, the firmware
// number) and the texts of the page's boxes, asks and tells the user through
// the dialog seam, and returns what the window is to do: the new pending
// request, log lines, flags. None of them touches the port.

#include "sensor/mode.h"

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
    bool clearPending = false;       // empty the pending request first (even when nothing follows)
    std::optional<QByteArray> frame; // the new pending request; nullopt leaves it alone
    bool showFrame = false;          // echo the frame in the message window
    QStringList logLines;            // work-log lines, in order
    bool refreshSettings = false;    // refresh the settings widgets from the next data answer
    bool startsNetworkPoll = false;  // a network poll is under way
};

// The checks of typed values the operations make before anything else: the
// value, or the message that refuses the text.
struct Checked {
    std::optional<qint64> value;
    QString refusal; // set when value is nullopt
};
// A level shift: -1000..1000.
Checked checkShift(const QString& text);
// A level's raw value: 0..2 000 000 000.
Checked checkLevel(const QString& text);
// The lamp threshold: 1..99 percent.
Checked checkLampThreshold(const QString& text);
// A network address: 0..255.
Checked checkNetAddress(const QString& text);
// A password: 0..2 000 000 000.
Checked checkPassword(const QString& text);

// Set full / empty level to the current reading.
Outcome setFullToCurrent(const SensorContext& ctx, UserDialog& dlg);
Outcome setEmptyToCurrent(const SensorContext& ctx, UserDialog& dlg);

// Shift full / empty level by the text of the shift dialog's box. Text that
// is not a number in -1000..1000 gets the range message; nothing is sent.
Outcome shiftFull(const SensorContext& ctx, const QString& shiftText, UserDialog& dlg);
Outcome shiftEmpty(const SensorContext& ctx, const QString& shiftText, UserDialog& dlg);

// Enter full / empty raw value directly from the typed text.
Outcome enterFullLevel(const SensorContext& ctx, const QString& valueText, UserDialog& dlg);
Outcome enterEmptyLevel(const SensorContext& ctx, const QString& valueText, UserDialog& dlg);

// Send the mode byte (and the smoothing byte for newer firmware).
Outcome setMode(const SensorContext& ctx, const Mode& mode, const Smoothing& smoothing,
                UserDialog& dlg);

// New network address, asked in an input box preset with the selected one.
Outcome setNetAddress(const SensorContext& ctx, UserDialog& dlg);

// Lamp threshold (percent) from the typed text. Text that is not a number
// in 1..99 gets the range message; nothing is sent.
Outcome setLampThreshold(const SensorContext& ctx, const QString& percentText, UserDialog& dlg);

// Enter / change the access password (asked in input boxes).
Outcome enterPassword(const SensorContext& ctx, UserDialog& dlg);
Outcome changePassword(const SensorContext& ctx, UserDialog& dlg);

// Network poll; works with or without a selected sensor.
Outcome networkPoll();

} // namespace sensor
