// Files a game writes: screenshots and surfaces saved as PNG (saveImage),
// and the folder for saved games and high scores (saveDir).
#include "functions.h"
#include "handles.h"
#include "state.h"

#include <png.h>
#include <sys/stat.h>
#ifdef _WIN32
#include <direct.h>
#endif

#include <cerrno>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace orvix {

namespace {

void png_write_failed(png_structp png, png_const_charp) { png_longjmp(png, 1); }
void png_no_warning(png_structp, png_const_charp) {}

// The surface as an 8-bit RGBA PNG, row by row through `row` (4 * w bytes).
// The surface is locked by the caller. False when libpng fails (a full disk).
bool write_png(FILE *f, const SDL_Surface *s, Uint8 *row) {
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, png_write_failed, png_no_warning);
    if (!png) return false;
    png_infop info = png_create_info_struct(png);
    if (!info) {
        png_destroy_write_struct(&png, nullptr);
        return false;
    }
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    png_init_io(png, f);
    // Screenshots are written while the game runs: fast compression.
    png_set_compression_level(png, 3);
    png_set_IHDR(png, info, png_uint_32(s->w), png_uint_32(s->h), 8, PNG_COLOR_TYPE_RGB_ALPHA, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    const SDL_PixelFormat *fmt = s->format;
    for (int y = 0; y < s->h; ++y) {
        const Uint32 *p = reinterpret_cast<const Uint32 *>(static_cast<const Uint8 *>(s->pixels) + y * s->pitch);
        for (int x = 0; x < s->w; ++x) {
            Uint32 v = p[x];
            row[4 * x] = Uint8((v & fmt->Rmask) >> fmt->Rshift);
            row[4 * x + 1] = Uint8((v & fmt->Gmask) >> fmt->Gshift);
            row[4 * x + 2] = Uint8((v & fmt->Bmask) >> fmt->Bshift);
            // The window has no alpha channel: it is opaque.
            row[4 * x + 3] = fmt->Amask ? Uint8((v & fmt->Amask) >> fmt->Ashift) : 255;
        }
        png_write_row(png, row);
    }
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return true;
}

// A message with a path and the system's reason, as the second result.
int fail_path(lua_State *L, const char *what, const char *path, int err) {
    lua_pushnil(L);
    lua_pushfstring(L, "%s %s: %s", what, path, strerror(err));
    return 2;
}

// Folder names a game may ask for: a plain file name of 1 to 64 letters,
// digits, '.', '-' and '_', starting with a letter or a digit, so that it
// can never leave the data folder, hide itself or need quoting.
bool safe_name(const char *s, size_t len) {
    if (len < 1 || len > 64) return false;
    for (size_t i = 0; i < len; ++i) {
        char c = s[i];
        bool alnum = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
        if (!alnum && (i == 0 || (c != '.' && c != '-' && c != '_'))) return false;
    }
    return true;
}

#ifdef _WIN32
bool separator(char c) { return c == '/' || c == '\\'; }
int make_dir(const char *path) { return _mkdir(path); }
#else
bool separator(char c) { return c == '/'; }
int make_dir(const char *path) { return mkdir(path, 0777); }
#endif

// Creates the folder `path` and its parents as needed; 0, or the errno of
// the step that failed (ENOTDIR when something in the way is not a folder).
int make_folders(char *path) {
    for (char *p = path + 1;; ++p) {
        if (!separator(*p) && *p) continue;
        char keep = *p;
        *p = 0;
        struct stat st;
        int err = 0;
        if (stat(path, &st) == 0) {
            if (!S_ISDIR(st.st_mode)) err = ENOTDIR;
        } else if (make_dir(path) != 0 && errno != EEXIST) {
            err = errno;
        }
        *p = keep;
        if (err) return err;
        if (!keep) return 0;
    }
}

}  // namespace

int l_saveImage(lua_State *L) {
    void *p = lua_touserdata(L, 1);
    const char *path = lua_tostring(L, 2);
    SDL_Surface *s = nullptr;
    if (p) {
        if (handle_kind(p) != Kind::Surface) {
            lua_pushnil(L);
            return 1;
        }
        s = static_cast<SDL_Surface *>(p);
    } else {
        if (!display_running()) return fail(L, "saveImage: no display is running");
        if (gl_on) return fail(L, "saveImage: the OpenGL window has no pixels to save");
        s = gScreen;
    }
    if (!path) return fail(L, "saveImage: no path");
    if (s->w < 1 || s->h < 1 || !s->pixels || s->format->BytesPerPixel != 4)
        return fail(L, "saveImage: the surface has no pixels");
    Uint8 *row = static_cast<Uint8 *>(malloc(size_t(s->w) * 4));
    if (!row) return fail(L, "saveImage: out of memory");
    FILE *f = fopen(path, "wb");
    if (!f) {
        int err = errno;
        free(row);
        return fail_path(L, "saveImage: cannot write", path, err);
    }
    bool locked = !SDL_MUSTLOCK(s) || SDL_LockSurface(s) == 0;
    bool written = locked && write_png(f, s, row);
    if (locked && SDL_MUSTLOCK(s)) SDL_UnlockSurface(s);
    free(row);
    int err = written ? 0 : (errno ? errno : EIO);
    if (fclose(f) != 0 && written) {
        written = false;
        err = errno;
    }
    if (!written) {
        remove(path);
        return fail_path(L, "saveImage: cannot write", path, err);
    }
    lua_pushboolean(L, 1);
    return 1;
}

int l_saveDir(lua_State *L) {
    size_t len = 0;
    const char *name = lua_type(L, 1) == LUA_TSTRING ? lua_tolstring(L, 1, &len) : nullptr;
    if (!name || !safe_name(name, len))
        return fail(L, "saveDir: the name must be 1 to 64 letters, digits, '.', '-' or '_', "
                       "starting with a letter or a digit");
    char path[4096];
    int n;
#ifdef _WIN32
    // Where Windows programs keep their users' data: the roaming
    // application data folder (C:\Users\<user>\AppData\Roaming).
    const char *data = getenv("APPDATA");
    if (data && data[0] && data[1] == ':')
        n = snprintf(path, sizeof path, "%s/%s", data, name);
    else
        return fail(L, "saveDir: APPDATA names no folder");
#else
    // The XDG base directory rules: XDG_DATA_HOME when it is an absolute
    // path, otherwise ~/.local/share.
    const char *data = getenv("XDG_DATA_HOME");
    const char *home = getenv("HOME");
    if (data && data[0] == '/')
        n = snprintf(path, sizeof path, "%s/%s", data, name);
    else if (home && home[0] == '/')
        n = snprintf(path, sizeof path, "%s/.local/share/%s", home, name);
    else
        return fail(L, "saveDir: neither XDG_DATA_HOME nor HOME names a folder");
#endif
    if (n < 0 || size_t(n) + 1 >= sizeof path) return fail(L, "saveDir: the folder's path is too long");
    if (int err = make_folders(path)) return fail_path(L, "saveDir: cannot create", path, err);
    path[n] = '/';
    path[n + 1] = 0;
    lua_pushstring(L, path);
    return 1;
}

}  // namespace orvix
