#include "sensor/gui/form4.h"

Form4::Form4(QWidget* parent) : QDialog(parent) {
    ui.setupUi(this);
    setModal(false);
}
