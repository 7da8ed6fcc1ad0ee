/* pacing, the limit: a light frame (clear, flip) paced at 60 frames per second
 * on the whole-millisecond schedule the frame timer keeps: one tick read per
 * frame, one sleep of what is left of the slot. Measures the calls per second
 * achieved over DURATION seconds after SETTLE seconds of catching up, and the
 * CPU time the process used meanwhile.
 * Command line: DURATION [SETTLE] (seconds). */
#include "bench.h"

static SDL_Surface *screen;
static int32_t next_frame;

static void paced_frame(void) {
    SDL_FillRect(screen, NULL, SDL_MapRGBA(screen->format, 0, 0, 0, 255));
    SDL_Flip(screen);
    int32_t now = (int32_t)SDL_GetTicks();
    int32_t wait = (int32_t)((uint32_t)next_frame - (uint32_t)now);
    if (wait > 0) SDL_Delay((Uint32)wait);
    next_frame = (int32_t)((uint32_t)next_frame + 1000 / 60);
}

int main(int argc, char **argv) {
    double duration = argc > 1 ? atof(argv[1]) : 5.0;
    double settle = argc > 2 ? atof(argv[2]) : 0.5;
    screen = start_display(640, 480);

    double start = now_s();
    while (now_s() - start < settle) paced_frame();

    double t0 = now_s(), c0 = cpu_s(), t1 = t0;
    long calls = 0;
    while (t1 - t0 < duration) {
        paced_frame();
        ++calls;
        t1 = now_s();
    }
    double cpu = cpu_s() - c0;
    printf("result workload=pacing host=c calls=%ld seconds=%.4f rate=%.4f target_rate=%.4f cpu_pct=%.3f\n",
           calls, t1 - t0, (double)calls / (t1 - t0), 1000.0 / (1000 / 60), 100.0 * cpu / (t1 - t0));
    stop_display();
    return 0;
}
