#pragma once
// The colours the windows give to the sensor's live states.

#include "base/gui/colors.h"
#include "sensor/answers.h"
#include "sensor/live_data.h"

inline quint32 stabilityColour(live::Stability::State s) {
    switch (s) {
    case live::Stability::State::Steady:
        return vbcolor::Green;
    case live::Stability::State::Settling:
        return vbcolor::Yellow;
    case live::Stability::State::Unsteady:
        break;
    }
    return vbcolor::Red;
}

inline quint32 balanceColour(sensor::Balance b) {
    switch (b) {
    case sensor::Balance::Good:
        return vbcolor::LightGreen;
    case sensor::Balance::Doubtful:
        return vbcolor::Yellow;
    case sensor::Balance::Wrong:
        break;
    }
    return vbcolor::Red;
}
