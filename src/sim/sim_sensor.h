#pragma once
// A simulated ЛВ-300 sensor on the RS-485 line.
//
// The sensor takes every burst of bytes the host writes as one frame:
// 0x31, address, command, [write-access code], data, CRC-8. It answers
// 0x3E, address, code, data, CRC-8 when the frame is intact, addressed to it
// and well formed; anything else gets silence. The network poll 0x31 0xFF CRC
// is answered with the bare address byte, after a delay that grows with the
// address, so that several sensors answer one after another in address order.
//
// Byte orders: request numbers most significant byte first; data and
// identity answers least significant first; table values high byte first.
//
// Firmware rules (the numbers are fields of SimSensorConfig):
//  - firmware above 174: every write command carries the write-access code
//    right after the command byte; missing or wrong, the sensor stays silent;
//  - firmware above 175: the set-mode request carries the smoothing byte
//    after the mode byte; above 174 the set-mode answer reports it;
//  - firmware below 170: the data answer has 21 bytes (no mode, lamp and
//    smoothing bytes) instead of 24.
//
// The tank's raw level wanders slowly with a little noise, from a seeded
// generator of its own, so runs repeat exactly; holdLevel freezes it.
//
// The level N of the data answer is the raw value's place between the empty
// and full values, scaled to 1024 (to 4096 with mode bit 7, to 256 on
// firmware 172), 0 below empty and the whole range above full; with mode
// bit 6 it is turned into litres through the table, with bit 5 into percent.
// In frequency mode the frequency is N + 300 Hz.
//
// Thread-safe: every method locks the sensor.

#include "sensor/requests.h"
#include "sim/sim_device.h"
#include "sim/stm8_bootloader.h"

#include <QByteArray>
#include <QList>
#include <array>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>

namespace sim {
// The write-access code the sensor expects: the configurator's own.
inline constexpr std::array<quint8, 3> WriteAccessCode = sensor::WriteAccessCode;

constexpr int TablePoints = 20;
} // namespace sim

struct SimSensorConfig {
    quint8 address = 1;
    quint32 serial = 100001;
    quint8 firmware = 176; // 176 stands for version 1.7.6
    quint8 firmwarePrefix = 0;

    quint32 emptyRaw = 50000;
    quint32 fullRaw = 95000;
    quint32 tankRaw = 72000; // the tank's level (raw units); the reading wanders around it
    quint16 coefficient = 703;
    qint8 temperature = 21;
    quint8 mode = 0;
    quint8 lampPercent = 10;
    quint8 smoothing = 0;
    quint32 password = 0; // 0: no password set

    quint32 seed = 1;
    int noiseAmplitude = 4; // raw units, each way
    int driftStep = 3;      // largest move of the level per data answer
    // The fuel level moves by this much per data answer, turning back at the
    // empty and full values the sensor was built with (0: it stands still).
    int slopePerAnswer = 0;

    int answerDelayUs = 2000; // from the end of the request to the answer
    int pollSlotUs = 600;     // network poll: answer after 1 ms + address slots
    int shortDataBelowFirmware = 170;
    int writeAccessAboveFirmware = 174;
    int smoothingRequestAboveFirmware = 175;
    int smoothingAnswerAboveFirmware = 174;
    bool shortIdentity = false; // old sensors answer the identity request with 8 bytes
};

class SimSensor : public SimDevice {
public:
    // Command codes the sensor knows.
    enum Code : quint8 {
        Data = 0xF0,
        Identity = 0xFC,
        SetFullToCurrent = 0xF5,
        SetEmptyToCurrent = 0xFA,
        ShiftFull = 0xF4,
        ShiftEmpty = 0xF9,
        SetFullDirect = 0xEC,
        SetEmptyDirect = 0xED,
        SetMode = 0xF2,
        SetAddress = 0xFB,
        SetLamp = 0xEE,
        EnterPassword = 0xF8,
        ChangePassword = 0xF7,
        ReadTable = 0xEF,
        WriteTable = 0xF1,
        PasswordRefused = 0xFD,
        FrequencyMode = 0xFE,
    };

    struct Table {
        std::array<quint16, sim::TablePoints> readings{};
        std::array<quint16, sim::TablePoints> litres{};
        bool operator==(const Table&) const = default;
    };
    // Point 19 = 4096, point i = 200 * (i + 1), in both columns.
    static Table initialTable();

    explicit SimSensor(const SimSensorConfig& config = {});

    QList<SimReply> onHostBytes(const QByteArray& bytes) override;
    // The program listens at 19200 baud only; its loader, once started,
    // at the rate it learned from the sync byte.
    QList<SimReply> onHostBytesAt(const QByteArray& bytes, int baud) override;

    // --- State, as the sensor holds it ---
    quint8 address() const;
    quint32 serial() const;
    quint8 firmware() const;
    quint32 emptyRaw() const;
    quint32 fullRaw() const;
    quint16 coefficient() const;
    quint8 mode() const;
    quint8 smoothing() const;
    quint8 lampPercent() const;
    quint32 password() const;
    bool passwordEntered() const;
    qint8 temperature() const;
    Table table() const;
    // The raw value the sensor measures now: what the last data answer
    // reported (the tank's level before the first one). "Set to current"
    // takes this value.
    quint32 currentRaw() const;
    // The level N a data answer with the current raw value reports.
    quint16 levelN() const;
    bool frequencyMode() const;

