#include "sim/stm8_bootloader.h"

namespace {

quint8 xorOf(const QByteArray& bytes, qsizetype count) {
    quint8 x = 0;
    for (qsizetype i = 0; i < count; ++i)
        x ^= quint8(bytes.at(i));
    return x;
}

} // namespace

Stm8Bootloader::Stm8Bootloader() : m_memory(0x10000, 0x00) {}

void Stm8Bootloader::powerUp() {
    std::lock_guard lock(m_mutex);
    m_phase = Phase::Unsynced;
    m_syncSeen = 0;
    m_answersAfterSync = 0;
    m_collect.clear();
}

void Stm8Bootloader::powerDown() {
    std::lock_guard lock(m_mutex);
    m_phase = Phase::Off;
}

bool Stm8Bootloader::isActive() const {
    std::lock_guard lock(m_mutex);
    return m_phase != Phase::Off;
}

bool Stm8Bootloader::isSynchronised() const {
    std::lock_guard lock(m_mutex);
    return m_phase != Phase::Off && m_phase != Phase::Unsynced;
}

void Stm8Bootloader::setTiming(const Timing& timing) {
    std::lock_guard lock(m_mutex);
    m_timing = timing;
}

void Stm8Bootloader::setFlashEnd(quint32 last) {
    std::lock_guard lock(m_mutex);
    m_flashEnd = qMin<quint32>(last, 0xFFFF);
}

void Stm8Bootloader::setOnGo(std::function<void()> callback) {
    std::lock_guard lock(m_mutex);
    m_onGo = std::move(callback);
}

void Stm8Bootloader::answerSyncFrom(int n) {
    std::lock_guard lock(m_mutex);
    m_syncFrom = qMax(1, n);
}

void Stm8Bootloader::nackBlock(int k) {
    std::lock_guard lock(m_mutex);
    m_nackBlock = k;
}

void Stm8Bootloader::dropAnswer(int m) {
    std::lock_guard lock(m_mutex);
    m_dropAnswer = m;
}

void Stm8Bootloader::muteAfterSync(bool mute) {
    std::lock_guard lock(m_mutex);
    m_mute = mute;
}

void Stm8Bootloader::stuckByte(quint32 address, quint8 value) {
    std::lock_guard lock(m_mutex);
    if (address < m_memory.size()) {
        m_stuck.append({address, value});
        m_memory[address] = value;
    }
}

void Stm8Bootloader::refuseRead(int k) {
    std::lock_guard lock(m_mutex);
    m_refuseRead = k;
}

void Stm8Bootloader::applyStuck() {
    for (const auto& [address, value] : m_stuck)
        m_memory[address] = value;
}

void Stm8Bootloader::takeAddressByte(quint8 byte, Phase next, QList<SimReply>& out,
                                     const std::function<bool()>& valid) {
    m_collect.append(char(byte));
    if (m_collect.size() < 5)
        return;
    m_address = collectedAddress();
    const bool checkOk = xorOf(m_collect, 4) == byte;
    m_collect.clear();
    if (!checkOk || !valid()) {
        m_phase = Phase::Command;
        answer(out, Nack, m_timing.turnaroundUs);
        return;
    }
    m_phase = next;
    answer(out, Ack, m_timing.turnaroundUs);
}

quint32 Stm8Bootloader::collectedAddress() const {
    return (quint32(quint8(m_collect[0])) << 24) | (quint32(quint8(m_collect[1])) << 16) |
           (quint32(quint8(m_collect[2])) << 8) | quint32(quint8(m_collect[3]));
}

void Stm8Bootloader::setMemory(quint32 address, const QByteArray& bytes) {
    std::lock_guard lock(m_mutex);
    for (qsizetype i = 0; i < bytes.size() && qsizetype(address) + i < qsizetype(m_memory.size());
         ++i)
        m_memory[address + i] = quint8(bytes.at(i));
}

QByteArray Stm8Bootloader::memory(quint32 address, int length) const {
    std::lock_guard lock(m_mutex);
    QByteArray out;
    for (qint64 a = address; a < qint64(address) + length && a < qint64(m_memory.size()); ++a)
        out.append(char(m_memory[a]));
    return out;
}

QList<Stm8Bootloader::Write> Stm8Bootloader::writes() const {
    std::lock_guard lock(m_mutex);
    return m_writes;
}

Stm8Bootloader::Stats Stm8Bootloader::stats() const {
    std::lock_guard lock(m_mutex);
    return m_stats;
}

bool Stm8Bootloader::writable(quint32 address, int length) const {
    const quint32 last = address + quint32(length) - 1;
    auto within = [&](quint32 first, quint32 end) { return address >= first && last <= end; };
    return within(EepromStart, EepromEnd) || within(OptionStart, OptionEnd) ||
           within(FlashStart, m_flashEnd);
}

void Stm8Bootloader::erase(quint32 first, quint32 last) {
    for (quint32 a = first; a <= last; ++a)
        m_memory[a] = 0x00;
    applyStuck();
    ++m_stats.erases;
}

void Stm8Bootloader::answer(QList<SimReply>& out, quint8 byte, int delayUs) {
    if (byte == Nack)
        ++m_stats.nacks;
    ++m_answersAfterSync;
    if (m_mute || m_answersAfterSync == m_dropAnswer)
        return;
    out.append(SimReply{QByteArray(1, char(byte)), delayUs});
    ++m_stats.replyBytes;
    m_stats.modelledUs += delayUs;
}

QList<SimReply> Stm8Bootloader::onHostBytes(const QByteArray& bytes) {
    return onHostBytesAt(bytes, SensorBaud);
}

