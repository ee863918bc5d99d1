#pragma once
// What every lv300ctl command that talks to a sensor shares: one sensor on an
// open line, talked to one request at a time through the session; Ctrl-C.

#include "console.h"
#include "options.h"
#include "output.h"
#include "terminal_dialog.h"

#include "base/clock.h"
#include "base/work_log.h"
#include "sensor/answers.h"
#include "sensor/mode.h"
#include "sensor/operations.h"
#include "sensor/requests.h"
#include "session/exchange.h"
#include "session/session.h"
#include "sim/demo_line.h"
#include "tables/table_frames.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QList>
#include <memory>
#include <optional>

namespace ctl {

// Sleeps while the event loop runs; false when Ctrl-C came.
bool pause(int ms);

int usage(Output& out, const QString& text);

// The values of a data answer under plain English keys.
QJsonObject dataObject(const sensor::DataAnswer& d);
// The 20 points of a table as JSON: [{level, litres}, ...].
QJsonArray pointsOf(const tables::TableTexts& t);
// The same as text: a header, then "point level litres" rows.
QString pointsText(const tables::TableTexts& t);

// One sensor on an open line, talked to one request at a time.
class Link {
public:
    Link(const Options& o, Output& out, TerminalDialog& dlg);

    session::Session& session() { return session_; }
    quint8 address() const { return address_; }
    // The simulated line of --port sim (empty otherwise).
    DemoLine& simLine() { return line_; }

    // Opens the port and selects the sensor; 0 or the exit code.
    int open();

    // The session's checked exchange (session/exchange.h) with Ctrl-C looked
    // at before and after. 0 or the exit code.
    int exchange(const QByteArray& request, std::optional<quint8> expected,
                 QByteArray* answerOut = nullptr);

    int readIdentity();
    int readData();
    // The sensor's 20-point table into `table`; 0 or the exit code (a table
    // that did not come whole is a bad answer).
    int readTable();
    // Identity, then one data answer, as the window does after picking a sensor.
    int connect();

    // Carries out an operation's outcome: its frame out, the expected answer
    // back. Without a frame the operation stopped: a range message, a
    // question not confirmed, or a check that failed.
    int run(const sensor::Outcome& outcome, quint8 expected, const QString& name);

    // Why an operation sent nothing.
    int stopped(int messagesBefore);

    // The work log of --log (null without it).
    WorkLog* workLog() { return log_.get(); }

    std::optional<sensor::IdentityAnswer> identity;
    std::optional<sensor::DataAnswer> data;
    std::optional<tables::DecodedTable> table;
    QList<quint8> found;
    QString status;

private:
    const Options& o_;
    Output& out_;
    TerminalDialog& dlg_;
    SystemClock clock_;
    std::unique_ptr<WorkLog> log_; // outlives the session, which may log as it ends
    session::Session session_;
    DemoLine line_;
    quint8 address_ = 1;

    int startLog();
};

} // namespace ctl
