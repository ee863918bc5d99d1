#include "sim/sim_sensor.h"

#include "link/frame.h"

#include <QtMath>
#include <algorithm>

namespace {

constexpr quint8 RequestPrefix = 0x31;
constexpr quint8 AnswerPrefix = 0x3E;
constexpr quint8 PollAddress = 0xFF;

quint8 byteAt(const QByteArray& b, int i) {
    return static_cast<quint8>(b.at(i));
}

quint32 u32HighFirst(const QByteArray& d) {
    return (quint32(byteAt(d, 0)) << 24) | (quint32(byteAt(d, 1)) << 16) |
           (quint32(byteAt(d, 2)) << 8) | quint32(byteAt(d, 3));
}

qint16 s16HighFirst(const QByteArray& d) {
    return static_cast<qint16>((quint16(byteAt(d, 0)) << 8) | byteAt(d, 1));
}

void appendLe16(QByteArray& out, quint16 v) {
    out.append(char(v & 0xFF));
    out.append(char(v >> 8));
}

void appendLe32(QByteArray& out, quint32 v) {
    for (int i = 0; i < 4; ++i)
        out.append(char((v >> (8 * i)) & 0xFF));
}

quint32 shifted(quint32 value, qint16 shift) {
    return quint32(std::clamp<qint64>(qint64(value) + shift, 0, 0xFFFFFFFFLL));
}

} // namespace

SimSensor::Table SimSensor::initialTable() {
    Table t;
    for (int i = 0; i < sim::TablePoints; ++i) {
        const quint16 v = i == sim::TablePoints - 1 ? 4096 : quint16(200 * (i + 1));
        t.readings[i] = v;
        t.litres[i] = v;
    }
    return t;
}

SimSensor::SimSensor(const SimSensorConfig& config)
    : m_c(config), m_table(initialTable()), m_rng(config.seed ? config.seed : 1),
      m_tank(config.tankRaw), m_tankLow(qMin(config.emptyRaw, config.fullRaw)),
      m_tankHigh(qMax(config.emptyRaw, config.fullRaw)), m_direction(-1),
      m_lastRaw(config.tankRaw) {}

// The command catalogue: code -> (write command?, data bytes, handler).
// Adding a command is one line here and one handler.
const std::map<quint8, SimSensor::Command>& SimSensor::commands() {
    static const std::map<quint8, Command> table{
        {Data, {false, 0, &SimSensor::data}},
        {Identity, {false, 0, &SimSensor::identity}},
        {ReadTable, {false, 0, &SimSensor::readTable}},
        {SetFullToCurrent, {true, 0, &SimSensor::setFullToCurrent}},
        {SetEmptyToCurrent, {true, 0, &SimSensor::setEmptyToCurrent}},
        {ShiftFull, {true, 2, &SimSensor::shiftFull}},
        {ShiftEmpty, {true, 2, &SimSensor::shiftEmpty}},
        {SetFullDirect, {true, 4, &SimSensor::setFullDirect}},
        {SetEmptyDirect, {true, 4, &SimSensor::setEmptyDirect}},
        {SetMode, {true, -1, &SimSensor::setModeCommand}},
        {SetAddress, {true, 1, &SimSensor::setAddressCommand}},
        {SetLamp, {true, 1, &SimSensor::setLamp}},
        {EnterPassword, {true, 4, &SimSensor::enterPassword}},
        {ChangePassword, {true, 4, &SimSensor::changePassword}},
        {WriteTable, {true, 4 * sim::TablePoints, &SimSensor::writeTable}},
    };
    return table;
}

int SimSensor::dataSizeFor(quint8 code, const Command& command) const {
    if (code == SetMode)
        return m_c.firmware > m_c.smoothingRequestAboveFirmware ? 2 : 1;
    return command.dataSize;
}

QList<SimReply> SimSensor::onHostBytes(const QByteArray& bytes) {
    return onHostBytesAt(bytes, SensorBaud);
}

