#include "tables/portions.h"

#include "base/bounded_file.h"
#include "base/text_1251.h"
#include "base/user_dialog.h"
#include "sensor/requests.h"
#include "tables/table_texts.h"
#include "tables/text_lines.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <algorithm>
#include <limits>

namespace tables {

namespace {

bool fitsIn32Bits(qint64 v) {
    return v >= std::numeric_limits<qint32>::min() && v <= std::numeric_limits<qint32>::max();
}

} // namespace

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
    s.redrawFrom = 1;
}

void PortionCalibration::setCell(State& s, int row, int column, const QString& text) const {
    s.rows[row - 1][column] = text;
    s.redrawFrom = std::min(s.redrawFrom, row);
}

void PortionCalibration::prepareRow(State& s) const {
    if (s.currentRow > layout_.keptRows) {
        while (s.rows.size() < s.currentRow)
            s.rows.append(QStringList(layout_.headers.size(), QString()));
        s.redrawFrom = std::min(s.redrawFrom, s.currentRow);
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
    n.fileBytes = header.size();
    s_ = n;
}

void PortionCalibration::capture(const QString& levelText, UserDialog& dialog) {
    if (s_.fileName.isEmpty()) {
        dialog.message(txt::NoFile);
        return;
    }
    if (s_.currentRow > MaxPortionRows) {
        dialog.message(txt::rowLimitReached(MaxPortionRows));
        return;
    }
    // The row written and the total after it must both stay within 32 bits,
    // or the file could not be resumed.
    const qint64 next = s_.litres + s_.portion;
    if (!fitsIn32Bits(s_.litres) || !fitsIn32Bits(next)) {
        dialog.message(txt::litresOutOfRange(fitsIn32Bits(s_.litres) ? next : s_.litres));
        return;
    }
    State n = s_;
    setCell(n, n.currentRow, layout_.levelColumn(), levelText);
    const QByteArray line =
        text1251::encode(n.rows[n.currentRow - 1].join(QLatin1Char(';'))) + text1251::CrLf;

    // The complete lines of the file so far, then the new line, into a copy
    // that replaces the file once it is whole.
    auto fail = [&](const QString& why) {
        dialog.message(QStringLiteral("Не удалось дописать файл %1: %2. Значение не записано.")
                           .arg(QDir::toNativeSeparators(n.filePath), why));
    };
    const QFileInfo info(n.filePath);
    if (info.exists() && !info.isFile() && !info.isDir())
        return fail(txt::notRegularFile(n.filePath));
    QFile old(n.filePath);
    if (!old.open(QIODevice::ReadOnly))
        return fail(old.errorString());
    QByteArray bytes = old.read(n.fileBytes);
    if (old.error() != QFileDevice::NoError)
        return fail(old.errorString());
    old.close();
    // A last line without a line end (edited by hand) gets one first, so the
    // new row does not run into it.
    if (!bytes.isEmpty() && !bytes.endsWith('\n') && !bytes.endsWith('\r'))
        bytes += text1251::CrLf;
    bytes += line;
    QSaveFile file(n.filePath);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        const QString why = file.errorString();
        file.cancelWriting();
        return fail(why);
    }
    n.fileBytes = bytes.size();
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
    const bounded::File file = bounded::read(path, MaxTextFileSize);
    if (file.status == bounded::Status::NotRegular) {
        dialog.message(txt::notRegularFile(path) + QStringLiteral(" Тарировка не возобновлена."));
        return;
    }
    const QByteArray& bytes = file.bytes;
    const auto header = lineAt(bytes, 0);
    if (file.status != bounded::Status::Ok || !header) {
        dialog.message(txt::NoSuchFile);
        return;
    }
    const int columns = int(layout_.headers.size());
    QList<QStringList> data;
    QList<qint32> litres;
    qint64 keptBytes = bytes.size();
    QString cutLine;
    for (auto l = lineAt(bytes, header->next); l; l = lineAt(bytes, l->next)) {
        if (l->length == 0)
            continue;
        const QString text = text1251::decode(bytes.mid(l->start, l->length));
        const QStringList fields = text.split(QLatin1Char(';'));
        if (!l->ended && fields.size() < columns) {
            // Cut off while it was written: the rows before it stand.
            keptBytes = l->start;
            cutLine = text;
            break;
        }
        const auto value = fields.size() == columns
                               ? sensor::toInt32(fields[layout_.litresColumn()])
                               : std::nullopt;
        if (!value) {
            dialog.message(txt::NoSuchFile);
            return;
        }
        if (data.size() == MaxPortionRows) {
            dialog.message(txt::tooManyRows(path, MaxPortionRows));
            return;
        }
        data.append(fields);
        litres.append(*value);
    }
    int derivedPortion = 0;
    if (data.size() >= 2) {
        const qint64 p = qint64(litres.last()) - litres[litres.size() - 2];
        if (p < std::numeric_limits<qint16>::min() || p > std::numeric_limits<qint16>::max() ||
            !fitsIn32Bits(qint64(litres.last()) + p)) {
            dialog.message(txt::NoSuchFile);
            return;
        }
        derivedPortion = int(p);
    }
    if (!cutLine.isNull())
        dialog.message(txt::LastLineCut + cutLine);

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
    n.fileBytes = keptBytes;
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
