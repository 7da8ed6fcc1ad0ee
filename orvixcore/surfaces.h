// Surfaces handed to scripts and the surfaces drawing calls work on
// (surfaces.cpp).
#pragma once

#include <SDL.h>

extern "C" {
#include <lua.h>
}

namespace orvix {

// The surface a drawing call works on: the userdata at i when it is a live
// surface, gScreen when the argument is absent or not a userdata. Null (draw
// nothing) when the display is not running, when a userdata there is not a
// live surface, and for gScreen in the OpenGL mode, which has no pixels.
SDL_Surface *arg_target(lua_State *L, int i);

// Converts a fresh surface to the display layout with alpha, frees the
// original and records the copy as a live surface. Null when there is no
// display to convert to, or no memory.
SDL_Surface *to_display_format(SDL_Surface *fresh);

// Copies a surface into the display layout with alpha and records the copy as
// a live surface; the original stays. Null when there is no display or no memory.
SDL_Surface *display_copy(SDL_Surface *s);

// Pushes a surface handle with its width and height: the results of every
// call that hands a surface to the script.
int push_surface(lua_State *L, SDL_Surface *s);

}  // namespace orvix
