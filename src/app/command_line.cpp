#include "app/command_line.h"

#include "base/version.h"

#include <QCommandLineParser>
#include <QDir>

namespace cmdline {

namespace {

// Qt's own options as QGuiApplication takes them: those followed by a value,
// and plain switches.
const QStringList QtValueOptions{
    QStringLiteral("-platform"),        QStringLiteral("-platformpluginpath"),
    QStringLiteral("-platformtheme"),   QStringLiteral("-plugin"),
    QStringLiteral("-qwindowgeometry"), QStringLiteral("-qwindowicon"),
    QStringLiteral("-qwindowtitle"),    QStringLiteral("-style"),
    QStringLiteral("-stylesheet"),      QStringLiteral("-session"),
    QStringLiteral("-display"),         QStringLiteral("-geometry"),
    QStringLiteral("-title"),           QStringLiteral("-name")};
const QStringList QtSwitches{QStringLiteral("-reverse"), QStringLiteral("-widgetcount"),
                             QStringLiteral("-nograb"), QStringLiteral("-dograb"),
                             QStringLiteral("-sync")};

QStringList withoutQtOptions(const QStringList& arguments) {
    QStringList out;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& a = arguments.at(i);
        if (i > 0 && QtValueOptions.contains(a)) {
            ++i;
            continue;
        }
        if (i > 0 && (QtSwitches.contains(a) || QtValueOptions.contains(a.section(u'=', 0, 0))))
            continue;
        out.append(a);
    }
    return out;
}

} // namespace

Parsed parse(const QStringList& arguments) {
    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption port(QStringLiteral("port"), QString(), QStringLiteral("path"));
    const QCommandLineOption demo(QStringLiteral("demo"));
    const QCommandLineOption help(QStringList{QStringLiteral("h"), QStringLiteral("help")});
    const QCommandLineOption version(QStringLiteral("version"));
    parser.addOptions({port, demo, help, version});

    Parsed p;
    QStringList args = withoutQtOptions(arguments);
    if (args.isEmpty())
        args.append(QLatin1String(version::ProgramName));
    if (!parser.parse(args)) {
        p.action = Parsed::Action::WrongUsage;
        p.error = parser.errorText();
        return p;
    }
    if (!parser.positionalArguments().isEmpty()) {
        p.action = Parsed::Action::WrongUsage;
        p.error =
            QStringLiteral("Unexpected argument '%1'.").arg(parser.positionalArguments().first());
        return p;
    }
    if (parser.isSet(help))
        p.action = Parsed::Action::Help;
    else if (parser.isSet(version))
        p.action = Parsed::Action::Version;
    p.options.ports = parser.values(port);
    p.options.ports.removeAll(QString());
    p.options.demo = parser.isSet(demo);
    return p;
}

namespace {
#ifdef Q_OS_WIN
const QString SerialPortNote = QStringLiteral("Serial ports: COM1..COM30.\n");
#else
const QString SerialPortNote =
    QStringLiteral("The serial port needs the user in the group dialout.\n");
#endif
} // namespace

QString installedGuideFolder(const QString& programDir) {
#ifdef Q_OS_WIN
    return QDir::cleanPath(programDir + QStringLiteral("/guide"));
#else
    return QDir::cleanPath(programDir + QStringLiteral("/../share/doc/lv300-configurator/guide"));
#endif
}

QString helpText(const QStringList& logFolders, const QString& guideFolder) {
    QStringList folders;
    for (const QString& f : logFolders) {
        if (!f.isEmpty())
            folders.append(QStringLiteral("  ") +
                           QDir::toNativeSeparators(QDir(f).filePath(QStringLiteral("log"))));
    }
    return QStringLiteral(
               "usage: lv300-configurator [--port PATH]... [--demo]\n"
               "\n"
               "The configurator of the LV-300 fuel-level sensor (RS-485, 19200 baud).\n"
               "\n"
               "Options:\n"
               "  --port PATH     add a device the system's port list does not show (a\n"
               "                  pseudo-terminal, a udev symlink); repeatable\n"
               "  --demo          add the built-in sensor simulator (\"Симулятор\") to the list\n"
               "  --version       print the program's and Qt's versions\n"
               "  -h, --help      print this text\n"
               "Qt's own options (-platform, -style...) are passed to Qt.\n"
               "\n"
               "Work log: every run writes one, ddmmyyyy_hhmmss.log (Windows-1251 text),\n"
               "into the first of these folders that can be written:\n") +
           folders.join(u'\n') +
           QStringLiteral("\n\"Журнал работы\" in the main window opens the folder.\n") +
           SerialPortNote +
           QStringLiteral("\nGuide: F1 (or \"Справка\" in the main window) opens the technician's\n"
                          "guide, in Russian; its Markdown pages are installed in\n  ") +
           QDir::toNativeSeparators(guideFolder) + u'\n';
}

QString versionText() {
    return QLatin1String(version::ProgramName) + u' ' + QLatin1String(version::Text) +
           QStringLiteral("\nQt ") + QLatin1String(qVersion()) + u'\n';
}

} // namespace cmdline
