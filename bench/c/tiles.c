/* tiles, the limit: clear, then a tile map of 2000 16 x 16 tiles (a 40 x 30
 * screen and a second layer of 800 over its top) copied from one 128 x 128
 * sheet with per-pixel alpha by source rectangles, flip. The map is drawn
 * from the random sequence once, at the start. */
#include "bench.h"


#define TILES 2000

static SDL_Surface *screen, *sheet;
static int map[TILES], xs[TILES], ys[TILES], sxs[64], sys_[64];

static void frame(void) {
    SDL_FillRect(screen, NULL, SDL_MapRGBA(screen->format, 0, 0, 0, 255));
    for (int i = 0; i < TILES; ++i) {
        int t = map[i];
        SDL_Rect part = {(Sint16)sxs[t], (Sint16)sys_[t], 16, 16};
        SDL_Rect at = {(Sint16)xs[i], (Sint16)ys[i], 0, 0};
        SDL_UpperBlit(sheet, &part, screen, &at);
    }
    SDL_Flip(screen);
}

int main(int argc, char **argv) {
    int frames, warmup;
    bench_args(argc, argv, &frames, &warmup);
    screen = start_display(640, 480);
    sheet = load_sprite("tiles.png");
    for (int t = 0; t < 64; ++t) {
        sxs[t] = t % 8 * 16;
        sys_[t] = t / 8 * 16;
    }
    for (int i = 0; i < TILES; ++i) {
        map[i] = (int)rnd(64);
        xs[i] = i % 40 * 16;
        ys[i] = i / 40 % 30 * 16;
    }

    double *times = run_frames(frame, frames, warmup);
    report("tiles", frames, times, screen_hash(screen));
    free(times);
    SDL_FreeSurface(sheet);
    stop_display();
    return 0;
}
