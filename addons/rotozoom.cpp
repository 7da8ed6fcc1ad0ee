// SDL_gfx's rotozoomSurface and rotozoomSurfaceSize, written here for
// 32-bit surfaces with SDL_gfx's own arithmetic: the turned box's size from
// sine and cosine in floating point, then 16.16 fixed-point steps through the
// source, nearest pixel or bilinear with 8-bit channels; at an angle of at
// most 0.001 degrees a plain zoom with precomputed row and column steps. The
// result has two guard rows below its height and per-pixel alpha, as
// SDL_gfx's has.
#include "addons.h"

#include <SDL_rotozoom.h>

#include <cmath>
#include <cstdlib>
#include <utility>

namespace {

constexpr double kValueLimit = 0.001;
constexpr int kGuardRows = 2;

// One pixel as four bytes; the arithmetic is the same for every channel, so
// which byte holds which colour does not matter.
struct Px {
    Uint8 c[4];
};

void size_trig(int width, int height, double angle, double zoom, int *dstwidth, int *dstheight, double *canglezoom,
               double *sanglezoom) {
    double radangle = angle * (M_PI / 180.0);
    *sanglezoom = std::sin(radangle);
    *canglezoom = std::cos(radangle);
    *sanglezoom *= zoom;
    *canglezoom *= zoom;
    double x = double(width / 2);
    double y = double(height / 2);
    double cx = *canglezoom * x;
    double cy = *canglezoom * y;
    double sx = *sanglezoom * x;
    double sy = *sanglezoom * y;
    int half_w = int(std::ceil(std::fmax(std::fmax(std::fmax(std::fabs(cx + sy), std::fabs(cx - sy)), std::fabs(-cx + sy)),
                                         std::fabs(-cx - sy))));
    int half_h = int(std::ceil(std::fmax(std::fmax(std::fmax(std::fabs(sx + cy), std::fabs(sx - cy)), std::fabs(-sx + cy)),
                                         std::fabs(-sx - cy))));
    if (half_w < 1) half_w = 1;
    if (half_h < 1) half_h = 1;
    *dstwidth = 2 * half_w;
    *dstheight = 2 * half_h;
}

void zoom_size(int width, int height, double zoom, int *dstwidth, int *dstheight) {
    if (zoom < 0) zoom = -zoom;
    if (zoom < kValueLimit) zoom = kValueLimit;
    *dstwidth = int(std::floor(double(width) * zoom + 0.5));
    *dstheight = int(std::floor(double(height) * zoom + 0.5));
    if (*dstwidth < 1) *dstwidth = 1;
    if (*dstheight < 1) *dstheight = 1;
}

inline Px *row(SDL_Surface *s, int y) { return reinterpret_cast<Px *>(static_cast<Uint8 *>(s->pixels) + y * s->pitch); }

// Bilinear mix of four pixels by the fractions ex, ey (0 to 0xFFFF), with
// each step truncated to 8 bits as SDL_gfx does.
inline Px mix(const Px &c00, const Px &c01, const Px &c10, const Px &c11, int ex, int ey) {
    Px out;
    for (int i = 0; i < 4; ++i) {
        int t1 = ((((c01.c[i] - c00.c[i]) * ex) >> 16) + c00.c[i]) & 0xff;
        int t2 = ((((c11.c[i] - c10.c[i]) * ex) >> 16) + c10.c[i]) & 0xff;
        out.c[i] = Uint8((((t2 - t1) * ey) >> 16) + t1);
    }
    return out;
}

// 32-bit arithmetic that wraps, as SDL_gfx's int arithmetic does on the
// machines it runs on, without C++'s undefined signed overflow.
inline int wrap(Uint32 v) { return int(v); }
inline int mul(int a, int b) { return wrap(Uint32(a) * Uint32(b)); }
inline int add(int a, int b) { return wrap(Uint32(a) + Uint32(b)); }
inline int sub(int a, int b) { return wrap(Uint32(a) - Uint32(b)); }

void transform(SDL_Surface *src, SDL_Surface *dst, int cx, int cy, int isin, int icos, bool flipx, bool flipy,
               bool smooth) {
    int xd = mul(src->w - dst->w, 1 << 15);
    int yd = mul(src->h - dst->h, 1 << 15);
    int ax = sub(mul(cx, 1 << 16), mul(icos, cx));
    int ay = sub(mul(cy, 1 << 16), mul(isin, cx));
    int sw = src->w - 1, sh = src->h - 1;
    for (int y = 0; y < dst->h; ++y) {
        Px *pc = row(dst, y);
        int dy = cy - y;
        int sdx = add(add(ax, mul(isin, dy)), xd);
        int sdy = add(sub(ay, mul(icos, dy)), yd);
        for (int x = 0; x < dst->w; ++x, ++pc, sdx = add(sdx, icos), sdy = add(sdy, isin)) {
            if (smooth) {
                int px = sdx >> 16, py = sdy >> 16;
                if (flipx) px = sw - px;
                if (flipy) py = sh - py;
                if (px > -1 && py > -1 && px < sw && py < sh) {
                    const Px *sp = row(src, py) + px;
                    const Px *below = row(src, py + 1) + px;
                    Px c00 = sp[0], c01 = sp[1], c10 = below[0], c11 = below[1];
                    if (flipx) {
                        std::swap(c00, c01);
                        std::swap(c10, c11);
                    }
                    if (flipy) {
                        std::swap(c00, c10);
                        std::swap(c01, c11);
                    }
                    *pc = mix(c00, c01, c10, c11, sdx & 0xffff, sdy & 0xffff);
                }
            } else {
                int px = Sint16(sdx >> 16), py = Sint16(sdy >> 16);
                if (flipx) px = sw - px;
                if (flipy) py = sh - py;
                if (px >= 0 && py >= 0 && px < src->w && py < src->h) *pc = row(src, py)[px];
            }
        }
    }
}

// The step of one axis in 16.16: a float division as SDL_gfx writes it. A
// destination one pixel across divides by zero there, which x86 turns into
// INT_MIN; the same value is taken here without the division.
int axis_step(int src_size, int dst_size, bool smooth) {
    float num = smooth ? float(src_size - 1) : float(src_size);
    float den = smooth ? float(dst_size - 1) : float(dst_size);
    if (den == 0.0f) return INT32_MIN;
    double v = 65536.0 * double(num / den);
    if (!(v < 2147483648.0) || !(v >= -2147483648.0)) return INT32_MIN;
    return int(v);
}

// The source positions of each destination column or row (n + 1 of them),
// capped at the source's last position.
bool steps(int src_size, int dst_size, bool smooth, int **out) {
    int *t = static_cast<int *>(malloc(sizeof(int) * size_t(dst_size + 1)));
    if (!t) return false;
    int step = axis_step(src_size, dst_size, smooth);
    int cap = (src_size << 16) - 1;
    int pos = 0;
    for (int i = 0; i <= dst_size; ++i) {
        t[i] = pos;
        pos = int(unsigned(pos) + unsigned(step));
        if (pos > cap) pos = cap;
    }
    *out = t;
    return true;
}

bool zoom_pixels(SDL_Surface *src, SDL_Surface *dst, bool flipx, bool flipy, bool smooth) {
    int *sax, *say;
    if (!steps(src->w, dst->w, smooth, &sax)) return false;
    if (!steps(src->h, dst->h, smooth, &say)) {
        free(sax);
        return false;
    }
    int spixelw = src->w - 1, spixelh = src->h - 1;
    int gap = src->pitch / 4;
    // Positions as offsets in pixels from the first pixel, so that a step
    // that runs outside the source (which SDL_gfx takes only after its last
    // read) never forms a pointer there.
    long base = 0;
    if (flipx) base += spixelw;
    if (flipy) base += long(gap) * spixelh;
    const Px *pixels = static_cast<const Px *>(src->pixels);
    long sp = base;
    for (int y = 0; y < dst->h; ++y) {
        long csp = sp;
        Px *dp = row(dst, y);
        for (int x = 0; x < dst->w; ++x, ++dp) {
            if (smooth) {
                int ex = sax[x] & 0xffff, ey = say[y] & 0xffff;
                int cx = sax[x] >> 16, cy = say[y] >> 16;
                long c00 = sp, c01 = sp, c10 = sp;
                if (cy < spixelh) c10 += flipy ? -gap : gap;
                long c11 = c10;
                if (cx < spixelw) {
                    c01 += flipx ? -1 : 1;
                    c11 += flipx ? -1 : 1;
                }
                *dp = mix(pixels[c00], pixels[c01], pixels[c10], pixels[c11], ex, ey);
            } else {
                *dp = pixels[sp];
            }
            int sstep = (sax[x + 1] >> 16) - (sax[x] >> 16);
            sp += flipx ? -sstep : sstep;
        }
        long sstep = long((say[y + 1] >> 16) - (say[y] >> 16)) * gap;
        sp = flipy ? csp - sstep : csp + sstep;
    }
    free(sax);
    free(say);
    return true;
}

}  // namespace

