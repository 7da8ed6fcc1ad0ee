/* Shim for runs that must come out the same every time: SDL's clock
 * advances by a fixed step at every SDL_Flip and stands still in between,
 * and SDL_Delay returns at once on the game's thread, so a game that moves
 * by the timer's dt sees the same times frame after frame, however fast it
 * runs.
 *
 *   ORVIX_CLOCK_STEP=16      milliseconds per frame (default 16)
 *   ORVIX_STOPS=30,90,...    after these frames (counted from 1) the display's
 *                            pixels go to ORVIX_SHOTS/frame-N.ppm (when set)
 *   ORVIX_CPU_LOG=FILE       (Linux) at those frames, a line "frame user_us
 *                            system_us" of the process's CPU time so far,
 *                            all threads (the browser benchmark's native side)
 *   ORVIX_KEYS=30:+273,...   after frame 30, press key 273 (+) or release
 *                            it (-): the key state changes and the event is
 *                            queued, as a real key would
 *
 * On Linux it is an LD_PRELOAD library. On Windows it is a Lua module,
 * fixedclock.dll, that the interpreter loads before the game
 * (lua5.1.exe -l fixedclock game.lua): it points orvixcore.dll's imports of
 * SDL_GetTicks, SDL_Delay and SDL_Flip at itself. There the keys are real
 * ones that the test presses (xdotool): at each stop the shim writes
 * ORVIX_SHOTS/stopped-N and waits for the test to write ORVIX_SHOTS/resume-N,
 * handling the window's messages meanwhile.
 *
 * The browser page has the same clock and stops (?clock=16&stops=...). */
#ifdef _WIN32
#include <windows.h>
#else
#ifndef _GNU_SOURCE
#define _GNU_SOURCE
#endif
#include <dlfcn.h>
#include <pthread.h>
#include <sys/resource.h>
#endif
#include <SDL.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#ifdef _WIN32
/* The hooks have names of their own: orvixcore's imports are pointed at them. */
#define HOOK(name) hook_##name
static void *real(const char *name) {
    void *f = (void *)GetProcAddress(GetModuleHandleA("SDL.dll"), name);
    if (!f) {
        fprintf(stderr, "fixedclock: %s not found\n", name);
        abort();
    }
    return f;
}
#else
#define HOOK(name) name
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
#endif

static Uint32 frames;

static Uint32 step(void) {
    const char *s = getenv("ORVIX_CLOCK_STEP");
    return s ? (Uint32)strtoul(s, NULL, 10) : 16;
}

Uint32 HOOK(SDL_GetTicks)(void) { return frames * step(); }

#ifdef _WIN32
/* Only orvixcore.dll's calls come here. */
void HOOK(SDL_Delay)(Uint32 ms) { (void)ms; }
#else
/* The game's thread: the one that loaded the shim. SDL's own threads (the
 * audio device's) keep their real waits, or they would spin. */
static pthread_t game_thread;
__attribute__((constructor)) static void note_game_thread(void) { game_thread = pthread_self(); }

void HOOK(SDL_Delay)(Uint32 ms) {
    if (!pthread_equal(pthread_self(), game_thread)) ((void (*)(Uint32))real("SDL_Delay"))(ms);
}
#endif

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

#ifndef _WIN32
static void log_cpu(Uint32 n) {
    const char *path = getenv("ORVIX_CPU_LOG");
    struct rusage ru;
    FILE *f;
    if (!path || getrusage(RUSAGE_SELF, &ru) != 0 || !(f = fopen(path, "a"))) return;
    fprintf(f, "%u %lld %lld\n", (unsigned)n, (long long)ru.ru_utime.tv_sec * 1000000 + ru.ru_utime.tv_usec,
            (long long)ru.ru_stime.tv_sec * 1000000 + ru.ru_stime.tv_usec);
    fclose(f);
}
#endif

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

