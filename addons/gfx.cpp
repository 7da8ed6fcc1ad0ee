// The ten shape functions of SDL_gfx that orvixcore draws with, written
// here for 32-bit surfaces: Bresenham and Wu lines, the midpoint circle, the
// anti-aliased ellipse, spans for filled circles and a scanline polygon fill.
// Colours are 0xRRGGBBAA; a colour with alpha below 255 is blended per pixel
// with SDL_gfx's integer arithmetic, one with alpha 255 replaces the pixel.
#include "addons.h"

#include <SDL_gfxPrimitives.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace {

inline Uint32 rgba(Uint8 r, Uint8 g, Uint8 b, Uint8 a) {
    return (Uint32(r) << 24) | (Uint32(g) << 16) | (Uint32(b) << 8) | a;
}

// The colour in the target's own layout.
inline Uint32 map(SDL_Surface *dst, Uint32 color) {
    return SDL_MapRGBA(dst->format, Uint8(color >> 24), Uint8(color >> 16), Uint8(color >> 8), Uint8(color));
}

struct Clip {
    int left, top, right, bottom;  // inclusive
    explicit Clip(const SDL_Surface *s)
        : left(s->clip_rect.x), top(s->clip_rect.y), right(s->clip_rect.x + s->clip_rect.w - 1),
          bottom(s->clip_rect.y + s->clip_rect.h - 1) {}
    bool empty() const { return right < left || bottom < top; }
    bool inside(int x, int y) const { return x >= left && x <= right && y >= top && y <= bottom; }
};

inline Uint32 *at(SDL_Surface *s, int x, int y) {
    return reinterpret_cast<Uint32 *>(static_cast<Uint8 *>(s->pixels) + y * s->pitch) + x;
}

// One channel of a blend: the destination moves toward the colour by
// alpha/256, with the wrap-around arithmetic of unsigned 32-bit masks.
inline Uint32 blend_channel(Uint32 dc, Uint32 color, Uint32 mask, Uint32 shift, Uint32 alpha) {
    return ((dc & mask) + (((((color & mask) - (dc & mask)) >> shift) * alpha >> 8) << shift)) & mask;
}

// The alpha a blended pixel gains on a surface with an alpha channel: the
// destination's alpha OR-ed with sqrt(255 * alpha), which keeps translucent
// shapes visible on transparent ground.
struct AlphaAdjust {
    Uint8 v[256];
    AlphaAdjust() {
        for (int i = 0; i < 256; ++i) v[i] = Uint8(std::sqrt(double(i * 255)));
    }
};
const AlphaAdjust alpha_adjust;

// Blends a mapped colour into one pixel that lies inside the clip rectangle.
inline void blend(SDL_Surface *dst, Uint32 *p, Uint32 mapped, Uint32 alpha) {
    if (alpha == 255) {
        *p = mapped;
        return;
    }
    const SDL_PixelFormat *f = dst->format;
    Uint32 dc = *p;
    Uint32 v = blend_channel(dc, mapped, f->Rmask, f->Rshift, alpha) |
               blend_channel(dc, mapped, f->Gmask, f->Gshift, alpha) |
               blend_channel(dc, mapped, f->Bmask, f->Bshift, alpha);
    if (f->Amask) v |= (dc & f->Amask) | ((Uint32(alpha_adjust.v[alpha]) << f->Ashift) & f->Amask);
    *p = v;
}

// A pixel of colour 0xRRGGBBAA, blended by its alpha, dropped outside the clip.
void pixel(SDL_Surface *dst, int x, int y, Uint32 color) {
    if (!Clip(dst).inside(x, y)) return;
    blend(dst, at(dst, x, y), map(dst, color), color & 255);
}

// The same with the alpha scaled by a weight of 0 to 255 (anti-aliasing).
void pixel_weight(SDL_Surface *dst, int x, int y, Uint32 color, Uint32 weight) {
    Uint32 a = ((color & 255) * weight) >> 8;
    pixel(dst, x, y, (color & 0xFFFFFF00) | a);
}

