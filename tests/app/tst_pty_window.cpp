// The main window over a real serial path: the simulator served on a
// pseudo-terminal by the lv300-sim tool, opened by QSerialPort like an
// adapter's tty, with the session's ticks driven by hand and the event loop
// collecting the answers between them.
#include "support/window_harness.h"

#include "link/serial_port.h"
#include "support/pty_sim.h"

#include <QLabel>
#include <QTest>

class TestPtyWindow : public QObject {
    Q_OBJECT
private slots:
    void sensorFoundAndReadThroughPty();
};

void TestPtyWindow::sensorFoundAndReadThroughPty() {
#ifndef Q_OS_UNIX
    QSKIP("pseudo-terminals are a Unix facility");
#endif
    PtySim sim({"--addresses", "1,5", "--ignore-stdin"});
    const QString path = sim.path();
    QVERIFY2(path.startsWith("/dev/"), "build the lv300-sim tool next to this test");

    WindowServices parts;
    ScriptedDialog& dialog = parts.dialog;
    session::Session& session = parts.session;
    frmSerial::Services sv = parts.services();
    sv.listPorts = [path] { return QStringList{path}; };
    sv.makePort = [](const QString& item, QString* p) -> std::unique_ptr<Port> {
        *p = item;
        return std::make_unique<SerialPort>();
    };
    {
        frmSerial w(sv);
        w.Load();
        w.Timer1_Timer();
        w.Timer1_Timer();
        QCOMPARE(control<QComboBox>(&w, "CmbPort")->currentText(), path);
        w.BTNOpenCom_Click();
        QVERIFY2(session.tickTimer()->isActive(), qPrintable(dialog.messages().join("|")));
        session.stopTicking(); // the test drives the ticks
        auto tick = [&session] {
            session.tick();
            QTest::qWait(150); // the answer arrives through the tty meanwhile
        };
        runHandler(&w, "Opros_Click");
        for (int i = 0; i < 5; ++i)
            tick();
        const auto shown = [&w](const char* name) { return control<QLabel>(&w, name)->text(); };
        QCOMPARE(shown("netdev"), QString("1 5 "));
        QCOMPARE(shown("sn"), QString("3000417"));
        QCOMPARE(shown("vv"), QString("1.7.6."));
        QCOMPARE(shown("ne"), QString("1"));
        QCOMPARE(shown("MsgCom"), QString("Датчик подключен"));
        QVERIFY(shown("tek").toUInt() > 0);
        QVERIFY(dialog.messages().isEmpty());
        w.BTNCloseCom_Click();
    }
    QCOMPARE(sim.stop(), 0);
}

QTEST_MAIN(TestPtyWindow)
#include "tst_pty_window.moc"
