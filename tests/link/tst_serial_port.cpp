// The serial port on a real kernel tty (a pseudo-terminal), the simulator
// served on one, and the port list.

#include "link/frame.h"
#include "link/port_list.h"
#include "link/serial_port.h"
#include "support/pty_sim.h"

#include <QCoreApplication>
#include <QScopeGuard>
#include <QTest>
#include <QThread>

#if defined(Q_OS_UNIX)
#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>
#define HAVE_PTY 1
#define HAVE_PTY_VALUE true
#else
#define HAVE_PTY_VALUE false
#endif

namespace {

QByteArray hx(const char* hex) {
    return QByteArray::fromHex(hex);
}

#ifdef HAVE_PTY
// The master side of a pseudo-terminal; the port under test opens its slave.
class Pty {
public:
    Pty() {
        m_master = posix_openpt(O_RDWR | O_NOCTTY);
        if (m_master < 0 || grantpt(m_master) != 0 || unlockpt(m_master) != 0)
            return;
        if (const char* name = ptsname(m_master))
            m_slavePath = QString::fromLocal8Bit(name);
        // Raw, no echo, so the bytes pass unchanged both ways.
        termios t{};
        const int slave = ::open(ptsname(m_master), O_RDWR | O_NOCTTY);
        if (slave >= 0 && tcgetattr(slave, &t) == 0) {
            cfmakeraw(&t);
            tcsetattr(slave, TCSANOW, &t);
        }
        if (slave >= 0)
            ::close(slave);
    }
    ~Pty() {
        closeMaster();
        if (m_heldSlave >= 0)
            ::close(m_heldSlave);
    }
    // Keeps the slave side open, as a serving program does, so that bytes
    // written while the port under test is closed stay queued.
    void holdSlave() {
        m_heldSlave = ::open(m_slavePath.toLocal8Bit().constData(), O_RDWR | O_NOCTTY);
    }
    bool ok() const { return m_master >= 0 && !m_slavePath.isEmpty(); }
    QString slavePath() const { return m_slavePath; }
    void closeMaster() {
        if (m_master >= 0)
            ::close(m_master);
        m_master = -1;
    }
    bool write(const QByteArray& bytes) {
        return ::write(m_master, bytes.constData(), size_t(bytes.size())) == bytes.size();
    }
    // Reads until `count` bytes came or nothing more comes for 5 s.
    QByteArray read(int count) {
        QByteArray got;
        while (got.size() < count) {
            pollfd p{m_master, POLLIN, 0};
            if (::poll(&p, 1, 5000) <= 0)
                break;
            char buf[512];
            const ssize_t n = ::read(m_master, buf, sizeof buf);
            if (n <= 0)
                break;
            got.append(buf, n);
        }
        return got;
    }

private:
    int m_master = -1;
    int m_heldSlave = -1;
    QString m_slavePath;
};

#else
// Pseudo-terminals are a Unix device: the tests that need one are skipped.
class Pty {
public:
    bool ok() const { return false; }
    QString slavePath() const { return {}; }
    void holdSlave() {}
    void closeMaster() {}
    bool write(const QByteArray&) { return false; }
    QByteArray read(int) { return {}; }
};
#endif

#define NEED_PTY(pty)                                                                              \
    do {                                                                                           \
        if (!HAVE_PTY_VALUE)                                                                       \
            QSKIP("this system has no pseudo-terminals");                                          \
        QVERIFY(pty.ok());                                                                         \
    } while (false)

QByteArray readFromPort(Port& port, int count) {
    QByteArray got;
    while (got.size() < count && port.waitForReadyRead(5000))
        got.append(port.read(count - int(got.size())));
    return got;
}

} // namespace

class TestSerialPort : public QObject {
    Q_OBJECT

private slots:
    void writePieces_data();
    void writePieces();
    void naturalOrder_data();
    void naturalOrder();
    void comPortsUpTo30_data();
    void comPortsUpTo30();
    void devicePath_data();
    void devicePath();
    void extraPorts_data();
    void extraPorts();
    void selectionAfterRescan_data();
    void selectionAfterRescan();
    void placeholderAndListing();
    void systemListCarriesExtraPaths();
    void rescanAsksSystemOnlyWhenTtySetChanged();
    void portDetails_data();
    void portDetails();