// A rectangle of pixels, corners inclusive and already clipped.
void fill_clipped(SDL_Surface *dst, int x1, int y1, int x2, int y2, Uint32 color) {
    Uint32 mapped = map(dst, color), alpha = color & 255;
    for (int y = y1; y <= y2; ++y) {
        Uint32 *p = at(dst, x1, y);
        for (int x = x1; x <= x2; ++x, ++p) blend(dst, p, mapped, alpha);
    }
}

// The pixels between two corners given in any order, clipped.
int fill_rect(SDL_Surface *dst, int x1, int y1, int x2, int y2, Uint32 color) {
    Clip c(dst);
    if (c.empty()) return 0;
    if (x1 > x2) std::swap(x1, x2);
    if (y1 > y2) std::swap(y1, y2);
    if (x2 < c.left || x1 > c.right || y2 < c.top || y1 > c.bottom) return 0;
    fill_clipped(dst, std::max(x1, c.left), std::max(y1, c.top), std::min(x2, c.right), std::min(y2, c.bottom), color);
    return 0;
}

int hline(SDL_Surface *dst, int x1, int x2, int y, Uint32 color) { return fill_rect(dst, x1, y, x2, y, color); }
int vline(SDL_Surface *dst, int x, int y1, int y2, Uint32 color) { return fill_rect(dst, x, y1, x, y2, color); }

// Cohen-Sutherland clipping to the clip rectangle, with SDL_gfx's
// single-precision slope. False when nothing of the line is visible.
enum { kLeft = 1, kRight = 2, kBottom = 4, kTop = 8 };

int clip_code(int x, int y, const Clip &c) {
    int code = 0;
    if (x < c.left) code |= kLeft;
    else if (x > c.right) code |= kRight;
    if (y < c.top) code |= kTop;
    else if (y > c.bottom) code |= kBottom;
    return code;
}

bool clip_line(SDL_Surface *dst, Sint16 *x1, Sint16 *y1, Sint16 *x2, Sint16 *y2) {
    Clip c(dst);
    for (;;) {
        int code1 = clip_code(*x1, *y1, c), code2 = clip_code(*x2, *y2, c);
        if (!(code1 | code2)) return true;
        if (code1 & code2) return false;
        if (!code1) {
            std::swap(*x1, *x2);
            std::swap(*y1, *y2);
            std::swap(code1, code2);
        }
        float m = (*x2 != *x1) ? float(*y2 - *y1) / float(*x2 - *x1) : 1.0f;
        if (code1 & kLeft) {
            *y1 = Sint16(*y1 + Sint16(float(c.left - *x1) * m));
            *x1 = Sint16(c.left);
        } else if (code1 & kRight) {
            *y1 = Sint16(*y1 + Sint16(float(c.right - *x1) * m));
            *x1 = Sint16(c.right);
        } else if (code1 & kBottom) {
            if (*x2 != *x1) *x1 = Sint16(*x1 + Sint16(float(c.bottom - *y1) / m));
            *y1 = Sint16(c.bottom);
        } else if (code1 & kTop) {
            if (*x2 != *x1) *x1 = Sint16(*x1 + Sint16(float(c.top - *y1) / m));
            *y1 = Sint16(c.top);
        }
    }
}

