#include "link/exchange_engine.h"

#include "link/colors.h"
#include "link/frame.h"
#include "link/port.h"

namespace {
const QString FrequencyModeRefusal = QStringLiteral(
    "Эту операцию невозможно выполнить в частотном режиме. Отключите ненадолго питание "
    "датчика и сделайте опрос сети");
constexpr quint8 DataPoll = 0xF0;
constexpr quint8 Identity = 0xFC;
} // namespace

ExchangeEngine::ExchangeEngine(EngineHost& host) : host_(host) {}

QByteArray ExchangeEngine::Zapros_ser_num() const {
    const auto address = host_.selectedAddress();
    if (!address)
        return {};
    return frame::request(*address, Identity);
}

void ExchangeEngine::tick() {
    if (busy_ > 0)
        return;
    BusyGuard guard(*this);
    if (!port_)
        return;
    if (port_->hasVanished()) {
        host_.portVanished();
        return;
    }

    const auto address = host_.selectedAddress();
    if (address && *address != currentAddress) {
        wrs = Zapros_ser_num();
        currentAddress = *address;
    }
    if (sec_wr_table == 1) {
        sec_wr_table = 0;
        host_.Set_mode_Click();
    }
    if (sec_wr_table == 2)
        sec_wr_table = 1;

    if (wrs.isEmpty() && address) {
        wrs = frame::request(*address, DataPoll);
    } else {
        badData = false;
        // Only a request can be refused; with nothing pending there is nothing
        // to say, and saying it every second would bury the window in boxes.
        if (frequencyMode && !wrs.isEmpty()) {
            host_.message(FrequencyModeRefusal);
            wrs.clear();
        }
    }
    // The boxes above (the refusal, the set-mode question) wait for the user;
    // if the port was closed meanwhile, this tick has nothing to talk to.
    if (!port_)
        return;
    host_.outWin(wrs);
    holdCounter = qMax(0, holdCounter - 1);

    // What is read now answers the request written on the previous tick.
    const QByteArray received = port_->read(255);
    const qint64 count = wrs.isEmpty() ? 0 : port_->write(wrs);

    if (count != wrs.size()) {
        host_.message(QStringLiteral("Ошибка записи в порт"));
        wrs.clear();
        if (writeFailures >= 3) {
            host_.closePort();
            return;
        }
        ++writeFailures;
        return;
    }

    writeFailures = 0;
    wrs.clear();
    host_.setLampColor(host_.lampColor() == vbcolor::White ? vbcolor::Grey : vbcolor::White);
    ++exchangeCounter;
    if (received.isEmpty()) {
        host_.appendErrBox(QString::number(exchangeCounter) + QStringLiteral(" пр\r\n"));
        const QString text =
            QStringLiteral("Нет ответа от датчика с адресом ") + host_.selectedAddressText();
        host_.setStatusColor(vbcolor::ButtonText);
        host_.setStatus(text);
        host_.log(text);
        return;
    }
    host_.setStatusColor(vbcolor::DarkGreen);
    host_.setStatus(QStringLiteral("Датчик подключен"));
    frequencyMode = false;
    process(received);
}

void ExchangeEngine::replay(const QByteArray& answer) {
    // A recorded answer skips the port entirely and goes straight to the
    // processing step; the flag keeps it out of the work log.
    replaying = true;
    process(answer);
    replaying = false;
}

void ExchangeEngine::process(const QByteArray& answer) {
    const int n = answer.size();
    if (n > 0) {
        const quint8 computed = frame::computedCrc(answer);
        const bool crcOk = computed == static_cast<quint8>(answer.back());
        host_.setLenAnsw(n);
        if (n < 30)
            host_.outWin(answer + QByteArray(1, static_cast<char>(computed)));
        if (n > 5 && !crcOk)
            host_.appendErrBox(QString::number(exchangeCounter) + QStringLiteral(" ош\r\n"));
        if (static_cast<quint8>(answer[0]) == frame::AnswerPrefix && n >= 4)
            dispatch(answer, crcOk);
        else
            netPollAnswer(answer);
    }
    host_.setLampColor(vbcolor::Red);
    replaying = false;
    if (port_ && port_->isOpen())
        port_->flush();
}

void ExchangeEngine::logged(const QString& status, bool beep) {
    host_.setStatus(status);
    host_.log(status);
    if (beep)
        host_.shortBeep();
}

