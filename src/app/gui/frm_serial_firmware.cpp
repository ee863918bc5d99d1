// The firmware tab.
#include "app/gui/frm_serial.h"

#include "ui_frmserial.h"

void frmSerial::connectFirmwarePage() {}
