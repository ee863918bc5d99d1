#pragma once
// The user dialogue on a terminal: messages go to stderr, questions are
// answered Yes with --yes, asked on the terminal otherwise, and refused when
// there is no terminal; input boxes take the values the command supplied.

#include "base/user_dialog.h"

#include <QStringList>

namespace ctl {

class TerminalDialog : public UserDialog {
public:
    explicit TerminalDialog(bool yes) : yes_(yes) {}
    // The answer of the next input box.
    void supply(const QString& value) { answers_ << value; }

    // Every message shown so far, oldest first.
    const QStringList& messages() const { return messages_; }
    // A question was answered No, or could not be asked.
    bool declined() const { return declined_; }
    bool noTerminal() const { return noTerminal_; }

    void message(const QString& text, const QString& title = {}, Icon icon = Icon::None) override;
    bool askYesNo(const QString& text, const QString& title = {}) override;
    std::optional<QString> inputBox(const QString& prompt, const QString& title,
                                    const QString& defaultText) override;
    QString openFileName(const QString&, const QString&, const QString&) override { return {}; }
    QString saveFileName(const QString&, const QString&, const QString&) override { return {}; }

private:
    bool yes_;
    QStringList answers_;
    QStringList messages_;
    bool declined_ = false;
    bool noTerminal_ = false;
};

} // namespace ctl