int line(SDL_Surface *dst, Sint16 x1, Sint16 y1, Sint16 x2, Sint16 y2, Uint32 color) {
    if (Clip(dst).empty() || !clip_line(dst, &x1, &y1, &x2, &y2)) return 0;
    if (x1 == x2) {
        if (y1 == y2) pixel(dst, x1, y1, color);
        else vline(dst, x1, y1, y2, color);
        return 0;
    }
    if (y1 == y2) return hline(dst, x1, x2, y1, color);

    int dx = x2 - x1, dy = y2 - y1;
    int sx = dx >= 0 ? 1 : -1, sy = dy >= 0 ? 1 : -1;
    if ((color & 255) == 255) {
        // Opaque: the classic Bresenham walk along the longer axis, both
        // end points included.
        Uint32 mapped = map(dst, color);
        int ax = sx * dx + 1, ay = sy * dy + 1;
        int px = x1, py = y1;
        bool xmajor = ax >= ay;
        int major = xmajor ? ax : ay, minor = xmajor ? ay : ax;
        int err = 0;
        for (int i = 0; i < major; ++i) {
            *at(dst, px, py) = mapped;
            if (xmajor) px += sx; else py += sy;
            err += minor;
            if (err >= major) {
                err -= major;
                if (xmajor) py += sy; else px += sx;
            }
        }
        return 0;
    }
    // Translucent: a midpoint walk that blends each pixel once.
    int ax = std::abs(dx) << 1, ay = std::abs(dy) << 1;
    int x = x1, y = y1;
    bool xmajor = ax > ay;
    int &major = xmajor ? x : y, &minor = xmajor ? y : x;
    int end = xmajor ? x2 : y2, amaj = xmajor ? ax : ay, amin = xmajor ? ay : ax;
    int smaj = xmajor ? sx : sy, smin = xmajor ? sy : sx;
    int d = amin - (amaj >> 1);
    while (major != end) {
        pixel(dst, x, y, color);
        // Ties step the minor axis only when the major one runs forward.
        if (d > 0 || (d == 0 && smaj == 1)) {
            minor += smin;
            d -= amaj;
        }
        major += smaj;
        d += amin;
    }
    pixel(dst, x, y, color);
    return 0;
}

// Wu's anti-aliased line with an 8-bit intensity taken from a 32-bit error
// accumulator; the end point is drawn when asked for (polygon edges leave it
// to the next edge).
int aaline(SDL_Surface *dst, Sint16 x1, Sint16 y1, Sint16 x2, Sint16 y2, Uint32 color, bool draw_endpoint) {
    if (Clip(dst).empty() || !clip_line(dst, &x1, &y1, &x2, &y2)) return 0;
    int xx0 = x1, yy0 = y1, xx1 = x2, yy1 = y2;
    if (yy0 > yy1) {
        std::swap(xx0, xx1);
        std::swap(yy0, yy1);
    }
    int dx = xx1 - xx0, dy = yy1 - yy0;
    if (dx == 0) {
        if (draw_endpoint) return vline(dst, x1, y1, y2, color);
        if (dy > 0) return vline(dst, x1, yy0, yy0 + dy, color);
        pixel(dst, x1, y1, color);
        return 0;
    }
    if (dy == 0) {
        if (draw_endpoint) return hline(dst, x1, x2, y1, color);
        if (dx > 0) return hline(dst, xx0, xx0 + dx, y1, color);
        pixel(dst, x1, y1, color);
        return 0;
    }
    if (dx == dy && draw_endpoint) return line(dst, x1, y1, x2, y2, color);

    int xdir = 1;
    if (dx < 0) {
        xdir = -1;
        dx = -dx;
    }
    Uint32 erracc = 0;
    pixel(dst, x1, y1, color);
    if (dy > dx) {
        Uint32 erradj = (Uint32(dx << 16) / Uint32(dy)) << 16;
        int x0pxdir = xx0 + xdir;
        while (--dy) {
            Uint32 before = erracc;
            erracc += erradj;
            if (erracc <= before) {
                xx0 = x0pxdir;
                x0pxdir += xdir;
            }
            yy0++;
            Uint32 wgt = (erracc >> 24) & 255;
            pixel_weight(dst, xx0, yy0, color, 255 - wgt);
            pixel_weight(dst, x0pxdir, yy0, color, wgt);
        }
    } else {
        Uint32 erradj = (Uint32(dy << 16) / Uint32(dx)) << 16;
        int y0p1 = yy0 + 1;
        while (--dx) {
            Uint32 before = erracc;
            erracc += erradj;
            if (erracc <= before) {
                yy0 = y0p1;
                y0p1++;
            }
            xx0 += xdir;
            Uint32 wgt = (erracc >> 24) & 255;
            pixel_weight(dst, xx0, yy0, color, 255 - wgt);
            pixel_weight(dst, xx0, y0p1, color, wgt);
        }
    }
    if (draw_endpoint) pixel(dst, x2, y2, color);
    return 0;
}

