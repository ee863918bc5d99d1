#pragma once
// The profile buttons of the "Настройка" page: "Сохранить профиль…" reads the
// selected sensor into a *.lv300.json file, "Применить профиль…" reads a file
// and the sensor, shows the apply summary, writes the chosen groups and shows
// the read-back report. The buttons follow the page's markers: enabled while
// a port is open.

#include "profile/transfer.h"

#include <QObject>
#include <QString>

class QPushButton;
class QWidget;
namespace session {
class Session;
}

class ProfilePage : public QObject {
    Q_OBJECT
public:
    // root: the main window holding the "Настройка" page; folder: where the
    // file dialogs start.
    ProfilePage(QWidget* root, session::Session& session, const QString& folder);

    // The dialog shown while an apply is summarised (for tests); null otherwise.
    QWidget* openDialog() const { return dialog_; }
    void setOptions(const profile::Options& o) { options_ = o; }

public slots:
    void saveProfile_Click();
    void applyProfile_Click();

private:
    std::optional<quint8> sensorAddress();
    void tell(const QString& text, bool warning);

    QWidget* root_;
    session::Session& session_;
    QString folder_;
    profile::Options options_;
    QWidget* dialog_ = nullptr;
};
