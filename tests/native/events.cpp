// Injects SDL events that cannot come from a real device here (joysticks,
// focus changes, window close).
#include "orvixtest.h"

namespace {

int push(lua_State *L, SDL_Event &e) {
    lua_pushboolean(L, SDL_PushEvent(&e) == 0);
    return 1;
}

Uint8 u8(lua_State *L, int i) { return static_cast<Uint8>(luaL_checknumber(L, i)); }

// joyaxis(which, axis, value)
int t_joyaxis(lua_State *L) {
    SDL_Event e = {};
    e.type = SDL_JOYAXISMOTION;
    e.jaxis.which = u8(L, 1);
    e.jaxis.axis = u8(L, 2);
    e.jaxis.value = static_cast<Sint16>(luaL_checknumber(L, 3));
    return push(L, e);
}

// joyhat(which, hat, value_mask)
int t_joyhat(lua_State *L) {
    SDL_Event e = {};
    e.type = SDL_JOYHATMOTION;
    e.jhat.which = u8(L, 1);
    e.jhat.hat = u8(L, 2);
    e.jhat.value = u8(L, 3);
    return push(L, e);
}

// joybutton(which, button, pressed)
int t_joybutton(lua_State *L) {
    SDL_Event e = {};
    bool down = lua_toboolean(L, 3);
    e.type = down ? SDL_JOYBUTTONDOWN : SDL_JOYBUTTONUP;
    e.jbutton.which = u8(L, 1);
    e.jbutton.button = u8(L, 2);
    e.jbutton.state = down ? SDL_PRESSED : SDL_RELEASED;
    return push(L, e);
}

// joyball(which, ball, xrel, yrel)
int t_joyball(lua_State *L) {
    SDL_Event e = {};
    e.type = SDL_JOYBALLMOTION;
    e.jball.which = u8(L, 1);
    e.jball.ball = u8(L, 2);
    e.jball.xrel = static_cast<Sint16>(luaL_optnumber(L, 3, 0));
    e.jball.yrel = static_cast<Sint16>(luaL_optnumber(L, 4, 0));
    return push(L, e);
}

// active(gain): a focus change.
int t_active(lua_State *L) {
    SDL_Event e = {};
    e.type = SDL_ACTIVEEVENT;
    e.active.gain = lua_toboolean(L, 1) ? 1 : 0;
    e.active.state = SDL_APPINPUTFOCUS;
    return push(L, e);
}

// quit_event(): the window-close request.
int t_quit_event(lua_State *L) {
    SDL_Event e = {};
    e.type = SDL_QUIT;
    return push(L, e);
}

// user_event(type): any raw type number, e.g. SDL_USEREVENT.
int t_raw_event(lua_State *L) {
    SDL_Event e = {};
    e.type = u8(L, 1);
    return push(L, e);
}

// key(sym, pressed): a key event straight into the queue.
int t_key(lua_State *L) {
    SDL_Event e = {};
    bool down = lua_toboolean(L, 2);
    e.type = down ? SDL_KEYDOWN : SDL_KEYUP;
    e.key.state = down ? SDL_PRESSED : SDL_RELEASED;
    e.key.keysym.sym = static_cast<SDLKey>(static_cast<int>(luaL_checknumber(L, 1)));
    return push(L, e);
}

// drain(): discards every pending event; returns how many there were.
int t_drain(lua_State *L) {
    SDL_Event e;
    int n = 0;
    while (SDL_PollEvent(&e)) ++n;
    lua_pushnumber(L, n);
    return 1;
}

// ticks(): SDL's millisecond count.
int t_ticks(lua_State *L) {
    lua_pushnumber(L, SDL_GetTicks());
    return 1;
}

// delay(ms)
int t_delay(lua_State *L) {
    SDL_Delay(static_cast<Uint32>(luaL_checknumber(L, 1)));
    return 0;
}

// cursor_shown() -> whether SDL shows the mouse pointer.
int t_cursor_shown(lua_State *L) {
    lua_pushboolean(L, SDL_ShowCursor(SDL_QUERY) == SDL_ENABLE);
    return 1;
}

// video_flags() -> the flags of the display surface SDL holds.
int t_video_flags(lua_State *L) {
    SDL_Surface *s = SDL_GetVideoSurface();
    if (!s) return 0;
    lua_pushnumber(L, s->flags);
    return 1;
}

// gl_doublebuffer() -> the value SDL reports for the OpenGL double-buffer
// attribute; nothing outside the OpenGL mode, where SDL's x11 driver would
// query a visual that does not exist.
int t_gl_doublebuffer(lua_State *L) {
    SDL_Surface *s = SDL_GetVideoSurface();
    if (!s || !(s->flags & SDL_OPENGL)) return 0;
    int v = -1;
    if (SDL_GL_GetAttribute(SDL_GL_DOUBLEBUFFER, &v) < 0) return 0;
    lua_pushnumber(L, v);
    return 1;
}

// key_name(code) -> the name SDL's own table gives a key code.
int t_key_name(lua_State *L) {
    lua_pushstring(L, SDL_GetKeyName(static_cast<SDLKey>(static_cast<int>(luaL_checknumber(L, 1)))));
    return 1;
}

// caption() -> the window title SDL holds.
int t_caption(lua_State *L) {
    char *title = nullptr, *icon = nullptr;
    SDL_WM_GetCaption(&title, &icon);
    if (!title) return 0;
    lua_pushstring(L, title);
    return 1;
}

const luaL_Reg funcs[] = {
    {"key_name", t_key_name}, {"caption", t_caption},
    {"joyaxis", t_joyaxis},   {"joyhat", t_joyhat},     {"joybutton", t_joybutton},
    {"joyball", t_joyball},   {"active", t_active},     {"quit_event", t_quit_event},
    {"raw_event", t_raw_event}, {"key", t_key},         {"drain", t_drain},
    {"ticks", t_ticks},       {"delay", t_delay},       {"cursor_shown", t_cursor_shown},
    {"video_flags", t_video_flags}, {"gl_doublebuffer", t_gl_doublebuffer}, {nullptr, nullptr}};
orvixtest::Registrar reg(funcs);

}  // namespace
