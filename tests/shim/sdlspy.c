/* LD_PRELOAD shim: logs the start, present and stop calls the module makes,
 * with their arguments, as "spy NAME ARGS" lines on standard error, and then
 * passes each call on to the real library. Tests read the log to check the
 * exact flags and the order of the calls.
 *
 * ORVIX_SPY_FAIL=TTF_Init makes TTF_Init fail (SDL's error text is set to
 * "spy: TTF_Init refused"), so that the font engine's fatal path can run. */
#define _GNU_SOURCE
#include <dlfcn.h>
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

static int should_fail(const char *name) {
    const char *s = getenv("ORVIX_SPY_FAIL");
    return s && strcmp(s, name) == 0;
}

int SDL_Init(Uint32 flags) {
    fprintf(stderr, "spy SDL_Init 0x%x\n", flags);
    return ((int (*)(Uint32))real("SDL_Init"))(flags);
}

void SDL_Quit(void) {
    fprintf(stderr, "spy SDL_Quit\n");
    ((void (*)(void))real("SDL_Quit"))();
}

int SDL_GL_SetAttribute(int attr, int value) {
    fprintf(stderr, "spy SDL_GL_SetAttribute %d %d\n", attr, value);
    return ((int (*)(int, int))real("SDL_GL_SetAttribute"))(attr, value);
}

void *SDL_SetVideoMode(int width, int height, int bpp, Uint32 flags) {
    fprintf(stderr, "spy SDL_SetVideoMode %d %d %d 0x%x\n", width, height, bpp, flags);
    return ((void *(*)(int, int, int, Uint32))real("SDL_SetVideoMode"))(width, height, bpp, flags);
}

int SDL_Flip(void *screen) {
    void *video = ((void *(*)(void))real("SDL_GetVideoSurface"))();
    fprintf(stderr, "spy SDL_Flip %s\n", screen && screen == video ? "screen" : "other");
    return ((int (*)(void *))real("SDL_Flip"))(screen);
}

void SDL_GL_SwapBuffers(void) {
    fprintf(stderr, "spy SDL_GL_SwapBuffers\n");
    ((void (*)(void))real("SDL_GL_SwapBuffers"))();
}

int TTF_Init(void) {
    fprintf(stderr, "spy TTF_Init\n");
    if (should_fail("TTF_Init")) {
        ((void (*)(const char *, ...))real("SDL_SetError"))("spy: TTF_Init refused");
        return -1;
    }
    return ((int (*)(void))real("TTF_Init"))();
}

void TTF_Quit(void) {
    fprintf(stderr, "spy TTF_Quit\n");
    ((void (*)(void))real("TTF_Quit"))();
}

int Mix_OpenAudio(int frequency, Uint16 format, int channels, int chunksize) {
    fprintf(stderr, "spy Mix_OpenAudio %d 0x%x %d %d\n", frequency, format, channels, chunksize);
    return ((int (*)(int, Uint16, int, int))real("Mix_OpenAudio"))(frequency, format, channels, chunksize);
}

void Mix_CloseAudio(void) {
    fprintf(stderr, "spy Mix_CloseAudio\n");
    ((void (*)(void))real("Mix_CloseAudio"))();
}
