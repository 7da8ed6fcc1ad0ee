// Shapes through SDL_gfx: lines, rectangles, circles and triangles.
#include "args.h"
#include "functions.h"
#include "surfaces.h"

#include <SDL_gfxPrimitives.h>

namespace orvix {

int l_draw(lua_State *L) {
    Sint16 x1 = arg_s16(L, 1), y1 = arg_s16(L, 2), x2 = arg_s16(L, 3), y2 = arg_s16(L, 4);
    Uint8 r = arg_u8(L, 5), g = arg_u8(L, 6), b = arg_u8(L, 7), a = arg_u8(L, 8);
    int shape = arg_int(L, 9);
    int style = arg_int(L, 10);
    SDL_Surface *dst = arg_target(L, 11);
    if (!dst || shape < 0 || shape > 2 || style < 0 || style > 2) return 0;
    // Pairs not listed draw nothing. For circles x2 is the radius and y2 is unused.
    switch (shape * 3 + style) {
    case 0 * 3 + 0: lineRGBA(dst, x1, y1, x2, y2, r, g, b, a); break;
    case 0 * 3 + 1: aalineRGBA(dst, x1, y1, x2, y2, r, g, b, a); break;
    case 1 * 3 + 0: rectangleRGBA(dst, x1, y1, x2, y2, r, g, b, a); break;
    case 1 * 3 + 2: boxRGBA(dst, x1, y1, x2, y2, r, g, b, a); break;
    case 2 * 3 + 0: circleRGBA(dst, x1, y1, x2, r, g, b, a); break;
    case 2 * 3 + 1: aacircleRGBA(dst, x1, y1, x2, r, g, b, a); break;
    case 2 * 3 + 2: filledCircleRGBA(dst, x1, y1, x2, r, g, b, a); break;
    default: break;
    }
    return 0;
}

int l_drawTri(lua_State *L) {
    Sint16 x1 = arg_s16(L, 1), y1 = arg_s16(L, 2), x2 = arg_s16(L, 3), y2 = arg_s16(L, 4);
    Sint16 x3 = arg_s16(L, 5), y3 = arg_s16(L, 6);
    Uint8 r = arg_u8(L, 7), g = arg_u8(L, 8), b = arg_u8(L, 9), a = arg_u8(L, 10);
    int style = arg_int(L, 11);
    SDL_Surface *dst = arg_target(L, 12);
    if (!dst) return 0;
    switch (style) {
    case 0: trigonRGBA(dst, x1, y1, x2, y2, x3, y3, r, g, b, a); break;
    case 1: aatrigonRGBA(dst, x1, y1, x2, y2, x3, y3, r, g, b, a); break;
    case 2: filledTrigonRGBA(dst, x1, y1, x2, y2, x3, y3, r, g, b, a); break;
    default: break;
    }
    return 0;
}

}  // namespace orvix
