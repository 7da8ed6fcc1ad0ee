// The real SDL 1.2, SDL_gfx, SDL_ttf and SDL_image, loaded into a link-map namespace of
// their own with dlmopen, beside the browser backend's implementation of the
// same functions that this test program links. Both sides take the same
// arguments; the tests compare what they produce.
#pragma once

#include <SDL.h>
#include <SDL_ttf.h>

#include <dlfcn.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace ref {

struct Lib {
    Lmid_t lmid = LM_ID_NEWLM;
    std::vector<void *> handles;

    void *open(const char *name) {
        void *h = dlmopen(lmid, name, RTLD_NOW | RTLD_LOCAL);
        if (!h) {
            fprintf(stderr, "reference: %s\n", dlerror());
            abort();
        }
        if (lmid == LM_ID_NEWLM) dlinfo(h, RTLD_DI_LMID, &lmid);
        handles.push_back(h);
        return h;
    }

    template <typename F>
    F get(const char *name) {
        for (void *h : handles)
            if (void *f = dlsym(h, name)) return reinterpret_cast<F>(f);
        fprintf(stderr, "reference: no %s\n", name);
        abort();
    }
};

// The reference functions, named after the originals.
struct SDL {
    Lib lib;
    int (*Init)(Uint32);
    SDL_Surface *(*SetVideoMode)(int, int, int, Uint32);
    SDL_Surface *(*CreateRGBSurface)(Uint32, int, int, int, Uint32, Uint32, Uint32, Uint32);
    void (*FreeSurface)(SDL_Surface *);
    SDL_Surface *(*DisplayFormatAlpha)(SDL_Surface *);
    int (*UpperBlit)(SDL_Surface *, SDL_Rect *, SDL_Surface *, SDL_Rect *);
    int (*FillRect)(SDL_Surface *, SDL_Rect *, Uint32);
    Uint32 (*MapRGBA)(const SDL_PixelFormat *, Uint8, Uint8, Uint8, Uint8);
    Uint32 (*MapRGB)(const SDL_PixelFormat *, Uint8, Uint8, Uint8);
    // SDL_gfx
    int (*line)(SDL_Surface *, Sint16, Sint16, Sint16, Sint16, Uint8, Uint8, Uint8, Uint8);
    int (*aaline)(SDL_Surface *, Sint16, Sint16, Sint16, Sint16, Uint8, Uint8, Uint8, Uint8);
    int (*rectangle)(SDL_Surface *, Sint16, Sint16, Sint16, Sint16, Uint8, Uint8, Uint8, Uint8);
    int (*box)(SDL_Surface *, Sint16, Sint16, Sint16, Sint16, Uint8, Uint8, Uint8, Uint8);
    int (*circle)(SDL_Surface *, Sint16, Sint16, Sint16, Uint8, Uint8, Uint8, Uint8);
    int (*aacircle)(SDL_Surface *, Sint16, Sint16, Sint16, Uint8, Uint8, Uint8, Uint8);
    int (*filledCircle)(SDL_Surface *, Sint16, Sint16, Sint16, Uint8, Uint8, Uint8, Uint8);
    int (*trigon)(SDL_Surface *, Sint16, Sint16, Sint16, Sint16, Sint16, Sint16, Uint8, Uint8, Uint8, Uint8);
    int (*aatrigon)(SDL_Surface *, Sint16, Sint16, Sint16, Sint16, Sint16, Sint16, Uint8, Uint8, Uint8, Uint8);
    int (*filledTrigon)(SDL_Surface *, Sint16, Sint16, Sint16, Sint16, Sint16, Sint16, Uint8, Uint8, Uint8, Uint8);
    SDL_Surface *(*rotozoom)(SDL_Surface *, double, double, int);
    void (*rotozoomSize)(int, int, double, double, int *, int *);
    // SDL_ttf
    int (*TTF_Init)();
    TTF_Font *(*OpenFont)(const char *, int);
    void (*CloseFont)(TTF_Font *);
    SDL_Surface *(*RenderUTF8_Blended)(TTF_Font *, const char *, SDL_Color);
    SDL_Surface *(*RenderText_Blended)(TTF_Font *, const char *, SDL_Color);
    int (*GlyphMetrics)(TTF_Font *, Uint16, int *, int *, int *, int *, int *);
    int (*SizeText)(TTF_Font *, const char *, int *, int *);
    int (*FontLineSkip)(const TTF_Font *);
    int (*FontHeight)(const TTF_Font *);
    int (*FontFaceIsFixedWidth)(const TTF_Font *);
    // SDL_image
    SDL_RWops *(*RWFromConstMem)(const void *, int);
    SDL_Surface *(*IMG_Load_RW)(SDL_RWops *, int);
    SDL_Surface *(*IMG_LoadTGA_RW)(SDL_RWops *);
    char *(*GetError)();

