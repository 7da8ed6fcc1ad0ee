// Rendered surfaces kept for reuse (caches.cpp): the glyphs of the
// character-cell screen and the texts printFont draws again and again.
#pragma once

#include <SDL.h>
#include <SDL_ttf.h>

#include <cstddef>
#include <cstdint>

namespace orvix {

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

}  // namespace orvix
