#pragma once
// What lv300ctl prints: plain text, or with --json one JSON object per line
// on stdout; failures as {"error": ..., "code": ...} or a message on stderr.

#include <QJsonObject>
#include <QString>

namespace ctl {

// The exit codes.
enum Exit : int {
    Done = 0,
    NoAnswer = 1, // no answer or a bad answer from the sensor
    Usage = 2,    // wrong usage, a value out of range, a question not confirmed
    Refused = 3,  // refused by the sensor (locked by password)
    FileError = 4,
    PortError = 5,
    Cancelled = 130,
};

// Text on stderr as it stands (prompts, progress, messages), flushed.
void toStderr(const QString& text);

class Output {
public:
    explicit Output(bool json) : json_(json) {}
    bool json() const { return json_; }

    // One result: the object with --json, the text otherwise (a line end is
    // added when missing; empty text prints nothing).
    void result(const QJsonObject& object, const QString& text);
    // A failure; returns the exit code. kind is the JSON "code".
    int fail(int exitCode, const QString& kind, const QString& text);
    // A failure whose message the dialogue already put on stderr.
    int failShown(int exitCode, const QString& kind, const QString& text);

private:
    bool json_;
};

} // namespace ctl
