#include "orvixtest.h"

#include <dlfcn.h>

#include <cstdlib>
#include <string>
#include <vector>

extern "C" __attribute__((visibility("default"))) int luaopen_orvixtest(lua_State *L);

namespace orvixtest {

static std::vector<const luaL_Reg *> &all_functions() {
    static std::vector<const luaL_Reg *> v;
    return v;
}

Registrar::Registrar(const luaL_Reg *funcs) { all_functions().push_back(funcs); }

void *core_symbol(const char *name) {
    static void *handle = nullptr;
    if (!handle) {
        const char *build = getenv("ORVIX_BUILD");
        std::string path = std::string(build ? build : "build") + "/orvixcore.so";
        handle = dlopen(path.c_str(), RTLD_NOW | RTLD_NOLOAD);
        if (!handle) return nullptr;
    }
    return dlsym(handle, name);
}

SDL_Surface *arg_surface(lua_State *L, int i) {
    if (lua_isnoneornil(L, i)) {
        auto screen = static_cast<SDL_Surface **>(core_symbol("gScreen"));
        return screen ? *screen : nullptr;
    }
    return static_cast<SDL_Surface *>(lua_touserdata(L, i));
}

// setenv(name, value): sets a variable of this process, so that a test can
// pick SDL's drivers in-process before the display starts.
static int t_setenv(lua_State *L) {
    lua_pushboolean(L, setenv(luaL_checkstring(L, 1), luaL_checkstring(L, 2), 1) == 0);
    return 1;
}

static const luaL_Reg own[] = {{"setenv", t_setenv}, {nullptr, nullptr}};
static Registrar reg(own);

}  // namespace orvixtest

extern "C" int luaopen_orvixtest(lua_State *L) {
    lua_newtable(L);
    for (const luaL_Reg *funcs : orvixtest::all_functions())
        for (const luaL_Reg *f = funcs; f->name; ++f) {
            lua_pushcfunction(L, f->func);
            lua_setfield(L, -2, f->name);
        }
    return 1;
}
