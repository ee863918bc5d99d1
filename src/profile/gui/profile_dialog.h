#pragma once
// The apply summary: the groups of a profile with their check boxes and what
// would change, then the progress of the writes, then the read-back report
// per group. The run itself is the caller's (given as a function), so the
// dialog only gathers the choice and shows what comes back.

#include "profile/transfer.h"

#include <QDialog>
#include <functional>
#include <map>

class QCheckBox;
class QLabel;
class QProgressBar;
class QPushButton;

class ProfileDialog : public QDialog {
    Q_OBJECT
public:
    using Run = std::function<profile::Report(const QList<profile::Group>& groups,
                                              const profile::Progress& progress,
                                              const profile::Cancelled& cancelled)>;

    // header: what is applied to which sensor, in a line or two.
    ProfileDialog(QWidget* parent, const QString& header, const QList<profile::GroupPlan>& plan,
                  Run run);

    QList<profile::Group> chosen() const;
    const std::optional<profile::Report>& report() const { return report_; }

    void reject() override; // while the writes run: cancel them instead

private:
    void start();
    void showProgress(int done, int total, const QString& what);
    void showReport(const profile::Report& r);

    Run run_;
    std::map<profile::Group, QCheckBox*> boxes_;
    std::map<profile::Group, QLabel*> details_;
    QProgressBar* bar_;
    QLabel* status_;
    QPushButton* apply_;
    QPushButton* stop_;
    QPushButton* close_;
    bool running_ = false;
    bool cancelled_ = false;
    std::optional<profile::Report> report_;
};
