// The table commands that work on files: the table fitted to a calibration,
// and the server's CSV out of and into table files.

#include "commands.h"
#include "link.h"

#include "tables/gui/calibration_report.h"
#include "tables/table_csv.h"
#include "tables/table_file.h"
#include "tables/table_fit.h"

#include <QDateTime>

#include <QJsonArray>

namespace ctl {

namespace {

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
                  {QStringLiteral("points"), pointsOf(*fit.table)},
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
        if (const int rc = link.readTable())
            return rc;
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
                  {QStringLiteral("points"), pointsOf(*fit.table)},
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

// The protocol: the table and the captures from --from (a calibration is
// fitted), the sensor's own facts (and its table without --from) read when
// --port is given; without a port those lines are left to write on.
int cmdReport(const Options& o, Output& out, TerminalDialog& dlg) {
    if (o.words.size() != 3)
        return usage(out, QStringLiteral("table report FILE.pdf [--from TABLE.lv3|CAL.trr] "
                                         "[--vehicle T] [--tank T] [--by T]"));
    const QString from = o.values.value(QStringLiteral("--from"));
    if (from.isEmpty() && o.port.isEmpty())
        return usage(out, QStringLiteral("table report needs --from or --port"));
    tables::ReportData data;
    data.when = QDateTime::currentDateTime();
    data.vehicle = o.values.value(QStringLiteral("--vehicle"));
    data.tank = o.values.value(QStringLiteral("--tank"));
    data.performedBy = o.values.value(QStringLiteral("--by"));
    if (from.endsWith(QLatin1String(".trr"), Qt::CaseInsensitive)) {
        const tables::Captures captures = tables::loadTrr(from);
        if (!captures.error.isEmpty())
            return out.fail(FileError, QStringLiteral("file"), captures.error);
        const tables::TableFit fit = tables::fitTable(captures.points);
        if (!fit.table)
            return out.fail(FileError, QStringLiteral("file"), fit.error);
        data.table = *fit.table;
        data.captures = captures.points;
    } else if (from.endsWith(QLatin1String(".lv3"), Qt::CaseInsensitive)) {
        const tables::Lv3Contents contents = tables::loadLv3(from);
        if (!contents.table)
            return out.fail(FileError, QStringLiteral("file"), contents.error);
        data.table = *contents.table;
    } else if (!from.isEmpty()) {
        return usage(out, QStringLiteral("--from takes a table (.lv3) or a calibration (.trr)"));
    }
    if (!o.port.isEmpty()) {
        Link link(o, out, dlg);
        if (const int rc = link.open())
            return rc;
        if (const int rc = link.connect())
            return rc;
        if (link.identity && link.identity->serial)
            data.serial = link.identity->serialText();
        if (link.identity)
            data.firmware = link.identity->versionText();
        data.address = QString::number(link.address());
        if (link.data && link.data->empty)
            data.empty = QString::number(*link.data->empty);
        if (link.data && link.data->full)
            data.full = QString::number(*link.data->full);
        if (from.isEmpty()) {
            if (const int rc = link.readTable())
                return rc;
            data.table = *link.table->table;
        }
    } else {
        toStderr(QStringLiteral("Без --port датчик не прочитан: его серийный номер, версия, адрес "
                                "и уровни оставлены в протоколе пустыми строками.\n"));
    }
    QString error;
    if (!tables::tablePoints(data.table, &error))
        return out.fail(FileError, QStringLiteral("file"),
                        QStringLiteral("Протокол не составлен: ") + error);
    if (!tables::writeReportPdf(o.word(2), data, &error))
        return out.fail(FileError, QStringLiteral("file"), error);
    const int pages = tables::reportPages(data);
    QJsonObject j{{QStringLiteral("command"), QStringLiteral("table report")},
                  {QStringLiteral("file"), o.word(2)},
                  {QStringLiteral("pages"), pages},
                  {QStringLiteral("captures"), int(data.captures.size())}};
    QString text = QStringLiteral("%1: %2 page(s)").arg(o.word(2)).arg(pages);
    if (const auto dev = tables::tableDeviation(data.table, data.captures)) {
        j.insert(QStringLiteral("deviation"), dev->litres);
        j.insert(QStringLiteral("deviationLevel"), dev->level);
        text += u'\n' + tables::deviationText(dev->litres, dev->level);
    }
    out.result(j, text);
    return Done;
}

} // namespace

bool isTableReport(int argc, char** argv) {
    bool table = false;
    for (int i = 1; i < argc; ++i) {
        const QByteArray a(argv[i]);
        if (a == "table")
            table = true;
        else if (table && a == "report")
            return true;
    }
    return false;
}

bool isTableFileCommand(const Options& o) {
    static const QStringList words{QStringLiteral("fit"), QStringLiteral("export"),
                                   QStringLiteral("import"), QStringLiteral("report")};
    return o.command() == QLatin1String("table") && words.contains(o.word(1));
}

int cmdTableFile(const Options& o, Output& out, TerminalDialog& dlg) {
    if (o.word(1) == QLatin1String("export"))
        return cmdExport(o, out, dlg);
    if (o.word(1) == QLatin1String("import"))
        return cmdImport(o, out);
    if (o.word(1) == QLatin1String("report"))
        return cmdReport(o, out, dlg);
    return cmdFit(o, out);
}

} // namespace ctl
