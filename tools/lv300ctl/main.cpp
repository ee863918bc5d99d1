// lv300ctl: the configurator's operations from a shell, over the same core
// as the window (the same frames, checks, texts and files). See --help.

#include "options.h"
#include "output.h"
#include "terminal_dialog.h"

#include "base/version.h"
#include "generator/remote_commands.h"
#include "link/frame.h"
#include "link/port_list.h"
#include "link/serial_port.h"
#include "replay/replay.h"
#include "sensor/operations.h"
#include "session/session.h"
#include "sim/demo_line.h"
#include "sim/virtual_port.h"
#include "tables/table_file.h"
#include "tables/table_frames.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QJsonArray>
#include <QTimer>

#include <csignal>
#include <functional>

namespace ctl {

namespace {

volatile std::sig_atomic_t interrupted = 0;
void onInterrupt(int) {
    interrupted = 1;
}

constexpr quint8 DataPoll = 0xF0;

// Answer codes of the writes.
namespace code {
constexpr quint8 Empty = 0xFA, Full = 0xF5, ShiftEmpty = 0xF9, ShiftFull = 0xF4, DirectEmpty = 0xED,
                 DirectFull = 0xEC, Mode = 0xF2, Address = 0xFB, Lamp = 0xEE,
                 PasswordEntered = 0xF8, PasswordChanged = 0xF7, Table = 0xF1, TableRead = 0xEF,
                 Identity = 0xFC, Refused = 0xFD;
} // namespace code

QString hex(const QByteArray& b) {
    return QString::fromLatin1(b.toHex(' ').toUpper());
}

// The output option of a mode byte, as the mode command names it.
const QList<std::pair<QString, sensor::ModeOption>> ModeNames{
    {QStringLiteral("rs485"), sensor::ModeOption::R485},
    {QStringLiteral("analog"), sensor::ModeOption::R_a},
    {QStringLiteral("frequency"), sensor::ModeOption::R_f},
    {QStringLiteral("periodic"), sensor::ModeOption::R_p},
    {QStringLiteral("periodic-rs485"), sensor::ModeOption::R_p485},
};

sensor::ModeOption optionOfByte(quint8 m) {
    for (const auto& [name, option] : ModeNames)
        if ((m & 0x16) == sensor::modeValueOf(option))
            return option;
    return sensor::ModeOption::R485;
}

QString modeNameOf(quint8 m) {
    for (const auto& [name, option] : ModeNames)
        if ((m & 0x16) == sensor::modeValueOf(option))
            return name;
    return QStringLiteral("unknown");
}

// The controls of the settings page as a mode byte shows them.
sensor::ModeInputs inputsOfByte(quint8 m, quint8 smoothingByte) {
    sensor::ModeInputs in;
    in.option = optionOfByte(m);
    in.iinv = m & 0x01;
    in.usredn = m & 0x08;
    in.D_4096 = m & 0x80;
    in.tartab1 = m & 0x40;
    in.per_sents = m & 0x20;
    in.sgla = smoothingByte & 0x0F;
    in.Termokompens = smoothingByte & 0x80;
    return in;
}

QStringList modeFlagsOf(quint8 m) {
    QStringList f;
    if (m & 0x01)
        f << QStringLiteral("invert");
    if (m & 0x08)
        f << QStringLiteral("averaging");
    if (m & 0x20)
        f << QStringLiteral("percent");
    if (m & 0x40)
        f << QStringLiteral("litres");
    if (m & 0x80)
        f << QStringLiteral("range4096");
    return f;
}

// One sensor on an open line, talked to one request at a time.
class Link {
public:
    Link(const Options& o, Output& out, TerminalDialog& dlg) : o_(o), out_(out), dlg_(dlg) {
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

    session::Session& session() { return session_; }
    quint8 address() const { return address_; }

    // Opens the port and selects the sensor; 0 or the exit code.
    int open() {
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
            // A locked simulator, for trying the refusals.
            const QByteArray pwd = qgetenv("LV300CTL_SIM_PASSWORD");
            if (!pwd.isEmpty())
                for (const auto& s : std::as_const(line_.sensors))
                    s->setPassword(pwd.toUInt());
            auto port = std::make_unique<VirtualPort>(line_.bus, VirtualPort::Timing::Realistic);
            port->open(QStringLiteral("sim"));
            session_.attachPort(std::move(port));
        } else {
            const QString path = portlist::devicePathForItem(o_.port);
            if (path.isEmpty() || !QFileInfo::exists(path))
                return out_.fail(PortError, QStringLiteral("port"),
                                 o_.port + QStringLiteral(": no such port"));
            auto port = std::make_unique<SerialPort>();
            QString error;
            if (!port->open(path, &error)) {
                QString why = !port->setupError().isEmpty() ? port->setupError() : error;
                const QFileInfo info(path);
                if (!info.isReadable() || !info.isWritable())
                    why = QStringLiteral("no permission (") + why + u')';
                return out_.fail(PortError, QStringLiteral("port"),
                                 path + QStringLiteral(": cannot open: ") + why);
            }
            session_.attachPort(std::move(port));
        }
        session_.setSelectedAddress(address_, QString::number(address_));
        return Done;
    }

