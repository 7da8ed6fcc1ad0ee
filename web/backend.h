// Internal header of the browser backend: the pieces of SDL 1.2 and
// SDL_mixer that orvixcore calls, implemented here over plain memory and the
// browser. SDL_gfx, SDL_ttf and SDL_image are the add-ons' (addons/).
//
// The surface code (formats, fills, blits) has no browser dependency: it
// also compiles natively, where the unit tests compare it with the real SDL.
#pragma once

#include "addons.h"

#include <SDL.h>

#include <cstdint>

namespace orw {

// The display surface set by SDL_SetVideoMode (null before), whose format
// SDL_DisplayFormatAlpha follows.
extern SDL_Surface *video_surface;

// A 32-bit surface with 8-bit channels at the given masks; pixels zeroed.
// Null when the size cannot be represented or memory runs out.
SDL_Surface *make_surface(int w, int h, Uint32 rmask, Uint32 gmask, Uint32 bmask, Uint32 amask);

// The key code (SDL 1.2's SDLKey) of a browser key event, from its code
// (the physical key) and key (what it types), or 0 (SDLK_UNKNOWN) for keys
// SDL 1.2 has no symbol for.
int key_from_dom(const char *code, const char *key);

// The character a browser key event types (its key), for the unicode field
// of an SDL 1.2 key press: 0 when it types none.
int unicode_from_dom(const char *key);

// Sounds SDL and SDL_mixer decode themselves (sounds.cpp): WAVE (8- and
// 16-bit PCM, Microsoft and IMA ADPCM), AIFF, 8SVX and VOC, as plain
// samples for the page. The samples point into the file, or into *owned
// (malloc'd) when set.
enum PcmFormat { kPcmU8 = 0, kPcmS8 = 1, kPcmS16LE = 2, kPcmS16BE = 3 };
struct Pcm {
    const Uint8 *data;
    int frames, channels, rate, format;
};
bool decode_pcm(const Uint8 *data, size_t size, Pcm *out, Uint8 **owned);

// Tracker music through libmikmod (tracker.cpp): a module loaded from a
// file in memory, to be mixed at `rate` samples a second, or null when
// libmikmod reads no such module.
void *tracker_load(const Uint8 *data, size_t size, int rate);
void tracker_free(void *module);

// Gamepads (pads.cpp). What the page reads of one pad through the browser's
// Gamepad API: its layout (standard or not), axes from -1 to 1, buttons
// pressed or not with their values from 0 to 1 (the triggers').
constexpr int kPadAxes = 8, kPadButtons = 32;
struct PadReading {
    bool standard;
    int naxes, nbuttons;
    double axes[kPadAxes];
    bool pressed[kPadButtons];
    double value[kPadButtons];
};
// A pad as SDL 1.2 keeps an open joystick: its counts and the last values
// it reported (hat axes as 0 negative, 1 centred, 2 positive).
struct PadState {
    int index;
    bool open;
    int naxes, nbuttons, nhats;
    Sint16 axes[kPadAxes];
    Uint8 buttons[kPadButtons];
    int hat_x, hat_y;
};
// Opens pad `index` as it reads now: its axes where they stand, its buttons
// released and its hat centred, so that a button held while it opens (the
// press that made the browser show the pad) arrives as a press.
void pad_open(int index, const PadReading &in, PadState *pad);
// The events for what changed since the last reading (at most cap, into out):
// the hat, then buttons, then axes, in SDL's numbering. Returns their number.
int pad_update(PadState *pad, const PadReading &in, SDL_Event *out, int cap);

}  // namespace orw
