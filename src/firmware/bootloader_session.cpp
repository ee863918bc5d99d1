#include "firmware/bootloader_session.h"

#include "firmware/firmware_texts.h"

#include <algorithm>

namespace firmware {

using Code = Stm8Link::Code;

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
    : sink_(sink), link_(port, cancel, [this](const QString& text) { sink_.message(text); }) {}

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

// Reads every written block back; the first that differs or cannot be read
// fails the run.
void BootloaderSession::check(const QList<Written>& written) {
    const int total = int(written.size());
    sink_.checkProgress(0, total);
    for (int k = 0; k < total && !link_.stopped(); ++k) {
        const std::optional<QByteArray> got =
            link_.readMemory(written[k].address, int(written[k].bytes.size()));
        if (link_.stopped())
            return;
        if (!got || *got != written[k].bytes) {
            checkFault_ = CheckFault{k + 1, written[k].address};
            failed_ = true;
            return;
        }
        sink_.checkProgress(k + 1, total);
    }
}

Outcome BootloaderSession::stopOutcome() const {
    if (link_.portLost())
        return Outcome::PortLost;
    return link_.portFailed() ? Outcome::PortFailed : Outcome::Cancelled;
}

SessionResult BootloaderSession::finish(Outcome outcome) {
    if (outcome == Outcome::Done) {
        setLog(log_ + texts::Done, true);
    } else {
        const QString sep = log_.endsWith(texts::Crlf) ? QString() : texts::Crlf;
        setLog(log_ + sep + (outcome == Outcome::Failed ? texts::Failed : texts::Aborted), true);
        if (outcome == Outcome::Cancelled)
            link_.drain();
    }
    SessionResult result;
    result.outcome = outcome;
    result.writeFailures = link_.writeFailures();
    result.blocksWritten = done_;
    result.blocksToWrite = total_;
    result.blockSent = blockSent_;
    result.checkFault = checkFault_;
    result.echoBytes = link_.echoBytes();
    result.leftInLoader = synced_ && (outcome == Outcome::Failed || outcome == Outcome::Cancelled);
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
    if (result.restoreFailed)
        boxes << texts::RateNotRestored;
    return boxes;
}

SessionResult BootloaderSession::run(const CriImage& image, const SessionParams& params) {
    link_.reset(params.writeFailures);
    failed_ = false;
    synced_ = false;
    blockSent_ = false;
    checkFault_.reset();
    done_ = 0;
    total_ = blocksToWrite(image, params);
    log_.clear();

    sink_.progress(0, total_);
    setLog((params.baud != DefaultBaud ? texts::rateLine(params.baud) + texts::Crlf : QString()) +
               texts::Flashing,
           false);
    const SensorLayout layout = layoutOf(params.type);

    // A sensor's last answer to the engine may still wait in the port. Read
    // in front of the bootloader's acknowledge it would hide it, and a
    // synchronised bootloader refuses every further sync byte.
    link_.discardInput();
    link_.setBaud(params.baud);

    // The user powers the sensor up while this runs; its bootloader answers
    // the sync byte during its start-up window. Only a cancel (or the port's
    // loss) ends the wait.
    while (!link_.sync())
        if (link_.stopped())
            return finish(stopOutcome());
    // From here on the program memory is being replaced: a write the port
    // did not take leaves it unfinished.
    synced_ = true;
    link_.clearWriteFailed();

    // Erase the program memory; the answers are not examined.
    {
        const Stm8Link::Command command(link_);
        link_.command(Code::Erase);
        link_.erase(Stm8Link::EraseTarget::Program);
    }
    if (params.resetCalibrations) {
        const Stm8Link::Command command(link_);
        link_.command(Code::Erase);
        link_.erase(Stm8Link::EraseTarget::DataEeprom);
    }

    // Option bytes from the header, one byte each; the answers are not examined.
    for (int k = 0; k < CriImage::OptionByteCount; ++k) {
        const Stm8Link::Command command(link_);
        link_.command(Code::WriteMemory);
        link_.exchange(Stm8Link::addressFrame(CriImage::optionByteAddress(k)));
        link_.exchange(Stm8Link::dataFrame(QByteArray(1, char(image.optionByte(k)))));
    }
    if (link_.stopped())
        return finish(stopOutcome());
    setLog(log_ + texts::Crlf + texts::OptionBytesDone + texts::Crlf, false);
    // A USB adapter that holds every answer (its latency timer) slows each
    // of the run's hundreds of exchanges: say so once, the run goes on.
    if (const auto held = link_.heldAnswersMs(); held && *held >= HeldAnswersNoticeMs)
        setLog(log_ + texts::answersHeld(*held) + texts::Crlf, false);

    quint32 address = CriImage::FirstBlockAddress;
    const int count = image.blockCount();
    QList<Written> written;
    for (int i = 0; i < count && !link_.stopped(); ++i) {
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
        if (link_.stopAsked())
            break;
        // A refused write command or address is reported and the block still
        // attempted, but the block cannot be trusted: the run fails.
        blockSent_ = true;
        const Stm8Link::Command command(link_);
        if (link_.command(Code::WriteMemory) != Stm8Link::Ack) {
            if (link_.stopped())
                break;
            sink_.message(texts::commandFailed(n));
            failed_ = true;
        }
        const quint32 blockAddress = address;
        const quint8 addressAnswer = link_.exchange(Stm8Link::addressFrame(address));
        address += CriImage::BlockSize;
        if (addressAnswer != Stm8Link::Ack) {
            if (link_.stopped())
                break;
            sink_.message(texts::addressFailed(n));
            failed_ = true;
        }
        if (link_.exchange(Stm8Link::dataFrame(block)) == Stm8Link::Ack) {
            written.append(Written{blockAddress, block});
            setLog(log_ + texts::blockLine(n - 1) + texts::Crlf, true);
            sink_.progress(++done_, total_);
        } else {
            if (!link_.stopped()) {
                sink_.message(texts::dataFailed(n));
                failed_ = true;
            }
            break;
        }
    }
    if (params.verify && !failed() && !link_.stopped())
        check(written);
    if (link_.stopped())
        return finish(stopOutcome());
    // A half-written program must not be started: without Go the sensor
    // stays in its bootloader, ready for the next run.
    if (failed())
        return finish(Outcome::Failed);

    // Start the program; the answer is not examined, and once the command is
    // out a cancel no longer changes the outcome: everything has been written.
    link_.go();
    if (link_.portFailed() || link_.portLost())
        return finish(stopOutcome());
    // Go that never reached the line leaves the sensor in its bootloader.
    return finish(failed() ? Outcome::Failed : Outcome::Done);
}

} // namespace firmware