// Whether a shape's bounding box misses the clip rectangle entirely.
bool box_outside(SDL_Surface *dst, int x1, int y1, int x2, int y2) {
    Clip c(dst);
    return c.empty() || x2 < c.left || x1 > c.right || y2 < c.top || y1 > c.bottom;
}

int box(SDL_Surface *dst, Sint16 x1, Sint16 y1, Sint16 x2, Sint16 y2, Uint32 color) {
    if (x1 == x2 && y1 == y2) {
        pixel(dst, x1, y1, color);
        return 0;
    }
    return fill_rect(dst, x1, y1, x2, y2, color);
}

int rectangle(SDL_Surface *dst, Sint16 x1, Sint16 y1, Sint16 x2, Sint16 y2, Uint32 color) {
    if (Clip(dst).empty()) return 0;
    if (x1 == x2) {
        if (y1 == y2) pixel(dst, x1, y1, color);
        else vline(dst, x1, y1, y2, color);
        return 0;
    }
    if (y1 == y2) return hline(dst, x1, x2, y1, color);
    if (x1 > x2) std::swap(x1, x2);
    if (y1 > y2) std::swap(y1, y2);
    hline(dst, x1, x2, y1, color);
    hline(dst, x1, x2, y2, color);
    if (y1 + 1 <= y2 - 1) {
        vline(dst, x1, y1 + 1, y2 - 1, color);
        vline(dst, x2, y1 + 1, y2 - 1, color);
    }
    return 0;
}

// One step of the midpoint circle from the top (cx 0, cy rad) down to the
// diagonal: x always advances, y when the error says so.
inline void midpoint_step(int &cx, int &cy, int &df, int &d_e, int &d_se) {
    if (df < 0) {
        df += d_e;
        d_e += 2;
        d_se += 2;
    } else {
        df += d_se;
        d_e += 2;
        d_se += 4;
        cy--;
    }
    cx++;
}

// The midpoint circle: eight symmetric points per step, each drawn once.
int circle(SDL_Surface *dst, Sint16 x, Sint16 y, Sint16 rad, Uint32 color) {
    if (Clip(dst).empty()) return 0;
    if (rad < 0) return -1;
    if (rad == 0) {
        pixel(dst, x, y, color);
        return 0;
    }
    if (box_outside(dst, x - rad, y - rad, x + rad, y + rad)) return 0;
    int cx = 0, cy = rad, df = 1 - rad, d_e = 3, d_se = -2 * rad + 5;
    do {
        int ypcy = y + cy, ymcy = y - cy;
        if (cx > 0) {
            pixel(dst, x - cx, ypcy, color);
            pixel(dst, x + cx, ypcy, color);
            pixel(dst, x - cx, ymcy, color);
            pixel(dst, x + cx, ymcy, color);
        } else {
            pixel(dst, x, ymcy, color);
            pixel(dst, x, ypcy, color);
        }
        int xpcy = x + cy, xmcy = x - cy;
        if (cx > 0 && cx != cy) {
            pixel(dst, xmcy, y + cx, color);
            pixel(dst, xpcy, y + cx, color);
            pixel(dst, xmcy, y - cx, color);
            pixel(dst, xpcy, y - cx, color);
        } else if (cx == 0) {
            pixel(dst, xmcy, y, color);
            pixel(dst, xpcy, y, color);
        }
        midpoint_step(cx, cy, df, d_e, d_se);
    } while (cx <= cy);
    return 0;
}

