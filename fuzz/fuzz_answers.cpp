// The answer path: the exchange engine on a port whose reads are the fuzzer's
// bytes, tick by tick, and recorded answers through the replay step; the host
// hands every dispatched answer to the decoders that live below the window.
#include "link/exchange_engine.h"
#include "link/frame.h"
#include "sensor/live_data.h"
#include "sensor/operations.h"
#include "tables/table_frames.h"

#include "fuzz_support.h"

namespace {

// The smallest host: remembers the selection and feeds the decoders.
class Host : public EngineHost {
public:
    std::optional<quint8> address = 1;
    ExchangeEngine* engine = nullptr;
    live::Stability stability;

    std::optional<quint8> selectedAddress() const override { return address; }
    QString selectedAddressText() const override {
        return address ? QString::number(*address) : QString();
    }
    void setStatus(const QString&) override {}
    void setStatusColor(quint32) override {}
    quint32 lampColor() const override { return lamp_; }
    void setLampColor(quint32 c) override { lamp_ = c; }
    void outWin(const QByteArray&) override {}
    void appendErrBox(const QString&) override {}
    void setLenAnsw(int) override {}
    void log(const QString&) override {}
    void shortBeep() override {}
    void longBeep() override {}
    void message(const QString&) override {}
    void closePort() override { engine->setPort(nullptr); }
    void portVanished() override { engine->setPort(nullptr); }
    void fillNetList(const QList<quint8>& addresses, const QString&) override {
        address = addresses.isEmpty() ? std::nullopt : std::optional<quint8>(addresses.first());
    }
    void all_data_to_form(const QByteArray& a) override {
        if (const auto r = live::u32At(a, 4))
            stability.update(*r, engine->holdCounter);
        if (const auto t = live::u8At(a, 12))
            (void)live::temperatureText(*t);
        if (const auto v = live::u16At(a, 8))
            (void)live::voltageText(int(*v), true);
    }
    void assept_sn(const QByteArray& a) override {
        const auto fw = live::u8At(a, 8);
        const auto prefix = live::u8At(a, 9);
        if (fw && prefix)
            (void)live::versionCaption(*fw, *prefix);
    }
    void Out_modes(quint8 mode) override { (void)sensor::Out_modes(mode, engine->firmware == 172); }
    void applySmoothingByte(quint8) override {}
    void setLampLevel(int) override {}
    void showFrequency(int) override {}
    std::optional<QString> ans_to_table(const QByteArray& answer) override {
        const tables::DecodedTable t = tables::decodeAnswer(answer);
        if (!t.table)
            return std::nullopt;
        return t.result;
    }
    void Set_mode_Click() override {}

private:
    quint32 lamp_ = 0;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::Input in(data, size);
    Host host;
    ExchangeEngine engine(host);
    host.engine = &engine;
    fuzz::ScriptPort port;
    engine.setPort(&port);
    engine.firmware = in.byte();
    engine.firmware += 100;
    // Each step: 0..3 a tick that reads the next piece, 4 a tick with a
    // short write, 5 a replayed answer, 6 a pending request, 7 another sensor.
    for (int steps = 0; !in.empty() && steps < 64; ++steps) {
        const quint8 op = in.byte() % 8;
        if (op < 4) {
            port.reads.enqueue(in.piece());
            engine.setPort(&port);
            engine.tick();
        } else if (op == 4) {
            port.shortWrites = 1;
            engine.tick();
        } else if (op == 5) {
            engine.replay(in.piece());
        } else if (op == 6) {
            engine.wrs = frame::request(in.byte(), in.byte(), in.piece(8));
        } else {
            host.address = in.byte();
        }
    }
    return 0;
}
