#include "tables/gui/form1.h"

#include "base/gui/help_window.h"
#include "tables/curves.h"
#include "tables/gui/curve_view.h"
#include "tables/gui/portion_view.h"

#include <QKeyEvent>
#include <QTimer>

// A window of its own even when it is given an owner.
Form1::Form1(QWidget* parent) : QWidget(parent, Qt::Window) {
    ui.setupUi(this);
    ui.MSFlexGrid1->setHorizontalHeaderLabels(tables::windowLayout().headers);
    // The curve stands beside the grid.
    curve_ = newCaptureCurve(this);
    const int at = ui.verticalLayout->indexOf(ui.MSFlexGrid1);
    ui.verticalLayout->removeWidget(ui.MSFlexGrid1);
    auto* row = new QHBoxLayout;
    ui.MSFlexGrid1->setMinimumWidth(330); // its two columns, unsqueezed
    row->addWidget(ui.MSFlexGrid1, 1);
    row->addWidget(curve_, 1);
    ui.verticalLayout->insertLayout(at, row, 1);
    tableFromCalibration = new QPushButton(QStringLiteral("В таблицу датчика"), this);
    tableFromCalibration->setObjectName(QStringLiteral("tableFromCalibration"));
    ui.gridLayout_2->addWidget(tableFromCalibration, 2, 0);
    Timer3 = new QTimer(this);
    Timer3->setObjectName(QStringLiteral("Timer3"));
    Timer3->setInterval(50);
    connect(Timer3, &QTimer::timeout, this, &Form1::Timer3_Timer);
    isActive = [this] { return isActiveWindow(); };
    // F9 reaches whichever control has the focus: watch them all.
    installEventFilter(this);
    for (QWidget* w : findChildren<QWidget*>())
        w->installEventFilter(this);
    connect(ui.Command1, &QPushButton::clicked, this, &Form1::Command1_Click);
    connect(ui.Command2, &QPushButton::clicked, this, &Form1::Command2_Click);
    connect(ui.Command4, &QPushButton::clicked, this, &Form1::Command4_Click);
    connect(ui.ch_portion, &QPushButton::clicked, this, &Form1::ch_portion_Click);
    connect(ui.Command3, &QPushButton::clicked, this, &Form1::Command3_Click);
    help::bindF1(this, QStringLiteral("portions.md"));
}

Form1::~Form1() = default;

void Form1::attach(std::function<UserDialog&()> dialog, const QString& folder,
                   std::function<void(const std::function<void()>&)> guarded) {
    calibration_ = std::make_unique<tables::PortionCalibration>(tables::windowLayout(), folder);
    dialog_ = std::move(dialog);
    guarded_ = std::move(guarded);
    render();
}

void Form1::run(const std::function<void()>& op) {
    // A box shown by a handler runs its own event loop, in which Timer3 keeps
    // firing: no handler starts while another one is still open.
    if (!calibration_ || running_)
        return;
    running_ = true;
    if (guarded_)
        guarded_(op);
    else
        op();
    running_ = false;
    render();
}

void Form1::render() {
    renderPortions(*calibration_, ui.MSFlexGrid1, ui.step_zapr, ui.tar_file_name);
    curve_->setPoints(tables::captureCurve(*calibration_));
}

void Form1::Command1_Click() {
    run([this] { calibration_->newCalibration(dialog_()); });
}

void Form1::Command2_Click() {
    run([this] { calibration_->resume(dialog_()); });
}

void Form1::Command4_Click() {
    run([this] { calibration_->capture(ui.Uroven->text(), dialog_()); });
}

void Form1::ch_portion_Click() {
    run([this] { calibration_->changePortion(dialog_()); });
}

void Form1::Command3_Click() {
    hide();
}

void Form1::Timer3_Timer() {
    if (f9_.poll(isActive && isActive()))
        Command4_Click();
}

bool Form1::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress || event->type() == QEvent::KeyRelease) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_F9 && !key->isAutoRepeat()) {
            if (event->type() == QEvent::KeyPress)
                f9_.keyPressed();
            else
                f9_.keyReleased();
        }
    }
    return QWidget::eventFilter(watched, event);
}

void Form1::changeEvent(QEvent* event) {
    // A release while another window is active never reaches this one.
    if (event->type() == QEvent::ActivationChange && !isActiveWindow())
        f9_.reset();
    QWidget::changeEvent(event);
}

void Form1::showEvent(QShowEvent* event) {
    Timer3->start();
    QWidget::showEvent(event);
}

void Form1::hideEvent(QHideEvent* event) {
    Timer3->stop();
    f9_.reset();
    QWidget::hideEvent(event);
}
