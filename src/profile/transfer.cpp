#include "profile/transfer.h"

#include "base/busy.h"
#include "link/frame.h"
#include "sensor/operations.h"
#include "sensor/requests.h"
#include "session/exchange.h"
#include "session/session.h"
#include "session/session_texts.h"
#include "tables/table_frames.h"
#include "tables/table_texts.h"

namespace profile {

namespace {

struct Answer {
    QByteArray frame;
    Error error;
};

// The session's checked exchange, its error in the profile's terms.
Answer exchange(session::Session& s, quint8 address, const QByteArray& request, quint8 expected,
                int timeoutMs) {
    using K = session::ExchangeError::Kind;
    const session::Exchanged e = session::exchange(s, address, request, expected, timeoutMs);
    Error::Kind kind = Error::Kind::None;
    switch (e.error.kind) {
    case K::None:
        break;
    case K::PortLost:
        kind = Error::Kind::Port;
        break;
    case K::WriteFailed:
    case K::NoAnswer:
        kind = Error::Kind::NoAnswer;
        break;
    case K::Refused:
        kind = Error::Kind::Refused;
        break;
    case K::FrequencyMode:
    case K::WrongAnswer:
        kind = Error::Kind::BadAnswer;
        break;
    }
    return {e.answer, {kind, e.error.text}};
}

Step step(Group g, const QString& what, quint8 answerCode, const sensor::Request& r) {
    return {g, what, r.frame, answerCode, r.logLine};
}

tables::TableTexts textsOf(const Table& t) {
    tables::TableTexts out;
    for (int i = 0; i < TablePoints; ++i) {
        out.readings[size_t(i)] = QString::number(t.readings[size_t(i)]);
        out.litres[size_t(i)] = QString::number(t.litres[size_t(i)]);
    }
    return out;
}

// The mode frame the settings page sends: the mode byte, and the smoothing
// byte on firmware that takes it.
Step modeStep(Group g, quint8 address, int firmware, quint8 mode, int smoothing,
              bool thermoCompensation) {
    QString what = QStringLiteral("Режим %1").arg(mode);
    if (sensor::sendsSmoothingByte(firmware))
        what += QStringLiteral(", сглаживание %1, термокомпенсация %2")
                    .arg(smoothing)
                    .arg(thermoCompensation ? QStringLiteral("вкл.") : QStringLiteral("откл."));
    return step(g, what, sensor::cmd::SetMode,
                sensor::modeRequest(address, firmware, mode, {smoothing, !thermoCompensation}));
}

Step levelStep(quint8 address, int firmware, bool empty, quint32 value) {
    return step(
        Group::Levels,
        (empty ? QStringLiteral("Пустой ") : QStringLiteral("Полный ")) + QString::number(value),
        empty ? sensor::cmd::DirectEmpty : sensor::cmd::DirectFull,
        sensor::directLevelRequest(address, firmware,
                                   empty ? sensor::Level::Empty : sensor::Level::Full, value));
}

} // namespace

Profile profileOf(const SensorState& state, const QDateTime& saved) {
    Profile p;
    p.settings = state.settings;
    Settings& s = p.settings;
    if (s.lampThreshold && (*s.lampThreshold < 1 || *s.lampThreshold > 99))
        s.lampThreshold.reset();
    if (s.empty && *s.empty > sensor::MaxU32Value)
        s.empty.reset();
    if (s.full && *s.full > sensor::MaxU32Value)
        s.full.reset();
    p.source.serial = state.identity.serial;
    p.source.firmware = state.identity.firmware;
    p.source.version = state.identity.versionText();
    p.source.saved = saved;
    return p;
}

ReadResult readSensor(session::Session& s, quint8 address, const Options& options) {
    Busy::Guard guard(s.busy());
    ReadResult out;
    SensorState st;
    st.settings.address = address;

    Answer a = exchange(s, address, frame::request(address, sensor::cmd::Identity),
                        sensor::cmd::Identity, options.timeoutMs);
    if (a.error) {
        out.error = a.error;
        return out;
    }
    st.identity = sensor::decodeIdentity(a.frame);
    st.firmware = s.firmware();

    a = exchange(s, address, frame::request(address, sensor::cmd::DataPoll), sensor::cmd::DataPoll,
                 options.timeoutMs);
    if (a.error) {
        out.error = a.error;
        return out;
    }
    const sensor::DataAnswer d = sensor::decodeData(a.frame);
    if (!d.raw || !d.empty || !d.full) {
        out.error = {Error::Kind::BadAnswer, session::txt::BadData};
        return out;
    }
    st.settings.empty = d.empty;
    st.settings.full = d.full;
    st.settings.mode = d.modeByte;
    st.settings.lampThreshold = d.lampThreshold;
    if (d.smoothingByte) {
        const sensor::Smoothing smoothing = sensor::Smoothing::fromByte(*d.smoothingByte);
        st.settings.smoothing = quint8(smoothing.value);
        st.settings.thermoCompensation = !smoothing.thermoCompensationOff;
    }

    a = exchange(s, address, tables::readRequest(address), sensor::cmd::ReadTable,
                 options.timeoutMs);
    if (a.error) {
        out.error = a.error;
        return out;
    }
    const tables::DecodedTable t = tables::decodeAnswer(a.frame);
    if (!t.table) {
        out.error = {Error::Kind::BadAnswer, tables::txt::AnswerRefused + t.error};
        return out;
    }
    for (int i = 0; i < TablePoints; ++i) {
        st.settings.table.readings[size_t(i)] = *tables::tableValue(t.table->readings[size_t(i)]);
        st.settings.table.litres[size_t(i)] = *tables::tableValue(t.table->litres[size_t(i)]);
    }
    out.state = st;
    return out;
}

QList<Step> writeSteps(const Settings& wanted, const SensorState& now, const QList<Group>& groups) {
    QList<Step> out;
    const quint8 a = now.settings.address;
    const int fw = now.firmware;
    const Settings& cur = now.settings;
    const Settings target = merged(cur, wanted, groups);
    const int smoothing = target.smoothing.value_or(0);
    const bool thermo = target.thermoCompensation.value_or(true);
    const bool smoothingDiffers =
        target.smoothing != cur.smoothing || target.thermoCompensation != cur.thermoCompensation;

    if (groups.contains(Group::Modes)) {
        if (target.mode &&
            (target.mode != cur.mode || (smoothingDiffers && sensor::sendsSmoothingByte(fw))))
            out.append(modeStep(Group::Modes, a, fw, *target.mode, smoothing, thermo));
        if (target.lampThreshold && target.lampThreshold != cur.lampThreshold)
            out.append(step(Group::Modes,
                            QStringLiteral("Порог лампы %1 %").arg(*target.lampThreshold),
                            sensor::cmd::SetLampLevel,
                            sensor::lampThresholdRequest(a, fw, *target.lampThreshold)));
    }
    if (groups.contains(Group::Levels)) {
        if (target.empty && target.empty != cur.empty)
            out.append(levelStep(a, fw, true, *target.empty));
        if (target.full && target.full != cur.full)
            out.append(levelStep(a, fw, false, *target.full));
    }
    if (groups.contains(Group::Table) && target.table != cur.table) {
        const tables::WriteRequest w = tables::writeRequest(a, fw, textsOf(target.table));
        out.append({Group::Table, QStringLiteral("Тарировочная таблица"), *w.frame,
                    sensor::cmd::WriteTable, w.logLine});
        // Then the mode, as the table window sends it: the mode the sensor
        // is to have. Unknown, it is not guessed.
        if (target.mode) {
            Step m = modeStep(Group::Table, a, fw, *target.mode, smoothing, thermo);
            m.afterTableWrite = true;
            out.append(m);
        }
    }
    if (groups.contains(Group::Address) && target.address != cur.address)
        out.append(step(Group::Address, QStringLiteral("Сетевой адрес %1").arg(target.address),
                        sensor::cmd::SetNetAddress,
                        sensor::netAddressRequest(a, fw, target.address)));
    return out;
}

QString GroupResult::text() const {
    if (differences.isEmpty())
        return chosen ? QStringLiteral("совпадает") : QStringLiteral("не изменялась");
    QStringList parts;
    for (const Difference& d : differences)
        parts << d.text();
    return (chosen ? QString() : QStringLiteral("изменилась: ")) + parts.join(QStringLiteral("; "));
}

bool Report::matches() const {
    if (error || groups.isEmpty())
        return false;
    for (const GroupResult& g : groups)
        if (!g.differences.isEmpty())
            return false;
    return true;
}

Report apply(session::Session& s, const Profile& p, const SensorState& before,
             const QList<Group>& groups, const Progress& progress, const Cancelled& cancelled,
             const Options& options) {
    Busy::Guard guard(s.busy());
    Report out;
    out.steps = writeSteps(p.settings, before, groups);
    out.total = int(out.steps.size());
    const quint8 address = before.settings.address;
    for (const Step& step : std::as_const(out.steps)) {
        if (cancelled && cancelled()) {
            out.error = {
                Error::Kind::Cancelled,
                QStringLiteral("Прервано: записано %1 из %2.").arg(out.written).arg(out.total)};
            return out;
        }
        if (progress)
            progress(out.written, out.total, step.what);
        if (step.afterTableWrite)
            session::pause(options.afterTableWriteMs);
        s.log(step.logLine);
        s.echo(step.frame);
        const Answer a = exchange(s, address, step.frame, step.answerCode, options.timeoutMs);
        if (a.error) {
            out.error = a.error;
            out.error.text = step.what + QStringLiteral(": ") + a.error.text;
            if (a.error.kind == Error::Kind::Refused)
                out.error.text += QStringLiteral(" Датчик заблокирован паролем; больше ничего "
                                                 "не записывалось.");
            return out;
        }
        ++out.written;
    }
    if (progress)
        progress(out.written, out.total, QStringLiteral("Проверка"));

    const quint8 nowAt =
        groups.contains(Group::Address) ? p.settings.address : before.settings.address;
    const ReadResult back = readSensor(s, nowAt, options);
    if (back.error) {
        out.error = back.error;
        out.error.text = QStringLiteral("Проверка: ") + back.error.text;
        return out;
    }
    out.after = back.state;
    for (Group g : AllGroups) {
        const bool chosen = groups.contains(g);
        out.groups.append({g, chosen,
                           chosen ? differences(g, p.settings, back.state->settings)
                                  : differences(g, before.settings, back.state->settings)});
    }
    return out;
}

} // namespace profile
