// The script functions of the orvixcore table and of orvixcore.extra, one
// group per source file; module.cpp and extra.cpp register them.
#pragma once

extern "C" {
#include <lua.h>
}

namespace orvix {
// display.cpp
int l_init(lua_State *L);
int l_quit(lua_State *L);
int l_flip(lua_State *L);
int l_showCursor(lua_State *L);
// timer.cpp
int l_timer(lua_State *L);
// input.cpp
int l_input(lua_State *L);
int l_mouse(lua_State *L);
int l_isKeyDown(lua_State *L);
// surfaces.cpp
int l_fill(lua_State *L);
int l_loadImage(lua_State *L);
int l_makeSurf(lua_State *L);
int l_blit(lua_State *L);
int l_freeSurf(lua_State *L);
int l_putpix(lua_State *L);
// text.cpp
int l_loadFont(lua_State *L);
int l_printFont(lua_State *L);
int l_freeFont(lua_State *L);
// shapes.cpp
int l_draw(lua_State *L);
int l_drawTri(lua_State *L);
// audio.cpp
int l_loadSound(lua_State *L);
int l_loadMusic(lua_State *L);
int l_playSound(lua_State *L);
int l_playMusic(lua_State *L);
int l_pauseMusic(lua_State *L);
int l_musicVolume(lua_State *L);
int l_freeSound(lua_State *L);
int l_freeMusic(lua_State *L);
// cells.cpp
int l_curses_init(lua_State *L);
int l_curses_refresh(lua_State *L);
int l_curses_addch(lua_State *L);
int l_curses_setcol(lua_State *L);
int l_curses_fill(lua_State *L);

// orvixcore.extra (extra.cpp registers them)
// display.cpp
int l_size(lua_State *L);
int l_setTitle(lua_State *L);
// timer.cpp
int l_ticks(lua_State *L);
// input.cpp
int l_keyName(lua_State *L);
int l_textInput(lua_State *L);
// sprites.cpp
int l_surfSize(lua_State *L);
int l_blitPart(lua_State *L);
int l_blitAlpha(lua_State *L);
int l_rotozoom(lua_State *L);
int l_mirror(lua_State *L);
int l_getPixel(lua_State *L);
int l_setClip(lua_State *L);
// savefiles.cpp
int l_saveImage(lua_State *L);
int l_saveDir(lua_State *L);
// text.cpp
int l_textSize(lua_State *L);
int l_fontMetrics(lua_State *L);
// audio.cpp
int l_stopSounds(lua_State *L);
int l_stopMusic(lua_State *L);
int l_soundVolume(lua_State *L);
int l_musicPlaying(lua_State *L);

// A failure of an orvixcore.extra function: nil and a message.
int fail(lua_State *L, const char *message);
}  // namespace orvix
