// Raw bytes of full userdata (vtxpack's number arrays) and the OpenGL state and
// drawing calls the vertex-array tests need. The GL functions work on the
// context that init made current; without one they read back nothing useful.
#include "orvixtest.h"

#include <GL/gl.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace {

// The block of the full userdata at argument 1 and its length.
const unsigned char *arg_block(lua_State *L, size_t *len) {
    luaL_checktype(L, 1, LUA_TUSERDATA);
    *len = lua_objlen(L, 1);
    return static_cast<const unsigned char *>(lua_touserdata(L, 1));
}

// The offset at argument 2, checked so that size bytes from it lie inside.
size_t arg_offset(lua_State *L, size_t len, size_t size) {
    lua_Number off = luaL_checknumber(L, 2);
    if (off < 0 || off + static_cast<lua_Number>(size) > static_cast<lua_Number>(len))
        luaL_error(L, "offset %f outside a block of %d bytes", off, static_cast<int>(len));
    return static_cast<size_t>(off);
}

// ud_len(u) -> the length of a full userdata in bytes.
int t_ud_len(lua_State *L) {
    size_t len;
    arg_block(L, &len);
    lua_pushnumber(L, static_cast<lua_Number>(len));
    return 1;
}

// ud_bytes(u) -> the whole block as a string.
int t_ud_bytes(lua_State *L) {
    size_t len;
    const unsigned char *b = arg_block(L, &len);
    lua_pushlstring(L, reinterpret_cast<const char *>(b), len);
    return 1;
}

// ud_int32(u, offset) -> the 32-bit signed integer at that byte offset.
int t_ud_int32(lua_State *L) {
    size_t len;
    const unsigned char *b = arg_block(L, &len);
    size_t off = arg_offset(L, len, sizeof(int32_t));
    int32_t v;
    memcpy(&v, b + off, sizeof v);
    lua_pushnumber(L, v);
    return 1;
}

// ud_double(u, offset) -> the double at that byte offset (any alignment).
int t_ud_double(lua_State *L) {
    size_t len;
    const unsigned char *b = arg_block(L, &len);
    size_t off = arg_offset(L, len, sizeof(double));
    double v;
    memcpy(&v, b + off, sizeof v);
    lua_pushnumber(L, v);
    return 1;
}

// ud_addr(u) -> the address of the block as a number (exact: user-space
// addresses fit in a double's 53 bits).
int t_ud_addr(lua_State *L) {
    size_t len;
    const unsigned char *b = arg_block(L, &len);
    lua_pushnumber(L, static_cast<lua_Number>(reinterpret_cast<uintptr_t>(b)));
    return 1;
}

// ud_new(bytes[, with_metatable]) -> a new full userdata holding those bytes,
// with an empty metatable when asked for.
int t_ud_new(lua_State *L) {
    size_t len;
    const char *s = luaL_checklstring(L, 1, &len);
    bool with_metatable = lua_toboolean(L, 2);
    void *b = lua_newuserdata(L, len);
    memcpy(b, s, len);
    if (with_metatable) {
        lua_newtable(L);
        lua_setmetatable(L, -2);
    }
    return 1;
}

// ud_light(u) -> a light userdata pointing at the block of u.
int t_ud_light(lua_State *L) {
    size_t len;
    lua_pushlightuserdata(L, const_cast<unsigned char *>(arg_block(L, &len)));
    return 1;
}

GLenum arg_array_kind(lua_State *L, int i) {
    static const char *const names[] = {"vertex", "normal", nullptr};
    static const GLenum kinds[] = {GL_VERTEX_ARRAY, GL_NORMAL_ARRAY};
    return kinds[luaL_checkoption(L, i, nullptr, names)];
}

// gl_pointer("vertex" | "normal") -> the array address OpenGL holds, as a number.
int t_gl_pointer(lua_State *L) {
    GLenum pname = arg_array_kind(L, 1) == GL_VERTEX_ARRAY ? GL_VERTEX_ARRAY_POINTER : GL_NORMAL_ARRAY_POINTER;
    GLvoid *p = nullptr;
    glGetPointerv(pname, &p);
    lua_pushnumber(L, static_cast<lua_Number>(reinterpret_cast<uintptr_t>(p)));
    return 1;
}

// gl_integer(pname) -> glGetIntegerv of a single-valued state.
int t_gl_integer(lua_State *L) {
    GLint v = -1;
    glGetIntegerv(static_cast<GLenum>(luaL_checknumber(L, 1)), &v);
    lua_pushnumber(L, v);
    return 1;
}

// gl_error() -> glGetError (0 when no error is pending).
int t_gl_error(lua_State *L) {
    lua_pushnumber(L, glGetError());
    return 1;
}

// gl_renderer() -> the renderer string, or nil without a context.
int t_gl_renderer(lua_State *L) {
    const GLubyte *s = glGetString(GL_RENDERER);
    if (!s) return 0;
    lua_pushstring(L, reinterpret_cast<const char *>(s));
    return 1;
}

// gl_read_pixel(x, y) -> r, g, b, a (0-255) of one pixel of the buffer the
// game draws into, window coordinates with y up: the window's back buffer,
// or the framebuffer object that sdl12-compat has the game draw into (which
// has no back buffer to name, only its one colour buffer, read as bound).
int t_gl_read_pixel(lua_State *L) {
    GLint x = static_cast<GLint>(luaL_checknumber(L, 1)), y = static_cast<GLint>(luaL_checknumber(L, 2));
    GLint fbo = 0;
    glGetIntegerv(GL_READ_FRAMEBUFFER_BINDING, &fbo);
    if (fbo == 0) glReadBuffer(GL_BACK);
    GLubyte px[4] = {0, 0, 0, 0};
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(x, y, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, px);
    for (GLubyte c : px) lua_pushnumber(L, c);
    return 4;
}

