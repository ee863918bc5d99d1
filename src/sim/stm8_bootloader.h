#pragma once
// The STM8 ROM bootloader of the sensor's microcontroller, as the firmware
// loader meets it on the line: it waits for the sync byte 0x7F and answers
// 0x79, then takes commands (each byte followed by its complement): Read
// Memory 0x11, Write Memory 0x31, Erase 0x43 and Go 0x21. Every complement and
// XOR check byte is checked; a bad one is answered 0x1F. Once synchronised it
// takes a further sync byte for a command byte, so a second 0x7F (a bad
// complement) is answered 0x1F. What is written lands in a memory map
// of data EEPROM (0x4000..0x47FF), option bytes (0x4800..0x487F) and program
// memory (0x8000..0xFFFF). Erased memory reads 0x00, as on the STM8.
//
// Time is modelled through the reply delays: a short turnaround for command
// bytes, a programming time per write and an erase time.

#include "sim/sim_device.h"

#include <QByteArray>
#include <QList>
#include <functional>
#include <mutex>
#include <vector>

class Stm8Bootloader : public SimDevice {
public:
    static constexpr quint8 Sync = 0x7F;
    static constexpr quint8 Ack = 0x79;
    static constexpr quint8 Nack = 0x1F;
    static constexpr quint32 EepromStart = 0x4000;
    static constexpr quint32 EepromEnd = 0x47FF;
    static constexpr quint32 OptionStart = 0x4800;
    static constexpr quint32 OptionEnd = 0x487F;
    static constexpr quint32 FlashStart = 0x8000;
    static constexpr int MaxWrite = 128;

    struct Timing {
        int turnaroundUs = 50; // answer to a sync or command byte
        int programUs = 6000;  // one Write Memory, up to 128 bytes
        int eraseUs = 30000;   // one erase (program memory or data EEPROM)
    };

    struct Stats {
        qint64 hostBytes = 0;  // bytes received while in bootloader mode or waiting for sync
        qint64 replyBytes = 0; // bytes answered
        qint64 modelledUs = 0; // sum of the delays of the answers sent
        int writes = 0;        // accepted Write Memory commands
        int erases = 0;
        int nacks = 0;
        int goCommands = 0;
        int reads = 0; // Read Memory commands answered with the bytes
    };

    struct Write {
        quint32 address;
        QByteArray bytes;
    };

    Stm8Bootloader();

    QList<SimReply> onHostBytes(const QByteArray& bytes) override;
    // The ROM loader measures its rate on the sync byte it accepts and keeps
    // it until the next power-up; bytes at another rate are garbage to it.
    QList<SimReply> onHostBytesAt(const QByteArray& bytes, int baud) override;
    // The rate learned at the last synchronisation (19200 before any).
    int baud() const;

    // As if the sensor were powered up with its loader running: waiting for
    // the sync byte, with the memory kept.
    void powerUp();
    // Off the line: every byte is ignored (the sensor runs its program).
    void powerDown();
    bool isActive() const;
    bool isSynchronised() const;

    void setTiming(const Timing& timing);
    // Last address of program memory (0xFFFF by default).
    void setFlashEnd(quint32 last);

    // Called (with the simulator's line locked) when Go is received; the
    // loader has then left bootloader mode.
    void setOnGo(std::function<void()> callback);

    // Faults.
    // The sync bytes before the n-th one go unanswered (n counted from 1
    // since powerUp): the sensor is still switched off.
    void answerSyncFrom(int n);
    // The data of the k-th 128-byte block written (counted from 0) is refused.
    void nackBlock(int k);
    // The m-th answer after the sync answer (counted from 1) is lost; the
    // command itself is carried out.
    void dropAnswer(int m);
    // After the sync answer nothing is answered at all.
    void muteAfterSync(bool mute);
    // The cell at the address keeps this value whatever is written or erased
    // there (a worn cell): what is read back differs from what was written.
    void stuckByte(quint32 address, quint8 value);
    // The k-th Read Memory command (counted from 0) is refused.
    void refuseRead(int k);

    // The memory map.
    void setMemory(quint32 address, const QByteArray& bytes);
    QByteArray memory(quint32 address, int length) const;
    QList<Write> writes() const;
    Stats stats() const;

private:
    enum class Phase {
        Unsynced,
        Command,
        Complement,
        WriteAddress,
        WriteData,
        ReadAddress,
        ReadCount,
        EraseCode,
        EraseComplement,
        Off
    };

    void answer(QList<SimReply>& out, quint8 byte, int delayUs);
    void handle(quint8 byte, QList<SimReply>& out);
    bool writable(quint32 address, int length) const;
    quint32 collectedAddress() const;
    // One byte of an address (4 bytes and their XOR); once all are there the
    // command goes on to `next` when the check and `valid` agree, else NACK.
    void takeAddressByte(quint8 byte, Phase next, QList<SimReply>& out,
                         const std::function<bool()>& valid);
    void applyStuck();
    void erase(quint32 first, quint32 last);

    mutable std::mutex m_mutex;
    Timing m_timing;
    quint32 m_flashEnd = 0xFFFF;
    std::vector<quint8> m_memory;
    Phase m_phase = Phase::Unsynced;
    quint8 m_command = 0;
    quint8 m_eraseCode = 0;
    QByteArray m_collect;
    quint32 m_address = 0;
    int m_syncSeen = 0;
    int m_baud = SensorBaud;
    int m_answersAfterSync = 0;
    int m_blocksSeen = 0;
    int m_syncFrom = 1;
    int m_nackBlock = -1;
    int m_dropAnswer = 0;
    bool m_mute = false;
    int m_readsSeen = 0;
    int m_refuseRead = -1;
    QList<QPair<quint32, quint8>> m_stuck;
    std::function<void()> m_onGo;
    QList<Write> m_writes;
    Stats m_stats;
};
