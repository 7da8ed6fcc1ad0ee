/* LD_PRELOAD shim: logs the start, present and stop calls the module makes,
 * with their arguments, as "spy NAME ARGS" lines on standard error, and then
 * passes each call on to the real library. Tests read the log to check the
 * exact flags and the order of the calls. The libraries call some of these
 * functions themselves (SDL_Init starts each subsystem with
 * SDL_InitSubSystem, the mixer may start SDL's audio): calls made while a
 * spied call runs are passed on without a line.
 *
 * ORVIX_SPY_FAIL=TTF_Init makes TTF_Init fail (SDL's error text is set to
 * "spy: TTF_Init refused"), so that the font engine's fatal path can run. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

typedef unsigned int Uint32;
typedef unsigned short Uint16;

/* The libraries come in with the module, which the Lua host opens with local
 * symbol scope, so RTLD_NEXT does not see them: they are looked up by name. */
static void *real(const char *name) {
    static const char *const libs[] = {"libSDL-1.2.so.0", "libSDL_ttf-2.0.so.0", "libSDL_mixer-1.2.so.0"};
    void *f = dlsym(RTLD_NEXT, name);
    for (size_t i = 0; !f && i < sizeof libs / sizeof libs[0]; ++i) {
        void *lib = dlopen(libs[i], RTLD_LAZY | RTLD_NOLOAD);
        if (lib) f = dlsym(lib, name);
    }
    if (!f) {
        fprintf(stderr, "spy: %s not found\n", name);
        abort();
    }
    return f;
}

/* Spied calls running now: only the outermost one is logged. */
static int depth;

static void log_call(const char *fmt, ...) __attribute__((format(printf, 1, 2)));
static void log_call(const char *fmt, ...) {
    if (depth > 0) return;
    va_list ap;
    va_start(ap, fmt);
    vfprintf(stderr, fmt, ap);
    va_end(ap);
}

static int should_fail(const char *name) {
    const char *s = getenv("ORVIX_SPY_FAIL");
    return s && strcmp(s, name) == 0;
}

/* Logs one call and passes it on; nested spied calls stay silent. */
#define SPY(ret, fn, args, ...)                         \
    do {                                                \
        log_call(__VA_ARGS__);                          \
        ++depth;                                        \
        ret ((fn##_t)real(#fn))args;                    \
        --depth;                                        \
    } while (0)

typedef int (*SDL_Init_t)(Uint32);
typedef int (*SDL_InitSubSystem_t)(Uint32);
typedef void (*SDL_Quit_t)(void);
typedef int (*SDL_GL_SetAttribute_t)(int, int);
typedef void *(*SDL_SetVideoMode_t)(int, int, int, Uint32);
typedef int (*SDL_Flip_t)(void *);
typedef void (*SDL_GL_SwapBuffers_t)(void);
typedef int (*TTF_Init_t)(void);
typedef void (*TTF_Quit_t)(void);
typedef int (*Mix_OpenAudio_t)(int, Uint16, int, int);
typedef void (*Mix_CloseAudio_t)(void);

int SDL_Init(Uint32 flags) {
    int r;
    SPY(r =, SDL_Init, (flags), "spy SDL_Init 0x%x\n", flags);
    return r;
}

int SDL_InitSubSystem(Uint32 flags) {
    int r;
    SPY(r =, SDL_InitSubSystem, (flags), "spy SDL_InitSubSystem 0x%x\n", flags);
    return r;
}

void SDL_Quit(void) { SPY(, SDL_Quit, (), "spy SDL_Quit\n"); }

int SDL_GL_SetAttribute(int attr, int value) {
    int r;
    SPY(r =, SDL_GL_SetAttribute, (attr, value), "spy SDL_GL_SetAttribute %d %d\n", attr, value);
    return r;
}

void *SDL_SetVideoMode(int width, int height, int bpp, Uint32 flags) {
    void *r;
    SPY(r =, SDL_SetVideoMode, (width, height, bpp, flags), "spy SDL_SetVideoMode %d %d %d 0x%x\n", width,
        height, bpp, flags);
    return r;
}

int SDL_Flip(void *screen) {
    void *video = ((void *(*)(void))real("SDL_GetVideoSurface"))();
    int r;
    SPY(r =, SDL_Flip, (screen), "spy SDL_Flip %s\n", screen && screen == video ? "screen" : "other");
    return r;
}

void SDL_GL_SwapBuffers(void) { SPY(, SDL_GL_SwapBuffers, (), "spy SDL_GL_SwapBuffers\n"); }

int TTF_Init(void) {
    if (should_fail("TTF_Init")) {
        log_call("spy TTF_Init\n");
        ((void (*)(const char *, ...))real("SDL_SetError"))("spy: TTF_Init refused");
        return -1;
    }
    int r;
    SPY(r =, TTF_Init, (), "spy TTF_Init\n");
    return r;
}

void TTF_Quit(void) { SPY(, TTF_Quit, (), "spy TTF_Quit\n"); }

int Mix_OpenAudio(int frequency, Uint16 format, int channels, int chunksize) {
    int r;
    SPY(r =, Mix_OpenAudio, (frequency, format, channels, chunksize), "spy Mix_OpenAudio %d 0x%x %d %d\n",
        frequency, format, channels, chunksize);
    return r;
}

void Mix_CloseAudio(void) { SPY(, Mix_CloseAudio, (), "spy Mix_CloseAudio\n"); }
