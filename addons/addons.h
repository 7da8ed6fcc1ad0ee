// Internal header of the add-ons: the parts of SDL_gfx (shapes), SDL_ttf
// (text over FreeType) and SDL_image (image loading) that orvixcore calls,
// written here for the builds that do not have those libraries. They work on
// any SDL 1.2 surfaces of 32 bits per pixel, so one copy serves both the
// browser's plain-memory surfaces (web/) and the real SDL 1.2 on Windows.
//
// The pixel code has no platform dependency: it also compiles natively,
// where the unit tests compare it with the real libraries.
#pragma once

#include <SDL.h>

#include <cstddef>
#include <cstdint>

namespace addons {

// The whole of a file in memory (malloc'd, *size bytes), or null with SDL's
// error text set when it cannot be opened or read, or is empty.
unsigned char *read_file(const char *path, long *size);
// The whole of a stream from its start (malloc'd, *size bytes), or null when
// it is empty or cannot be read.
unsigned char *read_stream(SDL_RWops *rw, long *size);

// An image file in memory as IMG_Load_RW reads it (type "TGA", which has
// no signature, as IMG_LoadTGA_RW): a 32-bit surface with the bytes R, G, B,
// A in memory, with the colours natively loaded images get in the display
// format (a CMYK JPEG's four channels as they are, as SDL_image gives them),
// or null with SDL's error set. PNG is not among the formats: orvixcore
// decodes it itself through libpng.
SDL_Surface *read_image(const unsigned char *data, size_t size, const char *type);

// Bytes R, G, B, A in memory: the masks of the surfaces images load into.
constexpr Uint32 kImageR = 0x000000FF, kImageG = 0x0000FF00, kImageB = 0x00FF0000, kImageA = 0xFF000000;

// glibc's rand() and srand(), so that Lua's math.random draws the same
// numbers from the same seed as the native build on Linux.
void glibc_srand(unsigned seed);
int glibc_rand();

}  // namespace addons
