#pragma once
// The simulated RS-485 line: every device on it hears every byte the host
// writes, and what the devices answer is laid out on the one pair of wires in
// time order. Two answers cannot overlap on a real line; here a later one
// simply starts when the earlier one has left the wire.

#include "sim/sim_device.h"

#include <QByteArray>
#include <QList>
#include <memory>
#include <mutex>

// One stretch of bytes on the line, starting startNs after the host's last
// byte left the wire.
struct LineBurst {
    qint64 startNs = 0;
    QByteArray bytes;
};

class SimBus {
public:
    // 19200 baud, 8N1: ten bit times per byte.
    static constexpr qint64 Baud = 19200;
    static constexpr qint64 BitsPerByte = 10;

    // Time the given number of bytes occupy the wire (about 0.521 ms each at
    // 19200 baud).
    static qint64 wireTimeNs(qint64 bytes, int baud = Baud);

    void addDevice(std::shared_ptr<SimDevice> device);
    void removeDevice(const SimDevice* device);
    void clear();
    QList<std::shared_ptr<SimDevice>> devices() const;

    // Hands the host's bytes to every device, in the order they were added,
    // and returns their replies as they appear on the line: ordered by start
    // time (equal starts keep the devices' order), none overlapping the one
    // before it. Devices are called with the bus locked: they must not call
    // back into the bus.
    QList<LineBurst> transmit(const QByteArray& hostBytes, int baud = Baud);

    // Lays replies of several devices out on the line. Pure.
    static QList<LineBurst> mergeOnLine(const QList<QList<SimReply>>& repliesPerDevice);

    // All bytes of the bursts in line order.
    static QByteArray concatenated(const QList<LineBurst>& bursts);

private:
    mutable std::mutex m_mutex;
    QList<std::shared_ptr<SimDevice>> m_devices;
};
