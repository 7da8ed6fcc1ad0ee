// Sprite work for orvixcore.extra: a surface's size, parts of sprite sheets,
// faded blits, turned, scaled and mirrored copies, pixels read back, and
// clip rectangles.
#include "args.h"
#include "functions.h"
#include "handles.h"
#include "state.h"
#include "surfaces.h"

#include <SDL_rotozoom.h>

#include <cmath>
#include <cstring>

namespace orvix {

namespace {

SDL_Surface *arg_surface(lua_State *L, int i) { return static_cast<SDL_Surface *>(arg_handle(L, i, Kind::Surface)); }

int push_nil(lua_State *L) {
    lua_pushnil(L);
    return 1;
}

// Surfaces handed to scripts, and the window, have 32-bit pixels with 8-bit
// channels; a channel is read by its mask alone.
inline Uint8 channel(Uint32 p, Uint32 mask, Uint8 shift) { return Uint8((p & mask) >> shift); }

inline Uint32 *pixel_row(const SDL_Surface *s, int y) {
    return reinterpret_cast<Uint32 *>(static_cast<Uint8 *>(s->pixels) + y * s->pitch);
}

bool four_bytes(const SDL_Surface *s) { return s->format->BytesPerPixel == 4 && s->pixels; }

// Locks a surface for direct access where SDL needs it; unlocks at the end
// of the scope. Nothing in such a scope may raise a Lua error.
struct Locked {
    SDL_Surface *s;
    bool ok;
    explicit Locked(SDL_Surface *surface) : s(surface), ok(!SDL_MUSTLOCK(surface) || SDL_LockSurface(surface) == 0) {}
    ~Locked() {
        if (ok && SDL_MUSTLOCK(s)) SDL_UnlockSurface(s);
    }
    Locked(const Locked &) = delete;
    Locked &operator=(const Locked &) = delete;
};

// The part of a blit that lands, clipped the way SDL_UpperBlit clips: the
// source rectangle to the source, then the destination to the target's clip
// rectangle, moving the source corner along.
struct Span {
    int sx, sy, dx, dy, w, h;
};

bool clip_blit(const SDL_Surface *src, const SDL_Surface *dst, int dx, int dy, Span *out) {
    int sx = 0, sy = 0, w = src->w, h = src->h;
    const SDL_Rect &c = dst->clip_rect;
    int skip = c.x - dx;
    if (skip > 0) {
        w -= skip;
        dx += skip;
        sx += skip;
    }
    int over = dx + w - c.x - c.w;
    if (over > 0) w -= over;
    skip = c.y - dy;
    if (skip > 0) {
        h -= skip;
        dy += skip;
        sy += skip;
    }
    over = dy + h - c.y - c.h;
    if (over > 0) h -= over;
    *out = {sx, sy, dx, dy, w, h};
    return w > 0 && h > 0;
}

// Per-pixel alpha blending with the source's alpha scaled by `alpha` (1 to
// 254), with the arithmetic of SDL's own alpha blits: each channel moves
// from the target's value toward the source's by a/256, rounded down, and
// the target keeps its alpha.
void blend_scaled(SDL_Surface *src, SDL_Surface *dst, const Span &sp, Uint32 alpha) {
    const SDL_PixelFormat *sf = src->format, *df = dst->format;
    for (int y = 0; y < sp.h; ++y) {
        const Uint32 *s = pixel_row(src, sp.sy + y) + sp.sx;
        Uint32 *d = pixel_row(dst, sp.dy + y) + sp.dx;
        for (int x = 0; x < sp.w; ++x) {
            Uint32 sp_ = s[x];
            int a = sf->Amask ? int((channel(sp_, sf->Amask, sf->Ashift) * alpha + 127) / 255) : int(alpha);
            if (!a) continue;
            Uint32 dp = d[x];
            int sr = channel(sp_, sf->Rmask, sf->Rshift), sg = channel(sp_, sf->Gmask, sf->Gshift),
                sb = channel(sp_, sf->Bmask, sf->Bshift);
            int dr = channel(dp, df->Rmask, df->Rshift), dg = channel(dp, df->Gmask, df->Gshift),
                db = channel(dp, df->Bmask, df->Bshift);
            dr += ((sr - dr) * a) >> 8;
            dg += ((sg - dg) * a) >> 8;
            db += ((sb - db) * a) >> 8;
            d[x] = (Uint32(dr) << df->Rshift) | (Uint32(dg) << df->Gshift) | (Uint32(db) << df->Bshift) |
                   (dp & df->Amask);
        }
    }
}

// A new surface handed to the script starts without a clip rectangle,
// whatever the surface it was made from had.
SDL_Surface *new_handle_from(SDL_Surface *made) {
    SDL_Surface *s = made ? display_copy(made) : nullptr;
    if (s) SDL_SetClipRect(s, nullptr);
    return s;
}

// A new handle in the layout of the handle `like`, with the pixels of a
// 32-bit surface made outside the handle record (SDL_gfx's results), copied
// row by row. SDL's own conversion is no use here: SDL_gfx makes its results
// two rows taller and then shortens them in the surface record, which the
// SDL2-based SDL 1.2 library does not see, and it gives them a colour key of
// 0, which that library's conversion turns into transparency for opaque
// black. Made in the layout directly: a conversion of a blank surface would
// cost as much as the turning itself.
SDL_Surface *handle_with_pixels(SDL_Surface *from, const SDL_Surface *like) {
    const SDL_PixelFormat *layout = like->format;
    if (from->format->BytesPerPixel != 4 || !from->pixels || layout->BytesPerPixel != 4) return nullptr;
    SDL_Surface *s = SDL_CreateRGBSurface(SDL_SWSURFACE | SDL_SRCALPHA, from->w, from->h, 32, layout->Rmask,
                                          layout->Gmask, layout->Bmask, layout->Amask);
    if (!s) return nullptr;
    handle_add(s, Kind::Surface);
    const SDL_PixelFormat *ff = from->format, *sf = s->format;
    bool same = ff->Rmask == sf->Rmask && ff->Gmask == sf->Gmask && ff->Bmask == sf->Bmask && ff->Amask == sf->Amask;
    Locked lf(from), ls(s);
    if (lf.ok && ls.ok)
        for (int y = 0; y < s->h; ++y) {
            const Uint32 *a = pixel_row(from, y);
            Uint32 *b = pixel_row(s, y);
            if (same) {
                memcpy(b, a, size_t(s->w) * 4);
                continue;
            }
            for (int x = 0; x < s->w; ++x) {
                Uint32 p = a[x];
                Uint32 alpha = ff->Amask ? channel(p, ff->Amask, ff->Ashift) : 255;
                b[x] = (Uint32(channel(p, ff->Rmask, ff->Rshift)) << sf->Rshift) |
                       (Uint32(channel(p, ff->Gmask, ff->Gshift)) << sf->Gshift) |
                       (Uint32(channel(p, ff->Bmask, ff->Bshift)) << sf->Bshift) | ((alpha << sf->Ashift) & sf->Amask);
            }
        }
    return s;
}

}  // namespace

int l_surfSize(lua_State *L) {
    SDL_Surface *s = arg_surface(L, 1);
    if (!s) return push_nil(L);
    lua_pushnumber(L, s->w);
    lua_pushnumber(L, s->h);
    return 2;
}

int l_blitPart(lua_State *L) {
    SDL_Surface *src = arg_surface(L, 1);
    SDL_Rect part = {arg_s16(L, 2), arg_s16(L, 3), arg_u16(L, 4), arg_u16(L, 5)};
    SDL_Rect at = {arg_s16(L, 6), arg_s16(L, 7), 0, 0};
    SDL_Surface *dst = arg_target(L, 8);
    if (src && dst) SDL_UpperBlit(src, &part, dst, &at);
    return 0;
}

int l_blitAlpha(lua_State *L) {
    SDL_Surface *src = arg_surface(L, 1);
    int x = arg_s16(L, 2), y = arg_s16(L, 3);
    int alpha = arg_int(L, 4);
    SDL_Surface *dst = arg_target(L, 5);
    if (!src || !dst || alpha <= 0) return 0;
    // Full strength is a plain blit, by SDL's own blitter.
    if (alpha >= 255) {
        SDL_Rect r = {Sint16(x), Sint16(y), 0, 0};
        SDL_UpperBlit(src, nullptr, dst, &r);
        return 0;
    }
    Span sp;
    if (!four_bytes(src) || !four_bytes(dst) || !clip_blit(src, dst, x, y, &sp)) return 0;
    Locked ls(src), ld(dst);
    if (ls.ok && ld.ok) blend_scaled(src, dst, sp, Uint32(alpha));
    return 0;
}

int l_rotozoom(lua_State *L) {
    SDL_Surface *src = arg_surface(L, 1);
    double angle = lua_tonumber(L, 2), zoom = lua_tonumber(L, 3);
    int smooth = lua_toboolean(L, 4) ? SMOOTHING_ON : SMOOTHING_OFF;
    if (!src) return push_nil(L);
    if (!display_running()) return fail(L, "rotozoom: no display is running");
    if (!std::isfinite(angle) || !std::isfinite(zoom)) return fail(L, "rotozoom: angle and zoom must be finite numbers");
    if (!src->w || !src->h) return fail(L, "rotozoom: the surface has no pixels");
    // The turned box is at most (w + h) * zoom on each side: anything near
    // the int range is refused before SDL_gfx sizes it.
    int w = 0, h = 0;
    if (std::fabs(zoom) * (double(src->w) + src->h) < 65536.0) rotozoomSurfaceSize(src->w, src->h, angle, zoom, &w, &h);
    if (w < 1 || h < 1 || w > kMaxSide || h > 32767) return fail(L, "rotozoom: the result would be larger than a surface can be");
    SDL_Surface *made = rotozoomSurface(src, angle, zoom, smooth);
    SDL_Surface *s = made ? handle_with_pixels(made, src) : nullptr;
    SDL_FreeSurface(made);
    return s ? push_surface(L, s) : fail(L, "rotozoom: out of memory");
}

int l_mirror(lua_State *L) {
    SDL_Surface *src = arg_surface(L, 1);
    bool horizontal = lua_toboolean(L, 2), vertical = lua_toboolean(L, 3);
    if (!src) return push_nil(L);
    if (!display_running()) return fail(L, "mirror: no display is running");
    SDL_Surface *s = new_handle_from(src);
    if (!s) return fail(L, "mirror: out of memory");
    if (four_bytes(s)) {
        Locked lock(s);
        if (lock.ok) {
            if (horizontal)
                for (int y = 0; y < s->h; ++y) {
                    Uint32 *row = pixel_row(s, y);
                    for (int a = 0, b = s->w - 1; a < b; ++a, --b) {
                        Uint32 t = row[a];
                        row[a] = row[b];
                        row[b] = t;
                    }
                }
            if (vertical)
                for (int a = 0, b = s->h - 1; a < b; ++a, --b) {
                    Uint32 *ra = pixel_row(s, a), *rb = pixel_row(s, b);
                    for (int x = 0; x < s->w; ++x) {
                        Uint32 t = ra[x];
                        ra[x] = rb[x];
                        rb[x] = t;
                    }
                }
        }
    }
    return push_surface(L, s);
}

int l_getPixel(lua_State *L) {
    SDL_Surface *s = arg_surface(L, 1);
    // Positions are read whole, not narrowed: 65536 is outside, not column 0.
    int x = arg_int(L, 2), y = arg_int(L, 3);
    if (!s || !four_bytes(s) || x < 0 || y < 0 || x >= s->w || y >= s->h) return push_nil(L);
    Uint32 p;
    {
        Locked lock(s);
        if (!lock.ok) return push_nil(L);
        p = pixel_row(s, y)[x];
    }
    const SDL_PixelFormat *f = s->format;
    lua_pushnumber(L, channel(p, f->Rmask, f->Rshift));
    lua_pushnumber(L, channel(p, f->Gmask, f->Gshift));
    lua_pushnumber(L, channel(p, f->Bmask, f->Bshift));
    lua_pushnumber(L, f->Amask ? channel(p, f->Amask, f->Ashift) : 255);
    return 4;
}

int l_setClip(lua_State *L) {
    SDL_Surface *dst = arg_target(L, 1);
    if (!dst) return 0;
    if (lua_isnoneornil(L, 2)) {
        SDL_SetClipRect(dst, nullptr);
        return 0;
    }
    // Cut to the target here: the SDL2-based SDL 1.2 library would keep a
    // rectangle outside the target with a negative width, which reaches the
    // 16-bit field that SDL_gfx and blitAlpha read as a huge one. An empty
    // clip is the empty rectangle at the origin.
    int x = arg_s16(L, 2), y = arg_s16(L, 3);
    int x0 = x > 0 ? x : 0, y0 = y > 0 ? y : 0;
    int x1 = x + arg_u16(L, 4), y1 = y + arg_u16(L, 5);
    if (x1 > dst->w) x1 = dst->w;
    if (y1 > dst->h) y1 = dst->h;
    SDL_Rect r = {0, 0, 0, 0};
    if (x1 > x0 && y1 > y0) r = {Sint16(x0), Sint16(y0), Uint16(x1 - x0), Uint16(y1 - y0)};
    SDL_SetClipRect(dst, &r);
    return 0;
}

}  // namespace orvix