    // Sends one frame and hands its answer to the session. With an expected
    // code, the answer must be a frame with that code. 0 or the exit code.
    int exchange(const QByteArray& request, std::optional<quint8> expected,
                 QByteArray* answerOut = nullptr) {
        const session::Session::Reply r = session_.call(request, o_.timeoutMs);
        using S = session::Session::Reply::Status;
        if (r.status == S::PortLost || r.status == S::NoPort)
            return out_.fail(PortError, QStringLiteral("port"), QStringLiteral("the port is gone"));
        if (r.status == S::WriteFailed)
            return out_.fail(NoAnswer, QStringLiteral("no-answer"),
                             QStringLiteral("Ошибка записи в порт"));
        if (r.status == S::NoAnswer || r.answer.isEmpty())
            return out_.fail(NoAnswer, QStringLiteral("no-answer"),
                             QStringLiteral("Нет ответа от датчика с адресом ") +
                                 QString::number(address_));
        if (!expected) {
            session_.receive(r.answer);
            if (answerOut)
                *answerOut = r.answer;
            return Done;
        }
        auto answer = frame::findAnswer(r.answer, address_);
        if (!answer)
            answer = frame::findAnswer(r.answer, std::nullopt); // a new address answers
        if (!answer)
            return out_.fail(NoAnswer, QStringLiteral("bad-answer"),
                             QStringLiteral("bad answer: ") + hex(r.answer));
        session_.receive(*answer);
        if (answerOut)
            *answerOut = *answer;
        const quint8 got = quint8(answer->at(2));
        if (got == code::Refused)
            return out_.fail(Refused, QStringLiteral("refused"),
                             QStringLiteral("Неверный пароль."));
        if (got != *expected)
            return out_.fail(
                NoAnswer, QStringLiteral("bad-answer"),
                (status.isEmpty() ? QStringLiteral("Ответ не соответствует запросу") : status) +
                    QStringLiteral(" (") + hex(*answer) + u')');
        return Done;
    }

    int readIdentity() {
        session_.requestIdentity();
        const QByteArray request = session_.pending();
        session_.setPending({});
        return exchange(request, code::Identity);
    }

    int readData() {
        data.reset();
        if (const int rc = exchange(frame::request(address_, DataPoll), DataPoll))
            return rc;
        if (!data || !data->raw)
            return out_.fail(NoAnswer, QStringLiteral("bad-answer"),
                             QStringLiteral("Пришли ошибочные данные"));
        return Done;
    }

    // Identity, then one data answer, as the window does after picking a sensor.
    int connect() {
        if (const int rc = readIdentity())
            return rc;
        return readData();
    }

