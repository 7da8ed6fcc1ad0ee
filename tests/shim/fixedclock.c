/* LD_PRELOAD shim for runs that must come out the same every time: SDL's
 * clock advances by a fixed step at every SDL_Flip and stands still in
 * between, and SDL_Delay returns at once on the game's thread, so a game
 * that moves by the timer's dt sees the same times frame after frame,
 * however fast it runs.
 *
 *   ORVIX_CLOCK_STEP=16      milliseconds per frame (default 16)
 *   ORVIX_STOPS=30,90,...    after these frames (counted from 1) the display's
 *                            pixels go to ORVIX_SHOTS/frame-N.ppm (when set)
 *   ORVIX_CPU_LOG=FILE       at those frames, a line "frame user_us system_us"
 *                            of the process's CPU time so far, all threads
 *                            (the browser benchmark's native side)
 *   ORVIX_KEYS=30:+273,...   after frame 30, press key 273 (+) or release
 *                            it (-): the key state changes and the event is
 *                            queued, as a real key would
 *
 * The browser page has the same clock and stops (?clock=16&stops=...). */
#ifndef _GNU_SOURCE
#define _GNU_SOURCE
#endif
#include <SDL.h>
#include <dlfcn.h>
#include <pthread.h>
#include <sys/resource.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

/* The libraries come in with the module, which the Lua host opens with local
 * symbol scope, so RTLD_NEXT does not see them: they are looked up by name. */
static void *real(const char *name) {
    void *f = dlsym(RTLD_NEXT, name);
    if (!f) {
        void *lib = dlopen("libSDL-1.2.so.0", RTLD_LAZY | RTLD_NOLOAD);
        if (lib) f = dlsym(lib, name);
    }
    if (!f) {
        fprintf(stderr, "fixedclock: %s not found\n", name);
        abort();
    }
    return f;
}

static Uint32 frames;

static Uint32 step(void) {
    const char *s = getenv("ORVIX_CLOCK_STEP");
    return s ? (Uint32)strtoul(s, NULL, 10) : 16;
}

Uint32 SDL_GetTicks(void) { return frames * step(); }

/* The game's thread: the one that loaded the shim. SDL's own threads (the
 * audio device's) keep their real waits, or they would spin. */
static pthread_t game_thread;
__attribute__((constructor)) static void note_game_thread(void) { game_thread = pthread_self(); }

void SDL_Delay(Uint32 ms) {
    if (!pthread_equal(pthread_self(), game_thread)) ((void (*)(Uint32))real("SDL_Delay"))(ms);
}

/* Whether n is in the comma-separated list. */
static int listed(const char *list, Uint32 n) {
    while (list && *list) {
        char *end;
        unsigned long v = strtoul(list, &end, 10);
        if (end == list) return 0;
        if (v == n) return 1;
        list = *end ? end + 1 : end;
    }
    return 0;
}

static void log_cpu(Uint32 n) {
    const char *path = getenv("ORVIX_CPU_LOG");
    struct rusage ru;
    FILE *f;
    if (!path || getrusage(RUSAGE_SELF, &ru) != 0 || !(f = fopen(path, "a"))) return;
    fprintf(f, "%u %lld %lld\n", (unsigned)n, (long long)ru.ru_utime.tv_sec * 1000000 + ru.ru_utime.tv_usec,
            (long long)ru.ru_stime.tv_sec * 1000000 + ru.ru_stime.tv_usec);
    fclose(f);
}

static void save(SDL_Surface *s, Uint32 n) {
    const char *dir = getenv("ORVIX_SHOTS");
    char path[4096];
    if (!dir) return;
    snprintf(path, sizeof path, "%s/frame-%u.ppm", dir, (unsigned)n);
    FILE *f = fopen(path, "wb");
    if (!f) return;
    fprintf(f, "P6\n%d %d\n255\n", s->w, s->h);
    for (int y = 0; y < s->h; ++y)
        for (int x = 0; x < s->w; ++x) {
            Uint32 p = ((Uint32 *)((Uint8 *)s->pixels + y * s->pitch))[x];
            const SDL_PixelFormat *fmt = s->format;
            Uint8 rgb[3] = {(Uint8)((p & fmt->Rmask) >> fmt->Rshift), (Uint8)((p & fmt->Gmask) >> fmt->Gshift),
                            (Uint8)((p & fmt->Bmask) >> fmt->Bshift)};
            fwrite(rgb, 1, 3, f);
        }
    fclose(f);
}

static void press_keys(Uint32 n) {
    const char *list = getenv("ORVIX_KEYS");
    int (*push)(SDL_Event *) = (int (*)(SDL_Event *))real("SDL_PushEvent");
    Uint8 *(*keystate)(int *) = (Uint8 * (*)(int *)) real("SDL_GetKeyState");
    while (list && *list) {
        char *end;
        unsigned long at = strtoul(list, &end, 10);
        if (*end != ':') return;
        int down = end[1] == '+';
        int sym = (int)strtol(end + 2, &end, 10);
        if (at == n && sym > 0 && sym < SDLK_LAST) {
            SDL_Event e;
            memset(&e, 0, sizeof e);
            e.type = down ? SDL_KEYDOWN : SDL_KEYUP;
            e.key.state = down ? SDL_PRESSED : SDL_RELEASED;
            e.key.keysym.sym = (SDLKey)sym;
            keystate(NULL)[sym] = e.key.state;
            push(&e);
        }
        list = *end ? end + 1 : end;
    }
}

int SDL_Flip(SDL_Surface *screen) {
    int r = ((int (*)(SDL_Surface *))real("SDL_Flip"))(screen);
    ++frames;
    if (listed(getenv("ORVIX_STOPS"), frames)) {
        log_cpu(frames);
        save(screen, frames);
        press_keys(frames);
    }
    return r;
}
