#pragma once

#include "base/tones.h"

#include <condition_variable>
#include <mutex>
#include <optional>
#include <thread>
#include <utility>

// The system's Beep(frequency, duration), played on a thread of its own: Beep
// returns only when the tone has ended, and an 800 ms tone must not hold the
// window. One tone plays at a time; of those asked for meanwhile only the
// newest waits its turn, so a burst of outcomes never queues seconds of sound.
class BeepTones : public Tones {
public:
    BeepTones();
    ~BeepTones() override;
    void beep(int hertz, int milliseconds) override;

private:
    void play();

    std::mutex mutex_;
    std::condition_variable wake_;
    std::optional<std::pair<int, int>> next_;
    bool stopping_ = false;
    std::thread player_;
};
