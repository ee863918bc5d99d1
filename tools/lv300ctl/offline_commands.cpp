// The commands that need no port: the port list, gateway lines, log replay.

#include "commands.h"
#include "link.h"

#include "generator/remote_commands.h"
#include "link/frame.h"
#include "link/port_list.h"
#include "replay/replay.h"
#include "session/session.h"

#include <QJsonArray>

namespace ctl {

namespace {
const QStringList GatewayItems{QStringLiteral("enter-password"), QStringLiteral("status"),
                               QStringLiteral("serial-version"), QStringLiteral("shift-full"),
                               QStringLiteral("shift-empty"),    QStringLiteral("full"),
                               QStringLiteral("empty"),          QStringLiteral("mode"),
                               QStringLiteral("set-password")};

} // namespace

int cmdPorts(const Options&, Output& out) {
    const QStringList items = portlist::itemsOrPlaceholder(portlist::portNames());
    QJsonArray list;
    for (const QString& p : items)
        if (p != portlist::NoPortItem)
            list.append(p);
    out.result(QJsonObject{{QStringLiteral("ports"), list}}, items.join(u'\n'));
    return Done;
}

int cmdGateway(const Options& o, Output& out, TerminalDialog& dlg) {
    int index = int(GatewayItems.indexOf(o.word(1)));
    bool ok = false;
    if (index < 0) {
        index = o.word(1).toInt(&ok);
        if (!ok || index < 0 || index >= generator::ItemCount)
            return usage(out, QStringLiteral("gateway takes an item: 0..8 or ") +
                                  GatewayItems.join(QStringLiteral(", ")));
    }
    generator::Inputs in;
    in.address = o.addressText;
    in.value = o.values.value(QStringLiteral("--value"), QStringLiteral("0"));
    in.chVer = o.flag(QStringLiteral("--write-code"));
    if (index == int(generator::Item::Mode)) {
        if (const auto output = sensor::outputNamed(o.word(2)))
            in.mode.output = *output;
        in.mode.inverted = o.flag(QStringLiteral("--invert"));
        in.mode.range4096 = o.flag(QStringLiteral("--range4096"));
        in.mode.litres = o.flag(QStringLiteral("--litres"));
        in.mode.percent = o.flag(QStringLiteral("--percent"));
        in.smoothing = o.values.value(QStringLiteral("--smoothing"), QStringLiteral("0"));
    }
    const int shown = int(dlg.messages().size());
    const generator::Result r = generator::generate(index, in, dlg);
    if (!r.generated) {
        if (dlg.messages().size() > shown)
            return out.failShown(Usage, QStringLiteral("usage"), dlg.messages().last());
        return usage(out, QStringLiteral("no line for these inputs"));
    }
    out.result(QJsonObject{{QStringLiteral("item"), generator::itemNames().value(index)},
                           {QStringLiteral("line"), r.generated->line},
                           {QStringLiteral("frame"), frame::hexText(r.generated->frame)}},
               r.generated->line);
    return Done;
}

int cmdReplay(const Options& o, Output& out, TerminalDialog& dlg) {
    if (o.words.size() != 2)
        return usage(out, QStringLiteral("replay takes one log file"));
    replay::ReplayReader reader;
    if (!reader.open(o.word(1)))
        return out.fail(FileError, QStringLiteral("file"), reader.errorText());
    session::Session s;
    s.setDialog(&dlg);
    QJsonObject current;
    QObject::connect(&s, &session::Session::statusChanged, [&](const QString& text) {
        current.insert(QStringLiteral("status"), text.trimmed());
    });
    QObject::connect(&s, &session::Session::identityReceived,
                     [&](const sensor::IdentityAnswer& id) {
                         if (id.serial)
                             current.insert(QStringLiteral("serial"), qint64(*id.serial));
                         if (id.firmware) {
                             current.insert(QStringLiteral("firmware"), *id.firmware);
                             current.insert(QStringLiteral("version"), id.versionText());
                         }
                     });
    QObject::connect(&s, &session::Session::dataReceived,
                     [&](const sensor::DataAnswer& d, live::Stability::State, bool) {
                         const QJsonObject data = dataObject(d);
                         for (auto it = data.begin(); it != data.end(); ++it)
                             current.insert(it.key(), it.value());
                     });
    int records = 0;
    while (const auto rec = reader.next(dlg)) {
        current = QJsonObject{{QStringLiteral("line"), rec->lineNumber},
                              {QStringLiteral("answer"), frame::hexText(rec->answer)}};
        if (!rec->answer.isEmpty())
            s.replay(rec->answer);
        QStringList text{QStringLiteral("%1:").arg(rec->lineNumber), frame::hexText(rec->answer)};
        for (const QString& key :
             {QStringLiteral("status"), QStringLiteral("serial"), QStringLiteral("version"),
              QStringLiteral("level"), QStringLiteral("raw"), QStringLiteral("empty"),
              QStringLiteral("full"), QStringLiteral("temperature")})
            if (current.contains(key))
                text << key + u'=' + current.value(key).toVariant().toString();
        out.result(current, text.join(u' '));
        ++records;
    }
    if (reader.error() != replay::ReplayReader::Error::None)
        return out.fail(FileError, QStringLiteral("file"), reader.errorText());
    return Done;
}

} // namespace ctl
