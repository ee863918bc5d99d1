#pragma once
// The "Дист. упр." tab: gateway command lines for a sensor behind a remote
// gateway, and the replay of a recorded log through the session.

#include <QObject>

class QWidget;
namespace session {
class Session;
}

class RemotePage : public QObject {
    Q_OBJECT
public:
    RemotePage(QWidget* root, session::Session& session, const QString& folder);

    // Start-up: the list of commands, the first one selected.
    void load();

public slots:
    void VibGenCmd_Click();
    void ch_ver_Click();
    void gen_zapr_Click();
    void rdf_Click();

private:
    QWidget* root_;
    session::Session& session_;
    QString folder_;
};
