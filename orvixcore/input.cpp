// Input: one event per input call, and the key and mouse state.
#include "args.h"
#include "functions.h"
#include "state.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace orvix {

// Typed text for textInput: the characters of the key presses input() has
// taken since the last textInput call, as UTF-8. SDL fills in a key's
// character only once asked to (SDL_EnableUNICODE), which the first
// textInput call does, so a game that never calls it gets its key events
// exactly as before. A fixed buffer: a frame's typing fits many times over,
// and the draw loop never allocates.
namespace {
bool text_on = false;
char text_buf[512];
size_t text_len = 0;
Uint16 pending_high = 0;  // the first half of a UTF-16 surrogate pair

void append_utf8(Uint32 c) {
    char out[4];
    size_t n;
    if (c < 0x80) {
        out[0] = char(c);
        n = 1;
    } else if (c < 0x800) {
        out[0] = char(0xC0 | (c >> 6));
        out[1] = char(0x80 | (c & 0x3F));
        n = 2;
    } else if (c < 0x10000) {
        out[0] = char(0xE0 | (c >> 12));
        out[1] = char(0x80 | ((c >> 6) & 0x3F));
        out[2] = char(0x80 | (c & 0x3F));
        n = 3;
    } else {
        out[0] = char(0xF0 | (c >> 18));
        out[1] = char(0x80 | ((c >> 12) & 0x3F));
        out[2] = char(0x80 | ((c >> 6) & 0x3F));
        out[3] = char(0x80 | (c & 0x3F));
        n = 4;
    }
    // A full buffer drops what comes after: a script that stops reading the
    // text does not grow it.
    if (text_len + n > sizeof text_buf) return;
    memcpy(text_buf + text_len, out, n);
    text_len += n;
}

// One UTF-16 unit from a key press. Control characters (Backspace, Tab,
// Return, Escape, Delete) are left out: their keys come through input.
void collect(Uint16 u) {
    if (u >= 0xD800 && u <= 0xDBFF) {
        pending_high = u;
        return;
    }
    Uint16 high = pending_high;
    pending_high = 0;
    if (u >= 0xDC00 && u <= 0xDFFF) {
        if (high) append_utf8(0x10000 + ((Uint32(high) - 0xD800) << 10) + (u - 0xDC00));
        return;
    }
    if (u < 32 || (u >= 127 && u < 160)) return;
    append_utf8(u);
}
}  // namespace

static int push_numbers(lua_State *L, int code, int n, const double *v) {
    lua_pushnumber(L, code);
    for (int i = 0; i < n; ++i) lua_pushnumber(L, v[i]);
    return n + 1;
}

int l_input(lua_State *L) {
    SDL_Event e;
    // Before a start function and after quit there is no event queue to read.
    if (g_display != Display::Running || !SDL_PollEvent(&e)) {
        lua_pushnumber(L, 0);
        return 1;
    }
    switch (e.type) {
    case SDL_KEYDOWN:
    case SDL_KEYUP: {
        if (text_on && e.type == SDL_KEYDOWN && e.key.keysym.unicode) collect(e.key.keysym.unicode);
        double v[] = {static_cast<double>(e.key.keysym.sym)};
        return push_numbers(L, e.type == SDL_KEYDOWN ? 1 : 2, 1, v);
    }
    case SDL_MOUSEMOTION: {
        double v[] = {double(e.motion.x), double(e.motion.y), double(e.motion.xrel), double(e.motion.yrel)};
        return push_numbers(L, 5, 4, v);
    }
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP: {
        double v[] = {double(e.button.x), double(e.button.y), double(e.button.button)};
        return push_numbers(L, e.type == SDL_MOUSEBUTTONDOWN ? 3 : 4, 3, v);
    }
    case SDL_JOYAXISMOTION: {
        double v[] = {double(e.jaxis.which), double(e.jaxis.axis), e.jaxis.value / 32767.0};
        return push_numbers(L, 6, 3, v);
    }
    case SDL_JOYHATMOTION: {
        lua_pushnumber(L, 7);
        lua_pushnumber(L, e.jhat.which);
        lua_pushnumber(L, e.jhat.hat);
        lua_pushboolean(L, e.jhat.value & SDL_HAT_UP);
        lua_pushboolean(L, e.jhat.value & SDL_HAT_RIGHT);
        lua_pushboolean(L, e.jhat.value & SDL_HAT_DOWN);
        lua_pushboolean(L, e.jhat.value & SDL_HAT_LEFT);
        return 7;
    }
    case SDL_JOYBUTTONDOWN:
    case SDL_JOYBUTTONUP: {
        double v[] = {double(e.jbutton.which), double(e.jbutton.button)};
        return push_numbers(L, e.type == SDL_JOYBUTTONDOWN ? 8 : 9, 2, v);
    }
    case SDL_QUIT:
        // Closing the window ends the game at once, without quit's shutdown.
        exit(0);
    default:
        // Focus, exposure, trackball and other events are taken and answered
        // like an empty queue.
        lua_pushnumber(L, 0);
        return 1;
    }
}

int l_isKeyDown(lua_State *L) {
    int numkeys = 0;
    const Uint8 *keys = SDL_GetKeyState(&numkeys);
    int key = arg_int(L, 1);
    // Codes outside SDL's key-state array are never held.
    lua_pushboolean(L, key >= 0 && key < numkeys && keys[key] == SDL_PRESSED);
    return 1;
}

