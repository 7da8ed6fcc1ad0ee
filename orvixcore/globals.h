// The module's exported interface for native code living beside it: the
// shared globals, the pixel writer and the entry points. Everything else in
// the library is hidden.
#pragma once

#include <SDL.h>
#include <SDL_ttf.h>

extern "C" {
#include <lua.h>
}

#ifdef _WIN32
#define ORVIX_EXPORT __declspec(dllexport)
#else
#define ORVIX_EXPORT __attribute__((visibility("default")))
#endif

// The one character-cell screen (see cells.cpp).
struct CursesContext {
    TTF_Font *font;
    int cellW;
    int cellH;
    int cols;
    int rows;
    int count;
    unsigned char *chars;
    SDL_Color *fg;
    SDL_Color *bg;
};

// Globals shared by the start functions and everything else. They are exported
// under their own names so that native code living beside the module can see
// the window, the audio state and the cell screen.
extern "C" {
ORVIX_EXPORT extern SDL_Surface *gScreen;
ORVIX_EXPORT extern int sound_on;
ORVIX_EXPORT extern int gl_on;
ORVIX_EXPORT extern int curses_on;
ORVIX_EXPORT extern int gNumpads;
ORVIX_EXPORT extern SDL_Joystick **gPads;
ORVIX_EXPORT extern CursesContext CC;

ORVIX_EXPORT void putpixel(SDL_Surface *surface, Uint16 x, Uint16 y, Uint32 pixel);
ORVIX_EXPORT int luaopen_orvixcore(lua_State *L);
ORVIX_EXPORT int luaopen_orvixcore_extra(lua_State *L);
}
