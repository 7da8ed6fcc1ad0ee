// Surfaces in plain memory: pixel formats, creation and conversion, colour
// mapping, fills and blits, with SDL 1.2's own arithmetic so that a frame
// comes out with the same pixels as natively.
//
// Every surface here is 32 bits per pixel with 8-bit channels: the display
// (XRGB), the display format with alpha (ARGB), rendered text (ARGB) and
// decoded images. Other depths are refused at creation.
#include "backend.h"

#ifdef __wasm_simd128__
#include <wasm_simd128.h>
#endif

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace orw {

SDL_Surface *video_surface = nullptr;

namespace {

// Shift and loss of one channel mask (SDL_AllocFormat's loops).
void mask_shape(Uint32 mask, Uint8 *shift, Uint8 *loss) {
    *shift = 0;
    *loss = 8;
    if (!mask) return;
    while (!(mask & 1)) { mask >>= 1; ++*shift; }
    while (mask & 1) { mask >>= 1; --*loss; }
}

SDL_PixelFormat *alloc_format(Uint32 rmask, Uint32 gmask, Uint32 bmask, Uint32 amask) {
    SDL_PixelFormat *f = static_cast<SDL_PixelFormat *>(calloc(1, sizeof(SDL_PixelFormat)));
    if (!f) return nullptr;
    f->alpha = SDL_ALPHA_OPAQUE;
    f->BitsPerPixel = 32;
    f->BytesPerPixel = 4;
    if (!rmask && !gmask && !bmask) {
        // No colour masks: SDL's standard layout, red highest. The alpha mask
        // asked for is then not part of the format.
        rmask = 0x00FF0000;
        gmask = 0x0000FF00;
        bmask = 0x000000FF;
        amask = 0;
    }
    mask_shape(rmask, &f->Rshift, &f->Rloss);
    mask_shape(gmask, &f->Gshift, &f->Gloss);
    mask_shape(bmask, &f->Bshift, &f->Bloss);
    mask_shape(amask, &f->Ashift, &f->Aloss);
    // A format without alpha keeps Aloss 0, as SDL leaves it.
    if (!amask) f->Aloss = 0;
    f->Rmask = rmask;
    f->Gmask = gmask;
    f->Bmask = bmask;
    f->Amask = amask;
    return f;
}

inline void get_rgba(Uint32 p, const SDL_PixelFormat *f, unsigned *r, unsigned *g, unsigned *b, unsigned *a) {
    *r = (p & f->Rmask) >> f->Rshift;
    *g = (p & f->Gmask) >> f->Gshift;
    *b = (p & f->Bmask) >> f->Bshift;
    *a = f->Amask ? (p & f->Amask) >> f->Ashift : f->alpha;
}

inline Uint32 put_rgba(const SDL_PixelFormat *f, unsigned r, unsigned g, unsigned b, unsigned a) {
    return (r << f->Rshift) | (g << f->Gshift) | (b << f->Bshift) | ((a << f->Ashift) & f->Amask);
}

inline bool same_rgb(const SDL_PixelFormat *a, const SDL_PixelFormat *b) {
    return a->Rmask == b->Rmask && a->Gmask == b->Gmask && a->Bmask == b->Bmask;
}

inline Uint32 *row(SDL_Surface *s, int y) {
    return reinterpret_cast<Uint32 *>(static_cast<Uint8 *>(s->pixels) + y * s->pitch);
}

// Per-pixel alpha over a destination with the same colour layout, with
// 0xFF000000 as the source's alpha: SDL's fast path. The destination keeps
// its own alpha byte; two channels are blended in one multiply.
void blend_argb(SDL_Surface *src, int sx, int sy, SDL_Surface *dst, int dx, int dy, int w, int h) {
    for (int y = 0; y < h; ++y) {
        const Uint32 *s = row(src, sy + y) + sx;
        Uint32 *d = row(dst, dy + y) + dx;
        int x = 0;
#ifdef __wasm_simd128__
        // Four pixels at a time with the same arithmetic, lane by lane (an
        // alpha of 0 leaves a pixel as it is through it too); opaque ones
        // are copied instead.
        const v128_t rb = wasm_i32x4_splat(0xFF00FF), g = wasm_i32x4_splat(0xFF00);
        const v128_t a_mask = wasm_i32x4_splat(int(0xFF000000u)), rgb = wasm_i32x4_splat(0xFFFFFF);
        for (; x + 4 <= w; x += 4) {
            v128_t sp = wasm_v128_load(s + x);
            v128_t alpha = wasm_u32x4_shr(sp, 24);
            // Four clear pixels (a glyph's background) leave the row as it is.
            if (!wasm_v128_any_true(alpha)) continue;
            v128_t dp = wasm_v128_load(d + x);
            v128_t copied = wasm_v128_or(wasm_v128_and(sp, rgb), wasm_v128_and(dp, a_mask));
            v128_t opaque = wasm_i32x4_eq(alpha, wasm_i32x4_splat(SDL_ALPHA_OPAQUE));
            // Four opaque pixels (a picture's inside) are copied.
            if (wasm_i32x4_all_true(opaque)) {
                wasm_v128_store(d + x, copied);
                continue;
            }
            v128_t d1 = wasm_v128_and(dp, rb), s1 = wasm_v128_and(sp, rb);
            d1 = wasm_v128_and(wasm_i32x4_add(d1, wasm_u32x4_shr(wasm_i32x4_mul(wasm_i32x4_sub(s1, d1), alpha), 8)), rb);
            v128_t d2 = wasm_v128_and(dp, g), s2 = wasm_v128_and(sp, g);
            d2 = wasm_v128_and(wasm_i32x4_add(d2, wasm_u32x4_shr(wasm_i32x4_mul(wasm_i32x4_sub(s2, d2), alpha), 8)), g);
            v128_t blended = wasm_v128_or(wasm_v128_or(d1, d2), wasm_v128_and(dp, a_mask));
            wasm_v128_store(d + x, wasm_v128_bitselect(copied, blended, opaque));
        }
#endif
        for (; x < w; ++x) {
            Uint32 sp = s[x];
            Uint32 alpha = sp >> 24;
            if (!alpha) continue;
            if (alpha == SDL_ALPHA_OPAQUE) {
                d[x] = (sp & 0x00FFFFFF) | (d[x] & 0xFF000000);
                continue;
            }
            Uint32 dp = d[x];
            Uint32 dalpha = dp & 0xFF000000;
            Uint32 s1 = sp & 0xFF00FF, d1 = dp & 0xFF00FF;
            d1 = (d1 + ((s1 - d1) * alpha >> 8)) & 0xFF00FF;
            sp &= 0xFF00;
            dp &= 0xFF00;
            dp = (dp + ((sp - dp) * alpha >> 8)) & 0xFF00;
            d[x] = d1 | dp | dalpha;
        }
    }
}

// Per-pixel alpha between any two layouts: SDL's general blender, which
// rounds up where the fast path rounds down. The destination keeps its alpha.
void blend_any(SDL_Surface *src, int sx, int sy, SDL_Surface *dst, int dx, int dy, int w, int h) {
    const SDL_PixelFormat *sf = src->format, *df = dst->format;
    for (int y = 0; y < h; ++y) {
        const Uint32 *s = row(src, sy + y) + sx;
        Uint32 *d = row(dst, dy + y) + dx;
        for (int x = 0; x < w; ++x) {
            unsigned sR, sG, sB, sA, dR, dG, dB, dA;
            get_rgba(s[x], sf, &sR, &sG, &sB, &sA);
            if (!sA) continue;
            get_rgba(d[x], df, &dR, &dG, &dB, &dA);
            dR = ((((int)sR - (int)dR) * (int)sA + 255) >> 8) + dR;
            dG = ((((int)sG - (int)dG) * (int)sA + 255) >> 8) + dG;
            dB = ((((int)sB - (int)dB) * (int)sA + 255) >> 8) + dB;
            d[x] = put_rgba(df, dR & 0xFF, dG & 0xFF, dB & 0xFF, dA);
        }
    }
}

// A plain copy. Identical layouts copy whole rows; otherwise each pixel is
// taken apart and put together in the destination's layout, a source
// without alpha giving its surface alpha (255).
void copy_pixels(SDL_Surface *src, int sx, int sy, SDL_Surface *dst, int dx, int dy, int w, int h) {
    const SDL_PixelFormat *sf = src->format, *df = dst->format;
    bool identical = same_rgb(sf, df) && sf->Amask == df->Amask;
    for (int y = 0; y < h; ++y) {
        const Uint32 *s = row(src, sy + y) + sx;
        Uint32 *d = row(dst, dy + y) + dx;
        if (identical) {
            memmove(d, s, static_cast<size_t>(w) * 4);
            continue;
        }
        for (int x = 0; x < w; ++x) {
            unsigned r, g, b, a;
            get_rgba(s[x], sf, &r, &g, &b, &a);
            d[x] = put_rgba(df, r, g, b, a);
        }
    }
}

// One axis of a blit: a run of len pixels from s in a source of size pixels
// lands at d; the target's clip spans span pixels from lo. The run is cut to
// both, moving the start in step.
void clip_axis(int &s, int &len, int &d, int size, int lo, int span) {
    if (s < 0) {
        len += s;
        d -= s;
        s = 0;
    }
    if (size - s < len) len = size - s;
    int skip = lo - d;
    if (skip > 0) {
        len -= skip;
        d += skip;
        s += skip;
    }
    int over = d + len - lo - span;
    if (over > 0) len -= over;
}

bool intersect(const SDL_Rect *a, const SDL_Rect *b, SDL_Rect *out) {
    int x0 = a->x > b->x ? a->x : b->x;
    int y0 = a->y > b->y ? a->y : b->y;
    int x1 = (a->x + a->w < b->x + b->w) ? a->x + a->w : b->x + b->w;
    int y1 = (a->y + a->h < b->y + b->h) ? a->y + a->h : b->y + b->h;
    out->x = static_cast<Sint16>(x0);
    out->y = static_cast<Sint16>(y0);
    out->w = static_cast<Uint16>(x1 > x0 ? x1 - x0 : 0);
    out->h = static_cast<Uint16>(y1 > y0 ? y1 - y0 : 0);
    return x1 > x0 && y1 > y0;
}

}  // namespace

SDL_Surface *make_surface(int w, int h, Uint32 rmask, Uint32 gmask, Uint32 bmask, Uint32 amask) {
    // The pitch is a 16-bit byte count.
    if (w < 0 || h < 0 || w > 16383 || h > 65535) {
        SDL_SetError("Out of memory");
        return nullptr;
    }
    SDL_Surface *s = static_cast<SDL_Surface *>(calloc(1, sizeof(SDL_Surface)));
    if (!s) return nullptr;
    s->format = alloc_format(rmask, gmask, bmask, amask);
    if (!s->format) {
        free(s);
        return nullptr;
    }
    s->flags = SDL_SWSURFACE;
    if (amask) s->flags |= SDL_SRCALPHA;
    s->w = w;
    s->h = h;
    s->pitch = static_cast<Uint16>(w * 4);
    if (w && h) {
        s->pixels = calloc(static_cast<size_t>(h), static_cast<size_t>(w) * 4);
        if (!s->pixels) {
            free(s->format);
            free(s);
            SDL_SetError("Out of memory");
            return nullptr;
        }
    }
    s->clip_rect.w = static_cast<Uint16>(w);
    s->clip_rect.h = static_cast<Uint16>(h);
    s->refcount = 1;
    return s;
}

}  // namespace orw

