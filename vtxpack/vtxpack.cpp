// Number arrays for OpenGL: a Lua table of numbers packed into a block of
// doubles, and OpenGL's vertex and normal arrays pointed at it.
//
// Block layout, host byte order: a 32-bit signed count n at byte 0, then n
// doubles from byte 4 with no padding. 4 + 8n bytes in all.
#include <GL/gl.h>

extern "C" {
#include <lauxlib.h>
#include <lua.h>
}

#include <climits>
#include <cstdint>
#include <cstring>

#ifdef _WIN32
extern "C" __declspec(dllexport) int luaopen_vtxpack(lua_State *L);
#else
extern "C" __attribute__((visibility("default"))) int luaopen_vtxpack(lua_State *L);
#endif

namespace {

const size_t kHeader = 4;

int l_makeArray(lua_State *L) {
    // The table is the last argument.
    if (lua_type(L, -1) != LUA_TTABLE) return luaL_error(L, "Argument must be a table");
    int t = lua_gettop(L);
    size_t n = lua_objlen(L, t);
    if (n > static_cast<size_t>(INT32_MAX) || n > (SIZE_MAX - kHeader) / sizeof(double))
        return luaL_error(L, "Table too large");
    unsigned char *block = static_cast<unsigned char *>(lua_newuserdata(L, kHeader + n * sizeof(double)));
    int32_t count = static_cast<int32_t>(n);
    memcpy(block, &count, sizeof count);
    for (size_t k = 1; k <= n; ++k) {
        lua_pushnumber(L, static_cast<lua_Number>(k));
        lua_gettable(L, t);  // ordinary indexing: __index is honoured
        if (!lua_isnumber(L, -1)) return luaL_error(L, "Table must contain numbers only");
        double v = lua_tonumber(L, -1);
        // The doubles sit at byte 4 + 8(k - 1), not on an 8-byte boundary.
        memcpy(block + kHeader + (k - 1) * sizeof(double), &v, sizeof v);
        lua_pop(L, 1);
    }
    return 1;
}

// The doubles of a number array at argument 1. Anything else is refused with
// a Lua error before a pointer reaches OpenGL: a number array is a userdata
// without a metatable whose size matches the count it starts with.
const GLdouble *arg_array(lua_State *L) {
    if (lua_type(L, 1) == LUA_TUSERDATA && !lua_getmetatable(L, 1)) {
        size_t len = lua_objlen(L, 1);
        const unsigned char *block = static_cast<const unsigned char *>(lua_touserdata(L, 1));
        int32_t count = -1;
        if (len >= kHeader) memcpy(&count, block, sizeof count);
        if (count >= 0 && len == kHeader + static_cast<size_t>(count) * sizeof(double))
            return reinterpret_cast<const GLdouble *>(block + kHeader);
    }
    luaL_error(L, "Argument must be a number array made by makeArray");
    return nullptr;
}

int l_setVertexPointer(lua_State *L) {
    glVertexPointer(3, GL_DOUBLE, 0, arg_array(L));
    return 0;
}

int l_setNormalPointer(lua_State *L) {
    glNormalPointer(GL_DOUBLE, 0, arg_array(L));
    return 0;
}

const luaL_Reg R[] = {
    {"makeArray", l_makeArray},
    {"setVertexPointer", l_setVertexPointer},
    {"setNormalPointer", l_setNormalPointer},
    {nullptr, nullptr},
};

}  // namespace

extern "C" int luaopen_vtxpack(lua_State *L) {
    luaL_register(L, "vtxpack", R);
    return 1;
}
