#pragma once
// The splash window: a frameless picture shown while the main window loads.

#include <QWidget>

#include "ui_form2.h"

class Form2 : public QWidget {
    Q_OBJECT
public:
    explicit Form2(QWidget* parent = nullptr);

    Ui::Form2 ui;
};
