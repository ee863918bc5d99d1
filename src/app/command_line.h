#pragma once
// The configurator's command line: --port, --demo, --help, --version. Qt's
// own options (-platform, -style...) are left for Qt.

#include <QString>
#include <QStringList>

namespace cmdline {

struct Options {
    QStringList ports; // every --port PATH, in order
    bool demo = false;
};

struct Parsed {
    enum class Action { Run, Help, Version, WrongUsage } action = Action::Run;
    Options options;
    QString error; // for WrongUsage: what was wrong
};

// arguments: as the program got them, the program itself first.
Parsed parse(const QStringList& arguments);

// The usage and the options, where the work log goes and where the guide is:
// logFolders are the folders a run's log may go to, in order of preference;
// guideFolder is where the guide's pages are installed.
QString helpText(const QStringList& logFolders, const QString& guideFolder);

// Where the installed program's guide pages are, for the program in
// programDir: beside it on Windows, in the shared documentation elsewhere.
QString installedGuideFolder(const QString& programDir);

// "lv300-configurator 2.6.3" and the Qt version the program runs on.
QString versionText();

// The exit code of a run that stopped at the command line.
constexpr int ExitDone = 0;
constexpr int ExitWrongUsage = 2;

} // namespace cmdline