int Stm8Bootloader::baud() const {
    std::lock_guard lock(m_mutex);
    return m_baud;
}

QList<SimReply> Stm8Bootloader::onHostBytesAt(const QByteArray& bytes, int baud) {
    QList<SimReply> out;
    std::function<void()> onGo;
    {
        std::lock_guard lock(m_mutex);
        if (m_phase == Phase::Off)
            return out;
        if (m_phase == Phase::Unsynced)
            m_baud = baud; // the rate of the sync byte it takes
        else if (baud != m_baud)
            return out; // garbage at the rate it measured
        for (char c : bytes) {
            const int goBefore = m_stats.goCommands;
            handle(quint8(c), out);
            if (m_stats.goCommands != goBefore)
                onGo = m_onGo;
            if (m_phase == Phase::Off)
                break;
        }
    }
    if (onGo)
        onGo();
    return out;
}

void Stm8Bootloader::handle(quint8 byte, QList<SimReply>& out) {
    ++m_stats.hostBytes;
    switch (m_phase) {
    case Phase::Off:
        return;
    case Phase::Unsynced:
        if (byte != Sync)
            return;
        if (++m_syncSeen < m_syncFrom)
            return;
        m_phase = Phase::Command;
        out.append(SimReply{QByteArray(1, char(Ack)), m_timing.turnaroundUs});
        ++m_stats.replyBytes;
        m_stats.modelledUs += m_timing.turnaroundUs;
        return;
    case Phase::Command:
        m_command = byte;
        m_phase = Phase::Complement;
        return;
    case Phase::Complement:
        if (quint8(m_command ^ byte) != 0xFF) {
            m_phase = Phase::Command;
            answer(out, Nack, m_timing.turnaroundUs);
            return;
        }
        switch (m_command) {
        case 0x11:
            if (m_readsSeen++ == m_refuseRead) {
                m_phase = Phase::Command;
                answer(out, Nack, m_timing.turnaroundUs);
                return;
            }
            m_phase = Phase::ReadAddress;
            m_collect.clear();
            answer(out, Ack, m_timing.turnaroundUs);
            return;
        case 0x31:
            m_phase = Phase::WriteAddress;
            m_collect.clear();
            answer(out, Ack, m_timing.turnaroundUs);
            return;
        case 0x43:
            m_phase = Phase::EraseCode;
            answer(out, Ack, m_timing.turnaroundUs);
            return;
        case 0x21:
            // The loader sends no start address; the program starts at once.
            answer(out, Ack, m_timing.turnaroundUs);
            ++m_stats.goCommands;
            m_phase = Phase::Off;
            return;
        default:
            m_phase = Phase::Command;
            answer(out, Nack, m_timing.turnaroundUs);
            return;
        }
    case Phase::WriteAddress:
        return takeAddressByte(byte, Phase::WriteData, out,
                               [this] { return writable(m_address, 1); });
    case Phase::WriteData: {
        m_collect.append(char(byte));
        const int length = quint8(m_collect.at(0)) + 1;
        if (m_collect.size() < length + 2)
            return;
        const QByteArray data = m_collect.mid(1, length);
        const bool checkOk = xorOf(m_collect, length + 1) == byte;
        m_collect.clear();
        m_phase = Phase::Command;
        bool refused = !checkOk || length > MaxWrite || !writable(m_address, length);
        if (length == MaxWrite && m_blocksSeen++ == m_nackBlock)
            refused = true;
        if (refused) {
            answer(out, Nack, m_timing.turnaroundUs);
            return;
        }
        for (int i = 0; i < length; ++i)
            m_memory[m_address + i] = quint8(data.at(i));
        applyStuck();
        m_writes.append(Write{m_address, data});
        ++m_stats.writes;
        answer(out, Ack, m_timing.programUs);
        return;
    }
    case Phase::ReadAddress:
        return takeAddressByte(byte, Phase::ReadCount, out,
                               [this] { return m_address < m_memory.size(); });
    case Phase::ReadCount: {
        m_collect.append(char(byte));
        if (m_collect.size() < 2)
            return;
        const quint8 n = quint8(m_collect.at(0));
        m_collect.clear();
        m_phase = Phase::Command;
        const qint64 length = qint64(n) + 1;
        if (quint8(n ^ byte) != 0xFF || qint64(m_address) + length > qint64(m_memory.size())) {
            answer(out, Nack, m_timing.turnaroundUs);
            return;
        }
        // The acknowledge, then the bytes right behind it.
        const int before = int(out.size());
        answer(out, Ack, m_timing.turnaroundUs);
        if (out.size() > before) {
            for (qint64 i = 0; i < length; ++i)
                out.back().bytes.append(char(m_memory[m_address + i]));
            m_stats.replyBytes += length;
        }
        ++m_stats.reads;
        return;
    }
    case Phase::EraseCode:
        m_eraseCode = byte;
        m_phase = Phase::EraseComplement;
        return;
    case Phase::EraseComplement:
        m_phase = Phase::Command;
        if (quint8(m_eraseCode ^ byte) != 0xFF || (m_eraseCode != 0xFF && m_eraseCode != 0xEE)) {
            answer(out, Nack, m_timing.turnaroundUs);
            return;
        }
        // 0xFF: the whole program memory; 0xEE: the data EEPROM.
        if (m_eraseCode == 0xFF)
            erase(FlashStart, m_flashEnd);
        else
            erase(EepromStart, EepromEnd);
        answer(out, Ack, m_timing.eraseUs);
        return;
    }
}
