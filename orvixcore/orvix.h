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
// reach SDL.
constexpr int kMaxSide = 16383;
// The tallest window: the SDL2-based SDL 1.2 library refuses windows higher
// than this, so a taller one would open on one library and not on the other.
// Every row of it still has a 16-bit position.
constexpr int kMaxWindowHeight = 16384;

// SDL_ttf hands a point size to FreeType as size * 64 in an int; a size that
// does not survive that is no size FreeType could set either.
inline bool font_size_usable(int size) { return size <= INT_MAX / 64 && size >= INT_MIN / 64; }

// Start-up steps shared by init and curses_init. start_sdl and start_ttf end
// the process with the documented message when their library cannot start;
// start_mixer starts SDL's audio and the mixer, and leaves audio off when
// either fails.
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

// Copies a surface into the display layout with alpha and records the copy as
// a live surface; the original stays. Null when there is no display or no memory.
SDL_Surface *display_copy(SDL_Surface *s);

// ---------------------------------------------------------------------------
// Rendered surfaces kept for reuse (caches.cpp).

// The glyph cache keeps the grid's glyphs in slots of atlas pages, each slot
// as wide as the font's widest printable character and as high as the font.
// Every slot is charged its pixels and kGlyphSlotOverhead bytes for its entry
// and index slots, and the charge of all slots lies between the two bounds
// (room for two glyphs per cell in between). Pages hold up to
// kGlyphPageBytes of slots.
constexpr size_t kGlyphSlotOverhead = 192;
constexpr size_t kGlyphCacheMin = size_t(256) << 10;
constexpr size_t kGlyphCacheMax = size_t(64) << 20;
constexpr size_t kGlyphPageBytes = size_t(256) << 10;
// The text cache keeps at most kTextCacheEntries texts and kTextCacheCap
// bytes, each text charged its pixels, its length and kTextEntryOverhead for
// SDL's surface records (measured at 280 bytes with SDL 1.2.15 and 536 with
// sdl12-compat) and the cache's entry and index slots.
constexpr size_t kTextEntryOverhead = 768;
constexpr size_t kTextCacheCap = size_t(4) << 20;
constexpr int32_t kTextCacheEntries = 512;
// Texts longer than this are rendered anew on every call and never kept.
constexpr size_t kLongText = 255;

// A cached rendering: the rectangle of a surface that holds it.
struct CachedSurface {
    SDL_Surface *surface;
    SDL_Rect rect;
};

struct CacheEntry;
struct SurfaceCache {
    CacheEntry *entries = nullptr;  // `slots` entries, `used` of them live
    int32_t *index = nullptr;       // open addressing: entry number + 1, 0 for an empty slot
    size_t index_size = 0;          // a power of two, or 0
    int32_t slots = 0, used = 0;
    int32_t newest = -1, oldest = -1, spare = -1;
    size_t bytes = 0;            // charged by the live entries
    size_t cap = 0;              // the most they may be charged
    int32_t max_entries = 0;     // the most entries there may be
    bool owns_surfaces = false;  // whether dropping an entry frees its surface
};

struct CacheKey {
    const void *owner;  // the font of a text; null for the grid's glyphs
    uint64_t word;      // colour, and the character of a glyph
    const char *text;   // the text's bytes, len of them
    size_t len;
    uint64_t hash;
};

CacheKey cache_key(const void *owner, uint64_t word, const char *text, size_t len);
// Makes room for that many entries at once; false when memory runs out.
bool cache_reserve(SurfaceCache &c, int32_t entries);
// The rendering kept under k, now the most recently used (valid until the
// cache next changes); null when there is none.
const CachedSurface *cache_find(SurfaceCache &c, const CacheKey &k);
// Keeps v under k (a key not in the cache), charged `charge` bytes, dropping
// the least recently used entries as far as the caps need. False, and v not
// kept, when v alone would take more than a quarter of the cap or memory runs out.
bool cache_insert(SurfaceCache &c, const CacheKey &k, const CachedSurface &v, size_t charge);
// Takes the least recently used entry out, handing its rendering back
// unfreed; false when the cache is empty.
bool cache_take_oldest(SurfaceCache &c, CachedSurface *v);
// Drops every entry of one owner.
void cache_drop_owner(SurfaceCache &c, const void *owner);
// Drops every entry and frees the cache's own memory; the caps stay.
void cache_clear(SurfaceCache &c);

// The glyph of grid cell number `cell` (character ch in text colour fg, in
// the grid's font), from the glyph cache or rendered now: the rectangle of
// *glyph to blit. *kept tells whether the cache holds it; otherwise the
// caller frees the surface. False when the font renders nothing.
bool cell_glyph(int cell, unsigned char ch, SDL_Color fg, CachedSurface *glyph, bool *kept);
void glyph_cache_release();

// What a text entry is charged.
size_t text_charge(const SDL_Surface *s, size_t len);
// The rendering of printFont's text (len bytes) in colour c, from the text
// cache or rendered now; *kept tells whether the cache holds it.
SDL_Surface *text_rendering(TTF_Font *font, const char *text, size_t len, SDL_Color c, bool *kept);
void text_cache_drop_font(TTF_Font *font);
void text_cache_release();

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
