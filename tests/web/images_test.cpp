// The add-ons' image readers against the real SDL_image: files of every kind
// each reader treats apart, made here byte by byte, must load (or fail) as
// SDL_image loads them, with the pixels SDL's display-format conversion then
// gives them natively.
#include "readers.h"
#include "reference.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<Uint8>;

void le16(Bytes &b, Uint32 v) {
    b.push_back(Uint8(v));
    b.push_back(Uint8(v >> 8));
}
void le32(Bytes &b, Uint32 v) {
    le16(b, v & 0xFFFF);
    le16(b, v >> 16);
}
void text(Bytes &b, const std::string &s) { b.insert(b.end(), s.begin(), s.end()); }

// A loaded image as R, G, B, A bytes, or nothing.
struct Image {
    std::string error;
    bool ok = false;
    int w = 0, h = 0;
    Bytes rgba;
};

// The bytes of a 32-bit surface's pixels as they are in memory.
void memory_bytes(const SDL_Surface *s, Image &img) {
    img.ok = true;
    img.w = s->w;
    img.h = s->h;
    for (int y = 0; y < s->h; ++y) {
        const Uint8 *row = static_cast<const Uint8 *>(s->pixels) + y * s->pitch;
        img.rgba.insert(img.rgba.end(), row, row + 4 * s->w);
    }
}

// raw: the pixel bytes SDL_image's surface holds, unconverted (a CMYK JPEG's
// four channels, which orvixcore converts itself).
Image native(const Bytes &file, bool tga, bool raw = false) {
    ref::SDL &r = ref::sdl();
    SDL_RWops *rw = r.RWFromConstMem(file.data(), int(file.size()));
    SDL_Surface *s = tga ? r.IMG_LoadTGA_RW(rw) : r.IMG_Load_RW(rw, 0);
    rw->close(rw);
    Image img;
    if (!s) {
        img.error = r.GetError();
        return img;
    }
    if (raw) {
        if (s->format->BitsPerPixel == 32) memory_bytes(s, img);
        else img.error = "not a 32-bit surface";
        r.FreeSurface(s);
        return img;
    }
    SDL_Surface *c = r.DisplayFormatAlpha(s);
    r.FreeSurface(s);
    if (!c) return img;
    img.ok = true;
    img.w = c->w;
    img.h = c->h;
    for (int y = 0; y < c->h; ++y)
        for (int x = 0; x < c->w; ++x) {
            Uint32 p = reinterpret_cast<const Uint32 *>(static_cast<const Uint8 *>(c->pixels) + y * c->pitch)[x];
            img.rgba.insert(img.rgba.end(), {Uint8(p >> 16), Uint8(p >> 8), Uint8(p), Uint8(p >> 24)});
        }
    r.FreeSurface(c);
    return img;
}

Image own(const Bytes &file, bool tga) {
    SDL_Surface *s = addons::read_image(file.data(), file.size(), tga ? "TGA" : nullptr);
    Image img;
    if (!s) {
        img.error = SDL_GetError();
        return img;
    }
    memory_bytes(s, img);
    SDL_FreeSurface(s);
    return img;
}

struct Case {
    std::string name;
    Bytes file;
    bool tga = false;
    bool raw = false;  // compare SDL_image's pixel bytes unconverted
};

void dump(const char *who, const Image &img) {
    fprintf(stderr, "%s: %s %dx%d\n", who, img.ok ? "read" : "refused", img.w, img.h);
    for (int y = 0; y < img.h; ++y) {
        for (int x = 0; x < img.w; ++x) {
            const Uint8 *p = &img.rgba[size_t(y * img.w + x) * 4];
            fprintf(stderr, " %02x%02x%02x%02x", p[0], p[1], p[2], p[3]);
        }
        fprintf(stderr, "\n");
    }
}

void expect_same(const Case &c) {
    Image a = own(c.file, c.tga), b = native(c.file, c.tga, c.raw);
    if (getenv("DUMP") && strstr(c.name.c_str(), getenv("DUMP"))) {
        fprintf(stderr, "%s\n", c.name.c_str());
        dump("ours", a);
        dump("SDL_image", b);
    }
    ASSERT_EQ(a.ok, b.ok) << c.name << (b.ok ? ": SDL_image reads it" : ": SDL_image refuses it: " + b.error);
    if (!b.ok) return;
    ASSERT_EQ(a.w, b.w) << c.name;
    ASSERT_EQ(a.h, b.h) << c.name;
    int diffs = 0;
    std::string where;
    for (size_t i = 0; i < a.rgba.size(); i += 4) {
        if (!memcmp(&a.rgba[i], &b.rgba[i], 4)) continue;
        if (++diffs <= 4) {
            char buf[96];
            snprintf(buf, sizeof buf, " (%d,%d) %02x%02x%02x%02x/%02x%02x%02x%02x", int(i / 4 % size_t(a.w)),
                     int(i / 4 / size_t(a.w)), a.rgba[i], a.rgba[i + 1], a.rgba[i + 2], a.rgba[i + 3], b.rgba[i],
                     b.rgba[i + 1], b.rgba[i + 2], b.rgba[i + 3]);
            where += buf;
        }
    }
    EXPECT_EQ(diffs, 0) << c.name << ": pixels (ours/SDL_image)" << where;
}