    void openFailureReasons_data();
    void openFailureReasons();
    void openFailsWithReason_data();
    void openFailsWithReason();
    void writeOf300BytesOverTty();
    void readOverTty();
    void openIsExclusive();
    void openStartsWithNothingToRead();
    void unpluggedDeviceVanishes();
    void portMovesToWorkerThread();
    void simulatorOnPseudoTerminal();
};

void TestSerialPort::writePieces_data() {
    QTest::addColumn<int>("size");
    QTest::addColumn<QList<int>>("pieces");
    QTest::newRow("empty") << 0 << QList<int>{};
    QTest::newRow("1") << 1 << QList<int>{1};
    QTest::newRow("255") << 255 << QList<int>{255};
    QTest::newRow("256") << 256 << QList<int>{255, 1};
    QTest::newRow("300") << 300 << QList<int>{255, 45};
    QTest::newRow("510") << 510 << QList<int>{255, 255};
    QTest::newRow("511") << 511 << QList<int>{255, 255, 1};
}

void TestSerialPort::writePieces() {
    QFETCH(int, size);
    QFETCH(QList<int>, pieces);
    QByteArray bytes;
    for (int i = 0; i < size; ++i)
        bytes.append(char(i * 7));
    const QList<QByteArray> got = serial::writePieces(bytes);
    QList<int> sizes;
    QByteArray joined;
    for (const QByteArray& p : got) {
        sizes.append(int(p.size()));
        joined.append(p);
    }
    QCOMPARE(sizes, pieces);
    QCOMPARE(joined, bytes);
}

void TestSerialPort::naturalOrder_data() {
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<QStringList>("sorted");
    QTest::newRow("numbers as numbers")
        << QStringList{"ttyS10", "ttyS2", "ttyS1"} << QStringList{"ttyS1", "ttyS2", "ttyS10"};
    QTest::newRow("kinds apart") << QStringList{"ttyUSB0", "ttyS3", "ttyACM1", "ttyUSB10",
                                                "ttyUSB2"}
                                 << QStringList{"ttyACM1", "ttyS3", "ttyUSB0", "ttyUSB2",
                                                "ttyUSB10"};
    QTest::newRow("COM") << QStringList{"COM12", "COM9", "COM1"}
                         << QStringList{"COM1", "COM9", "COM12"};
    QTest::newRow("prefix first") << QStringList{"ttyS1a", "ttyS1"}
                                  << QStringList{"ttyS1", "ttyS1a"};
    QTest::newRow("empty") << QStringList{} << QStringList{};
}

void TestSerialPort::naturalOrder() {
    QFETCH(QStringList, names);
    QFETCH(QStringList, sorted);
    QCOMPARE(portlist::naturalSorted(names), sorted);
}

void TestSerialPort::comPortsUpTo30_data() {
    QTest::addColumn<QStringList>("system");
    QTest::addColumn<QStringList>("listed");
    QTest::newRow("ordered by number")
        << QStringList{"COM12", "COM3", "COM1"} << QStringList{"COM1", "COM3", "COM12"};
    QTest::newRow("30 yes, 31 no")
        << QStringList{"COM31", "COM30", "COM100"} << QStringList{"COM30"};
    QTest::newRow("not COM ports")
        << QStringList{"COM0", "LPT1", "CNCA0", "COM05"} << QStringList{};
    QTest::newRow("twice") << QStringList{"COM2", "COM2"} << QStringList{"COM2"};
}

void TestSerialPort::comPortsUpTo30() {
    QFETCH(QStringList, system);
    QFETCH(QStringList, listed);
    QCOMPARE(portlist::comPortsUpTo30(system), listed);
}

