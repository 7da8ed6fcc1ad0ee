// The browser build's image decoders for the formats the add-ons do not read
// themselves, from the libraries SDL_image reads them with natively, built
// from Debian's sources: WebP through libwebp, and only the kind SDL_image
// reads; JPEG through libjpeg-turbo, as RGB, grey spread to RGB, or a CMYK
// file's four channels as they are (orvixcore turns them into RGB, as it does
// natively). libjpeg ignores the orientation tag, natively too. Formats
// SDL_image has no reader for (AVIF, SVG, ...) are refused, as natively.
#include "addons.h"

#include <webp/decode.h>

#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>

extern "C" {
#include <jpeglib.h>
}

namespace {

SDL_Surface *image_surface(int w, int h) {
    return SDL_CreateRGBSurface(SDL_SWSURFACE, w, h, 32, addons::kImageR, addons::kImageG, addons::kImageB,
                                addons::kImageA);
}

SDL_Surface *read_webp(const unsigned char *data, size_t size) {
    // SDL_image knows only the simple lossy kind: lossless WebP and WebP
    // with alpha or animation (VP8L, VP8X) are refused natively.
    if (size < 16 || memcmp(data + 12, "VP8 ", 4) != 0) return nullptr;
    int w = 0, h = 0;
    Uint8 *rgba = WebPDecodeRGBA(data, size, &w, &h);
    SDL_Surface *s = rgba ? image_surface(w, h) : nullptr;
    if (s) memcpy(s->pixels, rgba, size_t(w) * size_t(h) * 4);
    WebPFree(rgba);
    return s;
}

// libjpeg reports errors through a callback that must not return: it jumps
// back to the decoder, where nothing with a destructor lives across the jump.
struct JpegError {
    jpeg_error_mgr mgr;
    jmp_buf jump;
};

void jpeg_fail(j_common_ptr info) { longjmp(reinterpret_cast<JpegError *>(info->err)->jump, 1); }
void jpeg_quiet(j_common_ptr, int) {}

SDL_Surface *read_jpeg(const unsigned char *data, size_t size) {
    jpeg_decompress_struct info;
    JpegError err;
    info.err = jpeg_std_error(&err.mgr);
    err.mgr.error_exit = jpeg_fail;
    err.mgr.emit_message = jpeg_quiet;
    SDL_Surface *volatile s = nullptr;
    JSAMPLE *volatile row = nullptr;
    if (setjmp(err.jump)) {
        jpeg_destroy_decompress(&info);
        if (s) SDL_FreeSurface(s);
        free(row);
        return nullptr;
    }
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, data, static_cast<unsigned long>(size));
    jpeg_read_header(&info, TRUE);
    bool cmyk = info.num_components == 4;
    info.out_color_space = cmyk ? JCS_CMYK : JCS_RGB;
    jpeg_start_decompress(&info);
    int w = int(info.output_width), h = int(info.output_height);
    s = image_surface(w, h);
    row = static_cast<JSAMPLE *>(malloc(size_t(w) * 3));
    if (!s || !row) longjmp(err.jump, 1);
    while (info.output_scanline < info.output_height) {
        Uint8 *dst = static_cast<Uint8 *>(s->pixels) + int(info.output_scanline) * s->pitch;
        JSAMPROW rows[1] = {cmyk ? dst : row};
        jpeg_read_scanlines(&info, rows, 1);
        if (cmyk) continue;
        for (int x = 0; x < w; ++x) {
            dst[4 * x] = row[3 * x];
            dst[4 * x + 1] = row[3 * x + 1];
            dst[4 * x + 2] = row[3 * x + 2];
            dst[4 * x + 3] = 0xFF;
        }
    }
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    free(row);
    return s;
}

}  // namespace

SDL_Surface *addons::decode_image(const unsigned char *data, size_t size) {
    if (size >= 12 && memcmp(data, "RIFF", 4) == 0 && memcmp(data + 8, "WEBP", 4) == 0) return read_webp(data, size);
    if (size >= 3 && data[0] == 0xFF && data[1] == 0xD8 && data[2] == 0xFF) return read_jpeg(data, size);
    return nullptr;
}
