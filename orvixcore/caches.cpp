// Rendered surfaces kept for reuse: the glyphs of the character-cell screen
// and the texts printFont draws again and again.
//
// Both caches share one structure: entries holding a rectangle of a surface
// under a key of an owner (the font), a 64-bit word (character and colour)
// and a byte string (the text), found through an open-addressing index of
// entry numbers and kept in a list from the most to the least recently used.
// When the cache is full, the least recently used entries go first. A lookup
// allocates nothing: memory is taken only when an entry is added. Everything
// is plain memory handled with malloc and free, so nothing needs a
// destructor when a Lua error unwinds.
#include "caches.h"
#include "globals.h"
#include "state.h"

#include <cstdlib>
#include <cstring>

namespace orvix {

struct CacheEntry {
    uint64_t hash;
    const void *owner;
    uint64_t word;
    char *text;  // a copy of the key's text, null when it has none
    size_t len;
    CachedSurface value;
    size_t charge;
    size_t slot;           // where the index holds this entry
    int32_t newer, older;  // the recency list; for an unused entry, older chains the spare ones
};

namespace {

constexpr int32_t kNone = -1;

// The finaliser of MurmurHash3: every input bit reaches every output bit.
inline uint64_t mix(uint64_t x) {
    x ^= x >> 33;
    x *= 0xff51afd7ed558ccdULL;
    x ^= x >> 33;
    x *= 0xc4ceb9fe1a85ec53ULL;
    x ^= x >> 33;
    return x;
}

void unlink(SurfaceCache &c, int32_t n) {
    CacheEntry &e = c.entries[n];
    if (e.newer != kNone) c.entries[e.newer].older = e.older; else c.newest = e.older;
    if (e.older != kNone) c.entries[e.older].newer = e.newer; else c.oldest = e.newer;
}

void link_newest(SurfaceCache &c, int32_t n) {
    CacheEntry &e = c.entries[n];
    e.newer = kNone;
    e.older = c.newest;
    if (c.newest != kNone) c.entries[c.newest].newer = n; else c.oldest = n;
    c.newest = n;
}

bool same_key(const CacheEntry &e, const CacheKey &k) {
    return e.hash == k.hash && e.owner == k.owner && e.word == k.word && e.len == k.len &&
           (k.len == 0 || memcmp(e.text, k.text, k.len) == 0);
}

// Empties slot i, moving later entries of its probe run back so that every
// entry stays reachable from its home slot without tombstones.
void index_remove(SurfaceCache &c, size_t i) {
    size_t mask = c.index_size - 1;
    for (size_t j = (i + 1) & mask; c.index[j]; j = (j + 1) & mask) {
        CacheEntry &e = c.entries[c.index[j] - 1];
        size_t home = e.hash & mask;
        // The entry at j stays when its home lies cyclically in (i, j].
        bool stays = i <= j ? (i < home && home <= j) : (i < home || home <= j);
        if (!stays) {
            c.index[i] = c.index[j];
            e.slot = i;
            i = j;
        }
    }
    c.index[i] = 0;
}

void index_put(SurfaceCache &c, int32_t n) {
    size_t mask = c.index_size - 1;
    size_t i = c.entries[n].hash & mask;
    while (c.index[i]) i = (i + 1) & mask;
    c.index[i] = n + 1;
    c.entries[n].slot = i;
}

// Takes entry n out of the cache and puts it on the spare chain; returns
// its value, whose surface the caller frees or reuses.
CachedSurface take(SurfaceCache &c, int32_t n) {
    CacheEntry &e = c.entries[n];
    index_remove(c, e.slot);
    unlink(c, n);
    if (e.text) free(e.text);
    c.bytes -= e.charge;
    --c.used;
    CachedSurface v = e.value;
    e.value = CachedSurface{};
    e.text = nullptr;
    e.older = c.spare;
    c.spare = n;
    return v;
}

void drop(SurfaceCache &c, int32_t n) {
    CachedSurface v = take(c, n);
    if (c.owns_surfaces) SDL_FreeSurface(v.surface);
}

// Room for `slots` entries, and an index at most a quarter full with them,
// which keeps probe runs short. Both blocks are allocated before either is
// switched to, so that running out of memory leaves the cache as it was:
// entries beyond what the index has room for would fill it until a probe
// never ends, and the first entries without an index would be looked up
// through a null pointer.
bool grow(SurfaceCache &c, int32_t slots) {
    size_t size = c.index_size ? c.index_size : 64;
    while (size < 4 * size_t(slots)) size *= 2;
    int32_t *index = nullptr;
    if (size > c.index_size) {
        index = static_cast<int32_t *>(calloc(size, sizeof(int32_t)));
        if (!index) return false;
    }
    if (slots > c.slots) {
        auto *grown = static_cast<CacheEntry *>(realloc(c.entries, sizeof(CacheEntry) * size_t(slots)));
        if (!grown) {
            free(index);
            return false;
        }
        c.entries = grown;
        for (int32_t n = slots - 1; n >= c.slots; --n) {
            c.entries[n] = CacheEntry{};
            c.entries[n].older = c.spare;
            c.spare = n;
        }
        c.slots = slots;
    }
    if (index) {
        free(c.index);
        c.index = index;
        c.index_size = size;
        for (int32_t n = c.newest; n != kNone; n = c.entries[n].older) index_put(c, n);
    }
    return true;
}

}  // namespace

bool cache_reserve(SurfaceCache &c, int32_t entries) { return grow(c, entries); }

CacheKey cache_key(const void *owner, uint64_t word, const char *text, size_t len) {
    constexpr uint64_t k = 0x9e3779b97f4a7c15ULL;
    uint64_t h = mix((reinterpret_cast<uintptr_t>(owner) * k) ^ word ^ (uint64_t(len) << 40));
    const char *p = text;
    size_t left = len;
    for (; left >= 8; left -= 8, p += 8) {
        uint64_t w;
        memcpy(&w, p, 8);
        h = (h ^ w) * k;
        h ^= h >> 29;
    }
    if (left) {
        uint64_t w = 0;
        memcpy(&w, p, left);
        h = (h ^ w) * k;
    }
    return CacheKey{owner, word, text, len, len ? mix(h) : h};
}

const CachedSurface *cache_find(SurfaceCache &c, const CacheKey &k) {
    if (!c.used) return nullptr;
    size_t mask = c.index_size - 1;
    for (size_t i = k.hash & mask; c.index[i]; i = (i + 1) & mask) {
        int32_t n = c.index[i] - 1;
        if (same_key(c.entries[n], k)) {
            if (c.newest != n) {
                unlink(c, n);
                link_newest(c, n);
            }
            return &c.entries[n].value;
        }
    }
    return nullptr;
}

bool cache_insert(SurfaceCache &c, const CacheKey &k, const CachedSurface &v, size_t charge) {
    // One entry may take at most a quarter of the cache, so that a single
    // large rendering never empties it.
    if (charge > c.cap / 4) return false;
    while (c.oldest != kNone && (c.bytes + charge > c.cap || c.used >= c.max_entries)) drop(c, c.oldest);
    char *text = nullptr;
    if (k.len) {
        text = static_cast<char *>(malloc(k.len));
        if (!text) return false;
        memcpy(text, k.text, k.len);
    }
    if (c.spare == kNone && !grow(c, c.slots ? 2 * c.slots : 16)) {
        free(text);
        return false;
    }
    int32_t n = c.spare;
    c.spare = c.entries[n].older;
    c.entries[n] = CacheEntry{k.hash, k.owner, k.word, text, k.len, v, charge, 0, kNone, kNone};
    index_put(c, n);
    link_newest(c, n);
    c.bytes += charge;
    ++c.used;
    return true;
}

bool cache_take_oldest(SurfaceCache &c, CachedSurface *v) {
    if (c.oldest == kNone) return false;
    *v = take(c, c.oldest);
    return true;
}

void cache_drop_owner(SurfaceCache &c, const void *owner) {
    for (int32_t n = c.newest; n != kNone;) {
        int32_t older = c.entries[n].older;
        if (c.entries[n].owner == owner) drop(c, n);
        n = older;
    }
}

void cache_clear(SurfaceCache &c) {
    while (c.oldest != kNone) drop(c, c.oldest);
    free(c.entries);
    free(c.index);
    c.entries = nullptr;
    c.index = nullptr;
    c.index_size = 0;
    c.slots = 0;
    c.spare = kNone;
}

// ---------------------------------------------------------------------------
// Both caches keep a rendering from its second use on. A first use is only
// noted, by its key's hash, in a small table of four hashes per set, so that
// renderings used once (a counter that changes every frame, a cell given a
// new colour every frame) neither pay for an entry nor push out the ones that
// come back.

namespace {

constexpr size_t kSeenSets = 512;

struct SeenFilter {
    uint64_t hash[kSeenSets][4];
    uint8_t next[kSeenSets];
};

// Whether the hash was noted before; notes it when it was not.
bool seen_before(SeenFilter &f, uint64_t hash) {
    // The index uses the low bits; the sets take higher ones.
    size_t set = (hash >> 32) & (kSeenSets - 1);
    for (int w = 0; w < 4; ++w)
        if (f.hash[set][w] == hash) return true;
    f.hash[set][f.next[set]] = hash;
    f.next[set] = static_cast<uint8_t>((f.next[set] + 1) & 3);
    return false;
}

}  // namespace

// ---------------------------------------------------------------------------
// The grid's glyphs, per character and text colour.
//
// The glyphs are not kept as surfaces of their own but copied into slots of
// a few large atlas pages, each a column of slots as wide as the font's
// widest printable character and as high as the font. A cell blits its
// glyph's rectangle of a page: the same pixels in the same format, so the
// same result, with the same blitter, as blitting the rendered glyph itself.
// The pages are made like SDL_ttf makes its glyph surfaces and checked to
// match them. Only the pages are ever blitted: SDL 1.2 compatibility layers
// built on SDL2 keep a list of the surfaces blitted to each destination,
// and freeing one of thousands of glyph surfaces there costs a walk of that
// list.

namespace {

struct GlyphAtlas {
    SurfaceCache cache;
    SeenFilter seen;
    uint32_t *shown;  // per cell, a mark of the glyph it missed with last
    bool shown_tried;
    SDL_Surface **pages;
    int32_t npages;
    int slot_w, slot_h;
    int32_t per_page;               // slots in a page
    int32_t slots_made, slots_max;  // slots handed out so far, the most there may be
    CachedSurface loose;            // a slot taken but not filled, handed out first
    Uint32 flags, rmask, gmask, bmask, amask;  // the glyphs' layout, which the pages share
    bool set_up, unusable;
};

GlyphAtlas atlas = {};

double glyph_slot_charge(int w, int h) { return 4.0 * w * h + double(kGlyphSlotOverhead); }

// Whether glyph g is laid out like the glyph the atlas was set up from. (The
// pages are made by the same call as the glyphs, so they also share what
// these fields do not show, such as the surface's own alpha value.)
bool same_layout(const SDL_Surface *g) {
    const SDL_PixelFormat *f = g->format;
    return f->BytesPerPixel == 4 && g->flags == atlas.flags && f->Rmask == atlas.rmask && f->Gmask == atlas.gmask &&
           f->Bmask == atlas.bmask && f->Amask == atlas.amask;
}

// Sizes the slots for the widest and tallest printable character (and the
// glyph in hand), takes the glyphs' layout from g and sets the cap for the
// grid. False when no slot can be made.
bool atlas_set_up(const SDL_Surface *g) {
    atlas.set_up = true;
    const SDL_PixelFormat *f = g->format;
    atlas.flags = g->flags;
    atlas.rmask = f->Rmask;
    atlas.gmask = f->Gmask;
    atlas.bmask = f->Bmask;
    atlas.amask = f->Amask;
    int w = g->w, h = g->h;
    for (int ch = 32; ch <= 126; ++ch) {
        char text[2] = {static_cast<char>(ch), 0};
        int cw = 0, chh = 0;
        if (TTF_SizeText(CC.font, text, &cw, &chh) == 0) {
            if (cw > w) w = cw;
            if (chh > h) h = chh;
        }
    }
    // A page is one slot wide, and slot positions must fit SDL's 16-bit
    // fields. Glyphs without per-pixel alpha are not kept.
    if (w < 1 || h < 1 || w > kMaxSide || h > 32767 || f->BytesPerPixel != 4 || !f->Amask) {
        atlas.unusable = true;
        return false;
    }
    atlas.slot_w = w;
    atlas.slot_h = h;
    double charge = glyph_slot_charge(w, h);
    double slots = 2.0 * CC.count;
    if (slots * charge < double(kGlyphCacheMin)) slots = double(kGlyphCacheMin) / charge;
    if (slots * charge > double(kGlyphCacheMax)) slots = double(kGlyphCacheMax) / charge;
    atlas.slots_max = slots < 1 ? 1 : int32_t(slots);
    int32_t per_page = int32_t(kGlyphPageBytes / (4 * size_t(w) * size_t(h)));
    if (per_page > 32767 / h) per_page = 32767 / h;
    if (per_page > 256) per_page = 256;
    if (per_page < 1) per_page = 1;
    // Whole pages only, so that the pages never hold more than the cap.
    if (atlas.slots_max < per_page) per_page = atlas.slots_max;
    atlas.slots_max -= atlas.slots_max % per_page;
    atlas.per_page = per_page;
    atlas.cache.cap = SIZE_MAX;
    atlas.cache.max_entries = atlas.slots_max;
    atlas.cache.owns_surfaces = false;
    // All the bookkeeping at once: arrays that grew step by step would leave
    // holes in the heap that slow down the allocations of every glyph rendered
    // later.
    if (!cache_reserve(atlas.cache, atlas.slots_max)) {
        atlas.unusable = true;
        return false;
    }
    return true;
}

// A new page made the way SDL_ttf makes its glyph surfaces, in the glyphs'
// layout; null when it cannot be made alike.
SDL_Surface *new_page() {
    SDL_Surface *page = SDL_CreateRGBSurface(SDL_SWSURFACE, atlas.slot_w, atlas.per_page * atlas.slot_h, 32,
                                             atlas.rmask, atlas.gmask, atlas.bmask, atlas.amask);
    if (!page) return nullptr;
    if (!same_layout(page)) {
        SDL_FreeSurface(page);
        return nullptr;
    }
    return page;
}

// A slot for a glyph: a new one while the cap allows, else the least
// recently used glyph's. False when there is none to have.
bool atlas_slot(CachedSurface *slot) {
    if (atlas.loose.surface) {
        *slot = atlas.loose;
        atlas.loose = CachedSurface{};
        return true;
    }
    if (atlas.slots_made < atlas.slots_max) {
        int32_t p = atlas.slots_made / atlas.per_page;
        if (p == atlas.npages) {
            SDL_Surface *page = new_page();
            auto *pages = page ? static_cast<SDL_Surface **>(
                                     realloc(atlas.pages, sizeof(SDL_Surface *) * size_t(atlas.npages + 1)))
                               : nullptr;
            if (!pages) {
                SDL_FreeSurface(page);
                atlas.slots_max = atlas.slots_made;  // no more memory: reuse slots from now on
                return cache_take_oldest(atlas.cache, slot);
            }
            atlas.pages = pages;
            atlas.pages[atlas.npages++] = page;
        }
        slot->surface = atlas.pages[p];
        slot->rect.x = 0;
        slot->rect.y = static_cast<Sint16>((atlas.slots_made % atlas.per_page) * atlas.slot_h);
        ++atlas.slots_made;
        return true;
    }
    return cache_take_oldest(atlas.cache, slot);
}

// Copies glyph g into a slot of the atlas and records it under k.
bool atlas_keep(const CacheKey &k, SDL_Surface *g, CachedSurface *kept) {
    if (atlas.unusable || (!atlas.set_up && !atlas_set_up(g))) return false;
    if (g->w > atlas.slot_w || g->h > atlas.slot_h || !same_layout(g)) return false;
    CachedSurface slot;
    if (!atlas_slot(&slot)) return false;
    SDL_Surface *page = slot.surface;
    bool lock_g = SDL_MUSTLOCK(g), lock_page = SDL_MUSTLOCK(page);
    bool g_locked = !lock_g || SDL_LockSurface(g) == 0;
    bool page_locked = g_locked && (!lock_page || SDL_LockSurface(page) == 0);
    if (!page_locked) {
        if (lock_g && g_locked) SDL_UnlockSurface(g);
        atlas.loose = slot;  // unfilled: the next glyph takes it
        return false;
    }
    auto *to = static_cast<Uint8 *>(page->pixels) + size_t(slot.rect.y) * page->pitch;
    const auto *from = static_cast<const Uint8 *>(g->pixels);
    size_t row = 4 * size_t(g->w);
    if (g->pitch == page->pitch && row == size_t(g->pitch)) {
        memcpy(to, from, row * size_t(g->h));
    } else {
        for (int y = 0; y < g->h; ++y) memcpy(to + size_t(y) * page->pitch, from + size_t(y) * g->pitch, row);
    }
    if (lock_page) SDL_UnlockSurface(page);
    if (lock_g) SDL_UnlockSurface(g);
    slot.rect.w = static_cast<Uint16>(g->w);
    slot.rect.h = static_cast<Uint16>(g->h);
    if (!cache_insert(atlas.cache, k, slot, 0)) {
        atlas.loose = slot;
        return false;
    }
    *kept = slot;
    return true;
}

}  // namespace

bool cell_glyph(int cell, unsigned char ch, SDL_Color fg, CachedSurface *glyph, bool *kept) {
    uint32_t colour;
    memcpy(&colour, &fg, sizeof colour);
    CacheKey k = cache_key(nullptr, uint64_t(colour) << 8 | ch, nullptr, 0);
    if (const CachedSurface *hit = cache_find(atlas.cache, k)) {
        *glyph = *hit;
        *kept = true;
        return true;
    }
    // A glyph is kept when this cell missed with it at the last refresh too
    // (a screen that stays), or when any cell used it lately (a map that
    // scrolls). The marks need not be exact: a false match only keeps a glyph.
    if (!atlas.shown_tried) {
        atlas.shown_tried = true;
        atlas.shown = static_cast<uint32_t *>(calloc(size_t(CC.count), sizeof(uint32_t)));
    }
    bool again = seen_before(atlas.seen, k.hash);
    if (atlas.shown) {
        uint32_t mark = static_cast<uint32_t>(k.hash);
        again = again || atlas.shown[cell] == mark;
        atlas.shown[cell] = mark;
    }
    char text[2] = {static_cast<char>(ch), 0};
    SDL_Surface *g = TTF_RenderText_Blended(CC.font, text, fg);
    if (!g) return false;
    *kept = again && atlas_keep(k, g, glyph);
    if (*kept) {
        SDL_FreeSurface(g);
    } else {
        glyph->surface = g;
        glyph->rect = SDL_Rect{0, 0, static_cast<Uint16>(g->w), static_cast<Uint16>(g->h)};
    }
    return true;
}

void glyph_cache_release() {
    cache_clear(atlas.cache);
    for (int32_t p = 0; p < atlas.npages; ++p) SDL_FreeSurface(atlas.pages[p]);
    free(atlas.pages);
    free(atlas.shown);
    atlas = GlyphAtlas{};
}

// ---------------------------------------------------------------------------
// printFont's texts, per font, text and colour, each its own surface.

namespace {

SurfaceCache texts;
SeenFilter texts_seen;

}  // namespace

size_t text_charge(const SDL_Surface *s, size_t len) {
    return size_t(s->pitch) * size_t(s->h) + len + kTextEntryOverhead;
}

SDL_Surface *text_rendering(TTF_Font *font, const char *text, size_t len, SDL_Color c, bool *kept) {
    *kept = false;
    if (len > kLongText) return TTF_RenderUTF8_Blended(font, text, c);
    uint32_t colour;
    memcpy(&colour, &c, sizeof colour);
    CacheKey k = cache_key(font, colour, text, len);
    if (const CachedSurface *hit = cache_find(texts, k)) {
        *kept = true;
        return hit->surface;
    }
    SDL_Surface *s = TTF_RenderUTF8_Blended(font, text, c);
    if (s && seen_before(texts_seen, k.hash)) {
        if (!texts.cap) {
            texts.cap = kTextCacheCap;
            texts.max_entries = kTextCacheEntries;
            texts.owns_surfaces = true;
            cache_reserve(texts, kTextCacheEntries);
        }
        CachedSurface v = {s, SDL_Rect{0, 0, static_cast<Uint16>(s->w), static_cast<Uint16>(s->h)}};
        *kept = cache_insert(texts, k, v, text_charge(s, len));
    }
    return s;
}

void text_cache_drop_font(TTF_Font *font) { cache_drop_owner(texts, font); }

void text_cache_release() {
    cache_clear(texts);
    texts_seen = SeenFilter{};
}

}  // namespace orvix