void TestSerialPort::devicePath_data() {
    QTest::addColumn<QString>("item");
    QTest::addColumn<bool>("windows");
    QTest::addColumn<QString>("path");
    QTest::newRow("COM12") << "COM12" << true << "\\\\.\\COM12";
    QTest::newRow("COM3") << "COM3" << true << "\\\\.\\COM3";
    QTest::newRow("ttyUSB0") << "ttyUSB0" << false << "/dev/ttyUSB0";
    QTest::newRow("path on Linux") << "/dev/pts/7" << false << "/dev/pts/7";
    QTest::newRow("path on Windows") << "\\\\.\\COM40" << true << "\\\\.\\COM40";
    QTest::newRow("placeholder") << "----" << true << "";
    QTest::newRow("placeholder Linux") << "----" << false << "";
    QTest::newRow("nothing") << "" << false << "";
}

void TestSerialPort::devicePath() {
    QFETCH(QString, item);
    QFETCH(bool, windows);
    QFETCH(QString, path);
    QCOMPARE(portlist::devicePathForItem(item, windows ? portlist::Platform::Windows
                                                       : portlist::Platform::Linux),
             path);
}

void TestSerialPort::extraPorts_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QStringList>("paths");
    QTest::newRow("none") << QStringList{"prog"} << QStringList{};
    QTest::newRow("two") << QStringList{"prog", "--port", "/dev/pts/3", "--demo", "--port=/tmp/x"}
                         << QStringList{"/dev/pts/3", "/tmp/x"};
    QTest::newRow("missing value") << QStringList{"prog", "--port"} << QStringList{};
    QTest::newRow("empty value") << QStringList{"prog", "--port="} << QStringList{};
}

void TestSerialPort::extraPorts() {
    QFETCH(QStringList, arguments);
    QFETCH(QStringList, paths);
    QCOMPARE(portlist::extraPortsFromArguments(arguments), paths);
}

void TestSerialPort::selectionAfterRescan_data() {
    QTest::addColumn<int>("remembered");
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("selected");
    QTest::newRow("kept") << 1 << 3 << 1;
    QTest::newRow("list shrank") << 4 << 2 << 1;
    QTest::newRow("just past the end") << 2 << 2 << 1;
    QTest::newRow("nothing selected") << -1 << 3 << 0;
    QTest::newRow("empty list") << 1 << 0 << -1;
}

void TestSerialPort::selectionAfterRescan() {
    QFETCH(int, remembered);
    QFETCH(int, count);
    QFETCH(int, selected);
    QCOMPARE(portlist::indexAfterRescan(remembered, count), selected);
}

void TestSerialPort::placeholderAndListing() {
    QCOMPARE(portlist::itemsOrPlaceholder({}), QStringList{"----"});
    QCOMPARE(portlist::itemsOrPlaceholder({"COM1"}), QStringList{"COM1"});
    QCOMPARE(portlist::rescanListing({"COM1", "COM3"}), QStringLiteral("COM1, COM3, "));
    QCOMPARE(portlist::rescanListing({}), QString());
}

void TestSerialPort::systemListCarriesExtraPaths() {
    const QStringList names = portlist::portNames({"/tmp/a", "/tmp/b", "/tmp/a"});
    QCOMPARE(names.mid(0, 2), (QStringList{"/tmp/a", "/tmp/b"}));
    QCOMPARE(names.count("/tmp/a"), 1);
    const QStringList system = names.mid(2);
    QCOMPARE(portlist::naturalSorted(system), system);
}

void TestSerialPort::rescanAsksSystemOnlyWhenTtySetChanged() {
    // What the cheap listing shows, call by call; no value: nothing to watch.
    const QList<std::optional<QStringList>> listings{QStringList{"ttyS0"},
                                                     QStringList{"ttyS0"},
                                                     QStringList{"ttyS0", "ttyUSB0"},
                                                     QStringList{"ttyS0", "ttyUSB0"},
                                                     QStringList{"ttyS0"},
                                                     std::nullopt,
                                                     std::nullopt};
    const QList<int> scansAfter{1, 1, 2, 2, 3, 4, 5};
    int call = 0;
    portlist::PortScanner scanner(
        [&] { return listings.at(call); },
        [&]() -> QList<portlist::PortEntry> {
            QList<portlist::PortEntry> ports;
            for (const QString& n : listings.at(call).value_or(QStringList{"ttyS0", "ttyS1"}))
                ports.append({n, "about " + n});
            return ports;
        });
    for (; call < listings.size(); ++call) {
        const QStringList names = scanner.names();
        QCOMPARE(scanner.scans(), scansAfter.at(call));
        QCOMPARE(names, listings.at(call).value_or(QStringList{"ttyS0", "ttyS1"}));
        QCOMPARE(scanner.details(names.last()), "about " + names.last());
    }
}

