#pragma once
// The run's work log: one Windows-1251 text file per run, every line in double
// quotation marks and ended by CR LF, opened and closed around every line.

#include <QDateTime>
#include <QString>
#include <QStringList>

class Clock;

class WorkLog {
public:
    enum class AppendResult { Written, Failed, FailedFirstTime };

    explicit WorkLog(const Clock& clock);

    // The folders a run's log may go to, in order of preference: beside the
    // program, else the user's data folder (~/.local/share/lv300-configurator,
    // %LOCALAPPDATA%\lv300-configurator on Windows). An installed program keeps
    // its logs out of the system's program folders, even where those can be
    // written (root, an administrator). The configurator and lv300ctl share
    // them.
    static QStringList defaultDirs();

    // The run name for a start time: ddmmyyyy_hhmmss.
    static QString runName(const QDateTime& start);
    // Date and time as the Russian regional settings show them.
    static QString dateTimeText(const QDateTime& t);
    static QString timeText(const QDateTime& t);

    // Creates <dir>/log/<run name>.log in the first of the directories where
    // that works, and writes the start line. A name already taken (two runs in
    // the same second) gets a suffix instead of being emptied. On failure
    // returns false with the reason.
    bool create(const QStringList& baseDirs, QString* error);

    // Appends one line (time, " : ", text). While suppressed (log replay)
    // nothing is written. The first failure is reported as FailedFirstTime.
    AppendResult append(const QString& text);

    void setSuppressed(bool suppressed) { suppressed_ = suppressed; }
    bool isSuppressed() const { return suppressed_; }
    QString path() const { return path_; }
    QDateTime startTime() const { return start_; }

private:
    const Clock& clock_;
    QString path_;
    QDateTime start_;
    bool suppressed_ = false;
    bool failedBefore_ = false;
};
