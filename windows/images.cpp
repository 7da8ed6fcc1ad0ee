// The Windows build's image decoders for the formats the add-ons' IMG_Load_RW
// does not read itself: JPEG through libjpeg-turbo and GIF through giflib,
// both built from Debian's sources, with the pixels SDL_image gives on Linux.
// - JPEG: RGB (grey spread to RGB), opaque; a four-channel (CMYK) file keeps
//   its raw channel bytes, which orvixcore turns into RGB as it does for
//   SDL_image's (assets.cpp).
// - GIF: the first image of the file, at its own size, in the colours of its
//   own palette (or the file's); the transparent index of the control block
//   before it has alpha 0.
// Either gives a 32-bit surface with the bytes R, G, B, A in memory.
#include "addons.h"

#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>

extern "C" {
#include <gif_lib.h>
#include <jpeglib.h>
}

namespace {

SDL_Surface *image_surface(int w, int h) {
    return SDL_CreateRGBSurface(SDL_SWSURFACE, w, h, 32, addons::kImageR, addons::kImageG, addons::kImageB,
                                addons::kImageA);
}

// ---------------------------------------------------------------------------
// JPEG. libjpeg reports errors through a callback that must not return:
// it jumps back here. Nothing with a destructor lives across the jump.
struct JpegError {
    jpeg_error_mgr mgr;
    jmp_buf jump;
};

void jpeg_fail(j_common_ptr info) { longjmp(reinterpret_cast<JpegError *>(info->err)->jump, 1); }
void jpeg_quiet(j_common_ptr, int) {}

SDL_Surface *decode_jpeg(const unsigned char *data, size_t size) {
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
    info.quantize_colors = FALSE;
    jpeg_start_decompress(&info);
    int w = int(info.output_width), h = int(info.output_height);
    s = image_surface(w, h);
    row = static_cast<JSAMPLE *>(malloc(size_t(w) * 4));
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

// ---------------------------------------------------------------------------
// GIF, read from memory.
struct GifInput {
    const unsigned char *data;
    size_t size, pos;
};

int gif_read(GifFileType *gif, GifByteType *out, int n) {
    auto *in = static_cast<GifInput *>(gif->UserData);
    size_t left = in->size - in->pos;
    size_t take = n < 0 ? 0 : size_t(n) < left ? size_t(n) : left;
    memcpy(out, in->data + in->pos, take);
    in->pos += take;
    return int(take);
}

// Fills the surface from the first image's rows, which an interlaced file
// gives in four passes.
bool gif_rows(GifFileType *gif, SDL_Surface *s, const ColorMapObject *map, int transparent) {
    int w = s->w, h = s->h;
    GifPixelType *line = static_cast<GifPixelType *>(malloc(size_t(w)));
    if (!line) return false;
    static const int start[4] = {0, 4, 2, 1}, step[4] = {8, 8, 4, 2};
    int passes = gif->Image.Interlace ? 4 : 1;
    bool ok = true;
    for (int pass = 0; ok && pass < passes; ++pass) {
        int first = passes == 1 ? 0 : start[pass], stride = passes == 1 ? 1 : step[pass];
        for (int y = first; ok && y < h; y += stride) {
            ok = DGifGetLine(gif, line, w) == GIF_OK;
            Uint8 *dst = static_cast<Uint8 *>(s->pixels) + y * s->pitch;
            for (int x = 0; ok && x < w; ++x, dst += 4) {
                int i = line[x];
                const GifColorType *c = i < map->ColorCount ? &map->Colors[i] : nullptr;
                dst[0] = c ? c->Red : 0;
                dst[1] = c ? c->Green : 0;
                dst[2] = c ? c->Blue : 0;
                dst[3] = i == transparent ? 0 : 0xFF;
            }
        }
    }
    free(line);
    return ok;
}

SDL_Surface *decode_gif(const unsigned char *data, size_t size) {
    GifInput in = {data, size, 0};
    int error = 0;
    GifFileType *gif = DGifOpen(&in, gif_read, &error);
    if (!gif) return nullptr;
    SDL_Surface *s = nullptr;
    int transparent = -1;
    GifRecordType record;
    bool done = false;
    while (!done && DGifGetRecordType(gif, &record) == GIF_OK) {
        if (record == EXTENSION_RECORD_TYPE) {
            int code = 0;
            GifByteType *ext = nullptr;
            if (DGifGetExtension(gif, &code, &ext) != GIF_OK) break;
            if (code == GRAPHICS_EXT_FUNC_CODE && ext && ext[0] >= 4)
                transparent = (ext[1] & 1) ? ext[4] : -1;
            while (ext && DGifGetExtensionNext(gif, &ext) == GIF_OK) {
            }
        } else if (record == IMAGE_DESC_RECORD_TYPE) {
            done = true;
            if (DGifGetImageDesc(gif) != GIF_OK) break;
            const ColorMapObject *map = gif->Image.ColorMap ? gif->Image.ColorMap : gif->SColorMap;
            if (!map || gif->Image.Width <= 0 || gif->Image.Height <= 0) break;
            s = image_surface(gif->Image.Width, gif->Image.Height);
            if (s && !gif_rows(gif, s, map, transparent)) {
                SDL_FreeSurface(s);
                s = nullptr;
            }
        } else if (record == TERMINATE_RECORD_TYPE) {
            break;
        }
    }
    DGifCloseFile(gif, &error);
    return s;
}

}  // namespace

SDL_Surface *addons::decode_image(const unsigned char *data, size_t size) {
    if (size >= 3 && data[0] == 0xFF && data[1] == 0xD8 && data[2] == 0xFF) return decode_jpeg(data, size);
    if (size >= 6 && (memcmp(data, "GIF87a", 6) == 0 || memcmp(data, "GIF89a", 6) == 0)) return decode_gif(data, size);
    return nullptr;
}
