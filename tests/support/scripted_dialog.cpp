#include "support/scripted_dialog.h"

void ScriptedDialog::message(const QString& text, const QString& title, Icon icon) {
    calls.append({"message", text, title, {}, {}, icon});
}

bool ScriptedDialog::askYesNo(const QString& text, const QString& title) {
    calls.append({"question", text, title, {}, {}, Icon::None});
    return yesNoAnswers.isEmpty() ? true : yesNoAnswers.dequeue();
}

std::optional<QString> ScriptedDialog::inputBox(const QString& prompt, const QString& title,
                                                const QString& defaultText) {
    calls.append({"input", prompt, title, defaultText, {}, Icon::None});
    return inputAnswers.isEmpty() ? std::nullopt : inputAnswers.dequeue();
}

QString ScriptedDialog::openFileName(const QString& title, const QString& filter,
                                     const QString& folder) {
    calls.append({"open", title, title, filter, folder, Icon::None});
    return fileAnswers.isEmpty() ? QString() : fileAnswers.dequeue();
}

QString ScriptedDialog::saveFileName(const QString& title, const QString& filter,
                                     const QString& folder) {
    calls.append({"save", title, title, filter, folder, Icon::None});
    return fileAnswers.isEmpty() ? QString() : fileAnswers.dequeue();
}

QStringList ScriptedDialog::messages() const {
    QStringList out;
    for (const Call& c : calls) {
        if (c.kind == "message")
            out << c.text;
    }
    return out;
}
