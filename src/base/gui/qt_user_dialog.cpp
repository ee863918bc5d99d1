#include "base/gui/qt_user_dialog.h"

#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>

QString QtUserDialog::defaultTitle() {
    return QStringLiteral("Конфигуратор ЛВ-300");
}

void QtUserDialog::message(const QString& text, const QString& title, Icon icon) {
    QMessageBox::Icon qicon = QMessageBox::NoIcon;
    switch (icon) {
    case Icon::None:
        break;
    case Icon::Information:
        qicon = QMessageBox::Information;
        break;
    case Icon::Warning:
        qicon = QMessageBox::Warning;
        break;
    case Icon::Critical:
        qicon = QMessageBox::Critical;
        break;
    }
    QMessageBox box(qicon, title.isEmpty() ? defaultTitle() : title, text, QMessageBox::Ok,
                    parent_);
    box.exec();
}

bool QtUserDialog::askYesNo(const QString& text, const QString& title) {
    QMessageBox box(QMessageBox::Question, title.isEmpty() ? defaultTitle() : title, text,
                    QMessageBox::Yes | QMessageBox::No, parent_);
    box.setDefaultButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}

std::optional<QString> QtUserDialog::inputBox(const QString& prompt, const QString& title,
                                              const QString& defaultText) {
    bool ok = false;
    const QString text = QInputDialog::getText(parent_, title.isEmpty() ? defaultTitle() : title,
                                               prompt, QLineEdit::Normal, defaultText, &ok);
    if (!ok)
        return std::nullopt;
    return text;
}

QString QtUserDialog::openFileName(const QString& title, const QString& filter,
                                   const QString& folder) {
    return QFileDialog::getOpenFileName(parent_, title, folder, filter);
}

QString QtUserDialog::saveFileName(const QString& title, const QString& filter,
                                   const QString& folder) {
    return QFileDialog::getSaveFileName(parent_, title, folder, filter);
}