void TestSerialPort::portDetails_data() {
    QTest::addColumn<QStringList>("known"); // description, maker, serial number
    QTest::addColumn<QStringList>("byId");
    QTest::addColumn<QString>("tooltip");
    QTest::newRow("USB adapter")
        << QStringList{"CP2102 USB to UART Bridge Controller", "Silicon Labs", "0001"}
        << QStringList{"/dev/serial/by-id/usb-Silicon_Labs_CP2102_0001-if00-port0"}
        << "Описание: CP2102 USB to UART Bridge Controller\nПроизводитель: Silicon "
           "Labs\nСерийный номер: 0001\n/dev/serial/by-id/usb-Silicon_Labs_CP2102_0001-if00-port0";
    QTest::newRow("only a maker") << QStringList{"", "FTDI", ""} << QStringList{}
                                  << "Производитель: FTDI";
    QTest::newRow("nothing known") << QStringList{"", "", ""} << QStringList{} << QString();
}

void TestSerialPort::portDetails() {
    QFETCH(QStringList, known);
    QFETCH(QStringList, byId);
    QFETCH(QString, tooltip);
    QCOMPARE(portlist::portDetails(known[0], known[1], known[2], byId), tooltip);
}

void TestSerialPort::openFailureReasons_data() {
    QTest::addColumn<QSerialPort::SerialPortError>("error");
    QTest::addColumn<bool>("userMayAccess");
    QTest::addColumn<QString>("reason");
    const QString noRight =
        "Нет прав на порт: добавьте пользователя в группу dialout и войдите заново.";
    const QString busy = "Порт занят другой программой.";
    const QString absent = "Порт не найден.";
    QTest::newRow("no error") << QSerialPort::NoError << true << QString();
    QTest::newRow("not found") << QSerialPort::DeviceNotFoundError << true << absent;
    QTest::newRow("permission, no right") << QSerialPort::PermissionError << false << noRight;
    QTest::newRow("permission, held elsewhere") << QSerialPort::PermissionError << true << busy;
    QTest::newRow("already open here") << QSerialPort::OpenError << true << QString();
    QTest::newRow("resource") << QSerialPort::ResourceError << false << QString();
    QTest::newRow("unsupported") << QSerialPort::UnsupportedOperationError << true << QString();
    QTest::newRow("unknown") << QSerialPort::UnknownError << false << QString();
}

void TestSerialPort::openFailureReasons() {
    QFETCH(QSerialPort::SerialPortError, error);
    QFETCH(bool, userMayAccess);
    QFETCH(QString, reason);
    QCOMPARE(serial::openFailureReason(serial::openFailureOf(error, userMayAccess)), reason);
}

void TestSerialPort::openFailsWithReason_data() {
    QTest::addColumn<QString>("path");
    QTest::addColumn<bool>("settingsRefused"); // opened, but no line settings apply
    QTest::addColumn<serial::OpenFailure>("failure");
    QTest::newRow("missing device")
        << "/dev/lv300-no-such-port" << false << serial::OpenFailure::NotFound;
    QTest::newRow("not a tty") << "/dev/null" << true << serial::OpenFailure::Other;
    QTest::newRow("placeholder's empty path") << "" << false << serial::OpenFailure::NotFound;
}

void TestSerialPort::openFailsWithReason() {
    QFETCH(QString, path);
    QFETCH(bool, settingsRefused);
    QFETCH(serial::OpenFailure, failure);
    SerialPort port;
    QString error;
    QVERIFY(!port.open(path, &error));
    QVERIFY(!port.isOpen());
    QVERIFY(!error.isEmpty());
    QCOMPARE(port.openFailure(), failure);
    if (settingsRefused)
        QVERIFY2(port.setupError().startsWith("Unable to set Comm DCB 19200,n,8,1 Error: "),
                 qPrintable(port.setupError()));
    else
        QCOMPARE(port.setupError(), QString());
    if (!path.isEmpty())
        QVERIFY2(error.contains(path), qPrintable(error));
    QCOMPARE(port.write(hx("3101F0C5")), 0);
    QVERIFY(port.read().isEmpty());
    QVERIFY(!port.waitForReadyRead(0));
}

