#include "session/exchange.h"

#include "link/frame.h"
#include "sensor/answer_codes.h"
#include "session/session.h"
#include "session/session_texts.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

namespace session {

namespace {
using sensor::code::FrequencyMode;
using sensor::code::Refused;

Exchanged failed(ExchangeError::Kind kind, const QString& text) {
    return {{}, {kind, text}};
}
} // namespace

Exchanged exchange(Session& s, quint8 address, const QByteArray& request,
                   std::optional<quint8> expected, int timeoutMs) {
    using S = Session::Reply::Status;
    using K = ExchangeError::Kind;
    QByteArray other;
    QByteArray lastAnswer;
    for (int attempt = 0; attempt < 2; ++attempt) {
        const Session::Reply r = s.call(request, timeoutMs);
        if (r.status == S::NoPort || r.status == S::PortLost)
            return failed(K::PortLost, txt::PortLost);
        if (r.status == S::WriteFailed)
            return failed(K::WriteFailed, txt::WriteError);
        if (r.status == S::NoAnswer || r.answer.isEmpty())
            return failed(K::NoAnswer, txt::NoAnswerFrom + QString::number(address));
        if (!expected) {
            s.receive(r.answer);
            return {r.answer, {}};
        }
        lastAnswer = r.answer;
        QByteArray rest = r.answer;
        while (!rest.isEmpty()) {
            auto found = sensor::findAnswer(rest, address);
            if (!found) // the address write is answered from wherever the sensor is now
                found = sensor::findAnswer(rest, std::nullopt);
            if (!found)
                break;
            const quint8 code = quint8(found->at(2));
            if (code == *expected || code == Refused || code == FrequencyMode) {
                s.receive(*found);
                Exchanged out{*found, {}};
                if (code == Refused)
                    out.error = {K::Refused, txt::WrongPassword};
                else if (code == FrequencyMode)
                    out.error = {K::FrequencyMode, txt::FrequencyMode};
                return out;
            }
            other = *found;
            rest = rest.mid(rest.indexOf(*found) + found->size());
        }
        if (other.isEmpty())
            break;
    }
    // What came: the frame with the wrong code, or the bytes without a frame.
    return failed(K::WrongAnswer, txt::NotMatching + QStringLiteral(" (") +
                                      frame::hexText(other.isEmpty() ? lastAnswer : other) +
                                      QLatin1Char(')'));
}

bool pause(int ms, const std::function<bool()>& stop) {
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms) {
        if (stop && stop())
            return false;
        QEventLoop loop;
        QTimer::singleShot(qMin<qint64>(50, ms - t.elapsed()), &loop, &QEventLoop::quit);
        loop.exec();
    }
    return !(stop && stop());
}

} // namespace session
