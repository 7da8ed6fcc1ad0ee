// The browser backend's surfaces and the add-ons' shapes and text against the
// real SDL 1.2, SDL_gfx and SDL_ttf: the same calls on the same pixels must
// give the same pixels, so that a game looks the same in the browser as
// natively.
#include "backend.h"
#include "reference.h"

#include <SDL_gfxPrimitives.h>
#include <SDL_rotozoom.h>
#include <SDL_ttf.h>
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace {

constexpr Uint32 kARGB[4] = {0x00FF0000, 0x0000FF00, 0x000000FF, 0xFF000000};
constexpr Uint32 kXRGB[4] = {0x00FF0000, 0x0000FF00, 0x000000FF, 0};
constexpr Uint32 kRGBA[4] = {0x000000FF, 0x0000FF00, 0x00FF0000, 0xFF000000};  // what image loaders give

// The display both sides convert to: 32-bit XRGB, as SDL sets it up.
SDL_Surface *own_screen() {
    static SDL_Surface *s = [] {
        SDL_Surface *screen = orw::make_surface(64, 48, 0x00FF0000, 0x0000FF00, 0x000000FF, 0);
        orw::video_surface = screen;
        return screen;
    }();
    return s;
}

// Deterministic pixel content: every channel value, alpha 0 and 255 often.
Uint32 pattern(int i, Uint32 seed) {
    Uint32 v = Uint32(i) * 2654435761u ^ seed;
    v ^= v >> 13;
    v *= 0x5bd1e995;
    v ^= v >> 15;
    Uint32 a = v >> 24;
    if (a < 64) a = 0;
    else if (a > 192) a = 255;
    return (v & 0x00FFFFFF) | (a << 24);
}

// A surface made on both sides, with the same masks and the same pixels.
struct Both {
    SDL_Surface *own, *ref;
    Both(int w, int h, const Uint32 *m, Uint32 seed, bool blank = false) {
        own = SDL_CreateRGBSurface(SDL_SWSURFACE, w, h, 32, m[0], m[1], m[2], m[3]);
        ref = ref::sdl().CreateRGBSurface(SDL_SWSURFACE, w, h, 32, m[0], m[1], m[2], m[3]);
        if (!blank) {
            for (int i = 0; i < w * h; ++i) {
                Uint32 v = pattern(i, seed);
                static_cast<Uint32 *>(own->pixels)[i] = v;
                static_cast<Uint32 *>(ref->pixels)[i] = v;
            }
        }
    }
    ~Both() {
        SDL_FreeSurface(own);
        ref::sdl().FreeSurface(ref);
    }
};

// Pixels that differ between two surfaces of the same size, with the first
// few listed for the failure message.
struct Diff {
    int count = 0;
    std::string where;
};

Diff compare(const SDL_Surface *a, const SDL_Surface *b, Uint32 mask = 0xFFFFFFFF) {
    Diff d;
    if (a->w != b->w || a->h != b->h) {
        d.count = -1;
        d.where = "sizes " + std::to_string(a->w) + "x" + std::to_string(a->h) + " and " + std::to_string(b->w) +
                  "x" + std::to_string(b->h);
        return d;
    }
    for (int y = 0; y < a->h; ++y)
        for (int x = 0; x < a->w; ++x) {
            Uint32 p = reinterpret_cast<const Uint32 *>(static_cast<const Uint8 *>(a->pixels) + y * a->pitch)[x];
            Uint32 q = reinterpret_cast<const Uint32 *>(static_cast<const Uint8 *>(b->pixels) + y * b->pitch)[x];
            if ((p & mask) == (q & mask)) continue;
            if (++d.count <= 5) {
                char buf[80];
                snprintf(buf, sizeof buf, " (%d,%d) %08x/%08x", x, y, p, q);
                d.where += buf;
            }
        }
    return d;
}

// ---------------------------------------------------------------------------
// Surfaces: creation, conversion, colour mapping, fills and blits.

TEST(WebSurfaces, MappingAndConversionMatchSDL) {
    own_screen();
    ref::SDL &r = ref::sdl();
    struct Case {
        const char *name;
        const Uint32 *masks;
        Uint32 create_amask;  // what makeSurf-like callers pass
    } cases[] = {{"ARGB", kARGB, 0xFF000000}, {"RGBA from an image", kRGBA, 0xFF000000}, {"XRGB", kXRGB, 0}};
    for (const Case &c : cases) {
        Both src(13, 7, c.masks, 11);
        SDL_Surface *own = SDL_DisplayFormatAlpha(src.own);
        SDL_Surface *rf = r.DisplayFormatAlpha(src.ref);
        ASSERT_TRUE(own && rf) << c.name;
        EXPECT_EQ(own->format->Amask, rf->format->Amask) << c.name;
        EXPECT_EQ(own->format->Rmask, rf->format->Rmask) << c.name;
        EXPECT_EQ(own->flags & SDL_SRCALPHA, rf->flags & SDL_SRCALPHA) << c.name;
        Diff d = compare(own, rf);
        EXPECT_EQ(d.count, 0) << c.name << d.where;
        for (Uint8 v : {0, 1, 127, 128, 255})
            EXPECT_EQ(SDL_MapRGBA(own->format, v, 255 - v, v / 2, v), r.MapRGBA(rf->format, v, 255 - v, v / 2, v));
        SDL_FreeSurface(own);
        r.FreeSurface(rf);
    }
    // A blank surface asked for with an alpha mask but no colour masks, as
    // makeSurf asks: its conversion gives the same pixels and flags.
    SDL_Surface *own_blank = SDL_CreateRGBSurface(SDL_HWSURFACE | SDL_SRCALPHA, 9, 5, 32, 0, 0, 0, 0xFF);
    SDL_Surface *ref_blank = r.CreateRGBSurface(SDL_HWSURFACE | SDL_SRCALPHA, 9, 5, 32, 0, 0, 0, 0xFF);
    SDL_Surface *own = SDL_DisplayFormatAlpha(own_blank), *rf = r.DisplayFormatAlpha(ref_blank);
    EXPECT_EQ(own->flags & SDL_SRCALPHA, rf->flags & SDL_SRCALPHA);
    EXPECT_EQ(compare(own, rf).count, 0) << compare(own, rf).where;
    for (Uint8 v : {0, 200, 255}) EXPECT_EQ(SDL_MapRGB(own_screen()->format, v, v, 1), r.MapRGB(r.screen->format, v, v, 1));
    SDL_FreeSurface(own);
    r.FreeSurface(rf);
    SDL_FreeSurface(own_blank);
    r.FreeSurface(ref_blank);
}

TEST(WebSurfaces, BlitsAndFillsMatchSDL) {
    ref::SDL &r = ref::sdl();
    // Alpha sources over opaque and alpha targets; plain copies; positions
    // that clip on every side.
    struct Case {
        const char *name;
        const Uint32 *src, *dst;
    } formats[] = {{"ARGB on XRGB", kARGB, kXRGB}, {"ARGB on ARGB", kARGB, kARGB}, {"XRGB on ARGB", kXRGB, kARGB},
                   {"XRGB on XRGB", kXRGB, kXRGB}, {"RGBA on XRGB", kRGBA, kXRGB}};
    const int positions[][2] = {{3, 4}, {-5, -3}, {30, 20}, {-40, 0}, {0, 100}};
    for (const Case &f : formats) {
        for (const auto &pos : positions) {
            Both src(17, 11, f.src, 5), dst(32, 24, f.dst, 9);
            SDL_Rect a = {Sint16(pos[0]), Sint16(pos[1]), 0, 0}, b = a;
            SDL_UpperBlit(src.own, nullptr, dst.own, &a);
            r.UpperBlit(src.ref, nullptr, dst.ref, &b);
            // The rectangle comes back clipped the same way.
            EXPECT_EQ(a.x, b.x);
            EXPECT_EQ(a.y, b.y);
            EXPECT_EQ(a.w, b.w);
            EXPECT_EQ(a.h, b.h);
            // Bits outside the target's channels are padding, not colour.
            Uint32 mask = f.dst[0] | f.dst[1] | f.dst[2] | f.dst[3];
            Diff d = compare(dst.own, dst.ref, mask);
            EXPECT_EQ(d.count, 0) << f.name << " at " << pos[0] << "," << pos[1] << d.where;
        }
    }
    // Fills: whole surface, a rectangle clipped at the corner, an empty one.
    const SDL_Rect rects[] = {{0, 0, 0, 0}, {-3, -2, 10, 6}, {28, 20, 100, 100}, {5, 5, 0, 7}};
    for (const SDL_Rect &rc : rects) {
        Both dst(32, 24, kARGB, 3);
        SDL_Rect a = rc, b = rc;
        bool whole = rc.w == 0 && rc.h == 0;
        Uint32 c = SDL_MapRGBA(dst.own->format, 10, 200, 30, 77);
        SDL_FillRect(dst.own, whole ? nullptr : &a, c);
        r.FillRect(dst.ref, whole ? nullptr : &b, c);
        EXPECT_EQ(compare(dst.own, dst.ref).count, 0) << rc.x << "," << rc.y;
    }
}

// ---------------------------------------------------------------------------
// rotozoom: SDL_gfx's rotozoomSurface, turned and zoomed, nearest and
// smooth, against the real library: the same size and every pixel.

TEST(WebRotozoom, SizesAndPixelsMatchSDLgfx) {
    ref::SDL &r = ref::sdl();
    const int sizes[][2] = {{1, 1}, {1, 5}, {7, 3}, {16, 16}, {33, 17}, {64, 48}};
    const double angles[] = {0, 0.0005, -0.001, 0.002, 1, 30, 45, 90, -90, 180, 270, 359.9, 360, 720, -33.3, 1000.25};
    const double zooms[] = {1, 0.5, 2, 0.3, 1.7, -1, -0.5, 0, 0.0001, 3.3};
    int checked = 0;
    for (const auto &sz : sizes) {
        Both src(sz[0], sz[1], kARGB, Uint32(sz[0] * 31 + sz[1]));
        for (double angle : angles)
            for (double zoom : zooms) {
                int ow = 0, oh = 0, rw = 0, rh = 0;
                rotozoomSurfaceSize(sz[0], sz[1], angle, zoom, &ow, &oh);
                r.rotozoomSize(sz[0], sz[1], angle, zoom, &rw, &rh);
                ASSERT_EQ(ow, rw) << sz[0] << "x" << sz[1] << " at " << angle << ", zoom " << zoom;
                ASSERT_EQ(oh, rh) << sz[0] << "x" << sz[1] << " at " << angle << ", zoom " << zoom;
                for (int smooth : {0, 1}) {
                    SDL_Surface *own = rotozoomSurface(src.own, angle, zoom, smooth);
                    SDL_Surface *rf = r.rotozoom(src.ref, angle, zoom, smooth);
                    ASSERT_TRUE(own && rf);
                    EXPECT_EQ(own->flags & SDL_SRCALPHA, rf->flags & SDL_SRCALPHA);
                    Diff d = compare(own, rf);
                    EXPECT_EQ(d.count, 0) << sz[0] << "x" << sz[1] << " at " << angle << ", zoom " << zoom
                                          << (smooth ? ", smooth" : "") << d.where;
                    SDL_FreeSurface(own);
                    r.FreeSurface(rf);
                    ++checked;
                }
            }
    }
    EXPECT_EQ(checked, 6 * 16 * 10 * 2);
}

// ---------------------------------------------------------------------------
// Shapes: every SDL_gfx call orvixcore makes, opaque and translucent, inside
// the target and clipped by its edges, on the display and on alpha surfaces.

struct Shape {
    const char *name;
    std::function<int(SDL_Surface *, Uint8 a)> own, ref;
};

std::vector<Shape> shapes() {
    ref::SDL &r = ref::sdl();
    std::vector<Shape> v;
    auto add = [&](const char *name, std::function<int(SDL_Surface *, Uint8)> own,
                   std::function<int(SDL_Surface *, Uint8)> rf) { v.push_back({name, own, rf}); };
#define SHAPE2(NAME, OWN, REF, ...)                                                                   \
    add(NAME, [=](SDL_Surface *s, Uint8 a) { return OWN(s, __VA_ARGS__, 250, 120, 40, a); },         \
        [=, &r](SDL_Surface *s, Uint8 a) { return r.REF(s, __VA_ARGS__, 250, 120, 40, a); })
    SHAPE2("line shallow", lineRGBA, line, 2, 3, 45, 17);
    SHAPE2("line steep back", lineRGBA, line, 40, 30, 33, 1);
    SHAPE2("line clipped", lineRGBA, line, -20, 5, 70, 40);
    SHAPE2("line horizontal", lineRGBA, line, 50, 9, -3, 9);
    SHAPE2("line vertical", lineRGBA, line, 9, 50, 9, 2);
    SHAPE2("line point", lineRGBA, line, 7, 7, 7, 7);
    SHAPE2("aaline shallow", aalineRGBA, aaline, 2, 3, 45, 17);
    SHAPE2("aaline steep", aalineRGBA, aaline, 40, 30, 33, 1);
    SHAPE2("aaline diagonal", aalineRGBA, aaline, 1, 1, 20, 20);
    SHAPE2("aaline clipped", aalineRGBA, aaline, -20, 5, 70, 40);
    SHAPE2("rectangle", rectangleRGBA, rectangle, 4, 30, 40, 6);
    SHAPE2("rectangle clipped", rectangleRGBA, rectangle, -4, -3, 70, 20);
    SHAPE2("rectangle flat", rectangleRGBA, rectangle, 4, 6, 40, 7);
    SHAPE2("box", boxRGBA, box, 40, 30, 4, 6);
    SHAPE2("box clipped", boxRGBA, box, -4, -3, 70, 20);
    SHAPE2("circle", circleRGBA, circle, 20, 15, 11);
    SHAPE2("circle clipped", circleRGBA, circle, 2, 40, 17);
    SHAPE2("circle small", circleRGBA, circle, 10, 10, 2);
    SHAPE2("aacircle", aacircleRGBA, aacircle, 20, 15, 11);
    SHAPE2("aacircle large", aacircleRGBA, aacircle, 30, 22, 25);
    SHAPE2("aacircle clipped", aacircleRGBA, aacircle, 2, 40, 17);
    SHAPE2("filled circle", filledCircleRGBA, filledCircle, 20, 15, 11);
    SHAPE2("filled circle clipped", filledCircleRGBA, filledCircle, 60, 2, 9);
    SHAPE2("filled circle tiny", filledCircleRGBA, filledCircle, 5, 5, 1);
    SHAPE2("trigon", trigonRGBA, trigon, 20, 30, 9, 8, 31, 8);
    SHAPE2("aatrigon", aatrigonRGBA, aatrigon, 20, 30, 9, 8, 31, 8);
    SHAPE2("aatrigon slanted", aatrigonRGBA, aatrigon, 3, 5, 50, 12, 14, 40);
    SHAPE2("filled trigon", filledTrigonRGBA, filledTrigon, 20, 30, 9, 8, 31, 8);
    SHAPE2("filled trigon slanted", filledTrigonRGBA, filledTrigon, 3, 5, 50, 12, 14, 40);
    SHAPE2("filled trigon clipped", filledTrigonRGBA, filledTrigon, -10, 5, 70, 12, 14, 60);
#undef SHAPE2
    return v;
}

TEST(WebShapes, EveryShapeMatchesSDLgfx) {
    own_screen();
    for (const Shape &s : shapes()) {
        for (Uint8 alpha : {255, 200, 90}) {
            for (const Uint32 *masks : {kXRGB, kARGB}) {
                Both dst(64, 48, masks, 21);
                s.own(dst.own, alpha);
                s.ref(dst.ref, alpha);
                Diff d = compare(dst.own, dst.ref);
                EXPECT_EQ(d.count, 0) << s.name << ", alpha " << int(alpha) << (masks == kARGB ? ", ARGB" : ", XRGB")
                                      << d.where;
            }
        }
    }
}

TEST(WebShapes, TranslucentPixelsMatchForEveryAlpha) {
    // Every alpha over a transparent and an opaque ground, on both layouts:
    // the colour blend and the alpha a pixel gains.
    for (const Uint32 *masks : {kXRGB, kARGB}) {
        Both dst(256, 2, masks, 0, true);
        for (int a = 0; a < 256; ++a) {
            static_cast<Uint32 *>(dst.own->pixels)[256 + a] = 0xFF102030;
            static_cast<Uint32 *>(dst.ref->pixels)[256 + a] = 0xFF102030;
            for (int y = 0; y < 2; ++y) {
                lineRGBA(dst.own, Sint16(a), Sint16(y), Sint16(a), Sint16(y), 200, 100, 50, Uint8(a));
                ref::sdl().line(dst.ref, Sint16(a), Sint16(y), Sint16(a), Sint16(y), 200, 100, 50, Uint8(a));
            }
        }
        Diff d = compare(dst.own, dst.ref);
        EXPECT_EQ(d.count, 0) << d.where;
    }
}

// ---------------------------------------------------------------------------
// Text: metrics and blended rendering of DejaVu faces at the sizes games use.

const char *const kFonts[] = {"/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf",
                              "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf",
                              "/usr/share/fonts/truetype/dejavu/DejaVuSansMono.ttf"};

TEST(WebText, MetricsAndGlyphsMatchSDLttf) {
    ref::SDL &r = ref::sdl();
    ASSERT_EQ(TTF_Init(), 0);
    const char *texts[] = {"STAR ROCKS", "Score 1250", "\xe2\x99\xa5\xe2\x99\xa5\xe2\x99\xa5",
                           "\xe2\x99\xaa 75%", "AVATAR Wave ff", "CAVE RUN", "@", "j", "Deep Walk: caf\xc3\xa9 ~#$"};
    for (const char *path : kFonts) {
        for (int size : {9, 12, 14, 16, 18, 44, 56}) {
            TTF_Font *own = TTF_OpenFont(path, size);
            TTF_Font *rf = r.OpenFont(path, size);
            ASSERT_TRUE(own && rf) << path;
            EXPECT_EQ(TTF_FontLineSkip(own), r.FontLineSkip(rf)) << path << " " << size;
            EXPECT_EQ(TTF_FontHeight(own), r.FontHeight(rf)) << path << " " << size;
            EXPECT_EQ(TTF_FontFaceIsFixedWidth(own), r.FontFaceIsFixedWidth(rf)) << path;
            for (Uint16 ch : {Uint16('@'), Uint16('a'), Uint16('W'), Uint16(0x2665)}) {
                int o[5], q[5];
                TTF_GlyphMetrics(own, ch, &o[0], &o[1], &o[2], &o[3], &o[4]);
                r.GlyphMetrics(rf, ch, &q[0], &q[1], &q[2], &q[3], &q[4]);
                for (int k = 0; k < 5; ++k) EXPECT_EQ(o[k], q[k]) << path << " " << size << " glyph " << ch;
            }
            for (const char *text : texts) {
                SDL_Color c = {255, 210, 60, 0};
                SDL_Surface *a = TTF_RenderUTF8_Blended(own, text, c);
                SDL_Surface *b = r.RenderUTF8_Blended(rf, text, c);
                ASSERT_TRUE(a && b) << text;
                Diff d = compare(a, b);
                EXPECT_EQ(d.count, 0) << path << " " << size << " \"" << text << "\"" << d.where;
                SDL_FreeSurface(a);
                r.FreeSurface(b);
            }
            // Single Latin-1 characters, as the character cells render and
            // measure them.
            for (const char *cell : {"#", ".", "\"", "~", ">", "$", "@", " ", "\xe9"}) {
                int o[2] = {-1, -1}, q[2] = {-2, -2};
                EXPECT_EQ(TTF_SizeText(own, cell, &o[0], &o[1]), r.SizeText(rf, cell, &q[0], &q[1]));
                EXPECT_EQ(o[0], q[0]) << path << " " << size << " '" << cell << "'";
                EXPECT_EQ(o[1], q[1]) << path << " " << size << " '" << cell << "'";
                SDL_Color c = {60, 130, 255, 0};
                SDL_Surface *a = TTF_RenderText_Blended(own, cell, c);
                SDL_Surface *b = r.RenderText_Blended(rf, cell, c);
                ASSERT_TRUE(a && b) << cell;
                EXPECT_EQ(compare(a, b).count, 0) << path << " " << size << " '" << cell << "'";
                SDL_FreeSurface(a);
                r.FreeSurface(b);
            }
            // Nothing to render: no surface on either side.
            SDL_Color c = {1, 2, 3, 0};
            EXPECT_EQ(TTF_RenderUTF8_Blended(own, "", c), nullptr);
            EXPECT_EQ(r.RenderUTF8_Blended(rf, "", c), nullptr);
            TTF_CloseFont(own);
            r.CloseFont(rf);
        }
    }
    TTF_Quit();
}

// Fonts in the other formats FreeType reads: bitmap fonts (BDF, and PCF
// compressed with gzip, as X11 ships them) at their one strike, Type 1 and
// CFF-flavoured OpenType outlines at a few sizes.
TEST(WebText, OtherFontFormatsMatchSDLttf) {
    ref::SDL &r = ref::sdl();
    ASSERT_EQ(TTF_Init(), 0);
    const struct {
        std::string path;
        std::vector<int> sizes;
    } fonts[] = {
        {ORVIX_TEST_ASSETS "/box.bdf", {0, 8}},
        {ORVIX_TEST_ASSETS "/box.pcf.gz", {0}},
        {"/usr/share/fonts/X11/Type1/NimbusSans-Regular.pfb", {9, 16, 30}},
        {"/usr/share/fonts/X11/Type1/D050000L.pfb", {14}},
        {"/usr/share/fonts/opentype/urw-base35/NimbusSans-Regular.otf", {9, 16, 30}},
        {"/usr/share/fonts/opentype/urw-base35/NimbusMonoPS-Bold.otf", {12}},
    };
    for (const auto &f : fonts) {
        for (int size : f.sizes) {
            TTF_Font *own = TTF_OpenFont(f.path.c_str(), size);
            TTF_Font *rf = r.OpenFont(f.path.c_str(), size);
            ASSERT_TRUE(own && rf) << f.path;
            EXPECT_EQ(TTF_FontLineSkip(own), r.FontLineSkip(rf)) << f.path << " " << size;
            EXPECT_EQ(TTF_FontHeight(own), r.FontHeight(rf)) << f.path << " " << size;
            for (const char *text : {"ab ba", "Quick Type 1 & CFF: fig. 42%", "\x01\xff"}) {
                SDL_Color c = {90, 255, 160, 0};
                SDL_Surface *a = TTF_RenderText_Blended(own, text, c);
                SDL_Surface *b = r.RenderText_Blended(rf, text, c);
                ASSERT_EQ(a != nullptr, b != nullptr) << f.path << " \"" << text << "\"";
                if (!a) continue;
                Diff d = compare(a, b);
                EXPECT_EQ(d.count, 0) << f.path << " " << size << " \"" << text << "\"" << d.where;
                SDL_FreeSurface(a);
                r.FreeSurface(b);
            }
            TTF_CloseFont(own);
            r.CloseFont(rf);
        }
    }
    TTF_Quit();
}

}  // namespace
