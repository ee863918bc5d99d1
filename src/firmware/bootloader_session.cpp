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

// A cancel takes effect at once, except in the middle of a command the
// bootloader is answering: cut there, the bootloader would wait for the rest
// of an address or of 129 data bytes and take the next run's sync bytes for
// them. The command is finished first, which takes milliseconds.
bool BootloaderSession::cancelNow() {
    if (!cancel_.load() || inCommand_)
        return false;
    cancelled_ = true;
    return true;
}

bool BootloaderSession::send(const QByteArray& bytes) {
    if (cancelNow()) {
        cancelled_ = true;
        return false;
    }
    if (lost())
        return false;
    const qint64 written = port_.isOpen() ? port_.write(bytes) : 0;
    if (written == bytes.size()) {
        writeFailures_ = 0;
        return true;
    }
    // An unplugged adapter is no fault of the write: the run ends as the
    // polling ends, with the port's loss and nothing else.
    if (lost())
        return false;
    sink_.message(texts::WriteError);
    if (synced_)
        failed_ = true;
    // A port that keeps refusing bytes is closed like the exchange engine
    // does after its fourth failed write; going on would only stack up the
    // same message for every remaining exchange.
    if (writeFailures_ > 2 || !port_.isOpen())
        portFailed_ = true;
    else
        ++writeFailures_;
    return false;
}

