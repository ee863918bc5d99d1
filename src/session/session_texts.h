#pragma once
// What the session says to the user, in one place: the status line, the
// boxes and the errors of the checked exchange.

#include <QString>

namespace session::txt {

inline const QString WriteError = QStringLiteral("Ошибка записи в порт");
// Once per port, in the work log.
inline const QString EchoNoticed =
    QStringLiteral("Адаптер возвращает отправленные байты (эхо): они отбрасываются.");
// Followed by the address as the address list shows it.
inline const QString NoAnswerFrom = QStringLiteral("Нет ответа от датчика с адресом ");
inline const QString WrongPassword = QStringLiteral("Неверный пароль.");
inline const QString FrequencyMode = QStringLiteral("Датчик в частотном режиме.");
inline const QString NotMatching = QStringLiteral("Ответ не соответствует запросу");
inline const QString BadData = QStringLiteral("Пришли ошибочные данные");
inline const QString PortLost = QStringLiteral("Связь с портом потеряна.");
inline const QString FrequencyModeRefusal = QStringLiteral(
    "Эту операцию невозможно выполнить в частотном режиме. Отключите ненадолго питание "
    "датчика и сделайте опрос сети");

} // namespace session::txt