QList<SimReply> SimSensor::onHostBytesAt(const QByteArray& bytes, int baud) {
    std::lock_guard lock(m_mutex);
    if (m_loader) {
        // Keep the loader alive even if it hands the line back meanwhile.
        const std::shared_ptr<SimDevice> loader = m_loader;
        return loader->onHostBytesAt(bytes, baud);
    }
    if (m_armedLoader && !bytes.isEmpty() &&
        bytes.count(char(Stm8Bootloader::Sync)) == bytes.size()) {
        m_armedLoader->powerUp();
        m_loader = m_armedLoader;
        const std::shared_ptr<SimDevice> loader = m_loader;
        return loader->onHostBytesAt(bytes, baud);
    }
    if (baud != SensorBaud) // garbage to the sensor's program
        return {};
    if (m_muted || bytes.size() < 3 || byteAt(bytes, 0) != RequestPrefix ||
        !frame::answerIntact(bytes))
        return {};

    if (byteAt(bytes, 1) == PollAddress) {
        if (bytes.size() != 3)
            return {};
        const int delay = 1000 + int(m_c.address) * m_c.pollSlotUs;
        return {{applyNoise(QByteArray(1, char(m_c.address))), delay}};
    }
    if (bytes.size() < 4 || byteAt(bytes, 1) != m_c.address)
        return {};

    const quint8 address = m_c.address;
    const quint8 code = byteAt(bytes, 2);
    QByteArray payload = bytes.mid(3, bytes.size() - 4);

    if (m_frequency) {
        const quint16 f = frequencyFor(sampleRaw());
        QByteArray hz;
        hz.append(char(f >> 8));
        hz.append(char(f & 0xFF));
        return frame(address, {FrequencyMode, hz}, m_c.answerDelayUs);
    }

    const auto found = commands().find(code);
    if (found == commands().end())
        return {};
    const Command& command = found->second;
    if (command.write && m_c.firmware > m_c.writeAccessAboveFirmware) {
        const QByteArray expected(reinterpret_cast<const char*>(sim::WriteAccessCode.data()),
                                  int(sim::WriteAccessCode.size()));
        if (!payload.startsWith(expected))
            return {};
        payload.remove(0, expected.size());
    }
    if (payload.size() != dataSizeFor(code, command))
        return {};
    if (command.write && code != EnterPassword && m_c.password != 0 && !m_passwordEntered)
        return frame(address, {PasswordRefused, {}}, m_c.answerDelayUs);

    const std::optional<Answer> answer = (this->*command.handler)(payload);
    if (!answer)
        return {};
    return frame(address, *answer, m_c.answerDelayUs);
}

QList<SimReply> SimSensor::frame(quint8 address, const Answer& answer, int delayUs) {
    QByteArray out;
    out.append(char(AnswerPrefix));
    out.append(char(address));
    quint8 code = answer.code;
    if (m_replaceCount > 0) {
        --m_replaceCount;
        code = m_replacedCode;
    }
    out.append(char(code));
    out.append(answer.data);
    quint8 crc = frame::crcOf(out);
    if (m_corruptCount > 0) {
        --m_corruptCount;
        crc ^= 0x5A;
    }
    out.append(char(crc));
    return {{applyNoise(out), delayUs}};
}

QByteArray SimSensor::applyNoise(QByteArray bytes) {
    if (m_noiseCount > 0) {
        --m_noiseCount;
        bytes.prepend(m_noise);
    }
    return bytes;
}

quint32 SimSensor::nextRandom() {
    // xorshift32: the same sequence on every platform for a given seed.
    m_rng ^= m_rng << 13;
    m_rng ^= m_rng >> 17;
    m_rng ^= m_rng << 5;
    return m_rng;
}

