#pragma once
// Monotonic time in seconds for every elapsed-time rule of the program
// (intervals, stall and timeout limits). Tests install a ManualClock and move
// it forward instead of waiting; passing midnight changes nothing.
#include <QElapsedTimer>

class Clock {
public:
    virtual ~Clock() = default;
    virtual double now() const = 0;

    // The clock every component reads; the steady clock unless replaced.
    static Clock &instance();
    // Replace the clock (nullptr restores the steady clock). Not owned.
    static void setInstance(Clock *clock);
};

class SteadyClock : public Clock {
public:
    SteadyClock() { m_timer.start(); }
    double now() const override { return m_timer.nsecsElapsed() / 1e9; }
private:
    QElapsedTimer m_timer;
};

class ManualClock : public Clock {
public:
    explicit ManualClock(double start = 1000.0) : m_now(start) {}
    double now() const override { return m_now; }
    void advance(double seconds) { m_now += seconds; }
    void set(double t) { m_now = t; }
private:
    double m_now;
};

// Shorthand for Clock::instance().now().
inline double Now() { return Clock::instance().now(); }
