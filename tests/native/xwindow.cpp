// What the X server shows in SDL's window: the pixels a flip or a buffer swap
// really presented, as opposed to what the surfaces in memory hold.
#include "orvixtest.h"

#include <SDL_syswm.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <dlfcn.h>

namespace orvixtest {

namespace {

// One colour member of an X pixel, scaled to 0..255.
int mask_value(unsigned long pixel, unsigned long mask) {
    if (!mask) return 0;
    int shift = 0;
    while (!((mask >> shift) & 1)) ++shift;
    unsigned long max = mask >> shift;
    return static_cast<int>(((pixel & mask) >> shift) * 255 / max);
}

}  // namespace

bool window_pixels(int x, int y, int w, int h, const std::function<void(int, int, const int *)> &fn) {
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (w <= 0 || h <= 0 || SDL_GetWMInfo(&info) != 1 || info.subsystem != SDL_SYSWM_X11) return false;
    // SDL has libX11 loaded already; look the calls up instead of linking it.
    void *x11 = dlopen("libX11.so.6", RTLD_NOW | RTLD_NOLOAD);
    if (!x11) return false;
    auto get_image = reinterpret_cast<decltype(&XGetImage)>(dlsym(x11, "XGetImage"));
    auto sync = reinterpret_cast<decltype(&XSync)>(dlsym(x11, "XSync"));
    dlclose(x11);
    if (!get_image || !sync) return false;
    info.info.x11.lock_func();
    sync(info.info.x11.display, False);
    XImage *img = get_image(info.info.x11.display, info.info.x11.window, x, y, static_cast<unsigned>(w),
                            static_cast<unsigned>(h), AllPlanes, ZPixmap);
    info.info.x11.unlock_func();
    if (!img) return false;
    for (int j = 0; j < h; ++j)
        for (int i = 0; i < w; ++i) {
            unsigned long px = XGetPixel(img, i, j);
            int rgb[3] = {mask_value(px, img->red_mask), mask_value(px, img->green_mask),
                          mask_value(px, img->blue_mask)};
            fn(i, j, rgb);
        }
    XDestroyImage(img);
    return true;
}

}  // namespace orvixtest