quint32 SimSensor::sampleRaw() {
    if (m_hold) {
        m_lastRaw = quint32(std::clamp<qint64>(m_tank, 0, 0xFFFFFFFFLL));
        return m_lastRaw;
    }
    if (m_c.slopePerAnswer != 0) {
        qint64 next = m_tank + m_direction * m_c.slopePerAnswer;
        if (next < m_tankLow || next > m_tankHigh) {
            m_direction = -m_direction;
            next = m_tank + m_direction * m_c.slopePerAnswer;
        }
        m_tank = next;
    }
    // The reading wanders a little and is pulled back towards where the fuel
    // stands; noise comes on top.
    if (m_c.driftStep > 0) {
        const int span = 2 * m_c.driftStep + 1;
        m_wander += int(nextRandom() % quint32(span)) - m_c.driftStep;
        m_wander -= m_wander / 16;
    }
    qint64 reading = m_tank + m_wander;
    if (m_c.noiseAmplitude > 0) {
        const int span = 2 * m_c.noiseAmplitude + 1;
        reading += int(nextRandom() % quint32(span)) - m_c.noiseAmplitude;
    }
    m_lastRaw = quint32(std::clamp<qint64>(reading, 0, 0xFFFFFFFFLL));
    return m_lastRaw;
}

quint16 SimSensor::levelFor(quint32 raw) const {
    const int range = (m_c.mode & 0x80) ? (m_c.firmware == 172 ? 256 : 4096) : 1024;
    double fraction = 0;
    if (m_c.fullRaw != m_c.emptyRaw)
        fraction = (double(raw) - m_c.emptyRaw) / (double(m_c.fullRaw) - m_c.emptyRaw);
    fraction = std::clamp(fraction, 0.0, 1.0);
    const double level = fraction * range;

    if (m_c.mode & 0x40) {
        // Litres: follow the calibration table from (0, 0) through its points.
        double x0 = 0, y0 = 0;
        for (int i = 0; i < sim::TablePoints; ++i) {
            const double x1 = m_table.readings[i], y1 = m_table.litres[i];
            if (level <= x1) {
                const double y = x1 > x0 ? y0 + (y1 - y0) * (level - x0) / (x1 - x0) : y1;
                return quint16(qRound(y));
            }
            x0 = x1;
            y0 = y1;
        }
        return quint16(y0);
    }
    if (m_c.mode & 0x20)
        return quint16(qRound(fraction * 100));
    return quint16(qRound(level));
}

quint16 SimSensor::frequencyFor(quint32 raw) const {
    return quint16(levelFor(raw) + 300);
}

// --- Command handlers ---

std::optional<SimSensor::Answer> SimSensor::data(const QByteArray&) {
    const quint32 raw = sampleRaw();
    QByteArray d;
    d.append(char(m_c.temperature));
    appendLe16(d, levelFor(raw));
    appendLe32(d, raw);
    appendLe32(d, m_c.emptyRaw);
    appendLe32(d, m_c.fullRaw);
    appendLe16(d, m_c.coefficient);
    if (m_c.firmware >= m_c.shortDataBelowFirmware) {
        d.append(char(m_c.mode));
        d.append(char(m_c.lampPercent));
        d.append(char(m_c.smoothing));
    }
    return Answer{Data, d};
}

std::optional<SimSensor::Answer> SimSensor::identity(const QByteArray&) {
    QByteArray d;
    appendLe32(d, m_c.serial);
    if (!m_c.shortIdentity) {
        d.append(char(m_c.firmware));
        d.append(char(m_c.firmwarePrefix));
    }
    return Answer{Identity, d};
}

std::optional<SimSensor::Answer> SimSensor::setFullToCurrent(const QByteArray&) {
    m_c.fullRaw = m_lastRaw;
    return Answer{SetFullToCurrent, {}};
}

std::optional<SimSensor::Answer> SimSensor::setEmptyToCurrent(const QByteArray&) {
    m_c.emptyRaw = m_lastRaw;
    return Answer{SetEmptyToCurrent, {}};
}

std::optional<SimSensor::Answer> SimSensor::shiftFull(const QByteArray& d) {
    m_c.fullRaw = shifted(m_c.fullRaw, s16HighFirst(d));
    return Answer{ShiftFull, {}};
}

