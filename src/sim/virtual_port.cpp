#include "sim/virtual_port.h"

#include <algorithm>
#include <cmath>

#include <QByteArray>

VirtualPort::VirtualPort(std::shared_ptr<SimBus> bus, Timing timing)
    : m_bus(bus ? std::move(bus) : std::make_shared<SimBus>()), m_timing(timing) {}

VirtualPort::~VirtualPort() = default;

bool VirtualPort::open(const QString& path, QString* error) {
    std::lock_guard lock(m_mutex);
    if (m_open) {
        if (error)
            *error = QStringLiteral("%1: the port is already open").arg(path);
        return false;
    }
    if (m_unplugged) {
        if (error)
            *error = QStringLiteral("%1: no such device (adapter unplugged)").arg(path);
        return false;
    }
    m_open = true;
    m_handleDead = false;
    m_baud = SimBus::Baud;
    m_path = path;
    m_incoming.clear();
    m_txFreeAt = Clock::time_point{};
    m_rxFreeAt = Clock::time_point{};
    m_changed.notify_all();
    return true;
}

void VirtualPort::close() {
    std::lock_guard lock(m_mutex);
    m_open = false;
    m_handleDead = false;
    m_incoming.clear();
    m_changed.notify_all();
}

bool VirtualPort::isOpen() const {
    std::lock_guard lock(m_mutex);
    return m_open;
}

int VirtualPort::availableLocked(Clock::time_point now) const {
    if (m_timing == Timing::Instant)
        return int(m_incoming.size());
    int n = 0;
    for (const Incoming& in : m_incoming) {
        if (in.at > now)
            break;
        ++n;
    }
    return n;
}

QByteArray VirtualPort::read(int maxBytes) {
    std::lock_guard lock(m_mutex);
    if (!m_open || deadLocked() || maxBytes <= 0)
        return {};
    const int n = qMin(maxBytes, availableLocked(Clock::now()));
    QByteArray out;
    out.reserve(n);
    for (int i = 0; i < n; ++i) {
        out.append(m_incoming.front().byte);
        m_incoming.pop_front();
    }
    return out;
}

bool VirtualPort::waitForReadyRead(int msecs) {
    std::unique_lock lock(m_mutex);
    const bool noTimeout = msecs < 0;
    const auto deadline = Clock::now() + std::chrono::milliseconds(qMax(0, msecs));
    for (;;) {
        if (!m_open || deadLocked())
            return false;
        const auto now = Clock::now();
        if (availableLocked(now) > 0)
            return true;
        if (!noTimeout && now >= deadline)
            return false;
        // Sleep until the next byte is due, something changes, or time is up.
        auto wakeAt = noTimeout ? Clock::time_point::max() : deadline;
        if (!m_incoming.empty() && m_incoming.front().at < wakeAt)
            wakeAt = m_incoming.front().at;
        if (wakeAt == Clock::time_point::max())
            m_changed.wait(lock);
        else
            m_changed.wait_until(lock, wakeAt);
    }
}

qint64 VirtualPort::write(const QByteArray& bytes) {
    std::lock_guard lock(m_mutex);
    if (!m_open || deadLocked())
        return 0;
    const QByteArray taken = m_shortWrites ? bytes.left(bytes.size() / 2) : bytes;
    if (taken.isEmpty())
        return 0;
    m_writes.append(taken);

    // A real port would pass the bytes on in pieces of at most 255, back to
    // back; the devices hear one unbroken stretch either way.
    QList<LineBurst> bursts = m_bus->transmit(taken, m_baud);
    if (m_strayPerWrite > 0)
        addStraysLocked(bursts);
    if (m_echo) // from the first byte on the wire: before the host's last one left
        bursts.prepend({-SimBus::wireTimeNs(taken.size(), m_baud), taken});

    auto lineStart = Clock::time_point{};
    if (m_timing == Timing::Realistic) {
        lineStart = qMax(Clock::now(), m_txFreeAt);
        m_txFreeAt = lineStart + std::chrono::nanoseconds(SimBus::wireTimeNs(taken.size(), m_baud));
    }
    scheduleLocked(lineStart, int(taken.size()), bursts);
    return taken.size();
}

void VirtualPort::scheduleLocked(Clock::time_point lineStart, int hostBytes,
                                 const QList<LineBurst>& bursts) {
    if (bursts.isEmpty())
        return;
    if (m_timing == Timing::Instant) {
        for (const LineBurst& b : bursts)
            for (char c : b.bytes)
                m_incoming.push_back({Clock::time_point{}, c});
        m_changed.notify_all();
        return;
    }
    const QList<qint64> offsets = arrivalOffsetsNs(hostBytes, bursts, m_baud);
    const QByteArray bytes = SimBus::concatenated(bursts);
    if (bytes.isEmpty())
        return;
    // A reply cannot start while an earlier one is still arriving.
    const auto firstStart =
        lineStart + std::chrono::nanoseconds(offsets.front() - SimBus::wireTimeNs(1, m_baud));
    const auto shift = firstStart < m_rxFreeAt ? m_rxFreeAt - firstStart : Clock::duration::zero();
    const qsizetype first = qsizetype(m_incoming.size());
    for (int i = 0; i < bytes.size(); ++i) {
        const auto at = lineStart + shift + std::chrono::nanoseconds(offsets.at(i));
        m_incoming.push_back({at, bytes.at(i)});
    }
    m_rxFreeAt = m_incoming.back().at;
    if (m_latencyMs > 0) {
        // From arrival to hand-over: a group closes at its 62nd byte or when
        // the timer, started by its first byte, runs out.
        constexpr int Chunk = 62;
        const auto timer = std::chrono::milliseconds(m_latencyMs);
        for (qsizetype g = first; g < qsizetype(m_incoming.size());) {
            const auto deadline = m_incoming[g].at + timer;
            qsizetype end = g;
            while (end < qsizetype(m_incoming.size()) && end - g < Chunk &&
                   m_incoming[end].at <= deadline)
                ++end;
            const auto handedOver = end - g == Chunk ? m_incoming[end - 1].at : deadline;
            for (qsizetype k = g; k < end; ++k)
                m_incoming[k].at = handedOver;
            g = end;
        }
    }
    // Injected bytes may land between replies: keep the queue in time order.
    std::stable_sort(m_incoming.begin(), m_incoming.end(),
                     [](const Incoming& a, const Incoming& b) { return a.at < b.at; });
    m_changed.notify_all();
}

