#include "sensor/answer_codes.h"

#include "link/frame.h"
#include "sensor/requests.h"

#include <array>

namespace sensor {

int shortestAnswer(quint8 code) {
    switch (code) {
    case cmd::DataPoll:
        return 21;
    case cmd::Identity:
        return 6;
    case cmd::ReadTable:
        return 84;
    default:
        return 4;
    }
}

std::optional<QByteArray> findAnswer(const QByteArray& bytes, std::optional<quint8> address) {
    const int n = int(qMin<qsizetype>(bytes.size(), 255));
    for (int start = 0; start + 4 <= n; ++start) {
        if (static_cast<quint8>(bytes[start]) != frame::AnswerPrefix)
            continue;
        if (address && static_cast<quint8>(bytes[start + 1]) != *address)
            continue;
        const int shortest = shortestAnswer(static_cast<quint8>(bytes[start + 2]));
        // The running CRC of bytes start..end-1 is checked against byte end.
        quint8 cr = 0;
        for (int end = start; end < n; ++end) {
            if (end - start + 1 >= shortest && cr == static_cast<quint8>(bytes[end]))
                return bytes.mid(start, end - start + 1);
            frame::crc(static_cast<quint8>(bytes[end]), cr);
        }
    }
    return std::nullopt;
}

bool isAnswer(const QByteArray& bytes, std::optional<quint8> address) {
    return bytes.size() >= 4 && static_cast<quint8>(bytes[0]) == frame::AnswerPrefix &&
           (!address || static_cast<quint8>(bytes[1]) == *address) &&
           bytes.size() >= shortestAnswer(static_cast<quint8>(bytes[2])) &&
           frame::answerIntact(bytes);
}

namespace {
// The status texts keep their leading blanks: the window shows them so.
const std::array<Confirmation, 14> Confirmations{{
    {cmd::SetEmptyToCurrent, " Установлен нижний уровень.", " Установлен нижний уровень.",
     Beep::Short},
    {cmd::SetMode, " Установлен новый режим.", " Установлен новый режим.", Beep::Short},
    {cmd::SetFullToCurrent, " Установлен верхний уровень.", " Установлен верхний уровень.",
     Beep::Short},
    {cmd::SetNetAddress, " Установлен сетевой номер.", " Установлен сетевой номер.", Beep::Short},
    {code::SerialSet, "Установлен серийный номер.", "Установлен серийный номер.", Beep::None},
    {cmd::ShiftEmpty, "Сдвинут нижний уровень.", "Сдвинут нижний уровень.", Beep::Short},
    {cmd::ShiftFull, "Сдвинут верхний уровень.", "Сдвинут верхний уровень.", Beep::Short},
    {cmd::SetLampLevel, "Уст. новый уровень ав. ост. топлива.",
     "Уст. новый уровень ав. ост. топлива.", Beep::Short},
    {cmd::EnterPassword, "Пароль принят.", "Пароль принят.", Beep::Short},
    {cmd::ChangePassword, "Пароль изменен.", "Пароль изменен.", Beep::Short},
    {code::Password, "Пар.", nullptr, Beep::None},
    {cmd::DirectEmpty, "Директивно изменен нижний уровень.", "Директивно изменен нижний уровень.",
     Beep::Short},
    {cmd::DirectFull, "Директивно изменен верхний уровень.", "Директивно изменен верхний уровень.",
     Beep::Short},
    {cmd::WriteTable, "Установлена Тарир таблица.", "Установлена Тарировочная таблица.",
     Beep::Short},
}};
} // namespace

const Confirmation* confirmationOf(quint8 c) {
    for (const Confirmation& conf : Confirmations)
        if (conf.code == c)
            return &conf;
    return nullptr;
}

} // namespace sensor
