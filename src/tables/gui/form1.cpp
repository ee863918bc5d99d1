#include "tables/gui/form1.h"

// A window of its own even when it is given an owner.
Form1::Form1(QWidget* parent) : QWidget(parent, Qt::Window) {
    ui.setupUi(this);
}