int l_mouse(lua_State *L) {
    int button = arg_int(L, 1);
    int x = 0, y = 0;
    Uint8 mask = SDL_GetMouseState(&x, &y);
    lua_pushnumber(L, x);
    lua_pushnumber(L, y);
    // The mask covers buttons 1 to 8; any other number is never held.
    lua_pushboolean(L, button >= 1 && button <= 8 && (mask & (1u << (button - 1))));
    return 3;
}


int l_textInput(lua_State *L) {
    // The first call turns on SDL's translation of key presses to
    // characters; what was typed before it is not known.
    if (!text_on && display_running()) {
        SDL_EnableUNICODE(1);
        text_on = true;
    }
    lua_pushlstring(L, text_buf, text_len);
    text_len = 0;
    return 1;
}

// The names SDL 1.2 gives its key codes, the same on every SDL 1.2 library
// and in the browser (which have their own tables, not all alike).
namespace {
struct KeyNames {
    const char *name[SDLK_LAST] = {};
    char world[96][9] = {};
    char single[128][2] = {};
    KeyNames() {
        static const struct {
            int code;
            const char *name;
        } named[] = {
            {SDLK_BACKSPACE, "backspace"}, {SDLK_TAB, "tab"}, {SDLK_CLEAR, "clear"}, {SDLK_RETURN, "return"},
            {SDLK_PAUSE, "pause"}, {SDLK_ESCAPE, "escape"}, {SDLK_SPACE, "space"}, {SDLK_DELETE, "delete"},
            {SDLK_KP0, "[0]"}, {SDLK_KP1, "[1]"}, {SDLK_KP2, "[2]"}, {SDLK_KP3, "[3]"}, {SDLK_KP4, "[4]"},
            {SDLK_KP5, "[5]"}, {SDLK_KP6, "[6]"}, {SDLK_KP7, "[7]"}, {SDLK_KP8, "[8]"}, {SDLK_KP9, "[9]"},
            {SDLK_KP_PERIOD, "[.]"}, {SDLK_KP_DIVIDE, "[/]"}, {SDLK_KP_MULTIPLY, "[*]"}, {SDLK_KP_MINUS, "[-]"},
            {SDLK_KP_PLUS, "[+]"}, {SDLK_KP_ENTER, "enter"}, {SDLK_KP_EQUALS, "equals"},
            {SDLK_UP, "up"}, {SDLK_DOWN, "down"}, {SDLK_RIGHT, "right"}, {SDLK_LEFT, "left"},
            {SDLK_INSERT, "insert"}, {SDLK_HOME, "home"}, {SDLK_END, "end"}, {SDLK_PAGEUP, "page up"},
            {SDLK_PAGEDOWN, "page down"},
            {SDLK_F1, "f1"}, {SDLK_F2, "f2"}, {SDLK_F3, "f3"}, {SDLK_F4, "f4"}, {SDLK_F5, "f5"}, {SDLK_F6, "f6"},
            {SDLK_F7, "f7"}, {SDLK_F8, "f8"}, {SDLK_F9, "f9"}, {SDLK_F10, "f10"}, {SDLK_F11, "f11"},
            {SDLK_F12, "f12"}, {SDLK_F13, "f13"}, {SDLK_F14, "f14"}, {SDLK_F15, "f15"},
            {SDLK_NUMLOCK, "numlock"}, {SDLK_CAPSLOCK, "caps lock"}, {SDLK_SCROLLOCK, "scroll lock"},
            {SDLK_RSHIFT, "right shift"}, {SDLK_LSHIFT, "left shift"}, {SDLK_RCTRL, "right ctrl"},
            {SDLK_LCTRL, "left ctrl"}, {SDLK_RALT, "right alt"}, {SDLK_LALT, "left alt"},
            {SDLK_RMETA, "right meta"}, {SDLK_LMETA, "left meta"}, {SDLK_LSUPER, "left super"},
            {SDLK_RSUPER, "right super"}, {SDLK_MODE, "alt gr"}, {SDLK_COMPOSE, "compose"},
            {SDLK_HELP, "help"}, {SDLK_PRINT, "print screen"}, {SDLK_SYSREQ, "sys req"}, {SDLK_BREAK, "break"},
            {SDLK_MENU, "menu"}, {SDLK_POWER, "power"}, {SDLK_EURO, "euro"}, {SDLK_UNDO, "undo"},
        };
        // The ASCII keys SDL has a code for are named by their character:
        // no capital letters, no '%' and nothing after 'z'.
        for (int c = 33; c <= 'z'; ++c) {
            if ((c >= 'A' && c <= 'Z') || c == '%') continue;
            single[c][0] = char(c);
            name[c] = single[c];
        }
        for (int i = 0; i < 96; ++i) {
            snprintf(world[i], sizeof world[i], "world %d", i);
            name[SDLK_WORLD_0 + i] = world[i];
        }
        for (const auto &k : named) name[k.code] = k.name;
    }
};
const KeyNames key_names;
}  // namespace

int l_keyName(lua_State *L) {
    int code = arg_int(L, 1);
    const char *name = (code >= 0 && code < SDLK_LAST) ? key_names.name[code] : nullptr;
    lua_pushstring(L, name ? name : "unknown key");
    return 1;
}

}  // namespace orvix