    void setAddress(quint8 address);
    void setFirmware(quint8 firmware, quint8 prefix = 0);
    void setCalibration(quint32 emptyRaw, quint32 fullRaw);
    void setMode(quint8 mode);
    void setTemperature(qint8 celsius);
    void setPassword(quint32 password);
    void setTable(const Table& table);

    // --- The tank ---
    // Moves the tank's level; the next reading is taken around it.
    void setTankRaw(quint32 raw);
    // Holds the reported raw value constant (no drift, no noise).
    void holdLevel(bool hold);

    // --- Modes and faults ---
    // Answers every addressed request with 0xFE and the output frequency,
    // as a sensor switched to frequency output does until powered off.
    void setFrequencyMode(bool on);
    // Power off and on: forgets the entered password and leaves frequency
    // mode and bootloader mode.
    void powerCycle();
    // Hears nothing and answers nothing.
    void setMuted(bool muted);
    // The next `count` framed answers carry a wrong CRC byte.
    void corruptNextAnswers(int count = 1);
    // The next `count` answers are preceded by these bytes.
    void prefixNextAnswers(const QByteArray& noise, int count = 1);
    // The next `count` framed answers carry this code instead of their own
    // (with a correct CRC).
    void replaceCodeOfNextAnswers(quint8 code, int count = 1);

    // --- Bootloader ---
    // From now on every byte the host writes goes to `loader`, and only the
    // loader answers, until leaveBootloader(). Safe to call from inside the
    // loader's own onHostBytes (for instance on its Go command).
    void enterBootloader(std::shared_ptr<SimDevice> loader);
    void leaveBootloader();
    bool inBootloader() const;
    // A callable for the loader to keep and call (on its Go command) to hand
    // the line back to the sensor. The sensor must outlive the loader.
    std::function<void()> leaveBootloaderCallback();
    // The technician will switch the sensor off and on for a firmware run:
    // from now on a request of sync bytes (0x7F) alone, heard while the
    // sensor runs its program, starts this loader afresh (memory kept) and
    // hands it the line, as the ROM does at power-up. The loader answers from
    // its own answerSyncFrom count, which models how long the power-cycle
    // takes. Its Go hands the line back; the next run starts it again.
    void armBootloader(std::shared_ptr<Stm8Bootloader> loader);

private:
    struct Answer {
        quint8 code;
        QByteArray data;
    };
    using Handler = std::optional<Answer> (SimSensor::*)(const QByteArray& data);
    struct Command {
        bool write;   // carries the write-access code on newer firmware; locked by the password
        int dataSize; // bytes after the code (and the write-access code); -1: see dataSizeFor
        Handler handler;
    };
    static const std::map<quint8, Command>& commands();
    int dataSizeFor(quint8 code, const Command& command) const;

    // Command handlers: data without the write-access code. nullopt: silence.
    std::optional<Answer> data(const QByteArray&);
    std::optional<Answer> identity(const QByteArray&);
    std::optional<Answer> setFullToCurrent(const QByteArray&);
    std::optional<Answer> setEmptyToCurrent(const QByteArray&);
    std::optional<Answer> shiftFull(const QByteArray& d);
    std::optional<Answer> shiftEmpty(const QByteArray& d);
    std::optional<Answer> setFullDirect(const QByteArray& d);
    std::optional<Answer> setEmptyDirect(const QByteArray& d);
    std::optional<Answer> setModeCommand(const QByteArray& d);
    std::optional<Answer> setAddressCommand(const QByteArray& d);
    std::optional<Answer> setLamp(const QByteArray& d);
    std::optional<Answer> enterPassword(const QByteArray& d);
    std::optional<Answer> changePassword(const QByteArray& d);
    std::optional<Answer> readTable(const QByteArray&);
    std::optional<Answer> writeTable(const QByteArray& d);

    QList<SimReply> frame(quint8 address, const Answer& answer, int delayUs);
    QByteArray applyNoise(QByteArray bytes);
    quint32 sampleRaw(); // moves the tank one step and returns the reading
    quint32 nextRandom();
    quint16 levelFor(quint32 raw) const;
    quint16 frequencyFor(quint32 raw) const;

    mutable std::recursive_mutex m_mutex;
    SimSensorConfig m_c;
    Table m_table;
    quint32 m_rng;
    qint64 m_tank;       // where the fuel stands, raw units
    qint64 m_wander = 0; // the reading's slow wandering around it
    qint64 m_tankLow, m_tankHigh;
    int m_direction = 1; // of the level's slope
    quint32 m_lastRaw;   // what the last data answer reported
    bool m_hold = false;
    bool m_passwordEntered = false;
    bool m_frequency = false;
    bool m_muted = false;
    int m_corruptCount = 0;
    QByteArray m_noise;
    int m_noiseCount = 0;
    quint8 m_replacedCode = 0;
    int m_replaceCount = 0;
    std::shared_ptr<SimDevice> m_loader;
    std::shared_ptr<Stm8Bootloader> m_armedLoader;
};