// Deterministic bytes.
Uint8 byte_at(int i, int seed) { return Uint8((i * 73 + seed * 151 + (i >> 3) * 29) ^ (seed * 7)); }

// ---------------------------------------------------------------------------
// BMP

struct Bmp {
    int header = 40;      // 12: OS/2
    int w = 5, h = 3;     // h < 0: top-down
    int bits = 24;
    Uint32 compression = 0;
    int palette = 0;      // entries written
    Uint32 clr_used = 0;
    std::vector<Uint32> masks;  // written after the header
    Bytes pixels;         // as stored; empty: a pattern of whole padded rows
    long offset = -1;     // of the pixels; -1: right after the palette
    Uint32 v4_alpha = 0;  // the alpha mask of a 108-byte header
    long cut = 0;         // bytes left out at the end
    int seed = 1;
};

Bytes bmp(const Bmp &b) {
    Bytes head;
    if (b.header == 12) {
        le32(head, 12);
        le16(head, Uint32(b.w));
        le16(head, Uint32(b.h));
        le16(head, 1);
        le16(head, Uint32(b.bits));
    } else {
        le32(head, Uint32(b.header));
        le32(head, Uint32(b.w));
        le32(head, Uint32(b.h));
        le16(head, 1);
        le16(head, Uint32(b.bits));
        le32(head, b.compression);
        le32(head, 0);
        le32(head, 2835);
        le32(head, 2835);
        le32(head, b.clr_used);
        le32(head, 0);
        if (b.header >= 108) {
            // Masks inside the header, then colour space data.
            for (size_t i = 0; i < 3; ++i) le32(head, i < b.masks.size() ? b.masks[i] : 0);
            le32(head, b.v4_alpha);
        }
        // The rest of a longer header (OS/2 2.x's 64 bytes, Windows' 108 or 124).
        while (int(head.size()) < b.header) head.push_back(0);
    }
    Bytes extra;
    if (b.header < 108)
        for (Uint32 m : b.masks) le32(extra, m);
    for (int i = 0; i < b.palette; ++i) {
        extra.push_back(byte_at(3 * i, b.seed));
        extra.push_back(byte_at(3 * i + 1, b.seed));
        extra.push_back(byte_at(3 * i + 2, b.seed));
        if (b.header != 12) extra.push_back(0);
    }
    Bytes pixels = b.pixels;
    if (pixels.empty()) {
        int rows = b.h < 0 ? -b.h : b.h;
        size_t stride = ((size_t(b.w) * size_t(b.bits) + 31) / 32) * 4;
        for (size_t i = 0; i < stride * size_t(rows); ++i) {
            Uint8 v = byte_at(int(i), b.seed + 5);
            // Palette images use only indices the palette has.
            if (b.bits <= 8 && b.palette) {
                int per = 8 / b.bits, mask = (1 << b.bits) - 1;
                Uint8 packed = 0;
                for (int k = 0; k < per; ++k) packed = Uint8(packed << b.bits | ((v >> k) % b.palette & mask));
                v = b.bits == 8 ? Uint8(v % b.palette) : packed;
            }
            pixels.push_back(v);
        }
    }
    size_t offset = b.offset >= 0 ? size_t(b.offset) : 14 + head.size() + extra.size();
    Bytes f = {'B', 'M'};
    le32(f, Uint32(offset + pixels.size()));
    le32(f, 0);
    le32(f, Uint32(offset));
    f.insert(f.end(), head.begin(), head.end());
    f.insert(f.end(), extra.begin(), extra.end());
    while (f.size() < offset) f.push_back(0x5A);
    f.resize(offset);
    f.insert(f.end(), pixels.begin(), pixels.end());
    f.resize(f.size() - size_t(b.cut));
    return f;
}

Bmp with(std::function<void(Bmp &)> set) {
    Bmp b;
    set(b);
    return b;
}

