// profile save|apply: a sensor's whole setup into a profile file, and a
// profile onto a sensor by groups, read back and compared afterwards.

#include "commands.h"
#include "link.h"

#include "profile/profile.h"
#include "profile/transfer.h"

#include <QDateTime>
#include <QJsonArray>

namespace ctl {

namespace {

int failed(Output& out, const profile::Error& e) {
    using K = profile::Error::Kind;
    switch (e.kind) {
    case K::NoAnswer:
        return out.fail(NoAnswer, QStringLiteral("no-answer"), e.text);
    case K::BadAnswer:
        return out.fail(NoAnswer, QStringLiteral("bad-answer"), e.text);
    case K::Refused:
        return out.fail(Refused, QStringLiteral("refused"), e.text);
    case K::File:
        return out.fail(FileError, QStringLiteral("file"), e.text);
    case K::Port:
        return out.fail(PortError, QStringLiteral("port"), e.text);
    case K::Cancelled:
        return out.fail(Cancelled, QStringLiteral("cancelled"), e.text);
    case K::None:
        break;
    }
    return Done;
}

QJsonArray differencesJson(const QList<profile::Difference>& list) {
    QJsonArray a;
    for (const profile::Difference& d : list)
        a.append(QJsonObject{{QStringLiteral("field"), d.field},
                             {QStringLiteral("now"), d.now},
                             {QStringLiteral("wanted"), d.wanted}});
    return a;
}

// The groups of --only, or the default choice; nullopt for an unknown name.
std::optional<QList<profile::Group>> chosenGroups(const Options& o) {
    QList<profile::Group> groups;
    if (!o.values.contains(QStringLiteral("--only"))) {
        for (profile::Group g : profile::AllGroups)
            if (profile::chosenByDefault(g))
                groups << g;
        return groups;
    }
    for (const QString& key :
         o.values.value(QStringLiteral("--only")).split(u',', Qt::SkipEmptyParts)) {
        const auto g = profile::groupOfKey(key.trimmed());
        if (!g)
            return std::nullopt;
        if (!groups.contains(*g))
            groups << *g;
    }
    if (groups.isEmpty())
        return std::nullopt;
    return groups;
}

int save(const Options& o, Link& link, Output& out) {
    profile::Options options;
    options.timeoutMs = o.timeoutMs;
    const profile::ReadResult read = profile::readSensor(link.session(), link.address(), options);
    if (read.error)
        return failed(out, read.error);
    const profile::Profile p = profile::profileOf(*read.state, QDateTime::currentDateTime());
    const QString path = o.word(2);
    if (const profile::Error e = profile::save(path, p))
        return failed(out, e);
    out.result(QJsonObject{{QStringLiteral("command"), QStringLiteral("profile save")},
                           {QStringLiteral("address"), link.address()},
                           {QStringLiteral("file"), path}},
               QStringLiteral("saved ") + path);
    return Done;
}

int apply(const Options& o, Link& link, Output& out, TerminalDialog& dlg) {
    const auto groups = chosenGroups(o);
    if (!groups)
        return usage(out, QStringLiteral("--only takes modes,levels,table,address"));
    // A damaged file stops everything before the sensor is asked anything.
    const profile::Loaded loaded = profile::load(o.word(2));
    if (!loaded.profile)
        return failed(out, loaded.error);
    profile::Options options;
    options.timeoutMs = o.timeoutMs;
    const profile::ReadResult before = profile::readSensor(link.session(), link.address(), options);
    if (before.error)
        return failed(out, before.error);

    // What would change, group by group.
    QString summary;
    int changes = 0;
    for (const profile::GroupPlan& g :
         profile::plan(loaded.profile->settings, before.state->settings)) {
        const bool chosen = groups->contains(g.group);
        summary += QStringLiteral("%1 %2\n").arg(
            chosen ? QStringLiteral("[x]") : QStringLiteral("[ ]"), profile::groupTitle(g.group));
        for (const profile::Difference& d : g.differences)
            summary += QStringLiteral("      ") + d.text() + u'\n';
        if (chosen)
            changes += int(g.differences.size());
    }
    toStderr(summary);
    const int shown = int(dlg.messages().size());
    if (changes > 0 &&
        !dlg.askYesNo(QStringLiteral("Apply the ticked groups to sensor %1?").arg(link.address())))
        return link.stopped(shown);

    const profile::Report report = profile::apply(
        link.session(), *loaded.profile, *before.state, *groups,
        [](int done, int total, const QString& what) {
            toStderr(done < total ? QStringLiteral("%1/%2 %3\n").arg(done + 1).arg(total).arg(what)
                                  : what + u'\n');
        },
        [] { return interrupted(); }, options);
    if (report.error)
        return failed(out, report.error);

    QJsonArray results;
    QString text;
    for (const profile::GroupResult& g : report.groups) {
        results.append(
            QJsonObject{{QStringLiteral("group"), profile::groupKey(g.group)},
                        {QStringLiteral("title"), profile::groupTitle(g.group)},
                        {QStringLiteral("chosen"), g.chosen},
                        {QStringLiteral("result"), g.text()},
                        {QStringLiteral("differences"), differencesJson(g.differences)}});
        text += profile::groupTitle(g.group) + QStringLiteral(": ") + g.text() + u'\n';
    }
    out.result(QJsonObject{{QStringLiteral("command"), QStringLiteral("profile apply")},
                           {QStringLiteral("address"), link.address()},
                           {QStringLiteral("written"), report.written},
                           {QStringLiteral("matches"), report.matches()},
                           {QStringLiteral("groups"), results}},
               text);
    if (!report.matches())
        return out.fail(NoAnswer, QStringLiteral("differs"),
                        QStringLiteral("the sensor read back differs from the profile"));
    return Done;
}

} // namespace

int cmdProfile(const Options& o, Output& out, TerminalDialog& dlg) {
    const QString what = o.word(1);
    if (o.words.size() != 3 || (what != QLatin1String("save") && what != QLatin1String("apply")))
        return usage(out, QStringLiteral("profile save FILE | profile apply FILE [--only GROUPS]"));
    Link link(o, out, dlg);
    if (const int rc = link.open())
        return rc;
    return what == QLatin1String("save") ? save(o, link, out) : apply(o, link, out, dlg);
}

} // namespace ctl
