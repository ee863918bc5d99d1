#include "replay/replay.h"

#include "base/text_1251.h"
#include "base/user_dialog.h"

#include <QFile>
#include <QFileInfo>

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

// The byte lines of a file: ends at CR LF, LF or a lone CR; a final line end
// does not open another line.
QList<QByteArray> splitLines(const QByteArray& bytes) {
    QList<QByteArray> lines;
    qsizetype start = 0;
    qsizetype i = 0;
    while (i < bytes.size()) {
        const char c = bytes[i];
        if (c == '\r' || c == '\n') {
            lines.append(bytes.mid(start, i - start));
            if (c == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n')
                ++i;
            start = i + 1;
        }
        ++i;
    }
    if (start < bytes.size())
        lines.append(bytes.mid(start));
    return lines;
}

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

QByteArray conv_str(const QString& text, UserDialog& dlg) {
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

bool ReplayReader::open(const QString& path) {
    m_lines.clear();
    m_nextLine = 1;
    m_error = Error::None;

    const QFileInfo info(path);
    QFile file(path);
    if (path.isEmpty() || info.isDir() || !file.open(QIODevice::ReadOnly)) {
        m_error = Error::CannotOpen;
        return false;
    }
    // Read at most one byte beyond the limit, so that a huge file (or an
    // endless device) is neither loaded whole nor waited for.
    const QByteArray bytes = file.read(MaxFileSize + 1);
    const bool readFailed = file.error() != QFileDevice::NoError;
    file.close();
    if (readFailed) {
        m_error = Error::CannotOpen;
        return false;
    }
    if (bytes.size() > MaxFileSize) {
        m_error = Error::TooLarge;
        return false;
    }
    if (bytes.isEmpty()) {
        m_error = Error::Empty;
        return false;
    }
    if (bytes.contains('\0')) {
        m_error = Error::Binary;
        return false;
    }
    const QList<QByteArray> lines = splitLines(bytes);
    m_lines.reserve(lines.size());
    for (const QByteArray& l : lines)
        m_lines.append(text1251::decode(l));
    return true;
}

QString ReplayReader::errorText() const {
    return m_error == Error::None ? QString() : txt::NoSuchFile;
}

std::optional<ReplayReader::Record> ReplayReader::next(UserDialog& dlg) {
    while (m_error == Error::None && m_nextLine < m_lines.size()) {
        const int index = m_nextLine++;
        const auto text = answerTextOfLine(m_lines[index]);
        if (!text)
            continue;
        Record rec;
        rec.lineNumber = index + 1;
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
