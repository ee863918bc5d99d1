#include "base/gui/qt_tones.h"

#include <QAudioDevice>
#include <QAudioFormat>
#include <QAudioSink>
#include <QMediaDevices>
#include <QtMath>

QtTones::QtTones() = default;
QtTones::~QtTones() {
    if (sink_)
        sink_->stop();
}

void QtTones::beep(int hertz, int milliseconds) {
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