TEST(WebImages, BitmapsOfEveryKindMatchSDLimage) {
    // An RLE image: runs, pixels as they are (odd counts padded), ends of
    // rows, a move, and runs that go past the end of a row.
    Bytes rle8 = {3, 1, 0, 3, 2, 3, 4, 0, 2, 2, 0, 0, 0, 0, 0, 4, 0, 5, 2, 0, 2, 1, 1, 12, 3, 0, 1};
    Bytes rle4 = {3, 0x12, 0, 3, 0x34, 0x50, 0, 0, 4, 0x21, 0, 2, 1, 1, 0, 5, 0x12, 0x34, 0x50, 0, 9, 0x33, 0, 1};
    const Case cases[] = {
        {"1-bit, 2 colours, odd width", bmp(with([](Bmp &b) { b.bits = 1; b.w = 13; b.h = 5; b.palette = 2; b.clr_used = 2; }))},
        {"1-bit, no colour count", bmp(with([](Bmp &b) { b.bits = 1; b.w = 9; b.palette = 2; }))},
        {"4-bit, 16 colours", bmp(with([](Bmp &b) { b.bits = 4; b.w = 7; b.h = 4; b.palette = 16; b.clr_used = 16; }))},
        {"4-bit, 6 colours", bmp(with([](Bmp &b) { b.bits = 4; b.w = 6; b.palette = 6; b.clr_used = 6; }))},
        {"4-bit, an index past its 6 colours", bmp(with([](Bmp &b) {
             b.bits = 4; b.w = 2; b.h = 1; b.palette = 6; b.clr_used = 6; b.pixels = {0x19, 0, 0, 0};
         }))},
        {"8-bit, 256 colours, top-down", bmp(with([](Bmp &b) { b.bits = 8; b.w = 10; b.h = -3; b.palette = 256; }))},
        {"8-bit, 5 colours", bmp(with([](Bmp &b) { b.bits = 8; b.w = 3; b.palette = 5; b.clr_used = 5; }))},
        {"8-bit, an index past its 5 colours", bmp(with([](Bmp &b) {
             b.bits = 8; b.w = 4; b.h = 1; b.palette = 5; b.clr_used = 5; b.pixels = {1, 7, 200, 4};
         }))},
        {"RLE8 on a 24-bit header", bmp(with([&](Bmp &b) { b.compression = 1; b.w = 2; b.h = 2; b.pixels = rle8; }))},
        {"RLE4 on an 8-bit header", bmp(with([&](Bmp &b) {
             b.bits = 8; b.w = 8; b.h = 4; b.compression = 2; b.palette = 16; b.clr_used = 16; b.pixels = rle4;
         }))},
        {"RLE8 on a 4-bit header", bmp(with([&](Bmp &b) {
             b.bits = 4; b.w = 8; b.h = 4; b.compression = 1; b.palette = 16; b.clr_used = 16; b.pixels = rle8;
         }))},
        {"RLE8", bmp(with([&](Bmp &b) { b.bits = 8; b.w = 8; b.h = 4; b.compression = 1; b.palette = 6; b.clr_used = 6; b.pixels = rle8; }))},
        {"RLE8 without its end", bmp(with([&](Bmp &b) {
             b.bits = 8; b.w = 8; b.h = 4; b.compression = 1; b.palette = 6; b.clr_used = 6; b.pixels = rle8; b.cut = 2;
         }))},
        {"RLE4", bmp(with([&](Bmp &b) { b.bits = 4; b.w = 8; b.h = 4; b.compression = 2; b.palette = 16; b.clr_used = 16; b.pixels = rle4; }))},
        {"16-bit 5-5-5", bmp(with([](Bmp &b) { b.bits = 16; b.w = 5; }))},
        {"16-bit 5-6-5 masks", bmp(with([](Bmp &b) { b.bits = 16; b.compression = 3; b.masks = {0xF800, 0x07E0, 0x001F}; }))},
        {"16-bit 4-4-4 masks", bmp(with([](Bmp &b) { b.bits = 16; b.compression = 3; b.masks = {0x0F00, 0x00F0, 0x000F}; }))},
        {"16-bit, masks after a gap", bmp(with([](Bmp &b) {
             b.bits = 16; b.masks = {0xF800, 0x07E0, 0x001F}; b.offset = 14 + 40 + 12 + 4;
         }))},
        {"24-bit, odd width", bmp(with([](Bmp &b) { b.w = 5; b.h = 3; }))},
        {"24-bit, top-down", bmp(with([](Bmp &b) { b.h = -4; }))},
        {"32-bit", bmp(with([](Bmp &b) { b.bits = 32; b.w = 4; }))},
        {"32-bit, masks after a 40-byte header", bmp(with([](Bmp &b) {
             b.bits = 32; b.compression = 3; b.masks = {0x000000FF, 0x0000FF00, 0x00FF0000};
         }))},
        {"32-bit, a 108-byte header with alpha", bmp(with([](Bmp &b) {
             b.header = 108; b.bits = 32; b.compression = 3; b.masks = {0x00FF0000, 0x0000FF00, 0x000000FF};
             b.v4_alpha = 0xFF000000;
         }))},
        {"8-bit, a 108-byte header", bmp(with([](Bmp &b) { b.header = 108; b.bits = 8; b.palette = 7; b.clr_used = 7; }))},
        {"OS/2, 8-bit", bmp(with([](Bmp &b) { b.header = 12; b.bits = 8; b.palette = 256; }))},
        {"OS/2 2.x, 8-bit", bmp(with([](Bmp &b) { b.header = 64; b.bits = 8; b.palette = 3; b.clr_used = 3; }))},
        {"OS/2 2.x, 24-bit", bmp(with([](Bmp &b) { b.header = 64; b.w = 3; }))},
        {"OS/2, 24-bit", bmp(with([](Bmp &b) { b.header = 12; b.w = 3; }))},
        {"24-bit, cut short", bmp(with([](Bmp &b) { b.cut = 7; }))},
        {"2-bit", bmp(with([](Bmp &b) { b.bits = 2; b.palette = 4; }))},
        {"no width", bmp(with([](Bmp &b) { b.w = 0; }))},
        {"JPEG-compressed", bmp(with([](Bmp &b) { b.compression = 4; }))},
    };
    for (const Case &c : cases) expect_same(c);
}

