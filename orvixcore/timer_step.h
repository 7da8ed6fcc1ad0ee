// The frame timer's arithmetic, kept free of SDL and Lua so that it can be
// driven by a test clock.
#pragma once

#include <cstdint>

namespace orvix {

struct TimerState {
    int32_t frames = 0;         // calls counted in the open frame-rate window
    int32_t prevTime = 0;       // tick count read by the previous call
    int32_t currTime = 0;       // tick count read by the latest call
    int32_t prevFpsUpdate = 0;  // tick count at which the window last closed
    float dt = 0.0f;            // seconds between the last two calls
    float fps = 0.0f;           // calls counted in the last closed window
    int32_t nextFrame = 0;      // slot boundary the next paced call waits for
};

// Tick counts are stored in signed 32-bit fields as they come; differences
// are taken modulo 2^32 and read as signed, so they stay right when the
// millisecond counter passes 2^31 (about 24.8 days) and when it wraps.
inline int32_t tick_diff(int32_t a, int32_t b) {
    return static_cast<int32_t>(static_cast<uint32_t>(a) - static_cast<uint32_t>(b));
}

// One call of timer: `now` is the tick count read at its start; `sleep` is
// called at most once, with the milliseconds to wait for the slot.
template <typename Sleep>
void timer_step(TimerState &t, int32_t target, uint32_t now, Sleep &&sleep) {
    t.frames += 1;
    t.prevTime = t.currTime;
    t.currTime = static_cast<int32_t>(now);
    t.dt = static_cast<float>(tick_diff(t.currTime, t.prevTime) / 1000.0);

    // The window closes only after strictly more than 1000 ms; fps is the raw
    // count of calls in it, not divided by the window's real length.
    if (tick_diff(t.currTime, t.prevFpsUpdate) / 1000.0 > 1) {
        t.fps = static_cast<float>(t.frames);
        t.prevFpsUpdate = t.currTime;
        t.frames = 0;
    }

    if (target > 0) {
        // An absolute schedule: nextFrame moves one whole-millisecond step per
        // paced call, whether or not the call slept, so late frames are made up.
        int32_t wait = tick_diff(t.nextFrame, t.currTime);
        if (wait > 0) sleep(static_cast<uint32_t>(wait));
        t.nextFrame = static_cast<int32_t>(static_cast<uint32_t>(t.nextFrame) +
                                           static_cast<uint32_t>(1000 / target));
    }
}

}  // namespace orvix
