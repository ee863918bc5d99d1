#pragma once
// One request and its checked answer, for scripted use (the profile run,
// lv300ctl): the frame goes out through Session::call, and the answer with
// the expected code is picked out of what came back and handed to the
// session, so the session learns from it as from its own requests.

#include <QByteArray>
#include <QString>
#include <functional>
#include <optional>

namespace session {

class Session;

// Why an exchange gave no answer to go on with.
struct ExchangeError {
    enum class Kind {
        None,
        PortLost,      // no port, or it vanished while waiting
        WriteFailed,   // the frame did not go out whole
        NoAnswer,      // nothing came within the time
        Refused,       // the sensor refused the write: no password
        FrequencyMode, // the sensor answers in frequency mode only
        WrongAnswer,   // frames came, none with the expected code
    };
    Kind kind = Kind::None;
    QString text; // the Russian text the user is shown
    explicit operator bool() const { return kind != Kind::None; }
};

struct Exchanged {
    // The answer frame with the expected code, the refusal or the frequency
    // answer; without an expected code, everything that came.
    QByteArray answer;
    ExchangeError error;
};

// Sends `request` to the sensor at `address` and waits up to timeoutMs for
// the answer. With an expected code, the first frame from that address (or,
// for an address write, from any address) with that code, the refusal code
// or the frequency code is the answer. A frame with another code ahead of it
// is a late answer to something asked before (a tick's poll): the request
// goes out once more. Without an expected code, whatever came is the answer
// (a network poll answers with bare bytes).
Exchanged exchange(Session& s, quint8 address, const QByteArray& request,
                   std::optional<quint8> expected, int timeoutMs);

// Waits ms with the event loop running, as between a table write's answer
// and the mode that follows it (TableSettleMs, session/timing.h). False when
// stop() said so meanwhile (it is asked every 50 ms).
bool pause(int ms, const std::function<bool()>& stop = {});

} // namespace session
