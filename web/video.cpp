// SDL's start, window, events, clock and memory streams in the browser. The
// window is a canvas that shows the display surface at each SDL_Flip; key and
// mouse events come from the page through a queue that SDL_PumpEvents drains,
// so the key and mouse state change exactly where SDL changes them. Waiting
// (SDL_Delay) hands control back to the browser, which is when it paints and
// delivers input.
#include "backend.h"
#include "web.h"

#include <SDL.h>

#ifdef __wasm_simd128__
#include <wasm_simd128.h>
#endif

#include <cstdio>
#include <cstdlib>
#include <cstring>

// An open joystick is the state SDL keeps for it.
struct _SDL_Joystick {
    orw::PadState state;
};

namespace {

Uint32 initialised = 0;
SDL_Surface *screen = nullptr;
Uint32 *rgba = nullptr;  // the frame in the canvas's byte order
bool cursor_shown = true;

// The event queue: SDL 1.2 holds at most 128 events and drops the rest.
constexpr int kQueue = 128;
SDL_Event queue[kQueue];
int q_head = 0, q_count = 0;

// Joysticks (pads.cpp has how a pad's readings become SDL's events).
constexpr int kMaxPads = 8;
_SDL_Joystick pads[kMaxPads];
int pads_shown = 0;

Uint8 keystate[SDLK_LAST];
bool unicode_on = false;  // SDL_EnableUNICODE
int mouse_x = 0, mouse_y = 0;
Uint8 mouse_buttons = 0;

void push(const SDL_Event &e) {
    if (q_count == kQueue) return;
    queue[(q_head + q_count) % kQueue] = e;
    ++q_count;
}

bool lock_key(int sym) { return sym == SDLK_CAPSLOCK || sym == SDLK_NUMLOCK; }

void key_event(bool down, int sym, int unicode = 0) {
    if (sym < 0 || sym >= SDLK_LAST) return;
    // Caps Lock and Num Lock report the lock, as SDL does: a press that turns
    // it on is a key press, one that turns it off a key release, and the
    // key's own release says nothing.
    if (lock_key(sym)) {
        if (!down) return;
        down = keystate[sym] != SDL_PRESSED;
    }
    // A key without a symbol (0) is reported each time and held by no one.
    // Any other key already in the state it reports changes nothing: the
    // browser repeats held keys, and SDL's own key repeat is off.
    if (sym != SDLK_UNKNOWN) {
        if (keystate[sym] == (down ? SDL_PRESSED : SDL_RELEASED)) return;
        keystate[sym] = down ? SDL_PRESSED : SDL_RELEASED;
    }
    SDL_Event e = {};
    e.type = down ? SDL_KEYDOWN : SDL_KEYUP;
    e.key.state = down ? SDL_PRESSED : SDL_RELEASED;
    e.key.keysym.sym = static_cast<SDLKey>(sym);
    // As in SDL 1.2, only presses carry a character, and only once asked for.
    if (down && unicode_on) e.key.keysym.unicode = static_cast<Uint16>(unicode);
    push(e);
}

void motion_event(int x, int y) {
    if (x == mouse_x && y == mouse_y) return;
    SDL_Event e = {};
    e.type = SDL_MOUSEMOTION;
    e.motion.state = mouse_buttons;
    e.motion.x = static_cast<Uint16>(x);
    e.motion.y = static_cast<Uint16>(y);
    e.motion.xrel = static_cast<Sint16>(x - mouse_x);
    e.motion.yrel = static_cast<Sint16>(y - mouse_y);
    mouse_x = x;
    mouse_y = y;
    push(e);
}

void button_event(bool down, int button, int x, int y) {
    if (button < 1 || button > 255) return;
    // A press or release moves the pointer without a motion event of its own.
    mouse_x = x;
    mouse_y = y;
    // The state has room for buttons 1 to 8 (back is 8; forward, 9, is in
    // no state); the wheels' buttons, 4 to 7, are pressed and released at
    // once and never held.
    if (button <= 8 && (button < 4 || button > 7)) {
        Uint8 bit = static_cast<Uint8>(1u << (button - 1));
        if (down) mouse_buttons |= bit;
        else mouse_buttons &= static_cast<Uint8>(~bit);
    }
    SDL_Event e = {};
    e.type = down ? SDL_MOUSEBUTTONDOWN : SDL_MOUSEBUTTONUP;
    e.button.button = static_cast<Uint8>(button);
    e.button.state = down ? SDL_PRESSED : SDL_RELEASED;
    e.button.x = static_cast<Uint16>(x);
    e.button.y = static_cast<Uint16>(y);
    push(e);
}

void focus_event(bool gained) {
    if (!gained) {
        // Keys released while the page had no focus never report it: they
        // are let go here, as the keyboard is.
        for (int k = 0; k < SDLK_LAST; ++k)
            if (keystate[k] && !lock_key(k)) key_event(false, k);
    }
    SDL_Event e = {};
    e.type = SDL_ACTIVEEVENT;
    e.active.gain = gained ? 1 : 0;
    e.active.state = SDL_APPINPUTFOCUS;
    push(e);
}

// What the page reads of pad `index` now; a pad the browser no longer has
// reads as it last did, as an unplugged one stays natively.
bool read_pad(int index, orw::PadReading *r) {
    double f[3 + orw::kPadAxes + 2 * orw::kPadButtons];
    if (!orw_js_pad(index, f)) return false;
    r->standard = f[0] != 0;
    r->naxes = int(f[1]);
    r->nbuttons = int(f[2]);
    for (int i = 0; i < orw::kPadAxes; ++i) r->axes[i] = f[3 + i];
    for (int i = 0; i < orw::kPadButtons; ++i) {
        r->pressed[i] = f[3 + orw::kPadAxes + i] != 0;
        r->value[i] = f[3 + orw::kPadAxes + orw::kPadButtons + i];
    }
    return true;
}

void pad_events() {
    // A pad shown while the game runs is opened as init opens pads.
    if (orw_js_pad_count() > pads_shown) orvix::open_pads();
    SDL_Event events[3 + orw::kPadAxes + orw::kPadButtons];
    for (int i = 0; i < pads_shown; ++i) {
        orw::PadReading r;
        if (!pads[i].state.open || !read_pad(i, &r)) continue;
        int n = orw::pad_update(&pads[i].state, r, events, int(sizeof events / sizeof events[0]));
        for (int e = 0; e < n; ++e) push(events[e]);
    }
}

}  // namespace

