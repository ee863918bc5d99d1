#include "link/serial_port.h"

#include <QEventLoop>
#include <QFileInfo>
#include <QSerialPort>
#include <QThread>
#include <QTimer>
#include <algorithm>

#ifdef Q_OS_LINUX
#include <linux/serial.h>
#include <sys/ioctl.h>
#endif

namespace {
// How long one piece may take to leave: 255 bytes need about 133 ms at
// 19200 baud; leave room for a slow adapter.
constexpr int PieceWriteTimeoutMs = 500;

// The device is gone: unplugged (ResourceError), or a tty that reports
// readable and then yields end of file, which is how Linux shows a hung-up
// line (QSerialPort calls that a ReadError).
bool meansGone(QSerialPort::SerialPortError e) {
    return e == QSerialPort::ResourceError || e == QSerialPort::ReadError;
}

// The device could not be opened at all (absent, in use, no right): that is
// reported by the caller's own warning, without a message of the port's.
bool deviceNotReached(QSerialPort::SerialPortError e) {
    return e == QSerialPort::DeviceNotFoundError || e == QSerialPort::PermissionError ||
           e == QSerialPort::OpenError;
}

// Whether the user's rights allow the device, so that a refused open means
// another program holds it. Windows has no rights on COM ports: a refusal
// there always is a port in use.
bool userMayOpen(const QString& path) {
#ifdef Q_OS_WIN
    (void)path;
    return true;
#else
    const QFileInfo device(path);
    return device.isReadable() && device.isWritable();
#endif
}

// On Windows the port is driven by events alone, never by Qt's own
// synchronous waits. Qt (6.4) takes every completion of the port from one
// queue: its synchronous waits take one completion per count of a semaphore,
// while the event loop takes all queued completions for a single count. Once
// the loop has taken two at once, the next synchronous wait finds a count
// without a completion and crashes. So on Windows reading hands out what the
// event loop delivered, writing starts the transfer without waiting for it,
// and a wait for bytes (the firmware run's worker) runs the thread's event
// loop until they come.
#ifdef Q_OS_WIN
constexpr bool SynchronousWaits = false;
#else
constexpr bool SynchronousWaits = true;
#endif

// Waits at most msecs for bytes through the thread's event loop.
bool waitThroughEvents(QSerialPort& port, int msecs) {
    QEventLoop loop;
    QTimer deadline;
    deadline.setSingleShot(true);
    deadline.setTimerType(Qt::PreciseTimer);
    QObject::connect(&deadline, &QTimer::timeout, &loop, &QEventLoop::quit);
    QObject::connect(&port, &QSerialPort::readyRead, &loop, &QEventLoop::quit);
    QObject::connect(&port, &QSerialPort::errorOccurred, &loop, &QEventLoop::quit);
    deadline.start(std::max(0, msecs));
    loop.exec();
    return port.bytesAvailable() > 0;
}

// A USB adapter holds what it receives until its buffer fills or its latency
// timer runs out (16 ms on the common chips): asked for low latency, the
// Linux driver hands bytes on at once (FTDI: a 1 ms timer). A port that
// refuses (a pseudo-terminal, a built-in UART) is used as it is.
void askLowLatency(QSerialPort& port) {
#ifdef Q_OS_LINUX
    const int fd = int(port.handle());
    serial_struct s{};
    if (fd < 0 || ioctl(fd, TIOCGSERIAL, &s) != 0 || (s.flags & ASYNC_LOW_LATENCY))
        return;
    s.flags |= ASYNC_LOW_LATENCY;
    ioctl(fd, TIOCSSERIAL, &s);
#else
    (void)port;
#endif
}

QString setupMessage(QSerialPort::SerialPortError e) {
    return QStringLiteral("Unable to set Comm DCB 19200,n,8,1 Error: ") + QString::number(int(e));
}
} // namespace

namespace serial {

QList<QByteArray> writePieces(const QByteArray& bytes, int maxPiece) {
    QList<QByteArray> pieces;
    if (maxPiece <= 0)
        return pieces;
    for (qsizetype at = 0; at < bytes.size(); at += maxPiece)
        pieces.append(bytes.mid(at, maxPiece));
    return pieces;
}

} // namespace serial

SerialPort::SerialPort() : m_port(std::make_unique<QSerialPort>()) {
    // What the line sends between two ticks is taken by the next one and the
    // rest dropped; the port never has to hold more than a few seconds of a
    // busy bus.
    m_port->setReadBufferSize(ReadBufferBytes);
    QObject::connect(m_port.get(), &QSerialPort::errorOccurred, m_port.get(),
                     [this](QSerialPort::SerialPortError e) {
                         if (m_port->isOpen() && meansGone(e))
                             m_vanished = true;
                     });
}

