#pragma once
// A UserDialog for tests: records every call and answers from queues.

#include "base/user_dialog.h"

#include <QList>
#include <QQueue>
#include <QStringList>

class ScriptedDialog : public UserDialog {
public:
    struct Call {
        QString kind; // "message", "question", "input", "open", "save"
        QString text; // message text, question, input prompt, dialog title
        QString title;
        QString extra; // input default text, file filter
        QString folder;
        Icon icon = Icon::None;
    };

    QList<Call> calls;
    QQueue<bool> yesNoAnswers;                   // empty queue answers Yes
    QQueue<std::optional<QString>> inputAnswers; // empty queue answers cancel
    QQueue<QString> fileAnswers;                 // empty queue answers cancel

    void message(const QString& text, const QString& title, Icon icon) override;
    bool askYesNo(const QString& text, const QString& title) override;
    std::optional<QString> inputBox(const QString& prompt, const QString& title,
                                    const QString& defaultText) override;
    QString openFileName(const QString& title, const QString& filter,
                         const QString& folder) override;
    QString saveFileName(const QString& title, const QString& filter,
                         const QString& folder) override;

    // The texts of the message boxes shown, in order.
    QStringList messages() const;
    void clear() { calls.clear(); }
};
