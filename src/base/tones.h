#pragma once
// The two outcome signals: short 1000 Hz for 100 ms on success, long 400 Hz
// for 800 ms on refusal or error.

class Tones {
public:
    virtual ~Tones() = default;
    virtual void beep(int hertz, int milliseconds) = 0;

    void shortBeep() { beep(1000, 100); }
    void longBeep() { beep(400, 800); }
};
