#include "sensor/gui/form4.h"

#include "base/gui/help_window.h"

Form4::Form4(QWidget* parent) : QDialog(parent) {
    ui.setupUi(this);
    setModal(false);
    help::bindF1(this, QStringLiteral("levels.md"));
}
