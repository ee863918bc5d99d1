#pragma once
// The exchange engine: once a second it reads what the sensors sent since the
// last tick, writes one frame (the pending request, or a data poll to the
// selected sensor), and dispatches what it read by the answer code. It owns
// the exchange state; the window owns the controls and is reached through
// EngineHost.

#include <QByteArray>
#include <QList>
#include <QString>
#include <optional>

class Port;

class EngineHost {
public:
    virtual ~EngineHost() = default;

    // The selected item of the address list, read as a byte; nullopt when none.
    virtual std::optional<quint8> selectedAddress() const = 0;
    // The selected item's text as shown (for the no-answer status).
    virtual QString selectedAddressText() const = 0;

    virtual void setStatus(const QString& text) = 0;  // MsgCom caption
    virtual void setStatusColor(quint32 vbColor) = 0; // MsgCom fore colour
    virtual quint32 lampColor() const = 0;            // link lamp Pic
    virtual void setLampColor(quint32 vbColor) = 0;
    virtual void outWin(const QByteArray& bytes) = 0;   // message window
    virtual void appendErrBox(const QString& text) = 0; // error tally
    virtual void setLenAnsw(int n) = 0;
    virtual void log(const QString& text) = 0; // work log
    virtual void shortBeep() = 0;
    virtual void longBeep() = 0;
    virtual void message(const QString& text) = 0; // modal box with OK
    virtual void closePort() = 0;                  // the port Close handler
    virtual void portVanished() = 0;               // adapter unplugged while open

    // Refills CmbNet with the addresses (selecting the first runs its click
    // handler) and sets the caption of netdev.
    virtual void fillNetList(const QList<quint8>& addresses, const QString& text) = 0;

    // Decoders and operations of the window.
    virtual void all_data_to_form(const QByteArray& answer) = 0;
    virtual void assept_sn(const QByteArray& answer) = 0;
    virtual void Out_modes(quint8 mode) = 0;
    virtual void applySmoothingByte(quint8 b) = 0; // Termokompens, sgla, Slider1
    virtual void setLampLevel(int percent) = 0;
    virtual void showFrequency(int hertz) = 0; // ur, Uroven and Form1's Uroven
    // The decoded values for the log, or nullopt when the answer was refused
    // (the host has said why).
    virtual std::optional<QString> ans_to_table(const QByteArray& answer) = 0;
    virtual void Set_mode_Click() = 0;
};

class ExchangeEngine {
public:
    explicit ExchangeEngine(EngineHost& host);

    void setPort(Port* port) { port_ = port; }
    Port* port() const { return port_; }

    // One TMRComm tick. Does nothing while another tick or a handler that
    // shows a dialog is still running.
    void tick();

    // Runs one processing step on a recorded answer instead of the port.
    void replay(const QByteArray& answer);

    // The identity request for the selected sensor, or empty when none.
    QByteArray Zapros_ser_num() const;

    // Held while a handler runs a modal dialog, so that no tick interleaves.
    class BusyGuard {
    public:
        explicit BusyGuard(ExchangeEngine& e) : e_(e) { ++e_.busy_; }
        ~BusyGuard() { --e_.busy_; }
        BusyGuard(const BusyGuard&) = delete;
        BusyGuard& operator=(const BusyGuard&) = delete;

    private:
        ExchangeEngine& e_;
    };
    bool isBusy() const { return busy_ > 0; }

    // Exchange state, shared with the window's decoders and operations.
    QByteArray wrs;
    quint8 currentAddress = 0;
    int writeFailures = 0;
    qint32 exchangeCounter = 0;
    bool net_opr = false;
    bool mode_yes = true;
    int sec_wr_table = 0;
    bool frequencyMode = false;
    bool badData = false;
    int holdCounter = 0;
    bool replaying = false;
    int firmware = 0;

private:
    void process(const QByteArray& answer);
    void dispatch(const QByteArray& answer, bool crcOk);
    void netPollAnswer(const QByteArray& answer);
    void logged(const QString& status, bool beep);

    EngineHost& host_;
    Port* port_ = nullptr;
    int busy_ = 0;
};
