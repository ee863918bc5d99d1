#pragma once
// Reading a sensor's setup and applying a profile to a sensor, through the
// session's call(): one frame out, its answer back, the event loop running
// meanwhile. The session's busy guard is held for the whole run, so no tick
// goes out between these frames. Every answer is also handed to the session
// (Session::receive), so the window shows what the sensor reported and the
// session learns its firmware number, as after its own requests.
//
// The writes are the frames the settings page and the table window send:
// the write-access code by the firmware number, the smoothing byte after the
// mode byte on newer firmware, and the mode again after a table write.

#include "profile/groups.h"
#include "sensor/answers.h"
#include "session/timing.h"

#include <QByteArray>
#include <QList>
#include <functional>
#include <optional>

namespace session {
class Session;
}

namespace profile {

// A sensor's setup as read from it, with who it is.
struct SensorState {
    Settings settings;
    sensor::IdentityAnswer identity;
    int firmware = 0; // the firmware number the session goes by after the identity answer
};

// The profile of a sensor, as saved: settings it cannot take back (a lamp
// threshold outside 1..99, a level above 2 000 000 000) are left out.
Profile profileOf(const SensorState& state, const QDateTime& saved);

struct Options {
    int timeoutMs = 1000; // per answer
    // The pause before the mode that follows a table write: the sensor's
    // settling time, as the window keeps it.
    int afterTableWriteMs = session::TableSettleMs;
};

// The identity, one data answer and the table of the sensor at `address`.
struct ReadResult {
    std::optional<SensorState> state;
    Error error; // NoAnswer, BadAnswer, Refused or Port
};
ReadResult readSensor(session::Session& s, quint8 address, const Options& options = {});

// One write of an apply.
struct Step {
    Group group;
    QString what;      // "Режим 64, сглаживание 3", shown as progress
    QByteArray frame;  // the request
    quint8 answerCode; // the code of the answer that confirms it
    QString logLine;   // the work-log line the page writes for it
    bool afterTableWrite = false;
};

// The writes that bring the chosen groups of `now` to `wanted`, in the order
// they go out: modes (mode with smoothing, lamp), levels (empty, full), table
// (the table, then the mode), address last. A group without differences
// writes nothing; a setting the sensor cannot take (the smoothing byte on
// firmware up to 1.7.5) is not sent, and the read-back shows it.
QList<Step> writeSteps(const Settings& wanted, const SensorState& now, const QList<Group>& groups);

// What the read-back found for a group.
struct GroupResult {
    Group group;
    bool chosen = false;
    // Chosen: what still differs from the profile. Not chosen: what changed
    // against the sensor before the apply.
    QList<Difference> differences;
    QString text() const; // "совпадает", "не изменялась" or the differences
};

struct Report {
    Error error;     // the run stopped here (a refusal stops at the first one)
    int written = 0; // writes confirmed by the sensor
    int total = 0;   // writes planned
    QList<Step> steps;
    QList<GroupResult> groups; // empty when the run stopped before the read-back
    std::optional<SensorState> after;
    // The read-back matches the profile in every chosen group and nothing
    // changed in the others.
    bool matches() const;
};

using Progress = std::function<void(int done, int total, const QString& what)>;
using Cancelled = std::function<bool()>;

// Applies the chosen groups of a profile to the sensor read as `before`:
// the writes one by one (Cancelled is asked before each), then everything
// read back (at the new address when the address was written) and compared.
// A refusal, a missing or wrong answer or a cancel stops the writes; nothing
// after it is tried and nothing is read back.
Report apply(session::Session& s, const Profile& p, const SensorState& before,
             const QList<Group>& groups, const Progress& progress = {},
             const Cancelled& cancelled = {}, const Options& options = {});

} // namespace profile