std::optional<SimSensor::Answer> SimSensor::shiftEmpty(const QByteArray& d) {
    m_c.emptyRaw = shifted(m_c.emptyRaw, s16HighFirst(d));
    return Answer{ShiftEmpty, {}};
}

std::optional<SimSensor::Answer> SimSensor::setFullDirect(const QByteArray& d) {
    m_c.fullRaw = u32HighFirst(d);
    return Answer{SetFullDirect, {}};
}

std::optional<SimSensor::Answer> SimSensor::setEmptyDirect(const QByteArray& d) {
    m_c.emptyRaw = u32HighFirst(d);
    return Answer{SetEmptyDirect, {}};
}

std::optional<SimSensor::Answer> SimSensor::setModeCommand(const QByteArray& d) {
    m_c.mode = byteAt(d, 0);
    if (d.size() > 1)
        m_c.smoothing = byteAt(d, 1);
    QByteArray out(1, char(m_c.mode));
    if (m_c.firmware > m_c.smoothingAnswerAboveFirmware)
        out.append(char(m_c.smoothing));
    return Answer{SetMode, out};
}

std::optional<SimSensor::Answer> SimSensor::setAddressCommand(const QByteArray& d) {
    // The answer still leaves from the old address (taken before the call).
    m_c.address = byteAt(d, 0);
    return Answer{SetAddress, {}};
}

std::optional<SimSensor::Answer> SimSensor::setLamp(const QByteArray& d) {
    m_c.lampPercent = byteAt(d, 0);
    return Answer{SetLamp, QByteArray(1, char(m_c.lampPercent))};
}

std::optional<SimSensor::Answer> SimSensor::enterPassword(const QByteArray& d) {
    if (u32HighFirst(d) != m_c.password)
        return Answer{PasswordRefused, {}};
    m_passwordEntered = true;
    return Answer{EnterPassword, {}};
}

std::optional<SimSensor::Answer> SimSensor::changePassword(const QByteArray& d) {
    m_c.password = u32HighFirst(d);
    m_passwordEntered = true; // whoever set it knows it
    return Answer{ChangePassword, {}};
}

std::optional<SimSensor::Answer> SimSensor::readTable(const QByteArray&) {
    QByteArray d;
    for (const auto* column : {&m_table.readings, &m_table.litres}) {
        for (quint16 v : *column) {
            d.append(char(v >> 8));
            d.append(char(v & 0xFF));
        }
    }
    return Answer{ReadTable, d};
}

std::optional<SimSensor::Answer> SimSensor::writeTable(const QByteArray& d) {
    Table t;
    int at = 0;
    for (auto* column : {&t.readings, &t.litres}) {
        for (quint16& v : *column) {
            v = quint16((quint16(byteAt(d, at)) << 8) | byteAt(d, at + 1));
            at += 2;
        }
    }
    m_table = t;
    return Answer{WriteTable, {}};
}

// --- State ---

quint8 SimSensor::address() const {
    std::lock_guard lock(m_mutex);
    return m_c.address;
}
quint32 SimSensor::serial() const {
    std::lock_guard lock(m_mutex);
    return m_c.serial;
}
quint8 SimSensor::firmware() const {
    std::lock_guard lock(m_mutex);
    return m_c.firmware;
}
quint32 SimSensor::emptyRaw() const {
    std::lock_guard lock(m_mutex);
    return m_c.emptyRaw;
}
quint32 SimSensor::fullRaw() const {
    std::lock_guard lock(m_mutex);
    return m_c.fullRaw;
}
quint16 SimSensor::coefficient() const {
    std::lock_guard lock(m_mutex);
    return m_c.coefficient;
}
quint8 SimSensor::mode() const {
    std::lock_guard lock(m_mutex);
    return m_c.mode;
}
quint8 SimSensor::smoothing() const {
    std::lock_guard lock(m_mutex);
    return m_c.smoothing;
}
quint8 SimSensor::lampPercent() const {
    std::lock_guard lock(m_mutex);
    return m_c.lampPercent;
}
quint32 SimSensor::password() const {
    std::lock_guard lock(m_mutex);
    return m_c.password;
}
bool SimSensor::passwordEntered() const {
    std::lock_guard lock(m_mutex);
    return m_passwordEntered;
}
qint8 SimSensor::temperature() const {
    std::lock_guard lock(m_mutex);
    return m_c.temperature;
}
SimSensor::Table SimSensor::table() const {
    std::lock_guard lock(m_mutex);
    return m_table;
}
quint32 SimSensor::currentRaw() const {
    std::lock_guard lock(m_mutex);
    return m_lastRaw;
}
quint16 SimSensor::levelN() const {
    std::lock_guard lock(m_mutex);
    return levelFor(m_lastRaw);
}
bool SimSensor::frequencyMode() const {
    std::lock_guard lock(m_mutex);
    return m_frequency;
}

