#include "sim/demo_line.h"

SimSensorConfig demoSensorConfig(quint8 address) {
    SimSensorConfig c;
    c.address = address;
    c.seed = 0x9E3779B9u ^ (quint32(address) * 2654435761u);
    if (address == 1) {
        c.serial = 3000417;
        c.firmware = 176;
        c.tankRaw = 72500;
        c.slopePerAnswer = 1; // fuel slowly being used, then refilled
        c.temperature = 21;
        return c;
    }
    if (address == 5) {
        c.serial = 2704155;
        c.firmware = 163;
        c.emptyRaw = 48000;
        c.fullRaw = 91000;
        c.tankRaw = 60300;
        c.coefficient = 672;
        c.temperature = 18;
        return c;
    }
    const bool newer = address % 2 == 1;
    c.serial = 2900000 + quint32(address) * 1031;
    c.firmware = newer ? 176 : 163;
    c.tankRaw = 52000 + quint32(address) * 157 % 40000;
    return c;
}

DemoLine makeDemoLine(const QList<quint8>& addresses) {
    DemoLine line;
    line.bus = std::make_shared<SimBus>();
    QList<quint8> seen;
    for (quint8 a : addresses) {
        if (seen.contains(a))
            continue;
        seen.append(a);
        auto sensor = std::make_shared<SimSensor>(demoSensorConfig(a));
        line.sensors.append(sensor);
        line.bus->addDevice(sensor);
    }
    return line;
}

std::shared_ptr<Stm8Bootloader> armBootloader(DemoLine& line, quint8 address, int syncFrom) {
    for (const auto& sensor : std::as_const(line.sensors)) {
        if (sensor->address() != address)
            continue;
        auto loader = std::make_shared<Stm8Bootloader>();
        loader->answerSyncFrom(syncFrom);
        loader->setOnGo(sensor->leaveBootloaderCallback());
        sensor->armBootloader(loader);
        line.loader = loader;
        return loader;
    }
    return nullptr;
}
