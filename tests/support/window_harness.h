#pragma once
// A main window on the simulator with scripted dialogue, recorded tones and a
// fixed clock, driven tick by tick. Controls are found by their objectName;
// the exchange is driven and inspected through the session.

#include "app/gui/frm_serial.h"
#include "base/clock.h"
#include "base/gui/controls.h"
#include "base/text_1251.h"
#include "base/tones.h"
#include "base/work_log.h"
#include "session/session.h"
#include "sim/demo_line.h"
#include "sim/virtual_port.h"
#include "support/scripted_dialog.h"
#include "tables/gui/form1.h"
#include "tables/gui/form3.h"
#include "tables/gui/tables_page.h"

#include <QApplication>
#include <QComboBox>
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

// A top-level window (Form1, Form3) by its objectName.
inline QWidget* topLevel(const char* name) {
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (w->objectName() == QLatin1String(name))
            return w;
    }
    qFatal("No window named %s", name);
    return nullptr;
}

// Runs a handler slot (e.g. "hig_Click") of whichever page of the window has it.
inline void runHandler(QObject* window, const char* slot) {
    const QByteArray signature = QByteArray(slot) + "()";
    QList<QObject*> candidates{window};
    candidates += window->findChildren<QObject*>();
    for (QObject* o : candidates) {
        if (o->metaObject()->indexOfSlot(signature.constData()) >= 0) {
            QMetaObject::invokeMethod(o, slot, Qt::DirectConnection);
            return;
        }
    }
    qFatal("No handler %s", slot);
}

// The window's outside world for a test: scripted dialogue, recorded tones,
// a fixed clock, a session and a temporary folder for the log and the file
// dialogs.
struct WindowServices {
    ScriptedDialog dialog;
    RecordingTones tones;
    FixedClock clock;
    QTemporaryDir dir;
    session::Session session;

    // Services with these filled in; the test adds the ports.
    frmSerial::Services services() {
        frmSerial::Services sv;
        sv.session = &session;
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
    VirtualPort* port = nullptr; // the port of the last open, owned by the session
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

    // A control of the main window by objectName.
    template <class T = QWidget> T* c(const char* name) const { return control<T>(w.get(), name); }
    // A control of another window (Form1, Form3, Form4) by objectName.
    template <class T = QWidget> T* in(const char* window, const char* name) const {
        return control<T>(windowOf(window), name);
    }
    // Form1, Form3 (top-level windows of this harness's window) or Form4.
    QWidget* windowOf(const char* window) const {
        const auto* tables = w->findChild<TablesPage*>();
        if (QLatin1String(window) == QLatin1String("Form1"))
            return tables->calibrationWindow();
        if (QLatin1String(window) == QLatin1String("Form3"))
            return tables->tableWindow();
        return control<QWidget>(w.get(), window);
    }
    // Runs the handler bound to a control, e.g. run("hig_Click").
    void run(const char* handler) { runHandler(w.get(), handler); }

    // Shows the main window (second Timer1 tick) and picks the simulator.
    void open() {
        w->Timer1_Timer();
        w->Timer1_Timer();
        c<QComboBox>("CmbPort")->setCurrentText(SimItem);
        w->BTNOpenCom_Click();
    }

    void ticks(int n) {
        for (int i = 0; i < n; ++i)
            session.tick();
    }

    // Polls the line and selects the first sensor found; its identity is read.
    void findSensors() {
        run("Opros_Click");
        ticks(3); // poll out; list in + identity out; identity in + data poll out
    }

    QByteArray logBytes() const {
        QFile f(w->workLog().path());
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    QString logText() const { return text1251::decode(logBytes()); }
};

// The table window's 40 boxes: the 20 readings, then the 20 litres.
inline QStringList boxes(Form3* f) {
    QStringList out;
    for (int i = 0; i < 20; ++i)
        out << f->Text4(i)->text();
    for (int i = 0; i < 20; ++i)
        out << f->Text3(i)->text();
    return out;
}
