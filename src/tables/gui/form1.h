#pragma once
// The calibration-by-portions window: the same procedure as the main window's
// calibration tab, with its own grid, file and level display.

#include <QWidget>

#include "ui_form1.h"

class Form1 : public QWidget {
    Q_OBJECT
public:
    explicit Form1(QWidget* parent = nullptr);

    Ui::Form1 ui;
};
