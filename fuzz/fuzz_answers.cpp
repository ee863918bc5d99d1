// The answer path: the session on a port whose reads are the fuzzer's bytes,
// tick by tick, and recorded answers through the replay step, with every
// decoder of the core behind it.
#include "base/user_dialog.h"
#include "link/frame.h"
#include "session/session.h"

#include "fuzz_support.h"

namespace {

// A user who closes every box and answers no to every question.
class SilentDialog : public UserDialog {
public:
    void message(const QString&, const QString&, Icon) override {}
    bool askYesNo(const QString&, const QString&) override { return false; }
    std::optional<QString> inputBox(const QString&, const QString&, const QString&) override {
        return std::nullopt;
    }
    QString openFileName(const QString&, const QString&, const QString&) override { return {}; }
    QString saveFileName(const QString&, const QString&, const QString&) override { return {}; }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::Input in(data, size);
    SilentDialog dialog;
    session::Session session;
    session.setDialog(&dialog);
    fuzz::ScriptPort* port = nullptr;
    const auto attach = [&] {
        auto p = std::make_unique<fuzz::ScriptPort>();
        port = p.get();
        session.attachPort(std::move(p));
    };
    attach();
    QObject::connect(&session, &session::Session::closeRequested, [&] { session.detachPort(); });
    QObject::connect(&session, &session::Session::portLost, [&] { session.detachPort(); });
    QObject::connect(&session, &session::Session::networkFound,
                     [&](const QList<quint8>& addresses, const QString& text) {
                         session.setSelectedAddress(addresses.first(), text);
                         session.requestIdentity();
                     });
    session.setSelectedAddress(1, QStringLiteral("1"));
    session.requestIdentity();
    // Each step: 0..3 a tick that reads the next piece, 4 a tick with a
    // short write, 5 a replayed answer, 6 a pending request, 7 another sensor.
    for (int steps = 0; !in.empty() && steps < 64; ++steps) {
        if (!session.isOpen())
            attach();
        const quint8 op = in.byte() % 8;
        if (op < 4) {
            port->reads.enqueue(in.piece());
            session.tick();
        } else if (op == 4) {
            port->shortWrites = 1;
            session.tick();
        } else if (op == 5) {
            session.replay(in.piece());
        } else if (op == 6) {
            session.setPending(frame::request(in.byte(), in.byte(), in.piece(8)));
        } else {
            const quint8 address = in.byte();
            session.setSelectedAddress(address, QString::number(address));
        }
    }
    return 0;
}
