// Display lifecycle: init, quit, flip and showCursor (the start and stop
// steps themselves are in state.cpp).
#include "args.h"
#include "functions.h"
#include "state.h"

#include <cstdio>
#include <cstdlib>

namespace orvix {

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

    open_pads();
    started();
    return 0;
}

int l_quit(lua_State *) {
    // Only the first quit after a start acts: the joystick table is freed by
    // then. Before any start its steps find nothing open, and a start may
    // still follow.
    if (g_display == Display::Closed) return 0;
    puts("Orvix quit");
    stop();
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


// The window's size in pixels (in the OpenGL mode too: the size of the
// drawable), and in the cell mode the grid and the cell.
int l_size(lua_State *L) {
    if (!display_running() || !gScreen) {
        lua_pushnil(L);
        return 1;
    }
    lua_pushnumber(L, gScreen->w);
    lua_pushnumber(L, gScreen->h);
    if (!curses_on) return 2;
    lua_pushnumber(L, CC.cols);
    lua_pushnumber(L, CC.rows);
    lua_pushnumber(L, CC.cellW);
    lua_pushnumber(L, CC.cellH);
    return 6;
}

int l_setTitle(lua_State *L) {
    const char *title = lua_tostring(L, 1);
    // Before a start there is no window to name; X11 takes the UTF-8 text
    // as it is.
    if (title && display_running()) SDL_WM_SetCaption(title, title);
    return 0;
}

}  // namespace orvix
