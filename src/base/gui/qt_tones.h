#pragma once

#include "base/tones.h"

#include <QBuffer>
#include <memory>

class QAudioSink;

// Sine tones through the default audio output; silent where there is none
// (looked for once, when made).
class QtTones : public Tones {
public:
    QtTones();
    ~QtTones() override;
    void beep(int hertz, int milliseconds) override;

private:
    bool present_ = false;
    std::unique_ptr<QAudioSink> sink_;
    QBuffer buffer_;
};