    // Carries out an operation's outcome: its frame out, the expected answer
    // back. Without a frame the operation stopped: a range message, a
    // question not confirmed, or a check that failed.
    int run(const sensor::Outcome& outcome, quint8 expected, const QString& name) {
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

    // Why an operation sent nothing.
    int stopped(int messagesBefore) {
        if (dlg_.messages().size() > messagesBefore)
            return out_.failShown(Usage, QStringLiteral("usage"), dlg_.messages().last());
        if (dlg_.noTerminal())
            return out_.fail(Usage, QStringLiteral("not-confirmed"),
                             QStringLiteral("the operation asks for confirmation: use --yes"));
        if (dlg_.declined())
            return out_.fail(Usage, QStringLiteral("not-confirmed"),
                             QStringLiteral("not confirmed"));
        return out_.fail(Usage, QStringLiteral("usage"), QStringLiteral("nothing to send"));
    }

    std::optional<sensor::IdentityAnswer> identity;
    std::optional<sensor::DataAnswer> data;
    std::optional<tables::DecodedTable> table;
    QList<quint8> found;
    QString status;

private:
    const Options& o_;
    Output& out_;
    TerminalDialog& dlg_;
    session::Session session_;
    DemoLine line_;
    quint8 address_ = 1;
};

int usage(Output& out, const QString& text) {
    return out.fail(Usage, QStringLiteral("usage"), text);
}

// ---- commands ----

int cmdPorts(const Options&, Output& out) {
    const QStringList items = portlist::itemsOrPlaceholder(portlist::portNames());
    QJsonArray list;
    for (const QString& p : items)
        if (p != portlist::NoPortItem)
            list.append(p);
    out.result(QJsonObject{{QStringLiteral("ports"), list}}, items.join(u'\n'));
    return Done;
}

int cmdScan(Link& link, Output& out) {
    link.session().apply(sensor::Opros());
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
    o.insert(QStringLiteral("mode_name"), modeNameOf(m));
    o.insert(QStringLiteral("mode_flags"), QJsonArray::fromStringList(modeFlagsOf(m)));
    o.insert(QStringLiteral("lamp"), d.lampThreshold ? QJsonValue(*d.lampThreshold) : QJsonValue());
    o.insert(QStringLiteral("smoothing"),
             d.smoothingByte ? QJsonValue(*d.smoothingByte & 0x0F) : QJsonValue());
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
                .arg(QString::number(m), modeNameOf(m),
                     modeFlagsOf(m).isEmpty() ? QString()
                                              : QStringLiteral(", ") + modeFlagsOf(m).join(u','));
    text += QStringLiteral("lamp         %1\n")
                .arg(d.lampThreshold ? QString::number(*d.lampThreshold) : QStringLiteral("-"));
    text +=
        QStringLiteral("smoothing    %1\n")
            .arg(d.smoothingByte ? QString::number(*d.smoothingByte & 0x0F) : QStringLiteral("-"));
    out.result(o, text);
    return Done;
}

// Sleeps while the event loop runs; false when Ctrl-C came.
bool pause(int ms) {
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms) {
        if (interrupted)
            return false;
        QEventLoop loop;
        QTimer::singleShot(qMin<qint64>(50, ms - t.elapsed()), &loop, &QEventLoop::quit);
        loop.exec();
    }
    return !interrupted;
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
        if (interrupted)
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
    std::optional<sensor::ModeOption> option;
    for (const auto& [name, opt] : ModeNames)
        if (o.word(1) == name)
            option = opt;
    if (!option || o.words.size() != 2)
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
    const quint8 smoothingByte = link.data->smoothingByte.value_or(0);
    sensor::ModeInputs in;
    in.option = *option;
    in.iinv = o.flag(QStringLiteral("--invert"));
    in.D_4096 = o.flag(QStringLiteral("--range4096"));
    in.tartab1 = o.flag(QStringLiteral("--litres"));
    in.per_sents = o.flag(QStringLiteral("--percent"));
    in.sgla = smoothing.value_or(smoothingByte & 0x0F);
    in.Termokompens = smoothingByte & 0x80;
    return link.run(sensor::Set_mode(link.session().context(), in, dlg), code::Mode,
                    QStringLiteral("mode"));
}

QJsonArray pointsOf(const tables::TableTexts& t) {
    QJsonArray points;
    for (int i = 0; i < tables::Points; ++i)
        points.append(QJsonObject{
            {QStringLiteral("level"), int(tables::tableValue(t.readings[i]).value_or(0))},
            {QStringLiteral("litres"), int(tables::tableValue(t.litres[i]).value_or(0))}});
    return points;
}

int cmdTableRead(const Options& o, Link& link, Output& out) {
    if (o.words.size() != 2)
        return usage(out, QStringLiteral("table read takes no further words"));
    if (const int rc = link.exchange(tables::readRequest(link.address()), code::TableRead))
        return rc;
    if (!link.table || !link.table->table)
        return out.fail(NoAnswer, QStringLiteral("bad-answer"),
                        link.table ? link.table->error : QStringLiteral("no table"));
    const tables::TableTexts& t = *link.table->table;
    const QString file = o.values.value(QStringLiteral("-o"));
    if (!file.isEmpty()) {
        QString error;
        if (!tables::saveLv3(file, t, &error))
            return out.fail(FileError, QStringLiteral("file"), error);
    }
    QString text = QStringLiteral("point  level  litres\n");
    for (int i = 0; i < tables::Points; ++i)
        text += QStringLiteral("%1  %2  %3\n")
                    .arg(i, 5)
                    .arg(t.readings[i].trimmed(), 5)
                    .arg(t.litres[i].trimmed(), 6);
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
    if (const int rc = link.exchange(*request.frame, code::Table))
        return rc;
    out.result(QJsonObject{{QStringLiteral("command"), QStringLiteral("table write")},
                           {QStringLiteral("address"), link.address()},
                           {QStringLiteral("status"), link.status},
                           {QStringLiteral("points"), pointsOf(*contents.table)}},
               link.status);
    // Then the mode, as the table window does: the settings as the sensor
    // reported them.
    const sensor::ModeInputs in =
        inputsOfByte(link.data->modeByte.value_or(0), link.data->smoothingByte.value_or(0));
    return link.run(sensor::Set_mode(link.session().context(), in, dlg), code::Mode,
                    QStringLiteral("mode"));
}

const QStringList GatewayItems{QStringLiteral("enter-password"), QStringLiteral("status"),
                               QStringLiteral("serial-version"), QStringLiteral("shift-full"),
                               QStringLiteral("shift-empty"),    QStringLiteral("full"),
                               QStringLiteral("empty"),          QStringLiteral("mode"),
                               QStringLiteral("set-password")};

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
        for (const auto& [name, opt] : ModeNames)
            if (o.word(2) == name)
                in.mode.option = opt;
        in.mode.iinvd = o.flag(QStringLiteral("--invert"));
        in.mode.D_4096d = o.flag(QStringLiteral("--range4096"));
        in.mode.tartab1d = o.flag(QStringLiteral("--litres"));
        in.mode.per_sentsd = o.flag(QStringLiteral("--percent"));
        in.mode.sglad = o.values.value(QStringLiteral("--smoothing"), QStringLiteral("0"));
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
                           {QStringLiteral("frame"), hex(r.generated->frame)}},
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
                              {QStringLiteral("answer"), hex(rec->answer)}};
        if (!rec->answer.isEmpty())
            s.replay(rec->answer);
        QStringList text{QStringLiteral("%1:").arg(rec->lineNumber), hex(rec->answer)};
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

