#pragma once

#include "base/user_dialog.h"

class QWidget;

// Message boxes, input boxes and file dialogs of Qt, parented to a window.
class QtUserDialog : public UserDialog {
public:
    explicit QtUserDialog(QWidget* parent) : parent_(parent) {}

    void message(const QString& text, const QString& title, Icon icon) override;
    bool askYesNo(const QString& text, const QString& title) override;
    std::optional<QString> inputBox(const QString& prompt, const QString& title,
                                    const QString& defaultText) override;
    QString openFileName(const QString& title, const QString& filter,
                         const QString& folder) override;
    QString saveFileName(const QString& title, const QString& filter,
                         const QString& folder) override;

    static QString defaultTitle();

private:
    QWidget* parent_;
};
