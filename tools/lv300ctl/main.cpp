// lv300ctl: the configurator's operations from a shell, over the same core
// as the window (the same frames, checks, texts and files). See --help.

#include "commands.h"
#include "link.h"

#include "base/version.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QJsonObject>
#include <memory>

namespace ctl {

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
    if (c == QLatin1String("profile"))
        return cmdProfile(o, out, dlg);
    if (isTableFileCommand(o))
        return cmdTableFile(o, out, dlg);
    if (c == QLatin1String("flash"))
        return cmdFlash(o, out, dlg);
    return sensorCommand(o, out, dlg);
}

} // namespace ctl

int main(int argc, char** argv) {
    // The PDF protocol draws its text with QtGui's fonts, which need a GUI
    // application; the offscreen platform needs no display.
    std::unique_ptr<QCoreApplication> app;
    if (ctl::isTableReport(argc, argv)) {
#ifndef Q_OS_WIN
        // Windows' own platform draws without a display; elsewhere there may be none.
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
#endif
        app = std::make_unique<QGuiApplication>(argc, argv);
    } else {
        app = std::make_unique<QCoreApplication>(argc, argv);
    }
    ctl::installInterruptHandler();
    ctl::useUtf8Console();
    return ctl::run(app->arguments().mid(1));
}
