#include "sensor/operations.h"

#include "base/user_dialog.h"
#include "sensor/requests.h"

namespace sensor {

namespace {

// What the settings page says to the user.
namespace txt {
const QString NotConnected = QStringLiteral("Датчик не подключен!");
const QString SmoothingOn =
    QStringLiteral(" На время калибровки снимите СГЛАЖИВАНИЕ и нажмите УСТАНОВИТЬ");
const QString ShiftRange = QStringLiteral("Значения могут быть от -1000 до 1000");
const QString AskShiftFull =
    QStringLiteral("Сейчас будет сдвинут верхний уровень. Вы уверены что это нужно?");
const QString AskShiftEmpty =
    QStringLiteral("Сейчас будет сдвинут уровень пустого. Вы уверены что это нужно?");
const QString NoLevelSensor = QStringLiteral("Установите вменяемый уровень");
const QString LevelRange = QStringLiteral("Введите значение уровня в диапазоне 0....2 000 000 000");
const QString AskDirectFull = QStringLiteral(
    "Сейчас будет произведена перекалибровка верхнего уровня. Вы уверены что это нужно?");
const QString AskDirectEmpty = QStringLiteral(
    "Сейчас будет произведена перекалибровка нижнего уровня. Вы уверены что это нужно?");
const QString AskMode =
    QStringLiteral("Сейчас будет изменен режим работы датчика. Вы уверены что это нужно?");
const QString NetPrompt = QStringLiteral("Введите новый сетевой номер");
const QString NetTitle = QStringLiteral("Ввод сетевого номера");
const QString NoNetSensor = QStringLiteral("Установите существующий сетевой адрес");
const QString NetRange = QStringLiteral("Введите число в диапазоне 0....255");
const QString LampRange = QStringLiteral("Значения могут быть от 1 до 99");
const QString AskLamp = QStringLiteral(
    "Сейчас будет новый уровень аварийного остатка топлива. Вы уверены что это нужно?");
const QString PwdPrompt = QStringLiteral("Введите пароль");
const QString PwdTitle = QStringLiteral("Ввод пароля");
const QString NewPwdPrompt = QStringLiteral("Введите новый пароль");
const QString NewPwdTitle = QStringLiteral("Ввод нового пароля");
const QString NoPwdSensor = QStringLiteral("Установите допустимый пароль");
const QString PwdRange = QStringLiteral("Введите числовой пароль в диапазоне 0....2 000 000 000");
const QString AskChangePwd =
    QStringLiteral("Сейчас будет изменен пароль датчика. Если Вы забудете новый пароль, снять "
                   "его сможет только производитель. МЕНЯЕМ ?");
} // namespace txt

// Refuses an operation when the sensor gives no data: message, log line
// "<prefix>: Датчик не подключен!". Returns true when refused.
bool refuseDisconnected(const SensorContext& ctx, const QString& prefix, UserDialog& dlg,
                        Outcome& out) {
    if (!ctx.noData)
        return false;
    dlg.message(txt::NotConnected);
    out.logLines << prefix + QStringLiteral(": ") + txt::NotConnected;
    return true;
}

// The request as the outcome carries it.
void send(const Request& r, bool showFrame, Outcome& out) {
    out.frame = r.frame;
    out.showFrame = showFrame;
    out.logLines << r.logLine;
}

Checked refusedWith(const QString& message) {
    return {std::nullopt, message};
}

Outcome setToCurrent(const SensorContext& ctx, Level level, const QString& prefix,
                     UserDialog& dlg) {
    Outcome out;
    if (!ctx.address)
        return out;
    if (refuseDisconnected(ctx, prefix, dlg, out))
        return out;
    if (Mode::fromByte(ctx.modeByte).averaging) {
        dlg.message(txt::SmoothingOn);
        return out;
    }
    send(setToCurrentRequest(*ctx.address, ctx.firmware, level), true, out);
    return out;
}

Outcome shiftLevel(const SensorContext& ctx, const QString& shiftText, Level level,
                   const QString& question, UserDialog& dlg) {
    Outcome out;
    const Checked shift = checkShift(shiftText);
    if (!shift.value) {
        dlg.message(shift.refusal);
        return out;
    }
    if (!ctx.address)
        return out;
    if (!dlg.askYesNo(question))
        return out;
    send(shiftRequest(*ctx.address, ctx.firmware, level, int(*shift.value)), false, out);
    return out;
}

Outcome directLevel(const SensorContext& ctx, const QString& valueText, Level level,
                    const QString& question, UserDialog& dlg) {
    Outcome out;
    if (!ctx.address) {
        dlg.message(txt::NoLevelSensor);
        return out;
    }
    const Checked value = checkLevel(valueText);
    if (!value.value) {
        dlg.message(value.refusal);
        return out;
    }
    if (!dlg.askYesNo(question))
        return out;
    send(directLevelRequest(*ctx.address, ctx.firmware, level, quint32(*value.value), valueText),
         true, out);
    return out;
}

// The common tail of both password operations, from the input box on.
void password(const SensorContext& ctx, PasswordUse use, const QString& prompt,
              const QString& title, UserDialog& dlg, Outcome& out) {
    const std::optional<QString> typed = dlg.inputBox(prompt, title, QString());
    if (!typed || typed->isEmpty())
        return;
    if (!ctx.address) {
        dlg.message(txt::NoPwdSensor);
        return;
    }
    const Checked value = checkPassword(*typed);
    if (!value.value) {
        dlg.message(value.refusal);
        return;
    }
    send(passwordRequest(*ctx.address, ctx.firmware, use, quint32(*value.value), *typed), true,
         out);
}

} // namespace

Checked checkShift(const QString& text) {
    // Text that is no 16-bit number is refused with the range message too.
    const auto shift = toInt16(text);
    if (!shift || !encodeShift(*shift))
        return refusedWith(txt::ShiftRange);
    return {*shift, {}};
}

Checked checkLevel(const QString& text) {
    const auto value = toInt32(text);
    if (!value || !encodeU32(*value))
        return refusedWith(txt::LevelRange);
    return {*value, {}};
}

Checked checkLampThreshold(const QString& text) {
    // Text that is no 16-bit number is refused with the range message too.
    const auto percent = toInt16(text);
    if (!percent || *percent < 1 || *percent > 99)
        return refusedWith(txt::LampRange);
    return {*percent, {}};
}

Checked checkNetAddress(const QString& text) {
    const auto address = toByte(text);
    if (!address)
        return refusedWith(txt::NetRange);
    return {*address, {}};
}

Checked checkPassword(const QString& text) {
    const auto value = toInt32(text);
    if (!value || !encodeU32(*value))
        return refusedWith(txt::PwdRange);
    return {*value, {}};
}

// What the button hig does.
Outcome setFullToCurrent(const SensorContext& ctx, UserDialog& dlg) {
    return setToCurrent(ctx, Level::Full, QStringLiteral("Cmd SetHight"), dlg);
}

// What the button low does.
Outcome setEmptyToCurrent(const SensorContext& ctx, UserDialog& dlg) {
    return setToCurrent(ctx, Level::Empty, QStringLiteral("Cmd SetLow"), dlg);
}

// What the button sdv_hi does.
Outcome shiftFull(const SensorContext& ctx, const QString& shiftText, UserDialog& dlg) {
    return shiftLevel(ctx, shiftText, Level::Full, txt::AskShiftFull, dlg);
}

// What the button sdv_low does.
Outcome shiftEmpty(const SensorContext& ctx, const QString& shiftText, UserDialog& dlg) {
    return shiftLevel(ctx, shiftText, Level::Empty, txt::AskShiftEmpty, dlg);
}

// What the button set_hi_data does.
Outcome enterFullLevel(const SensorContext& ctx, const QString& valueText, UserDialog& dlg) {
    return directLevel(ctx, valueText, Level::Full, txt::AskDirectFull, dlg);
}

// What the button set_lo_data does.
Outcome enterEmptyLevel(const SensorContext& ctx, const QString& valueText, UserDialog& dlg) {
    return directLevel(ctx, valueText, Level::Empty, txt::AskDirectEmpty, dlg);
}

// What the button Set_mode does.
Outcome setMode(const SensorContext& ctx, const Mode& mode, const Smoothing& smoothing,
                UserDialog& dlg) {
    Outcome out;
    if (refuseDisconnected(ctx, QStringLiteral("Cmd Change mode to"), dlg, out))
        return out;
    if (!ctx.address)
        return out;
    if (!dlg.askYesNo(txt::AskMode))
        return out;
    send(modeRequest(*ctx.address, ctx.firmware, mode.toByte(), smoothing), true, out);
    out.refreshSettings = true;
    return out;
}

// What the button net does.
Outcome setNetAddress(const SensorContext& ctx, UserDialog& dlg) {
    Outcome out;
    if (refuseDisconnected(ctx, QStringLiteral("Cmd Set New net addr"), dlg, out))
        return out;
    const QString preset = ctx.address ? QString::number(*ctx.address) : QString();
    const std::optional<QString> typed = dlg.inputBox(txt::NetPrompt, txt::NetTitle, preset);
    if (!typed || typed->isEmpty())
        return out;
    if (!ctx.address) {
        dlg.message(txt::NoNetSensor);
        return out;
    }
    const Checked newAddress = checkNetAddress(*typed);
    if (!newAddress.value) {
        dlg.message(newAddress.refusal);
        return out;
    }
    send(netAddressRequest(*ctx.address, ctx.firmware, quint8(*newAddress.value)), true, out);
    return out;
}

// What the button Command1 does.
Outcome setLampThreshold(const SensorContext& ctx, const QString& percentText, UserDialog& dlg) {
    Outcome out;
    const Checked percent = checkLampThreshold(percentText);
    if (!percent.value) {
        dlg.message(percent.refusal);
        return out;
    }
    if (!ctx.address)
        return out;
    if (!dlg.askYesNo(txt::AskLamp))
        return out;
    send(lampThresholdRequest(*ctx.address, ctx.firmware, int(*percent.value)), false, out);
    out.refreshSettings = true;
    return out;
}

// What the button Vvod_PWD does.
Outcome enterPassword(const SensorContext& ctx, UserDialog& dlg) {
    Outcome out;
    out.clearPending = true;
    if (refuseDisconnected(ctx, QStringLiteral("Cmd Enter Password"), dlg, out))
        return out;
    password(ctx, PasswordUse::Enter, txt::PwdPrompt, txt::PwdTitle, dlg, out);
    return out;
}

// What the button Chg_pass does.
Outcome changePassword(const SensorContext& ctx, UserDialog& dlg) {
    Outcome out;
    out.clearPending = true;
    if (refuseDisconnected(ctx, QStringLiteral("Cmd New Password"), dlg, out))
        return out;
    if (!dlg.askYesNo(txt::AskChangePwd))
        return out;
    password(ctx, PasswordUse::Change, txt::NewPwdPrompt, txt::NewPwdTitle, dlg, out);
    return out;
}

// What the button Opros does.
Outcome networkPoll() {
    Outcome out;
    out.clearPending = true;
    send(networkPollRequest(), true, out);
    out.startsNetworkPoll = true;
    out.refreshSettings = true;
    return out;
}

} // namespace sensor
