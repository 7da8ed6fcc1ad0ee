// Asset files (assets.cpp): the loaders read a file, check it and hand it to
// its library; each returns null for a file that is missing, unreadable, of
// no known format, or damaged in a way the library would not survive.
#pragma once

#include <SDL.h>
#include <SDL_mixer.h>
#include <SDL_ttf.h>

#include <climits>
#include <cstddef>

namespace orvix {

// SDL_ttf hands a point size to FreeType as size * 64 in an int; a size that
// does not survive that is no size FreeType could set either.
inline bool font_size_usable(int size) { return size <= INT_MAX / 64 && size >= INT_MIN / 64; }

SDL_Surface *load_image(const char *path);  // not yet in the display format
Mix_Chunk *load_sound(const char *path);
Mix_Music *load_music(const char *path);
TTF_Font *open_font(const char *path, int size);

// The checks behind them, on whole files in memory: true when the library's
// reader can take the file safely.
// GIF and XPM also give the size of the surface their reader will ask for.
struct ImageSize {
    int w, h, depth;
};
bool gif_readable(const Uint8 *d, size_t n, ImageSize *size = nullptr);
bool xpm_readable(const Uint8 *d, size_t n, ImageSize *size = nullptr);
bool pcx_readable(const Uint8 *d, size_t n);
bool wav_sound_readable(const Uint8 *d, size_t n);
bool wav_music_readable(const Uint8 *d, size_t n);
bool aiff_readable(const Uint8 *d, size_t n, bool sound);
bool flac_sound_readable(const Uint8 *d, size_t n);
bool flac_music_readable(const Uint8 *d, size_t n);
bool ogg_readable(const Uint8 *d, size_t n);
bool voc_readable(const Uint8 *d, size_t n);
bool sample_format_ok(Uint32 rate, Uint32 channels);
// A 32-bit BMP whose fourth byte is padding, not alpha.
bool bmp_without_alpha(const Uint8 *d, size_t n);
// 0: not a CMYK JPEG; 1: CMYK; 2: CMYK stored inverted (Adobe).
int jpeg_cmyk_kind(const Uint8 *d, size_t n);
// A PNG decoded through libpng into the surface SDL_image makes for it.
SDL_Surface *decode_png(const Uint8 *d, size_t n);
// A font SDL_ttf can size and draw; *size becomes the size to open it with.
bool font_usable(const Uint8 *d, size_t n, int *size);

}  // namespace orvix
