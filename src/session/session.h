#pragma once
// A session with the sensors on one line. It owns the port and the exchange
// state (the pending request, the selected address, the firmware number, the
// frequency mode, the counters) and the once-a-second tick: each tick reads
// what the sensors sent since the last one, writes one frame (the pending
// request, or a data poll to the selected sensor), and dispatches what it read
// by the answer code. What it learns goes out as signals in terms of the
// sensor (identity, data, no answer, refused...), never as widget verbs; what
// it must ask or tell the user goes through the dialogue seam.
//
// For scripts there is call(): one frame out, its answer (or a time-out) back,
// with the event loop kept running meanwhile.

#include "base/busy.h"
#include "base/guarded_dialog.h"
#include "sensor/answers.h"
#include "sensor/live_data.h"
#include "sensor/operations.h"
#include "session/timing.h"
#include "tables/table_frames.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>
#include <memory>
#include <optional>

class Port;
class QTimer;
class Tones;

namespace session {

// The colour of the status line: plain, a sensor answering, an error.
enum class StatusTone { Plain, Connected, Error };

// The link lamp: idle while the port is closed; blinking between two states
// as frames go out; lit once an answer has been processed.
enum class Lamp { Idle, BlinkOn, BlinkOff, Answered };

class Session : public QObject {
    Q_OBJECT
public:
    explicit Session(QObject* parent = nullptr);
    ~Session() override;

    // The seams. The dialogue given here is used through dialog(), which
    // keeps ticks out while a box is up. Without tones, the session is silent.
    void setDialog(UserDialog* dialog) { dialog_.setInner(dialog); }
    UserDialog& dialog() { return dialog_; }
    void setTones(Tones* tones) { tones_ = tones; }

    // The port. attach takes an open port; detach closes it and resets what
    // belongs to the sensor that was on it.
    void attachPort(std::unique_ptr<Port> port);
    void detachPort();
    Port* port() const { return port_.get(); }
    bool isOpen() const { return port_ != nullptr; }

    // The once-a-second tick (the timer is named TMRComm).
    QTimer* tickTimer() const { return timer_; }
    void startTicking();
    void stopTicking();
    void tick();

    // Runs one processing step on bytes as if a tick had just read them.
    void receive(const QByteArray& answer) { process(answer); }
    // Runs one processing step on a recorded answer instead of the port.
    // Nothing is written to the work log meanwhile. record: the answer's
    // number among the log's records, from 1 (what a chart plots it against).
    void replay(const QByteArray& answer, int record = 0);
    bool isReplaying() const { return replaying_; }
    // The record number of the answer being replayed.
    int replayRecord() const { return replayRecord_; }

    // The selected address, as the address list shows it (nullopt: none).
    void setSelectedAddress(std::optional<quint8> address, const QString& shownText);
    std::optional<quint8> selectedAddress() const { return address_; }
    // Picking a sensor: its identity request becomes the pending request and
    // the next data answer refreshes the settings.
    void requestIdentity();
    // The identity request of the selected sensor, or empty when none.
    QByteArray identityRequest() const;

    // What the settings operations need to know about the sensor.
    sensor::SensorContext context() const;
    int firmware() const { return firmware_; }
    bool isFirmware172() const { return firmware172_; }
    bool hasNoData() const { return noData_; }
    quint8 modeByte() const { return modeByte_; }
    QString modeText() const { return modeText_; }
    int levelRange() const { return levelRange_; } // the level bar's top
    bool frequencyMode() const { return frequencyMode_; }
    qint32 exchangeCount() const { return exchangeCounter_; }
    // Stray bytes dropped from what ticks read (line noise), in all.
    qint64 noiseBytes() const { return noiseBytes_; }
    // Shows a text in the status line (a state of the line the session does
    // not know, such as a sensor waiting in its bootloader).
    void showStatus(const QString& text) { setStatus(text); }
    // The port's own bytes handed back by an adapter that hears itself, taken
    // off what was read, in all (not noise).
    qint64 echoBytes() const { return echoBytes_; }
    // No intact identity answer since the port was opened or the address
    // changed: the firmware number may be stale.
    bool identityMissing() const { return identityMissing_; }
    // The sensor may have changed (new firmware): ask its identity again.
    void forgetIdentity();

    // The pending request: sent at the next tick instead of the data poll.
    QByteArray pending() const { return pending_; }
    void setPending(const QByteArray& frame) { pending_ = frame; }
    // Carries out what an operation decided: log lines, the new pending
    // request and its echo, the flags.
    void apply(const sensor::Outcome& outcome);
    // A table write: the mode (with the recount choices) follows
    // TableSettleTicks ticks later (modeWriteDue).
    void scheduleModeAfterTableWrite() { tableWriteCountdown_ = TableSettleTicks; }

