#pragma once
// Replay of recorded sensor answers. A log line holds an answer record when
// it contains "485="; after the first "485=" three characters are skipped
// and the answer text, hexadecimal, starts at the fourth, which with the
// fifth must read "3E" (capital "E"): e.g. "...S485=23:3E05F0...".

#include <QByteArray>
#include <QByteArrayView>
#include <QFile>
#include <QString>
#include <QStringList>
#include <optional>

class UserDialog;

namespace replay {

// What the replay says to the user.
namespace txt {
inline const QString OpenTitle = QStringLiteral("Открыть");
inline const QString OpenFilter = QStringLiteral("tbl Files (*.log)");
inline const QString NoSuchFile = QStringLiteral("Нет такого файла");
inline const QString NextRecord = QStringLiteral("след. запись");
inline const QString NoMoreRecords = QStringLiteral("больше записей нет");
inline const QString NotHex = QStringLiteral("В строке имеются символы не принадлежащие HEX");
// A device, pipe or socket chosen as the log.
QString notRegularFile(const QString& path);
} // namespace txt

// Hexadecimal text to bytes, two digits a byte, high digit first; "0"-"9",
// "A"-"F", "a"-"f". A final unpaired digit is dropped. nullopt on any other
// character.
std::optional<QByteArray> hexToBytes(const QString& text);

// The same, telling the user about a non-hexadecimal character; the result
// is then empty.
QByteArray hexToBytesOrWarn(const QString& text, UserDialog& dlg);

// The answer text of a log line, or nullopt when the line holds no record.
std::optional<QString> answerTextOfLine(const QString& line);

// Files above this size are not replayed.
inline constexpr qint64 MaxFileSize = 64 * 1024 * 1024;

// Checks a log file, then reads it one line at a time as its records are
// asked for: memory stays the same whatever the size of the file, and each
// call returns as soon as it has found the next record.
//
//     replay::ReplayReader reader;
//     if (!reader.open(path)) { dlg.message(reader.errorText()); return; }
//     while (const auto rec = reader.next(dlg)) {
//         ... hand rec->answer to the engine, show txt::NextRecord ...
//     }
//     dlg.message(replay::txt::NoMoreRecords);
//
// Lines end at CR LF, LF or a lone CR; the last line counts without a line
// end; the first line is never examined. The file is read as Windows-1251.
// The file stays open from open() until its last record has been handed out.
class ReplayReader {
public:
    enum class Error {
        None,
        CannotOpen, // missing, a folder, unreadable, or failed while its records were read
        Empty,      // not even a first line
        TooLarge,   // above MaxFileSize
        Binary,     // holds NUL bytes: not a text log
        NotRegular, // a device, pipe or socket: never opened
    };

    struct Record {
        int lineNumber = 0; // 1-based line of the file
        QString answerText; // hexadecimal text of the answer
        QByteArray answer;  // its bytes; empty after a non-hexadecimal character
        bool notHex = false;
    };

    // Checks the file in one pass of bounded reads, without keeping it: it is
    // refused by its reported size before any read, and never read beyond
    // MaxFileSize + 1 bytes. False with error() set when it cannot be
    // replayed; nothing is handed out of a file that failed.
    bool open(const QString& path);

    Error error() const { return m_error; }
    // The message for a failed open: "Нет такого файла", or for a device,
    // pipe or socket a message naming it.
    QString errorText() const;

    // The next record; shows the non-hexadecimal message through dlg for a bad
    // answer text (the record is still returned, with an empty answer).
    // nullopt when no records are left. Should the file fail to read on the
    // way, "Нет такого файла" is shown through dlg and the replay ends.
    std::optional<Record> next(UserDialog& dlg);

    // Number of lines of the file, the first included.
    int lineCount() const { return m_lineCount; }

private:
    bool fill();
    // The next line without its line end: a view into the piece read, valid
    // until the next call, or into m_carry for a line that spans two reads.
    std::optional<QByteArrayView> nextLine();
    void finish();

    Error m_error = Error::None;
    QString m_path;
    QFile m_file;
    QByteArray m_chunk;    // the part of the file read and not yet handed out
    QByteArray m_carry;    // a line that spans two reads
    qsizetype m_pos = 0;   // next byte of m_chunk
    qint64 m_left = 0;     // bytes of the checked file not yet read into m_chunk
    bool m_skipLf = false; // the previous line ended in CR: an LF next belongs to it
    bool m_readFailed = false;
    int m_lineCount = 0;
    int m_linesRead = 0;
};

} // namespace replay
