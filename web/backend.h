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

}  // namespace orw
