// The Lua host of the browser build: what the lua5.1 interpreter does for a
// game natively. It opens the standard libraries, makes orvixcore loadable
// with require (it is linked in, not a shared library), sets arg as the
// interpreter does, and runs the game's script from the page's file system.
// Errors end the program like the interpreter's: a message on standard error
// and status 1.
#include "backend.h"

extern "C" {
#include <lauxlib.h>
#include <lua.h>
#include <lualib.h>

int luaopen_orvixcore(lua_State *L);
int luaopen_orvixcore_extra(lua_State *L);
}

#include <cstdio>
#include <cstdlib>
#include <cstring>

// Lua's math.random and math.randomseed call the C library's rand and
// srand: these give glibc's numbers, so a seed draws the same world as on
// Linux.
extern "C" int rand(void) { return addons::glibc_rand(); }
extern "C" void srand(unsigned seed) { addons::glibc_srand(seed); }

namespace {

// LuaJIT's FFI calls native libraries, which a page cannot load.
int no_ffi(lua_State *L) {
    return luaL_error(L,
                      "this game needs LuaJIT's FFI (require \"ffi\"), which the browser build does not have: "
                      "it runs Lua 5.1 in WebAssembly, where native libraries cannot be loaded");
}

int traceback(lua_State *L) {
    if (!lua_isstring(L, 1)) return 1;  // keep non-string errors as they are
    lua_getfield(L, LUA_GLOBALSINDEX, "debug");
    lua_getfield(L, -1, "traceback");
    lua_pushvalue(L, 1);
    lua_pushinteger(L, 2);
    lua_call(L, 2, 1);
    return 1;
}

void preload(lua_State *L, const char *name, lua_CFunction f) {
    lua_getfield(L, LUA_GLOBALSINDEX, "package");
    lua_getfield(L, -1, "preload");
    lua_pushcfunction(L, f);
    lua_setfield(L, -2, name);
    lua_pop(L, 2);
}

}  // namespace

int main(int argc, char **argv) {
    if (argc < 2) {
        fprintf(stderr, "lua: no script to run\n");
        return 1;
    }
    lua_State *L = luaL_newstate();
    if (!L) {
        fprintf(stderr, "lua: not enough memory\n");
        return 1;
    }
    luaL_openlibs(L);
    preload(L, "orvixcore", luaopen_orvixcore);
    preload(L, "orvixcore.extra", luaopen_orvixcore_extra);
    preload(L, "ffi", no_ffi);

    // arg: the script at 0, its arguments from 1, the interpreter at -1.
    lua_createtable(L, argc - 2, 2);
    lua_pushstring(L, "lua");
    lua_rawseti(L, -2, -1);
    for (int i = 1; i < argc; ++i) {
        lua_pushstring(L, argv[i]);
        lua_rawseti(L, -2, i - 1);
    }
    lua_setglobal(L, "arg");

    lua_pushcfunction(L, traceback);
    int status = luaL_loadfile(L, argv[1]);
    if (status == 0) {
        for (int i = 2; i < argc; ++i) lua_pushstring(L, argv[i]);
        status = lua_pcall(L, argc - 2, 0, 1);  // the traceback sits at 1
    }
    if (status != 0) {
        const char *msg = lua_tostring(L, -1);
        fprintf(stderr, "lua: %s\n", msg ? msg : "(error object is not a string)");
    }
    // The page learns that the game ended through exit: a return from main
    // after the game has waited (unwound) would reach no one.
    exit(status == 0 ? 0 : 1);
}
