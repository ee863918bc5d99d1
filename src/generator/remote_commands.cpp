#include "generator/remote_commands.h"

#include "base/user_dialog.h"
#include "generator/gateway.h"
#include "sensor/requests.h"

namespace generator {

namespace {

namespace txt {
// dist_net_num is not a number 0..255 (every item but the password ones).
const QString AddressRange = QStringLiteral("Введите число в диапазоне 0....255");
// Any failure of the password items, the address included.
const QString PwdRange = QStringLiteral("Введите числовой пароль в диапазоне 0....2 000 000 000");
// chislo_sdv of the shift items is not a number -1000..1000.
const QString ShiftRange = QStringLiteral("Значения могут быть от -1000 до 1000");
// chislo_sdv of the direct level items is not a number 0..2 000 000 000.
const QString LevelRange = QStringLiteral("Введите значение уровня в диапазоне 0....2 000 000 000");
} // namespace txt

// Addresses from 200 up are refused (silently) by the status and shift items.
constexpr int AddressLimit = 200;

std::optional<quint8> addressOf(const Inputs& in) {
    const auto a = sensor::toByte(in.address);
    if (!a)
        return std::nullopt;
    return static_cast<quint8>(*a);
}

// A typed value the operation cannot use: the user is told the range.
Result refuse(const QString& message, UserDialog& dlg) {
    dlg.message(message);
    Result r;
    r.refused = true;
    return r;
}

Result make(quint8 address, quint8 command, bool withCode, const QByteArray& data, int answerLength,
            bool echo) {
    Generated g;
    g.frame = sensor::buildRequest(address, command, withCode, data);
    g.line = BuildGatewayLine(g.frame, answerLength);
    g.echo = echo;
    Result r;
    r.generated = g;
    return r;
}

Result password(const Inputs& in, quint8 command, int answerLength, UserDialog& dlg) {
    // Every failure here, the address included, gets the one password message.
    const auto value = sensor::toInt32(in.value);
    const auto address = addressOf(in);
    const auto bytes = value ? sensor::encodeU32(*value) : std::nullopt;
    if (!value || !bytes || !address)
        return refuse(txt::PwdRange, dlg);
    return make(*address, command, in.chVer, *bytes, answerLength, true);
}

Result shift(const Inputs& in, quint8 command, int answerLength, UserDialog& dlg) {
    const auto address = addressOf(in);
    if (!address)
        return refuse(txt::AddressRange, dlg);
    if (*address >= AddressLimit)
        return {};
    const auto value = sensor::toInt16(in.value);
    const auto bytes = value ? sensor::encodeShift(*value) : std::nullopt;
    if (!bytes)
        return refuse(txt::ShiftRange, dlg);
    return make(*address, command, in.chVer, *bytes, answerLength, false);
}

Result direct(const Inputs& in, quint8 command, int answerLength, UserDialog& dlg) {
    const auto value = sensor::toInt32(in.value);
    const auto bytes = value ? sensor::encodeU32(*value) : std::nullopt;
    if (!bytes)
        return refuse(txt::LevelRange, dlg);
    const auto address = addressOf(in);
    if (!address)
        return refuse(txt::AddressRange, dlg);
    return make(*address, command, in.chVer, *bytes, answerLength, true);
}

} // namespace

QStringList itemNames() {
    return {
        QStringLiteral("Ввести пароль"),
        QStringLiteral("Запрс состояния"),
        QStringLiteral("Запрсить версию прошивки и серийный номер"),
        QStringLiteral("Сдвинуть уровень полного"),
        QStringLiteral("Сдвинуть уровень пустого"),
        QStringLiteral("Установить уровень полного"),
        QStringLiteral("Установить уровень пустого"),
        QStringLiteral("Установить режим"),
        QStringLiteral("Установить пароль"),
    };
}

ItemView viewOfItem(int index, bool chVer) {
    ItemView v;
    auto withValue = [&v](const QString& caption) {
        v.valueShown = true;
        v.valueCaption = caption;
    };
    switch (index) {
    case 0:
        withValue(QStringLiteral("Введите числовой пароль:"));
        break;
    case 3:
        withValue(QStringLiteral("Сдвиг полного в У.Е"));
        break;
    case 4:
        withValue(QStringLiteral("Сдвиг пустого в У.Е"));
        break;
    case 5:
        withValue(QStringLiteral("Установить в качестве полного"));
        break;
    case 6:
        withValue(QStringLiteral("Установить в качестве пустого"));
        break;
    case 7:
        v.frame5Shown = true;
        v.sliderGroupShown = chVer;
        break;
    case 8:
        withValue(QStringLiteral("Установить в качестве пароля доступа"));
        break;
    default: // 1, 2 and anything else: nothing beyond the hiding
        break;
    }
    return v;
}

Result Gen_in_PWDd(const Inputs& in, UserDialog& dlg) {
    return password(in, sensor::cmd::EnterPassword, 4, dlg);
}

Result gen_ust_pwd(const Inputs& in, UserDialog& dlg) {
    return password(in, sensor::cmd::ChangePassword, 8, dlg);
}

Result gen_sost(const Inputs& in, UserDialog& dlg) {
    const auto address = addressOf(in);
    if (!address)
        return refuse(txt::AddressRange, dlg);
    if (*address >= AddressLimit)
        return {};
    return make(*address, sensor::cmd::DataPoll, false, {}, in.chVer ? 24 : 23, false);
}

Result gen_ser_ver(const Inputs& in, UserDialog& dlg) {
    const auto address = addressOf(in);
    if (!address)
        return refuse(txt::AddressRange, dlg);
    return make(*address, sensor::cmd::Identity, false, {}, 10, false);
}

Result gen_up(const Inputs& in, UserDialog& dlg) {
    return shift(in, sensor::cmd::ShiftFull, 10, dlg);
}

Result gen_down(const Inputs& in, UserDialog& dlg) {
    return shift(in, sensor::cmd::ShiftEmpty, 8, dlg);
}

Result gen_up_urDirect(const Inputs& in, UserDialog& dlg) {
    return direct(in, sensor::cmd::DirectFull, 10, dlg);
}

Result gen_down_urDirect(const Inputs& in, UserDialog& dlg) {
    return direct(in, sensor::cmd::DirectEmpty, 8, dlg);
}

Result gen_mode(const Inputs& in, UserDialog& dlg) {
    const quint8 mode = in.mode.toByte();
    const auto address = addressOf(in);
    if (!address)
        return refuse(txt::AddressRange, dlg);
    QByteArray data = sensor::encodeU8(mode);
    if (in.chVer) {
        // sglad shows the slider position 0..15; anything else is not a
        // smoothing value and ends the operation without a word (nothing
        // the user typed is refused).
        const auto smoothing = sensor::toByte(in.smoothing);
        if (!smoothing || *smoothing > 15)
            return {};
        data += sensor::encodeU8(sensor::Smoothing{*smoothing, in.thermoCompensationOff}.toByte());
    }
    return make(*address, sensor::cmd::SetMode, in.chVer, data, in.chVer ? 6 : 5, true);
}

Result generate(int index, const Inputs& in, UserDialog& dlg) {
    switch (index) {
    case 0:
        return Gen_in_PWDd(in, dlg);
    case 1:
        return gen_sost(in, dlg);
    case 2:
        return gen_ser_ver(in, dlg);
    case 3:
        return gen_up(in, dlg);
    case 4:
        return gen_down(in, dlg);
    case 5:
        return gen_up_urDirect(in, dlg);
    case 6:
        return gen_down_urDirect(in, dlg);
    case 7:
        return gen_mode(in, dlg);
    case 8:
        return gen_ust_pwd(in, dlg);
    default:
        return {};
    }
}

} // namespace generator
