/* benchkit: what the Lua benchmark scripts need beyond the modules they
 * measure. A monotonic clock and the process's CPU time for timing, hashes of
 * the screen and of a userdata block so that a script's output can be checked
 * against the C program's, and an empty function: the cost of the call alone. */
#include <lauxlib.h>
#include <lua.h>

#include <SDL.h>

#include <stdint.h>
#include <sys/resource.h>
#include <time.h>

#include "../c/hash.h"

/* Seconds on the monotonic clock. */
static int l_now(lua_State *L) {
    struct timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    lua_pushnumber(L, (double)ts.tv_sec + (double)ts.tv_nsec * 1e-9);
    return 1;
}

/* Seconds of CPU time, user and system, used by every thread of the process. */
static int l_cpu(lua_State *L) {
    struct rusage ru;
    getrusage(RUSAGE_SELF, &ru);
    lua_pushnumber(L, (double)(ru.ru_utime.tv_sec + ru.ru_stime.tv_sec) +
                          (double)(ru.ru_utime.tv_usec + ru.ru_stime.tv_usec) * 1e-6);
    return 1;
}

/* Reads no argument and returns nothing: the floor under a loop of C calls. */
static int l_nop(lua_State *L) {
    (void)L;
    return 0;
}

/* FNV-1a hash of the video surface's visible pixels, as an 8-digit hex string.
 * SDL is one library per process, so this is the window the module opened. */
static int l_screen_hash(lua_State *L) {
    char text[9];
    hash_text(screen_hash(SDL_GetVideoSurface()), text);
    lua_pushstring(L, text);
    return 1;
}

/* FNV-1a hash of all the bytes of a full userdata. */
static int l_block_hash(lua_State *L) {
    char text[9];
    luaL_checktype(L, 1, LUA_TUSERDATA);
    hash_text(fnv1a(FNV_START, lua_touserdata(L, 1), lua_objlen(L, 1)), text);
    lua_pushstring(L, text);
    return 1;
}

static const luaL_Reg R[] = {
    {"now", l_now},
    {"cpu", l_cpu},
    {"nop", l_nop},
    {"screen_hash", l_screen_hash},
    {"block_hash", l_block_hash},
    {NULL, NULL},
};

__attribute__((visibility("default"))) int luaopen_benchkit(lua_State *L) {
    luaL_register(L, "benchkit", R);
    return 1;
}