// A filled circle as horizontal spans, each row drawn once.
int filled_circle(SDL_Surface *dst, Sint16 x, Sint16 y, Sint16 rad, Uint32 color) {
    if (Clip(dst).empty()) return 0;
    if (rad < 0) return -1;
    if (rad == 0) {
        pixel(dst, x, y, color);
        return 0;
    }
    if (box_outside(dst, x - rad, y - rad, x + rad, y + rad)) return 0;
    int cx = 0, cy = rad, ocx = -1, ocy = -1, df = 1 - rad, d_e = 3, d_se = -2 * rad + 5;
    do {
        int xpcx = x + cx, xmcx = x - cx, xpcy = x + cy, xmcy = x - cy;
        if (ocy != cy) {
            if (cy > 0) {
                hline(dst, xmcx, xpcx, y + cy, color);
                hline(dst, xmcx, xpcx, y - cy, color);
            } else {
                hline(dst, xmcx, xpcx, y, color);
            }
            ocy = cy;
        }
        if (ocx != cx) {
            if (cx != cy) {
                if (cx > 0) {
                    hline(dst, xmcy, xpcy, y - cx, color);
                    hline(dst, xmcy, xpcy, y + cx, color);
                } else {
                    hline(dst, xmcy, xpcy, y, color);
                }
            }
            ocx = cx;
        }
        midpoint_step(cx, cy, df, d_e, d_se);
    } while (cx <= cy);
    return 0;
}

// The anti-aliased ellipse: two walks, first along x over the flat part,
// then along y over the steep part, weighting each pixel by the error.
int aaellipse(SDL_Surface *dst, Sint16 x, Sint16 y, Sint16 rx, Sint16 ry, Uint32 color) {
    if (Clip(dst).empty()) return 0;
    if (rx < 0 || ry < 0) return -1;
    if (rx == 0) return vline(dst, x, y - ry, y + ry, color);
    if (ry == 0) return hline(dst, x - rx, x + rx, y, color);
    if (box_outside(dst, x - rx, y - ry, x + rx, y + ry)) return 0;

    int a2 = rx * rx, b2 = ry * ry;
    int ds = 2 * a2, dt = 2 * b2;
    int xc2 = 2 * x, yc2 = 2 * y;
    double sab = std::sqrt(double(a2 + b2));
    int od = int(Sint16(std::lrint(sab * 0.01))) + 1;
    int dxt = int(Sint16(std::lrint(double(a2) / sab))) + od;
    int t = 0, s = -2 * a2 * ry, d = 0;
    int xp = x, yp = y - ry, xs, ys;

    pixel(dst, xp, yp, color);
    pixel(dst, xc2 - xp, yp, color);
    pixel(dst, xp, yc2 - yp, color);
    pixel(dst, xc2 - xp, yc2 - yp, color);

    for (int i = 1; i <= dxt; i++) {
        xp--;
        d += t - b2;
        if (d >= 0) {
            ys = yp - 1;
        } else if ((d - s - a2) > 0) {
            if ((2 * d - s - a2) >= 0) {
                ys = yp + 1;
            } else {
                ys = yp;
                yp++;
                d -= s + a2;
                s += ds;
            }
        } else {
            yp++;
            ys = yp + 1;
            d -= s + a2;
            s += ds;
        }
        t -= dt;
        float cp = 1.0f;
        if (s != 0) {
            cp = float(std::abs(d)) / float(std::abs(s));
            if (cp > 1.0f) cp = 1.0f;
        }
        Uint32 weight = Uint8(cp * 255), iweight = 255 - weight;
        int xx = xc2 - xp;
        pixel_weight(dst, xp, yp, color, iweight);
        pixel_weight(dst, xx, yp, color, iweight);
        pixel_weight(dst, xp, ys, color, weight);
        pixel_weight(dst, xx, ys, color, weight);
        int yy = yc2 - yp;
        pixel_weight(dst, xp, yy, color, iweight);
        pixel_weight(dst, xx, yy, color, iweight);
        yy = yc2 - ys;
        pixel_weight(dst, xp, yy, color, weight);
        pixel_weight(dst, xx, yy, color, weight);
    }

    int dyt = int(Sint16(std::lrint(double(b2) / sab))) + od;
    for (int i = 1; i <= dyt; i++) {
        yp++;
        d -= s + a2;
        if (d <= 0) {
            xs = xp + 1;
        } else if ((d + t - b2) < 0) {
            if ((2 * d + t - b2) <= 0) {
                xs = xp - 1;
            } else {
                xs = xp;
                xp--;
                d += t - b2;
                t -= dt;
            }
        } else {
            xp--;
            xs = xp - 1;
            d += t - b2;
            t -= dt;
        }
        s += ds;
        float cp = 1.0f;
        if (t != 0) {
            cp = float(std::abs(d)) / float(std::abs(t));
            if (cp > 1.0f) cp = 1.0f;
        }
        Uint32 weight = Uint8(cp * 255), iweight = 255 - weight;
        int xx = xc2 - xp, yy = yc2 - yp;
        pixel_weight(dst, xp, yp, color, iweight);
        pixel_weight(dst, xx, yp, color, iweight);
        pixel_weight(dst, xp, yy, color, iweight);
        pixel_weight(dst, xx, yy, color, iweight);
        xx = xc2 - xs;
        pixel_weight(dst, xs, yp, color, weight);
        pixel_weight(dst, xx, yp, color, weight);
        pixel_weight(dst, xs, yy, color, weight);
        pixel_weight(dst, xx, yy, color, weight);
    }
    return 0;
}