void TestSerialPort::writeOf300BytesOverTty() {
    Pty pty;
    NEED_PTY(pty);
    SerialPort port;
    QString error;
    QVERIFY2(port.open(pty.slavePath(), &error), qPrintable(error));
    QByteArray bytes;
    for (int i = 0; i < 300; ++i)
        bytes.append(char(i));
    QCOMPARE(port.write(bytes), 300);
    port.flush();
    QCOMPARE(pty.read(300).toHex(), bytes.toHex());
    QCOMPARE(port.write(QByteArray()), 0);
}

void TestSerialPort::readOverTty() {
    Pty pty;
    NEED_PTY(pty);
    SerialPort port;
    QVERIFY(port.open(pty.slavePath()));
    // Nothing there: an empty read, at once.
    QVERIFY(port.read().isEmpty());
    QVERIFY(!port.waitForReadyRead(20));
    const QByteArray answer = hx("3E01FC40E20100B000DA");
    QVERIFY(pty.write(answer));
    QCOMPARE(readFromPort(port, 10).toHex(), answer.toHex());
    // At most maxBytes per read; the rest stays for the next one.
    QVERIFY(pty.write(answer));
    QVERIFY(port.waitForReadyRead(5000));
    QByteArray first;
    while (first.size() < 4 && port.waitForReadyRead(5000))
        first.append(port.read(4 - int(first.size())));
    QCOMPARE(first.toHex(), answer.left(4).toHex());
    QCOMPARE(readFromPort(port, 6).toHex(), answer.mid(4).toHex());
    // Flushing keeps what came in.
    QVERIFY(pty.write(hx("0105")));
    QVERIFY(port.waitForReadyRead(5000));
    port.flush();
    QCOMPARE(readFromPort(port, 2).toHex(), QByteArray("0105"));
    QVERIFY(!port.hasVanished());
    port.close();
    QVERIFY(!port.isOpen());
}

void TestSerialPort::openIsExclusive() {
    Pty pty;
    NEED_PTY(pty);
    SerialPort first, second;
    QVERIFY(first.open(pty.slavePath()));
    QString error;
    QVERIFY(!second.open(pty.slavePath(), &error));
    QVERIFY(!error.isEmpty());
    QCOMPARE(second.openFailure(), serial::OpenFailure::Busy);
    first.close();
    QVERIFY2(second.open(pty.slavePath(), &error), qPrintable(error));
}

void TestSerialPort::openStartsWithNothingToRead() {
    Pty pty;
    NEED_PTY(pty);
    pty.holdSlave();
    SerialPort port;
    QVERIFY(port.open(pty.slavePath()));
    port.close();
    QVERIFY(pty.write(hx("3E01F5A5"))); // an answer nobody was waiting for
    QVERIFY(port.open(pty.slavePath()));
    QVERIFY(!port.waitForReadyRead(50));
    QVERIFY(port.read().isEmpty());
    QVERIFY(pty.write(hx("0105")));
    QCOMPARE(readFromPort(port, 2).toHex(), QByteArray("0105"));
}

void TestSerialPort::unpluggedDeviceVanishes() {
    Pty pty;
    NEED_PTY(pty);
    SerialPort port;
    QVERIFY(port.open(pty.slavePath()));
    QVERIFY(!port.hasVanished());
    pty.closeMaster(); // the device goes away under the open port
    for (int i = 0; i < 50 && !port.hasVanished(); ++i) {
        port.waitForReadyRead(100);
        port.read();
    }
    QVERIFY(port.hasVanished());
    QCOMPARE(port.write(hx("3101F0C5")), 0);
    port.close();
    QVERIFY(!port.hasVanished());
}