    SDL_Surface *screen = nullptr;

    SDL() {
        // Classic SDL 1.2, whatever LD_LIBRARY_PATH may put first.
        lib.open("/usr/lib/x86_64-linux-gnu/libSDL-1.2.so.0");
        lib.open("libSDL_gfx.so.15");
        lib.open("libSDL_ttf-2.0.so.0");
        lib.open("libSDL_image-1.2.so.0");
        Init = lib.get<decltype(Init)>("SDL_Init");
        SetVideoMode = lib.get<decltype(SetVideoMode)>("SDL_SetVideoMode");
        CreateRGBSurface = lib.get<decltype(CreateRGBSurface)>("SDL_CreateRGBSurface");
        FreeSurface = lib.get<decltype(FreeSurface)>("SDL_FreeSurface");
        DisplayFormatAlpha = lib.get<decltype(DisplayFormatAlpha)>("SDL_DisplayFormatAlpha");
        UpperBlit = lib.get<decltype(UpperBlit)>("SDL_UpperBlit");
        FillRect = lib.get<decltype(FillRect)>("SDL_FillRect");
        MapRGBA = lib.get<decltype(MapRGBA)>("SDL_MapRGBA");
        MapRGB = lib.get<decltype(MapRGB)>("SDL_MapRGB");
        line = lib.get<decltype(line)>("lineRGBA");
        aaline = lib.get<decltype(aaline)>("aalineRGBA");
        rectangle = lib.get<decltype(rectangle)>("rectangleRGBA");
        box = lib.get<decltype(box)>("boxRGBA");
        circle = lib.get<decltype(circle)>("circleRGBA");
        aacircle = lib.get<decltype(aacircle)>("aacircleRGBA");
        filledCircle = lib.get<decltype(filledCircle)>("filledCircleRGBA");
        trigon = lib.get<decltype(trigon)>("trigonRGBA");
        aatrigon = lib.get<decltype(aatrigon)>("aatrigonRGBA");
        filledTrigon = lib.get<decltype(filledTrigon)>("filledTrigonRGBA");
        rotozoom = lib.get<decltype(rotozoom)>("rotozoomSurface");
        rotozoomSize = lib.get<decltype(rotozoomSize)>("rotozoomSurfaceSize");
        TTF_Init = lib.get<decltype(TTF_Init)>("TTF_Init");
        OpenFont = lib.get<decltype(OpenFont)>("TTF_OpenFont");
        CloseFont = lib.get<decltype(CloseFont)>("TTF_CloseFont");
        RenderUTF8_Blended = lib.get<decltype(RenderUTF8_Blended)>("TTF_RenderUTF8_Blended");
        RenderText_Blended = lib.get<decltype(RenderText_Blended)>("TTF_RenderText_Blended");
        GlyphMetrics = lib.get<decltype(GlyphMetrics)>("TTF_GlyphMetrics");
        SizeText = lib.get<decltype(SizeText)>("TTF_SizeText");
        FontLineSkip = lib.get<decltype(FontLineSkip)>("TTF_FontLineSkip");
        FontHeight = lib.get<decltype(FontHeight)>("TTF_FontHeight");
        FontFaceIsFixedWidth = lib.get<decltype(FontFaceIsFixedWidth)>("TTF_FontFaceIsFixedWidth");
        RWFromConstMem = lib.get<decltype(RWFromConstMem)>("SDL_RWFromConstMem");
        IMG_Load_RW = lib.get<decltype(IMG_Load_RW)>("IMG_Load_RW");
        IMG_LoadTGA_RW = lib.get<decltype(IMG_LoadTGA_RW)>("IMG_LoadTGA_RW");
        GetError = lib.get<decltype(GetError)>("SDL_GetError");

        // The libraries' own C library, in their namespace, has its own
        // environment: the driver is chosen there.
        lib.get<int (*)(const char *, const char *, int)>("setenv")("SDL_VIDEODRIVER", "dummy", 1);
        if (Init(SDL_INIT_VIDEO) < 0 || TTF_Init() < 0) abort();
        screen = SetVideoMode(64, 48, 32, SDL_HWSURFACE | SDL_DOUBLEBUF);
        if (!screen) abort();
    }
};

// One reference for the whole test program.
inline SDL &sdl() {
    static SDL *r = new SDL();
    return *r;
}

}  // namespace ref
