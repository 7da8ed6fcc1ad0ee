// The exported pixel store on surfaces of every pixel size, over memory of
// our own with guard bytes around it, so that a store at the wrong address
// or outside the surface shows up.
#include "globals.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

const int kGuard = 64;        // bytes before and after the pixel memory
const Uint8 kFill = 0xA5;     // what every byte holds before the store

struct Format {
    int depth;
    Uint32 r, g, b, a;
};
const Format kFormats[] = {
    {8, 0, 0, 0, 0},
    {16, 0xF800, 0x07E0, 0x001F, 0},
    {24, 0xFF0000, 0x00FF00, 0x0000FF, 0},
    {32, 0x00FF0000, 0x0000FF00, 0x000000FF, 0xFF000000},
};

// A surface over a buffer we own: width w, height h, rows padded to pitch.
struct Canvas {
    std::vector<Uint8> mem;
    SDL_Surface *s = nullptr;
    int pitch = 0;

    Canvas(const Format &f, int w, int h, int row_padding) {
        pitch = w * (f.depth / 8) + row_padding;
        mem.assign(static_cast<size_t>(kGuard * 2 + pitch * h), kFill);
        s = SDL_CreateRGBSurfaceFrom(pixels(), w, h, f.depth, pitch, f.r, f.g, f.b, f.a);
    }
    ~Canvas() { SDL_FreeSurface(s); }
    Uint8 *pixels() { return mem.data() + kGuard; }
    // Offsets (from the first pixel byte) of every byte that is no longer kFill.
    std::vector<long> changed() const {
        std::vector<long> v;
        for (size_t i = 0; i < mem.size(); ++i)
            if (mem[i] != kFill) v.push_back(static_cast<long>(i) - kGuard);
        return v;
    }
};

std::vector<long> range(long from, int n) {
    std::vector<long> v;
    for (int i = 0; i < n; ++i) v.push_back(from + i);
    return v;
}

TEST(Putpixel, OneByteStoresTheLowEightBits) {
    Canvas c(kFormats[0], 5, 4, 3);
    ASSERT_NE(c.s, nullptr);
    ASSERT_EQ(c.s->format->BytesPerPixel, 1);
    putpixel(c.s, 2, 3, 0x1234567F);
    long at = 3 * c.pitch + 2;
    EXPECT_EQ(c.changed(), range(at, 1));
    EXPECT_EQ(c.pixels()[at], 0x7F);
}

TEST(Putpixel, TwoBytesStoreTheLowSixteenBitsInHostOrder) {
    Canvas c(kFormats[1], 5, 4, 2);
    ASSERT_EQ(c.s->format->BytesPerPixel, 2);
    putpixel(c.s, 4, 1, 0xABCD1234);
    long at = 1 * c.pitch + 4 * 2;
    EXPECT_EQ(c.changed(), range(at, 2));
    Uint16 v;
    memcpy(&v, c.pixels() + at, 2);
    EXPECT_EQ(v, 0x1234);
}

TEST(Putpixel, ThreeBytesStoreLowMiddleHighAtIncreasingAddresses) {
    Canvas c(kFormats[2], 4, 3, 4);
    ASSERT_EQ(c.s->format->BytesPerPixel, 3);
    putpixel(c.s, 1, 2, 0xEE112233);  // the top byte has no place to go
    long at = 2 * c.pitch + 1 * 3;
    EXPECT_EQ(c.changed(), range(at, 3));
    EXPECT_EQ(c.pixels()[at + 0], 0x33);
    EXPECT_EQ(c.pixels()[at + 1], 0x22);
    EXPECT_EQ(c.pixels()[at + 2], 0x11);
}

TEST(Putpixel, FourBytesStoreTheWholeValueInHostOrder) {
    Canvas c(kFormats[3], 6, 5, 8);
    ASSERT_EQ(c.s->format->BytesPerPixel, 4);
    putpixel(c.s, 3, 4, 0x80FF0102);
    long at = 4 * c.pitch + 3 * 4;
    EXPECT_EQ(c.changed(), range(at, 4));
    Uint32 v;
    memcpy(&v, c.pixels() + at, 4);
    EXPECT_EQ(v, 0x80FF0102u);
}

TEST(Putpixel, StoreReplacesWhatWasThereWithoutBlending) {
    Canvas c(kFormats[3], 2, 2, 0);
    putpixel(c.s, 1, 1, 0xFFFFFFFF);
    putpixel(c.s, 1, 1, 0x00000001);
    Uint32 v;
    memcpy(&v, c.pixels() + c.pitch + 4, 4);
    EXPECT_EQ(v, 1u);
}

TEST(Putpixel, RowsFollowThePitchNotTheWidth) {
    // 3 pixels of 3 bytes make 9 bytes; SDL's own surfaces pad rows to 12.
    SDL_Surface *s = SDL_CreateRGBSurface(SDL_SWSURFACE, 3, 2, 24, 0xFF0000, 0xFF00, 0xFF, 0);
    ASSERT_NE(s, nullptr);
    ASSERT_EQ(s->pitch, 12);
    memset(s->pixels, 0, static_cast<size_t>(s->pitch * s->h));
    putpixel(s, 0, 1, 0x00ABCDEF);
    const Uint8 *p = static_cast<const Uint8 *>(s->pixels);
    EXPECT_EQ(p[12], 0xEF);
    EXPECT_EQ(p[13], 0xCD);
    EXPECT_EQ(p[14], 0xAB);
    EXPECT_EQ(p[9], 0);  // where a row of exactly 9 bytes would have put it
    SDL_FreeSurface(s);
}

TEST(Putpixel, EveryCornerOfEverySizeLandsInsideTheSurface) {
    for (const Format &f : kFormats) {
        Canvas c(f, 7, 5, 1);
        int bpp = f.depth / 8;
        const int xs[] = {0, 6}, ys[] = {0, 4};
        for (int y : ys)
            for (int x : xs) putpixel(c.s, Uint16(x), Uint16(y), 0);
        std::vector<long> want;
        for (int y : ys)
            for (int x : xs)
                for (long b : range(long(y) * c.pitch + x * bpp, bpp)) want.push_back(b);
        std::sort(want.begin(), want.end());
        EXPECT_EQ(c.changed(), want) << "depth " << f.depth;
    }
}

TEST(Putpixel, PositionsOutsideStoreNothing) {
    for (const Format &f : kFormats) {
        Canvas c(f, 7, 5, 1);
        const struct { Uint16 x, y; } outside[] = {
            {7, 0}, {0, 5}, {7, 5}, {65535, 0}, {0, 65535}, {65535, 65535}, {100, 2}, {3, 100}};
        for (const auto &p : outside) putpixel(c.s, p.x, p.y, 0);
        EXPECT_TRUE(c.changed().empty()) << "depth " << f.depth;
    }
}

TEST(Putpixel, UnknownPixelSizeStoresNothing) {
    for (Uint8 bytes : {0, 5, 8, 255}) {
        Canvas c(kFormats[3], 4, 4, 0);
        Uint8 real = c.s->format->BytesPerPixel;
        c.s->format->BytesPerPixel = bytes;
        putpixel(c.s, 1, 1, 0);
        putpixel(c.s, 0, 0, 0);
        c.s->format->BytesPerPixel = real;
        EXPECT_TRUE(c.changed().empty()) << int(bytes) << " bytes per pixel";
    }
}

}  // namespace
