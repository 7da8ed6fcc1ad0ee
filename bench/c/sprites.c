/* sprites, the limit: clear with one fill, 2000 blits of a 32 x 32 sprite with
 * per-pixel alpha at random positions (partly off the screen), flip. */
#include "bench.h"


static SDL_Surface *screen, *sprite;

static void frame(void) {
    SDL_FillRect(screen, NULL, SDL_MapRGBA(screen->format, 0, 0, 0, 255));
    for (int i = 0; i < 2000; ++i) {
        Sint16 x = (Sint16)((int)rnd(640 + 32) - 32);
        Sint16 y = (Sint16)((int)rnd(480 + 32) - 32);
        SDL_Rect r = {x, y, (Uint16)sprite->w, (Uint16)sprite->h};
        SDL_UpperBlit(sprite, NULL, screen, &r);
    }
    SDL_Flip(screen);
}

int main(int argc, char **argv) {
    int frames, warmup;
    bench_args(argc, argv, &frames, &warmup);
    screen = start_display(640, 480);
    sprite = load_sprite("sprite.png");

    double *times = run_frames(frame, frames, warmup);
    report("sprites", frames, times, screen_hash(screen));
    free(times);
    SDL_FreeSurface(sprite);
    stop_display();
    return 0;
}
