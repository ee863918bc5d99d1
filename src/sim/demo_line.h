#pragma once
// The demonstration line: a few sensors on one simulated bus, as the
// configurator's demo mode and the pseudo-terminal simulator serve it.

#include "sim/sim_bus.h"
#include "sim/sim_sensor.h"
#include "sim/stm8_bootloader.h"

#include <QList>
#include <memory>

struct DemoLine {
    std::shared_ptr<SimBus> bus;
    QList<std::shared_ptr<SimSensor>> sensors; // in the order of the addresses given
    std::shared_ptr<Stm8Bootloader> loader;    // once armBootloader() was called
};

// The sensor the demo puts at an address: address 1 is a newer sensor
// (firmware 1.7.6, serial 3000417), address 5 an older one (firmware 1.6.3,
// serial 2704155); other addresses alternate between the two kinds with
// serials and tank levels of their own. Deterministic.
SimSensorConfig demoSensorConfig(quint8 address);

// A bus with one demo sensor per address (duplicates are dropped).
DemoLine makeDemoLine(const QList<quint8>& addresses = {1, 5});

// Arms a bootloader in the sensor at the address: the firmware loader's sync
// bytes start it, and it answers from the syncFrom-th one on, as if the
// technician switched the sensor off and on meanwhile. Its Go hands the line
// back to the sensor's program. Returns the loader (also kept in the line);
// null when no sensor has that address.
std::shared_ptr<Stm8Bootloader> armBootloader(DemoLine& line, quint8 address, int syncFrom = 3);
