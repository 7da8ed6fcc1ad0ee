// JPEG through libjpeg-turbo, as SDL_image reads it: RGB (a grey file spread
// to RGB), opaque; a four-channel (CMYK) file keeps its channel bytes as they
// are, which orvixcore turns into RGB as it does for SDL_image's surface
// (assets.cpp). libjpeg ignores the orientation tag, as natively.
#include "readers.h"

#include <csetjmp>
#include <cstdio>

extern "C" {
#include <jpeglib.h>
}

namespace addons {

namespace {

// libjpeg reports errors through a callback that must not return: it jumps
// back to the decoder, where nothing with a destructor lives across the jump.
struct JpegError {
    jpeg_error_mgr mgr;
    jmp_buf jump;
};

void jpeg_fail(j_common_ptr info) { longjmp(reinterpret_cast<JpegError *>(info->err)->jump, 1); }
void jpeg_quiet(j_common_ptr, int) {}

}  // namespace

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
        return fail("JPEG loading error");
    }
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, data, static_cast<unsigned long>(size));
    jpeg_read_header(&info, TRUE);
    bool cmyk = info.num_components == 4;
    info.out_color_space = cmyk ? JCS_CMYK : JCS_RGB;
    info.quantize_colors = FALSE;
    jpeg_start_decompress(&info);
    int w = int(info.output_width), h = int(info.output_height);
    s = new_image(w, h);
    row = static_cast<JSAMPLE *>(malloc(size_t(w) * 3));
    if (!s || !row) longjmp(err.jump, 1);
    while (info.output_scanline < info.output_height) {
        Uint8 *dst = static_cast<Uint8 *>(s->pixels) + int(info.output_scanline) * s->pitch;
        // CMYK rows are written straight into the surface, four bytes a pixel.
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

}  // namespace addons
