#pragma once
// A main window on the simulator with scripted dialogue, recorded tones and a
// fixed clock, driven tick by tick.

#include "app/gui/frm_serial.h"
#include "base/clock.h"
#include "base/tones.h"
#include "base/work_log.h"
#include "sim/demo_line.h"
#include "sim/virtual_port.h"
#include "support/scripted_dialog.h"
#include "ui_frmserial.h"

#include <QFile>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QTimer>

class RecordingTones : public Tones {
public:
    QList<QPair<int, int>> beeps;
    void beep(int hertz, int ms) override { beeps.append({hertz, ms}); }
    int shortCount() const { return int(beeps.count({1000, 100})); }
    int longCount() const { return int(beeps.count({400, 800})); }
};

class FixedClock : public Clock {
public:
    QDateTime t{QDate(2026, 12, 8), QTime(10, 0, 0)};
    QDateTime now() const override { return t; }
};

// The hex line a message window shows first (its text up to the line end).
inline QString shownHex(const QPlainTextEdit* txtRec) {
    return txtRec->toPlainText().section(QLatin1Char('\n'), 0, 0).remove(QLatin1Char('\r'));
}

inline const QString SimItem = QStringLiteral("Симулятор");

// The window's outside world for a test: scripted dialogue, recorded tones,
// a fixed clock and a temporary folder for the log and the file dialogs.
struct WindowServices {
    ScriptedDialog dialog;
    RecordingTones tones;
    FixedClock clock;
    QTemporaryDir dir;

    // Services with these filled in; the test adds the ports.
    frmSerial::Services services() {
        frmSerial::Services sv;
        sv.dialog = &dialog;
        sv.tones = &tones;
        sv.clock = &clock;
        sv.logDirs = {dir.path()};
        sv.programDir = dir.path();
        return sv;
    }
};

struct WindowHarness : WindowServices {
    DemoLine line;
    VirtualPort* port = nullptr; // the port of the last open, owned by the window
    std::unique_ptr<frmSerial> w;
    QStringList ports{SimItem};

    explicit WindowHarness(const QList<quint8>& addresses = {1, 5}) {
        line = makeDemoLine(addresses);
        for (auto& s : line.sensors)
            s->holdLevel(true);
        frmSerial::Services sv = services();
        sv.listPorts = [this] { return ports; };
        sv.makePort = [this](const QString& item, QString* path) -> std::unique_ptr<Port> {
            if (item != SimItem)
                return nullptr;
            *path = item;
            auto p = std::make_unique<VirtualPort>(line.bus, VirtualPort::Timing::Instant);
            port = p.get();
            return p;
        };
        w = std::make_unique<frmSerial>(sv);
        w->Load();
    }

    Ui::frmSerial* ui() const { return w->ui; }

    // Shows the main window (second Timer1 tick) and picks the simulator.
    void open() {
        w->Timer1_Timer();
        w->Timer1_Timer();
        w->ui->CmbPort->setCurrentText(SimItem);
        w->BTNOpenCom_Click();
    }

    void ticks(int n) {
        for (int i = 0; i < n; ++i)
            w->TMRComm_Timer();
    }

    // Polls the line and selects the first sensor found; its identity is read.
    void findSensors() {
        w->Opros_Click();
        ticks(3); // poll out; list in + identity out; identity in + data poll out
    }

    QByteArray logBytes() const {
        QFile f(w->workLog().path());
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    QString logText() const; // decoded from Windows-1251
};

#include "base/text_1251.h"
inline QString WindowHarness::logText() const {
    return text1251::decode(logBytes());
}
