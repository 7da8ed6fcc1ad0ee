// Display lifecycle: init, quit, flip and showCursor, and the start-up steps
// that curses_init shares.
#include "orvix.h"

#include <SDL_mixer.h>

#include <cstdio>
#include <cstdlib>

namespace orvix {

void start_sdl(Uint32 flags) {
    if (SDL_Init(flags) < 0) fatal("Couldn't initialize SDL: %s\n", SDL_GetError());
}

void start_ttf() {
    if (TTF_Init() < 0) fatal("Couldn't initialize SDL_ttf: %s\n", SDL_GetError());
}

// At exit the libraries' destructors run while SDL's audio thread may still
// be mixing, and the SDL2-based SDL 1.2 library's thread then calls through a
// function table its destructor has already cleared. Closing the device first
// ends the thread. quit closes it itself, so this acts only for a game that
// ends without quit: a fatal load, a script error, the script's end.
static void close_audio_at_exit() {
    if (g_mixer_open) SDL_CloseAudio();
}

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

int l_init(lua_State *L) {
    // A second start, or a start after quit, would leak or reuse what the
    // first one set up: it is ignored.
    if (g_display != Display::NotStarted) return 0;

    int width = arg_int(L, 1);
    int height = arg_int(L, 2);
    bool fullscreen = lua_toboolean(L, 3);
    gl_on = lua_toboolean(L, 4) ? 1 : 0;

    printf("Orvix init (%dx%d)", width, height);
    if (fullscreen) printf(", fullscreen");
    if (gl_on) printf(", OpenGL mode");
    putchar('\n');

    start_sdl(SDL_INIT_VIDEO | SDL_INIT_JOYSTICK);

    if (gl_on) {
        SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
        gl_on = SDL_OPENGL;
    }

    Uint32 flags = SDL_HWSURFACE | SDL_DOUBLEBUF;
    if (fullscreen) flags |= SDL_FULLSCREEN;
    flags |= static_cast<Uint32>(gl_on);

    // A side of 0 is the desktop's, as SDL reads it. It is looked up here so
    // that a driver without a desktop size gets the same refusal on both
    // SDL 1.2 libraries.
    int w = width, h = height;
    if (w == 0 || h == 0) {
        const SDL_VideoInfo *info = SDL_GetVideoInfo();
        if (w == 0) w = info ? info->current_w : 0;
        if (h == 0) h = info ? info->current_h : 0;
    }
    if (w < 1 || h < 1 || w > kMaxSide || h > kMaxWindowHeight) {
        SDL_SetError("size out of range");
        gScreen = nullptr;
    } else {
        gScreen = SDL_SetVideoMode(w, h, 32, flags);
    }
    if (!gScreen) fatal("Couldn't set %dx%d video mode: %s\n", width, height, SDL_GetError());

    start_ttf();
    start_mixer();

    gNumpads = SDL_NumJoysticks();
    if (gNumpads > 0) {
        gPads = static_cast<SDL_Joystick **>(malloc(sizeof(SDL_Joystick *) * static_cast<size_t>(gNumpads)));
        if (!gPads) fatal("Couldn't allocate memory for gamepads. Exiting.\n");
        for (int i = 0; i < gNumpads; ++i) gPads[i] = SDL_JoystickOpen(i);
        printf("Detected %d gamepads\n", gNumpads);
    }

    g_display = Display::Running;
    return 0;
}

static void close_font(void *font) {
    handle_remove(font, Kind::Font);
    TTF_CloseFont(static_cast<TTF_Font *>(font));
}

int l_quit(lua_State *) {
    // Before a start every step below finds nothing open and is harmless.
    // Only the first quit acts: the joystick table is freed by then.
    if (g_display == Display::Closed) return 0;
    puts("Orvix quit");
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
    g_display = Display::Closed;
    return 0;
}

int l_flip(lua_State *) {
    if (g_display != Display::Running) return 0;
    if (gl_on)
        SDL_GL_SwapBuffers();
    else
        SDL_Flip(gScreen);
    return 0;
}

int l_showCursor(lua_State *L) {
    if (g_display != Display::Running) return 0;
    SDL_ShowCursor(lua_toboolean(L, 1) ? SDL_ENABLE : SDL_DISABLE);
    return 0;
}

}  // namespace orvix