// The commands that work on one sensor.
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
            [&] { return empty ? sensor::low(context(), dlg) : sensor::hig(context(), dlg); },
            empty ? code::Empty : code::Full);
    }
    if (c == QLatin1String("shift-empty") || c == QLatin1String("shift-full")) {
        if (auto rc = needWords(2, QStringLiteral("takes the shift D")))
            return *rc;
        const bool empty = c == QLatin1String("shift-empty");
        // The window checks the value before anything goes out.
        const int shown = int(dlg.messages().size());
        sensor::SensorContext probe{link.address(), false, 0, 0};
        TerminalDialog quiet = TerminalDialog::silent();
        const sensor::Outcome check = empty ? sensor::sdv_low(probe, o.word(1), quiet)
                                            : sensor::sdv_hi(probe, o.word(1), quiet);
        if (!check.frame) {
            dlg.message(quiet.messages().value(0));
            return link.stopped(shown);
        }
        return write(
            [&] {
                return empty ? sensor::sdv_low(context(), o.word(1), dlg)
                             : sensor::sdv_hi(context(), o.word(1), dlg);
            },
            empty ? code::ShiftEmpty : code::ShiftFull);
    }
    if (c == QLatin1String("empty") || c == QLatin1String("full")) {
        if (auto rc = needWords(2, QStringLiteral("takes the value V")))
            return *rc;
        const bool empty = c == QLatin1String("empty");
        const int shown = int(dlg.messages().size());
        sensor::SensorContext probe{link.address(), false, 0, 0};
        TerminalDialog quiet = TerminalDialog::silent();
        const sensor::Outcome check = empty ? sensor::set_lo_data(probe, o.word(1), quiet)
                                            : sensor::set_hi_data(probe, o.word(1), quiet);
        if (!check.frame) {
            dlg.message(quiet.messages().value(0));
            return link.stopped(shown);
        }
        return write(
            [&] {
                return empty ? sensor::set_lo_data(context(), o.word(1), dlg)
                             : sensor::set_hi_data(context(), o.word(1), dlg);
            },
            empty ? code::DirectEmpty : code::DirectFull);
    }
    if (c == QLatin1String("lamp")) {
        if (auto rc = needWords(2, QStringLiteral("takes the threshold PERCENT")))
            return *rc;
        const int shown = int(dlg.messages().size());
        sensor::SensorContext probe{link.address(), false, 0, 0};
        TerminalDialog quiet = TerminalDialog::silent();
        if (!sensor::Command1(probe, o.word(1), quiet).frame) {
            dlg.message(quiet.messages().value(0));
            return link.stopped(shown);
        }
        return write([&] { return sensor::Command1(context(), o.word(1), dlg); }, code::Lamp);
    }
    if (c == QLatin1String("address")) {
        if (auto rc = needWords(2, QStringLiteral("takes the new address")))
            return *rc;
        return write(
            [&] {
                dlg.supply(o.word(1));
                return sensor::net(context(), dlg);
            },
            code::Address);
    }
    if (c == QLatin1String("password")) {
        if (o.words.size() != 3 ||
            (o.word(1) != QLatin1String("enter") && o.word(1) != QLatin1String("set")))
            return usage(out, QStringLiteral("password enter P | password set NEW"));
        const bool enter = o.word(1) == QLatin1String("enter");
        return write(
            [&] {
                dlg.supply(o.word(2));
                return enter ? sensor::Vvod_PWD(context(), dlg) : sensor::Chg_pass(context(), dlg);
            },
            enter ? code::PasswordEntered : code::PasswordChanged);
    }
    if (c == QLatin1String("mode"))
        return cmdMode(o, link, out, dlg);
    if (c == QLatin1String("table")) {
        if (o.word(1) == QLatin1String("read"))
            return cmdTableRead(o, link, out);
        if (o.word(1) == QLatin1String("write"))
            return cmdTableWrite(o, link, out, dlg);
        return usage(out, QStringLiteral("table read [-o FILE.lv3] | table write FILE.lv3"));
    }
    return usage(out, QStringLiteral("unknown command ") + c);
}

} // namespace