#ifdef _WIN32
/* Tells the test that frame n is on disk and waits until it has pressed its
 * keys (a minute at most). Meanwhile the window's messages are handled: the
 * focus the test gives it takes effect, and the keys it presses go to SDL's
 * queue, which the game reads at its next frame, as on Linux. */
static void press_keys(Uint32 n) {
    void (*pump)(void) = (void (*)(void))real("SDL_PumpEvents");
    const char *dir = getenv("ORVIX_SHOTS");
    char path[4096];
    snprintf(path, sizeof path, "%s/stopped-%u", dir ? dir : ".", (unsigned)n);
    FILE *f = fopen(path, "wb");
    if (f) fclose(f);
    snprintf(path, sizeof path, "%s/resume-%u", dir ? dir : ".", (unsigned)n);
    for (int waited = 0; (f = fopen(path, "rb")) == NULL; waited += 5) {
        if (waited > 60000) {
            fprintf(stderr, "fixedclock: no %s\n", path);
            exit(3);
        }
        pump();
        Sleep(5);
    }
    fclose(f);
    /* The last keys, which the X server may still be delivering. */
    for (int i = 0; i < 4; ++i) {
        Sleep(5);
        pump();
    }
}
#else
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

#endif

int HOOK(SDL_Flip)(SDL_Surface *screen) {
    int r = ((int (*)(SDL_Surface *))real("SDL_Flip"))(screen);
    ++frames;
    if (listed(getenv("ORVIX_STOPS"), frames)) {
#ifndef _WIN32
        log_cpu(frames);
#endif
        save(screen, frames);
        press_keys(frames);
    }
    return r;
}

#ifdef _WIN32
/* Points module's import of dll!name at fn. */
static int patch(HMODULE module, const char *dll, const char *name, void *fn) {
    BYTE *base = (BYTE *)module;
    IMAGE_NT_HEADERS *nt = (IMAGE_NT_HEADERS *)(base + ((IMAGE_DOS_HEADER *)base)->e_lfanew);
    IMAGE_DATA_DIRECTORY imports = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    for (IMAGE_IMPORT_DESCRIPTOR *d = (IMAGE_IMPORT_DESCRIPTOR *)(base + imports.VirtualAddress); d->Name; ++d) {
        if (_stricmp((const char *)(base + d->Name), dll) != 0) continue;
        IMAGE_THUNK_DATA *names = (IMAGE_THUNK_DATA *)(base + d->OriginalFirstThunk);
        IMAGE_THUNK_DATA *slots = (IMAGE_THUNK_DATA *)(base + d->FirstThunk);
        for (; names->u1.AddressOfData; ++names, ++slots) {
            if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) continue;
            if (strcmp((const char *)((IMAGE_IMPORT_BY_NAME *)(base + names->u1.AddressOfData))->Name, name) != 0)
                continue;
            DWORD old;
            VirtualProtect(&slots->u1.Function, sizeof slots->u1.Function, PAGE_READWRITE, &old);
            slots->u1.Function = (ULONG_PTR)fn;
            VirtualProtect(&slots->u1.Function, sizeof slots->u1.Function, old, &old);
            return 1;
        }
    }
    return 0;
}

/* require "fixedclock": loads orvixcore.dll (the game's require finds it
 * loaded) and takes over its clock and its SDL_Flip. */
__declspec(dllexport) int luaopen_fixedclock(void *L) {
    (void)L;
    HMODULE core = LoadLibraryA("orvixcore.dll");
    if (!core || !patch(core, "SDL.dll", "SDL_GetTicks", (void *)hook_SDL_GetTicks) ||
        !patch(core, "SDL.dll", "SDL_Delay", (void *)hook_SDL_Delay) ||
        !patch(core, "SDL.dll", "SDL_Flip", (void *)hook_SDL_Flip)) {
        fprintf(stderr, "fixedclock: cannot take over orvixcore.dll's clock\n");
        exit(3);
    }
    return 0;
}
#endif
