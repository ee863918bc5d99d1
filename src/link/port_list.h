#pragma once
// The list of serial ports the user chooses from, and the device path each
// item opens. Only portNames() and linuxPortNames()/windowsPortNames() ask
// the system; the rest is plain functions of their arguments.

#include <QList>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

namespace portlist {

enum class Platform { Linux, Windows };
Platform currentPlatform();

// The single item shown when no port is found.
inline const QString NoPortItem = QStringLiteral("----");

// Serial ports of a Linux system by name ("ttyS0", "ttyUSB0"), natural order.
QStringList linuxPortNames();
// COM1..COM30 that exist on a Windows system, in port order.
QStringList windowsPortNames();

// The extra paths (each listed as the path itself, once, in the order given),
// followed by the ports of the running system.
QStringList portNames(const QStringList& extraPaths = {});
// The same with the system's ports given.
QStringList portNames(const QStringList& extraPaths, const QStringList& systemNames);

// A port of the system and what the system tells about it.
struct PortEntry {
    QString name;    // the list item ("ttyUSB0", "COM3")
    QString details; // the item's tooltip; empty when nothing is known
};

// The tooltip: one line for each thing known (description, maker, serial
// number, then every /dev/serial/by-id name of the device).
QString portDetails(const QString& description, const QString& manufacturer,
                    const QString& serialNumber, const QStringList& byIdPaths);

// The system's ports with their details, named and ordered as
// linuxPortNames()/windowsPortNames() list them. Walks the system's device
// tree: costly.
QList<PortEntry> systemPorts();

// A cheap picture of the system's tty devices: the names under /dev that
// start with "tty" and those under /dev/serial/by-id. Empty (no value) where
// there is no /dev to read.
std::optional<QStringList> ttyListing();

// The port list's source: the system's ports, asked for again only when the
// cheap listing changed since the last time (and every time where there is no
// listing), so that the once-a-second rescan of a closed port costs next to
// nothing while no device comes or goes.
class PortScanner {
public:
    using Listing = std::function<std::optional<QStringList>()>;
    using Scan = std::function<QList<PortEntry>()>;

    explicit PortScanner(Listing listing = ttyListing, Scan scan = systemPorts);

    // The names of the system's ports, as of now.
    QStringList names();
    // The tooltip of a port found by the last names().
    QString details(const QString& name) const;
    // How often the system was asked.
    int scans() const { return scans_; }

private:
    Listing listing_;
    Scan scan_;
    std::optional<QStringList> lastListing_;
    QList<PortEntry> ports_;
    int scans_ = 0;
};

// Names in natural order: digit runs compare as numbers, so ttyS2 comes
// before ttyS10 and COM9 before COM12.
QStringList naturalSorted(QStringList names);

// Of the names a Windows system reports, the ones "COM1".."COM30", in port
// order. Ports numbered 31 and above are never listed.
QStringList comPortsUpTo30(const QStringList& systemNames);

// The device path opened for a list item: "\\.\COMn" for a COM item on
// Windows, "/dev/<name>" for a port name on Linux, an item that already is a
// path (it contains '/' or '\') as it is. The placeholder "----" and an empty
// item have no device: the result is empty.
QString devicePathForItem(const QString& item, Platform platform);
QString devicePathForItem(const QString& item);

// Every PATH given as "--port PATH" or "--port=PATH" (repeatable), in order.
QStringList extraPortsFromArguments(const QStringList& arguments);

// The rescan's selection: the remembered index, the last item when the list
// got shorter than that, the first when nothing was selected; -1 for an
// empty list.
int indexAfterRescan(int rememberedIndex, int count);

// The items of the list: the names, or the single placeholder "----".
QStringList itemsOrPlaceholder(const QStringList& names);

// The line the rescan adds to the message window: every name followed by
// ", " ("COM1, COM3, "); the caller ends the line.
QString rescanListing(const QStringList& names);

} // namespace portlist
