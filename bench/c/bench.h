/* Shared pieces of the C benchmark programs: the random sequence, the clocks,
 * the display start-up and the result line. The Lua scripts in bench/lua do
 * the same in bench/lua/common.lua; the two must stay in step. */
#ifndef BENCH_BENCH_H
#define BENCH_BENCH_H

#include <SDL.h>
#include <SDL_image.h>
#include <SDL_mixer.h>
#include <SDL_ttf.h>

#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/resource.h>
#include <time.h>

#include "hash.h"

/* Park and Miller's minimal standard generator. Every product stays below
 * 2^53, so Lua computes the same sequence exactly in doubles. */
static uint32_t bench_seed = 12345;

static inline uint32_t rnd(uint32_t n) {
    bench_seed = (uint32_t)((uint64_t)bench_seed * 16807u % 2147483647u);
    return bench_seed % n;
}

static inline double now_s(void) {
    struct timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return (double)ts.tv_sec + (double)ts.tv_nsec * 1e-9;
}

static inline double cpu_s(void) {
    struct rusage ru;
    getrusage(RUSAGE_SELF, &ru);
    return (double)(ru.ru_utime.tv_sec + ru.ru_stime.tv_sec) +
           (double)(ru.ru_utime.tv_usec + ru.ru_stime.tv_usec) * 1e-6;
}

/* Command line of every program: FRAMES [WARMUP]. Warm-up frames run first
 * and are not timed. */
static inline void bench_args(int argc, char **argv, int *frames, int *warmup) {
    *frames = argc > 1 ? atoi(argv[1]) : 10;
    *warmup = argc > 2 ? atoi(argv[2]) : 0;
    if (*frames < 1) *frames = 1;
    if (*warmup < 0) *warmup = 0;
}

static inline void fail(const char *what) {
    printf("bench: %s failed: %s\n", what, SDL_GetError());
    exit(1);
}

/* The start-up that init performs: SDL with audio, video and joysticks, the
 * video mode, SDL_ttf and the mixer (whose failure is survived). */
static inline SDL_Surface *start_display(int w, int h) {
    if (SDL_Init(SDL_INIT_AUDIO | SDL_INIT_VIDEO | SDL_INIT_JOYSTICK) < 0) fail("SDL_Init");
    SDL_Surface *screen = SDL_SetVideoMode(w, h, 32, SDL_HWSURFACE | SDL_DOUBLEBUF);
    if (!screen) fail("SDL_SetVideoMode");
    if (TTF_Init() < 0) fail("TTF_Init");
    Mix_OpenAudio(44100, AUDIO_S16SYS, 2, 4096);
    return screen;
}

/* An image from BENCH_ASSETS (default: the current folder) in the display's
 * format with per-pixel alpha, as loadImage makes it; after start_display. */
static inline SDL_Surface *load_sprite(const char *name) {
    const char *assets = getenv("BENCH_ASSETS");
    char path[4096];
    snprintf(path, sizeof path, "%s/%s", assets ? assets : ".", name);
    SDL_Surface *loaded = IMG_Load(path);
    if (!loaded) fail("IMG_Load");
    SDL_Surface *s = SDL_DisplayFormatAlpha(loaded);
    SDL_FreeSurface(loaded);
    if (!s) fail("SDL_DisplayFormatAlpha");
    return s;
}

static inline void stop_display(void) {
    Mix_CloseAudio();
    TTF_Quit();
    SDL_Quit();
}

static int cmp_double(const void *a, const void *b) {
    double x = *(const double *)a, y = *(const double *)b;
    return (x > y) - (x < y);
}

/* One line per run, read by bench/run.sh. times[] is sorted in place. */
static inline void report(const char *workload, int frames, double *times, uint32_t hash) {
    double sum = 0;
    for (int i = 0; i < frames; ++i) sum += times[i];
    qsort(times, (size_t)frames, sizeof *times, cmp_double);
    double median = frames % 2 ? times[frames / 2] : (times[frames / 2 - 1] + times[frames / 2]) / 2;
    char text[9];
    hash_text(hash, text);
    printf("result workload=%s host=c frames=%d median_ms=%.4f mean_ms=%.4f hash=%s\n", workload,
           frames, median * 1e3, sum / frames * 1e3, text);
}

/* Runs warmup + frames frames of fn, timing each of the last frames. */
static inline double *run_frames(void (*fn)(void), int frames, int warmup) {
    double *times = (double *)malloc(sizeof(double) * (size_t)frames);
    if (!times) fail("malloc");
    for (int i = 0; i < warmup; ++i) fn();
    for (int i = 0; i < frames; ++i) {
        double t0 = now_s();
        fn();
        times[i] = now_s() - t0;
    }
    return times;
}

#endif
