// Test-only native module "orvixtest": lets busted tests look inside the
// runtime (globals, surfaces, pixels, OpenGL state) and inject SDL events.
// Never installed. Each source file of this folder adds its functions with a
// static Registrar object.
#pragma once

extern "C" {
#include <lauxlib.h>
#include <lua.h>
}

#include <SDL.h>

namespace orvixtest {

struct Registrar {
    explicit Registrar(const luaL_Reg *funcs);
};

// Looks a symbol up in the loaded orvixcore.so (null when it is not loaded).
void *core_symbol(const char *name);

// The surface at argument i (a light userdata), or the runtime's gScreen when
// the argument is absent or nil.
SDL_Surface *arg_surface(lua_State *L, int i);

}  // namespace orvixtest
