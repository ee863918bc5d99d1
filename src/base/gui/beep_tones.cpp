#include "base/gui/beep_tones.h"
#include "base/gui/system_tones.h"

#include <windows.h>

BeepTones::BeepTones() : player_([this] { play(); }) {}

BeepTones::~BeepTones() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
        next_.reset();
    }
    wake_.notify_one();
    player_.join();
}

void BeepTones::beep(int hertz, int milliseconds) {
    {
        std::lock_guard lock(mutex_);
        next_ = {hertz, milliseconds};
    }
    wake_.notify_one();
}

void BeepTones::play() {
    for (;;) {
        std::pair<int, int> tone;
        {
            std::unique_lock lock(mutex_);
            wake_.wait(lock, [this] { return stopping_ || next_; });
            if (stopping_)
                return;
            tone = *next_;
            next_.reset();
        }
        ::Beep(DWORD(tone.first), DWORD(tone.second));
    }
}

std::unique_ptr<Tones> makeSystemTones() {
    return std::make_unique<BeepTones>();
}