extern "C" {

void rotozoomSurfaceSize(int width, int height, double angle, double zoom, int *dstwidth, int *dstheight) {
    if (zoom < 0) zoom = -zoom;
    if (zoom < kValueLimit) zoom = kValueLimit;
    double c, s;
    size_trig(width, height, angle, zoom, dstwidth, dstheight, &c, &s);
}

SDL_Surface *rotozoomSurface(SDL_Surface *src, double angle, double zoom, int smooth) {
    if (!src || src->format->BitsPerPixel != 32 || !src->pixels) return nullptr;
    bool flip = zoom < 0.0;
    if (flip) zoom = -zoom;
    if (zoom < kValueLimit) zoom = kValueLimit;
    const SDL_PixelFormat *f = src->format;
    int w, h;
    SDL_Surface *dst;
    if (std::fabs(angle) > kValueLimit) {
        double c, s;
        size_trig(src->w, src->h, angle, zoom, &w, &h, &c, &s);
        double zoominv = 65536.0 / (zoom * zoom);
        dst = SDL_CreateRGBSurface(SDL_SWSURFACE, w, h + kGuardRows, 32, f->Rmask, f->Gmask, f->Bmask, f->Amask);
        if (!dst) return nullptr;
        dst->h = h;
        transform(src, dst, w / 2, h / 2, int(s * zoominv), int(c * zoominv), flip, flip, smooth != 0);
    } else {
        zoom_size(src->w, src->h, zoom, &w, &h);
        dst = SDL_CreateRGBSurface(SDL_SWSURFACE, w, h + kGuardRows, 32, f->Rmask, f->Gmask, f->Bmask, f->Amask);
        if (!dst) return nullptr;
        dst->h = h;
        if (!zoom_pixels(src, dst, flip, flip, smooth != 0)) {
            SDL_FreeSurface(dst);
            return nullptr;
        }
    }
    dst->flags |= SDL_SRCALPHA;
    return dst;
}

}  // extern "C"
