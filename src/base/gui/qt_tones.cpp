#include "base/gui/qt_tones.h"
#include "base/gui/system_tones.h"

#include <QAudioDevice>
#include <QAudioFormat>
#include <QAudioSink>
#include <QDir>
#include <QFileInfo>
#include <QMediaDevices>
#include <QtMath>

namespace {
// Whether there is a sound output to ask for at all. On Linux Qt plays through
// a PulseAudio (or PipeWire) server, and merely asking it for devices prints
// a warning where none runs; so look for the server's socket first.
bool soundOutputPresent() {
#ifdef Q_OS_LINUX
    if (!qEnvironmentVariableIsEmpty("PULSE_SERVER"))
        return true;
    QStringList sockets{QStringLiteral("/run/pulse/native"),
                        QStringLiteral("/var/run/pulse/native")};
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty())
        sockets.prepend(QDir(runtime).filePath(QStringLiteral("pulse/native")));
    bool found = false;
    for (const QString& s : sockets)
        found = found || QFileInfo::exists(s);
    if (!found)
        return false;
#endif
    return !QMediaDevices::defaultAudioOutput().isNull();
}
} // namespace

// The output is looked for once, at start; without one the tones stay silent.
QtTones::QtTones() : present_(soundOutputPresent()) {}
QtTones::~QtTones() {
    if (sink_)
        sink_->stop();
}

void QtTones::beep(int hertz, int milliseconds) {
    if (!present_)
        return;
    const QAudioDevice device = QMediaDevices::defaultAudioOutput();
    if (device.isNull())
        return;
    QAudioFormat format;
    format.setSampleRate(22050);
    format.setChannelCount(1);
    format.setSampleFormat(QAudioFormat::Int16);
    if (!device.isFormatSupported(format))
        return;
    if (sink_)
        sink_->stop();
    buffer_.close();

    const int samples = format.sampleRate() * milliseconds / 1000;
    QByteArray pcm(samples * 2, '\0');
    auto* out = reinterpret_cast<qint16*>(pcm.data());
    for (int i = 0; i < samples; ++i)
        out[i] = qint16(9000 * qSin(2 * M_PI * hertz * i / format.sampleRate()));
    buffer_.setData(pcm);
    buffer_.open(QIODevice::ReadOnly);
    sink_ = std::make_unique<QAudioSink>(device, format);
    sink_->start(&buffer_);
}

std::unique_ptr<Tones> makeSystemTones() {
    return std::make_unique<QtTones>();
}