// Scanline fill of a triangle: edge crossings in 16.16 fixed point, sorted,
// joined pairwise by spans rounded inward.
int filled_trigon(SDL_Surface *dst, const Sint16 *vx, const Sint16 *vy, Uint32 color) {
    const int n = 3;
    int miny = vy[0], maxy = vy[0];
    for (int i = 1; i < n; i++) {
        if (vy[i] < miny) miny = vy[i];
        else if (vy[i] > maxy) maxy = vy[i];
    }
    int ints[n];
    for (int y = miny; y <= maxy; y++) {
        int count = 0;
        for (int i = 0; i < n; i++) {
            int ind1 = i ? i - 1 : n - 1, ind2 = i;
            int y1 = vy[ind1], y2 = vy[ind2], x1, x2;
            if (y1 < y2) {
                x1 = vx[ind1];
                x2 = vx[ind2];
            } else if (y1 > y2) {
                y2 = vy[ind1];
                y1 = vy[ind2];
                x2 = vx[ind1];
                x1 = vx[ind2];
            } else {
                continue;
            }
            if ((y >= y1 && y < y2) || (y == maxy && y > y1 && y <= y2))
                ints[count++] = ((65536 * (y - y1)) / (y2 - y1)) * (x2 - x1) + (65536 * x1);
        }
        // At most three crossings: an insertion sort.
        for (int i = 1; i < count; ++i)
            for (int j = i; j > 0 && ints[j - 1] > ints[j]; --j) std::swap(ints[j - 1], ints[j]);
        for (int i = 0; i + 1 < count; i += 2) {
            int xa = ints[i] + 1;
            xa = (xa >> 16) + ((xa & 32768) >> 15);
            int xb = ints[i + 1] - 1;
            xb = (xb >> 16) + ((xb & 32768) >> 15);
            hline(dst, xa, xb, y, color);
        }
    }
    return 0;
}

// Shapes need pixels to draw on.
inline bool drawable(SDL_Surface *dst) { return dst && dst->pixels && dst->format->BytesPerPixel == 4; }

}  // namespace

