/* pixels, the limit: 50000 single pixels at random positions in random
 * colours, each with its own lock, colour mapping and store, then flip. */
#include "bench.h"

static SDL_Surface *screen;

/* The store behind putpix on a 4-byte surface, positions outside dropped. */
static void store(SDL_Surface *s, Uint16 x, Uint16 y, Uint32 pixel) {
    if (x >= s->w || y >= s->h) return;
    Uint8 *p = (Uint8 *)s->pixels + y * s->pitch;
    ((Uint32 *)p)[x] = pixel;
}

static void frame(void) {
    for (int i = 0; i < 50000; ++i) {
        /* Two draws per pixel: one for the position, one for the colour. */
        uint32_t v = rnd(640 * 480);
        uint32_t c = rnd(1 << 24);
        Uint16 x = (Uint16)(v % 640), y = (Uint16)(v / 640);
        Uint8 r = (Uint8)c, g = (Uint8)(c >> 8), b = (Uint8)(c >> 16);
        SDL_LockSurface(screen);
        store(screen, x, y, SDL_MapRGBA(screen->format, r, g, b, 255));
        SDL_UnlockSurface(screen);
    }
    SDL_Flip(screen);
}

int main(int argc, char **argv) {
    int frames, warmup;
    bench_args(argc, argv, &frames, &warmup);
    screen = start_display(640, 480);
    if (screen->format->BytesPerPixel != 4) fail("a 4-byte screen");
    double *times = run_frames(frame, frames, warmup);
    report("pixels", frames, times, screen_hash(screen));
    free(times);
    stop_display();
    return 0;
}
