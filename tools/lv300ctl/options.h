#pragma once
// The command line of lv300ctl: global options anywhere, then a command and
// its words. Values are kept as typed; each command checks its own.

#include <QMap>
#include <QSet>
#include <QString>
#include <QStringList>
#include <optional>

namespace ctl {

struct Options {
    QString port;                              // --port
    QString addressText = QStringLiteral("1"); // --address, as typed
    bool json = false;
    int timeoutMs = 1000;
    bool yes = false;
    bool log = false;
    bool help = false;
    bool version = false;
    QStringList words;             // the command and its positional words
    QMap<QString, QString> values; // command options with a value: -o, --count, ...
    QSet<QString> flags;           // command flags: --invert, --csv, ...

    QString command() const { return words.value(0); }
    QString word(int i) const { return words.value(i); }
    bool flag(const QString& name) const { return flags.contains(name); }
};

struct Parsed {
    std::optional<Options> options; // nullopt: error says why
    QString error;
};

// Parses the arguments after the program name.
Parsed parseArguments(const QStringList& arguments);

// The text of --help.
QString helpText();

} // namespace ctl
