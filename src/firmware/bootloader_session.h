#pragma once
// The firmware update of an LV300 or LV200 as one sequential routine: the
// recipe (sync, erase, option bytes, the image's blocks, the check, Go) over
// the STM8 bootloader's protocol (firmware/stm8_link.h), reported through a
// sink. It blocks while it waits for the bootloader, so it runs in a worker
// thread (FirmwareRunner) or, in tests, straight on a fake port.

#include "firmware/cri_image.h"
#include "firmware/stm8_link.h"
#include "link/port.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <atomic>
#include <optional>

namespace firmware {

// The two sensor types of the "Тип датчика" frame.
enum class SensorType { LV300, LV200 };

struct SensorLayout {
    int programBlock;       // index of the first program block in the image (N)
    quint32 programAddress; // where that block goes (A = 0x4000 + 128 * N)
    int eepromBlocks;       // data-EEPROM blocks at the start of the image (E)
};
SensorLayout layoutOf(SensorType type);

inline constexpr int DefaultBaud = 19200;
// The rates a run can be made at.
inline constexpr int FlashBauds[] = {19200, 57600, 115200};

struct SessionParams {
    SensorType type = SensorType::LV300;
    bool resetCalibrations = false; // "Сброс калибровок": also write the data EEPROM
    // The exchange engine's count of consecutive failed writes when the run starts.
    int writeFailures = 0;
    // "Проверить запись": read every written block back before Go.
    bool verify = false;
    // "Скорость:": the rate of the bootloader session (the loader measures
    // it on the sync byte); the sensors' program always speaks 19200.
    int baud = DefaultBaud;
};

enum class Outcome {
    Done,       // every block written (and read back the same when asked), Go sent:
                // "-----Готово------" (messages may have been shown)
    Failed,     // a block not written, a damaged image or a failed check: no Go, the
                // sensor waits in its bootloader for the next run; "-----Ошибка------"
    Cancelled,  // the user stopped it; the port is open and usable
    PortFailed, // writes kept failing: the port must be closed (engine not restarted)
    PortLost,   // the adapter went away: the port must be closed as the polling does
};

// The first block the check found different from the image (or could not read).
struct CheckFault {
    int block = 0; // counted from 1 among the blocks written
    quint32 address = 0;
};

struct SessionResult {
    Outcome outcome = Outcome::Done;
    int writeFailures = 0; // consecutive failed writes at the end, for the engine
    int blocksWritten = 0;
    int blocksToWrite = 0;
    // A block's Write Memory went out: the sensor's program is no longer whole.
    bool blockSent = false;
    std::optional<CheckFault> checkFault;
    QString log;                // the final text of the loader's log
    qint64 echoBytes = 0;       // the port's own bytes the adapter handed back
    bool restoreFailed = false; // the port would not go back to 19200 baud
    // The loader answered and the run did not end with Go: the sensor waits
    // in its bootloader, where a poll of the sensors is a loader command
    // (0x31 is Write Memory; a poll to address 206 passes its check).
    bool leftInLoader = false;
};

// The boxes the window shows once the run has ended, in order (the loss of
// the port is reported by the window itself, with the port's name).
QStringList closingMessages(const SessionResult& result);

class SessionSink {
public:
    virtual ~SessionSink() = default;
    // The whole log text after each change; caretToEnd after block lines and
    // at the end, so that the last line is visible.
    virtual void logText(const QString& text, bool caretToEnd) = 0;
    // Blocks written of blocks to write.
    virtual void progress(int done, int total) = 0;
    // Blocks read back and found equal, of blocks written.
    virtual void checkProgress(int done, int total) {
        (void)done;
        (void)total;
    }
    // Shows a message box and returns once it is closed (or the run is cancelled).
    virtual void message(const QString& text) = 0;
};

class BootloaderSession {
public:
    static constexpr quint8 ProgramMark = 0x23; // '#', first byte of the first program block
    // From this holding time on (ms per answer) the log says the adapter slows the run.
    static constexpr double HeldAnswersNoticeMs = 4.0;

    BootloaderSession(Port& port, SessionSink& sink, const std::atomic<bool>& cancel);

    SessionResult run(const CriImage& image, const SessionParams& params);

    // The number of blocks a run writes for this image and these parameters.
    static int blocksToWrite(const CriImage& image, const SessionParams& params);

private:
    struct Written {
        quint32 address;
        QByteArray bytes;
    };
    Outcome stopOutcome() const;
    bool failed() const { return failed_ || (synced_ && link_.writeFailed()); }
    void check(const QList<Written>& written);
    void setLog(const QString& text, bool caretToEnd);
    SessionResult finish(Outcome outcome);

    SessionSink& sink_;
    Stm8Link link_;
    bool failed_ = false;
    bool synced_ = false;
    bool blockSent_ = false;
    std::optional<CheckFault> checkFault_;
    int done_ = 0;
    int total_ = 0;
    QString log_;
};

} // namespace firmware
