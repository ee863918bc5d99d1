#pragma once
// What the fuzz targets share: input cut into pieces, a port that answers
// from those pieces, a dialogue that answers from a script, and a scratch file.

#include "base/user_dialog.h"
#include "link/port.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QQueue>
#include <QStringList>
#include <atomic>
#include <cstdint>
#include <unistd.h>

namespace fuzz {

// Reads the fuzzer's bytes front to back; past the end everything is 0/empty.
class Input {
public:
    Input(const uint8_t* data, size_t size) : data_(data), size_(size) {}
    bool empty() const { return pos_ >= size_; }
    quint8 byte() { return empty() ? 0 : data_[pos_++]; }
    // A piece of at most `max` bytes, its length taken from the next byte.
    QByteArray piece(int max = 255) {
        const int n = std::min<int>(byte() % (max + 1), int(size_ - pos_));
        QByteArray b(reinterpret_cast<const char*>(data_ + pos_), n);
        pos_ += size_t(n);
        return b;
    }
    QByteArray rest() {
        QByteArray b(reinterpret_cast<const char*>(data_ + pos_), qsizetype(size_ - pos_));
        pos_ = size_;
        return b;
    }

private:
    const uint8_t* data_;
    size_t size_;
    size_t pos_ = 0;
};

// A port whose every read hands out the next scripted piece; writes succeed
// unless the script says otherwise. Waiting never takes time.
class ScriptPort : public Port {
public:
    QQueue<QByteArray> reads;
    int shortWrites = 0;          // this many writes report one byte less
    bool quietUntilWrite = false; // nothing arrives before the first write
    // Set once the script is used up, for a session that only a cancel ends.
    std::atomic<bool>* cancelWhenDone = nullptr;

    bool open(const QString&, QString*) override { return true; }
    void close() override {}
    bool isOpen() const override { return true; }
    QByteArray read(int maxBytes) override {
        if (quietUntilWrite)
            return {};
        if (reads.isEmpty()) {
            if (cancelWhenDone)
                cancelWhenDone->store(true);
            return {};
        }
        QByteArray b = reads.dequeue();
        if (b.size() > maxBytes) {
            reads.prepend(b.mid(maxBytes));
            b.truncate(maxBytes);
        }
        return b;
    }
    bool waitForReadyRead(int) override { return !quietUntilWrite && !reads.isEmpty(); }
    qint64 write(const QByteArray& bytes) override {
        quietUntilWrite = false;
        if (shortWrites > 0) {
            --shortWrites;
            return bytes.size() - 1;
        }
        return bytes.size();
    }
    void flush() override {}
    bool hasVanished() const override { return false; }
};

// Answers questions and boxes from queues; an empty queue cancels.
class ScriptDialog : public UserDialog {
public:
    QQueue<std::optional<QString>> inputs;
    QQueue<QString> files;
    QStringList messages;

    void message(const QString& text, const QString&, Icon) override { messages << text; }
    bool askYesNo(const QString&, const QString&) override { return true; }
    std::optional<QString> inputBox(const QString&, const QString&, const QString&) override {
        return inputs.isEmpty() ? std::nullopt : inputs.dequeue();
    }
    QString openFileName(const QString&, const QString&, const QString&) override {
        return files.isEmpty() ? QString() : files.dequeue();
    }
    QString saveFileName(const QString&, const QString&, const QString&) override {
        return files.isEmpty() ? QString() : files.dequeue();
    }
};

// A file of this process in the temporary folder, written with the bytes.
inline QString scratchFile(const QString& name, const QByteArray& bytes) {
    const QString path = QDir::temp().filePath(
        QStringLiteral("lv300-fuzz-%1-%2").arg(QString::number(getpid()), name));
    QFile f(path);
    if (f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        f.write(bytes);
    return path;
}

} // namespace fuzz