// ---------------------------------------------------------------------------
// TGA

struct Tga {
    int type = 2, bits = 24, flags = 0;
    int w = 5, h = 3;
    int map_len = 0, map_bits = 24;
    Bytes id;
    Bytes pixels;  // as stored; empty: a pattern
    long cut = 0;
    int seed = 2;
};

Bytes tga(const Tga &t) {
    Bytes f = {Uint8(t.id.size()), Uint8(t.map_len ? 1 : 0), Uint8(t.type)};
    le16(f, 0);
    le16(f, Uint32(t.map_len));
    f.push_back(Uint8(t.map_len ? t.map_bits : 0));
    le16(f, 0);
    le16(f, 0);
    le16(f, Uint32(t.w));
    le16(f, Uint32(t.h));
    f.push_back(Uint8(t.bits));
    f.push_back(Uint8(t.flags));
    f.insert(f.end(), t.id.begin(), t.id.end());
    for (int i = 0; i < t.map_len * ((t.map_bits + 7) / 8); ++i) f.push_back(byte_at(i, t.seed));
    if (t.pixels.empty()) {
        int bytes = (t.bits + 7) / 8;
        for (int i = 0; i < t.w * t.h * bytes; ++i) {
            Uint8 v = byte_at(i, t.seed + 3);
            f.push_back(t.map_len ? Uint8(v % t.map_len) : v);
        }
    } else {
        f.insert(f.end(), t.pixels.begin(), t.pixels.end());
    }
    f.resize(f.size() - size_t(t.cut));
    return f;
}

Tga tga_with(std::function<void(Tga &)> set) {
    Tga t;
    set(t);
    return t;
}

TEST(WebImages, TargaOfEveryKindMatchesSDLimage) {
    // Runs of 24-bit pixels that carry over from one row to the next.
    Bytes runs = {0x82, 1, 2, 3, 0x03, 10, 11, 12, 20, 21, 22, 30, 31, 32, 40, 41, 42,
                  0x87, 7, 8, 9, 0x00, 50, 51, 52};
    auto case_of = [](std::string name, Tga t) { return Case{std::move(name), tga(t), true}; };
    const Case cases[] = {
        case_of("24-bit, bottom-up", tga_with([](Tga &) {})),
        case_of("24-bit with an id field", tga_with([](Tga &t) { t.id = {'o', 'r', 'v'}; })),
        case_of("32-bit, top-down", tga_with([](Tga &t) { t.bits = 32; t.flags = 0x28; })),
        case_of("16-bit", tga_with([](Tga &t) { t.bits = 16; t.w = 4; })),
        case_of("15-bit", tga_with([](Tga &t) { t.bits = 15; })),
        case_of("RLE, 24-bit, runs across rows", tga_with([&](Tga &t) { t.type = 10; t.w = 4; t.pixels = runs; })),
        case_of("RLE, 24-bit, cut short", tga_with([&](Tga &t) { t.type = 10; t.w = 4; t.pixels = runs; t.cut = 4; })),
        case_of("colour-mapped, 24-bit map", tga_with([](Tga &t) { t.type = 1; t.bits = 8; t.map_len = 5; })),
        case_of("colour-mapped, 16-bit map", tga_with([](Tga &t) { t.type = 1; t.bits = 8; t.map_len = 9; t.map_bits = 16; })),
        case_of("colour-mapped, 32-bit map with transparent entries", tga_with([](Tga &t) {
            t.type = 1; t.bits = 8; t.map_len = 12; t.map_bits = 32; t.w = 6;
        })),
        case_of("RLE colour-mapped", tga_with([](Tga &t) {
            t.type = 9; t.bits = 8; t.map_len = 4; t.w = 4; t.h = 2; t.pixels = {0x83, 2, 0x01, 0, 3, 0x81, 1};
        })),
        case_of("greyscale", tga_with([](Tga &t) { t.type = 3; t.bits = 8; })),
        case_of("RLE greyscale", tga_with([](Tga &t) { t.type = 11; t.bits = 8; t.w = 3; t.h = 2; t.pixels = {0x85, 77}; })),
        case_of("24-bit, right to left", tga_with([](Tga &t) { t.flags = 0x10; })),
        case_of("24-bit, interleaved", tga_with([](Tga &t) { t.flags = 0x40; })),
        case_of("24-bit, cut short", tga_with([](Tga &t) { t.cut = 5; })),
        case_of("8-bit true colour", tga_with([](Tga &t) { t.bits = 8; })),
        case_of("colour-mapped, 16-bit pixels", tga_with([](Tga &t) { t.type = 1; t.bits = 16; t.map_len = 4; })),
        case_of("unknown type", tga_with([](Tga &t) { t.type = 32; })),
    };
    for (const Case &c : cases) expect_same(c);
}

