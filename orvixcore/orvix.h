// Internal header of the orvixcore module: the shared globals, the live-handle
// record and the argument conversions used by every subsystem.
#pragma once

#include <SDL.h>
#include <SDL_mixer.h>
#include <SDL_ttf.h>

extern "C" {
#include <lua.h>
#include <lauxlib.h>
}

#include <climits>
#include <cstdint>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#define ORVIX_EXPORT __attribute__((visibility("default")))

// The one character-cell screen (see cells.cpp).
struct CursesContext {
    TTF_Font *font;
    int cellW;
    int cellH;
    int cols;
    int rows;
    int count;
    unsigned char *chars;
    SDL_Color *fg;
    SDL_Color *bg;
};

// Globals shared by the start functions and everything else. They are exported
// under their own names so that native code living beside the module can see
// the window, the audio state and the cell screen.
extern "C" {
ORVIX_EXPORT extern SDL_Surface *gScreen;
ORVIX_EXPORT extern int sound_on;
ORVIX_EXPORT extern int gl_on;
ORVIX_EXPORT extern int curses_on;
ORVIX_EXPORT extern int gNumpads;
ORVIX_EXPORT extern SDL_Joystick **gPads;
ORVIX_EXPORT extern CursesContext CC;

ORVIX_EXPORT void putpixel(SDL_Surface *surface, Uint16 x, Uint16 y, Uint32 pixel);
ORVIX_EXPORT int luaopen_orvixcore(lua_State *L);
}