    // Writes that came up short in a row; four close the port.
    int writeFailures() const { return writeFailures_; }
    void setWriteFailures(int n) { writeFailures_ = n; }

    // No tick starts while this is busy.
    Busy& busy() { return busy_; }
    bool isBusy() const { return busy_.isBusy(); }

    // A line for the work log (not while replaying), and bytes for the
    // message window.
    void log(const QString& text);
    void echo(const QByteArray& bytes) { emit exchangeShown(bytes); }

    // One frame out and its answer back, for scripted use: the event loop
    // keeps running while it waits. Not during ticking.
    struct Reply {
        enum class Status { Answered, NoAnswer, WriteFailed, NoPort, PortLost };
        Status status = Status::NoPort;
        QByteArray answer; // what arrived, as read (may hold stray bytes)
    };
    Reply call(const QByteArray& frame, int timeoutMs);

signals:
    void exchangeShown(const QByteArray& bytes); // the message window's hex line
    void statusChanged(const QString& text);
    void statusToneChanged(session::StatusTone tone);
    void lampChanged(session::Lamp lamp);
    void errorTallied(const QString& text); // " пр" / " ош" lines of the error tally
    void answerLength(int bytes);
    void logLine(const QString& text);

    void identityReceived(const sensor::IdentityAnswer& identity);
    // refreshSettings: the settings (lamp, smoothing) follow this answer.
    void dataReceived(const sensor::DataAnswer& data, live::Stability::State stability,
                      bool refreshSettings);
    // The mode byte as the sensor reported it; modeText() shows it in decimal.
    void modeReported(const sensor::Mode& mode);
    void smoothingReported(quint8 smoothingByte);
    void lampThresholdReported(int percent);
    void frequencyReported(int hertz);
    void tableRead(const tables::DecodedTable& table);
    void networkFound(const QList<quint8>& addresses, const QString& text);
    void refused(); // the sensor refused a write: no password
    void portLost();
    void closeRequested(); // writes kept failing
    void echoNoticed();    // the adapter hands back what is sent (once per port)
    void modeWriteDue();   // the mode write that follows a table write

private:
    void process(const QByteArray& answer);
    void dispatch(const QByteArray& answer, bool crcOk);
    void onIdentity(const QByteArray& answer, bool intact);
    QByteArray readFresh(int* stale);
    void takeEcho(QByteArray& read, const QByteArray& written);
    bool carriesIdentity(const QByteArray& received) const;
    QByteArray identityRetry(const QByteArray& received);
    void onData(const QByteArray& answer);
    void onTable(const QByteArray& answer);
    void onNetworkPoll(const QByteArray& answer);
    void applyMode(quint8 mode);
    void failDecoding(sensor::FaultHint hint);
    void setStatus(const QString& text) { emit statusChanged(text); }
    void setTone(StatusTone tone) { emit statusToneChanged(tone); }
    void setLamp(Lamp lamp);
    void message(const QString& text) { dialog_.message(text); }
    void shortBeep();
    void longBeep();

    Busy busy_;
    GuardedDialog dialog_{busy_};
    Tones* tones_ = nullptr;
    std::unique_ptr<Port> port_;
    QTimer* timer_ = nullptr;

    std::optional<quint8> address_;
    QString addressText_;
    QByteArray pending_;
    quint8 currentAddress_ = 0; // the address the last identity request went to
    int writeFailures_ = 0;
    qint32 exchangeCounter_ = 0;
    bool netPoll_ = false; // a network poll is under way
    bool identityMissing_ = true;
    int identityTries_ = 0; // identity requests in a row instead of the data poll
    int identityWait_ = 0;  // ticks since the last of them, once the tries are spent
    qint64 noiseBytes_ = 0;
    qint64 echoBytes_ = 0;
    QByteArray lastWritten_; // what the last tick wrote: its echo may lead the answer
    bool refreshSettings_ = true;
    int tableWriteCountdown_ = 0;
    bool frequencyMode_ = false;
    bool badData_ = false;
    int holdCounter_ = 0;
    bool replaying_ = false;
    int replayRecord_ = 0;
    int firmware_ = 0;
    bool firmware172_ = false;
    // No data answer has come since the program started or the port was
    // last closed: the data display says "Нет данных" and the operations
    // that need a reading refuse.
    bool noData_ = true;
    quint8 modeByte_ = 0;
    QString modeText_;
    int levelRange_ = 1024;
    Lamp lamp_ = Lamp::Idle;
    live::Stability stability_;
};

} // namespace session
