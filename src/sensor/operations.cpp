#include "sensor/operations.h"

#include "base/user_dialog.h"
#include "link/frame.h"
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

Outcome setToCurrent(const SensorContext& ctx, quint8 command, const QString& prefix,
                     UserDialog& dlg) {
    Outcome out;
    if (!ctx.address)
        return out;
    if (refuseDisconnected(ctx, prefix, dlg, out))
        return out;
    if (ctx.modeByte & 0x08) {
        dlg.message(txt::SmoothingOn);
        return out;
    }
    out.frame = buildRequest(*ctx.address, command, needsWriteAccessCode(ctx.firmware));
    out.showFrame = true;
    out.logLines << prefix + QLatin1Char(' ');
    return out;
}

Outcome shiftLevel(const SensorContext& ctx, const QString& shiftText, quint8 command,
                   const QString& question, const QString& logTag, UserDialog& dlg) {
    Outcome out;
    // Text that is no 16-bit number is refused with the range message too.
    const auto shift = toInt16(shiftText);
    const auto bytes = shift ? encodeShift(*shift) : std::nullopt;
    if (!bytes) {
        dlg.message(txt::ShiftRange);
        return out;
    }
    if (!ctx.address)
        return out;
    if (!dlg.askYesNo(question))
        return out;
    out.frame = buildRequest(*ctx.address, command, needsWriteAccessCode(ctx.firmware), *bytes);
    out.logLines << logTag + QString::number(*shift);
    return out;
}

Outcome directLevel(const SensorContext& ctx, const QString& valueText, quint8 command,
                    const QString& question, const QString& logTag, UserDialog& dlg) {
    Outcome out;
    if (!ctx.address) {
        dlg.message(txt::NoLevelSensor);
        return out;
    }
    const auto value = toInt32(valueText);
    const auto bytes = value ? encodeU32(*value) : std::nullopt;
    if (!bytes) {
        dlg.message(txt::LevelRange);
        return out;
    }
    if (!dlg.askYesNo(question))
        return out;
    out.frame = buildRequest(*ctx.address, command, needsWriteAccessCode(ctx.firmware), *bytes);
    out.showFrame = true;
    out.logLines << logTag + valueText;
    return out;
}

// The common tail of both password operations, from the input box on.
void passwordRequest(const SensorContext& ctx, quint8 command, const QString& prompt,
                     const QString& title, const QString& logTag, UserDialog& dlg, Outcome& out) {
    const std::optional<QString> typed = dlg.inputBox(prompt, title, QString());
    if (!typed || typed->isEmpty())
        return;
    if (!ctx.address) {
        dlg.message(txt::NoPwdSensor);
        return;
    }
    const auto value = toInt32(*typed);
    const auto bytes = value ? encodeU32(*value) : std::nullopt;
    if (!bytes) {
        dlg.message(txt::PwdRange);
        return;
    }
    out.frame = buildRequest(*ctx.address, command, needsWriteAccessCode(ctx.firmware), *bytes);
    out.showFrame = true;
    out.logLines << logTag + *typed;
}

} // namespace

Outcome hig(const SensorContext& ctx, UserDialog& dlg) {
    return setToCurrent(ctx, cmd::SetFullToCurrent, QStringLiteral("Cmd SetHight"), dlg);
}

Outcome low(const SensorContext& ctx, UserDialog& dlg) {
    return setToCurrent(ctx, cmd::SetEmptyToCurrent, QStringLiteral("Cmd SetLow"), dlg);
}

Outcome sdv_hi(const SensorContext& ctx, const QString& shiftText, UserDialog& dlg) {
    return shiftLevel(ctx, shiftText, cmd::ShiftFull, txt::AskShiftFull,
                      QStringLiteral("Cmd Shift Hight: "), dlg);
}

Outcome sdv_low(const SensorContext& ctx, const QString& shiftText, UserDialog& dlg) {
    return shiftLevel(ctx, shiftText, cmd::ShiftEmpty, txt::AskShiftEmpty,
                      QStringLiteral("Cmd Shift Low: "), dlg);
}

Outcome set_hi_data(const SensorContext& ctx, const QString& hiDataText, UserDialog& dlg) {
    return directLevel(ctx, hiDataText, cmd::DirectFull, txt::AskDirectFull,
                       QStringLiteral("Cmd Enter Direct HI_data = "), dlg);
}