// ---------------------------------------------------------------------------
// PCX

struct Pcx {
    int version = 5, encoding = 1, bits = 8, planes = 1;
    int w = 6, h = 4, bpl = 0;  // 0: the smallest even count
    bool palette = true;        // the 256-colour map after the image
    Bytes data;                 // the rows as stored; empty: a pattern, encoded
    int seed = 3;
};

Bytes pcx(const Pcx &p) {
    int bpl = p.bpl ? p.bpl : ((p.w * p.bits + 7) / 8 + 1) & ~1;
    Bytes f = {10, Uint8(p.version), Uint8(p.encoding), Uint8(p.bits)};
    le16(f, 0);
    le16(f, 0);
    le16(f, Uint32(p.w - 1));
    le16(f, Uint32(p.h - 1));
    le16(f, 72);
    le16(f, 72);
    for (int i = 0; i < 48; ++i) f.push_back(byte_at(i, p.seed));
    f.push_back(0);
    f.push_back(Uint8(p.planes));
    le16(f, Uint32(bpl));
    le16(f, 1);
    while (f.size() < 128) f.push_back(0);
    if (!p.data.empty()) {
        f.insert(f.end(), p.data.begin(), p.data.end());
    } else {
        Bytes raw;
        for (int i = 0; i < p.h * p.planes * bpl; ++i) raw.push_back(Uint8(byte_at(i / 3, p.seed + 1) | (i % 5 == 0 ? 0xC0 : 0)));
        if (p.encoding == 0) {
            f.insert(f.end(), raw.begin(), raw.end());
        } else {
            // Runs of up to 63 equal bytes; bytes with the top two bits set
            // always go in a run.
            for (size_t i = 0; i < raw.size();) {
                size_t k = 1;
                while (i + k < raw.size() && raw[i + k] == raw[i] && k < 63) ++k;
                if (k > 1 || (raw[i] & 0xC0) == 0xC0) f.push_back(Uint8(0xC0 | k));
                f.push_back(raw[i]);
                i += k;
            }
        }
    }
    if (p.palette) {
        f.push_back(12);
        for (int i = 0; i < 768; ++i) f.push_back(byte_at(i, p.seed + 2));
    }
    return f;
}

Pcx pcx_with(std::function<void(Pcx &)> set) {
    Pcx p;
    set(p);
    return p;
}

TEST(WebImages, PcxOfEveryKindMatchesSDLimage) {
    auto case_of = [](std::string name, Pcx p) { return Case{std::move(name), pcx(p)}; };
    const Case cases[] = {
        case_of("8-bit", pcx_with([](Pcx &) {})),
        case_of("8-bit, odd width", pcx_with([](Pcx &p) { p.w = 5; })),
        case_of("8-bit, not encoded", pcx_with([](Pcx &p) { p.encoding = 0; })),
        case_of("8-bit, runs across rows", pcx_with([](Pcx &p) {
            p.w = 4; p.h = 2; p.palette = true; p.data = {0xC6, 9, 0xC2, 200};
        })),
        case_of("8-bit without its colour map", pcx_with([](Pcx &p) { p.palette = false; })),
        case_of("8-bit, longer lines than needed", pcx_with([](Pcx &p) { p.w = 5; p.bpl = 12; })),
        case_of("1-bit, 4 planes, longer lines than needed", pcx_with([](Pcx &p) {
            p.bits = 1; p.planes = 4; p.w = 8; p.bpl = 4; p.palette = false;
        })),
        case_of("24-bit", pcx_with([](Pcx &p) { p.planes = 3; p.w = 4; p.palette = false; })),
        case_of("24-bit, odd width", pcx_with([](Pcx &p) { p.planes = 3; p.w = 5; p.palette = false; })),
        case_of("1-bit", pcx_with([](Pcx &p) { p.bits = 1; p.w = 16; p.palette = false; })),
        case_of("1-bit, odd width", pcx_with([](Pcx &p) { p.bits = 1; p.w = 13; p.palette = false; })),
        case_of("1-bit, 4 planes", pcx_with([](Pcx &p) { p.bits = 1; p.planes = 4; p.w = 8; p.palette = false; })),
        case_of("1-bit, 4 planes, odd width", pcx_with([](Pcx &p) { p.bits = 1; p.planes = 4; p.w = 11; p.palette = false; })),
        case_of("1-bit, 2 planes", pcx_with([](Pcx &p) { p.bits = 1; p.planes = 2; p.w = 10; p.palette = false; })),
        case_of("cut short", pcx_with([](Pcx &p) { p.palette = false; p.data = {0xC4, 1, 2}; })),
        case_of("2-bit", pcx_with([](Pcx &p) { p.bits = 2; p.palette = false; })),
        case_of("version 3", pcx_with([](Pcx &p) { p.version = 3; })),
    };
    for (const Case &c : cases) expect_same(c);
}

