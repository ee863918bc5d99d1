// The configurator: the main window on the system's serial ports, plus the
// paths given with --port, plus the built-in simulator with --demo.
#include "app/command_line.h"
#include "app/gui/frm_serial.h"
#include "base/clock.h"
#include "base/gui/qt_user_dialog.h"
#include "base/gui/system_tones.h"
#include "base/version.h"
#include "base/work_log.h"
#include "link/port_list.h"
#include "link/serial_port.h"
#include "session/session.h"
#include "sim/demo_line.h"
#include "sim/virtual_port.h"

#include <QApplication>
#include <QIcon>
#include <QLibraryInfo>
#include <QTranslator>
#include <cstdio>

#ifdef Q_OS_WIN
#include <windows.h>
#endif

namespace {
const QString SimulatorItem = QStringLiteral("Симулятор");

// What Qt's Russian catalogue leaves in English (or in Latin letters):
// searched before it.
class QtTextsGaps : public QTranslator {
public:
    QString translate(const char* context, const char* source, const char* disambiguation,
                      int n) const override {
        (void)disambiguation;
        (void)n;
        struct Gap {
            const char* context;
            const char* source;
            const char16_t* text;
        };
        static constexpr Gap gaps[] = {
            {"QPlatformTheme", "OK", u"ОК"},
            {"QAbstractFileIconProvider", "Folder", u"Папка"},
            {"QAbstractFileIconProvider", "File", u"Файл"},
            {"QAbstractFileIconProvider", "%1 File", u"Файл %1"},
            {"QAbstractFileIconProvider", "Drive", u"Диск"},
        };
        for (const Gap& g : gaps) {
            if (qstrcmp(context, g.context) == 0 && qstrcmp(source, g.source) == 0)
                return QString::fromUtf16(g.text);
        }
        return {};
    }
    bool isEmpty() const override { return false; }
};

// Prints text for the user who started the program from a shell. On
// Windows a window program has no console of its own: the text goes into the
// console it was started from (unless the output is redirected), in UTF-8,
// whatever that console's code page was.
void print(std::FILE* f, const QString& text) {
#ifdef Q_OS_WIN
    const DWORD which = f == stdout ? STD_OUTPUT_HANDLE : STD_ERROR_HANDLE;
    const HANDLE h = GetStdHandle(which);
    if ((h == nullptr || h == INVALID_HANDLE_VALUE || GetFileType(h) == FILE_TYPE_UNKNOWN) &&
        (AttachConsole(ATTACH_PARENT_PROCESS) || GetLastError() == ERROR_ACCESS_DENIED))
        f = std::freopen("CONOUT$", "w", f);
    if (!f)
        return;
    const UINT codePage = GetConsoleOutputCP();
    if (codePage != 0)
        SetConsoleOutputCP(CP_UTF8);
    std::fputs(text.toUtf8().constData(), f);
    std::fflush(f);
    if (codePage != 0)
        SetConsoleOutputCP(codePage);
#else
    std::fputs(text.toLocal8Bit().constData(), f);
#endif
}

QString helpText() {
    return cmdline::helpText(WorkLog::defaultDirs(),
                             cmdline::installedGuideFolder(QCoreApplication::applicationDirPath()));
}

// --help, --version and wrong usage: printed without a window or a log.
int finishAtCommandLine(int argc, char** argv, const cmdline::Parsed& parsed) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QLatin1String(version::ProgramName));
    switch (parsed.action) {
    case cmdline::Parsed::Action::Help:
        print(stdout, helpText());
        return cmdline::ExitDone;
    case cmdline::Parsed::Action::Version:
        print(stdout, cmdline::versionText());
        return cmdline::ExitDone;
    default:
        print(stderr, parsed.error + u'\n' + u'\n' + helpText());
        return cmdline::ExitWrongUsage;
    }
}
} // namespace

int main(int argc, char** argv) {
    QStringList rawArgs;
    for (int i = 0; i < argc; ++i)
        rawArgs.append(QString::fromLocal8Bit(argv[i]));
    const cmdline::Parsed parsed = cmdline::parse(rawArgs);
    if (parsed.action != cmdline::Parsed::Action::Run)
        return finishAtCommandLine(argc, argv, parsed);

    QApplication app(argc, argv);
    QApplication::setApplicationName(QLatin1String(version::ProgramName));
    // The window, the splash and every box carry the program's icon.
    Q_INIT_RESOURCE(form2);
    QIcon icon;
    for (const char* size : {"48", "256"})
        icon.addFile(QStringLiteral(":/icon/%1.png").arg(QLatin1String(size)));
    QApplication::setWindowIcon(icon);
    // Qt's own texts (standard buttons, the file dialog) in Russian, like the
    // program's; without the system's translations they stay English.
    QTranslator qtTexts;
    if (qtTexts.load(QStringLiteral("qtbase_ru"),
                     QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(&qtTexts);
    QtTextsGaps qtTextsGaps;
    if (!qtTexts.isEmpty())
        QApplication::installTranslator(&qtTextsGaps);
    const bool demo = parsed.options.demo;
    const QStringList extraPorts = parsed.options.ports;

    DemoLine demoLine;
    if (demo) {
        demoLine = makeDemoLine();
        // A firmware run is answered the way a technician would: the first
        // sensor is switched off and on (its loader answers the 7th sync
        // byte, some 1.5 s into the run).
        armBootloader(demoLine, demoLine.sensors.first()->address(), 7);
    }

    SystemClock clock;
    const std::unique_ptr<Tones> tones = makeSystemTones();
    session::Session session;
    frmSerial::Services services;
    services.session = &session;
    services.clock = &clock;
    services.tones = tones.get();
    services.programDir = QApplication::applicationDirPath();
    services.logDirs = WorkLog::defaultDirs();
    portlist::PortScanner scanner;
    services.listPorts = [extraPorts, demo, &scanner] {
        QStringList items = portlist::portNames(extraPorts, scanner.names());
        if (demo)
            items.prepend(SimulatorItem);
        return items;
    };
    services.describePort = [&scanner](const QString& item) { return scanner.details(item); };
    services.makePort = [&demoLine](const QString& item, QString* path) -> std::unique_ptr<Port> {
        if (item == SimulatorItem && demoLine.bus) {
            *path = SimulatorItem;
            return std::make_unique<VirtualPort>(demoLine.bus, VirtualPort::Timing::Realistic);
        }
        *path = portlist::devicePathForItem(item);
        if (path->isEmpty())
            return nullptr;
        return std::make_unique<SerialPort>();
    };

    frmSerial window(services);
    QtUserDialog dialog(&window);
    window.setDialog(&dialog);
    window.Load();
    return QApplication::exec();
}
