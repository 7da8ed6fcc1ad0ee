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

#include <functional>

namespace orvixtest {

struct Registrar {
    explicit Registrar(const luaL_Reg *funcs);
};

// Looks a symbol up in the loaded orvixcore.so (null when it is not loaded).
void *core_symbol(const char *name);

// The surface at argument i (a light userdata), or the runtime's gScreen when
// the argument is absent or nil.
SDL_Surface *arg_surface(lua_State *L, int i);

// The raw value of pixel (x, y) of a surface with 1 to 4 bytes per pixel;
// the caller locks the surface where SDL needs it and passes a valid position.
inline Uint32 raw_pixel(const SDL_Surface *s, int x, int y) {
    const Uint8 *p = static_cast<const Uint8 *>(s->pixels) + y * s->pitch + x * s->format->BytesPerPixel;
    switch (s->format->BytesPerPixel) {
    case 1: return *p;
    case 2: return *reinterpret_cast<const Uint16 *>(p);
    case 3: return Uint32(p[0]) | Uint32(p[1]) << 8 | Uint32(p[2]) << 16;
    default: return *reinterpret_cast<const Uint32 *>(p);
    }
}

// Reads the rectangle (x, y, w, h) of SDL's X11 window as the X server shows
// it and calls fn(i, j, rgb) for each pixel, rgb scaled to 0..255. False when
// there is no X11 window or the image cannot be read.
bool window_pixels(int x, int y, int w, int h, const std::function<void(int, int, const int *)> &fn);

}  // namespace orvixtest
