// TrueType text over FreeType, laid out and rendered the way SDL_ttf 2.0
// does it: font metrics rounded to whole pixels from the scaled face, glyph
// boxes from the hinted metrics, kerning from the face's table, and blended
// text as an ARGB surface filled with the colour whose alpha is the glyph
// coverage. Rendered glyphs are kept per font, so a glyph is rasterised once.
#include "addons.h"

#include <SDL_ttf.h>
#include <ft2build.h>
#include FT_FREETYPE_H

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

FT_Library library = nullptr;
int init_count = 0;

inline int ft_floor(long x) { return int((x & -64) / 64); }
inline int ft_ceil(long x) { return int(((x + 63) & -64) / 64); }

struct Glyph {
    Uint16 ch = 0;
    bool used = false;
    bool ok = false;
    FT_UInt index = 0;
    int minx = 0, maxx = 0, miny = 0, maxy = 0, yoffset = 0, advance = 0;
    int width = 0, rows = 0, pitch = 0;  // coverage bitmap, one byte a pixel
    unsigned char *pixels = nullptr;
};

}  // namespace

struct _TTF_Font {
    FT_Face face;
    unsigned char *data;  // the font file, which FreeType reads in place
    int height, ascent, descent, lineskip;
    int strike;  // a bitmap face's strike, -1 for outlines
    bool kerning;
    // Glyphs by code point: the Latin-1 range directly, the rest in a
    // small open-addressing table that grows.
    Glyph latin[256];
    Glyph *table;
    size_t capacity, used;
};

