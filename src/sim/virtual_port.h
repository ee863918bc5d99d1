#pragma once
// A Port on the simulated line. The host's writes go to every device of the
// SimBus; the devices' replies come back as received bytes.
//
// Two time models:
//  - Instant: a reply is readable as soon as the write that caused it has
//    returned. For tests that drive the exchange tick by tick.
//  - Realistic: 19200 baud on the wire. The host's bytes take about 0.521 ms
//    each to leave, a device answers after its reply delay, and the reply
//    becomes readable byte by byte as it arrives. waitForReadyRead sleeps on a
//    condition variable until the next byte is due or the time-out passes.
//
// All methods are thread-safe; the port can be used from a worker thread.

#include "link/port.h"
#include "sim/sim_bus.h"

#include <QList>
#include <QRandomGenerator>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>

class VirtualPort : public Port {
public:
    enum class Timing { Instant, Realistic };

    explicit VirtualPort(std::shared_ptr<SimBus> bus, Timing timing = Timing::Instant);
    ~VirtualPort() override;

    // Any path opens (it is remembered) unless the adapter is unplugged
    // (setVanished) or the port is already open.
    bool open(const QString& path, QString* error = nullptr) override;
    void close() override;
    bool isOpen() const override;
    QByteArray read(int maxBytes = 255) override;
    bool waitForReadyRead(int msecs) override;
    qint64 write(const QByteArray& bytes) override;
    void flush() override;
    bool hasVanished() const override;
    // The host's bytes go out at this rate; the devices hear them as sent at
    // it (a sensor's program only at 19200).
    bool setBaudRate(int baud) override;
    int baudRate() const;

    // --- Faults ---
    // The adapter is pulled out (true) or plugged back in (false). While it
    // is out, open fails; an open port reads nothing, writes nothing and
    // reports hasVanished() until it is closed, even if the adapter comes back.
    void setVanished(bool vanished);
    // Every write takes only the first half of its bytes (a 1-byte write
    // takes none); only those reach the line.
    void setShortWrites(bool shortWrites);
    // Stray bytes on the line between answers, as an unbiased bus and engine
    // noise produce them: with each write, on average `perWrite` random bytes
    // arrive, some just before the replies (at the turnaround) and the rest
    // just after them, never inside one. Deterministic for a seed; 0 turns
    // the noise off. (Instant timing: the strays come with the replies.)
    void setStrayBytes(double perWrite, quint32 seed = 1);
    // A USB adapter's latency timer (Realistic timing): what arrives is handed
    // on when 62 bytes wait or `ms` have passed since the first of them; 0
    // hands every byte on as it arrives. Each write's answers form their own
    // groups.
    void setLatencyTimer(int ms);
    // A port whose rate cannot be changed: setBaudRate fails.
    void setRateFixed(bool fixed);
    // An adapter that hears itself: every byte written comes back as it
    // leaves, ahead of the answers.
    void setEcho(bool echo);

    // --- For tests and the demo ---
    // Bytes another station puts on the line, arriving delayUs from now.
    void injectFromLine(const QByteArray& bytes, int delayUs = 0);
    // Every write as the line got it (short writes cut), oldest first.
    QList<QByteArray> writes() const;
    void clearWrites();
    // Bytes readable now, and bytes on their way that have not arrived yet.
    int bytesAvailable() const;
    int bytesInFlight() const;
    QString path() const;
    Timing timing() const { return m_timing; }
    std::shared_ptr<SimBus> bus() const { return m_bus; }

    // Arrival time of every reply byte, counted from the moment the host's
    // first byte starts on the wire, for a host write of hostBytes bytes
    // followed by the given bursts. Pure: the realistic model's schedule.
    static QList<qint64> arrivalOffsetsNs(int hostBytes, const QList<LineBurst>& bursts,
                                          int baud = SimBus::Baud);

private:
    using Clock = std::chrono::steady_clock;
    struct Incoming {
        Clock::time_point at;
        char byte;
    };

    void scheduleLocked(Clock::time_point lineStart, int hostBytes, const QList<LineBurst>& bursts);
    int availableLocked(Clock::time_point now) const;
    void addStraysLocked(QList<LineBurst>& bursts);
    bool deadLocked() const { return m_handleDead || (m_open && m_unplugged); }

    std::shared_ptr<SimBus> m_bus;
    const Timing m_timing;

    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<Incoming> m_incoming;
    Clock::time_point m_txFreeAt{};
    Clock::time_point m_rxFreeAt{};
    QList<QByteArray> m_writes;
    QString m_path;
    bool m_open = false;
    bool m_unplugged = false;
    bool m_handleDead = false;
    bool m_shortWrites = false;
    bool m_echo = false;
    bool m_rateFixed = false;
    int m_latencyMs = 0;
    int m_baud = SimBus::Baud;
    double m_strayPerWrite = 0;
    QRandomGenerator m_strayRandom;
};
