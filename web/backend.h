// Internal header of the browser backend: the pieces of SDL 1.2, SDL_ttf,
// SDL_gfx, SDL_image and SDL_mixer that orvixcore calls, implemented here
// over plain memory, FreeType, libpng and the browser.
//
// The pixel code (surfaces, blits, fills, shapes, text) has no browser
// dependency: it also compiles natively, where the unit tests compare it
// with the real libraries.
#pragma once

#include <SDL.h>

#include <cstdint>

namespace orw {

// The display surface set by SDL_SetVideoMode (null before), whose format
// SDL_DisplayFormatAlpha follows.
extern SDL_Surface *video_surface;

// A 32-bit surface with 8-bit channels at the given masks; pixels zeroed.
// Null when the size cannot be represented or memory runs out.
SDL_Surface *make_surface(int w, int h, Uint32 rmask, Uint32 gmask, Uint32 bmask, Uint32 amask);

// The whole of a file in memory (malloc'd, *size bytes), or null with SDL's
// error text set when it cannot be opened or read, or is empty.
unsigned char *read_file(const char *path, long *size);
// The whole of a stream from its start (malloc'd, *size bytes), or null when
// it is empty or cannot be read.
unsigned char *read_stream(SDL_RWops *rw, long *size);

// The key code (SDL 1.2's SDLKey) of a browser key event, from its code
// (the physical key) and key (what it types), or 0 (SDLK_UNKNOWN) for keys
// SDL 1.2 has no symbol for.
int key_from_dom(const char *code, const char *key);

// glibc's rand() and srand(), so that Lua's math.random draws the same
// numbers from the same seed as the native build on Linux.
void glibc_srand(unsigned seed);
int glibc_rand();

}  // namespace orw
