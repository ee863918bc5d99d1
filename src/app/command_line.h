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

// The usage and the options, and where the work log goes: logFolders are the
// folders a run's log may go to, in order of preference.
QString helpText(const QStringList& logFolders);

// "lv300-configurator 2.6.3" and the Qt version the program runs on.
QString versionText();

// The exit code of a run that stopped at the command line.
constexpr int ExitDone = 0;
constexpr int ExitWrongUsage = 2;

} // namespace cmdline
