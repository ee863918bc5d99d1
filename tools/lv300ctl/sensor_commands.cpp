// The commands that work on one sensor: reading it and the writes of the
// settings page and the table window.

#include "commands.h"
#include "link.h"

#include "link/frame.h"
#include "tables/table_file.h"

#include <QDateTime>
#include <QJsonArray>
#include <functional>

namespace ctl {

namespace {

int cmdScan(Link& link, Output& out) {
    link.session().apply(sensor::networkPoll());
    const QByteArray request = link.session().pending();
    link.session().setPending({});
    if (const int rc = link.exchange(request, std::nullopt))
        return rc;
    QJsonArray list;
    QStringList text;
    for (quint8 a : std::as_const(link.found)) {
        list.append(a);
        text << QString::number(a);
    }
    if (list.isEmpty())
        return out.fail(NoAnswer, QStringLiteral("no-answer"),
                        QStringLiteral("no sensor answered the network poll"));
    out.result(QJsonObject{{QStringLiteral("addresses"), list}}, text.join(u' '));
    return Done;
}

int cmdInfo(Link& link, Output& out) {
    if (const int rc = link.connect())
        return rc;
    const sensor::IdentityAnswer& id = *link.identity;
    const sensor::DataAnswer& d = *link.data;
    QJsonObject o = dataObject(d);
    o.insert(QStringLiteral("address"), link.address());
    o.insert(QStringLiteral("serial"), id.serial ? QJsonValue(qint64(*id.serial)) : QJsonValue());
    o.insert(QStringLiteral("firmware"), id.firmware ? QJsonValue(*id.firmware) : QJsonValue());
    o.insert(QStringLiteral("version"), id.versionText());
    o.insert(QStringLiteral("coefficient"),
             d.coefficient ? QJsonValue(qint64(*d.coefficient)) : QJsonValue());
    const quint8 m = d.modeByte.value_or(0);
    o.insert(QStringLiteral("mode"), d.modeByte ? QJsonValue(m) : QJsonValue());
    o.insert(QStringLiteral("mode_name"), sensor::outputName(m));
    o.insert(QStringLiteral("mode_flags"), QJsonArray::fromStringList(sensor::flagNames(m)));
    o.insert(QStringLiteral("lamp"), d.lampThreshold ? QJsonValue(*d.lampThreshold) : QJsonValue());
    const auto smoothing = [&] {
        return sensor::Smoothing::fromByte(d.smoothingByte.value_or(0)).value;
    };
    o.insert(QStringLiteral("smoothing"), d.smoothingByte ? QJsonValue(smoothing()) : QJsonValue());
    const auto num = [](const std::optional<quint32>& v) {
        return v ? QString::number(*v) : QStringLiteral("-");
    };
    QString text;
    text += QStringLiteral("address      %1\n").arg(link.address());
    text += QStringLiteral("serial       %1\n").arg(id.serialText());
    text += QStringLiteral("firmware     %1 (%2)\n")
                .arg(id.firmware ? QString::number(*id.firmware) : QStringLiteral("-"),
                     id.versionText());
    text += QStringLiteral("temperature  %1\n").arg(d.temperatureText());
    text += QStringLiteral("level        %1\n").arg(d.level);
    text += QStringLiteral("raw          %1\n").arg(num(d.raw));
    text += QStringLiteral("empty        %1\n").arg(num(d.empty));
    text += QStringLiteral("full         %1\n").arg(num(d.full));
    text += QStringLiteral("coefficient  %1\n").arg(num(d.coefficient));
    text += QStringLiteral("mode         %1 (%2%3)\n")
                .arg(QString::number(m), sensor::outputName(m),
                     sensor::flagNames(m).isEmpty()
                         ? QString()
                         : QStringLiteral(", ") + sensor::flagNames(m).join(u','));
    text += QStringLiteral("lamp         %1\n")
                .arg(d.lampThreshold ? QString::number(*d.lampThreshold) : QStringLiteral("-"));
    text += QStringLiteral("smoothing    %1\n")
                .arg(d.smoothingByte ? QString::number(smoothing()) : QStringLiteral("-"));
    out.result(o, text);
    return Done;
}

int cmdWatch(const Options& o, Link& link, Output& out) {
    bool ok = true;
    const int count = o.values.value(QStringLiteral("--count"), QStringLiteral("0")).toInt(&ok);
    if (!ok || count < 0)
        return usage(out, QStringLiteral("--count is a whole number, 0 for no end"));
    const double interval =
        o.values.value(QStringLiteral("--interval"), QStringLiteral("1")).toDouble(&ok);
    if (!ok || interval < 0 || interval > 3600)
        return usage(out, QStringLiteral("--interval is 0..3600 seconds"));
    const bool csv = o.flag(QStringLiteral("--csv"));
    if (csv && !o.json)
        out.result({}, QStringLiteral("time,address,level,raw,empty,full,temperature"));
    for (int n = 0; count == 0 || n < count; ++n) {
        if (n > 0 && !pause(int(interval * 1000)))
            return out.fail(Cancelled, QStringLiteral("cancelled"), QStringLiteral("cancelled"));
        if (interrupted())
            return out.fail(Cancelled, QStringLiteral("cancelled"), QStringLiteral("cancelled"));
        if (const int rc = link.readData())
            return rc;
        const sensor::DataAnswer& d = *link.data;
        const QString time = QDateTime::currentDateTime().toString(Qt::ISODateWithMs);
        QJsonObject j = dataObject(d);
        j.insert(QStringLiteral("time"), time);
        const auto v = [](const std::optional<quint32>& x) {
            return x ? QString::number(*x) : QString();
        };
        const QString text = csv ? QStringList{time,
                                               QString::number(d.address),
                                               QString::number(d.level),
                                               v(d.raw),
                                               v(d.empty),
                                               v(d.full),
                                               QString::number(qint8(d.temperatureByte))}
                                       .join(u',')
                                 : QStringLiteral("%1 level %2 raw %3 empty %4 full %5 t %6")
                                       .arg(time, QString::number(d.level), v(d.raw), v(d.empty),
                                            v(d.full), d.temperatureText());
        out.result(j, text);
    }
    return Done;
}

int cmdMode(const Options& o, Link& link, Output& out, TerminalDialog& dlg) {
    const std::optional<sensor::Output> output = sensor::outputNamed(o.word(1));
    if (!output || o.words.size() != 2)
        return usage(
            out,
            QStringLiteral("mode takes one of rs485, analog, frequency, periodic, periodic-rs485"));
    std::optional<int> smoothing;
    if (o.values.contains(QStringLiteral("--smoothing"))) {
        bool ok = false;
        const int s = o.values.value(QStringLiteral("--smoothing")).toInt(&ok);
        if (!ok || s < 0 || s > 15)
            return usage(out, QStringLiteral("--smoothing is 0..15"));
        smoothing = s;
    }
    if (const int rc = link.connect())
        return rc;
    sensor::Mode mode;
    mode.output = *output;
    mode.inverted = o.flag(QStringLiteral("--invert"));
    mode.range4096 = o.flag(QStringLiteral("--range4096"));
    mode.litres = o.flag(QStringLiteral("--litres"));
    mode.percent = o.flag(QStringLiteral("--percent"));
    sensor::Smoothing s = sensor::Smoothing::fromByte(link.data->smoothingByte.value_or(0));
    if (smoothing)
        s.value = *smoothing;
    return link.run(sensor::setMode(link.session().context(), mode, s, dlg), sensor::cmd::SetMode,
                    QStringLiteral("mode"));
}

int cmdTableRead(const Options& o, Link& link, Output& out) {
    if (o.words.size() != 2)
        return usage(out, QStringLiteral("table read takes no further words"));
    if (const int rc = link.readTable())
        return rc;
    const tables::TableTexts& t = *link.table->table;
    const QString file = o.values.value(QStringLiteral("-o"));
    if (!file.isEmpty()) {
        QString error;
        if (!tables::saveLv3(file, t, &error))
            return out.fail(FileError, QStringLiteral("file"), error);
    }
    QString text = pointsText(t);
    QJsonObject j{{QStringLiteral("address"), link.address()},
                  {QStringLiteral("points"), pointsOf(t)}};
    if (!file.isEmpty())
        j.insert(QStringLiteral("file"), file);
    out.result(j, text);
    return Done;
}

int cmdTableWrite(const Options& o, Link& link, Output& out, TerminalDialog& dlg) {
    if (o.words.size() != 3)
        return usage(out, QStringLiteral("table write takes one file"));
    const tables::Lv3Contents contents = tables::loadLv3(o.word(2));
    if (!contents.table)
        return out.fail(FileError, QStringLiteral("file"), contents.error);
    if (const int rc = link.connect())
        return rc;
    const auto request =
        tables::writeRequest(link.address(), link.session().firmware(), *contents.table);
    if (!request.frame)
        return usage(out, request.error);
    link.session().log(request.logLine);
    if (const int rc = link.exchange(*request.frame, sensor::cmd::WriteTable))
        return rc;
    out.result(QJsonObject{{QStringLiteral("command"), QStringLiteral("table write")},
                           {QStringLiteral("address"), link.address()},
                           {QStringLiteral("status"), link.status},
                           {QStringLiteral("points"), pointsOf(*contents.table)}},
               link.status);
    // Then the mode, as the table window does: the settings as the sensor
    // reported them, once the sensor has settled after the table.
    if (!pause(session::TableSettleMs))
        return out.fail(Cancelled, QStringLiteral("cancelled"), QStringLiteral("cancelled"));
    return link.run(
        sensor::setMode(link.session().context(),
                        sensor::Mode::fromByte(link.data->modeByte.value_or(0)),
                        sensor::Smoothing::fromByte(link.data->smoothingByte.value_or(0)), dlg),
        sensor::cmd::SetMode, QStringLiteral("mode"));
}

} // namespace

int sensorCommand(const Options& o, Output& out, TerminalDialog& dlg) {
    Link link(o, out, dlg);
    if (const int rc = link.open())
        return rc;
    const QString c = o.command();
    const auto needWords = [&](int n, const QString& what) -> std::optional<int> {
        if (o.words.size() != n)
            return usage(out, c + u' ' + what);
        return std::nullopt;
    };
    // A write: identity, data, then the operation.
    const auto write = [&](const std::function<sensor::Outcome()>& op, quint8 expected) {
        if (const int rc = link.connect())
            return rc;
        return link.run(op(), expected, c);
    };
    const auto context = [&] { return link.session().context(); };
    // A write whose value the window checks before anything goes out: the
    // check first (its range message shown, nothing sent), then the write.
    const auto checkedWrite = [&](const sensor::Checked& check,
                                  const std::function<sensor::Outcome()>& op, quint8 expected) {
        if (!check.value) {
            const int shown = int(dlg.messages().size());
            dlg.message(check.refusal);
            return link.stopped(shown);
        }
        return write(op, expected);
    };

    if (c == QLatin1String("scan"))
        return cmdScan(link, out);
    if (c == QLatin1String("info"))
        return cmdInfo(link, out);
    if (c == QLatin1String("watch"))
        return cmdWatch(o, link, out);
    if (c == QLatin1String("set-empty") || c == QLatin1String("set-full")) {
        if (auto rc = needWords(1, QStringLiteral("takes no value")))
            return *rc;
        const bool empty = c == QLatin1String("set-empty");
        return write(
            [&] {
                return empty ? sensor::setEmptyToCurrent(context(), dlg)
                             : sensor::setFullToCurrent(context(), dlg);
            },
            empty ? sensor::cmd::SetEmptyToCurrent : sensor::cmd::SetFullToCurrent);
    }
    if (c == QLatin1String("shift-empty") || c == QLatin1String("shift-full")) {
        if (auto rc = needWords(2, QStringLiteral("takes the shift D")))
            return *rc;
        const bool empty = c == QLatin1String("shift-empty");
        return checkedWrite(
            sensor::checkShift(o.word(1)),
            [&] {
                return empty ? sensor::shiftEmpty(context(), o.word(1), dlg)
                             : sensor::shiftFull(context(), o.word(1), dlg);
            },
            empty ? sensor::cmd::ShiftEmpty : sensor::cmd::ShiftFull);
    }
    if (c == QLatin1String("empty") || c == QLatin1String("full")) {
        if (auto rc = needWords(2, QStringLiteral("takes the value V")))
            return *rc;
        const bool empty = c == QLatin1String("empty");
        return checkedWrite(
            sensor::checkLevel(o.word(1)),
            [&] {
                return empty ? sensor::enterEmptyLevel(context(), o.word(1), dlg)
                             : sensor::enterFullLevel(context(), o.word(1), dlg);
            },
            empty ? sensor::cmd::DirectEmpty : sensor::cmd::DirectFull);
    }
    if (c == QLatin1String("lamp")) {
        if (auto rc = needWords(2, QStringLiteral("takes the threshold PERCENT")))
            return *rc;
        return checkedWrite(
            sensor::checkLampThreshold(o.word(1)),
            [&] { return sensor::setLampThreshold(context(), o.word(1), dlg); },
            sensor::cmd::SetLampLevel);
    }
    if (c == QLatin1String("address")) {
        if (auto rc = needWords(2, QStringLiteral("takes the new address")))
            return *rc;
        return write(
            [&] {
                dlg.supply(o.word(1));
                return sensor::setNetAddress(context(), dlg);
            },
            sensor::cmd::SetNetAddress);
    }
    if (c == QLatin1String("password")) {
        if (o.words.size() != 3 ||
            (o.word(1) != QLatin1String("enter") && o.word(1) != QLatin1String("set")))
            return usage(out, QStringLiteral("password enter P | password set NEW"));
        const bool enter = o.word(1) == QLatin1String("enter");
        return write(
            [&] {
                dlg.supply(o.word(2));
                return enter ? sensor::enterPassword(context(), dlg)
                             : sensor::changePassword(context(), dlg);
            },
            enter ? sensor::cmd::EnterPassword : sensor::cmd::ChangePassword);
    }
    if (c == QLatin1String("mode"))
        return cmdMode(o, link, out, dlg);
    if (c == QLatin1String("table")) {
        if (o.word(1) == QLatin1String("read"))
            return cmdTableRead(o, link, out);
        if (o.word(1) == QLatin1String("write"))
            return cmdTableWrite(o, link, out, dlg);
        return usage(
            out,
            QStringLiteral("table read [-o FILE.lv3] | table write FILE.lv3 | table fit FILE.trr"));
    }
    return usage(out, QStringLiteral("unknown command ") + c);
}

} // namespace ctl
