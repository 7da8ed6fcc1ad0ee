/* text, the limit: clear, 200 lines "Score: N" in DejaVu Sans 16, each
 * rendered blended, blitted and freed, then flip. */
#include "bench.h"

static SDL_Surface *screen;
static TTF_Font *font;

static void frame(void) {
    char text[32];
    SDL_FillRect(screen, NULL, SDL_MapRGBA(screen->format, 0, 0, 0, 255));
    for (int i = 0; i < 200; ++i) {
        uint32_t score = rnd(100000);
        Sint16 x = (Sint16)((int)rnd(640) - 40);
        Sint16 y = (Sint16)((int)rnd(480) - 10);
        SDL_Color c;
        c.r = (Uint8)rnd(256);
        c.g = (Uint8)rnd(256);
        c.b = (Uint8)rnd(256);
        c.unused = 0;
        snprintf(text, sizeof text, "Score: %u", (unsigned)score);
        SDL_Surface *rendered = TTF_RenderUTF8_Blended(font, text, c);
        if (!rendered) continue;
        SDL_Rect r = {x, y, (Uint16)rendered->w, (Uint16)rendered->h};
        SDL_UpperBlit(rendered, NULL, screen, &r);
        SDL_FreeSurface(rendered);
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
    report("text", frames, times, screen_hash(screen));
    free(times);
    TTF_CloseFont(font);
    stop_display();
    return 0;
}
