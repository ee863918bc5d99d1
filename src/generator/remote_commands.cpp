#include "generator/remote_commands.h"

#include "base/user_dialog.h"
#include "generator/gateway.h"
#include "sensor/operations.h"
#include "sensor/requests.h"

namespace generator {

namespace {

// ch_ver ("Для версии прошивки 1.7.6 и выше") stands for the firmware
// number the requests are built for: with the write-access code and the
// smoothing byte, or with neither.
int firmwareOf(const Inputs& in) {
    return in.chVer ? 176 : 0;
}

// Addresses from 200 up are refused (silently) by the status and shift items.
constexpr int AddressLimit = 200;

// dist_net_num as an address, or the range message that refuses it
// (every item but the password ones).
sensor::Checked addressOf(const Inputs& in) {
    return sensor::checkNetAddress(in.address);
}

// A typed value the operation cannot use: the user is told the range.
Result refuse(const QString& message, UserDialog& dlg) {
    dlg.message(message);
    Result r;
    r.refused = true;
    return r;
}

Result make(const QByteArray& frame, int answerLength, bool echo) {
    Generated g;
    g.frame = frame;
    g.line = BuildGatewayLine(g.frame, answerLength);
    g.echo = echo;
    Result r;
    r.generated = g;
    return r;
}

Result password(const Inputs& in, sensor::PasswordUse use, int answerLength, UserDialog& dlg) {
    // Every failure here, the address included, gets the one password message.
    const sensor::Checked value = sensor::checkPassword(in.value);
    const sensor::Checked address = addressOf(in);
    if (!value.value || !address.value) // the password check refuses an empty text
        return refuse(sensor::checkPassword(QString()).refusal, dlg);
    return make(
        sensor::passwordRequest(quint8(*address.value), firmwareOf(in), use, quint32(*value.value))
            .frame,
        answerLength, true);
}

Result shift(const Inputs& in, sensor::Level level, int answerLength, UserDialog& dlg) {
    const sensor::Checked address = addressOf(in);
    if (!address.value)
        return refuse(address.refusal, dlg);
    if (*address.value >= AddressLimit)
        return {};
    const sensor::Checked value = sensor::checkShift(in.value);
    if (!value.value)
        return refuse(value.refusal, dlg);
    return make(
        sensor::shiftRequest(quint8(*address.value), firmwareOf(in), level, int(*value.value))
            .frame,
        answerLength, false);
}

Result direct(const Inputs& in, sensor::Level level, int answerLength, UserDialog& dlg) {
    const sensor::Checked value = sensor::checkLevel(in.value);
    if (!value.value)
        return refuse(value.refusal, dlg);
    const sensor::Checked address = addressOf(in);
    if (!address.value)
        return refuse(address.refusal, dlg);
    return make(sensor::directLevelRequest(quint8(*address.value), firmwareOf(in), level,
                                           quint32(*value.value))
                    .frame,
                answerLength, true);
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

Result enterPasswordLine(const Inputs& in, UserDialog& dlg) {
    return password(in, sensor::PasswordUse::Enter, 4, dlg);
}

Result setPasswordLine(const Inputs& in, UserDialog& dlg) {
    return password(in, sensor::PasswordUse::Change, 8, dlg);
}

Result statusLine(const Inputs& in, UserDialog& dlg) {
    const sensor::Checked address = addressOf(in);
    if (!address.value)
        return refuse(address.refusal, dlg);
    if (*address.value >= AddressLimit)
        return {};
    return make(sensor::buildRequest(quint8(*address.value), sensor::cmd::DataPoll, false),
                in.chVer ? 24 : 23, false);
}

Result identityLine(const Inputs& in, UserDialog& dlg) {
    const sensor::Checked address = addressOf(in);
    if (!address.value)
        return refuse(address.refusal, dlg);
    return make(sensor::buildRequest(quint8(*address.value), sensor::cmd::Identity, false), 10,
                false);
}

Result shiftFullLine(const Inputs& in, UserDialog& dlg) {
    return shift(in, sensor::Level::Full, 10, dlg);
}

Result shiftEmptyLine(const Inputs& in, UserDialog& dlg) {
    return shift(in, sensor::Level::Empty, 8, dlg);
}

Result fullLevelLine(const Inputs& in, UserDialog& dlg) {
    return direct(in, sensor::Level::Full, 10, dlg);
}

Result emptyLevelLine(const Inputs& in, UserDialog& dlg) {
    return direct(in, sensor::Level::Empty, 8, dlg);
}

Result modeLine(const Inputs& in, UserDialog& dlg) {
    const sensor::Checked address = addressOf(in);
    if (!address.value)
        return refuse(address.refusal, dlg);
    sensor::Smoothing smoothing{0, in.thermoCompensationOff};
    if (in.chVer) {
        // sglad shows the slider position 0..15; anything else is not a
        // smoothing value and ends the operation without a word (nothing
        // the user typed is refused).
        const auto value = sensor::toByte(in.smoothing);
        if (!value || *value > 15)
            return {};
        smoothing.value = *value;
    }
    return make(
        sensor::modeRequest(quint8(*address.value), firmwareOf(in), in.mode.toByte(), smoothing)
            .frame,
        in.chVer ? 6 : 5, true);
}

Result generate(int index, const Inputs& in, UserDialog& dlg) {
    switch (index) {
    case 0:
        return enterPasswordLine(in, dlg);
    case 1:
        return statusLine(in, dlg);
    case 2:
        return identityLine(in, dlg);
    case 3:
        return shiftFullLine(in, dlg);
    case 4:
        return shiftEmptyLine(in, dlg);
    case 5:
        return fullLevelLine(in, dlg);
    case 6:
        return emptyLevelLine(in, dlg);
    case 7:
        return modeLine(in, dlg);
    case 8:
        return setPasswordLine(in, dlg);
    default:
        return {};
    }
}

} // namespace generator
