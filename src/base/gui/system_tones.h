#pragma once
// The outcome tones of the running system: sine tones through Qt Multimedia
// on Linux (qt_tones.cpp), the system's Beep on Windows (beep_tones.cpp).

#include "base/tones.h"

#include <memory>

std::unique_ptr<Tones> makeSystemTones();
