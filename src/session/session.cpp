#include "session/session.h"

#include "base/tones.h"
#include "link/echo.h"
#include "link/frame.h"
#include "link/port.h"
#include "sensor/answer_codes.h"
#include "sensor/requests.h"
#include "session/session_texts.h"
#include "tables/table_texts.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

namespace session {

namespace {
using sensor::cmd::DataPoll;
using sensor::cmd::Identity;
} // namespace

Session::Session(QObject* parent) : QObject(parent), timer_(new QTimer(this)) {
    timer_->setObjectName(QStringLiteral("TMRComm"));
    timer_->setInterval(TickMs);
    connect(timer_, &QTimer::timeout, this, &Session::tick);
}

Session::~Session() = default;

void Session::attachPort(std::unique_ptr<Port> port) {
    port_ = std::move(port);
    writeFailures_ = 0;
    echoBytes_ = 0;
    lastWritten_.clear();
    forgetIdentity();
}

void Session::forgetIdentity() {
    identityMissing_ = true;
    identityTries_ = 0;
    identityWait_ = 0;
}

void Session::detachPort() {
    stopTicking();
    if (port_) {
        port_->close();
        port_.reset();
    }
    noData_ = true;
    setLamp(Lamp::Idle);
}

void Session::startTicking() {
    timer_->start();
}

void Session::stopTicking() {
    timer_->stop();
}

void Session::setSelectedAddress(std::optional<quint8> address, const QString& shownText) {
    address_ = address;
    addressText_ = shownText;
}

QByteArray Session::identityRequest() const {
    if (!address_)
        return {};
    return frame::request(*address_, Identity);
}

void Session::requestIdentity() {
    pending_ = identityRequest();
    if (address_ && *address_ != currentAddress_) {
        currentAddress_ = *address_;
        forgetIdentity();
    }
    refreshSettings_ = true;
}

sensor::SensorContext Session::context() const {
    return {address_, noData_, modeByte_, firmware_};
}

void Session::apply(const sensor::Outcome& outcome) {
    if (outcome.clearPending)
        pending_.clear();
    for (const QString& line : outcome.logLines)
        log(line);
    if (outcome.frame) {
        pending_ = *outcome.frame;
        if (outcome.showFrame)
            echo(*outcome.frame);
    }
    if (outcome.refreshSettings)
        refreshSettings_ = true;
    if (outcome.startsNetworkPoll)
        netPoll_ = true;
}

void Session::log(const QString& text) {
    if (!replaying_)
        emit logLine(text);
}

void Session::setLamp(Lamp lamp) {
    lamp_ = lamp;
    emit lampChanged(lamp);
}

void Session::shortBeep() {
    if (tones_)
        tones_->shortBeep();
}

void Session::longBeep() {
    if (tones_)
        tones_->longBeep();
}

void Session::tick() {
    if (busy_.isBusy())
        return;
    Busy::Guard guard(busy_);
    if (!port_)
        return;
    if (port_->hasVanished()) {
        emit portLost();
        return;
    }

    if (address_ && *address_ != currentAddress_) {
        pending_ = identityRequest();
        currentAddress_ = *address_;
        forgetIdentity();
    }
    if (tableWriteCountdown_ > 0 && --tableWriteCountdown_ == 0)
        emit modeWriteDue();

    // What is read answers the request written on the previous tick.
    QByteArray received;
    int stale = 0;
    bool readDone = false;
    if (pending_.isEmpty() && address_) {
        received = readFresh(&stale);
        readDone = true;
        pending_ = identityRetry(received);
        if (pending_.isEmpty())
            pending_ = frame::request(*address_, DataPoll);
    } else {
        badData_ = false;
        // Only a request can be refused; with nothing pending there is nothing
        // to say, and saying it every second would bury the window in boxes.
        if (frequencyMode_ && !pending_.isEmpty()) {
            message(txt::FrequencyModeRefusal);
            pending_.clear();
        }
    }
    // The boxes above (the refusal, the set-mode question) wait for the user;
    // if the port was closed meanwhile, this tick has nothing to talk to.
    if (!port_)
        return;
    echo(pending_);
    holdCounter_ = qMax(0, holdCounter_ - 1);

    if (!readDone)
        received = readFresh(&stale);
    takeEcho(received, lastWritten_);
    lastWritten_.clear();
    const qint64 count = pending_.isEmpty() ? 0 : port_->write(pending_);

    if (count != pending_.size()) {
        message(txt::WriteError);
        pending_.clear();
        if (writeFailures_ >= 3) {
            emit closeRequested();
            return;
        }
        ++writeFailures_;
        return;
    }

    writeFailures_ = 0;
    lastWritten_ = pending_;
    pending_.clear();
    setLamp(lamp_ == Lamp::BlinkOn ? Lamp::BlinkOff : Lamp::BlinkOn);
    ++exchangeCounter_;
    // Stray bytes around an intact answer are line noise: the answer alone
    // is processed. Bytes without one are processed as they came.
    QByteArray answer = received;
    int noise = stale;
    if (sensor::isAnswer(received, std::nullopt)) {
        // Two answers back to back check out as one: take the first.
        const auto first = sensor::findAnswer(received, address_);
        if (first && first->size() < received.size() &&
            sensor::isAnswer(received.mid(first->size()), address_)) {
            noise += int(received.size() - first->size());
            answer = *first;
        }
    } else if (const auto found = sensor::findAnswer(received, address_)) {
        noise += int(received.size() - found->size());
        answer = *found;
    }
    if (noise > 0) {
        noiseBytes_ += noise;
        emit errorTallied(QString::number(exchangeCounter_) + QStringLiteral(" пом\r\n"));
    }
    if (received.isEmpty()) {
        emit errorTallied(QString::number(exchangeCounter_) + QStringLiteral(" пр\r\n"));
        const QString text = txt::NoAnswerFrom + addressText_;
        setTone(StatusTone::Plain);
        setStatus(text);
        log(text);
        return;
    }
    setTone(StatusTone::Connected);
    setStatus(QStringLiteral("Датчик подключен"));
    frequencyMode_ = false;
    process(answer);
}

QByteArray Session::readFresh(int* stale) {
    // The tick takes what arrived since the last one, as much as one answer
    // can be; whatever else is waiting is stale by now and is dropped, so
    // that a burst of foreign traffic never delays the answers behind it.
    const QByteArray fresh = port_->read(255);
    *stale = 0;
    for (int i = 0; i < 1024; ++i) { // bounded even on a line that never stops
        const QByteArray more = port_->read(4096);
        if (more.isEmpty())
            break;
        *stale += int(more.size());
    }
    return fresh;
}

void Session::takeEcho(QByteArray& read, const QByteArray& written) {
    if (!echo::take(read, written))
        return;
    if (echoBytes_ == 0) {
        log(txt::EchoNoticed);
        emit echoNoticed();
    }
    echoBytes_ += written.size();
}

bool Session::carriesIdentity(const QByteArray& received) const {
    const auto isIdentity = [](const QByteArray& a) {
        return a.size() >= 4 && static_cast<quint8>(a[0]) == frame::AnswerPrefix &&
               static_cast<quint8>(a[2]) == Identity && frame::answerIntact(a);
    };
    if (isIdentity(received))
        return true;
    const auto found = sensor::findAnswer(received, address_);
    return found && isIdentity(*found);
}

QByteArray Session::identityRetry(const QByteArray& received) {
    // Without the sensor's identity its firmware number is unknown, and
    // writes would go out without the write-access code a newer sensor
    // needs: ask again, a few times in a row, then now and then.
    // A network poll's list is answered first.
    if (!identityMissing_ || netPoll_ || carriesIdentity(received))
        return {};
    if (identityTries_ < 3) {
        ++identityTries_;
        return identityRequest();
    }
    if (++identityWait_ >= 10) {
        identityWait_ = 0;
        return identityRequest();
    }
    return {};
}

void Session::replay(const QByteArray& answer, int record) {
    // A recorded answer skips the port entirely and goes straight to the
    // processing step; the flag keeps it out of the work log.
    replayRecord_ = record;
    replaying_ = true;
    process(answer);
    replaying_ = false;
}

void Session::process(const QByteArray& answer) {
    const int n = int(answer.size());
    if (n > 0) {
        const quint8 computed = frame::computedCrc(answer);
        const bool crcOk = computed == static_cast<quint8>(answer.back());
        emit answerLength(n);
        if (n < 30)
            echo(answer + QByteArray(1, static_cast<char>(computed)));
        if (n > 5 && !crcOk)
            emit errorTallied(QString::number(exchangeCounter_) + QStringLiteral(" ош\r\n"));
        if (static_cast<quint8>(answer[0]) == frame::AnswerPrefix && n >= 4)
            dispatch(answer, crcOk);
        else
            onNetworkPoll(answer);
    }
    setLamp(Lamp::Answered);
    replaying_ = false;
    if (port_ && port_->isOpen())
        port_->flush();
}

void Session::dispatch(const QByteArray& a, bool crcOk) {
    const int n = int(a.size());
    const auto byte = [&](int pos) { return static_cast<quint8>(a[pos - 1]); }; // 1-based
    const quint8 code = byte(3);
    if (const sensor::Confirmation* c = sensor::confirmationOf(code)) {
        setStatus(QString::fromUtf8(c->status));
        if (c->logLine)
            log(QString::fromUtf8(c->logLine));
        if (c->beep == sensor::Beep::Short)
            shortBeep();
        if (code == sensor::cmd::SetMode) {
            applyMode(byte(4));
            // The smoothing byte follows from firmware 1.7.5 on.
            if (n > 5 && firmware_ > 174)
                emit smoothingReported(byte(5));
        } else if (code == sensor::cmd::SetLampLevel) {
            emit lampThresholdReported(byte(4));
        }
        return;
    }
    switch (code) {
    case sensor::cmd::Identity:
        onIdentity(a, crcOk);
        refreshSettings_ = true;
        setStatus(QStringLiteral(" Получен С/Н и вер. прошивки"));
        break;
    case sensor::cmd::DataPoll:
        if (replaying_)
            setStatus(QStringLiteral(" Получены данные."));
        if (crcOk)
            onData(a);
        break;
    case sensor::code::Refused:
        setTone(StatusTone::Error);
        setStatus(txt::WrongPassword);
        log(txt::WrongPassword);
        longBeep();
        emit refused();
        break;
    case sensor::code::FrequencyMode:
        setStatus(txt::FrequencyMode);
        if (const auto hertz = sensor::decodeFrequency(a))
            emit frequencyReported(*hertz);
        frequencyMode_ = true;
        break;
    case sensor::cmd::ReadTable:
        onTable(a);
        break;
    default:
        setStatus(QStringLiteral(" Непонятно что пришло! "));
        log(QStringLiteral("Непонятно что пришло!"));
        longBeep();
        message(txt::NotMatching);
        log(txt::NotMatching);
        longBeep();
        break;
    }
}

void Session::onIdentity(const QByteArray& a, bool intact) {
    const sensor::IdentityAnswer id = sensor::decodeIdentity(a);
    if (intact && !replaying_)
        identityMissing_ = false;
    // Only an intact answer tells which write-access rule the sensor follows.
    if (id.firmware && intact) {
        firmware_ = *id.firmware;
        if (!replaying_ && firmware_ == 172)
            firmware172_ = true;
    }
    emit identityReceived(id);
}

void Session::onData(const QByteArray& a) {
    frequencyMode_ = false;
    const sensor::DataAnswer d = sensor::decodeData(a);
    auto stability = live::Stability::State::Settling;
    if (d.raw) {
        noData_ = false;
        stability = stability_.update(*d.raw, holdCounter_);
    }
    emit dataReceived(d, stability, refreshSettings_);
    if (d.modeByte) {
        modeByte_ = *d.modeByte;
        if (refreshSettings_)
            applyMode(modeByte_);
    }
    if (d.fault != sensor::DataFault::None)
        return failDecoding(sensor::hintOf(d.fault));
    if (port_) {
        log(QStringList{QString::number(d.level), QString::number(*d.raw),
                        QString::number(*d.empty), QString::number(*d.full), modeText_,
                        d.temperatureText()}
                .join(QStringLiteral(", ")));
    }
}

void Session::failDecoding(sensor::FaultHint hint) {
    if (badData_)
        return;
    message(txt::BadData);
    if (hint == sensor::FaultHint::ChangeEmpty)
        message(QStringLiteral("Измените уровень пустого"));
    else if (hint == sensor::FaultHint::ChangeFull)
        message(QStringLiteral("Измените уровень полного"));
    badData_ = true;
}

void Session::applyMode(quint8 mode) {
    const sensor::Mode m = sensor::Mode::fromByte(mode);
    levelRange_ = sensor::levelRangeOf(m, firmware172_);
    refreshSettings_ = false;
    modeText_ = QString::number(mode);
    emit modeReported(m);
}

void Session::onTable(const QByteArray& a) {
    setStatus(QStringLiteral("Прочитана таблица."));
    const tables::DecodedTable decoded = tables::decodeAnswer(a);
    emit tableRead(decoded);
    if (!decoded.table) {
        // Refused: the boxes were left as they were.
        const QString text = tables::txt::AnswerRefused + decoded.error;
        setStatus(text);
        log(text);
        message(text);
        longBeep();
        return;
    }
    log(QStringLiteral("Прочитана таблица = ") + decoded.result);
    shortBeep();
}

void Session::onNetworkPoll(const QByteArray& answer) {
    if (netPoll_ && answer.size() < 20) {
        QList<quint8> addresses;
        QString text;
        for (char c : answer) {
            addresses.append(static_cast<quint8>(c));
            text += QString::number(static_cast<quint8>(c)) + QLatin1Char(' ');
        }
        emit networkFound(addresses, text);
        echo(answer);
        log(QStringLiteral("Устройства в сети ") + text);
        pending_ = identityRequest();
        setStatus(QStringLiteral("Произошел опрос сети."));
    }
    netPoll_ = false;
}

Session::Reply Session::call(const QByteArray& frame, int timeoutMs) {
    Reply reply;
    if (!port_)
        return reply;
    Busy::Guard guard(busy_);
    port_->read(4096); // what came before the question is not its answer
    if (port_->write(frame) != frame.size()) {
        reply.status = Reply::Status::WriteFailed;
        return reply;
    }
    port_->flush();
    // Collect until a whole frame is there, or the line has been quiet for a
    // while after the first bytes (a network poll answers with bare bytes),
    // or the time is up. The event loop runs meanwhile.
    constexpr int QuietMs = 60;
    // The question's own echo, once it has come whole, is not the answer.
    bool echoTaken = false;
    const auto takeEchoOnce = [&](QByteArray& read) {
        if (echo::mayBeEchoSoFar(read, frame))
            return false;
        takeEcho(read, frame);
        return true;
    };
    QElapsedTimer sinceStart, sinceLast;
    sinceStart.start();
    QEventLoop loop;
    QTimer poll;
    poll.setInterval(5);
    connect(&poll, &QTimer::timeout, &loop, [&] {
        if (!port_ || port_->hasVanished()) {
            reply.status = Reply::Status::PortLost;
            loop.quit();
            return;
        }
        const QByteArray bytes = port_->read(255);
        if (!bytes.isEmpty()) {
            reply.answer += bytes;
            sinceLast.start();
            if (!echoTaken)
                echoTaken = takeEchoOnce(reply.answer);
            if (reply.answer.size() >= 4 &&
                static_cast<quint8>(reply.answer[0]) == frame::AnswerPrefix &&
                frame::answerIntact(reply.answer)) {
                reply.status = Reply::Status::Answered;
                loop.quit();
                return;
            }
        }
        if (!reply.answer.isEmpty() && sinceLast.elapsed() >= QuietMs) {
            reply.status = Reply::Status::Answered;
            loop.quit();
        } else if (sinceStart.elapsed() >= timeoutMs) {
            reply.status =
                reply.answer.isEmpty() ? Reply::Status::NoAnswer : Reply::Status::Answered;
            loop.quit();
        }
    });
    poll.start();
    loop.exec();
    return reply;
}

} // namespace session
