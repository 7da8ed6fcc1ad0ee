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

// Milliseconds from tick b to the later tick a, modulo 2^32.
inline uint32_t elapsed(int32_t a, int32_t b) {
    return static_cast<uint32_t>(a) - static_cast<uint32_t>(b);
}

// No step is longer than 1000 ms (a target of 1), so a legitimate wait never
// is either. A longer one means the schedule lags the clock by more than
// 2^31 ms and only looks ahead because the difference wrapped: no sleep then.
constexpr int32_t kMaxWait = 1000;

// The tick count handed to the script: read unsigned, as SDL_GetTicks gives
// it, so that it keeps rising past 2^31 ms instead of turning negative.
inline double reported_ticks(const TimerState &t) { return static_cast<uint32_t>(t.currTime); }

// One call of timer: `now` is the tick count read at its start; `sleep` is
// called at most once, with the milliseconds to wait for the slot.
template <typename Sleep>
void timer_step(TimerState &t, int32_t target, uint32_t now, Sleep &&sleep) {
    // Counted without signed overflow even if the clock stands still (calls
    // before a start function all read tick 0 and never close the window).
    t.frames = static_cast<int32_t>(static_cast<uint32_t>(t.frames) + 1u);
    t.prevTime = t.currTime;
    t.currTime = static_cast<int32_t>(now);
    // The clock never runs backwards, so elapsed times are read unsigned:
    // a gap of more than 2^31 ms (a first call 25 days after SDL started)
    // still gives a positive dt and closes the frame-rate window.
    t.dt = static_cast<float>(elapsed(t.currTime, t.prevTime) / 1000.0);

    // The window closes only after strictly more than 1000 ms; fps is the raw
    // count of calls in it, not divided by the window's real length.
    if (elapsed(t.currTime, t.prevFpsUpdate) / 1000.0 > 1) {
        t.fps = static_cast<float>(t.frames);
        t.prevFpsUpdate = t.currTime;
        t.frames = 0;
    }

    if (target > 0) {
        // An absolute schedule: nextFrame moves one whole-millisecond step per
        // paced call, whether or not the call slept, so late frames are made up.
        int32_t wait = tick_diff(t.nextFrame, t.currTime);
        if (wait > 0 && wait <= kMaxWait) sleep(static_cast<uint32_t>(wait));
        t.nextFrame = static_cast<int32_t>(static_cast<uint32_t>(t.nextFrame) +
                                           static_cast<uint32_t>(1000 / target));
    }
}

}  // namespace orvix