extern "C" {

int lineRGBA(SDL_Surface *dst, Sint16 x1, Sint16 y1, Sint16 x2, Sint16 y2, Uint8 r, Uint8 g, Uint8 b, Uint8 a) {
    return drawable(dst) ? line(dst, x1, y1, x2, y2, rgba(r, g, b, a)) : -1;
}

int aalineRGBA(SDL_Surface *dst, Sint16 x1, Sint16 y1, Sint16 x2, Sint16 y2, Uint8 r, Uint8 g, Uint8 b, Uint8 a) {
    return drawable(dst) ? aaline(dst, x1, y1, x2, y2, rgba(r, g, b, a), true) : -1;
}

int rectangleRGBA(SDL_Surface *dst, Sint16 x1, Sint16 y1, Sint16 x2, Sint16 y2, Uint8 r, Uint8 g, Uint8 b,
                  Uint8 a) {
    return drawable(dst) ? rectangle(dst, x1, y1, x2, y2, rgba(r, g, b, a)) : -1;
}

int boxRGBA(SDL_Surface *dst, Sint16 x1, Sint16 y1, Sint16 x2, Sint16 y2, Uint8 r, Uint8 g, Uint8 b, Uint8 a) {
    return drawable(dst) ? box(dst, x1, y1, x2, y2, rgba(r, g, b, a)) : -1;
}

int circleRGBA(SDL_Surface *dst, Sint16 x, Sint16 y, Sint16 rad, Uint8 r, Uint8 g, Uint8 b, Uint8 a) {
    return drawable(dst) ? circle(dst, x, y, rad, rgba(r, g, b, a)) : -1;
}

int aacircleRGBA(SDL_Surface *dst, Sint16 x, Sint16 y, Sint16 rad, Uint8 r, Uint8 g, Uint8 b, Uint8 a) {
    return drawable(dst) ? aaellipse(dst, x, y, rad, rad, rgba(r, g, b, a)) : -1;
}

int filledCircleRGBA(SDL_Surface *dst, Sint16 x, Sint16 y, Sint16 rad, Uint8 r, Uint8 g, Uint8 b, Uint8 a) {
    return drawable(dst) ? filled_circle(dst, x, y, rad, rgba(r, g, b, a)) : -1;
}

int trigonRGBA(SDL_Surface *dst, Sint16 x1, Sint16 y1, Sint16 x2, Sint16 y2, Sint16 x3, Sint16 y3, Uint8 r, Uint8 g,
               Uint8 b, Uint8 a) {
    if (!drawable(dst)) return -1;
    Uint32 c = rgba(r, g, b, a);
    line(dst, x1, y1, x2, y2, c);
    line(dst, x2, y2, x3, y3, c);
    line(dst, x3, y3, x1, y1, c);
    return 0;
}

int aatrigonRGBA(SDL_Surface *dst, Sint16 x1, Sint16 y1, Sint16 x2, Sint16 y2, Sint16 x3, Sint16 y3, Uint8 r,
                 Uint8 g, Uint8 b, Uint8 a) {
    if (!drawable(dst)) return -1;
    Uint32 c = rgba(r, g, b, a);
    // Each edge leaves out its end point, which the next edge starts with.
    aaline(dst, x1, y1, x2, y2, c, false);
    aaline(dst, x2, y2, x3, y3, c, false);
    aaline(dst, x3, y3, x1, y1, c, false);
    return 0;
}

int filledTrigonRGBA(SDL_Surface *dst, Sint16 x1, Sint16 y1, Sint16 x2, Sint16 y2, Sint16 x3, Sint16 y3, Uint8 r,
                     Uint8 g, Uint8 b, Uint8 a) {
    if (!drawable(dst)) return -1;
    Sint16 vx[3] = {x1, x2, x3}, vy[3] = {y1, y2, y3};
    return filled_trigon(dst, vx, vy, rgba(r, g, b, a));
}

}  // extern "C"
