#include "link/port_list.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSerialPortInfo>
#include <algorithm>

namespace portlist {

Platform currentPlatform() {
#ifdef Q_OS_WIN
    return Platform::Windows;
#else
    return Platform::Linux;
#endif
}

namespace {

// Compares a and b with digit runs taken as numbers.
bool naturalLess(const QString& a, const QString& b) {
    qsizetype i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        if (a.at(i).isDigit() && b.at(j).isDigit()) {
            qsizetype ei = i, ej = j;
            while (ei < a.size() && a.at(ei).isDigit())
                ++ei;
            while (ej < b.size() && b.at(ej).isDigit())
                ++ej;
            // Compare without leading zeros: longer run is larger.
            QStringView da = QStringView(a).mid(i, ei - i);
            QStringView db = QStringView(b).mid(j, ej - j);
            while (da.size() > 1 && da.front() == u'0')
                da = da.mid(1);
            while (db.size() > 1 && db.front() == u'0')
                db = db.mid(1);
            if (da.size() != db.size())
                return da.size() < db.size();
            const int c = da.compare(db);
            if (c != 0)
                return c < 0;
            i = ei;
            j = ej;
            continue;
        }
        if (a.at(i) != b.at(j))
            return a.at(i) < b.at(j);
        ++i;
        ++j;
    }
    if ((a.size() - i) != (b.size() - j))
        return (a.size() - i) < (b.size() - j);
    return a < b;
}

QStringList systemNames() {
    QStringList names;
    const auto ports = QSerialPortInfo::availablePorts();
    for (const QSerialPortInfo& info : ports)
        names.append(info.portName());
    return names;
}

const QString ByIdFolder = QStringLiteral("/dev/serial/by-id");

QStringList entryNames(const QString& folder, const QStringList& nameFilters) {
    return QDir(folder).entryList(
        nameFilters, QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot, QDir::NoSort);
}

} // namespace

QStringList naturalSorted(QStringList names) {
    std::sort(names.begin(), names.end(), naturalLess);
    return names;
}

QStringList linuxPortNames() {
    QStringList names = systemNames();
    names.removeDuplicates();
    return naturalSorted(names);
}

QStringList comPortsUpTo30(const QStringList& systemNames) {
    static const QRegularExpression com(QStringLiteral("^COM([1-9][0-9]?)$"),
                                        QRegularExpression::CaseInsensitiveOption);
    QList<int> numbers;
    for (const QString& name : systemNames) {
        const auto m = com.match(name);
        if (!m.hasMatch())
            continue;
        const int n = m.captured(1).toInt();
        if (n >= 1 && n <= 30 && !numbers.contains(n))
            numbers.append(n);
    }
    std::sort(numbers.begin(), numbers.end());
    QStringList out;
    for (int n : numbers)
        out.append(QStringLiteral("COM%1").arg(n));
    return out;
}

QStringList windowsPortNames() {
    return comPortsUpTo30(systemNames());
}

QStringList portNames(const QStringList& extraPaths) {
    return portNames(extraPaths, currentPlatform() == Platform::Windows ? windowsPortNames()
                                                                        : linuxPortNames());
}

QStringList portNames(const QStringList& extraPaths, const QStringList& system) {
    // The paths the user named come first: they are what this run is for.
    QStringList names;
    for (const QString& p : extraPaths) {
        if (!p.isEmpty() && !names.contains(p))
            names.append(p);
    }
    for (const QString& n : system) {
        if (!names.contains(n))
            names.append(n);
    }
    return names;
}

QString devicePathForItem(const QString& item, Platform platform) {
    if (item.isEmpty() || item == NoPortItem)
        return {};
    if (item.contains(u'/') || item.contains(u'\\'))
        return item;
    if (platform == Platform::Windows)
        return QStringLiteral("\\\\.\\") + item;
    return QStringLiteral("/dev/") + item;
}

QString devicePathForItem(const QString& item) {
    return devicePathForItem(item, currentPlatform());
}

QStringList extraPortsFromArguments(const QStringList& arguments) {
    QStringList paths;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& a = arguments.at(i);
        if (a == QLatin1String("--port")) {
            if (i + 1 < arguments.size())
                paths.append(arguments.at(++i));
        } else if (a.startsWith(QLatin1String("--port="))) {
            paths.append(a.mid(7));
        }
    }
    paths.removeAll(QString());
    return paths;
}

int indexAfterRescan(int rememberedIndex, int count) {
    if (count <= 0)
        return -1;
    if (rememberedIndex >= count)
        return count - 1;
    if (rememberedIndex < 0)
        return 0;
    return rememberedIndex;
}

QStringList itemsOrPlaceholder(const QStringList& names) {
    return names.isEmpty() ? QStringList{NoPortItem} : names;
}

QString rescanListing(const QStringList& names) {
    QString line;
    for (const QString& n : names)
        line += n + QStringLiteral(", ");
    return line;
}

QString portDetails(const QString& description, const QString& manufacturer,
                    const QString& serialNumber, const QStringList& byIdPaths) {
    QStringList lines;
    if (!description.isEmpty())
        lines.append(QStringLiteral("Описание: ") + description);
    if (!manufacturer.isEmpty())
        lines.append(QStringLiteral("Производитель: ") + manufacturer);
    if (!serialNumber.isEmpty())
        lines.append(QStringLiteral("Серийный номер: ") + serialNumber);
    lines += byIdPaths;
    return lines.join(u'\n');
}

QList<PortEntry> systemPorts() {
    // The /dev/serial/by-id links, by the device they lead to.
    QMultiHash<QString, QString> byId;
    for (const QString& link : entryNames(ByIdFolder, {})) {
        const QString path = ByIdFolder + u'/' + link;
        byId.insert(QFileInfo(path).canonicalFilePath(), path);
    }
    QHash<QString, QString> details;
    QStringList names;
    const auto ports = QSerialPortInfo::availablePorts();
    for (const QSerialPortInfo& info : ports) {
        QStringList links = byId.values(info.systemLocation());
        links.sort();
        names.append(info.portName());
        details.insert(info.portName(), portDetails(info.description(), info.manufacturer(),
                                                    info.serialNumber(), links));
    }
    if (currentPlatform() == Platform::Windows) {
        names = comPortsUpTo30(names);
    } else {
        names.removeDuplicates();
        names = naturalSorted(names);
    }
    QList<PortEntry> entries;
    for (const QString& n : names)
        entries.append({n, details.value(n)});
    return entries;
}

std::optional<QStringList> ttyListing() {
    if (!QFileInfo(QStringLiteral("/dev")).isDir())
        return std::nullopt;
    QStringList names = entryNames(QStringLiteral("/dev"), {QStringLiteral("tty*")});
    names += entryNames(ByIdFolder, {});
    names.sort();
    return names;
}

PortScanner::PortScanner(Listing listing, Scan scan)
    : listing_(std::move(listing)), scan_(std::move(scan)) {}

QStringList PortScanner::names() {
    std::optional<QStringList> now = listing_ ? listing_() : std::nullopt;
    if (scans_ == 0 || !now || now != lastListing_) {
        ports_ = scan_();
        ++scans_;
    }
    lastListing_ = std::move(now);
    QStringList out;
    for (const PortEntry& e : ports_)
        out.append(e.name);
    return out;
}

QString PortScanner::details(const QString& name) const {
    for (const PortEntry& e : ports_) {
        if (e.name == name)
            return e.details;
    }
    return {};
}

} // namespace portlist
