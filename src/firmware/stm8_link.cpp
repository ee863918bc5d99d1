#include "firmware/stm8_link.h"

#include "firmware/firmware_texts.h"
#include "link/echo.h"

#include <QElapsedTimer>
#include <algorithm>

namespace firmware {

namespace {

// Longest single wait on the port, so that a cancel is seen within this time.
constexpr int WaitSliceMs = 20;

quint8 xorOf(const QByteArray& bytes) {
    quint8 x = 0;
    for (char c : bytes)
        x ^= quint8(c);
    return x;
}

} // namespace

Stm8Link::Stm8Link(Port& port, const std::atomic<bool>& cancel,
                   std::function<void(const QString&)> message)
    : port_(port), cancel_(cancel), message_(std::move(message)) {}

Stm8Link::Command::Command(Stm8Link& link) : link_(link) {
    if (!link_.cancelNow())
        link_.inCommand_ = true;
}

Stm8Link::Command::~Command() {
    link_.inCommand_ = false;
}

QByteArray Stm8Link::commandFrame(Code code) {
    const quint8 c = quint8(code);
    QByteArray b;
    b.append(char(c));
    b.append(char(quint8(~c)));
    return b;
}

QByteArray Stm8Link::addressFrame(quint32 address) {
    QByteArray b;
    for (int shift = 24; shift >= 0; shift -= 8)
        b.append(char(quint8(address >> shift)));
    b.append(char(xorOf(b)));
    return b;
}

QByteArray Stm8Link::dataFrame(const QByteArray& bytes) {
    QByteArray b;
    b.append(char(quint8(bytes.size() - 1)));
    b.append(bytes);
    b.append(char(xorOf(b)));
    return b;
}

QByteArray Stm8Link::eraseFrame(EraseTarget target) {
    // The whole program memory is 0xFF with its check 0x00; the data EEPROM
    // goes by the code 0xEE and its complement.
    return target == EraseTarget::Program ? QByteArray::fromHex("FF00")
                                          : QByteArray::fromHex("EE11");
}

void Stm8Link::reset(int writeFailures) {
    cancelled_ = false;
    inCommand_ = false;
    portFailed_ = false;
    portLost_ = false;
    writeFailed_ = false;
    writeFailures_ = std::max(0, writeFailures);
    heldMs_.reset();
}

bool Stm8Link::cancelNow() {
    if (!cancel_.load() || inCommand_)
        return false;
    cancelled_ = true;
    return true;
}

bool Stm8Link::stopAsked() {
    if (cancel_.load())
        cancelled_ = true;
    return cancelled_;
}

bool Stm8Link::send(const QByteArray& bytes) {
    if (cancelNow())
        return false;
    if (lost())
        return false;
    const qint64 written = port_.isOpen() ? port_.write(bytes) : 0;
    if (written == bytes.size()) {
        writeFailures_ = 0;
        sent_ = bytes;
        return true;
    }
    // An unplugged adapter is no fault of the write: the run ends as the
    // polling ends, with the port's loss and nothing else.
    if (lost())
        return false;
    message_(texts::WriteError);
    writeFailed_ = true;
    // A port that keeps refusing bytes is closed like the exchange engine
    // does after its fourth failed write; going on would only stack up the
    // same message for every remaining exchange.
    if (writeFailures_ > 2 || !port_.isOpen())
        portFailed_ = true;
    else
        ++writeFailures_;
    return false;
}

bool Stm8Link::lost() {
    if (!portLost_ && port_.hasVanished())
        portLost_ = true;
    return portLost_;
}

// Waits on the port for at most msecs; accounts the time waited. A port that
// returns at once without data counts the whole slice, so a broken or fake
// port cannot make a read spin past its time-out.
bool Stm8Link::waitSlice(int msecs, int& waited) {
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
// An adapter that hears itself hands back what was just sent before the
// answer: once it has come whole it is taken off (and counted), and the read
// goes on for the answer.
QByteArray Stm8Link::readOnce() {
    QByteArray got;
    int waited = 0;
    for (;;) {
        if (cancelNow())
            return {};
        if (lost())
            return {};
        got += port_.read(MaxReadBytes - int(got.size()));
        if (!sent_.isEmpty() && !got.isEmpty() && !echo::mayBeEchoSoFar(got, sent_)) {
            if (echo::take(got, sent_))
                echoBytes_ += sent_.size();
            sent_.clear();
        }
        const bool echoSoFar = !sent_.isEmpty() && !got.isEmpty();
        if ((!got.isEmpty() && !echoSoFar) || waited >= ReadTimeoutMs)
            break;
        waitSlice(std::min(WaitSliceMs, ReadTimeoutMs - waited), waited);
    }
    if (!sent_.isEmpty() && echo::mayBeEchoSoFar(got, sent_)) {
        // An echo cut short and nothing after it: no answer.
        echoBytes_ += got.size();
        got.clear();
    }
    sent_.clear();
    if (got.isEmpty()) {
        port_.flush();
        return got;
    }
    const quint8 first = quint8(got.at(0));
    if (first == Ack || first == Nack)
        return got;
    while (got.size() < MaxReadBytes && waited < ReadTimeoutMs) {
        if (cancelNow())
            return {};
        if (!waitSlice(std::min(ReadGapMs, ReadTimeoutMs - waited), waited))
            break;
        got += port_.read(MaxReadBytes - int(got.size()));
    }
    return got;
}

void Stm8Link::discardInput() {
    while (!port_.read(MaxReadBytes).isEmpty()) {
    }
}

bool Stm8Link::sync() {
    if (!send(QByteArray(1, char(SyncByte))))
        return false;
    const QByteArray answer = readOnce();
    return !stopped() && !answer.isEmpty() &&
           (quint8(answer.at(0)) == Ack || quint8(answer.at(0)) == Nack);
}

quint8 Stm8Link::command(Code code) {
    QElapsedTimer timer;
    timer.start();
    const quint8 answer = exchange(commandFrame(code));
    if (answer == Ack) {
        // Two bytes out and one back, ten bits each.
        const double lineMs = 3 * 10 * 1000.0 / baud_;
        const double held = std::max(0.0, double(timer.nsecsElapsed()) / 1e6 - lineMs);
        heldMs_ = heldMs_ ? std::min(*heldMs_, held) : held;
    }
    return answer;
}

quint8 Stm8Link::exchange(const QByteArray& bytes) {
    if (stopped() || !send(bytes))
        return 0;
    // No fixed pause before the write or after the exchange: every step
    // waits for the bootloader's own answer anyway, so a delay would only
    // lengthen the run (and a busy count would burn the processor).
    return awaitAnswer(nullptr);
}

// Up to five reads for the bootloader's answer byte; what came in the same
// read after an acknowledge goes to *following.
quint8 Stm8Link::awaitAnswer(QByteArray* following) {
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
            message_(texts::Nack);
            return 0;
        }
    }
    // Nothing to wait for: a cancel need not hold on.
    inCommand_ = false;
    return NoAnswer;
}

// Reads on until got holds count bytes; gives up after a read time-out
// without a byte.
bool Stm8Link::readMore(QByteArray& got, int count) {
    int waited = 0;
    while (got.size() < count) {
        if (cancelNow())
            return false;
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

std::optional<QByteArray> Stm8Link::readMemory(quint32 address, int length) {
    if (length < 1 || length > 256)
        return std::nullopt;
    const Command command(*this);
    if (this->command(Code::ReadMemory) != Ack || exchange(addressFrame(address)) != Ack)
        return std::nullopt;
    const quint8 n = quint8(length - 1);
    QByteArray count;
    count.append(char(n));
    count.append(char(quint8(~n)));
    if (stopped() || !send(count))
        return std::nullopt;
    QByteArray got;
    if (awaitAnswer(&got) != Ack || !readMore(got, length))
        return std::nullopt;
    return got;
}

// Whatever the bootloader still sends after a cancel (the answer to the
// exchange that was cut short) is read away here, so that the exchange
// engine does not take it for a sensor's answer when it resumes.
void Stm8Link::drain() {
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

} // namespace firmware
