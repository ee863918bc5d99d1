#pragma once
// The commands of lv300ctl; each returns its exit code.

#include "options.h"
#include "output.h"
#include "terminal_dialog.h"

namespace ctl {

// Commands without a port.
int cmdPorts(const Options& o, Output& out);
int cmdGateway(const Options& o, Output& out, TerminalDialog& dlg);
int cmdReplay(const Options& o, Output& out, TerminalDialog& dlg);

// The commands that work on one sensor.
int sensorCommand(const Options& o, Output& out, TerminalDialog& dlg);

// Sensor profiles: save and apply.
int cmdProfile(const Options& o, Output& out, TerminalDialog& dlg);

// The table commands on files (fit, CSV, the calibration protocol).
bool isTableFileCommand(const Options& o);
int cmdTableFile(const Options& o, Output& out, TerminalDialog& dlg);
// Whether the arguments ask for the calibration protocol, which draws with
// QtGui and so needs a QGuiApplication (made on the offscreen platform).
bool isTableReport(int argc, char** argv);

// Firmware through the sensor's bootloader.
int cmdFlash(const Options& o, Output& out, TerminalDialog& dlg);

} // namespace ctl
