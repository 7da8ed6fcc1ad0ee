// IMG_Load for the browser build: PNG through libpng and uncompressed BMP
// here, every other format the browser reads (JPEG, GIF, WebP, ...) through
// the browser; each into a 32-bit surface with the image's own alpha
// (opaque where the file has none), which SDL_DisplayFormatAlpha then
// converts as natively.
#include "backend.h"
#include "web.h"

#include <SDL_image.h>
#include <png.h>

#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

// Bytes R, G, B, A in memory, as SDL_image gives images with alpha.
constexpr Uint32 kR = 0x000000FF, kG = 0x0000FF00, kB = 0x00FF0000, kA = 0xFF000000;

struct Reader {
    const unsigned char *data;
    size_t size, pos;
};

void png_read(png_structp png, png_bytep out, png_size_t n) {
    Reader *r = static_cast<Reader *>(png_get_io_ptr(png));
    if (n > r->size - r->pos) png_error(png, "truncated file");
    memcpy(out, r->data + r->pos, n);
    r->pos += n;
}

// Decodes into a new surface, or null (the error text set) when the data
// is not a PNG that libpng can read. No C++ object lives across the
// longjmp that libpng uses for errors.
SDL_Surface *load_png(const unsigned char *data, size_t size) {
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!info) {
        png_destroy_read_struct(&png, nullptr, nullptr);
        SDL_SetError("Out of memory");
        return nullptr;
    }
    Reader reader = {data, size, 0};
    SDL_Surface *volatile surface = nullptr;
    png_bytep *volatile rows = nullptr;
    if (setjmp(png_jmpbuf(png))) {
        free(rows);
        SDL_FreeSurface(surface);
        png_destroy_read_struct(&png, &info, nullptr);
        SDL_SetError("Error reading the PNG file");
        return nullptr;
    }
    png_set_read_fn(png, &reader, png_read);
    png_read_info(png, info);
    // Everything becomes 8-bit RGBA: palettes and grey expanded, 16-bit
    // channels cut to 8, transparency chunks turned into alpha.
    png_set_expand(png);
    png_set_strip_16(png);
    png_set_gray_to_rgb(png);
    png_set_filler(png, 0xFF, PNG_FILLER_AFTER);
    png_set_interlace_handling(png);
    png_read_update_info(png, info);
    png_uint_32 w = png_get_image_width(png, info), h = png_get_image_height(png, info);
    surface = orw::make_surface(int(w), int(h), kR, kG, kB, kA);
    if (!surface) png_error(png, "image too large");
    rows = static_cast<png_bytep *>(malloc(sizeof(png_bytep) * (h ? h : 1)));
    if (!rows) png_error(png, "out of memory");
    for (png_uint_32 y = 0; y < h; ++y) rows[y] = static_cast<png_bytep>(surface->pixels) + y * surface->pitch;
    png_read_image(png, rows);
    png_read_end(png, nullptr);
    free(rows);
    png_destroy_read_struct(&png, &info, nullptr);
    return surface;
}

inline Uint32 le16(const unsigned char *p) { return Uint32(p[0]) | Uint32(p[1]) << 8; }
inline Uint32 le32(const unsigned char *p) { return le16(p) | le16(p + 2) << 16; }

// Uncompressed Windows bitmaps of 8 (palette), 24 and 32 bits, bottom-up or
// top-down; as SDL_LoadBMP reads them, without alpha.
SDL_Surface *load_bmp(const unsigned char *d, size_t size) {
    if (size < 54) return nullptr;
    Uint32 offset = le32(d + 10), header = le32(d + 14);
    int w = int(le32(d + 18)), h = int(le32(d + 22));
    int bpp = int(le16(d + 28));
    Uint32 compression = le32(d + 30);
    bool top_down = h < 0;
    if (top_down) h = -h;
    if (w <= 0 || h <= 0 || (compression != 0 && !(compression == 3 && bpp == 32)) ||
        (bpp != 8 && bpp != 24 && bpp != 32))
        return nullptr;
    size_t stride = ((size_t(w) * size_t(bpp) + 31) / 32) * 4;
    if (offset > size || stride * size_t(h) > size - offset) return nullptr;
    const unsigned char *palette = d + 14 + header;
    Uint32 colours = le32(d + 46);
    if (bpp == 8 && colours == 0) colours = 256;
    if (bpp == 8 && (palette + 4 * size_t(colours) > d + size)) return nullptr;
    SDL_Surface *s = orw::make_surface(w, h, kR, kG, kB, kA);
    if (!s) return nullptr;
    for (int y = 0; y < h; ++y) {
        const unsigned char *src = d + offset + stride * size_t(top_down ? y : h - 1 - y);
        unsigned char *dst = static_cast<unsigned char *>(s->pixels) + y * s->pitch;
        for (int x = 0; x < w; ++x, dst += 4) {
            const unsigned char *bgr;
            if (bpp == 8) {
                Uint32 i = src[x];
                static const unsigned char black[3] = {0, 0, 0};
                bgr = i < colours ? palette + 4 * i : black;
            } else {
                bgr = src + x * (bpp / 8);
            }
            dst[0] = bgr[2];
            dst[1] = bgr[1];
            dst[2] = bgr[0];
            dst[3] = 0xFF;
        }
    }
    return s;
}

}  // namespace

extern "C" SDL_Surface *IMG_Load(const char *file) {
    long size = 0;
    unsigned char *data = orw::read_file(file, &size);
    if (!data) return nullptr;
    SDL_Surface *s = nullptr;
    if (size >= 8 && !png_sig_cmp(data, 0, 8)) {
        s = load_png(data, size_t(size));
    } else if (size >= 2 && data[0] == 'B' && data[1] == 'M') {
        s = load_bmp(data, size_t(size));
        if (!s) SDL_SetError("Unsupported BMP file");
    } else {
        int w = 0, h = 0;
        Uint8 *rgba = orw_js_image_decode(data, int(size), &w, &h);
        s = rgba ? orw::make_surface(w, h, kR, kG, kB, kA) : nullptr;
        if (s) memcpy(s->pixels, rgba, size_t(w) * size_t(h) * 4);
        free(rgba);
        if (!s) SDL_SetError("Unsupported image format");
    }
    free(data);
    return s;
}
