#pragma once
// A device on the simulated RS-485 line. The virtual port hands it every
// write of the host; the device answers with zero or more replies, each
// starting delayUs after the host's last byte left the wire.

#include <QByteArray>
#include <QList>

struct SimReply {
    QByteArray bytes;
    int delayUs = 0;
};

class SimDevice {
public:
    // The rate the sensors' own program listens at.
    static constexpr int SensorBaud = 19200;

    virtual ~SimDevice() = default;
    virtual QList<SimReply> onHostBytes(const QByteArray& bytes) = 0;
    // The host's bytes as sent at `baud`. A device listening at another rate
    // hears only garbage and answers nothing; by default a device listens
    // at the sensors' rate.
    virtual QList<SimReply> onHostBytesAt(const QByteArray& bytes, int baud) {
        return baud == SensorBaud ? onHostBytes(bytes) : QList<SimReply>{};
    }
};
