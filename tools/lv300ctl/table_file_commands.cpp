// The table commands that work on files: the table fitted to a calibration,
// and the server's CSV out of and into table files.

#include "commands.h"
#include "link.h"

#include "tables/table_csv.h"
#include "tables/table_file.h"
#include "tables/table_fit.h"

#include <QJsonArray>

namespace ctl {

namespace {

QJsonArray pointsJson(const tables::TableTexts& t) {
    QJsonArray points;
    for (int i = 0; i < tables::Points; ++i)
        points.append(QJsonObject{
            {QStringLiteral("level"), int(tables::tableValue(t.readings[i]).value_or(0))},
            {QStringLiteral("litres"), int(tables::tableValue(t.litres[i]).value_or(0))}});
    return points;
}

QString pointsText(const tables::TableTexts& t) {
    QString text = QStringLiteral("point  level  litres\n");
    for (int i = 0; i < tables::Points; ++i)
        text += QStringLiteral("%1  %2  %3\n")
                    .arg(i, 5)
                    .arg(t.readings[i].trimmed(), 5)
                    .arg(t.litres[i].trimmed(), 6);
    return text;
}

int cmdFit(const Options& o, Output& out) {
    if (o.words.size() != 3)
        return usage(out,
                     QStringLiteral("table fit takes one file: table fit FILE.trr [-o TABLE.lv3]"));
    const tables::Captures captures = tables::loadTrr(o.word(2));
    if (!captures.error.isEmpty())
        return out.fail(FileError, QStringLiteral("file"), captures.error);
    const QString leftOut = tables::leftOutText(captures);
    const tables::TableFit fit = tables::fitTable(captures.points);
    if (!fit.table)
        return out.fail(FileError, QStringLiteral("file"),
                        fit.error + (leftOut.isEmpty() ? QString() : u'\n' + leftOut));
    const QString file = o.values.value(QStringLiteral("-o"));
    if (!file.isEmpty()) {
        QString error;
        if (!tables::saveLv3(file, *fit.table, &error))
            return out.fail(FileError, QStringLiteral("file"), error);
    }
    QJsonArray outOfOrder;
    for (int line : captures.outOfOrder)
        outOfOrder.append(line);
    QJsonObject j{{QStringLiteral("command"), QStringLiteral("table fit")},
                  {QStringLiteral("captures"), int(captures.points.size())},
                  {QStringLiteral("outOfOrder"), outOfOrder},
                  {QStringLiteral("withoutLevel"), captures.withoutLevel},
                  {QStringLiteral("points"), pointsJson(*fit.table)},
                  {QStringLiteral("deviation"), fit.deviation},
                  {QStringLiteral("deviationLevel"), fit.deviationAt}};
    if (!file.isEmpty())
        j.insert(QStringLiteral("file"), file);
    QString text = pointsText(*fit.table) + tables::deviationText(fit.deviation, fit.deviationAt);
    if (!leftOut.isEmpty())
        text += u'\n' + leftOut;
    out.result(j, text);
    return Done;
}

// What a table command works on: --from a table or calibration file, or the
// sensor's own table. 0 or the exit code.
struct Source {
    QList<tables::CurvePoint> points;        // for the server: the table's or the captures
    std::optional<tables::TableTexts> table; // the table, when the source is one
    tables::Captures captures;               // the captures, when the source is a calibration
};

int readSource(const Options& o, Output& out, TerminalDialog& dlg, Source& s) {
    const QString from = o.values.value(QStringLiteral("--from"));
    QString error;
    if (from.endsWith(QLatin1String(".trr"), Qt::CaseInsensitive)) {
        s.captures = tables::loadTrr(from);
        if (!s.captures.error.isEmpty())
            return out.fail(FileError, QStringLiteral("file"), s.captures.error);
        if (s.captures.points.size() < 2)
            return out.fail(FileError, QStringLiteral("file"),
                            tables::fitTable(s.captures.points).error);
        s.points = s.captures.points;
        return Done;
    }
    if (from.endsWith(QLatin1String(".lv3"), Qt::CaseInsensitive)) {
        const tables::Lv3Contents contents = tables::loadLv3(from);
        if (!contents.table)
            return out.fail(FileError, QStringLiteral("file"), contents.error);
        s.table = contents.table;
    } else if (!from.isEmpty()) {
        return usage(out, QStringLiteral("--from takes a table (.lv3) or a calibration (.trr)"));
    } else {
        Link link(o, out, dlg);
        if (const int rc = link.open())
            return rc;
        if (const int rc =
                link.exchange(tables::readRequest(link.address()), sensor::cmd::ReadTable))
            return rc;
        if (!link.table || !link.table->table)
            return out.fail(NoAnswer, QStringLiteral("bad-answer"),
                            link.table ? link.table->error : QStringLiteral("no table"));
        s.table = link.table->table;
    }
    const auto points = tables::tablePoints(*s.table, &error);
    if (!points)
        return out.fail(FileError, QStringLiteral("file"), error);
    s.points = *points;
    return Done;
}

int cmdExport(const Options& o, Output& out, TerminalDialog& dlg) {
    if (o.words.size() != 3)
        return usage(out, QStringLiteral("table export FILE.csv [--from TABLE.lv3|CAL.trr]"));
    Source s;
    if (const int rc = readSource(o, out, dlg, s))
        return rc;
    QString error;
    if (!tables::saveCsv(o.word(2), s.points, &error))
        return out.fail(FileError, QStringLiteral("file"), error);
    out.result(QJsonObject{{QStringLiteral("command"), QStringLiteral("table export")},
                           {QStringLiteral("file"), o.word(2)},
                           {QStringLiteral("pairs"), int(s.points.size())}},
               QStringLiteral("%1 pairs written to %2").arg(s.points.size()).arg(o.word(2)));
    return Done;
}

int cmdImport(const Options& o, Output& out) {
    const QString file = o.values.value(QStringLiteral("-o"));
    if (o.words.size() != 3 || file.isEmpty())
        return usage(out, QStringLiteral("table import FILE.csv -o TABLE.lv3"));
    const tables::CsvContents csv = tables::loadCsv(o.word(2));
    if (!csv.error.isEmpty())
        return out.fail(FileError, QStringLiteral("file"), csv.error);
    const tables::TableFit fit = tables::fitTable(csv.points);
    if (!fit.table)
        return out.fail(FileError, QStringLiteral("file"), fit.error);
    QString error;
    if (!tables::saveLv3(file, *fit.table, &error))
        return out.fail(FileError, QStringLiteral("file"), error);
    QJsonObject j{{QStringLiteral("command"), QStringLiteral("table import")},
                  {QStringLiteral("pairs"), int(csv.points.size())},
                  {QStringLiteral("points"), pointsJson(*fit.table)},
                  {QStringLiteral("file"), file}};
    QString text = pointsText(*fit.table);
    if (csv.points.size() > tables::Points) {
        j.insert(QStringLiteral("deviation"), fit.deviation);
        j.insert(QStringLiteral("deviationLevel"), fit.deviationAt);
        text += tables::deviationText(fit.deviation, fit.deviationAt);
    }
    out.result(j, text);
    return Done;
}

} // namespace

bool isTableFileCommand(const Options& o) {
    static const QStringList words{QStringLiteral("fit"), QStringLiteral("export"),
                                   QStringLiteral("import")};
    return o.command() == QLatin1String("table") && words.contains(o.word(1));
}

int cmdTableFile(const Options& o, Output& out, TerminalDialog& dlg) {
    if (o.word(1) == QLatin1String("export"))
        return cmdExport(o, out, dlg);
    if (o.word(1) == QLatin1String("import"))
        return cmdImport(o, out);
    return cmdFit(o, out);
}

} // namespace ctl
