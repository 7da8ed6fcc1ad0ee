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

void start_mixer() {
    if (Mix_OpenAudio(44100, AUDIO_S16SYS, 2, 4096) < 0) {
        printf("Couldn't initialize SDL_mixer: %s\n", SDL_GetError());
        sound_on = 0;
    } else {
        g_mixer_open = true;
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

    start_sdl(SDL_INIT_AUDIO | SDL_INIT_VIDEO | SDL_INIT_JOYSTICK);

    if (gl_on) {
        SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
        gl_on = SDL_OPENGL;
    }

    Uint32 flags = SDL_HWSURFACE | SDL_DOUBLEBUF;
    if (fullscreen) flags |= SDL_FULLSCREEN;
    flags |= static_cast<Uint32>(gl_on);

    if (width < 0 || height < 0 || width > kMaxSide || height > kMaxSide) {
        SDL_SetError("size out of range");
        gScreen = nullptr;
    } else {
        gScreen = SDL_SetVideoMode(width, height, 32, flags);
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
    if (g_display != Display::Running) return 0;
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
