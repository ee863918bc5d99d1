#include "terminal_dialog.h"
#include "output.h"

#include <cstdio>
#include <string>

#if defined(_WIN32)
#include <io.h>
#define CTL_ISATTY _isatty
#define CTL_FILENO _fileno
#else
#include <unistd.h>
#define CTL_ISATTY isatty
#define CTL_FILENO fileno
#endif

namespace ctl {

void TerminalDialog::message(const QString& text, const QString&, Icon) {
    messages_ << text.trimmed();
    toStderr(text.trimmed() + u'\n');
}

bool TerminalDialog::askYesNo(const QString& text, const QString&) {
    if (yes_) {
        toStderr(text + QStringLiteral(" yes\n"));
        return true;
    }
    if (!CTL_ISATTY(CTL_FILENO(stdin)) || !CTL_ISATTY(CTL_FILENO(stderr))) {
        noTerminal_ = true;
        declined_ = true;
        return false;
    }
    toStderr(text + QStringLiteral(" [y/N] "));
    std::string line;
    for (int c = std::fgetc(stdin); c != EOF && c != '\n'; c = std::fgetc(stdin))
        line.push_back(char(c));
    const QString answer = QString::fromUtf8(line).trimmed().toLower();
    const bool yes = answer == QLatin1String("y") || answer == QLatin1String("yes") ||
                     answer == QStringLiteral("д") || answer == QStringLiteral("да");
    declined_ = !yes;
    return yes;
}

std::optional<QString> TerminalDialog::inputBox(const QString&, const QString&, const QString&) {
    if (answers_.isEmpty())
        return std::nullopt;
    return answers_.takeFirst();
}

} // namespace ctl
