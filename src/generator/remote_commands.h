#pragma once
// The nine operations of the "Дист. упр." tab: each turns the tab's inputs
// into a gateway command line for a sensor on a remote gateway's line. They
// never touch the port or the pending request. A typed value an operation
// cannot use is refused with a message naming the range, and the caller
// empties gen_txt; an operation that ends without a word leaves gen_txt as
// it was.

#include "sensor/mode.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <optional>

class UserDialog;

namespace generator {

// Indices of VibGenCmd.
enum class Item {
    EnterPassword = 0, // Gen_in_PWDd
    Status = 1,        // gen_sost
    SerialVersion = 2, // gen_ser_ver
    ShiftFull = 3,     // gen_up
    ShiftEmpty = 4,    // gen_down
    DirectFull = 5,    // gen_up_urDirect
    DirectEmpty = 6,   // gen_down_urDirect
    Mode = 7,          // gen_mode
    SetPassword = 8,   // gen_ust_pwd
};
inline constexpr int ItemCount = 9;

// The items of VibGenCmd, in order.
QStringList itemNames();

// What selecting an item shows. chislo_sdv, lchislo and Frame5 are hidden
// first, then these are applied.
struct ItemView {
    bool valueShown = false;              // chislo_sdv and lchislo
    QString valueCaption;                 // caption of lchislo when shown
    bool frame5Shown = false;             // Frame5
    std::optional<bool> sliderGroupShown; // Slider1d, Label25, sglad; nullopt: unchanged
};
ItemView viewOfItem(int index, bool chVer);

// Everything an operation reads from the tab.
struct Inputs {
    QString address = QStringLiteral("1"); // dist_net_num
    QString value = QStringLiteral("0");   // chislo_sdv
    bool chVer = false;                    // ch_ver
    // The mode inputs of Frame5. A flag box hidden because ch_ver is clear
    // keeps its tick and still counts.
    sensor::Mode mode;
    bool thermoCompensationOff = false;      // Termokompensd
    QString smoothing = QStringLiteral("0"); // caption of sglad: the smoothing value
};

struct Generated {
    QString line;      // the new text of gen_txt
    QByteArray frame;  // the request inside the line
    bool echo = false; // show the frame in the message window (out_win)
};

// What an operation leaves: a line, a refusal, or neither.
struct Result {
    std::optional<Generated> generated; // nullopt when no line was made
    bool refused = false; // a typed value was refused with a message: gen_txt is emptied
};

Result enterPasswordLine(const Inputs& in, UserDialog& dlg);
Result statusLine(const Inputs& in, UserDialog& dlg);
Result identityLine(const Inputs& in, UserDialog& dlg);
Result shiftFullLine(const Inputs& in, UserDialog& dlg);
Result shiftEmptyLine(const Inputs& in, UserDialog& dlg);
Result fullLevelLine(const Inputs& in, UserDialog& dlg);
Result emptyLevelLine(const Inputs& in, UserDialog& dlg);
Result modeLine(const Inputs& in, UserDialog& dlg);
Result setPasswordLine(const Inputs& in, UserDialog& dlg);

// gen_zapr: runs the operation of the selected index; neither a line nor a
// refusal for an index outside 0..8 (no selection is -1).
Result generate(int index, const Inputs& in, UserDialog& dlg);

} // namespace generator
