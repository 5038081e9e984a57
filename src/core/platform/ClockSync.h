#pragma once

#include <QString>
#include <QtGlobal>

namespace drovane {

// What the kernel says of this machine's clock: whether a time service keeps it in step
// with the world's, and how far off it may be. Read without changing anything.
struct ClockSync {
    enum class State {
        Synchronised,
        Unsynchronised, // STA_UNSYNC or TIME_ERROR: nothing vouches for the time
        Unknown,        // the question was refused (a service with ProtectClock=yes)
    };
    State state = State::Unknown;
    qint64 maxErrorUs = -1; // the kernel's bound on the error; the kernel stops at 16 s
    QString why;            // Unknown: why, in plain words

    static constexpr qint64 kMaxErrorCapUs = 16000000;
};

// adjtimex() with no mode set: a read that needs no privilege, refused with EPERM where
// a system-call filter forbids touching the clock at all.
ClockSync readKernelClockSync();

} // namespace drovane
