// Firmware: a cri image of any bytes flashed through the bootloader session,
// whose answers are the fuzzer's bytes.
#include "firmware/bootloader_session.h"
#include "firmware/cri_image.h"

#include "fuzz_support.h"

#include <atomic>
#include <cstdlib>

namespace {

class Sink : public firmware::SessionSink {
public:
    void logText(const QString&, bool) override {}
    void progress(int done, int total) override {
        if (done < 0 || done > total)
            std::abort();
    }
    void message(const QString&) override {}
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::Input in(data, size);
    const quint8 flags = in.byte();
    const int imageSize = in.byte() << 4 | in.byte() >> 4;
    QByteArray image;
    for (int i = 0; i < imageSize && !in.empty(); ++i)
        image.append(char(in.byte()));
    // The file reader on the same bytes.
    const QString path = fuzz::scratchFile(QStringLiteral("f.cri"), image);
    QString error;
    const auto loaded = firmware::CriImage::load(path, &error);
    const auto cri = firmware::CriImage::fromBytes(image);
    if (loaded.has_value() != cri.has_value())
        std::abort();
    if (!cri)
        return 0;
    for (int i = 0; i < cri->blockCount(); ++i)
        if (cri->block(i).size() != firmware::CriImage::BlockSize)
            std::abort();

    fuzz::ScriptPort port;
    while (!in.empty())
        port.reads.enqueue(in.piece(16));
    Sink sink;
    std::atomic<bool> cancel{false};
    port.quietUntilWrite = true;
    port.cancelWhenDone = &cancel;
    firmware::BootloaderSession session(port, sink, cancel);
    firmware::SessionParams params;
    params.type = flags & 1 ? firmware::SensorType::LV200 : firmware::SensorType::LV300;
    params.resetCalibrations = flags & 2;
    const firmware::SessionResult result = session.run(*cri, params);
    if (result.blocksWritten > result.blocksToWrite)
        std::abort();
    return 0;
}
