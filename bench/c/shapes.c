/* shapes, the limit: clear, 500 filled circles and 500 anti-aliased lines
 * through SDL_gfx, in random places and translucent random colours, flip. */
#include "bench.h"

#include <SDL_gfxPrimitives.h>

static SDL_Surface *screen;

static void frame(void) {
    SDL_FillRect(screen, NULL, SDL_MapRGBA(screen->format, 0, 0, 0, 255));
    for (int i = 0; i < 500; ++i) {
        Sint16 x = (Sint16)rnd(640), y = (Sint16)rnd(480), rad = (Sint16)(rnd(40) + 1);
        Uint8 r = (Uint8)rnd(256), g = (Uint8)rnd(256), b = (Uint8)rnd(256);
        Uint8 a = (Uint8)(128 + rnd(128));
        filledCircleRGBA(screen, x, y, rad, r, g, b, a);
    }
    for (int i = 0; i < 500; ++i) {
        Sint16 x1 = (Sint16)((int)rnd(680) - 20), y1 = (Sint16)((int)rnd(520) - 20);
        Sint16 x2 = (Sint16)((int)rnd(680) - 20), y2 = (Sint16)((int)rnd(520) - 20);
        Uint8 r = (Uint8)rnd(256), g = (Uint8)rnd(256), b = (Uint8)rnd(256);
        Uint8 a = (Uint8)(128 + rnd(128));
        aalineRGBA(screen, x1, y1, x2, y2, r, g, b, a);
    }
    SDL_Flip(screen);
}

int main(int argc, char **argv) {
    int frames, warmup;
    bench_args(argc, argv, &frames, &warmup);
    screen = start_display(640, 480);
    double *times = run_frames(frame, frames, warmup);
    report("shapes", frames, times, screen_hash(screen));
    free(times);
    stop_display();
    return 0;
}
