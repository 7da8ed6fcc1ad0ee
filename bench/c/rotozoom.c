/* rotozoom, the limit: clear, then 20 copies of a 64 x 64 sprite with
 * per-pixel alpha, each turned and zoomed with SDL_gfx's rotozoomSurface
 * (smoothed) at its own angle and zoom, blitted and freed, flip. */
#include "bench.h"

#include <SDL_rotozoom.h>

static SDL_Surface *screen, *sprite;
static int frame_no;

static void frame(void) {
    SDL_FillRect(screen, NULL, SDL_MapRGBA(screen->format, 0, 0, 0, 255));
    for (int i = 0; i < 20; ++i) {
        double angle = (double)((frame_no * 7 + i * 31) % 360);
        double zoom = 0.5 + (double)((frame_no + i) % 16) / 10.0;
        SDL_Surface *turned = rotozoomSurface(sprite, angle, zoom, SMOOTHING_ON);
        if (!turned) fail("rotozoomSurface");
        /* SDL_gfx gives its result a colour key of 0 with RLE: blitted with
         * it, the SDL2-based SDL 1.2 library keys out opaque black and blends
         * by other arithmetic. A program wanting the sprite as drawn drops it. */
        SDL_SetColorKey(turned, 0, 0);
        SDL_Rect r = {(Sint16)(i % 5 * 128), (Sint16)(i / 5 * 120), 0, 0};
        SDL_UpperBlit(turned, NULL, screen, &r);
        SDL_FreeSurface(turned);
    }
    ++frame_no;
    SDL_Flip(screen);
}

int main(int argc, char **argv) {
    int frames, warmup;
    bench_args(argc, argv, &frames, &warmup);
    screen = start_display(640, 480);
    sprite = load_sprite("ship.png");

    double *times = run_frames(frame, frames, warmup);
    report("rotozoom", frames, times, screen_hash(screen));
    free(times);
    SDL_FreeSurface(sprite);
    stop_display();
    return 0;
}
