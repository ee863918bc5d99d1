#pragma once
// Every text the firmware loader shows or logs, in one place.

#include <QString>

namespace firmware::texts {

inline const QString Flashing = QStringLiteral("Прошиваем !  ");
inline const QString Crlf = QStringLiteral("\r\n");
inline const QString OptionBytesDone = QStringLiteral("Ok! ");
inline const QString Done = QStringLiteral("-----Готово------");
// Appended to the log when the user stops the run or the port fails.
inline const QString Aborted = QStringLiteral("-----Прервано------");

inline const QString WriteError = QStringLiteral("Ошибка записи в порт");
inline const QString Nack = QStringLiteral("Ошибка 1F !!!!");
inline const QString FileDamaged = QStringLiteral(" Файл поврежден ");

inline QString blockLine(int n) {
    return QStringLiteral("Block ") + QString::number(n);
}
inline QString commandFailed(int n) {
    return QStringLiteral(" 31 ") + QString::number(n) + QStringLiteral(",блок ошибка");
}
inline QString addressFailed(int n) {
    return QStringLiteral("addr ") + QString::number(n) + QStringLiteral(",блок ошибка");
}
inline QString dataFailed(int n) {
    return QStringLiteral(" data ") + QString::number(n) + QStringLiteral(",блок ошибка");
}

// Refusals before anything is sent.
inline const QString PortNotOpen = QStringLiteral("Порт не открыт. Откройте порт датчика.");
inline const QString NoFileChosen =
    QStringLiteral("Файл прошивки не выбран. Нажмите \"Открыть файл\".");
inline const QString AlreadyRunning = QStringLiteral("Прошивка уже идёт.");
inline QString cannotOpenFile(const QString& path) {
    return QStringLiteral("Не удалось прочитать файл ") + path;
}
inline QString fileTooShort(const QString& path) {
    return QStringLiteral("Файл ") + path + QStringLiteral(" короче заголовка (64 байта).");
}
inline QString fileTooLarge(const QString& path) {
    return QStringLiteral("Файл ") + path + QStringLiteral(" слишком велик для прошивки.");
}

} // namespace firmware::texts