// gl_clear(r, g, b): clears the colour buffer (components 0-1) and waits
// until it is done, so that only a buffer swap can show it.
int t_gl_clear(lua_State *L) {
    glClearColor(static_cast<GLfloat>(luaL_checknumber(L, 1)), static_cast<GLfloat>(luaL_checknumber(L, 2)),
                 static_cast<GLfloat>(luaL_checknumber(L, 3)), 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    glFinish();
    return 0;
}

// gl_ortho(left, right, bottom, top): an orthographic projection with near
// and far at -1 and 1, and an identity model-view matrix.
int t_gl_ortho(lua_State *L) {
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(luaL_checknumber(L, 1), luaL_checknumber(L, 2), luaL_checknumber(L, 3), luaL_checknumber(L, 4), -1, 1);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    return 0;
}

// gl_client_state("vertex" | "normal", enabled)
int t_gl_client_state(lua_State *L) {
    GLenum kind = arg_array_kind(L, 1);
    if (lua_toboolean(L, 2))
        glEnableClientState(kind);
    else
        glDisableClientState(kind);
    return 0;
}

// gl_draw_triangles(first, count): glDrawArrays(GL_TRIANGLES, ...).
int t_gl_draw_triangles(lua_State *L) {
    glDrawArrays(GL_TRIANGLES, static_cast<GLint>(luaL_checknumber(L, 1)), static_cast<GLsizei>(luaL_checknumber(L, 2)));
    return 0;
}

// gl_color(r, g, b): the current colour (components 0-1).
int t_gl_color(lua_State *L) {
    glColor3d(luaL_checknumber(L, 1), luaL_checknumber(L, 2), luaL_checknumber(L, 3));
    return 0;
}

// gl_normal(x, y, z): the current normal, used while the normal array is off.
int t_gl_normal(lua_State *L) {
    glNormal3d(luaL_checknumber(L, 1), luaL_checknumber(L, 2), luaL_checknumber(L, 3));
    return 0;
}

// gl_light(x, y, z): lighting on, with one white directional light shining
// from direction (x, y, z) and no ambient term, so that a surface facing away
// from the light is black. gl_light() turns lighting off.
int t_gl_light(lua_State *L) {
    if (lua_isnoneornil(L, 1)) {
        glDisable(GL_LIGHTING);
        glDisable(GL_LIGHT0);
        return 0;
    }
    const GLfloat dir[4] = {static_cast<GLfloat>(luaL_checknumber(L, 1)), static_cast<GLfloat>(luaL_checknumber(L, 2)),
                            static_cast<GLfloat>(luaL_checknumber(L, 3)), 0.0f};
    const GLfloat white[4] = {1, 1, 1, 1}, none[4] = {0, 0, 0, 1};
    glLightModelfv(GL_LIGHT_MODEL_AMBIENT, none);
    glLightfv(GL_LIGHT0, GL_AMBIENT, none);
    glLightfv(GL_LIGHT0, GL_DIFFUSE, white);
    glLightfv(GL_LIGHT0, GL_POSITION, dir);
    glMaterialfv(GL_FRONT_AND_BACK, GL_AMBIENT, none);
    glMaterialfv(GL_FRONT_AND_BACK, GL_DIFFUSE, white);
    glEnable(GL_LIGHT0);
    glEnable(GL_LIGHTING);
    return 0;
}

// window_pixel(x, y) -> r, g, b of one pixel as the X server shows the window
// (y down), that is what a buffer swap has presented. Nothing without an X11
// window.
int t_window_pixel(lua_State *L) {
    int x = static_cast<int>(luaL_checknumber(L, 1)), y = static_cast<int>(luaL_checknumber(L, 2));
    int got[3] = {0, 0, 0};
    bool ok = orvixtest::window_pixels(x, y, 1, 1, [&](int, int, const int *rgb) {
        for (int k = 0; k < 3; ++k) got[k] = rgb[k];
    });
    if (!ok) return 0;
    for (int c : got) lua_pushnumber(L, c);
    return 3;
}

const luaL_Reg funcs[] = {
    {"ud_len", t_ud_len},
    {"ud_bytes", t_ud_bytes},
    {"ud_int32", t_ud_int32},
    {"ud_double", t_ud_double},
    {"ud_addr", t_ud_addr},
    {"ud_new", t_ud_new},
    {"ud_light", t_ud_light},
    {"gl_pointer", t_gl_pointer},
    {"gl_integer", t_gl_integer},
    {"gl_error", t_gl_error},
    {"gl_renderer", t_gl_renderer},
    {"gl_read_pixel", t_gl_read_pixel},
    {"gl_clear", t_gl_clear},
    {"gl_ortho", t_gl_ortho},
    {"gl_client_state", t_gl_client_state},
    {"gl_draw_triangles", t_gl_draw_triangles},
    {"gl_color", t_gl_color},
    {"gl_normal", t_gl_normal},
    {"gl_light", t_gl_light},
    {"window_pixel", t_window_pixel},
    {nullptr, nullptr}};
orvixtest::Registrar reg(funcs);

}  // namespace
