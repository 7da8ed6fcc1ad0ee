// Input: one event per input call, and the key and mouse state.
#include "args.h"
#include "functions.h"
#include "state.h"

#include <cstdlib>

namespace orvix {

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

}  // namespace orvix
