#pragma once
// lv300-sim (built beside the test or benchmark) serving its sensors on a
// pseudo-terminal, as a real port. Its stderr goes into a file: a full pipe
// nobody reads would stall the simulator.

#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>

class PtySim {
public:
    explicit PtySim(const QStringList& options);
    ~PtySim() { stop(); }
    PtySim(const PtySim&) = delete;
    PtySim& operator=(const PtySim&) = delete;

    // The device to open (/dev/pts/N); empty when the simulator did not start.
    QString path() const { return path_; }
    // Ends the simulator as closing its input does (or SIGTERM, when it was
    // told to ignore its input); it then writes what it was asked to keep.
    // Its exit code; -1 when it had to be killed.
    int stop();
    // What it printed on stderr so far.
    QByteArray log() const;

private:
    QTemporaryDir dir_;
    QProcess sim_;
    QString path_;
};
