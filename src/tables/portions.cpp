#include "tables/portions.h"

#include "base/text_1251.h"
#include "base/user_dialog.h"
#include "sensor/requests.h"
#include "tables/table_texts.h"
#include "tables/text_lines.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <limits>

namespace tables {

PortionLayout tabLayout() {
    return {
        {QStringLiteral("№ проции"), QStringLiteral("Литры"), QStringLiteral("Уровень")}, 7, true};
}

PortionLayout windowLayout() {
    return {{QStringLiteral("Литры"), QStringLiteral("Уровень")}, 4, false};
}

PortionCalibration::PortionCalibration(PortionLayout layout, QString folder)
    : layout_(std::move(layout)), folder_(std::move(folder)) {
    // The grid as the window starts: one data row more than a clear keeps.
    for (int i = 0; i <= layout_.keptRows; ++i)
        s_.rows.append(QStringList(layout_.headers.size(), QString()));
}

QString PortionCalibration::lineOf(int row) const {
    if (row < 1 || row > s_.rows.size())
        return {};
    return s_.rows[row - 1].join(QLatin1Char(';'));
}

void PortionCalibration::clearGrid(State& s) const {
    s.rows.resize(layout_.keptRows);
    for (QStringList& r : s.rows)
        r = QStringList(layout_.headers.size(), QString());
    s.currentRow = 1;
    s.litres = 0;
    s.topRow = 1;
}

void PortionCalibration::setCell(State& s, int row, int column, const QString& text) const {
    s.rows[row - 1][column] = text;
}

void PortionCalibration::prepareRow(State& s) const {
    if (s.currentRow > layout_.keptRows) {
        while (s.rows.size() < s.currentRow)
            s.rows.append(QStringList(layout_.headers.size(), QString()));
        s.topRow = s.currentRow;
    }
    setCell(s, s.currentRow, layout_.litresColumn(), QString::number(s.litres));
    if (layout_.numbered)
        setCell(s, s.currentRow, 0, QString::number(s.currentRow));
}

std::optional<int> PortionCalibration::askPortion(UserDialog& dialog, bool zeroAllowed) {
    const auto entry = dialog.inputBox(txt::PortionPrompt, txt::PortionTitle, QStringLiteral("0"));
    if (!entry)
        return std::nullopt;
    const auto v = sensor::toInt16(*entry);
    if (!v || (*v == 0 && !zeroAllowed))
        return std::nullopt;
    return *v;
}

void PortionCalibration::newCalibration(UserDialog& dialog) {
    const auto portion = askPortion(dialog, false);
    if (!portion) {
        dialog.message(txt::BadPortion);
        return;
    }
    const QString path = dialog.saveFileName(txt::SaveTitle, txt::TrrFilter, folder_);
    if (path.isEmpty())
        return;
    // The header goes in whole or the old file stays as it was.
    QSaveFile file(path);
    const QByteArray header = text1251::encode(headerLine()) + text1251::CrLf;
    if (!file.open(QIODevice::WriteOnly) || file.write(header) != header.size() || !file.commit()) {
        const QString why = file.errorString();
        file.cancelWriting();
        dialog.message(QStringLiteral("Не удалось создать файл %1: %2")
                           .arg(QDir::toNativeSeparators(path), why));
        return;
    }
    State n = s_;
    clearGrid(n);
    prepareRow(n);
    n.portion = *portion;
    n.fileName = QFileInfo(path).fileName();
    n.filePath = path;
    s_ = n;
}

void PortionCalibration::capture(const QString& levelText, UserDialog& dialog) {
    if (s_.fileName.isEmpty()) {
        dialog.message(txt::NoFile);
        return;
    }
    State n = s_;
    setCell(n, n.currentRow, layout_.levelColumn(), levelText);
    QByteArray line =
        text1251::encode(n.rows[n.currentRow - 1].join(QLatin1Char(';'))) + text1251::CrLf;
    {
        // A resumed file whose last line has no line end (edited by hand)
        // gets one first, so the new row does not run into that line.
        QFile last(n.filePath);
        char c = '\n';
        if (last.open(QIODevice::ReadOnly) && last.size() > 0 && last.seek(last.size() - 1) &&
            last.getChar(&c) && c != '\n' && c != '\r')
            line.prepend(text1251::CrLf);
    }
    QFile file(n.filePath);
    bool ok = file.open(QIODevice::WriteOnly | QIODevice::Append);
    const qint64 before = ok ? file.size() : 0;
    ok = ok && file.write(line) == line.size() && file.flush();
    if (!ok) {
        const QString why = file.errorString();
        if (file.isOpen())
            file.resize(before); // no half line stays behind
        file.close();
        dialog.message(QStringLiteral("Не удалось дописать файл %1: %2. Значение не записано.")
                           .arg(QDir::toNativeSeparators(n.filePath), why));
        return;
    }
    file.close();
    ++n.currentRow;
    n.litres += n.portion;
    prepareRow(n);
    s_ = n;
}

void PortionCalibration::changePortion(UserDialog& dialog) {
    const auto portion = askPortion(dialog, false);
    if (!portion) {
        dialog.message(txt::BadPortion);
        return;
    }
    s_.portion = *portion;
    if (s_.currentRow > 1) {
        const auto above = sensor::toInt32(s_.rows[s_.currentRow - 2][layout_.litresColumn()]);
        s_.litres = qint64(above.value_or(0)) + s_.portion;
        setCell(s_, s_.currentRow, layout_.litresColumn(), QString::number(s_.litres));
    }
}

void PortionCalibration::resume(UserDialog& dialog) {
    const QString path = dialog.openFileName(txt::OpenTitle, txt::TrrFilter, folder_);
    if (path.isEmpty())
        return;
    // Read and check the whole file before anything changes.
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() > MaxTextFileSize) {
        dialog.message(txt::NoSuchFile);
        return;
    }
    const QList<QByteArray> lines = splitLines(file.readAll());
    const bool readOk = file.error() == QFileDevice::NoError;
    file.close();
    if (!readOk || lines.isEmpty()) {
        dialog.message(txt::NoSuchFile);
        return;
    }
    const int columns = int(layout_.headers.size());
    QList<QStringList> data;
    QList<qint32> litres;
    for (qsizetype i = 1; i < lines.size(); ++i) {
        if (lines[i].isEmpty())
            continue;
        const QStringList fields = text1251::decode(lines[i]).split(QLatin1Char(';'));
        const auto l = fields.size() == columns ? sensor::toInt32(fields[layout_.litresColumn()])
                                                : std::nullopt;
        if (!l) {
            dialog.message(txt::NoSuchFile);
            return;
        }
        data.append(fields);
        litres.append(*l);
    }
    int derivedPortion = 0;
    if (data.size() >= 2) {
        const qint64 p = qint64(litres.last()) - litres[litres.size() - 2];
        const qint64 next = qint64(litres.last()) + p;
        if (p < std::numeric_limits<qint16>::min() || p > std::numeric_limits<qint16>::max() ||
            next < std::numeric_limits<qint32>::min() ||
            next > std::numeric_limits<qint32>::max()) {
            dialog.message(txt::NoSuchFile);
            return;
        }
        derivedPortion = int(p);
    }

    State n = s_;
    clearGrid(n);
    prepareRow(n);
    for (const QStringList& fields : data) {
        n.rows[n.currentRow - 1] = fields;
        ++n.currentRow;
        prepareRow(n);
    }
    n.fileName = QFileInfo(path).fileName();
    n.filePath = path;
    if (data.size() >= 2) {
        n.portion = derivedPortion;
        n.litres = qint64(litres.last()) + derivedPortion;
    } else {
        // Nothing to take the portion from: it is asked (zero accepted); a bad
        // entry keeps the portion in effect.
        if (const auto portion = askPortion(dialog, true))
            n.portion = *portion;
        else
            dialog.message(txt::BadPortion);
        if (data.size() == 1)
            n.litres = qint64(litres.last()) + n.portion;
    }
    setCell(n, n.currentRow, layout_.litresColumn(), QString::number(n.litres));
    s_ = n;
}

} // namespace tables
