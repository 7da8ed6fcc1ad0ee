// Module entry point, registration table and the shared globals.
#include "functions.h"
#include "globals.h"

extern "C" {
#include <lauxlib.h>
}

extern "C" {
SDL_Surface *gScreen = nullptr;
int sound_on = 1;
int gl_on = 0;
int curses_on = 0;
int gNumpads = 0;
SDL_Joystick **gPads = nullptr;
CursesContext CC = {};
}

namespace orvix {

static const luaL_Reg R[] = {
    {"init", l_init},
    {"quit", l_quit},
    {"fill", l_fill},
    {"flip", l_flip},
    {"input", l_input},
    {"mouse", l_mouse},
    {"isKeyDown", l_isKeyDown},
    {"loadImage", l_loadImage},
    {"makeSurf", l_makeSurf},
    {"blit", l_blit},
    {"freeSurf", l_freeSurf},
    {"timer", l_timer},
    {"putpix", l_putpix},
    {"loadFont", l_loadFont},
    {"printFont", l_printFont},
    {"freeFont", l_freeFont},
    {"showCursor", l_showCursor},
    {"draw", l_draw},
    {"drawTri", l_drawTri},
    {"loadSound", l_loadSound},
    {"loadMusic", l_loadMusic},
    {"playSound", l_playSound},
    {"playMusic", l_playMusic},
    {"pauseMusic", l_pauseMusic},
    {"musicVolume", l_musicVolume},
    {"freeSound", l_freeSound},
    {"freeMusic", l_freeMusic},
    {"curses_init", l_curses_init},
    {"curses_refresh", l_curses_refresh},
    {"curses_addch", l_curses_addch},
    {"curses_setcol", l_curses_setcol},
    {"curses_fill", l_curses_fill},
    {nullptr, nullptr},
};

}  // namespace orvix

extern "C" int luaopen_orvixcore(lua_State *L) {
    luaL_register(L, "orvixcore", orvix::R);
    return 1;
}
