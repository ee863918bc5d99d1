#include "link.h"

#include "link/frame.h"
#include "link/port_list.h"
#include "link/serial_port.h"
#include "session/session_texts.h"
#include "sim/virtual_port.h"

#include <QCoreApplication>
#include <QJsonObject>

namespace ctl {

bool pause(int ms) {
    return session::pause(ms, interrupted);
}

int usage(Output& out, const QString& text) {
    return out.fail(Usage, QStringLiteral("usage"), text);
}

QJsonArray pointsOf(const tables::TableTexts& t) {
    QJsonArray points;
    for (int i = 0; i < tables::Points; ++i)
        points.append(QJsonObject{
            {QStringLiteral("level"), int(tables::tableValue(t.readings[i]).value_or(0))},
            {QStringLiteral("litres"), int(tables::tableValue(t.litres[i]).value_or(0))}});
    return points;
}

QJsonObject dataObject(const sensor::DataAnswer& d) {
    QJsonObject o{{QStringLiteral("address"), d.address},
                  {QStringLiteral("temperature"), int(qint8(d.temperatureByte))},
                  {QStringLiteral("level"), d.level}};
    if (d.raw)
        o.insert(QStringLiteral("raw"), qint64(*d.raw));
    if (d.empty)
        o.insert(QStringLiteral("empty"), qint64(*d.empty));
    if (d.full)
        o.insert(QStringLiteral("full"), qint64(*d.full));
    return o;
}

Link::Link(const Options& o, Output& out, TerminalDialog& dlg) : o_(o), out_(out), dlg_(dlg) {
    session_.setDialog(&dlg_);
    QObject::connect(&session_, &session::Session::identityReceived,
                     [this](const sensor::IdentityAnswer& id) { identity = id; });
    QObject::connect(
        &session_, &session::Session::dataReceived,
        [this](const sensor::DataAnswer& d, live::Stability::State, bool) { data = d; });
    QObject::connect(&session_, &session::Session::tableRead,
                     [this](const tables::DecodedTable& t) { table = t; });
    QObject::connect(&session_, &session::Session::networkFound,
                     [this](const QList<quint8>& a, const QString&) { found = a; });
    QObject::connect(&session_, &session::Session::statusChanged,
                     [this](const QString& s) { status = s.trimmed(); });
}

int Link::open() {
    bool ok = false;
    const int a = o_.addressText.toInt(&ok);
    if (!ok || a < 0 || a > 255)
        return out_.fail(Usage, QStringLiteral("usage"),
                         QStringLiteral("Введите число в диапазоне 0....255"));
    address_ = quint8(a);
    if (o_.port.isEmpty())
        return out_.fail(Usage, QStringLiteral("usage"),
                         QStringLiteral("--port is required for this command"));
    if (o_.port == QLatin1String("sim")) {
        line_ = makeDemoLine({1, 5});
        // The sensor switched off and on when a firmware run asks for it.
        armBootloader(line_, address_);
        auto port = std::make_unique<VirtualPort>(line_.bus, VirtualPort::Timing::Realistic);
        port->open(QStringLiteral("sim"));
        session_.attachPort(std::move(port));
    } else {
        // Named as the user named it; opening tells whether it exists (a
        // Windows COM device is no file to look for).
        const QString path = portlist::devicePathForItem(o_.port);
        auto port = std::make_unique<SerialPort>();
        QString error;
        if (path.isEmpty() || !port->open(path, &error)) {
            // The window's reasons: no permission, busy, not found.
            QString why = serial::openFailureReason(path.isEmpty() ? serial::OpenFailure::NotFound
                                                                   : port->openFailure());
            if (why.isEmpty())
                why = !port->setupError().isEmpty() ? port->setupError() : error;
            return out_.fail(PortError, QStringLiteral("port"),
                             o_.port + QStringLiteral(": ") + why);
        }
        session_.attachPort(std::move(port));
    }
    if (o_.log)
        if (const int rc = startLog())
            return rc;
    session_.setSelectedAddress(address_, QString::number(address_));
    return Done;
}

int Link::startLog() {
    log_ = std::make_unique<WorkLog>(clock_);
    // The configurator's own places, so that both tools' logs are found together.
    const QStringList dirs = WorkLog::defaultDirs();
    QString error;
    if (!log_->create(dirs, &error))
        return out_.fail(FileError, QStringLiteral("file"), error);
    log_->append(QStringLiteral("lv300ctl ") + QCoreApplication::arguments().mid(1).join(u' '));
    QObject::connect(&session_, &session::Session::logLine, [this](const QString& text) {
        if (log_->append(text) == WorkLog::AppendResult::FailedFirstTime)
            dlg_.message(QStringLiteral("Не удалось дописать журнал работы ") + log_->path() +
                         QStringLiteral(". Работа продолжается без журнала."));
    });
    return Done;
}

int Link::exchange(const QByteArray& request, std::optional<quint8> expected,
                   QByteArray* answerOut) {
    if (interrupted())
        return out_.fail(Cancelled, QStringLiteral("cancelled"), QStringLiteral("cancelled"));
    const session::Exchanged e =
        session::exchange(session_, address_, request, expected, o_.timeoutMs);
    if (interrupted())
        return out_.fail(Cancelled, QStringLiteral("cancelled"), QStringLiteral("cancelled"));
    if (answerOut)
        *answerOut = e.answer;
    using K = session::ExchangeError::Kind;
    switch (e.error.kind) {
    case K::None:
        return Done;
    case K::PortLost:
        return out_.fail(PortError, QStringLiteral("port"), e.error.text);
    case K::WriteFailed:
    case K::NoAnswer:
        return out_.fail(NoAnswer, QStringLiteral("no-answer"), e.error.text);
    case K::Refused:
        return out_.fail(Refused, QStringLiteral("refused"), e.error.text);
    case K::FrequencyMode:
    case K::WrongAnswer:
        break;
    }
    return out_.fail(NoAnswer, QStringLiteral("bad-answer"), e.error.text);
}

int Link::readIdentity() {
    session_.requestIdentity();
    const QByteArray request = session_.pending();
    session_.setPending({});
    return exchange(request, sensor::cmd::Identity);
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

int Link::readTable() {
    if (const int rc = exchange(tables::readRequest(address_), sensor::cmd::ReadTable))
        return rc;
    if (!table || !table->table)
        return out_.fail(NoAnswer, QStringLiteral("bad-answer"),
                         table ? table->error : QStringLiteral("no table"));
    return Done;
}

int Link::readData() {
    data.reset();
    if (const int rc =
            exchange(frame::request(address_, sensor::cmd::DataPoll), sensor::cmd::DataPoll))
        return rc;
    if (!data || !data->raw)
        return out_.fail(NoAnswer, QStringLiteral("bad-answer"), session::txt::BadData);
    return Done;
}

int Link::connect() {
    if (const int rc = readIdentity())
        return rc;
    return readData();
}

int Link::run(const sensor::Outcome& outcome, quint8 expected, const QString& name) {
    const int shown = int(dlg_.messages().size());
    session_.apply(outcome);
    const QByteArray request = session_.pending();
    session_.setPending({});
    if (!outcome.frame || request.isEmpty())
        return stopped(shown);
    if (const int rc = exchange(request, expected))
        return rc;
    out_.result(QJsonObject{{QStringLiteral("command"), name},
                            {QStringLiteral("address"), address_},
                            {QStringLiteral("status"), status}},
                status);
    return Done;
}

int Link::stopped(int messagesBefore) {
    if (interrupted())
        return out_.fail(Cancelled, QStringLiteral("cancelled"), QStringLiteral("cancelled"));
    if (dlg_.messages().size() > messagesBefore)
        return out_.failShown(Usage, QStringLiteral("usage"), dlg_.messages().last());
    if (dlg_.noTerminal())
        return out_.fail(Usage, QStringLiteral("not-confirmed"),
                         QStringLiteral("the operation asks for confirmation: use --yes"));
    if (dlg_.declined())
        return out_.fail(Usage, QStringLiteral("not-confirmed"), QStringLiteral("not confirmed"));
    return out_.fail(Usage, QStringLiteral("usage"), QStringLiteral("nothing to send"));
}

} // namespace ctl
