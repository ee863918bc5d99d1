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
// Appended to the log when a block was not written or the check failed.
inline const QString Failed = QStringLiteral("-----Ошибка------");

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

// Shown once a run has ended without a whole program in the sensor.
inline const QString NotFinished =
    QStringLiteral("Прошивка не завершена. Датчик остаётся в режиме загрузчика: не отключая "
                   "питание, нажмите \"Пуск\" ещё раз.");
inline const QString CancelledMidway = QStringLiteral(
    "Прошивка прервана. Программа датчика записана не полностью: повторите прошивку.");
// Block n is counted from 1 among the blocks written, as the check's progress counts them.
inline QString checkFailed(int n, quint32 address) {
    return QStringLiteral("Проверка не пройдена: блок ") + QString::number(n) +
           QStringLiteral(" (адрес 0x") +
           QStringLiteral("%1").arg(address, 4, 16, QLatin1Char('0')).toUpper() +
           QStringLiteral(") отличается.");
}
// The progress bar's text while the blocks are written, and while they are read back.
inline const QString WriteProgress = QStringLiteral("%v из %m блоков");
inline const QString CheckProgress = QStringLiteral("Проверка: %v из %m блоков");
// Asked when the main window is closed while a run goes on.
inline const QString CloseDuringRun =
    QStringLiteral("Идёт прошивка датчика. Прервать её и закрыть программу?");

// Refusals before anything is sent.
inline const QString PortNotOpen = QStringLiteral("Порт не открыт. Откройте порт датчика.");
inline const QString NoFileChosen =
    QStringLiteral("Файл прошивки не выбран. Нажмите \"Открыть файл\".");
inline const QString AlreadyRunning = QStringLiteral("Прошивка уже идёт.");
// A run at another rate than 19200.
inline QString rateLine(int baud) {
    return QStringLiteral("Скорость %1 бод").arg(baud);
}
inline QString rateNotSet(int baud) {
    return QStringLiteral("Порт не переключается на скорость %1 бод. Прошивка не начата.")
        .arg(baud);
}
// The adapter held the loader's answers (a USB latency timer).
inline QString answersHeld(double ms) {
    return QStringLiteral("Адаптер задерживает каждый ответ примерно на %1 мс, прошивка идёт "
                          "медленнее. Для адаптера FTDI в Windows уменьшите Latency Timer в "
                          "дополнительных параметрах порта (Диспетчер устройств).")
        .arg(qRound(ms));
}
// The polling paused after a run that left the sensor in its bootloader.
inline const QString WaitsInLoader =
    QStringLiteral("Датчик в режиме загрузчика: опрос остановлен.");
inline const QString PowerCycleQuestion = QStringLiteral(
    "Датчик остался в режиме загрузчика, и опрос датчиков остановлен. Выключите и включите "
    "питание датчика, затем нажмите \"Да\", чтобы продолжить опрос.");
inline const QString RateNotRestored =
    QStringLiteral("Порт не вернулся на скорость 19200 бод. Закройте порт и откройте его снова.");
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
