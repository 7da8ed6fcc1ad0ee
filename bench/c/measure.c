/* measure, the limit: the 200 texts of the text workload ("Score: N" in
 * DejaVu Sans 16, with the same random numbers drawn), each only measured
 * with TTF_SizeUTF8, and the sizes added up; no drawing but the clear and the
 * flip. */
#include "bench.h"

static SDL_Surface *screen;
static TTF_Font *font;
static long total;

static void frame(void) {
    char text[32];
    SDL_FillRect(screen, NULL, SDL_MapRGBA(screen->format, 0, 0, 0, 255));
    for (int i = 0; i < 200; ++i) {
        uint32_t score = rnd(100000);
        /* position and colour, drawn as in the text workload */
        rnd(640);
        rnd(480);
        rnd(256);
        rnd(256);
        rnd(256);
        snprintf(text, sizeof text, "Score: %u", (unsigned)score);
        int w = 0, h = 0;
        TTF_SizeUTF8(font, text, &w, &h);
        total += w + h;
    }
    SDL_Flip(screen);
}

int main(int argc, char **argv) {
    int frames, warmup;
    bench_args(argc, argv, &frames, &warmup);
    screen = start_display(640, 480);
    font = TTF_OpenFont("/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf", 16);
    if (!font) fail("TTF_OpenFont");
    double *times = run_frames(frame, frames, warmup);
    /* The sizes go into the picture: one pixel per frame's total, so that the
     * hash says whether the Lua run measured the same. */
    SDL_FillRect(screen, NULL, SDL_MapRGBA(screen->format, (Uint8)total, (Uint8)(total >> 8), (Uint8)(total >> 16), 255));
    report("measure", frames, times, screen_hash(screen));
    free(times);
    TTF_CloseFont(font);
    stop_display();
    return 0;
}
