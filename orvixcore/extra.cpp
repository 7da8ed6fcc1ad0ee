// The companion module orvixcore.extra: window size and title, parts of
// sprite sheets, faded, turned and mirrored sprites, pixels read back, clip
// rectangles, screenshots, text measures, more control of sound, key names,
// typed text, the clock and a folder for saved games. It lives in the same
// library as orvixcore, so it shares the live-handle record and the display.
//
// Its conventions are orvixcore's (numbers read through args.h, handles
// checked against the record), except that nothing here ends the process:
// what cannot be done returns nil and a message.
#include "functions.h"
#include "globals.h"

extern "C" {
#include <lauxlib.h>
}

namespace orvix {

int fail(lua_State *L, const char *message) {
    lua_pushnil(L);
    lua_pushstring(L, message);
    return 2;
}

static const luaL_Reg R[] = {
    {"size", l_size},
    {"setTitle", l_setTitle},
    {"surfSize", l_surfSize},
    {"blitPart", l_blitPart},
    {"blitAlpha", l_blitAlpha},
    {"rotozoom", l_rotozoom},
    {"mirror", l_mirror},
    {"getPixel", l_getPixel},
    {"setClip", l_setClip},
    {"saveImage", l_saveImage},
    {"textSize", l_textSize},
    {"fontMetrics", l_fontMetrics},
    {"stopSounds", l_stopSounds},
    {"stopMusic", l_stopMusic},
    {"soundVolume", l_soundVolume},
    {"musicPlaying", l_musicPlaying},
    {"keyName", l_keyName},
    {"textInput", l_textInput},
    {"ticks", l_ticks},
    {"saveDir", l_saveDir},
    {nullptr, nullptr},
};

}  // namespace orvix

// No global is set: luaL_register with the dotted name would store the table
// as orvixcore.extra inside orvixcore's own table, which keeps its 32 entries.
// require keeps it in package.loaded["orvixcore.extra"].
extern "C" int luaopen_orvixcore_extra(lua_State *L) {
    lua_createtable(L, 0, sizeof(orvix::R) / sizeof(orvix::R[0]) - 1);
    luaL_register(L, nullptr, orvix::R);
    return 1;
}
