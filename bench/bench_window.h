#pragma once
// The benchmarks' main window: the real frmSerial on a simulated line with
// realistic 19200-baud timing, dialogue answered by script, no sound.

#include "app/gui/frm_serial.h"
#include "base/clock.h"
#include "base/gui/controls.h"
#include "base/tones.h"
#include "session/session.h"
#include "sim/demo_line.h"
#include "sim/virtual_port.h"
#include "support/scripted_dialog.h"

#include <QTemporaryDir>
#include <memory>

class SilentTones : public Tones {
public:
    void beep(int, int) override {}
};

struct BenchWindow {
    DemoLine line;
    ScriptedDialog dialog;
    SilentTones tones;
    SystemClock clock;
    QTemporaryDir dir;
    session::Session session;
    std::unique_ptr<frmSerial> w;

    // Builds the window; `adjust` may add to its services before it exists.
    explicit BenchWindow(const QList<quint8>& addresses,
                         const std::function<void(frmSerial::Services&, DemoLine&)>& adjust = {})
        : line(makeDemoLine(addresses)) {
        frmSerial::Services sv;
        sv.session = &session;
        sv.dialog = &dialog;
        sv.tones = &tones;
        sv.clock = &clock;
        sv.logDirs = {dir.path()};
        sv.listPorts = [] { return QStringList{QStringLiteral("Симулятор")}; };
        sv.makePort = [this](const QString&, QString* path) -> std::unique_ptr<Port> {
            *path = QStringLiteral("Симулятор");
            return std::make_unique<VirtualPort>(line.bus, VirtualPort::Timing::Realistic);
        };
        if (adjust)
            adjust(sv, line);
        w = std::make_unique<frmSerial>(sv);
        w->Load();
        w->Timer1_Timer();
        w->Timer1_Timer(); // the main window is shown
        w->BTNOpenCom_Click();
    }
};