void VirtualPort::flush() {
    // Nothing waits in a transmit buffer: the line model sends at once.
}

bool VirtualPort::hasVanished() const {
    std::lock_guard lock(m_mutex);
    return deadLocked();
}

void VirtualPort::setVanished(bool vanished) {
    std::lock_guard lock(m_mutex);
    m_unplugged = vanished;
    if (vanished && m_open) {
        m_handleDead = true;
        m_incoming.clear();
    }
    m_changed.notify_all();
}

void VirtualPort::setShortWrites(bool shortWrites) {
    std::lock_guard lock(m_mutex);
    m_shortWrites = shortWrites;
}

bool VirtualPort::setBaudRate(int baud) {
    std::lock_guard lock(m_mutex);
    if (!m_open || deadLocked() || m_rateFixed || baud <= 0)
        return false;
    m_baud = baud;
    return true;
}

int VirtualPort::baudRate() const {
    std::lock_guard lock(m_mutex);
    return m_baud;
}

void VirtualPort::setLatencyTimer(int ms) {
    std::lock_guard lock(m_mutex);
    m_latencyMs = std::max(0, ms);
}

void VirtualPort::setRateFixed(bool fixed) {
    std::lock_guard lock(m_mutex);
    m_rateFixed = fixed;
}

void VirtualPort::setEcho(bool echo) {
    std::lock_guard lock(m_mutex);
    m_echo = echo;
}

void VirtualPort::setStrayBytes(double perWrite, quint32 seed) {
    std::lock_guard lock(m_mutex);
    m_strayPerWrite = qMax(0.0, perWrite);
    m_strayRandom.seed(seed);
}

void VirtualPort::addStraysLocked(QList<LineBurst>& bursts) {
    // A Poisson count of stray bytes, split at random between the moment
    // before the first reply and the moment after the last.
    int count = 0;
    const double limit = std::exp(-m_strayPerWrite);
    double product = m_strayRandom.generateDouble();
    while (product > limit && count < 255) {
        ++count;
        product *= m_strayRandom.generateDouble();
    }
    if (count == 0)
        return;
    QByteArray before, after;
    for (int i = 0; i < count; ++i) {
        const char byte = char(m_strayRandom.bounded(256));
        (m_strayRandom.bounded(2) ? before : after).append(byte);
    }
    qint64 firstStart = 0, lastEnd = 0;
    if (!bursts.isEmpty()) {
        firstStart = bursts.first().startNs;
        lastEnd = bursts.last().startNs + SimBus::wireTimeNs(bursts.last().bytes.size());
    }
    if (!before.isEmpty()) {
        const qint64 start = qMax<qint64>(0, firstStart - SimBus::wireTimeNs(before.size()));
        bursts.prepend({start, before});
    }
    if (!after.isEmpty())
        bursts.append({lastEnd, after});
}

void VirtualPort::injectFromLine(const QByteArray& bytes, int delayUs) {
    std::lock_guard lock(m_mutex);
    if (!m_open || deadLocked() || bytes.isEmpty())
        return;
    const auto start = m_timing == Timing::Realistic ? Clock::now() : Clock::time_point{};
    scheduleLocked(start, 0, {{qMax(0, delayUs) * 1000LL, bytes}});
}

QList<QByteArray> VirtualPort::writes() const {
    std::lock_guard lock(m_mutex);
    return m_writes;
}

void VirtualPort::clearWrites() {
    std::lock_guard lock(m_mutex);
    m_writes.clear();
}

int VirtualPort::bytesAvailable() const {
    std::lock_guard lock(m_mutex);
    if (!m_open || deadLocked())
        return 0;
    return availableLocked(Clock::now());
}

int VirtualPort::bytesInFlight() const {
    std::lock_guard lock(m_mutex);
    if (!m_open || deadLocked())
        return 0;
    return int(m_incoming.size()) - availableLocked(Clock::now());
}

QString VirtualPort::path() const {
    std::lock_guard lock(m_mutex);
    return m_path;
}

QList<qint64> VirtualPort::arrivalOffsetsNs(int hostBytes, const QList<LineBurst>& bursts,
                                            int baud) {
    QList<qint64> at;
    const qint64 hostEnd = SimBus::wireTimeNs(hostBytes, baud);
    qint64 rxFree = 0;
    for (const LineBurst& b : bursts) {
        const qint64 start = qMax(hostEnd + b.startNs, rxFree);
        for (int i = 0; i < b.bytes.size(); ++i)
            at.append(start + SimBus::wireTimeNs(i + 1, baud));
        rxFree = start + SimBus::wireTimeNs(b.bytes.size(), baud);
    }
    return at;
}
