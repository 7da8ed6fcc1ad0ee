// The frame timer: paces the script's loop and reports frame time and rate.
#include "args.h"
#include "functions.h"
#include "state.h"
#include "timer_step.h"

namespace orvix {

static TimerState state;

static void sdl_sleep(uint32_t ms) { SDL_Delay(ms); }

int l_timer(lua_State *L) {
    int target = arg_int(L, 1);
    // SDL's tick count starts with SDL itself. Before a start function there is
    // no clock to pace against: the call counts as a frame at tick 0 and never
    // sleeps, so that no schedule runs ahead of the clock that comes later.
    if (g_display == Display::NotStarted)
        timer_step(state, 0, 0, sdl_sleep);
    else
        timer_step(state, target, SDL_GetTicks(), sdl_sleep);
    lua_pushnumber(L, state.dt);
    lua_pushnumber(L, state.fps);
    lua_pushnumber(L, reported_ticks(state));
    return 3;
}


// SDL's millisecond count. Before a start SDL's clock has not started; after
// quit it goes on, as timer's does.
int l_ticks(lua_State *L) {
    if (g_display == Display::NotStarted)
        lua_pushnil(L);
    else
        lua_pushnumber(L, SDL_GetTicks());
    return 1;
}

}  // namespace orvix
