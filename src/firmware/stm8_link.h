#pragma once
// The STM8 ROM bootloader's protocol over a port: the sync byte, a command
// byte with its complement, the acknowledge (0x79) or refusal (0x1F), the
// address and data frames with their XOR checks, and the reads with the
// port's time-outs. It blocks while it waits, so it runs in a worker thread
// (FirmwareRunner) or, in tests, straight on a fake port.
//
// A cancel takes effect at once, except in the middle of a command the
// bootloader is answering (see Command): cut there, the bootloader would
// wait for the rest of an address or of 129 data bytes and take the next
// run's sync bytes for them.

#include "link/port.h"

#include <QByteArray>
#include <QString>
#include <atomic>
#include <functional>
#include <optional>

namespace firmware {

class Stm8Link {
public:
    static constexpr quint8 SyncByte = 0x7F;
    static constexpr quint8 Ack = 0x79;
    static constexpr quint8 Nack = 0x1F;
    static constexpr quint8 NoAnswer = 255;
    static constexpr int ReadsPerExchange = 5;
    static constexpr int ReadTimeoutMs = 256; // a read with nothing arriving gives up after this
    static constexpr int ReadGapMs = 20;      // a burst ends after this much silence
    static constexpr int MaxReadBytes = 255;

    // The bootloader's commands; each goes out as its code and the code's
    // complement.
    enum class Code : quint8 { ReadMemory = 0x11, Go = 0x21, WriteMemory = 0x31, Erase = 0x43 };
    // What Erase takes after its command: the whole program memory, or the
    // data EEPROM.
    enum class EraseTarget { Program, DataEeprom };

    // message: a box for the user (a failed write, a refusal).
    Stm8Link(Port& port, const std::atomic<bool>& cancel,
             std::function<void(const QString&)> message);

    // One command of the bootloader (its bytes and answers) for as long as
    // this lives: a cancel that came before it stops the run here; one that
    // comes during it lets it finish.
    class Command {
    public:
        explicit Command(Stm8Link& link);
        ~Command();
        Command(const Command&) = delete;
        Command& operator=(const Command&) = delete;

    private:
        Stm8Link& link_;
    };

    // The frames.
    static QByteArray commandFrame(Code code);
    static QByteArray addressFrame(quint32 address);
    static QByteArray dataFrame(const QByteArray& bytes);
    static QByteArray eraseFrame(EraseTarget target);

    // Reads away whatever is waiting in the port.
    void discardInput();
    // Sends the sync byte once and reads once: true when the bootloader
    // acknowledged or refused it (a bootloader synchronised already takes
    // the byte for a command and refuses it, which is as good an answer).
    bool sync();

    // One exchange: writes the bytes and reads the bootloader's answer: Ack,
    // 0 after a Nack (with its message) or a failed write, NoAnswer after five
    // reads without either.
    quint8 exchange(const QByteArray& bytes);
    // A command byte and its complement; the loader answers at once, so the
    // time its answer takes beyond the line's is the adapter's holding time.
    quint8 command(Code code);
    quint8 erase(EraseTarget target) { return exchange(eraseFrame(target)); }
    quint8 go() { return command(Code::Go); }
    // Read Memory of `length` bytes (1..256) at the address: the bytes, or
    // nullopt when a step was refused or the bytes did not all come.
    std::optional<QByteArray> readMemory(quint32 address, int length);

    // After a cancel: reads away the answer to the exchange that was cut short.
    void drain();

    bool cancelled() const { return cancelled_; }
    bool portFailed() const { return portFailed_; }
    bool portLost() const { return portLost_; }
    bool stopped() const { return cancelled_ || portFailed_ || portLost_; }
    // A cancel asked for between commands: the run stops.
    bool stopAsked();
    // A write the port did not take whole since clearWriteFailed().
    bool writeFailed() const { return writeFailed_; }
    void clearWriteFailed() { writeFailed_ = false; }
    // Consecutive failed writes; four make the port fail.
    int writeFailures() const { return writeFailures_; }
    // The line's rate, for the holding time (19200 unless set).
    void setBaud(int baud) { baud_ = baud; }
    // How long the adapter held the loader's answers to the commands so far
    // beyond their time on the line: the least of them, in ms (a latency
    // timer holds every answer; the machine's own delays come and go);
    // nullopt before the first command.
    std::optional<double> heldAnswersMs() const { return heldMs_; }
    // The port's own bytes handed back by the adapter and taken off the
    // answers, in all.
    qint64 echoBytes() const { return echoBytes_; }
    // A new run: nothing stopped, the engine's count of failed writes.
    void reset(int writeFailures);

private:
    bool cancelNow();
    bool send(const QByteArray& bytes);
    bool lost();
    quint8 awaitAnswer(QByteArray* following);
    QByteArray readOnce();
    bool readMore(QByteArray& got, int count);
    bool waitSlice(int msecs, int& waited);

    Port& port_;
    const std::atomic<bool>& cancel_;
    std::function<void(const QString&)> message_;
    bool cancelled_ = false;
    bool inCommand_ = false;
    bool portFailed_ = false;
    bool portLost_ = false;
    bool writeFailed_ = false;
    int writeFailures_ = 0;
    QByteArray sent_; // the last bytes written, until their echo came or did not
    int baud_ = 19200;
    std::optional<double> heldMs_;
    qint64 echoBytes_ = 0;
};

} // namespace firmware