void ExchangeEngine::dispatch(const QByteArray& a, bool crcOk) {
    const int n = a.size();
    const auto byte = [&](int pos) { return static_cast<quint8>(a[pos - 1]); }; // 1-based
    switch (byte(3)) {
    case 0xFC:
        host_.assept_sn(a);
        mode_yes = true;
        host_.setStatus(QStringLiteral(" Получен С/Н и вер. прошивки"));
        break;
    case 0xF0:
        if (replaying)
            host_.setStatus(QStringLiteral(" Получены данные."));
        if (crcOk)
            host_.all_data_to_form(a);
        break;
    case 0xFA:
        logged(QStringLiteral(" Установлен нижний уровень."), true);
        break;
    case 0xF2:
        logged(QStringLiteral(" Установлен новый режим."), true);
        host_.Out_modes(byte(4));
        if (n > 5 && firmware > 174)
            host_.applySmoothingByte(byte(5));
        break;
    case 0xF5:
        logged(QStringLiteral(" Установлен верхний уровень."), true);
        break;
    case 0xFB:
        logged(QStringLiteral(" Установлен сетевой номер."), true);
        break;
    case 0xF6:
        logged(QStringLiteral("Установлен серийный номер."), false);
        break;
    case 0xF9:
        logged(QStringLiteral("Сдвинут нижний уровень."), true);
        break;
    case 0xF4:
        logged(QStringLiteral("Сдвинут верхний уровень."), true);
        break;
    case 0xEE:
        logged(QStringLiteral("Уст. новый уровень ав. ост. топлива."), true);
        host_.setLampLevel(byte(4));
        break;
    case 0xF8:
        logged(QStringLiteral("Пароль принят."), true);
        break;
    case 0xFD:
        host_.setStatusColor(vbcolor::Red);
        host_.setStatus(QStringLiteral("Неверный пароль."));
        host_.log(QStringLiteral("Неверный пароль."));
        host_.longBeep();
        break;
    case 0xF7:
        logged(QStringLiteral("Пароль изменен."), true);
        break;
    case 0x06:
        host_.setStatus(QStringLiteral("Пар."));
        break;
    case 0xED:
        logged(QStringLiteral("Директивно изменен нижний уровень."), true);
        break;
    case 0xEC:
        logged(QStringLiteral("Директивно изменен верхний уровень."), true);
        break;
    case 0xFE:
        host_.setStatus(QStringLiteral("Датчик в частотном режиме."));
        // The frequency takes bytes 4 and 5; a 4-byte answer has no byte 5.
        if (n >= 5)
            host_.showFrequency(byte(4) * 256 + byte(5));
        frequencyMode = true;
        break;
    case 0xEF:
        host_.setStatus(QStringLiteral("Прочитана таблица."));
        if (const auto values = host_.ans_to_table(a)) {
            host_.log(QStringLiteral("Прочитана таблица = ") + *values);
            host_.shortBeep();
        } else {
            host_.longBeep(); // refused: the boxes were left as they were
        }
        break;
    case 0xF1:
        host_.setStatus(QStringLiteral("Установлена Тарир таблица."));
        host_.log(QStringLiteral("Установлена Тарировочная таблица."));
        host_.shortBeep();
        break;
    default:
        host_.setStatus(QStringLiteral(" Непонятно что пришло! "));
        host_.log(QStringLiteral("Непонятно что пришло!"));
        host_.longBeep();
        host_.message(QStringLiteral("Ответ не соответствует запросу"));
        host_.log(QStringLiteral("Ответ не соответствует запросу"));
        host_.longBeep();
        break;
    }
}

void ExchangeEngine::netPollAnswer(const QByteArray& answer) {
    if (net_opr && answer.size() < 20) {
        QList<quint8> addresses;
        QString text;
        for (char c : answer) {
            addresses.append(static_cast<quint8>(c));
            text += QString::number(static_cast<quint8>(c)) + QLatin1Char(' ');
        }
        host_.fillNetList(addresses, text);
        host_.outWin(answer);
        host_.log(QStringLiteral("Устройства в сети ") + text);
        wrs = Zapros_ser_num();
        host_.setStatus(QStringLiteral("Произошел опрос сети."));
    }
    net_opr = false;
}