using orw::video_surface;

extern "C" {

static char error_text[256];

void SDL_SetError(const char *fmt, ...) {
    va_list ap;
    va_start(ap, fmt);
    vsnprintf(error_text, sizeof error_text, fmt, ap);
    va_end(ap);
}

char *SDL_GetError(void) { return error_text; }

void SDL_ClearError(void) { error_text[0] = 0; }

SDL_Surface *SDL_CreateRGBSurface(Uint32 flags, int width, int height, int depth, Uint32 Rmask, Uint32 Gmask,
                                  Uint32 Bmask, Uint32 Amask) {
    if (depth != 32) {
        SDL_SetError("Only 32-bit surfaces are supported");
        return nullptr;
    }
    SDL_Surface *s = orw::make_surface(width, height, Rmask, Gmask, Bmask, Amask);
    // As in SDL, asking for an alpha mask turns on alpha blending for the
    // surface even when no colour masks (and so no alpha channel) are given.
    if (s && Amask) s->flags |= SDL_SRCALPHA;
    (void)flags;
    return s;
}

void SDL_FreeSurface(SDL_Surface *s) {
    if (!s || s == video_surface) return;
    if (--s->refcount > 0) return;
    free(s->pixels);
    free(s->format);
    free(s);
}

Uint32 SDL_MapRGB(const SDL_PixelFormat *const f, const Uint8 r, const Uint8 g, const Uint8 b) {
    return static_cast<Uint32>((r >> f->Rloss) << f->Rshift | (g >> f->Gloss) << f->Gshift |
                               (b >> f->Bloss) << f->Bshift | f->Amask);
}

Uint32 SDL_MapRGBA(const SDL_PixelFormat *const f, const Uint8 r, const Uint8 g, const Uint8 b, const Uint8 a) {
    return static_cast<Uint32>((r >> f->Rloss) << f->Rshift | (g >> f->Gloss) << f->Gshift |
                               (b >> f->Bloss) << f->Bshift | ((a >> f->Aloss) << f->Ashift & f->Amask));
}

int SDL_LockSurface(SDL_Surface *s) {
    if (!s) return -1;
    ++s->locked;
    return 0;
}

void SDL_UnlockSurface(SDL_Surface *s) {
    if (s && s->locked) --s->locked;
}

SDL_bool SDL_SetClipRect(SDL_Surface *s, const SDL_Rect *rect) {
    if (!s) return SDL_FALSE;
    SDL_Rect full = {0, 0, static_cast<Uint16>(s->w), static_cast<Uint16>(s->h)};
    if (!rect) {
        s->clip_rect = full;
        return SDL_TRUE;
    }
    return orw::intersect(rect, &full, &s->clip_rect) ? SDL_TRUE : SDL_FALSE;
}

int SDL_FillRect(SDL_Surface *dst, SDL_Rect *dstrect, Uint32 color) {
    if (!dst) return -1;
    if (dstrect) {
        if (!orw::intersect(dstrect, &dst->clip_rect, dstrect)) return 0;
    } else {
        dstrect = &dst->clip_rect;
    }
    const int w = dstrect->w;
    for (int y = 0; y < dstrect->h; ++y) {
        Uint32 *d = orw::row(dst, dstrect->y + y) + dstrect->x;
        int x = 0;
#ifdef __wasm_simd128__
        const v128_t c = wasm_i32x4_splat(static_cast<int>(color));
        for (; x + 4 <= w; x += 4) wasm_v128_store(d + x, c);
#endif
        for (; x < w; ++x) d[x] = color;
    }
    return 0;
}

int SDL_UpperBlit(SDL_Surface *src, SDL_Rect *srcrect, SDL_Surface *dst, SDL_Rect *dstrect) {
    if (!src || !dst) {
        SDL_SetError("SDL_UpperBlit: passed a NULL surface");
        return -1;
    }
    if (src->locked || dst->locked) {
        SDL_SetError("Surfaces must not be locked during blit");
        return -1;
    }
    SDL_Rect fulldst;
    if (!dstrect) {
        fulldst.x = fulldst.y = 0;
        dstrect = &fulldst;
    }
    // Clip the source rectangle to the source, then the destination to the
    // target's clip rectangle, moving the source corner along.
    int srcx = srcrect ? srcrect->x : 0, w = srcrect ? srcrect->w : src->w;
    int srcy = srcrect ? srcrect->y : 0, h = srcrect ? srcrect->h : src->h;
    int dx = dstrect->x, dy = dstrect->y;
    orw::clip_axis(srcx, w, dx, src->w, dst->clip_rect.x, dst->clip_rect.w);
    orw::clip_axis(srcy, h, dy, src->h, dst->clip_rect.y, dst->clip_rect.h);
    dstrect->x = static_cast<Sint16>(dx);
    dstrect->y = static_cast<Sint16>(dy);

    if (w <= 0 || h <= 0) {
        dstrect->w = dstrect->h = 0;
        return 0;
    }
    dstrect->w = static_cast<Uint16>(w);
    dstrect->h = static_cast<Uint16>(h);
    if (!src->pixels || !dst->pixels) return 0;

    const SDL_PixelFormat *sf = src->format, *df = dst->format;
    bool alpha_blit = (src->flags & SDL_SRCALPHA) && sf->Amask;
    if (!alpha_blit) {
        orw::copy_pixels(src, srcx, srcy, dst, dstrect->x, dstrect->y, w, h);
    } else if (orw::same_rgb(sf, df) && sf->Amask == 0xFF000000) {
        orw::blend_argb(src, srcx, srcy, dst, dstrect->x, dstrect->y, w, h);
    } else {
        orw::blend_any(src, srcx, srcy, dst, dstrect->x, dstrect->y, w, h);
    }
    return 0;
}

SDL_Surface *SDL_ConvertSurface(SDL_Surface *src, SDL_PixelFormat *fmt, Uint32 flags) {
    if (!src || !fmt) return nullptr;
    SDL_Surface *out = orw::make_surface(src->w, src->h, fmt->Rmask, fmt->Gmask, fmt->Bmask, fmt->Amask);
    if (!out) return nullptr;
    // The pixels are copied as they are, alpha channel included: blending
    // plays no part in a conversion.
    if (src->pixels && out->pixels) orw::copy_pixels(src, 0, 0, out, 0, 0, src->w, src->h);
    SDL_SetClipRect(out, &src->clip_rect);
    if (src->flags & SDL_SRCALPHA) {
        out->flags |= SDL_SRCALPHA;
        // A surface with an alpha channel blends by it; its surface alpha
        // is not used and SDL leaves 0 there.
        if (fmt->Amask) out->format->alpha = 0;
    } else if (!fmt->Amask) {
        out->flags &= ~static_cast<Uint32>(SDL_SRCALPHA);
    }
    (void)flags;
    return out;
}

SDL_Surface *SDL_DisplayFormatAlpha(SDL_Surface *surface) {
    if (!video_surface) {
        SDL_SetError("No video mode has been set");
        return nullptr;
    }
    // ARGB, unless the display keeps blue in the high byte.
    Uint32 amask = 0xFF000000, rmask = 0x00FF0000, gmask = 0x0000FF00, bmask = 0x000000FF;
    const SDL_PixelFormat *vf = video_surface->format;
    if (vf->Rmask == 0xFF && vf->Bmask == 0xFF0000) {
        rmask = 0xFF;
        bmask = 0xFF0000;
    }
    SDL_PixelFormat fmt = {};
    fmt.Rmask = rmask;
    fmt.Gmask = gmask;
    fmt.Bmask = bmask;
    fmt.Amask = amask;
    return SDL_ConvertSurface(surface, &fmt, surface->flags & SDL_SRCALPHA);
}

}  // extern "C"
