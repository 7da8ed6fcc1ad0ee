// Files and streams read whole, for the fonts, images and sounds that the
// add-ons (and the browser's mixer) hand to their decoders in one piece.
#include "addons.h"

#include <cstdio>
#include <cstdlib>

namespace addons {

unsigned char *read_file(const char *path, long *size) {
    FILE *f = path ? fopen(path, "rb") : nullptr;
    if (!f) {
        SDL_SetError("Couldn't open %s", path ? path : "(null)");
        return nullptr;
    }
    long n = fseek(f, 0, SEEK_END) == 0 ? ftell(f) : -1;
    unsigned char *data = (n > 0 && fseek(f, 0, SEEK_SET) == 0) ? static_cast<unsigned char *>(malloc(size_t(n))) : nullptr;
    if (data && fread(data, 1, size_t(n), f) != size_t(n)) {
        free(data);
        data = nullptr;
    }
    fclose(f);
    if (!data) SDL_SetError("Couldn't read %s", path);
    *size = n;
    return data;
}

unsigned char *read_stream(SDL_RWops *rw, long *size) {
    int end = rw ? rw->seek(rw, 0, SEEK_END) : -1;
    unsigned char *data = nullptr;
    if (end > 0 && rw->seek(rw, 0, SEEK_SET) == 0) data = static_cast<unsigned char *>(malloc(size_t(end)));
    if (data && rw->read(rw, data, 1, end) != end) {
        free(data);
        data = nullptr;
    }
    *size = end;
    return data;
}

}  // namespace addons
