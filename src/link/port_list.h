#pragma once
// The list of serial ports the user chooses from, and the device path each
// item opens. Only portNames() and linuxPortNames()/windowsPortNames() ask
// the system; the rest is plain functions of their arguments.

#include <QString>
#include <QStringList>

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
