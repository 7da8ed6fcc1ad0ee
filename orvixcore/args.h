// Number arguments: every number a script passes goes through these.
#pragma once

#include <SDL_types.h>

extern "C" {
#include <lauxlib.h>
#include <lua.h>
}

#include <climits>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace orvix {

// Truncation toward zero into an int. NaN reads as 0 and values outside the
// int range saturate, so no conversion is ever undefined.
inline int to_int(double d) {
#if defined(__SSE2__)
    // Draw calls read several numbers each, so the common case is one
    // instruction: cvttsd2si truncates, and gives INT_MIN for NaN and for
    // every value out of range, so only that one result needs a second look.
    int fast = _mm_cvttsd_si32(_mm_set_sd(d));
    if (fast != INT_MIN) return fast;
#endif
    if (!(d == d)) return 0;
    if (d >= 2147483647.0) return INT_MAX;
    if (d <= -2147483648.0) return INT_MIN;
    return static_cast<int>(d);
}

inline int arg_int(lua_State *L, int i) { return to_int(lua_tonumber(L, i)); }

// Screen coordinates: the low 16 bits of the truncated value, read as signed.
inline Sint16 to_s16(int v) { return static_cast<Sint16>(static_cast<Uint16>(static_cast<unsigned>(v))); }
inline Sint16 arg_s16(lua_State *L, int i) { return to_s16(arg_int(L, i)); }

// Widths, heights and putpix coordinates: the low 16 bits, unsigned.
inline Uint16 to_u16(int v) { return static_cast<Uint16>(static_cast<unsigned>(v)); }
inline Uint16 arg_u16(lua_State *L, int i) { return to_u16(arg_int(L, i)); }

// Colour components keep their low 8 bits.
inline Uint8 to_u8(int v) { return static_cast<Uint8>(static_cast<unsigned>(v)); }
inline Uint8 arg_u8(lua_State *L, int i) { return to_u8(arg_int(L, i)); }

}  // namespace orvix