namespace orvix {

// ---------------------------------------------------------------------------
// Display state. The public globals are never reset (quit leaves them as they
// are), so whether the display may be used is tracked separately here.
enum class Display { NotStarted, Running, Closed };
extern Display g_display;
// True once the mixer really opened; audio calls need it on top of sound_on.
extern bool g_mixer_open;

inline bool display_running() { return g_display == Display::Running; }

// The widest row of 4-byte pixels SDL can describe: its pitch is a 16-bit
// byte count. Windows and surfaces wider than this are refused before they
// reach SDL; windows higher than this too, since the windowing system ends the
// process on sizes it cannot make, and cell positions must fit 16-bit fields.
constexpr int kMaxSide = 16383;

// Start-up steps shared by init and curses_init. Each ends the process with
// the documented message when its library cannot start.
void start_sdl(Uint32 flags);
void start_ttf();
void start_mixer();

// Prints one line on standard output and ends the process with status 1.
[[noreturn]] void fatal(const char *fmt, ...) __attribute__((format(printf, 1, 2)));

// ---------------------------------------------------------------------------
// Number conversions. Every number argument goes through these.

// Truncation toward zero into an int. NaN reads as 0 and values outside the
// int range saturate, so no conversion is ever undefined.
inline int to_int(double d) {
#if defined(__SSE2__)
    // Draw calls read several numbers each, so the common case is one
    // instruction: cvttsd2si truncates, and gives INT_MIN for NaN and for
    // every value out of range, so only that one result needs a second look.
    int fast = _mm_cvttsd_si32(_mm_set_sd(d));
    if (fast != INT_MIN) return fast;
#endif
    if (!(d == d)) return 0;
    if (d >= 2147483647.0) return INT_MAX;
    if (d <= -2147483648.0) return INT_MIN;
    return static_cast<int>(d);
}

inline int arg_int(lua_State *L, int i) { return to_int(lua_tonumber(L, i)); }

// Screen coordinates: the low 16 bits of the truncated value, read as signed.
inline Sint16 to_s16(int v) { return static_cast<Sint16>(static_cast<Uint16>(static_cast<unsigned>(v))); }
inline Sint16 arg_s16(lua_State *L, int i) { return to_s16(arg_int(L, i)); }

// Widths, heights and putpix coordinates: the low 16 bits, unsigned.
inline Uint16 to_u16(int v) { return static_cast<Uint16>(static_cast<unsigned>(v)); }
inline Uint16 arg_u16(lua_State *L, int i) { return to_u16(arg_int(L, i)); }

// Colour components keep their low 8 bits.
inline Uint8 to_u8(int v) { return static_cast<Uint8>(static_cast<unsigned>(v)); }
inline Uint8 arg_u8(lua_State *L, int i) { return to_u8(arg_int(L, i)); }

// ---------------------------------------------------------------------------
// Live handles. Every library object handed to a script is recorded with its
// kind, so that a freed handle, a handle of another kind or a stray userdata
// is recognised with one lookup and ignored instead of dereferenced.
enum class Kind : uint8_t { None = 0, Surface, Font, Sound, Music };

// Records a new handle. Ends the process if the record cannot grow.
void handle_add(void *p, Kind k);
// The kind recorded for p, or Kind::None.
Kind handle_kind(const void *p);
// Forgets p if it is recorded with kind k; returns whether it was.
bool handle_remove(void *p, Kind k);
// Calls fn on every live handle of kind k (fn may not add handles; it may
// remove the one it is given).
void handle_each(Kind k, void (*fn)(void *));

// The userdata at i if it is a live handle of kind k, else null.
inline void *arg_handle(lua_State *L, int i, Kind k) {
    void *p = lua_touserdata(L, i);
    return (p && handle_kind(p) == k) ? p : nullptr;
}

// The surface a drawing call works on: the userdata at i when it is a live
// surface, gScreen when the argument is absent or not a userdata. Null (draw
// nothing) when the display is not running, when a userdata there is not a
// live surface, and for gScreen in the OpenGL mode, which has no pixels.
SDL_Surface *arg_target(lua_State *L, int i);

// Converts a fresh surface to the display layout with alpha, frees the
// original and records the copy as a live surface. Null when there is no
// display to convert to, or no memory.
SDL_Surface *to_display_format(SDL_Surface *fresh);

// Pushes a surface handle with its width and height: the results of every
// call that hands a surface to the script.
int push_surface(lua_State *L, SDL_Surface *s);

// Releases whatever the character-cell mode holds (called by quit).
void cells_release();

// ---------------------------------------------------------------------------
// Asset files (assets.cpp). The loaders read a file, check it and hand it to
// its library; each returns null for a file that is missing, unreadable, of
// no known format, or damaged in a way the library would not survive.
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

// ---------------------------------------------------------------------------
// Script functions, one group per source file.
namespace orvix {
// display.cpp
int l_init(lua_State *L);
int l_quit(lua_State *L);
int l_flip(lua_State *L);
int l_showCursor(lua_State *L);
// timer.cpp
int l_timer(lua_State *L);
// input.cpp
int l_input(lua_State *L);
int l_mouse(lua_State *L);
int l_isKeyDown(lua_State *L);
// surfaces.cpp
int l_fill(lua_State *L);
int l_loadImage(lua_State *L);
int l_makeSurf(lua_State *L);
int l_blit(lua_State *L);
int l_freeSurf(lua_State *L);
int l_putpix(lua_State *L);
// text.cpp
int l_loadFont(lua_State *L);
int l_printFont(lua_State *L);
int l_freeFont(lua_State *L);
// shapes.cpp
int l_draw(lua_State *L);
int l_drawTri(lua_State *L);
// audio.cpp
int l_loadSound(lua_State *L);
int l_loadMusic(lua_State *L);
int l_playSound(lua_State *L);
int l_playMusic(lua_State *L);
int l_pauseMusic(lua_State *L);
int l_musicVolume(lua_State *L);
int l_freeSound(lua_State *L);
int l_freeMusic(lua_State *L);
// cells.cpp
int l_curses_init(lua_State *L);
int l_curses_refresh(lua_State *L);
int l_curses_addch(lua_State *L);
int l_curses_setcol(lua_State *L);
int l_curses_fill(lua_State *L);
}  // namespace orvix
