#include "profile/gui/profile_dialog.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

using profile::Group;

namespace {

QString linesOf(const QList<profile::Difference>& differences) {
    if (differences.isEmpty())
        return QStringLiteral("совпадает");
    QStringList lines;
    for (const profile::Difference& d : differences)
        lines << d.text();
    return lines.join(QLatin1Char('\n'));
}

} // namespace

ProfileDialog::ProfileDialog(QWidget* parent, const QString& header,
                             const QList<profile::GroupPlan>& plan, Run run)
    : QDialog(parent), run_(std::move(run)), bar_(new QProgressBar(this)),
      status_(new QLabel(this)), apply_(new QPushButton(QStringLiteral("Применить"), this)),
      stop_(new QPushButton(QStringLiteral("Прервать"), this)),
      close_(new QPushButton(QStringLiteral("Закрыть"), this)) {
    setObjectName(QStringLiteral("profileDialog"));
    setWindowTitle(QStringLiteral("Применить профиль"));
    auto* layout = new QVBoxLayout(this);
    // The dialog grows when the progress bar appears instead of squeezing the groups.
    layout->setSizeConstraint(QLayout::SetMinimumSize);
    auto* head = new QLabel(header, this);
    head->setObjectName(QStringLiteral("profileHeader"));
    layout->addWidget(head);
    for (const profile::GroupPlan& g : plan) {
        auto* box = new QCheckBox(profile::groupTitle(g.group), this);
        box->setObjectName(QStringLiteral("group_") + profile::groupKey(g.group));
        box->setChecked(g.chosen);
        auto* detail = new QLabel(linesOf(g.differences), this);
        detail->setObjectName(QStringLiteral("detail_") + profile::groupKey(g.group));
        detail->setContentsMargins(24, 0, 0, 6);
        layout->addWidget(box);
        layout->addWidget(detail);
        boxes_[g.group] = box;
        details_[g.group] = detail;
    }
    bar_->setObjectName(QStringLiteral("progress"));
    bar_->setValue(0);
    status_->setObjectName(QStringLiteral("status"));
    status_->setWordWrap(true);
    status_->setText(QStringLiteral("Отметьте группы и нажмите \"Применить\"."));
    layout->addWidget(bar_);
    layout->addWidget(status_);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    apply_->setObjectName(QStringLiteral("applyButton"));
    stop_->setObjectName(QStringLiteral("stopButton"));
    close_->setObjectName(QStringLiteral("closeButton"));
    stop_->setVisible(false);
    apply_->setDefault(true);
    for (QPushButton* b : {apply_, stop_, close_})
        buttons->addWidget(b);
    layout->addLayout(buttons);
    connect(apply_, &QPushButton::clicked, this, &ProfileDialog::start);
    connect(stop_, &QPushButton::clicked, this, [this] { cancelled_ = true; });
    connect(close_, &QPushButton::clicked, this, &ProfileDialog::reject);
}

QList<Group> ProfileDialog::chosen() const {
    QList<Group> out;
    for (const auto& [g, box] : boxes_)
        if (box->isChecked())
            out.append(g);
    return out;
}

void ProfileDialog::reject() {
    if (running_) {
        cancelled_ = true;
        return;
    }
    QDialog::reject();
}

void ProfileDialog::start() {
    const QList<Group> groups = chosen();
    if (groups.isEmpty()) {
        status_->setText(QStringLiteral("Не выбрано ни одной группы."));
        return;
    }
    running_ = true;
    cancelled_ = false;
    for (const auto& [g, box] : boxes_)
        box->setEnabled(false);
    apply_->setEnabled(false);
    close_->setEnabled(false);
    stop_->setVisible(true);
    const profile::Report r = run_(
        groups,
        [this](int done, int total, const QString& what) { showProgress(done, total, what); },
        [this] { return cancelled_; });
    running_ = false;
    stop_->setVisible(false);
    close_->setEnabled(true);
    close_->setDefault(true);
    report_ = r;
    showReport(r);
}

void ProfileDialog::showProgress(int done, int total, const QString& what) {
    bar_->setRange(0, qMax(total, 1));
    bar_->setValue(done);
    status_->setText(QStringLiteral("Запись %1 из %2: %3").arg(done + 1).arg(total).arg(what));
    if (done >= total)
        status_->setText(QStringLiteral("Проверка: чтение датчика"));
    adjustSize();
}

void ProfileDialog::showReport(const profile::Report& r) {
    bar_->setValue(r.written);
    if (r.error) {
        status_->setText(r.error.text);
        status_->setStyleSheet(QStringLiteral("color: #C00000"));
        adjustSize();
        return;
    }
    for (const profile::GroupResult& g : r.groups) {
        QLabel* detail = details_[g.group];
        detail->setText(g.differences.isEmpty() || !g.chosen ? g.text() : linesOf(g.differences));
        detail->setStyleSheet(g.differences.isEmpty() ? QStringLiteral("color: #006000")
                                                      : QStringLiteral("color: #C00000"));
    }
    status_->setText(
        r.matches()
            ? QStringLiteral("Записано: %1. Проверка: датчик совпадает с профилем.").arg(r.written)
            : QStringLiteral("Записано: %1. Проверка: есть различия.").arg(r.written));
    adjustSize();
}