namespace {

// Loads the glyph's metrics and, when asked, its 8-bit coverage.
bool load_glyph(TTF_Font *font, Glyph *g, Uint16 ch) {
    FT_Face face = font->face;
    g->ch = ch;
    g->used = true;
    g->index = FT_Get_Char_Index(face, ch);
    if (FT_Load_Glyph(face, g->index, FT_LOAD_DEFAULT)) return false;
    FT_Glyph_Metrics *m = &face->glyph->metrics;
    // Whole pixels: the box rounded outward from the hinted metrics, the
    // top measured from the font's ascent.
    g->minx = ft_floor(m->horiBearingX);
    g->maxx = g->minx + ft_ceil(m->width);
    g->maxy = ft_floor(m->horiBearingY);
    g->miny = g->maxy - ft_ceil(m->height);
    g->yoffset = font->ascent - g->maxy;
    g->advance = ft_ceil(m->horiAdvance);
    if (font->strike >= 0) {
        // A bitmap face, whose metrics SDL_ttf takes otherwise: the box as
        // wide as the advance, as deep as the strike's height read as 26.6
        // units (so one pixel), and drawn from the top.
        g->maxx = g->minx + ft_ceil(m->horiAdvance);
        g->miny = g->maxy - ft_ceil(face->available_sizes[font->strike].height);
        g->yoffset = 0;
    }
    if (FT_Render_Glyph(face->glyph, FT_RENDER_MODE_NORMAL)) return false;
    const FT_Bitmap *b = &face->glyph->bitmap;
    g->width = int(b->width);
    g->rows = int(b->rows);
    g->pitch = g->width;
    if (g->rows && g->width) {
        g->pixels = static_cast<unsigned char *>(calloc(size_t(g->rows), size_t(g->pitch)));
        if (!g->pixels) return false;
        for (int y = 0; y < g->rows; ++y) {
            const unsigned char *src = b->buffer + y * b->pitch;
            unsigned char *dst = g->pixels + y * g->pitch;
            switch (b->pixel_mode) {
            case FT_PIXEL_MODE_MONO:
                for (int x = 0; x < g->width; ++x) dst[x] = (src[x >> 3] & (0x80 >> (x & 7))) ? 255 : 0;
                break;
            case FT_PIXEL_MODE_GRAY:
                memcpy(dst, src, size_t(g->width));
                break;
            default:
                break;  // other modes do not come from outline rendering
            }
        }
    }
    g->ok = true;
    return true;
}

Glyph *find_glyph(TTF_Font *font, Uint16 ch) {
    Glyph *g;
    if (ch < 256) {
        g = &font->latin[ch];
    } else {
        if (2 * (font->used + 1) > font->capacity) {
            size_t cap = font->capacity ? font->capacity * 2 : 64;
            Glyph *table = static_cast<Glyph *>(calloc(cap, sizeof(Glyph)));
            if (!table) return nullptr;
            for (size_t i = 0; i < font->capacity; ++i) {
                Glyph &old = font->table[i];
                if (!old.used) continue;
                size_t j = old.ch & (cap - 1);
                while (table[j].used) j = (j + 1) & (cap - 1);
                table[j] = old;
            }
            free(font->table);
            font->table = table;
            font->capacity = cap;
        }
        size_t mask = font->capacity - 1, i = ch & mask;
        while (font->table[i].used && font->table[i].ch != ch) i = (i + 1) & mask;
        g = &font->table[i];
        if (!g->used) ++font->used;
    }
    if (!g->used) load_glyph(font, g, ch);
    return g->ok ? g : nullptr;
}

// The next UTF-8 character as a 16-bit code, as SDL_ttf decodes it: a
// malformed sequence gives U+FFFD and moves on by one byte.
Uint16 utf8_next(const unsigned char **p, size_t *left) {
    const unsigned char *s = *p;
    Uint32 ch = 0xFFFD;
    size_t len = 1;
    if (s[0] < 0x80) {
        ch = s[0];
    } else if (s[0] >= 0xC0 && s[0] < 0xE0 && *left >= 2 && (s[1] & 0xC0) == 0x80) {
        ch = Uint32(s[0] & 0x1F) << 6 | (s[1] & 0x3F);
        len = 2;
    } else if (s[0] >= 0xE0 && s[0] < 0xF0 && *left >= 3 && (s[1] & 0xC0) == 0x80 && (s[2] & 0xC0) == 0x80) {
        ch = Uint32(s[0] & 0x0F) << 12 | Uint32(s[1] & 0x3F) << 6 | (s[2] & 0x3F);
        len = 3;
    } else if (s[0] >= 0xF0 && s[0] < 0xF8 && *left >= 4 && (s[1] & 0xC0) == 0x80 && (s[2] & 0xC0) == 0x80 &&
               (s[3] & 0xC0) == 0x80) {
        // Outside the 16-bit range: kept to its low 16 bits, as SDL_ttf does.
        ch = (Uint32(s[0] & 0x07) << 18 | Uint32(s[1] & 0x3F) << 12 | Uint32(s[2] & 0x3F) << 6 | (s[3] & 0x3F)) &
             0xFFFF;
        len = 4;
    }
    *p += len;
    *left -= len;
    return Uint16(ch);
}

inline bool is_bom(Uint16 c) { return c == 0xFEFF || c == 0xFFFE; }

int kerning(TTF_Font *font, FT_UInt prev, FT_UInt next) {
    if (!font->kerning || !prev || !next) return 0;
    FT_Vector delta;
    FT_Get_Kerning(font->face, prev, next, FT_KERNING_DEFAULT, &delta);
    return int(delta.x >> 6);
}

// Sets the error text and returns -1.
int fail(const char *msg) {
    SDL_SetError("%s", msg);
    return -1;
}

}  // namespace

