#include "sim/sim_bus.h"

#include <algorithm>

qint64 SimBus::wireTimeNs(qint64 bytes, int baud) {
    return bytes * BitsPerByte * 1'000'000'000LL / std::max(1, baud);
}

void SimBus::addDevice(std::shared_ptr<SimDevice> device) {
    if (!device)
        return;
    std::lock_guard lock(m_mutex);
    m_devices.append(std::move(device));
}

void SimBus::removeDevice(const SimDevice* device) {
    std::lock_guard lock(m_mutex);
    m_devices.removeIf([device](const std::shared_ptr<SimDevice>& d) { return d.get() == device; });
}

void SimBus::clear() {
    std::lock_guard lock(m_mutex);
    m_devices.clear();
}

QList<std::shared_ptr<SimDevice>> SimBus::devices() const {
    std::lock_guard lock(m_mutex);
    return m_devices;
}

QList<LineBurst> SimBus::transmit(const QByteArray& hostBytes, int baud) {
    QList<QList<SimReply>> replies;
    {
        std::lock_guard lock(m_mutex);
        replies.reserve(m_devices.size());
        for (const auto& device : std::as_const(m_devices))
            replies.append(device->onHostBytesAt(hostBytes, baud));
    }
    return mergeOnLine(replies);
}

QList<LineBurst> SimBus::mergeOnLine(const QList<QList<SimReply>>& repliesPerDevice) {
    struct Pending {
        qint64 wantedNs;
        int order;
        QByteArray bytes;
    };
    QList<Pending> pending;
    int order = 0;
    for (const auto& replies : repliesPerDevice) {
        for (const SimReply& r : replies) {
            if (!r.bytes.isEmpty())
                pending.append({qMax(0, r.delayUs) * 1000LL, order, r.bytes});
            ++order;
        }
    }
    std::stable_sort(pending.begin(), pending.end(),
                     [](const Pending& a, const Pending& b) { return a.wantedNs < b.wantedNs; });
    QList<LineBurst> line;
    qint64 lineFreeNs = 0;
    for (const Pending& p : std::as_const(pending)) {
        const qint64 start = qMax(p.wantedNs, lineFreeNs);
        line.append({start, p.bytes});
        lineFreeNs = start + wireTimeNs(p.bytes.size());
    }
    return line;
}

QByteArray SimBus::concatenated(const QList<LineBurst>& bursts) {
    QByteArray all;
    for (const LineBurst& b : bursts)
        all.append(b.bytes);
    return all;
}
