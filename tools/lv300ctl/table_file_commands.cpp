// The table commands that work on files: the table fitted to a calibration,
// and the server's CSV out of and into table files.

#include "commands.h"
#include "link.h"

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

} // namespace

bool isTableFileCommand(const Options& o) {
    return o.command() == QLatin1String("table") && o.word(1) == QLatin1String("fit");
}

int cmdTableFile(const Options& o, Output& out, TerminalDialog&) {
    return cmdFit(o, out);
}

} // namespace ctl