void SimSensor::setAddress(quint8 address) {
    std::lock_guard lock(m_mutex);
    m_c.address = address;
}
void SimSensor::setFirmware(quint8 firmware, quint8 prefix) {
    std::lock_guard lock(m_mutex);
    m_c.firmware = firmware;
    m_c.firmwarePrefix = prefix;
}
void SimSensor::setCalibration(quint32 emptyRaw, quint32 fullRaw) {
    std::lock_guard lock(m_mutex);
    m_c.emptyRaw = emptyRaw;
    m_c.fullRaw = fullRaw;
}
void SimSensor::setMode(quint8 mode) {
    std::lock_guard lock(m_mutex);
    m_c.mode = mode;
}
void SimSensor::setTemperature(qint8 celsius) {
    std::lock_guard lock(m_mutex);
    m_c.temperature = celsius;
}
void SimSensor::setPassword(quint32 password) {
    std::lock_guard lock(m_mutex);
    m_c.password = password;
    m_passwordEntered = false;
}
void SimSensor::setTable(const Table& table) {
    std::lock_guard lock(m_mutex);
    m_table = table;
}
void SimSensor::setTankRaw(quint32 raw) {
    std::lock_guard lock(m_mutex);
    m_tank = raw;
    m_wander = 0;
    m_lastRaw = raw;
}
void SimSensor::holdLevel(bool hold) {
    std::lock_guard lock(m_mutex);
    m_hold = hold;
}
void SimSensor::setFrequencyMode(bool on) {
    std::lock_guard lock(m_mutex);
    m_frequency = on;
}
void SimSensor::powerCycle() {
    std::lock_guard lock(m_mutex);
    m_passwordEntered = false;
    m_frequency = false;
    m_loader.reset();
}
void SimSensor::setMuted(bool muted) {
    std::lock_guard lock(m_mutex);
    m_muted = muted;
}
void SimSensor::corruptNextAnswers(int count) {
    std::lock_guard lock(m_mutex);
    m_corruptCount = qMax(0, count);
}
void SimSensor::prefixNextAnswers(const QByteArray& noise, int count) {
    std::lock_guard lock(m_mutex);
    m_noise = noise;
    m_noiseCount = qMax(0, count);
}
void SimSensor::replaceCodeOfNextAnswers(quint8 code, int count) {
    std::lock_guard lock(m_mutex);
    m_replacedCode = code;
    m_replaceCount = qMax(0, count);
}
void SimSensor::enterBootloader(std::shared_ptr<SimDevice> loader) {
    std::lock_guard lock(m_mutex);
    m_loader = std::move(loader);
}
void SimSensor::leaveBootloader() {
    std::lock_guard lock(m_mutex);
    m_loader.reset();
}
bool SimSensor::inBootloader() const {
    std::lock_guard lock(m_mutex);
    return m_loader != nullptr;
}
void SimSensor::armBootloader(std::shared_ptr<Stm8Bootloader> loader) {
    std::lock_guard lock(m_mutex);
    m_armedLoader = std::move(loader);
}
std::function<void()> SimSensor::leaveBootloaderCallback() {
    return [this] { leaveBootloader(); };
}
