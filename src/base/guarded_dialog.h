#pragma once
// The dialogue seam as the program uses it: every call is passed on to the
// real dialogue while a busy guard is held, so no tick runs inside a box.

#include "base/busy.h"
#include "base/user_dialog.h"

class GuardedDialog : public UserDialog {
public:
    explicit GuardedDialog(Busy& busy) : busy_(busy) {}
    void setInner(UserDialog* inner) { inner_ = inner; }
    UserDialog* inner() const { return inner_; }

    void message(const QString& text, const QString& title = {}, Icon icon = Icon::None) override {
        Busy::Guard g(busy_);
        inner_->message(text, title, icon);
    }
    bool askYesNo(const QString& text, const QString& title = {}) override {
        Busy::Guard g(busy_);
        return inner_->askYesNo(text, title);
    }
    std::optional<QString> inputBox(const QString& prompt, const QString& title,
                                    const QString& defaultText) override {
        Busy::Guard g(busy_);
        return inner_->inputBox(prompt, title, defaultText);
    }
    QString openFileName(const QString& title, const QString& filter,
                         const QString& folder) override {
        Busy::Guard g(busy_);
        return inner_->openFileName(title, filter, folder);
    }
    QString saveFileName(const QString& title, const QString& filter,
                         const QString& folder) override {
        Busy::Guard g(busy_);
        return inner_->saveFileName(title, filter, folder);
    }

private:
    Busy& busy_;
    UserDialog* inner_ = nullptr;
};
