// The calibration tab and the table window's link to the engine.
#include "app/gui/frm_serial.h"

#include "ui_frmserial.h"

void frmSerial::connectCalibrationPage() {}

QString frmSerial::ans_to_table(const QByteArray&) {
    return {};
}