Outcome set_lo_data(const SensorContext& ctx, const QString& loDataText, UserDialog& dlg) {
    return directLevel(ctx, loDataText, cmd::DirectEmpty, txt::AskDirectEmpty,
                       QStringLiteral("Cmd Enter Direct LO_data = "), dlg);
}

Outcome Set_mode(const SensorContext& ctx, const Mode& m, const Smoothing& smoothing,
                 UserDialog& dlg) {
    Outcome out;
    const quint8 mode = m.toByte();
    const QString prefix = QStringLiteral("Cmd Change mode to");
    if (refuseDisconnected(ctx, prefix, dlg, out))
        return out;
    if (!ctx.address)
        return out;
    if (!dlg.askYesNo(txt::AskMode))
        return out;
    const int sgla = smoothing.value & 0x0F;
    out.logLines << prefix + QLatin1Char(' ') + QString::number(mode) + QStringLiteral(" sgla ") +
                        QString::number(sgla);
    QByteArray data = encodeU8(mode);
    if (sendsSmoothingByte(ctx.firmware))
        data += encodeU8(smoothing.toByte());
    out.frame = buildRequest(*ctx.address, cmd::SetMode, needsWriteAccessCode(ctx.firmware), data);
    out.showFrame = true;
    out.setModeYes = true;
    return out;
}

Outcome net(const SensorContext& ctx, UserDialog& dlg) {
    Outcome out;
    const QString prefix = QStringLiteral("Cmd Set New net addr");
    if (refuseDisconnected(ctx, prefix, dlg, out))
        return out;
    const QString preset = ctx.address ? QString::number(*ctx.address) : QString();
    const std::optional<QString> typed = dlg.inputBox(txt::NetPrompt, txt::NetTitle, preset);
    if (!typed || typed->isEmpty())
        return out;
    if (!ctx.address) {
        dlg.message(txt::NoNetSensor);
        return out;
    }
    const auto newAddress = toByte(*typed);
    if (!newAddress) {
        dlg.message(txt::NetRange);
        return out;
    }
    out.frame = buildRequest(*ctx.address, cmd::SetNetAddress, needsWriteAccessCode(ctx.firmware),
                             encodeU8(static_cast<quint8>(*newAddress)));
    out.showFrame = true;
    out.logLines << prefix + QStringLiteral(" = ") + QString::number(*newAddress);
    return out;
}

Outcome Command1(const SensorContext& ctx, const QString& lampLevelText, UserDialog& dlg) {
    Outcome out;
    // Text that is no 16-bit number is refused with the range message too.
    const auto percent = toInt16(lampLevelText);
    if (!percent || *percent < 1 || *percent > 99) {
        dlg.message(txt::LampRange);
        return out;
    }
    if (!ctx.address)
        return out;
    if (!dlg.askYesNo(txt::AskLamp))
        return out;
    out.frame = buildRequest(*ctx.address, cmd::SetLampLevel, needsWriteAccessCode(ctx.firmware),
                             encodeU8(static_cast<quint8>(*percent)));
    out.logLines << QStringLiteral("Cmd Set Lamp Level: ") + QString::number(*percent);
    out.setModeYes = true;
    return out;
}

Outcome Vvod_PWD(const SensorContext& ctx, UserDialog& dlg) {
    Outcome out;
    out.clearPending = true;
    if (refuseDisconnected(ctx, QStringLiteral("Cmd Enter Password"), dlg, out))
        return out;
    passwordRequest(ctx, cmd::EnterPassword, txt::PwdPrompt, txt::PwdTitle,
                    QStringLiteral("Cmd Enter Password = "), dlg, out);
    return out;
}

Outcome Chg_pass(const SensorContext& ctx, UserDialog& dlg) {
    Outcome out;
    out.clearPending = true;
    if (refuseDisconnected(ctx, QStringLiteral("Cmd New Password"), dlg, out))
        return out;
    if (!dlg.askYesNo(txt::AskChangePwd))
        return out;
    passwordRequest(ctx, cmd::ChangePassword, txt::NewPwdPrompt, txt::NewPwdTitle,
                    QStringLiteral("Cmd New Password = "), dlg, out);
    return out;
}

Outcome Opros() {
    Outcome out;
    out.clearPending = true;
    out.frame = frame::netPollRequest();
    out.showFrame = true;
    out.logLines << QStringLiteral("Cmd Ask Net ");
    out.setNetOpr = true;
    out.setModeYes = true;
    return out;
}

} // namespace sensor