SerialPort::~SerialPort() {
    if (m_port->isOpen())
        m_port->close();
}

bool SerialPort::open(const QString& path, QString* error) {
    if (m_port->isOpen())
        m_port->close();
    m_vanished = false;
    m_setupError.clear();
    m_openFailure = serial::OpenFailure::None;
    m_port->clearError();
    if (path.isEmpty()) {
        m_openFailure = serial::OpenFailure::NotFound;
        if (error)
            *error = QStringLiteral("no device path");
        return false;
    }
    m_port->setPortName(path);
    if (!m_port->open(QIODevice::ReadWrite)) {
        if (error)
            *error = QStringLiteral("%1: %2").arg(path, m_port->errorString());
        if (!deviceNotReached(m_port->error()))
            m_setupError = setupMessage(m_port->error());
        m_openFailure = serial::openFailureOf(m_port->error(), userMayOpen(path));
        m_port->clearError();
        return false;
    }
    const bool configured =
        m_port->setBaudRate(QSerialPort::Baud19200) && m_port->setDataBits(QSerialPort::Data8) &&
        m_port->setParity(QSerialPort::NoParity) && m_port->setStopBits(QSerialPort::OneStop) &&
        m_port->setFlowControl(QSerialPort::NoFlowControl);
    if (!configured) {
        if (error)
            *error = QStringLiteral("%1: unable to set 19200,n,8,1: %2")
                         .arg(path, m_port->errorString());
        m_setupError = setupMessage(m_port->error());
        m_openFailure = serial::OpenFailure::Other;
        m_port->close();
        m_port->clearError();
        return false;
    }
    askLowLatency(*m_port);
    // A freshly opened port starts empty: bytes the system kept from an
    // earlier session belong to no request of this one.
    m_port->clear(QSerialPort::AllDirections);
    m_port->clearError();
    return true;
}

void SerialPort::close() {
    if (m_port->isOpen())
        m_port->close();
    m_port->clearError();
    m_vanished = false;
}

bool SerialPort::isOpen() const {
    return m_port->isOpen();
}

void SerialPort::noteError() {
    if (m_port->isOpen() && meansGone(m_port->error()))
        m_vanished = true;
}

QByteArray SerialPort::read(int maxBytes) {
    if (!m_port->isOpen() || maxBytes <= 0 || m_vanished)
        return {};
    // Take what the system holds without waiting, then hand out what is
    // buffered.
    if (SynchronousWaits && m_port->bytesAvailable() < maxBytes)
        m_port->waitForReadyRead(0);
    noteError();
    return m_port->read(maxBytes);
}

bool SerialPort::waitForReadyRead(int msecs) {
    if (!m_port->isOpen() || m_vanished)
        return false;
    if (m_port->bytesAvailable() > 0)
        return true;
    const bool ready =
        SynchronousWaits ? m_port->waitForReadyRead(msecs) : waitThroughEvents(*m_port, msecs);
    noteError();
    return ready || m_port->bytesAvailable() > 0;
}

qint64 SerialPort::write(const QByteArray& bytes) {
    if (!m_port->isOpen() || m_vanished)
        return 0;
    qint64 total = 0;
    for (const QByteArray& piece : serial::writePieces(bytes)) {
        const qint64 taken = m_port->write(piece);
        if (taken <= 0) {
            noteError();
            break;
        }
        total += taken;
        // Hand this piece to the system before the next one.
        if (!m_port->flush() && SynchronousWaits && m_port->bytesToWrite() > 0)
            m_port->waitForBytesWritten(PieceWriteTimeoutMs);
        noteError();
        if (taken < piece.size() || m_vanished)
            break;
    }
    return total;
}

void SerialPort::flush() {
    if (!m_port->isOpen())
        return;
    if (!m_port->flush() && SynchronousWaits && m_port->bytesToWrite() > 0)
        m_port->waitForBytesWritten(PieceWriteTimeoutMs);
    noteError();
}

bool SerialPort::setBaudRate(int baud) {
    if (!m_port->isOpen() || m_vanished)
        return false;
    const bool set = m_port->setBaudRate(baud);
    noteError();
    m_port->clearError();
    return set && m_port->baudRate() == baud;
}

bool SerialPort::hasVanished() const {
    return m_vanished || (m_port->isOpen() && meansGone(m_port->error()));
}

void SerialPort::moveToThread(QThread* thread) {
    m_port->moveToThread(thread);
}
