#pragma once
// The calibration-by-portions window: the same procedure as the main window's
// calibration tab, with its own grid, file and level display.

#include <QWidget>
#include <functional>
#include <memory>

#include "tables/portions.h"
#include "ui_form1.h"

class CurveView;
class QTimer;
class UserDialog;

class Form1 : public QWidget {
    Q_OBJECT
public:
    explicit Form1(QWidget* parent = nullptr);
    ~Form1() override;

    Ui::Form1 ui;

    // Gives the window its dialogue seam (asked for at each use, as the
    // owner may replace it) and the folder its file dialogs start in.
    // `guarded` runs a handler so that no exchange tick interleaves with the
    // boxes it shows (and may decline to run it while the owner is busy).
    // Until attached the buttons do nothing.
    void attach(std::function<UserDialog&()> dialog, const QString& folder,
                std::function<void(const std::function<void()>&)> guarded = {});
    tables::PortionCalibration* calibration() const { return calibration_.get(); }

    void Command1_Click(); // "Новая тарировка"
    void Command2_Click(); // "Возобновить тарировку"
    void Command4_Click(); // "Ввести значение  (F9)": captures the level shown in Uroven
    void ch_portion_Click(); // "Изменить"
    void Command3_Click();   // "Скрыть окно"

    // "В таблицу датчика": the sensor's table fitted to this window's
    // captures; its owner connects it.
    QPushButton* tableFromCalibration;

    // The 50 ms poll of F9; runs while the window is shown. Tests call the
    // tick directly.
    QTimer* Timer3;
    void Timer3_Timer();
    tables::F9Poller& f9() { return f9_; }
    // The captures drawn as litres against level, beside the grid.
    CurveView* curve() const { return curve_; }
    // Whether the window is the active one; the window's own state unless
    // replaced.
    std::function<bool()> isActive;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void changeEvent(QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void run(const std::function<void()>& op);
    void render();

    CurveView* curve_;
    std::unique_ptr<tables::PortionCalibration> calibration_;
    std::function<UserDialog&()> dialog_;
    std::function<void(const std::function<void()>&)> guarded_;
    tables::F9Poller f9_;
    bool running_ = false;
};
