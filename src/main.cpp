// The configurator: the main window on the system's serial ports, plus the
// paths given with --port, plus the built-in simulator with --demo.
#include "app/gui/frm_serial.h"
#include "base/clock.h"
#include "base/gui/qt_tones.h"
#include "base/gui/qt_user_dialog.h"
#include "link/port_list.h"
#include "link/serial_port.h"
#include "session/session.h"
#include "sim/demo_line.h"
#include "sim/stm8_bootloader.h"
#include "sim/virtual_port.h"

#include <QApplication>
#include <QStandardPaths>
#include <QTimer>

namespace {
const QString SimulatorItem = QStringLiteral("Симулятор");
}

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("lv300-configurator"));
    const QStringList args = QApplication::arguments();
    const bool demo = args.contains(QStringLiteral("--demo"));
    const QStringList extraPorts = portlist::extraPortsFromArguments(args);

    DemoLine demoLine;
    if (demo)
        demoLine = makeDemoLine();

    SystemClock clock;
    QtTones tones;
    session::Session session;
    frmSerial::Services services;
    services.session = &session;
    services.clock = &clock;
    services.tones = &tones;
    services.programDir = QApplication::applicationDirPath();
    services.logDirs = {services.programDir,
                        QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation)};
    services.listPorts = [extraPorts, demo] {
        QStringList items = portlist::portNames(extraPorts);
        if (demo)
            items.prepend(SimulatorItem);
        return items;
    };
    services.makePort = [&demoLine](const QString& item, QString* path) -> std::unique_ptr<Port> {
        if (item == SimulatorItem && demoLine.bus) {
            *path = SimulatorItem;
            return std::make_unique<VirtualPort>(demoLine.bus, VirtualPort::Timing::Realistic);
        }
        *path = portlist::devicePathForItem(item);
        if (path->isEmpty())
            return nullptr;
        return std::make_unique<SerialPort>();
    };

    // In the demo, starting a firmware run is answered the way a technician
    // would: a moment later the first sensor is powered up with its loader.
    if (demo) {
        services.firmwareStarted = [&demoLine] {
            QTimer::singleShot(1500, [&demoLine] {
                auto sensor = demoLine.sensors.first();
                auto loader = std::make_shared<Stm8Bootloader>();
                loader->powerUp();
                loader->setOnGo(sensor->leaveBootloaderCallback());
                sensor->enterBootloader(loader);
            });
        };
    }

    frmSerial window(services);
    QtUserDialog dialog(&window);
    window.setDialog(&dialog);
    window.Load();
    return QApplication::exec();
}
