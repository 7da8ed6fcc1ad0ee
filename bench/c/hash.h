/* FNV-1a hashes of pixels and memory blocks, shared by the C programs and the
 * benchkit Lua module, so that both sides print the same digest for the same
 * output. */
#ifndef BENCH_HASH_H
#define BENCH_HASH_H

#include <SDL.h>

#include <stddef.h>
#include <stdint.h>
#include <stdio.h>

#define FNV_START 2166136261u

static inline uint32_t fnv1a(uint32_t h, const void *data, size_t n) {
    const unsigned char *p = (const unsigned char *)data;
    for (size_t i = 0; i < n; ++i) h = (h ^ p[i]) * 16777619u;
    return h;
}

/* The visible pixels only: the padding at the end of a row is not part of
 * the picture. */
static inline uint32_t screen_hash(SDL_Surface *s) {
    uint32_t h = FNV_START;
    if (!s || SDL_LockSurface(s) < 0) return h;
    const unsigned char *row = (const unsigned char *)s->pixels;
    size_t bytes = (size_t)s->w * s->format->BytesPerPixel;
    for (int y = 0; y < s->h; ++y, row += s->pitch) h = fnv1a(h, row, bytes);
    SDL_UnlockSurface(s);
    return h;
}

static inline void hash_text(uint32_t h, char out[9]) { snprintf(out, 9, "%08x", (unsigned)h); }

#endif
