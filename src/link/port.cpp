#include "link/port.h"

namespace serial {

OpenFailure openFailureOf(QSerialPort::SerialPortError error, bool userMayAccess) {
    switch (error) {
    case QSerialPort::NoError:
        return OpenFailure::None;
    case QSerialPort::DeviceNotFoundError:
        return OpenFailure::NotFound;
    case QSerialPort::PermissionError:
        return userMayAccess ? OpenFailure::Busy : OpenFailure::NoPermission;
    default:
        return OpenFailure::Other;
    }
}

QString openFailureReason(OpenFailure failure) {
    switch (failure) {
    case OpenFailure::NoPermission:
        return QStringLiteral(
            "Нет прав на порт: добавьте пользователя в группу dialout и войдите заново.");
    case OpenFailure::Busy:
        return QStringLiteral("Порт занят другой программой.");
    case OpenFailure::NotFound:
        return QStringLiteral("Порт не найден.");
    case OpenFailure::None:
    case OpenFailure::Other:
        break;
    }
    return {};
}

} // namespace serial
