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
    virtual ~SimDevice() = default;
    virtual QList<SimReply> onHostBytes(const QByteArray& bytes) = 0;
};