// ---------------------------------------------------------------------------
// ICO and CUR

struct Icon {
    int w = 6, h = 4, bits = 32;
    int colours = 0;           // the directory's colour count (0: 256)
    Uint32 compression = 0;
    Uint32 clr_used = 0;
    int seed = 4;
};

// One picture: its header, palette, pixels and mask.
Bytes icon_picture(const Icon &p) {
    Bytes b;
    le32(b, 40);
    le32(b, Uint32(p.w));
    le32(b, Uint32(p.h * 2));
    le16(b, 1);
    le16(b, Uint32(p.bits));
    le32(b, p.compression);
    for (int i = 0; i < 3; ++i) le32(b, 0);
    le32(b, p.clr_used);
    le32(b, 0);
    int entries = p.bits <= 8 ? (p.clr_used ? int(p.clr_used) : 1 << p.bits) : 0;
    for (int i = 0; i < 4 * entries; ++i) b.push_back(byte_at(i, p.seed));
    size_t stride = ((size_t(p.w) * size_t(p.bits) + 31) / 32) * 4;
    for (size_t i = 0; i < stride * size_t(p.h); ++i) {
        Uint8 v = byte_at(int(i), p.seed + 1);
        // An index past the palette reads what SDL_image never set.
        b.push_back(p.bits == 8 ? Uint8(v % entries) : v);
    }
    size_t mask = ((size_t(p.w) + 31) / 32) * 4;
    for (size_t i = 0; i < mask * size_t(p.h); ++i) b.push_back(Uint8(byte_at(int(i), p.seed + 2) & 0xA5));
    return b;
}

Bytes icon_file(int type, const std::vector<Icon> &pictures) {
    Bytes f;
    le16(f, 0);
    le16(f, Uint32(type));
    le16(f, Uint32(pictures.size()));
    std::vector<Bytes> data;
    size_t offset = 6 + 16 * pictures.size();
    for (const Icon &p : pictures) {
        data.push_back(icon_picture(p));
        f.insert(f.end(), {Uint8(p.w), Uint8(p.h), Uint8(p.colours), 0});
        le16(f, 1);
        le16(f, Uint32(p.bits));
        le32(f, Uint32(data.back().size()));
        le32(f, Uint32(offset));
        offset += data.back().size();
    }
    for (const Bytes &d : data) f.insert(f.end(), d.begin(), d.end());
    return f;
}

Icon icon_with(std::function<void(Icon &)> set) {
    Icon i;
    set(i);
    return i;
}

TEST(WebImages, IconsAndCursorsMatchSDLimage) {
    const Case cases[] = {
        {"32-bit with alpha", icon_file(1, {icon_with([](Icon &) {})})},
        {"8-bit", icon_file(1, {icon_with([](Icon &i) { i.bits = 8; i.w = 5; })})},
        {"4-bit, 16 colours", icon_file(1, {icon_with([](Icon &i) { i.bits = 4; i.colours = 16; i.w = 7; })})},
        {"1-bit", icon_file(1, {icon_with([](Icon &i) { i.bits = 1; i.colours = 2; i.w = 13; })})},
        {"8-bit with 20 colours", icon_file(1, {icon_with([](Icon &i) { i.bits = 8; i.clr_used = 20; i.colours = 20; })})},
        {"the one with the most colours", icon_file(1, {icon_with([](Icon &i) { i.bits = 4; i.colours = 16; }),
                                                      icon_with([](Icon &i) { i.bits = 8; i.w = 3; i.h = 3; }),
                                                      icon_with([](Icon &i) { i.bits = 32; i.w = 2; })})},
        {"a cursor", icon_file(2, {icon_with([](Icon &i) { i.bits = 8; })})},
        {"24-bit", icon_file(1, {icon_with([](Icon &i) { i.bits = 24; })})},
        {"4-bit, its colours counted", icon_file(1, {icon_with([](Icon &i) { i.bits = 4; i.colours = 16; i.clr_used = 16; i.w = 7; })})},
        {"1-bit, its colours counted", icon_file(1, {icon_with([](Icon &i) { i.bits = 1; i.colours = 2; i.clr_used = 2; i.w = 13; })})},
        {"compressed", icon_file(1, {icon_with([](Icon &i) { i.compression = 1; })})},
    };
    for (const Case &c : cases) expect_same(c);
}

