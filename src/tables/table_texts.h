#pragma once
// What the table window, the table files and the calibration by portions say
// to the user, and the names they give their files.

#include <QDir>
#include <QString>

namespace tables::txt {

// Table read and write.
inline const QString NoSensor =
    QStringLiteral("Не выбран датчик: выберите сетевой адрес в списке.");
inline const QString ReadLogLine = QStringLiteral("Cmd_ReadTable: ");
inline const QString WriteLogTag = QStringLiteral("Cmd_SetTable = ");
inline const QString ReadingsColumn = QStringLiteral("Показания датчика");
inline const QString LitresColumn = QStringLiteral("Литры");
inline const QString AnswerRefused = QStringLiteral("Таблица из датчика не принята: ");

// Table files.
inline const QString SaveTitle = QStringLiteral("Схранить");
inline const QString OpenTitle = QStringLiteral("Открыть");
inline const QString Lv3Filter = QStringLiteral("tbl Files (*.lv3)");

// CSV for the server and the calibration protocol.
inline const QString CsvFilter = QStringLiteral("CSV (*.csv)");
inline const QString ExportCsvTitle = QStringLiteral("Экспорт CSV");
inline const QString ImportCsvTitle = QStringLiteral("Импорт CSV");
inline const QString NotChanged = QStringLiteral(" Таблица не изменена.");
inline QString allCapturesQuestion(qsizetype captures) {
    return QStringLiteral("Таблица подобрана по тарировке из %1 точек. Выгрузить для сервера все "
                          "точки тарировки? (Нет: только 20 точек таблицы)")
        .arg(captures);
}

inline const QString ReportTitle = QStringLiteral("Протокол тарировки");
inline const QString PdfFilter = QStringLiteral("PDF (*.pdf)");
inline const QString VehiclePrompt =
    QStringLiteral("Транспортное средство (можно оставить пустым)");
inline const QString TankPrompt = QStringLiteral("Бак (можно оставить пустым)");
inline const QString PerformedByPrompt =
    QStringLiteral("Тарировку выполнил (можно оставить пустым)");

// Calibration by portions.
inline const QString TrrFilter = QStringLiteral("tbl Files (*.trr)");
inline const QString PortionPrompt = QStringLiteral("Ввод порции тарировки");
inline const QString PortionTitle = QStringLiteral("Автотарировка");
inline const QString BadPortion = QStringLiteral("Неверное значение порции");
inline const QString NoFile = QStringLiteral("нет файла для записи");
inline const QString NoSuchFile = QStringLiteral("Нет такого файла");
inline const QString LastLineCut = QStringLiteral("Последняя строка файла неполная и пропущена: ");

inline QString tooManyRows(const QString& path, int limit) {
    return QStringLiteral("В файле %1 больше %2 строк тарировки: такой файл не возобновляется.")
        .arg(QDir::toNativeSeparators(path))
        .arg(limit);
}
inline QString rowLimitReached(int limit) {
    return QStringLiteral("В файле уже %1 строк тарировки, больше в него не записывается. "
                          "Значение не записано.")
        .arg(limit);
}
inline QString litresOutOfRange(qint64 litres) {
    return QStringLiteral("Литры %1 выходят за пределы от -2147483648 до 2147483647. "
                          "Значение не записано.")
        .arg(litres);
}

// A table or calibration file that is a device, a pipe or a socket.
inline QString notRegularFile(const QString& path) {
    return QStringLiteral("Файл %1 не является обычным файлом (это устройство или канал).")
        .arg(QDir::toNativeSeparators(path));
}

} // namespace tables::txt

namespace tables {
// Table and calibration files are small text files; anything larger than
// this is not one of them and is refused before it is read into memory.
inline constexpr qint64 MaxTextFileSize = 16 * 1024 * 1024;

} // namespace tables
