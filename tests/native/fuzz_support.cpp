// Values a script cannot make by itself: light userdata at arbitrary
// addresses and raw full userdata blocks, for the fuzz driver.
#include "orvixtest.h"

#include <cstdint>
#include <cstring>

namespace {

// light(n) -> a light userdata whose address is n.
int t_light(lua_State *L) {
    lua_Number n = luaL_checknumber(L, 1);
    lua_pushlightuserdata(L, reinterpret_cast<void *>(static_cast<uintptr_t>(static_cast<int64_t>(n))));
    return 1;
}

// block(size[, fill]) -> a full userdata of size bytes, each set to fill.
int t_block(lua_State *L) {
    size_t size = static_cast<size_t>(luaL_checknumber(L, 1));
    int fill = static_cast<int>(luaL_optnumber(L, 2, 0));
    void *p = lua_newuserdata(L, size);
    memset(p, fill, size);
    return 1;
}

const luaL_Reg funcs[] = {{"light", t_light}, {"block", t_block}, {nullptr, nullptr}};
orvixtest::Registrar reg(funcs);

}  // namespace