// ---------------------------------------------------------------------------
// XPM

Bytes xpm(const std::string &body) {
    Bytes f;
    text(f, "/* XPM */\nstatic char *picture[] = {\n" + body + "};\n");
    return f;
}

TEST(WebImages, XpmOfEveryKindMatchesSDLimage) {
    // More colours than a palette holds, with a transparent one among them.
    std::string many = "\"300 2 301 2\",\n\"   c None\",\n";
    std::string rows[2];
    for (int i = 0; i < 300; ++i) {
        char key[3] = {char('!' + i / 90), char('!' + i % 90), 0};
        char line[40];
        snprintf(line, sizeof line, "\"%s c #%02X%02X%02X\",\n", key, i & 255, (i * 7) & 255, (i * 13) & 255);
        many += line;
        rows[0] += key;
        rows[1] += i % 3 ? key : "  ";
    }
    many += "\"" + rows[0] + "\",\n\"" + rows[1] + "\"\n";
    const Case cases[] = {
        {"one character a pixel, hexadecimal and None",
         xpm("\"4 3 3 1\",\n\". c None\",\n\"a c #FF8000\",\n\"b c #0a0B0c\",\n\"a.ba\",\n\".ab.\",\n\"bbaa\"\n")},
        {"two characters, #RGB and #RRRRGGGGBBBB",
         xpm("\"2 2 2 2\",\n\"aa c #f80\",\n\"ab c #123456789ABC\",\n\"aaab\",\n\"abaa\"\n")},
        {"names", xpm("\"3 1 3 1\",\n\"a c White\",\n\"b c RED\",\n\"c c blue\",\n\"abc\"\n")},
        {"the start of a name", xpm("\"1 1 1 1\",\n\"a c bl\",\n\"a\"\n")},
        {"more than a name", xpm("\"1 1 1 1\",\n\"a c blacker\",\n\"a\"\n")},
        {"a symbolic name first", xpm("\"1 1 1 1\",\n\"a s shade c red\",\n\"a\"\n")},
        {"a mono colour after an unknown one", xpm("\"1 1 1 1\",\n\"a c gray m black\",\n\"a\"\n")},
        {"more than 256 colours", xpm(many)},
        {"two transparent colours", xpm("\"3 1 3 1\",\n\"x c None\",\n\"y c none\",\n\"z c blue\",\n\"xyz\"\n")},
        {"a colour it does not know", xpm("\"2 1 2 1\",\n\"x c #000000\",\n\"y c gray50\",\n\"xy\"\n")},
        {"no size", xpm("\"a b c d\",\n")},
    };
    for (const Case &c : cases) expect_same(c);
    // Files SDL_image reads past its data on, which orvixcore's checks keep
    // from it natively: refused.
    for (const char *body : {"\"2 3 1 1\",\n\"x c red\",\n\"xx\",\n", "\"2 1 1 1\",\n\"x c red\",\n\"xq\"\n"})
        EXPECT_FALSE(own(xpm(body), false).ok) << body;
}

// ---------------------------------------------------------------------------
// GIF: files ImageMagick wrote (build/assets), and damaged ones made from them.

Bytes asset(const std::string &name) {
    FILE *f = fopen((std::string(ORVIX_TEST_ASSETS) + "/" + name).c_str(), "rb");
    Bytes b;
    if (!f) return b;
    int ch;
    while ((ch = fgetc(f)) != EOF) b.push_back(Uint8(ch));
    fclose(f);
    return b;
}

TEST(WebImages, GifMatchesSDLimage) {
    std::vector<Case> cases;
    for (const char *name : {"sprite.gif", "tiny_interlaced.gif", "tiny_local.gif", "offset.gif",
                             "sprite_trns.gif", "tiny2.gif"}) {
        Bytes f = asset(name);
        ASSERT_FALSE(f.empty()) << name;
        cases.push_back({name, f});
        // Cut in its compressed data: orvixcore's checks keep such a file
        // from either reader (SDL_image's runs on over stale bytes).
        // Read safely (the last bytes of a file are its compressed data),
        // its size kept, the pixels not reached at index 0.
        Image whole = own(f, false);
        for (size_t cut : {f.size() - 1, f.size() - 2, f.size() - 4}) {
            Image part = own(Bytes(f.begin(), f.begin() + long(cut)), false);
            EXPECT_TRUE(part.ok && part.w == whole.w && part.h == whole.h) << name << " cut at " << cut;
        }
    }
    for (const Case &c : cases) expect_same(c);
}

