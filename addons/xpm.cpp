// XPM pictures, as SDL_image reads them from a file: every line is the text
// between the next two double quotes, except pixel rows, which are exactly
// width * characters-per-pixel characters plus the closing quote and two
// more bytes. A colour is the first of a line's definitions whose value it
// knows ('s' names skipped): #RGB, #RRGGBB, #RRRRGGGGBBBB, or one of the six
// names it has in any case (none, black, white, red, green, blue), "none"
// being transparent. Up to 256 colours make a palette image, more a
// true-colour one; either way transparent pixels come out as zero.
#include "readers.h"

#include <cstdio>
#include <strings.h>

namespace addons {

namespace {

struct Lines {
    const unsigned char *d;
    size_t n, pos;

    // The next quoted text, or false at the end of the data.
    bool line(const unsigned char **start, size_t *len) {
        while (pos < n && d[pos] != '"') ++pos;
        if (pos >= n) return false;
        size_t from = ++pos;
        while (pos < n && d[pos] != '"') ++pos;
        if (pos >= n) return false;
        *start = d + from;
        *len = pos++ - from;
        return true;
    }
    // A pixel row: chars characters after the next quote, then three more.
    const unsigned char *row(size_t chars) {
        while (pos < n && d[pos] != '"') ++pos;
        if (pos >= n) return nullptr;
        ++pos;
        if (chars + 3 > n - pos) return nullptr;
        pos += chars + 3;
        return d + pos - chars - 3;
    }
};

bool space(unsigned char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v'; }

int hex(unsigned char c) {
    return c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
}

// The value of six hexadecimal digits, as strtol reads them: up to the
// first that is not one.
Uint32 hex6(const char *s) {
    Uint32 v = 0;
    for (int i = 0; i < 6 && hex(Uint8(s[i])) >= 0; ++i) v = v << 4 | Uint32(hex(Uint8(s[i])));
    return v;
}

// A colour's value (0xFFFFFFFF: transparent), or false when unknown.
bool colour(const unsigned char *word, size_t len, Uint32 *rgb) {
    static const struct {
        const char *name;
        Uint32 rgb;
    } known[] = {{"none", 0xFFFFFFFF}, {"black", 0x000000}, {"white", 0xFFFFFF},
                 {"red", 0xFF0000},    {"green", 0x00FF00}, {"blue", 0x0000FF}};
    if (len && word[0] == '#') {
        char buf[7] = {0, 0, 0, 0, 0, 0, 0};
        if (len == 4) {
            for (int i = 0; i < 3; ++i) buf[2 * i] = buf[2 * i + 1] = char(word[1 + i]);
        } else if (len == 7) {
            memcpy(buf, word + 1, 6);
        } else if (len == 13) {
            for (int i = 0; i < 3; ++i) {
                buf[2 * i] = char(word[1 + 4 * i]);
                buf[2 * i + 1] = char(word[2 + 4 * i]);
            }
        } else {
            return false;
        }
        *rgb = hex6(buf);
        return true;
    }
    for (const auto &k : known) {
        if (strlen(k.name) == len && strncasecmp(k.name, reinterpret_cast<const char *>(word), len) == 0) {
            *rgb = k.rgb;
            return true;
        }
    }
    return false;
}

// Orders keys of g_cpp characters (for qsort and bsearch).
size_t g_cpp;
int by_key(const void *a, const void *b) { return memcmp(a, b, g_cpp); }

}  // namespace

SDL_Surface *read_xpm(const unsigned char *d, size_t n) {
    Lines r = {d, n, 0};
    const unsigned char *text;
    size_t len;
    if (!r.line(&text, &len)) return fail("Premature end of data");
    char header[128];
    size_t hl = len < sizeof header - 1 ? len : sizeof header - 1;
    memcpy(header, text, hl);
    header[hl] = '\0';
    long w, h, ncolors, cpp;
    if (sscanf(header, "%ld %ld %ld %ld", &w, &h, &ncolors, &cpp) != 4 || w <= 0 || h <= 0 || ncolors <= 0 ||
        cpp <= 0 || Uint64(w) > n || Uint64(h) > n || Uint64(ncolors) > n || Uint64(cpp) > n ||
        Uint64(w) * Uint64(cpp) > n)
        return fail("Invalid format description");

    // Each entry: the key's characters, then the colour (R, G, B, A bytes).
    const size_t entry = size_t(cpp) + 4;
    Uint8 *table = static_cast<Uint8 *>(malloc(entry * size_t(ncolors)));
    if (!table) return fail("Out of memory");
    size_t used = 0;
    const char *error = nullptr;
    for (long i = 0; i < ncolors && !error; ++i) {
        if (!r.line(&text, &len) || len < size_t(cpp)) {
            error = "Premature end of data";
            break;
        }
        // Definitions are pairs "type value" after the key and one separator.
        size_t p = size_t(cpp) + 1;
        for (;;) {
            while (p < len && space(text[p])) ++p;
            if (p >= len) {
                error = "colour parse error";
                break;
            }
            unsigned char type = text[p];
            while (p < len && !space(text[p])) ++p;
            while (p < len && space(text[p])) ++p;
            size_t name = p;
            while (p < len && !space(text[p])) ++p;
            Uint32 rgb;
            if (type == 's' || !colour(text + name, p - name, &rgb)) continue;
            Uint8 *e = table + used++ * entry;
            memcpy(e, text, size_t(cpp));
            Uint8 *c = e + cpp;
            if (rgb == 0xFFFFFFFF) {
                c[0] = c[1] = c[2] = c[3] = 0;
            } else {
                c[0] = Uint8(rgb >> 16);
                c[1] = Uint8(rgb >> 8);
                c[2] = Uint8(rgb);
                c[3] = 0xFF;
            }
            break;
        }
    }
    // Up to 256 colours SDL_image makes a palette image whose colour key is
    // the last transparent entry: any earlier one is plain white there.
    if (!error && ncolors <= 256) {
        bool last = true;
        for (size_t i = used; i-- > 0;) {
            Uint8 *c = table + i * entry + cpp;
            if (c[3] != 0) continue;
            if (!last) c[0] = c[1] = c[2] = c[3] = 0xFF;
            last = false;
        }
    }
    SDL_Surface *s = error ? nullptr : new_image(int(w), int(h));
    if (s) {
        g_cpp = size_t(cpp);
        qsort(table, used, entry, by_key);
        Uint8 *out = static_cast<Uint8 *>(s->pixels);
        for (long y = 0; y < h && !error; ++y) {
            const unsigned char *row = r.row(size_t(w) * size_t(cpp));
            if (!row) {
                error = "Premature end of data";
                break;
            }
            for (long x = 0; x < w; ++x, out += 4) {
                const Uint8 *e = static_cast<const Uint8 *>(bsearch(row + x * cpp, table, used, entry, by_key));
                if (!e) {
                    error = "colour parse error";
                    break;
                }
                memcpy(out, e + cpp, 4);
            }
        }
    }
    free(table);
    if (error) {
        if (s) SDL_FreeSurface(s);
        return fail(error);
    }
    return s;
}

}  // namespace addons
