// Probes for the module core's tests: a wall clock that works without SDL,
// SDL's started subsystems, the pending event queue, the desktop's size and
// the process's allocations.
#include "orvixtest.h"

#include <dlfcn.h>
#include <malloc.h>

#include <ctime>

namespace {

// monotonic_ms() -> milliseconds of a monotonic clock, usable before SDL starts.
int t_monotonic_ms(lua_State *L) {
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    lua_pushnumber(L, double(ts.tv_sec) * 1000.0 + double(ts.tv_nsec) / 1e6);
    return 1;
}

// was_init() -> SDL_WasInit's mask of started subsystems.
int t_was_init(lua_State *L) {
    lua_pushnumber(L, SDL_WasInit(SDL_INIT_EVERYTHING));
    return 1;
}

// pending() -> array of the types of the events waiting in SDL's queue, after
// letting SDL collect what the windowing system has sent. Nothing is taken.
int t_pending(lua_State *L) {
    SDL_PumpEvents();
    SDL_Event events[64];
    int n = SDL_PeepEvents(events, 64, SDL_PEEKEVENT, SDL_ALLEVENTS);
    lua_newtable(L);
    for (int i = 0; i < n; ++i) {
        lua_pushnumber(L, events[i].type);
        lua_rawseti(L, -2, i + 1);
    }
    return 1;
}

// desktop() -> the width and height of the desktop that the video driver
// reports (0, 0 for a driver that has none), from a video subsystem started
// and stopped here; nothing when it cannot start. For a process that starts
// no display itself.
int t_desktop(lua_State *L) {
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) < 0) return 0;
    const SDL_VideoInfo *info = SDL_GetVideoInfo();
    lua_pushnumber(L, info ? info->current_w : 0);
    lua_pushnumber(L, info ? info->current_h : 0);
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
    return 2;
}

// alloc_calls() -> the main thread's allocation calls so far, as counted by
// the alloccount shim; nothing when the shim is not loaded.
int t_alloc_calls(lua_State *L) {
    auto calls = static_cast<unsigned long *>(dlsym(RTLD_DEFAULT, "orvix_alloc_calls"));
    if (!calls) return 0;
    lua_pushnumber(L, double(*calls));
    return 1;
}

// heap_bytes() -> bytes the allocator has handed out and not taken back,
// mapped blocks included.
int t_heap_bytes(lua_State *L) {
    struct mallinfo2 m = mallinfo2();
    lua_pushnumber(L, double(m.uordblks + m.hblkhd));
    return 1;
}

const luaL_Reg funcs[] = {
    {"monotonic_ms", t_monotonic_ms}, {"was_init", t_was_init},
    {"pending", t_pending},           {"desktop", t_desktop},
    {"alloc_calls", t_alloc_calls},   {"heap_bytes", t_heap_bytes},
    {nullptr, nullptr}};
orvixtest::Registrar reg(funcs);

}  // namespace
