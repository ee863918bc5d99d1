#pragma once
// Small helpers the test programs share: files on disk and answer frames.

#include "link/frame.h"

#include <QByteArray>
#include <QFile>
#include <QTest>
#include <initializer_list>

namespace testsupport {

// The bytes of a file, or "<missing>" when it cannot be read.
inline QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

inline void writeAll(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    QCOMPARE(f.write(bytes), bytes.size());
}

// Bytes written as numbers: bytes({0x7F, 0x79}).
inline QByteArray bytes(std::initializer_list<int> list) {
    QByteArray b;
    for (int v : list)
        b.append(char(v));
    return b;
}

// A sensor's answer: 0x3E, address, code, data, CRC-8.
inline QByteArray answer(quint8 address, quint8 code, const QByteArray& data = {}) {
    QByteArray a;
    a.append(char(frame::AnswerPrefix));
    a.append(char(address));
    a.append(char(code));
    a.append(data);
    return frame::withCrc(a);
}

} // namespace testsupport