// ---------------------------------------------------------------------------
// PNM and XV

TEST(WebImages, PnmAndXvMatchSDLimage) {
    auto file = [](const std::string &header, const Bytes &raw = {}) {
        Bytes f;
        text(f, header);
        f.insert(f.end(), raw.begin(), raw.end());
        return f;
    };
    Bytes bits = {0xA5, 0x80, 0x3C, 0x40};  // 10 x 2 pixels, two bytes a row
    Bytes grey, rgb, xv;
    for (int i = 0; i < 12; ++i) grey.push_back(byte_at(i, 7));
    for (int i = 0; i < 36; ++i) rgb.push_back(byte_at(i, 8));
    for (int i = 0; i < 12; ++i) xv.push_back(byte_at(i, 9));
    const Case cases[] = {
        {"PBM text", file("P1\n# a comment\n4 2\n1 0 1 1\n0 0 0 1\n")},
        {"PBM text without spaces", file("P1 4 2 10110001\n")},
        {"PBM raw", file("P4\n10 2\n", bits)},
        {"PGM text, maxval 15", file("P2\n3 2\n15\n0 7 15\n3 9 12\n")},
        {"PGM raw", file("P5 4 3 255\n", grey)},
        {"PGM raw, maxval 200", file("P5\n4 3\n200\n", grey)},
        {"PPM text, maxval 100", file("P3 2 1 100\n100 50 0   0 25 99\n")},
        {"PPM raw", file("P6\n# made here\n4 3\n255\n", rgb)},
        {"PPM raw, maxval 150", file("P6 4 3 150\n", rgb)},
        {"PPM raw, cut short", file("P6 4 3 255\n", Bytes(rgb.begin(), rgb.begin() + 20))},
        {"maxval over 255", file("P5 2 2 1000\n", Bytes(8, 7))},
        {"no size", file("P6\n#\n")},
        {"XV thumbnail", file("P7 332\n#XVVERSION:Version 2.28\n#END_OF_COMMENTS\n4 3 255\n", xv)},
        {"XV thumbnail, cut short", file("P7 332\n4 3 255\n", Bytes(xv.begin(), xv.begin() + 5))},
    };
    for (const Case &c : cases) expect_same(c);
}

// ---------------------------------------------------------------------------
// JPEG and WebP through the libraries SDL_image reads them with: files
// ImageMagick wrote (build/assets), whole and cut short.

TEST(WebImages, JpegAndWebpMatchSDLimage) {
    const struct {
        const char *name;
        bool raw;   // CMYK: the four channels as they are
        bool read;  // SDL_image reads it
    } files[] = {
        {"flat.jpg", false, true},      {"detail.jpg", false, true},   {"grey.jpg", false, true},
        {"turned.jpg", false, true},    {"cmyk.jpg", true, true},      {"cmyk_dark.jpg", true, true},
        {"lossy.webp", false, true},    {"faint.webp", false, false},  // lossless: no WebP to SDL_image
    };
    for (const auto &f : files) {
        Bytes b = asset(f.name);
        ASSERT_FALSE(b.empty()) << f.name;
        EXPECT_EQ(own(b, false).ok, f.read) << f.name;
        // Whole, and cut at every length: SDL_image takes a JPEG for one once
        // its first scan header is whole, and libjpeg then ends the image
        // early, the rest grey; libwebp refuses a cut file.
        for (size_t cut = b.size(); cut > 0 && !HasFailure(); --cut)
            expect_same({std::string(f.name) + " cut at " + std::to_string(cut), Bytes(b.begin(), b.begin() + long(cut)),
                         false, f.raw});
    }
    const Case damaged[] = {
        {"JPEG, a segment that runs past the end", {0xFF, 0xD8, 0xFF, 0xE0, 0x00, 0x10, 0x13, 0x37}},
        {"JPEG, no marker after a segment", {0xFF, 0xD8, 0xFF, 0xE0, 0x00, 0x02, 0x13, 0x37}},
        {"JPEG, a scan with no frame", {0xFF, 0xD8, 0xFF, 0xFF, 0xD0, 0xFF, 0xDA, 0x00, 0x02}},
        {"JPEG, the end mark alone", {0xFF, 0xD8, 0xFF, 0xD9}},
        {"WebP, no data", Bytes{'R', 'I', 'F', 'F', 8, 0, 0, 0, 'W', 'E', 'B', 'P', 'V', 'P', '8', ' ', 0, 0, 0, 0}},
    };
    for (const Case &c : damaged) expect_same(c);
}

}  // namespace
