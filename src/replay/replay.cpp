#include "replay/replay.h"

#include "base/bounded_file.h"
#include "base/text_1251.h"
#include "base/user_dialog.h"

#include <QDir>
#include <QFile>
#include <algorithm>

namespace replay {

namespace {

int hexDigit(QChar c) {
    const char16_t u = c.unicode();
    if (u >= u'0' && u <= u'9')
        return u - u'0';
    if (u >= u'A' && u <= u'F')
        return u - u'A' + 10;
    if (u >= u'a' && u <= u'f')
        return u - u'a' + 10;
    return -1;
}

const QString RecordMarker = QStringLiteral("485=");

// Reads of the file go in pieces of this size.
constexpr qint64 ChunkSize = 256 * 1024;

} // namespace

std::optional<QByteArray> hexToBytes(const QString& text) {
    QByteArray result;
    result.reserve(text.size() / 2);
    bool high = true;
    int value = 0;
    for (QChar c : text) {
        const int d = hexDigit(c);
        if (d < 0)
            return std::nullopt;
        if (high) {
            value = d * 16;
            high = false;
        } else {
            result.append(static_cast<char>(value + d));
            value = 0;
            high = true;
        }
    }
    return result;
}

QByteArray hexToBytesOrWarn(const QString& text, UserDialog& dlg) {
    const auto bytes = hexToBytes(text);
    if (!bytes) {
        dlg.message(txt::NotHex);
        return {};
    }
    return *bytes;
}

std::optional<QString> answerTextOfLine(const QString& line) {
    const qsizetype marker = line.indexOf(RecordMarker);
    if (marker < 0)
        return std::nullopt;
    // Counting the characters after "=" from 1: 1..3 skipped, 5 must be "E",
    // the answer runs from 4 to the end of the line.
    const qsizetype first = marker + RecordMarker.size();
    const qsizetype fifth = first + 4;
    if (fifth >= line.size() || line[fifth] != QLatin1Char('E'))
        return std::nullopt;
    return line.mid(first + 3);
}

QString txt::notRegularFile(const QString& path) {
    return QStringLiteral("Файл %1 не является обычным файлом (это устройство или канал).")
        .arg(QDir::toNativeSeparators(path));
}

void ReplayReader::finish() {
    m_file.close();
    m_chunk.clear();
    m_pos = 0;
    m_left = 0;
}

bool ReplayReader::open(const QString& path) {
    finish();
    m_error = Error::None;
    m_path = path;
    m_skipLf = false;
    m_readFailed = false;
    m_lineCount = 0;
    m_linesRead = 0;

    auto fail = [this](Error e) {
        finish();
        m_lineCount = 0;
        m_error = e;
        return false;
    };
    switch (bounded::open(m_file, path, MaxFileSize)) {
    case bounded::Status::Ok:
        break;
    case bounded::Status::NotRegular:
        return fail(Error::NotRegular);
    case bounded::Status::TooLarge:
        return fail(Error::TooLarge);
    default:
        return fail(Error::CannotOpen);
    }
    // One pass over at most one byte beyond the limit: size, NUL bytes and
    // lines; only one piece is held at a time.
    qint64 total = 0;
    bool lastWasCr = false;
    bool lineOpen = false;
    while (total <= MaxFileSize) {
        const QByteArray piece = m_file.read(std::min(ChunkSize, MaxFileSize + 1 - total));
        if (m_file.error() != QFileDevice::NoError)
            return fail(Error::CannotOpen);
        if (piece.isEmpty())
            break;
        total += piece.size();
        if (total > MaxFileSize)
            return fail(Error::TooLarge);
        if (piece.contains('\0'))
            return fail(Error::Binary);
        for (const char c : piece) {
            if (c == '\n') {
                if (!lastWasCr)
                    ++m_lineCount;
                lineOpen = false;
            } else if (c == '\r') {
                ++m_lineCount;
                lineOpen = false;
            } else {
                lineOpen = true;
            }
            lastWasCr = c == '\r';
        }
    }
    if (total == 0)
        return fail(Error::Empty);
    if (lineOpen)
        ++m_lineCount;
    // Only the bytes checked here are handed out, whatever happens to the
    // file meanwhile.
    if (!m_file.seek(0))
        return fail(Error::CannotOpen);
    m_left = total;
    return true;
}

QString ReplayReader::errorText() const {
    switch (m_error) {
    case Error::None:
        return {};
    case Error::NotRegular:
        return txt::notRegularFile(m_path);
    default:
        return txt::NoSuchFile;
    }
}

bool ReplayReader::fill() {
    if (m_left <= 0 || !m_file.isOpen())
        return false;
    m_chunk = m_file.read(std::min(ChunkSize, m_left));
    m_pos = 0;
    if (m_file.error() != QFileDevice::NoError || m_chunk.isEmpty()) {
        // The file went away or shrank since it was checked.
        m_readFailed = true;
        m_chunk.clear();
        return false;
    }
    m_left -= m_chunk.size();
    return true;
}

std::optional<QByteArrayView> ReplayReader::nextLine() {
    m_carry.clear();
    bool started = false;
    for (;;) {
        if (m_pos >= m_chunk.size() && !fill())
            return started ? std::optional<QByteArrayView>(m_carry) : std::nullopt;
        const char* d = m_chunk.constData();
        const qsizetype n = m_chunk.size();
        if (m_skipLf) {
            m_skipLf = false;
            if (d[m_pos] == '\n') {
                ++m_pos;
                continue;
            }
        }
        const qsizetype start = m_pos;
        qsizetype i = start;
        while (i < n && d[i] != '\r' && d[i] != '\n')
            ++i;
        if (i < n) {
            m_skipLf = d[i] == '\r';
            m_pos = i + 1;
            if (!started) // the usual case: the whole line is in this piece
                return QByteArrayView(d + start, i - start);
            m_carry.append(d + start, i - start);
            return QByteArrayView(m_carry);
        }
        // The line runs on into the next piece.
        m_carry.append(d + start, i - start);
        started = true;
        m_pos = i;
    }
}

std::optional<ReplayReader::Record> ReplayReader::next(UserDialog& dlg) {
    while (m_error == Error::None && m_file.isOpen()) {
        const auto line = nextLine();
        if (!line) {
            const bool failed = m_readFailed;
            finish();
            if (failed) {
                m_error = Error::CannotOpen;
                dlg.message(txt::NoSuchFile);
            }
            return std::nullopt;
        }
        const int number = ++m_linesRead;
        // The first line is never examined. Windows-1251 keeps "485=" as it
        // is, so a line without it in its bytes holds no record and is not
        // decoded.
        if (number == 1 || !line->contains("485="))
            continue;
        const auto text = answerTextOfLine(text1251::decode(line->toByteArray()));
        if (!text)
            continue;
        Record rec;
        rec.lineNumber = number;
        rec.answerText = *text;
        const auto bytes = hexToBytes(*text);
        if (bytes) {
            rec.answer = *bytes;
        } else {
            dlg.message(txt::NotHex);
            rec.notHex = true;
        }
        return rec;
    }
    return std::nullopt;
}

} // namespace replay