void TestSerialPort::portMovesToWorkerThread() {
    Pty pty;
    NEED_PTY(pty);
    SerialPort port;
    QVERIFY(port.open(pty.slavePath()));
    QThread worker;
    QObject inWorker;
    inWorker.moveToThread(&worker);
    worker.start();
    const auto stop = qScopeGuard([&worker] {
        worker.quit();
        worker.wait();
    });
    port.moveToThread(&worker);
    QByteArray got;
    qint64 written = 0;
    QMetaObject::invokeMethod(
        &inWorker,
        [&] {
            written = port.write(hx("7F"));
            got = readFromPort(port, 1);
            port.moveToThread(QCoreApplication::instance()->thread());
        },
        Qt::QueuedConnection);
    QCOMPARE(pty.read(1).toHex(), QByteArray("7f"));
    QVERIFY(pty.write(hx("79")));
    worker.quit();
    QVERIFY(worker.wait(10000));
    QCOMPARE(written, 1);
    QCOMPARE(got.toHex(), QByteArray("79"));
    // Back on this thread, the port works as before.
    QCOMPARE(port.write(hx("31")), 1);
    QCOMPARE(pty.read(1).toHex(), QByteArray("31"));
}

void TestSerialPort::simulatorOnPseudoTerminal() {
    if (!HAVE_PTY_VALUE)
        QSKIP("the simulator serves a pseudo-terminal, which this system lacks");
    PtySim sim({"--addresses", "1,5"});
    QVERIFY2(sim.path().startsWith("/dev/"), "build the lv300-sim tool next to this test");

    SerialPort port;
    QString error;
    QVERIFY2(port.open(sim.path(), &error), qPrintable(error));

    const auto exchange = [&port](const QByteArray& request, int answerSize) {
        const qint64 written = port.write(request);
        port.flush();
        return written == request.size() ? readFromPort(port, answerSize) : QByteArray();
    };
    // The demo line: sensor 1 (serial 3000417, firmware 1.7.6) and sensor 5
    // (serial 2704155, firmware 1.6.3).
    QCOMPARE(exchange(frame::netPollRequest(), 2).toHex(), QByteArray("0105"));
    QCOMPARE(exchange(frame::request(1, 0xFC), 10).toHex(), QByteArray("3e01fc61c82d00b0007c"));
    QCOMPARE(exchange(frame::request(5, 0xFC), 10).toHex(), QByteArray("3e05fc1b432900a30032"));
    for (int i = 0; i < 3; ++i) {
        const QByteArray data = exchange(frame::request(1, 0xF0), 24);
        QCOMPARE(data.size(), 24);
        QVERIFY(frame::answerIntact(data));
        QCOMPARE(data.left(4).toHex(), QByteArray("3e01f015"));            // 21 °C
        QCOMPARE(data.mid(10, 8).toHex(), QByteArray("50c3000018730100")); // 50000, 95000
        const quint32 raw = quint8(data[6]) | quint32(quint8(data[7])) << 8 |
                            quint32(quint8(data[8])) << 16 | quint32(quint8(data[9])) << 24;
        QVERIFY2(raw > 72300 && raw < 72700, qPrintable(QString::number(raw)));
    }
    const QByteArray older = exchange(frame::request(5, 0xF0), 21);
    QCOMPARE(older.size(), 21); // no mode, lamp and smoothing bytes
    QVERIFY(frame::answerIntact(older));
    QCOMPARE(older.mid(10, 8).toHex(), QByteArray("80bb000078630100")); // 48000, 91000

    // A damaged request gets no answer.
    port.write(hx("3101F0C6"));
    QVERIFY(!port.waitForReadyRead(200));

    // Closing and reopening the port keeps the simulator serving.
    port.close();
    QVERIFY(port.open(sim.path()));
    port.write(frame::netPollRequest());
    QCOMPARE(readFromPort(port, 2).toHex(), QByteArray("0105"));
    port.close();

    // Closing its input ends the simulator.
    QCOMPARE(sim.stop(), 0);
}

QTEST_GUILESS_MAIN(TestSerialPort)
#include "tst_serial_port.moc"
