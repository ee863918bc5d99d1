#pragma once
// The Port on a real serial device, through QSerialPort: 19200 baud, 8 data
// bits, no parity, 1 stop bit, no flow control, opened exclusively.

#include "link/port.h"

#include <QByteArray>
#include <QList>
#include <atomic>
#include <memory>

class QSerialPort;

namespace serial {
// Largest piece handed to the system in one write.
constexpr int MaxWritePiece = 255;

// The pieces a write goes out in: the first maxPiece bytes, then the next,
// and so on (300 bytes: 255 + 45). An empty write has no pieces.
QList<QByteArray> writePieces(const QByteArray& bytes, int maxPiece = MaxWritePiece);
} // namespace serial

class SerialPort : public Port {
public:
    // The most the port keeps unread: 16 KiB, over 8 s of a full 19200-baud line.
    static constexpr qint64 ReadBufferBytes = 16 * 1024;

    SerialPort();
    ~SerialPort() override;
    SerialPort(const SerialPort&) = delete;
    SerialPort& operator=(const SerialPort&) = delete;

    // path: the device to open as the system names it ("/dev/ttyUSB0",
    // "\\.\COM12"). On failure *error says why, in the system's words.
    bool open(const QString& path, QString* error = nullptr) override;
    QString setupError() const override { return m_setupError; }
    serial::OpenFailure openFailure() const override { return m_openFailure; }
    void close() override;
    bool isOpen() const override;
    // What has arrived, at most maxBytes; never waits.
    QByteArray read(int maxBytes = 255) override;
    bool waitForReadyRead(int msecs) override;
    // Writes in pieces of at most 255 bytes; returns the total the system
    // took (less than the size when the device refused or went away).
    qint64 write(const QByteArray& bytes) override;
    // Pushes out what is still waiting to be sent; received bytes stay.
    void flush() override;
    // True once the device reported that it is gone (unplugged) while open.
    bool hasVanished() const override;
    bool setBaudRate(int baud) override;
    // Moves the internal QSerialPort (it has no parent) to `thread`.
    void moveToThread(QThread* thread) override;

private:
    void noteError();

    std::unique_ptr<QSerialPort> m_port;
    std::atomic<bool> m_vanished{false};
    QString m_setupError;
    serial::OpenFailure m_openFailure = serial::OpenFailure::None;
};
