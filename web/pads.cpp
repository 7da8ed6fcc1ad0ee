// Gamepads as SDL 1.2 joysticks. The page reads the browser's Gamepad API;
// this turns what it reads into the numbers SDL 1.2 reports for the same pad
// on Linux. A pad in the browser's standard layout is the common XInput pad
// (Xbox 360 and its kind), which Linux's xpad driver gives SDL as six axes,
// one hat and eleven buttons:
//   axes    0 left stick x, 1 left stick y, 2 left trigger,
//           3 right stick x, 4 right stick y, 5 right trigger
//   hat 0   the d-pad
//   buttons 0 A, 1 B, 2 X, 3 Y, 4 left shoulder, 5 right shoulder, 6 back,
//           7 start, 8 guide, 9 left stick, 10 right stick
// Axis values go through the device's range as the driver declares it
// (sticks -32768 to 32767 with a flat zone of 128, triggers 0 to 255) and
// SDL's correction of that range, so a stick's dead centre, its ends and a
// trigger at rest (-32768) read as natively. A pad in no standard layout
// keeps the browser's order: its axes as -32768..32767 devices without a
// flat zone, its buttons as they come, no hat.
#include "backend.h"

#include <cmath>

namespace orw {

namespace {

// A device axis's range as the kernel declares it.
struct Range {
    int min, max, flat;
};
constexpr Range kStick = {-32768, 32767, 128};
constexpr Range kTrigger = {0, 255, 0};
constexpr Range kPlain = {-32768, 32767, 0};

// SDL 1.2's correction of an evdev axis (its coefficients are worked out
// once per axis when the joystick opens).
Sint16 correct(int value, Range r) {
    int c0 = (r.max + r.min) / 2 - r.flat, c1 = (r.max + r.min) / 2 + r.flat;
    int t = (r.max - r.min) / 2 - 2 * r.flat;
    int c2 = t ? (1 << 29) / t : 0;
    if (value > c0) {
        if (value < c1) return 0;
        value -= c1;
    } else {
        value -= c0;
    }
    long long v = static_cast<long long>(value) * c2;
    v = v >= 0 ? v >> 14 : -((-v + 16383) >> 14);  // an arithmetic shift: rounds down
    if (v < -32768) return -32768;
    if (v > 32767) return 32767;
    return static_cast<Sint16>(v);
}

// The device value behind a browser axis (-1 to 1) or trigger (0 to 1): the
// browser scales the device's range linearly onto its own.
int device_value(double v, Range r, bool trigger) {
    if (!(v == v)) v = 0;  // NaN
    double unit = trigger ? v : (v + 1) / 2;
    if (unit < 0) unit = 0;
    if (unit > 1) unit = 1;
    return r.min + static_cast<int>(std::floor(unit * (r.max - r.min) + 0.5));
}

// Standard layout: SDL's buttons in the browser's numbering.
constexpr int kStandardButtons[] = {0, 1, 2, 3, 4, 5, 8, 9, 16, 10, 11};
enum { kLeftTrigger = 6, kRightTrigger = 7, kUp = 12, kDown = 13, kLeft = 14, kRight = 15 };

void axis_values(const PadReading &in, Sint16 *out, int *n) {
    if (in.standard) {
        out[0] = correct(device_value(in.axes[0], kStick, false), kStick);
        out[1] = correct(device_value(in.axes[1], kStick, false), kStick);
        out[2] = correct(device_value(in.value[kLeftTrigger], kTrigger, true), kTrigger);
        out[3] = correct(device_value(in.axes[2], kStick, false), kStick);
        out[4] = correct(device_value(in.axes[3], kStick, false), kStick);
        out[5] = correct(device_value(in.value[kRightTrigger], kTrigger, true), kTrigger);
        *n = 6;
    } else {
        *n = in.naxes < kPadAxes ? in.naxes : kPadAxes;
        for (int i = 0; i < *n; ++i) out[i] = correct(device_value(in.axes[i], kPlain, false), kPlain);
    }
}

bool button_down(const PadReading &in, int sdl_button) {
    if (in.standard) return in.pressed[kStandardButtons[sdl_button]];
    return in.pressed[sdl_button];
}

// A hat axis as SDL keeps it: 0 negative, 1 centred, 2 positive.
int hat_axis(bool negative, bool positive) { return positive && !negative ? 2 : negative && !positive ? 0 : 1; }

Uint8 hat_value(int x, int y) {
    static const Uint8 map[3][3] = {{SDL_HAT_LEFTUP, SDL_HAT_UP, SDL_HAT_RIGHTUP},
                                    {SDL_HAT_LEFT, SDL_HAT_CENTERED, SDL_HAT_RIGHT},
                                    {SDL_HAT_LEFTDOWN, SDL_HAT_DOWN, SDL_HAT_RIGHTDOWN}};
    return map[y][x];
}

}  // namespace

void pad_open(int index, const PadReading &in, PadState *pad) {
    *pad = PadState();
    pad->index = index;
    pad->open = true;
    axis_values(in, pad->axes, &pad->naxes);
    if (in.standard) {
        pad->nbuttons = sizeof kStandardButtons / sizeof kStandardButtons[0];
        pad->nhats = 1;
    } else {
        pad->nbuttons = in.nbuttons < kPadButtons ? in.nbuttons : kPadButtons;
    }
    pad->hat_x = pad->hat_y = 1;
}

int pad_update(PadState *pad, const PadReading &in, SDL_Event *out, int cap) {
    int n = 0;
    auto post = [&](const SDL_Event &e) {
        if (n < cap) out[n++] = e;
    };
    if (pad->nhats) {
        // One event per hat axis that moved, x first, as the driver reports them.
        int x = hat_axis(in.pressed[kLeft], in.pressed[kRight]);
        int y = hat_axis(in.pressed[kUp], in.pressed[kDown]);
        for (int axis = 0; axis < 2; ++axis) {
            int &held = axis == 0 ? pad->hat_x : pad->hat_y;
            int now = axis == 0 ? x : y;
            if (now == held) continue;
            held = now;
            SDL_Event e = {};
            e.jhat.type = SDL_JOYHATMOTION;
            e.jhat.which = static_cast<Uint8>(pad->index);
            e.jhat.hat = 0;
            e.jhat.value = hat_value(pad->hat_x, pad->hat_y);
            post(e);
        }
    }
    for (int b = 0; b < pad->nbuttons; ++b) {
        Uint8 state = button_down(in, b) ? SDL_PRESSED : SDL_RELEASED;
        if (state == pad->buttons[b]) continue;
        pad->buttons[b] = state;
        SDL_Event e = {};
        e.jbutton.type = state == SDL_PRESSED ? SDL_JOYBUTTONDOWN : SDL_JOYBUTTONUP;
        e.jbutton.which = static_cast<Uint8>(pad->index);
        e.jbutton.button = static_cast<Uint8>(b);
        e.jbutton.state = state;
        post(e);
    }
    Sint16 axes[kPadAxes];
    int naxes = 0;
    axis_values(in, axes, &naxes);
    for (int a = 0; a < pad->naxes && a < naxes; ++a) {
        if (axes[a] == pad->axes[a]) continue;
        pad->axes[a] = axes[a];
        SDL_Event e = {};
        e.jaxis.type = SDL_JOYAXISMOTION;
        e.jaxis.which = static_cast<Uint8>(pad->index);
        e.jaxis.axis = static_cast<Uint8>(a);
        e.jaxis.value = axes[a];
        post(e);
    }
    return n;
}

}  // namespace orw