extern "C" {

int TTF_Init(void) {
    if (init_count == 0 && FT_Init_FreeType(&library)) return fail("Couldn't init FreeType engine");
    ++init_count;
    return 0;
}

int TTF_WasInit(void) { return init_count; }

void TTF_Quit(void) {
    if (init_count && --init_count == 0) {
        FT_Done_FreeType(library);
        library = nullptr;
    }
}

TTF_Font *TTF_OpenFont(const char *file, int ptsize) {
    if (!init_count) {
        fail("Library not initialized");
        return nullptr;
    }
    long size = 0;
    unsigned char *data = addons::read_file(file, &size);
    TTF_Font *font = data ? static_cast<TTF_Font *>(calloc(1, sizeof(TTF_Font))) : nullptr;
    if (!font) {
        free(data);
        return nullptr;
    }
    font->data = data;
    if (FT_New_Memory_Face(library, data, size, 0, &font->face)) {
        free(data);
        free(font);
        fail("Couldn't load font file");
        return nullptr;
    }
    FT_Face face = font->face;
    // A Unicode character map, as SDL_ttf picks it.
    for (int i = 0; i < face->num_charmaps; i++) {
        FT_CharMap cm = face->charmaps[i];
        if ((cm->platform_id == 3 && cm->encoding_id == 1) || (cm->platform_id == 3 && cm->encoding_id == 0) ||
            (cm->platform_id == 2 && cm->encoding_id == 1) || cm->platform_id == 0) {
            FT_Set_Charmap(face, cm);
            break;
        }
    }
    if (FT_IS_SCALABLE(face)) {
        font->strike = -1;
        if (FT_Set_Char_Size(face, 0, FT_F26Dot6(ptsize) * 64, 0, 0)) {
            TTF_CloseFont(font);
            fail("Couldn't set font size");
            return nullptr;
        }
        FT_Fixed scale = face->size->metrics.y_scale;
        font->ascent = ft_ceil(FT_MulFix(face->ascender, scale));
        font->descent = ft_ceil(FT_MulFix(face->descender, scale));
        font->height = font->ascent - font->descent + 1;
        font->lineskip = ft_ceil(FT_MulFix(face->height, scale));
    } else {
        // A bitmap face: the strike nearest below the size asked for.
        if (ptsize >= face->num_fixed_sizes) ptsize = face->num_fixed_sizes - 1;
        if (ptsize < 0) ptsize = 0;
        font->strike = ptsize;
        FT_Set_Pixel_Sizes(face, FT_UInt(face->available_sizes[ptsize].height),
                           FT_UInt(face->available_sizes[ptsize].width));
        font->ascent = face->available_sizes[ptsize].height;
        font->descent = 0;
        font->height = face->available_sizes[ptsize].height;
        font->lineskip = ft_ceil(font->ascent);
    }
    font->kerning = FT_HAS_KERNING(face);
    return font;
}

void TTF_CloseFont(TTF_Font *font) {
    if (!font) return;
    for (Glyph &g : font->latin) free(g.pixels);
    for (size_t i = 0; i < font->capacity; ++i) free(font->table[i].pixels);
    free(font->table);
    if (library) FT_Done_Face(font->face);
    free(font->data);
    free(font);
}

int TTF_FontHeight(const TTF_Font *font) { return font->height; }
int TTF_FontAscent(const TTF_Font *font) { return font->ascent; }
int TTF_FontDescent(const TTF_Font *font) { return font->descent; }
int TTF_FontLineSkip(const TTF_Font *font) { return font->lineskip; }
// FreeType's flag bit as it is (non-zero for a fixed-width face).
int TTF_FontFaceIsFixedWidth(const TTF_Font *font) { return int(font->face->face_flags & FT_FACE_FLAG_FIXED_WIDTH); }

int TTF_GlyphMetrics(TTF_Font *font, Uint16 ch, int *minx, int *maxx, int *miny, int *maxy, int *advance) {
    Glyph *g = find_glyph(font, ch);
    if (!g) return fail("Couldn't find glyph");
    if (minx) *minx = g->minx;
    if (maxx) *maxx = g->maxx;
    if (miny) *miny = g->miny;
    if (maxy) *maxy = g->maxy;
    if (advance) *advance = g->advance;
    return 0;
}

int TTF_SizeUTF8(TTF_Font *font, const char *text, int *w, int *h) {
    int x = 0, minx = 0, maxx = 0, miny = 0;
    FT_UInt prev = 0;
    const unsigned char *p = reinterpret_cast<const unsigned char *>(text);
    size_t left = strlen(text);
    while (left > 0) {
        Uint16 c = utf8_next(&p, &left);
        if (is_bom(c)) continue;
        Glyph *g = find_glyph(font, c);
        if (!g) return fail("Couldn't find glyph");
        x += kerning(font, prev, g->index);
        if (x + g->minx < minx) minx = x + g->minx;
        int z = x + (g->advance > g->maxx ? g->advance : g->maxx);
        if (z > maxx) maxx = z;
        x += g->advance;
        if (g->miny < miny) miny = g->miny;
        prev = g->index;
    }
    if (w) *w = maxx - minx;
    if (h) {
        // Some faces reach below their own descent.
        *h = font->ascent - miny;
        if (*h < font->height) *h = font->height;
    }
    return 0;
}

SDL_Surface *TTF_RenderUTF8_Blended(TTF_Font *font, const char *text, SDL_Color fg) {
    int width, height;
    if (!font || !text || TTF_SizeUTF8(font, text, &width, &height) < 0 || !width) {
        SDL_SetError("Text has zero width");
        return nullptr;
    }
    SDL_Surface *out =
        SDL_CreateRGBSurface(SDL_SWSURFACE, width, height, 32, 0x00FF0000, 0x0000FF00, 0x000000FF, 0xFF000000);
    if (!out) return nullptr;
    Uint32 *pixels = static_cast<Uint32 *>(out->pixels);
    Uint32 *end = pixels + size_t(out->pitch / 4) * size_t(out->h);
    Uint32 pixel = Uint32(fg.r) << 16 | Uint32(fg.g) << 8 | fg.b;
    // The whole surface takes the colour with alpha 0; glyphs add coverage.
    for (Uint32 *p = pixels; p < end; ++p) *p = pixel;

    int xstart = 0;
    bool first = true;
    FT_UInt prev = 0;
    const unsigned char *s = reinterpret_cast<const unsigned char *>(text);
    size_t left = strlen(text);
    while (left > 0) {
        Uint16 c = utf8_next(&s, &left);
        if (is_bom(c)) continue;
        Glyph *g = find_glyph(font, c);
        if (!g) {
            SDL_FreeSurface(out);
            SDL_SetError("Couldn't find glyph");
            return nullptr;
        }
        // The coverage bitmap may be wider than the glyph's box.
        int w = g->width;
        if (w > g->maxx - g->minx) w = g->maxx - g->minx;
        xstart += kerning(font, prev, g->index);
        // A first glyph reaching left of the origin moves the text right.
        if (first && g->minx < 0) xstart -= g->minx;
        first = false;
        for (int row = 0; row < g->rows; ++row) {
            int y = row + g->yoffset;
            if (y < 0 || y >= out->h) continue;
            Uint32 *dst = pixels + y * (out->pitch / 4) + xstart + g->minx;
            const unsigned char *src = g->pixels + row * g->pitch;
            // Coverage of overlapping glyphs combines by OR, as in SDL_ttf;
            // stores stay inside the surface's pixel memory.
            for (int col = w; col > 0 && dst < end; --col, ++dst, ++src)
                if (dst >= pixels) *dst |= pixel | (Uint32(*src) << 24);
        }
        xstart += g->advance;
        prev = g->index;
    }
    return out;
}

// Latin-1 text as UTF-8, each byte from 128 up becoming two, into out
// (2 * strlen + 1 bytes) when it fits, else into a malloc'd block; null
// when that cannot be had.
static char *latin1_to_utf8(const char *text, char *out, size_t cap) {
    size_t n = strlen(text);
    char *utf8 = (2 * n + 1 <= cap) ? out : static_cast<char *>(malloc(2 * n + 1));
    if (!utf8) return nullptr;
    char *o = utf8;
    for (const unsigned char *p = reinterpret_cast<const unsigned char *>(text); *p; ++p) {
        if (*p < 0x80) {
            *o++ = char(*p);
        } else {
            *o++ = char(0xC0 | (*p >> 6));
            *o++ = char(0x80 | (*p & 0x3F));
        }
    }
    *o = 0;
    return utf8;
}

int TTF_SizeText(TTF_Font *font, const char *text, int *w, int *h) {
    char small[64];
    char *utf8 = text ? latin1_to_utf8(text, small, sizeof small) : nullptr;
    if (!utf8) return -1;
    int r = TTF_SizeUTF8(font, utf8, w, h);
    if (utf8 != small) free(utf8);
    return r;
}

SDL_Surface *TTF_RenderText_Blended(TTF_Font *font, const char *text, SDL_Color fg) {
    char small[64];
    char *utf8 = text ? latin1_to_utf8(text, small, sizeof small) : nullptr;
    if (!utf8) return nullptr;
    SDL_Surface *s = TTF_RenderUTF8_Blended(font, utf8, fg);
    if (utf8 != small) free(utf8);
    return s;
}

}  // extern "C"
