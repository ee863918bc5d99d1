#pragma once
// The one seam for serial I/O. The exchange engine uses the non-blocking
// read (whatever has arrived since the last read); the firmware loader, in its
// worker thread, waits on the port with waitForReadyRead.

#include <QByteArray>
#include <QSerialPort>
#include <QString>

class QThread;

namespace serial {
// Why a device could not be opened, as far as the system tells.
enum class OpenFailure { None, NoPermission, Busy, NotFound, Other };

// The system's error after a failed open. The system answers "permission"
// both for a device this user may not open and for one another program holds
// (exclusively or by its lock file); `userMayAccess` (the user has read and
// write rights on the device) tells the two apart.
OpenFailure openFailureOf(QSerialPort::SerialPortError error, bool userMayAccess);

// The reason shown under the warning and written to the log; empty for None
// and Other.
QString openFailureReason(OpenFailure failure);
} // namespace serial

class Port {
public:
    virtual ~Port() = default;

    // Opens the device at 19200 baud, 8 data bits, no parity, 1 stop bit,
    // exclusively. On failure returns false and, where the system said why,
    // puts the reason into *error.
    virtual bool open(const QString& path, QString* error = nullptr) = 0;
    // After an open that failed once the device itself was reached (its line
    // settings could not be applied): the message the user is shown, as
    // "Unable to set Comm DCB 19200,n,8,1 Error: " + code. Empty after an
    // open that succeeded or found no device to open.
    virtual QString setupError() const { return {}; }
    // Why the last open failed; None after an open that succeeded.
    virtual serial::OpenFailure openFailure() const { return serial::OpenFailure::None; }
    virtual void close() = 0;
    virtual bool isOpen() const = 0;

    // Whatever has arrived and not been read yet, at most maxBytes; never waits.
    virtual QByteArray read(int maxBytes = 255) = 0;

    // Waits until at least one unread byte is there or msecs have passed.
    // Returns true when unread bytes are there.
    virtual bool waitForReadyRead(int msecs) = 0;

    // Writes the bytes in pieces of at most 255; returns the total written
    // (less than the size on failure).
    virtual qint64 write(const QByteArray& bytes) = 0;

    // Pushes out what is still to be sent. Never discards received bytes.
    virtual void flush() = 0;

    // True once the device has gone away while open (adapter unplugged).
    virtual bool hasVanished() const = 0;

    // Switches the open port to another rate (the firmware run's, and back to
    // 19200); false when the port cannot.
    virtual bool setBaudRate(int baud) {
        (void)baud;
        return false;
    }

    // Hands the port's internals to another thread (the firmware worker) and
    // back. Must be called from the thread that currently owns the port.
    virtual void moveToThread(QThread* thread) { (void)thread; }
};