int run(const QStringList& arguments) {
    const Parsed parsed = parseArguments(arguments);
    const bool jsonAsked = arguments.contains(QStringLiteral("--json"));
    if (!parsed.options) {
        Output out(jsonAsked);
        return out.fail(Usage, QStringLiteral("usage"), parsed.error);
    }
    const Options& o = *parsed.options;
    Output out(o.json);
    if (o.help) {
        out.result(QJsonObject{{QStringLiteral("help"), helpText()}}, helpText());
        return Done;
    }
    if (o.version) {
        const QString v = QString::fromLatin1(version::Text);
        out.result(QJsonObject{{QStringLiteral("version"), v}}, QStringLiteral("lv300ctl ") + v);
        return Done;
    }
    if (o.log)
        return out.fail(Usage, QStringLiteral("usage"),
                        QStringLiteral("--log is not available in this version"));
    if (o.words.isEmpty())
        return out.fail(Usage, QStringLiteral("usage"), QStringLiteral("no command; see --help"));
    TerminalDialog dlg(o.yes);
    const QString c = o.command();
    if (c == QLatin1String("ports"))
        return cmdPorts(o, out);
    if (c == QLatin1String("gateway"))
        return cmdGateway(o, out, dlg);
    if (c == QLatin1String("replay"))
        return cmdReplay(o, out, dlg);
    if (c == QLatin1String("flash"))
        return out.fail(Usage, QStringLiteral("usage"),
                        QStringLiteral("flash is not available in this version"));
    return sensorCommand(o, out, dlg);
}

} // namespace ctl

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    std::signal(SIGINT, ctl::onInterrupt);
    return ctl::run(app.arguments().mid(1));
}
