#include "firmware/bootloader_session.h"

#include "firmware/firmware_texts.h"

#include <QElapsedTimer>
#include <algorithm>

namespace firmware {

namespace {

// Longest single wait on the port, so that a cancel is seen within this time.
constexpr int WaitSliceMs = 20;

QByteArray bytesOf(std::initializer_list<quint8> list) {
    QByteArray b;
    for (quint8 v : list)
        b.append(char(v));
    return b;
}

quint8 xorOf(const QByteArray& bytes) {
    quint8 x = 0;
    for (char c : bytes)
        x ^= quint8(c);
    return x;
}

} // namespace

SensorLayout layoutOf(SensorType type) {
    switch (type) {
    case SensorType::LV200:
        return {148, 0x8A00, 1};
    case SensorType::LV300:
        break;
    }
    return {160, 0x9000, 8};
}

BootloaderSession::BootloaderSession(Port& port, SessionSink& sink, const std::atomic<bool>& cancel)
    : port_(port), sink_(sink), cancel_(cancel) {}

QByteArray BootloaderSession::addressFrame(quint32 address) {
    QByteArray b = bytesOf(
        {quint8(address >> 24), quint8(address >> 16), quint8(address >> 8), quint8(address)});
    b.append(char(xorOf(b)));
    return b;
}

QByteArray BootloaderSession::dataFrame(const QByteArray& bytes) {
    QByteArray b;
    b.append(char(quint8(bytes.size() - 1)));
    b.append(bytes);
    b.append(char(xorOf(b)));
    return b;
}

int BootloaderSession::blocksToWrite(const CriImage& image, const SessionParams& params) {
    const SensorLayout layout = layoutOf(params.type);
    const int count = image.blockCount();
    const int eeprom = params.resetCalibrations ? std::min(layout.eepromBlocks, count) : 0;
    return eeprom + std::max(0, count - layout.programBlock);
}

void BootloaderSession::setLog(const QString& text, bool caretToEnd) {
    log_ = text;
    sink_.logText(log_, caretToEnd);
}

bool BootloaderSession::send(const QByteArray& bytes) {
    if (cancel_.load()) {
        cancelled_ = true;
        return false;
    }
    const qint64 written = port_.isOpen() ? port_.write(bytes) : 0;
    if (written == bytes.size()) {
        writeFailures_ = 0;
        return true;
    }
    sink_.message(texts::WriteError);
    // A port that keeps refusing bytes (or has gone away) is closed like the
    // exchange engine does after its fourth failed write; going on would only
    // stack up the same message for every remaining exchange.
    if (writeFailures_ > 2 || port_.hasVanished() || !port_.isOpen())
        portFailed_ = true;
    else
        ++writeFailures_;
    return false;
}

// Waits on the port for at most msecs; accounts the time waited. A port that
// returns at once without data counts the whole slice, so a broken or fake
// port cannot make a read spin past its time-out.
bool BootloaderSession::waitSlice(int msecs, int& waited) {
    QElapsedTimer timer;
    timer.start();
    const bool ready = port_.waitForReadyRead(msecs);
    waited += ready ? std::max<int>(1, int(timer.elapsed())) : msecs;
    return ready;
}

// One read as the port's time-outs define it: up to 255 bytes, ending after a
// 20 ms gap, at most about 256 ms when nothing comes. When the first byte is
// the bootloader's one-byte answer the read returns at once: nothing follows
// it, so waiting for the gap would only slow the run down.
QByteArray BootloaderSession::readOnce() {
    QByteArray got;
    int waited = 0;
    for (;;) {
        if (cancel_.load()) {
            cancelled_ = true;
            return {};
        }
        got = port_.read(MaxReadBytes);
        if (!got.isEmpty() || waited >= ReadTimeoutMs)
            break;
        waitSlice(std::min(WaitSliceMs, ReadTimeoutMs - waited), waited);
    }
    if (got.isEmpty()) {
        port_.flush();
        return got;
    }
    const quint8 first = quint8(got.at(0));
    if (first == Ack || first == Nack)
        return got;
    while (got.size() < MaxReadBytes && waited < ReadTimeoutMs) {
        if (cancel_.load()) {
            cancelled_ = true;
            return {};
        }
        if (!waitSlice(std::min(ReadGapMs, ReadTimeoutMs - waited), waited))
            break;
        got += port_.read(MaxReadBytes - int(got.size()));
    }
    return got;
}

quint8 BootloaderSession::wrstr(const QByteArray& bytes) {
    if (stopped() || !send(bytes))
        return 0;
    for (int k = 0; k < ReadsPerExchange; ++k) {
        const QByteArray answer = readOnce();
        if (cancelled_)
            return 0;
        if (answer.isEmpty())
            continue;
        if (quint8(answer.at(0)) == Ack)
            return Ack;
        if (quint8(answer.at(0)) == Nack) {
            sink_.message(texts::Nack);
            return 0;
        }
    }
    // No fixed pause before the write or after the exchange: every step
    // waits for the bootloader's own answer anyway, so a delay would only
    // lengthen the run (and a busy count would burn the processor).
    return NoAnswer;
}

// Whatever the bootloader still sends after a cancel (the answer to the
// exchange that was cut short) is read away here, so that the exchange
// engine does not take it for a sensor's answer when it resumes.
void BootloaderSession::drain() {
    if (!port_.isOpen())
        return;
    // The answer may still be a whole read time-out away (the host's bytes
    // on the wire, then programming or erasing); after it, a gap ends it.
    int waited = 0;
    bool any = false;
    while (waited < ReadTimeoutMs) {
        any = !port_.read(MaxReadBytes).isEmpty() || any;
        const int slice = any ? ReadGapMs : std::min(WaitSliceMs, ReadTimeoutMs - waited);
        if (!waitSlice(slice, waited) && any)
            break;
    }
    port_.read(MaxReadBytes);
}

SessionResult BootloaderSession::finish(Outcome outcome) {
    if (outcome == Outcome::Done) {
        setLog(log_ + texts::Done, true);
    } else {
        const QString sep = log_.endsWith(texts::Crlf) ? QString() : texts::Crlf;
        setLog(log_ + sep + texts::Aborted, true);
        if (outcome == Outcome::Cancelled)
            drain();
    }
    SessionResult result;
    result.outcome = outcome;
    result.writeFailures = writeFailures_;
    result.blocksWritten = done_;
    result.blocksToWrite = total_;
    result.log = log_;
    return result;
}

SessionResult BootloaderSession::run(const CriImage& image, const SessionParams& params) {
    cancelled_ = false;
    portFailed_ = false;
    writeFailures_ = std::max(0, params.writeFailures);
    done_ = 0;
    total_ = blocksToWrite(image, params);
    log_.clear();
    auto stopOutcome = [this] { return portFailed_ ? Outcome::PortFailed : Outcome::Cancelled; };

    sink_.progress(0, total_);
    setLog(texts::Flashing, false);
    const SensorLayout layout = layoutOf(params.type);

    // A sensor's last answer to the engine may still wait in the port. Read
    // in front of the bootloader's acknowledge it would hide it, and a
    // synchronised bootloader refuses every further sync byte.
    while (!port_.read(MaxReadBytes).isEmpty()) {
    }

    // The user powers the sensor up while this runs; its bootloader answers
    // the sync byte during its start-up window. Only a cancel ends the wait.
    for (;;) {
        if (!send(bytesOf({SyncByte}))) {
            if (stopped())
                return finish(stopOutcome());
            continue;
        }
        const QByteArray answer = readOnce();
        if (cancelled_)
            return finish(Outcome::Cancelled);
        if (!answer.isEmpty() && quint8(answer.at(0)) == Ack)
            break;
    }

    // Erase the program memory; the answers are not examined.
    wrstr(bytesOf({0x43, 0xBC}));
    wrstr(bytesOf({0xFF, 0x00}));
    if (params.resetCalibrations) {
        wrstr(bytesOf({0x43, 0xBC}));
        wrstr(bytesOf({0xEE, 0x11}));
    }

    // Option bytes from the header, one byte each; the answers are not examined.
    for (int k = 0; k < CriImage::OptionByteCount; ++k) {
        const quint8 v = image.optionByte(k);
        wrstr(bytesOf({0x31, 0xCE}));
        wrstr(addressFrame(CriImage::optionByteAddress(k)));
        wrstr(bytesOf({0x00, v, v}));
    }
    if (stopped())
        return finish(stopOutcome());
    setLog(log_ + texts::Crlf + texts::OptionBytesDone + texts::Crlf, false);

    quint32 address = CriImage::FirstBlockAddress;
    const int count = image.blockCount();
    for (int i = 0; i < count && !stopped(); ++i) {
        const QByteArray block = image.block(i);
        const int n = i - layout.programBlock;
        if (i == layout.programBlock) {
            address = layout.programAddress;
            if (quint8(block.at(0)) != ProgramMark) {
                sink_.message(texts::FileDamaged);
                break;
            }
        }
        const bool write =
            i >= layout.programBlock || (params.resetCalibrations && i < layout.eepromBlocks);
        if (!write)
            continue;
        if (wrstr(bytesOf({0x31, 0xCE})) != Ack) {
            if (stopped())
                break;
            sink_.message(texts::commandFailed(n));
        }
        const quint8 addressAnswer = wrstr(addressFrame(address));
        address += CriImage::BlockSize;
        if (addressAnswer != Ack) {
            if (stopped())
                break;
            sink_.message(texts::addressFailed(n));
        }
        if (wrstr(dataFrame(block)) == Ack) {
            setLog(log_ + texts::blockLine(n - 1) + texts::Crlf, true);
            sink_.progress(++done_, total_);
        } else {
            if (!stopped())
                sink_.message(texts::dataFailed(n));
            break;
        }
    }
    if (stopped())
        return finish(stopOutcome());

    // Start the program; the answer is not examined, and once the command is
    // out a cancel no longer changes the outcome: everything has been written.
    wrstr(bytesOf({0x21, 0xDE}));
    if (portFailed_)
        return finish(Outcome::PortFailed);
    return finish(Outcome::Done);
}

} // namespace firmware
