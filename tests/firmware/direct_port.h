#pragma once
// A port wired straight to one simulated device, on a virtual clock: a write
// puts the device's answers on a schedule (19200 baud, the device's reply
// delays), and waiting advances the virtual clock instead of sleeping. The
// session's waits therefore take no real time, while what it would have
// waited can still be checked exactly.

#include "link/port.h"
#include "sim/sim_device.h"

#include <QList>
#include <QSet>
#include <deque>
#include <functional>
#include <memory>

class DirectPort : public Port {
public:
    static constexpr qint64 ByteUs = 521; // ten bits at 19200 baud

    explicit DirectPort(std::shared_ptr<SimDevice> device) : device_(std::move(device)) {}

    bool open(const QString&, QString* = nullptr) override {
        open_ = true;
        return true;
    }
    void close() override { open_ = false; }
    bool isOpen() const override { return open_; }

    QByteArray read(int maxBytes = 255) override {
        ++readCalls;
        QByteArray out;
        while (!incoming_.empty() && incoming_.front().atUs <= nowUs && out.size() < maxBytes) {
            out.append(incoming_.front().byte);
            incoming_.pop_front();
        }
        return out;
    }

    bool waitForReadyRead(int msecs) override {
        if (!open_)
            return false;
        const qint64 until = nowUs + qint64(msecs) * 1000;
        if (!incoming_.empty() && incoming_.front().atUs <= until) {
            nowUs = std::max(nowUs, incoming_.front().atUs);
            return true;
        }
        nowUs = until;
        return false;
    }

    qint64 write(const QByteArray& bytes) override {
        if (!open_)
            return -1;
        const int attempt = attempts++;
        if (onWrite)
            onWrite(attempt, bytes);
        if (refuseWrites > 0 || refusedAttempts.contains(attempt)) {
            refuseWrites = std::max(0, refuseWrites - 1);
            return 0;
        }
        writes.append(bytes);
        const qint64 hostStart = std::max(nowUs, lineFreeUs);
        const qint64 hostEnd = hostStart + bytes.size() * ByteUs;
        lineFreeUs = hostEnd;
        for (qsizetype i = 0; echo && i < bytes.size(); ++i) // heard back as it leaves
            incoming_.push_back({hostStart + (i + 1) * ByteUs, bytes.at(i)});
        for (const SimReply& reply : device_->onHostBytes(bytes)) {
            qint64 at = std::max(hostEnd + reply.delayUs, lineFreeUs);
            for (char c : reply.bytes) {
                at += ByteUs;
                incoming_.push_back({at, c});
            }
            lineFreeUs = at;
        }
        return bytes.size();
    }

    void flush() override {}
    bool hasVanished() const override { return vanished; }

    // An adapter that hears itself: every byte written comes back as it leaves.
    bool echo = false;

    // Bytes another station puts on the line, arriving afterUs from now.
    void inject(const QByteArray& bytes, qint64 afterUs) {
        qint64 at = nowUs + afterUs;
        for (char c : bytes) {
            at += ByteUs;
            incoming_.push_back({at, c});
        }
    }
    int pending() const { return int(incoming_.size()); }

    QList<QByteArray> writes;
    qint64 nowUs = 0;
    int readCalls = 0;
    int refuseWrites = 0;      // the next n writes take no bytes
    QSet<int> refusedAttempts; // these writes (counted from 0) take no bytes
    int attempts = 0;
    // Called before every write with its number (counted from 0).
    std::function<void(int, const QByteArray&)> onWrite;
    bool vanished = false;

private:
    struct Incoming {
        qint64 atUs;
        char byte;
    };
    std::shared_ptr<SimDevice> device_;
    std::deque<Incoming> incoming_;
    qint64 lineFreeUs = 0;
    bool open_ = true;
};
