#pragma once
// The level-shift dialog: a signed shift for the full or the empty level.
// Shown without blocking the main window.

#include <QDialog>

#include "ui_form4.h"

class Form4 : public QDialog {
    Q_OBJECT
public:
    explicit Form4(QWidget* parent = nullptr);

    Ui::Form4 ui;
};
