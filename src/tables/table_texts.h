#pragma once
// What the table window, the table files and the calibration by portions say
// to the user, and the names they give their files.

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

// Calibration by portions.
inline const QString TrrFilter = QStringLiteral("tbl Files (*.trr)");
inline const QString PortionPrompt = QStringLiteral("Ввод порции тарировки");
inline const QString PortionTitle = QStringLiteral("Автотарировка");
inline const QString BadPortion = QStringLiteral("Неверное значение порции");
inline const QString NoFile = QStringLiteral("нет файла для записи");
inline const QString NoSuchFile = QStringLiteral("Нет такого файла");

} // namespace tables::txt

namespace tables {
// Table and calibration files are small text files; anything larger than
// this is not one of them and is refused before it is read into memory.
inline constexpr qint64 MaxTextFileSize = 16 * 1024 * 1024;

} // namespace tables
