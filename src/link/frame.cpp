#include "link/frame.h"

namespace frame {

quint8 crc(quint8 data, quint8& cr) {
    // The XOR constants for each set bit of data ^ cr: entries 1, 2, 4, ... 128
    // of the CRC-8/MAXIM table.
    static constexpr quint8 bitConstants[8] = {0x5E, 0xBC, 0x61, 0xC2, 0x9D, 0x23, 0x46, 0x8C};
    const quint8 f = data ^ cr;
    quint8 result = 0;
    for (int bit = 0; bit < 8; ++bit) {
        if (f & (1u << bit))
            result ^= bitConstants[bit];
    }
    cr = result;
    return result;
}

quint8 crcOf(const QByteArray& s) {
    quint8 c = 0;
    for (char b : s)
        crc(static_cast<quint8>(b), c);
    return c;
}

QByteArray withCrc(const QByteArray& bytes) {
    QByteArray out = bytes;
    out.append(static_cast<char>(crcOf(bytes)));
    return out;
}

std::optional<QByteArray> bigEndian32(qint32 num) {
    if (num < 0)
        return std::nullopt;
    const quint32 v = static_cast<quint32>(num);
    QByteArray out(4, '\0');
    out[0] = static_cast<char>((v >> 24) & 0xFF);
    out[1] = static_cast<char>((v >> 16) & 0xFF);
    out[2] = static_cast<char>((v >> 8) & 0xFF);
    out[3] = static_cast<char>(v & 0xFF);
    return out;
}

quint8 computedCrc(const QByteArray& answer) {
    if (answer.isEmpty())
        return 0;
    return crcOf(answer.left(answer.size() - 1));
}

bool answerIntact(const QByteArray& answer) {
    if (answer.isEmpty())
        return false;
    return computedCrc(answer) == static_cast<quint8>(answer.back());
}

QByteArray request(quint8 address, quint8 command, const QByteArray& data) {
    QByteArray r;
    r.append(static_cast<char>(RequestPrefix));
    r.append(static_cast<char>(address));
    r.append(static_cast<char>(command));
    r.append(data);
    return withCrc(r);
}

QByteArray netPollRequest() {
    QByteArray r;
    r.append(static_cast<char>(RequestPrefix));
    r.append(static_cast<char>(NetPollAddress));
    return withCrc(r);
}

QString hexText(const QByteArray& bytes) {
    return QString::fromLatin1(bytes.toHex(' ').toUpper());
}

} // namespace frame
