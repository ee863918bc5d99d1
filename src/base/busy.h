#pragma once
// A count of the work under way that must not be interleaved with a tick:
// the tick itself and every modal call (whose nested event loop would
// otherwise deliver timer events).

class Busy {
public:
    bool isBusy() const { return count_ > 0; }

    class Guard {
    public:
        explicit Guard(Busy& b) : b_(b) { ++b_.count_; }
        ~Guard() { --b_.count_; }
        Guard(const Guard&) = delete;
        Guard& operator=(const Guard&) = delete;

    private:
        Busy& b_;
    };

private:
    int count_ = 0;
};