extern "C" {

int SDL_Init(Uint32 flags) {
    // The clock starts with the first start and runs on through later ones
    // and through SDL_Quit, as SDL's does.
    static bool clock_started = false;
    if (!clock_started) orw_js_start_clock();
    clock_started = true;
    initialised |= flags;
    return 0;
}

int SDL_InitSubSystem(Uint32 flags) { return SDL_Init(flags); }

Uint32 SDL_WasInit(Uint32 flags) { return initialised & flags; }

// The "desktop" of a page is the browser's viewport, in CSS pixels.
const SDL_VideoInfo *SDL_GetVideoInfo(void) {
    static SDL_VideoInfo info;
    static SDL_PixelFormat format;
    format.BitsPerPixel = 32;
    format.BytesPerPixel = 4;
    format.Rmask = 0x00FF0000;
    format.Gmask = 0x0000FF00;
    format.Bmask = 0x000000FF;
    format.Rshift = 16;
    format.Gshift = 8;
    format.alpha = SDL_ALPHA_OPAQUE;
    info.vfmt = &format;
    orw_js_viewport(&info.current_w, &info.current_h);
    return &info;
}

void SDL_Quit(void) {
    initialised = 0;
    orw::video_surface = nullptr;
    if (screen) {
        screen->refcount = 0;
        free(screen->pixels);
        free(screen->format);
        free(screen);
        screen = nullptr;
    }
    free(rgba);
    rgba = nullptr;
    q_count = 0;
    pads_shown = 0;
}

int SDL_GL_SetAttribute(SDL_GLattr, int) { return 0; }
void SDL_GL_SwapBuffers(void) {}

SDL_Surface *SDL_SetVideoMode(int width, int height, int bpp, Uint32 flags) {
    (void)bpp;
    if (!(initialised & SDL_INIT_VIDEO)) {
        SDL_SetError("Video subsystem has not been initialized");
        return nullptr;
    }
    if (flags & SDL_OPENGL) {
        SDL_SetError("OpenGL is not available in the browser build");
        return nullptr;
    }
    if (width <= 0 || height <= 0) {
        SDL_SetError("Invalid window size %dx%d", width, height);
        return nullptr;
    }
    SDL_Surface *s = orw::make_surface(width, height, 0x00FF0000, 0x0000FF00, 0x000000FF, 0);
    Uint32 *frame = s ? static_cast<Uint32 *>(malloc(static_cast<size_t>(width) * height * 4)) : nullptr;
    if (!frame) {
        SDL_FreeSurface(s);
        SDL_SetError("Out of memory");
        return nullptr;
    }
    if (screen) {
        screen->refcount = 0;
        free(screen->pixels);
        free(screen->format);
        free(screen);
    }
    free(rgba);
    s->flags |= SDL_HWSURFACE | SDL_DOUBLEBUF | (flags & SDL_FULLSCREEN);
    screen = s;
    rgba = frame;
    orw::video_surface = s;
    orw_js_set_mode(width, height, (flags & SDL_FULLSCREEN) ? 1 : 0);
    return s;
}

SDL_Surface *SDL_GetVideoSurface(void) { return screen; }

int SDL_Flip(SDL_Surface *s) {
    if (!s || s != screen) return -1;
    // XRGB in memory is B, G, R, X bytes; the canvas wants R, G, B, A.
    const Uint32 *src = static_cast<const Uint32 *>(s->pixels);
    size_t n = static_cast<size_t>(s->w) * s->h;
    size_t i = 0;
#ifdef __wasm_simd128__
    // Four pixels at a time: bytes swapped in place, alpha set.
    const v128_t opaque = wasm_i32x4_splat(int(0xFF000000u));
    for (; i + 4 <= n; i += 4) {
        v128_t p = wasm_v128_load(src + i);
        p = wasm_i8x16_shuffle(p, p, 2, 1, 0, 3, 6, 5, 4, 7, 10, 9, 8, 11, 14, 13, 12, 15);
        wasm_v128_store(rgba + i, wasm_v128_or(p, opaque));
    }
#endif
    for (; i < n; ++i) {
        Uint32 p = src[i];
        rgba[i] = (p & 0x0000FF00) | ((p >> 16) & 0xFF) | ((p & 0xFF) << 16) | 0xFF000000;
    }
    orw_js_present(rgba, s->w, s->h);
    return 0;
}

int SDL_EnableUNICODE(int enable) {
    int was = unicode_on ? 1 : 0;
    if (enable >= 0) unicode_on = enable != 0;
    return was;
}

// The window's title is the page's.
void SDL_WM_SetCaption(const char *title, const char *) {
    if (title) orw_js_set_title(title);
}

int SDL_ShowCursor(int toggle) {
    int was = cursor_shown ? SDL_ENABLE : SDL_DISABLE;
    if (toggle == SDL_ENABLE || toggle == SDL_DISABLE) {
        cursor_shown = toggle == SDL_ENABLE;
        orw_js_show_cursor(cursor_shown ? 1 : 0);
    }
    return was;
}

void SDL_PumpEvents(void) {
    int f[4];
    char code[40], key[40];
    int kind;
    while ((kind = orw_js_take_event(f, code, sizeof code, key, sizeof key)) != 0) {
        switch (kind) {
        case ORW_EV_KEY_DOWN: key_event(true, orw::key_from_dom(code, key), orw::unicode_from_dom(key)); break;
        case ORW_EV_KEY_UP: key_event(false, orw::key_from_dom(code, key)); break;
        case ORW_EV_MOTION: motion_event(f[0], f[1]); break;
        case ORW_EV_BUTTON_DOWN: button_event(true, f[2], f[0], f[1]); break;
        case ORW_EV_BUTTON_UP: button_event(false, f[2], f[0], f[1]); break;
        case ORW_EV_FOCUS: focus_event(f[0] != 0); break;
        default: break;
        }
    }
    if (initialised & SDL_INIT_JOYSTICK) pad_events();
}

int SDL_PollEvent(SDL_Event *event) {
    orw_js_maybe_yield();
    SDL_PumpEvents();
    if (!q_count) return 0;
    if (event) {
        *event = queue[q_head];
        q_head = (q_head + 1) % kQueue;
        --q_count;
    }
    return 1;
}

Uint8 *SDL_GetKeyState(int *numkeys) {
    if (numkeys) *numkeys = SDLK_LAST;
    return keystate;
}

Uint8 SDL_GetMouseState(int *x, int *y) {
    if (x) *x = mouse_x;
    if (y) *y = mouse_y;
    return mouse_buttons;
}

// Joysticks are the pads the page has shown, numbered in the order they
// appeared; the browser shows a pad only once a button on it has been pressed.
int SDL_NumJoysticks(void) {
    if (!(initialised & SDL_INIT_JOYSTICK)) return 0;
    int n = orw_js_pad_count();
    if (n > kMaxPads) n = kMaxPads;
    if (n > pads_shown) pads_shown = n;
    return pads_shown;
}

SDL_Joystick *SDL_JoystickOpen(int index) {
    if (index < 0 || index >= pads_shown) {
        SDL_SetError("Joystick index out of range");
        return nullptr;
    }
    orw::PadReading r;
    read_pad(index, &r);
    orw::pad_open(index, r, &pads[index].state);
    return &pads[index];
}

void SDL_JoystickClose(SDL_Joystick *pad) {
    if (pad) pad->state.open = false;
}

Uint32 SDL_GetTicks(void) { return orw_js_ticks(); }

void SDL_Delay(Uint32 ms) { orw_js_sleep(static_cast<int>(ms)); }

// Memory streams, the only streams the runtime opens (files are read whole:
// addons::read_file), with SDL's rules: a seek stays inside the data, a read takes
// whole objects only.
static int mem_seek(SDL_RWops *rw, int offset, int whence) {
    Uint8 *base = rw->hidden.mem.base, *stop = rw->hidden.mem.stop;
    long from = whence == SEEK_SET ? 0 : whence == SEEK_CUR ? rw->hidden.mem.here - base : stop - base;
    long pos = from + offset;
    if (pos < 0) pos = 0;
    if (pos > stop - base) pos = stop - base;
    rw->hidden.mem.here = base + pos;
    return static_cast<int>(pos);
}

static int mem_read(SDL_RWops *rw, void *ptr, int size, int n) {
    if (size <= 0 || n <= 0) return 0;
    size_t left = static_cast<size_t>(rw->hidden.mem.stop - rw->hidden.mem.here);
    size_t whole = left / static_cast<size_t>(size);
    if (whole < static_cast<size_t>(n)) n = static_cast<int>(whole);
    size_t bytes = static_cast<size_t>(n) * static_cast<size_t>(size);
    memcpy(ptr, rw->hidden.mem.here, bytes);
    rw->hidden.mem.here += bytes;
    return n;
}

static int mem_write(SDL_RWops *, const void *, int, int) { return -1; }

static int mem_close(SDL_RWops *rw) {
    free(rw);
    return 0;
}

SDL_RWops *SDL_RWFromConstMem(const void *mem, int size) {
    SDL_RWops *rw = static_cast<SDL_RWops *>(calloc(1, sizeof(SDL_RWops)));
    if (!rw) return nullptr;
    rw->seek = mem_seek;
    rw->read = mem_read;
    rw->write = mem_write;
    rw->close = mem_close;
    rw->hidden.mem.base = static_cast<Uint8 *>(const_cast<void *>(mem));
    rw->hidden.mem.here = rw->hidden.mem.base;
    rw->hidden.mem.stop = rw->hidden.mem.base + (size > 0 ? size : 0);
    return rw;
}

}  // extern "C"
