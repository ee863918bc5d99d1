#pragma once
// Everything the program asks or tells the user goes through this seam: the
// windows get the Qt implementation, tests a scripted one.

#include <QString>
#include <optional>

class UserDialog {
public:
    enum class Icon { None, Information, Warning, Critical };

    virtual ~UserDialog() = default;

    // A message box with an OK button.
    virtual void message(const QString& text, const QString& title = {},
                         Icon icon = Icon::None) = 0;

    // A Yes/No question; true only for Yes.
    virtual bool askYesNo(const QString& text, const QString& title = {}) = 0;

    // An input box; nullopt when cancelled. An empty text is returned as "".
    virtual std::optional<QString> inputBox(const QString& prompt, const QString& title,
                                            const QString& defaultText) = 0;

    // File dialogs; filter in Qt form, e.g. "tbl Files (*.lv3)". Empty when cancelled.
    virtual QString openFileName(const QString& title, const QString& filter,
                                 const QString& folder) = 0;
    virtual QString saveFileName(const QString& title, const QString& filter,
                                 const QString& folder) = 0;
};