bool BootloaderSession::lost() {
    if (!portLost_ && port_.hasVanished())
        portLost_ = true;
    return portLost_;
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
        if (cancelNow()) {
            cancelled_ = true;
            return {};
        }
        if (lost())
            return {};
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
        if (cancelNow()) {
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
    // No fixed pause before the write or after the exchange: every step
    // waits for the bootloader's own answer anyway, so a delay would only
    // lengthen the run (and a busy count would burn the processor).
    return awaitAnswer(nullptr);
}

// Up to five reads for the bootloader's answer byte; what came in the same
// read after an acknowledge goes to *following.
quint8 BootloaderSession::awaitAnswer(QByteArray* following) {
    for (int k = 0; k < ReadsPerExchange; ++k) {
        const QByteArray answer = readOnce();
        if (stopped())
            return 0;
        if (answer.isEmpty()) {
            // A bootloader that has gone quiet is not held on for.
            if (inCommand_ && cancel_.load()) {
                inCommand_ = false;
                cancelNow();
                return 0;
            }
            continue;
        }
        if (quint8(answer.at(0)) == Ack) {
            if (following)
                *following = answer.mid(1);
            return Ack;
        }
        if (quint8(answer.at(0)) == Nack) {
            // The bootloader is back at its command level.
            inCommand_ = false;
            sink_.message(texts::Nack);
            return 0;
        }
    }
    // Nothing to wait for: a cancel need not hold on.
    inCommand_ = false;
    return NoAnswer;
}

// Reads on until got holds count bytes; gives up after a read time-out
// without a byte.
bool BootloaderSession::readMore(QByteArray& got, int count) {
    int waited = 0;
    while (got.size() < count) {
        if (cancelNow()) {
            cancelled_ = true;
            return false;
        }
        if (lost())
            return false;
        const QByteArray more = port_.read(count - int(got.size()));
        if (!more.isEmpty()) {
            got += more;
            waited = 0;
            continue;
        }
        if (waited >= ReadTimeoutMs)
            return false;
        waitSlice(std::min(WaitSliceMs, ReadTimeoutMs - waited), waited);
    }
    return true;
}

std::optional<QByteArray> BootloaderSession::readMemory(quint32 address, int length) {
    if (length < 1 || length > 256)
        return std::nullopt;
    const CommandScope command(*this);
    if (wrstr(bytesOf({0x11, 0xEE})) != Ack || wrstr(addressFrame(address)) != Ack)
        return std::nullopt;
    const quint8 n = quint8(length - 1);
    if (stopped() || !send(bytesOf({n, quint8(~n)})))
        return std::nullopt;
    QByteArray got;
    if (awaitAnswer(&got) != Ack || !readMore(got, length))
        return std::nullopt;
    return got;
}

// Reads every written block back; the first that differs or cannot be read
// fails the run.
void BootloaderSession::check(const QList<Written>& written) {
    const int total = int(written.size());
    sink_.checkProgress(0, total);
    for (int k = 0; k < total && !stopped(); ++k) {
        const std::optional<QByteArray> got =
            readMemory(written[k].address, int(written[k].bytes.size()));
        if (stopped())
            return;
        if (!got || *got != written[k].bytes) {
            checkFault_ = CheckFault{k + 1, written[k].address};
            failed_ = true;
            return;
        }
        sink_.checkProgress(k + 1, total);
    }
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

Outcome BootloaderSession::stopOutcome() const {
    if (portLost_)
        return Outcome::PortLost;
    return portFailed_ ? Outcome::PortFailed : Outcome::Cancelled;
}

SessionResult BootloaderSession::finish(Outcome outcome) {
    if (outcome == Outcome::Done) {
        setLog(log_ + texts::Done, true);
    } else {
        const QString sep = log_.endsWith(texts::Crlf) ? QString() : texts::Crlf;
        setLog(log_ + sep + (outcome == Outcome::Failed ? texts::Failed : texts::Aborted), true);
        if (outcome == Outcome::Cancelled)
            drain();
    }
    SessionResult result;
    result.outcome = outcome;
    result.writeFailures = writeFailures_;
    result.blocksWritten = done_;
    result.blocksToWrite = total_;
    result.blockSent = blockSent_;
    result.checkFault = checkFault_;
    result.log = log_;
    return result;
}

QStringList closingMessages(const SessionResult& result) {
    QStringList boxes;
    if (result.outcome == Outcome::Failed) {
        if (result.checkFault)
            boxes << texts::checkFailed(result.checkFault->block, result.checkFault->address);
        boxes << texts::NotFinished;
    } else if (result.outcome == Outcome::Cancelled && result.blockSent) {
        boxes << texts::CancelledMidway;
    }
    return boxes;
}

SessionResult BootloaderSession::run(const CriImage& image, const SessionParams& params) {
    cancelled_ = false;
    portFailed_ = false;
    portLost_ = false;
    failed_ = false;
    synced_ = false;
    blockSent_ = false;
    checkFault_.reset();
    writeFailures_ = std::max(0, params.writeFailures);
    done_ = 0;
    total_ = blocksToWrite(image, params);
    log_.clear();

    sink_.progress(0, total_);
    setLog(texts::Flashing, false);
    const SensorLayout layout = layoutOf(params.type);

    // A sensor's last answer to the engine may still wait in the port. Read
    // in front of the bootloader's acknowledge it would hide it, and a
    // synchronised bootloader refuses every further sync byte.
    while (!port_.read(MaxReadBytes).isEmpty()) {
    }

    // The user powers the sensor up while this runs; its bootloader answers
    // the sync byte during its start-up window. A bootloader still waiting
    // from a run that failed is synchronised already: it takes the byte for
    // a command and refuses it (0x1F), which is as good an answer. Only a
    // cancel (or the port's loss) ends the wait.
    for (;;) {
        if (!send(bytesOf({SyncByte}))) {
            if (stopped())
                return finish(stopOutcome());
            continue;
        }
        const QByteArray answer = readOnce();
        if (stopped())
            return finish(stopOutcome());
        if (!answer.isEmpty() && (quint8(answer.at(0)) == Ack || quint8(answer.at(0)) == Nack))
            break;
    }
    // From here on the program memory is being replaced: a write the port
    // did not take leaves it unfinished.
    synced_ = true;

    // Erase the program memory; the answers are not examined.
    {
        const CommandScope command(*this);
        wrstr(bytesOf({0x43, 0xBC}));
        wrstr(bytesOf({0xFF, 0x00}));
    }
    if (params.resetCalibrations) {
        const CommandScope command(*this);
        wrstr(bytesOf({0x43, 0xBC}));
        wrstr(bytesOf({0xEE, 0x11}));
    }

    // Option bytes from the header, one byte each; the answers are not examined.
    for (int k = 0; k < CriImage::OptionByteCount; ++k) {
        const quint8 v = image.optionByte(k);
        const CommandScope command(*this);
        wrstr(bytesOf({0x31, 0xCE}));
        wrstr(addressFrame(CriImage::optionByteAddress(k)));
        wrstr(bytesOf({0x00, v, v}));
    }
    if (stopped())
        return finish(stopOutcome());
    setLog(log_ + texts::Crlf + texts::OptionBytesDone + texts::Crlf, false);

    quint32 address = CriImage::FirstBlockAddress;
    const int count = image.blockCount();
    QList<Written> written;
    for (int i = 0; i < count && !stopped(); ++i) {
        const QByteArray block = image.block(i);
        const int n = i - layout.programBlock;
        if (i == layout.programBlock) {
            address = layout.programAddress;
            if (quint8(block.at(0)) != ProgramMark) {
                sink_.message(texts::FileDamaged);
                failed_ = true;
                break;
            }
        }
        const bool write =
            i >= layout.programBlock || (params.resetCalibrations && i < layout.eepromBlocks);
        if (!write)
            continue;
        if (cancel_.load()) {
            cancelled_ = true;
            break;
        }
        // A refused write command or address is reported and the block still
        // attempted, but the block cannot be trusted: the run fails.
        blockSent_ = true;
        const CommandScope command(*this);
        if (wrstr(bytesOf({0x31, 0xCE})) != Ack) {
            if (stopped())
                break;
            sink_.message(texts::commandFailed(n));
            failed_ = true;
        }
        const quint32 blockAddress = address;
        const quint8 addressAnswer = wrstr(addressFrame(address));
        address += CriImage::BlockSize;
        if (addressAnswer != Ack) {
            if (stopped())
                break;
            sink_.message(texts::addressFailed(n));
            failed_ = true;
        }
        if (wrstr(dataFrame(block)) == Ack) {
            written.append(Written{blockAddress, block});
            setLog(log_ + texts::blockLine(n - 1) + texts::Crlf, true);
            sink_.progress(++done_, total_);
        } else {
            if (!stopped()) {
                sink_.message(texts::dataFailed(n));
                failed_ = true;
            }
            break;
        }
    }
    if (params.verify && !failed_ && !stopped())
        check(written);
    if (stopped())
        return finish(stopOutcome());
    // A half-written program must not be started: without Go the sensor
    // stays in its bootloader, ready for the next run.
    if (failed_)
        return finish(Outcome::Failed);

    // Start the program; the answer is not examined, and once the command is
    // out a cancel no longer changes the outcome: everything has been written.
    wrstr(bytesOf({0x21, 0xDE}));
    if (portFailed_ || portLost_)
        return finish(stopOutcome());
    // Go that never reached the line leaves the sensor in its bootloader.
    return finish(failed_ ? Outcome::Failed : Outcome::Done);
}

} // namespace firmware
