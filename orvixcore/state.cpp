// The display's and the mixer's state, and how they start and stop: init and
// curses_init run the start steps below in order, quit runs stop().
#include "state.h"

#include "caches.h"
#include "handles.h"

#include <SDL_mixer.h>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>

namespace orvix {

Display g_display = Display::NotStarted;
bool g_mixer_open = false;

void fatal(const char *fmt, ...) {
    va_list ap;
    va_start(ap, fmt);
    vprintf(fmt, ap);
    va_end(ap);
    exit(1);
}

// 1. SDL itself, with the subsystems of the start function.
void start_sdl(Uint32 flags) {
    if (SDL_Init(flags) < 0) fatal("Couldn't initialize SDL: %s\n", SDL_GetError());
}

// 2. The font engine, once the window is open.
void start_ttf() {
    if (TTF_Init() < 0) fatal("Couldn't initialize SDL_ttf: %s\n", SDL_GetError());
}

// At exit the libraries' destructors run while SDL's audio thread may still
// be mixing, and the SDL2-based SDL 1.2 library's thread then calls through a
// function table its destructor has already cleared. Closing the device first
// ends the thread. stop() closes it itself, so this acts only for a game that
// ends without quit: a fatal load, a script error, the script's end.
static void close_audio_at_exit() {
    if (g_mixer_open) SDL_CloseAudio();
}

// 3. Audio: SDL's audio subsystem, then the mixer.
void start_mixer() {
    // Audio starts on its own, after the rest, and its result is left to the
    // mixer: one of the SDL 1.2 libraries fails a whole SDL_Init when no audio
    // device opens, and a game without sound must still start.
    SDL_InitSubSystem(SDL_INIT_AUDIO);
    if (Mix_OpenAudio(44100, AUDIO_S16SYS, 2, 4096) < 0) {
        printf("Couldn't initialize SDL_mixer: %s\n", SDL_GetError());
        sound_on = 0;
    } else {
        g_mixer_open = true;
        atexit(close_audio_at_exit);
    }
}

// Joysticks: every one SDL counts that is not open yet, so that a build whose
// pads appear while the game runs (the browser's) opens them the same way.
void open_pads() {
    int n = SDL_NumJoysticks();
    if (n <= gNumpads) return;
    void *grown = realloc(gPads, sizeof(SDL_Joystick *) * static_cast<size_t>(n));
    if (!grown) fatal("Couldn't allocate memory for gamepads. Exiting.\n");
    gPads = static_cast<SDL_Joystick **>(grown);
    for (int i = gNumpads; i < n; ++i) gPads[i] = SDL_JoystickOpen(i);
    gNumpads = n;
    printf("Detected %d gamepads\n", gNumpads);
}

// 4. The display is up: drawing, input and audio calls act from now on.
void started() { g_display = Display::Running; }

static void close_font(void *font) {
    handle_remove(font, Kind::Font);
    TTF_CloseFont(static_cast<TTF_Font *>(font));
}

void stop() {
    text_cache_release();
    if (curses_on) cells_release();
    Mix_CloseAudio();
    g_mixer_open = false;
    // TTF_Quit releases FreeType and every face with it, so a font the
    // script still holds could never be closed safely afterwards.
    handle_each(Kind::Font, close_font);
    TTF_Quit();
    if (gNumpads > 0) {
        for (int i = 0; i < gNumpads; ++i) SDL_JoystickClose(gPads[i]);
        free(gPads);
    }
    SDL_Quit();
    // Before a start nothing was open: a start may still come.
    if (g_display == Display::Running) g_display = Display::Closed;
}

}  // namespace orvix
