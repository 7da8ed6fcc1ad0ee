// Sound files SDL and SDL_mixer decode themselves, decoded here the same way
// into plain samples for the page: RIFF WAVE with 8- or 16-bit samples,
// AIFF (8 or 16 bits) and 8SVX, and Creative VOC (8 bits). The mixer picks
// the reader by the first four bytes, as SDL_mixer does.
#include "backend.h"

#include <cstdlib>
#include <cstring>

namespace orw {

namespace {

Uint32 le16(const Uint8 *p) { return Uint32(p[0]) | Uint32(p[1]) << 8; }
Uint32 le32(const Uint8 *p) { return le16(p) | le16(p + 2) << 16; }
Uint32 be16(const Uint8 *p) { return Uint32(p[0]) << 8 | p[1]; }
Uint32 be32(const Uint8 *p) { return be16(p) << 16 | be16(p + 2); }

// RIFF WAVE: chunks up to the format, then to the samples. Only plain PCM
// of 8 or 16 bits is read here (SDL's ADPCM readers are not).
bool wave(const Uint8 *d, size_t n, Pcm *out) {
    if (n < 12 || memcmp(d + 8, "WAVE", 4) != 0) return false;
    size_t pos = 12;
    const Uint8 *fmt = nullptr;
    while (pos + 8 <= n) {
        Uint32 len = le32(d + pos + 4);
        const Uint8 *body = d + pos + 8;
        size_t left = n - pos - 8;
        if (!memcmp(d + pos, "fmt ", 4) && !fmt) {
            if (len < 16 || left < 16) return false;
            fmt = body;
        } else if (!memcmp(d + pos, "data", 4) && fmt) {
            Uint32 format = le16(fmt), channels = le16(fmt + 2), bits = le16(fmt + 14);
            if (format != 1 || (bits != 8 && bits != 16) || channels == 0) return false;
            out->channels = int(channels);
            out->rate = int(le32(fmt + 4));
            out->format = bits == 8 ? kPcmU8 : kPcmS16LE;
            size_t bytes = len < left ? len : left;
            out->data = body;
            out->frames = int(bytes / (channels * bits / 8));
            return true;
        }
        if (len > left) return false;
        pos += 8 + len + (len & 1);
    }
    return false;
}

// AIFF and 8SVX: the format chunk and the samples, in either order; chunks
// of odd length are padded.
bool form(const Uint8 *d, size_t n, Pcm *out) {
    if (n < 12) return false;
    bool svx = !memcmp(d + 8, "8SVX", 4);
    if (!svx && memcmp(d + 8, "AIFF", 4) != 0) return false;
    const Uint8 *fmt = nullptr, *samples = nullptr;
    size_t sample_bytes = 0;
    for (size_t pos = 12; pos + 8 <= n;) {
        Uint32 len = be32(d + pos + 4);
        const Uint8 *body = d + pos + 8;
        size_t left = n - pos - 8;
        if (!memcmp(d + pos, svx ? "VHDR" : "COMM", 4)) {
            if (left < (svx ? 14u : 18u)) return false;
            fmt = body;
        } else if (!memcmp(d + pos, svx ? "BODY" : "SSND", 4)) {
            size_t skip = svx ? 0 : 8 + (left >= 8 ? be32(body) : 0);
            if (skip > left) return false;
            samples = body + skip;
            sample_bytes = (len < left ? len : left) - (skip < len ? skip : len);
        }
        if (len > left) break;
        pos += 8 + len + (len & 1);
    }
    if (!fmt || !samples) return false;
    if (svx) {
        out->channels = 1;
        out->rate = int(be16(fmt + 12));
        out->format = kPcmS8;
    } else {
        out->channels = int(be16(fmt));
        Uint32 bits = be16(fmt + 6);
        // The rate is an 80-bit float: exponent, then the mantissa.
        Uint32 exponent = be16(fmt + 8), mantissa = be32(fmt + 10);
        out->rate = (exponent & 0x8000) || exponent < 0x3FFF || exponent > 0x3FFF + 31
                        ? 0 : int(mantissa >> (31 - (exponent - 0x3FFF)));
        if (bits != 8 && bits != 16) return false;
        out->format = bits == 8 ? kPcmS8 : kPcmS16BE;
    }
    if (out->channels < 1 || out->rate <= 0) return false;
    int frame = out->channels * (out->format == kPcmS8 ? 1 : 2);
    out->data = samples;
    out->frames = int(sample_bytes / size_t(frame));
    return true;
}

// Creative Voice: blocks of 8-bit samples (types 1 and 2, with rates from
// types 1, 8 and 9); silence and other kinds of blocks are left out.
bool voc(const Uint8 *d, size_t n, Pcm *out, Uint8 **owned) {
    if (n < 26 || memcmp(d, "Creative Voice File\x1a", 20) != 0) return false;
    size_t pos = le16(d + 20);
    Uint8 *buf = static_cast<Uint8 *>(malloc(n));
    if (!buf) return false;
    size_t used = 0;
    int rate = 0, channels = 1;
    while (pos + 4 <= n && d[pos] != 0) {
        Uint32 type = d[pos], len = Uint32(d[pos + 1] | d[pos + 2] << 8 | d[pos + 3] << 16);
        const Uint8 *body = d + pos + 4;
        size_t left = n - pos - 4;
        if (len > left) len = Uint32(left);
        if (type == 1 && len >= 2 && body[1] == 0) {
            if (!rate) rate = 1000000 / (256 - body[0]);
            memcpy(buf + used, body + 2, len - 2);
            used += len - 2;
        } else if (type == 2) {
            memcpy(buf + used, body, len);
            used += len;
        } else if (type == 8 && len >= 4 && !rate) {
            channels = body[3] + 1;
            rate = int(256000000 / (channels * (65536 - le16(body))));
        } else if (type == 9 && len >= 12) {
            if (body[4] != 8 || le16(body + 6) != 0) break;  // 8-bit unsigned only
            rate = int(le32(body));
            channels = body[5];
            memcpy(buf + used, body + 12, len - 12);
            used += len - 12;
        }
        pos += 4 + len;
    }
    if (!used || rate <= 0 || channels < 1) {
        free(buf);
        return false;
    }
    *owned = buf;
    out->data = buf;
    out->channels = channels;
    out->rate = rate;
    out->format = kPcmU8;
    out->frames = int(used / size_t(channels));
    return true;
}

}  // namespace

bool decode_pcm(const Uint8 *d, size_t n, Pcm *out, Uint8 **owned) {
    *owned = nullptr;
    if (n < 4) return false;
    if (!memcmp(d, "RIFF", 4) || !memcmp(d, "WAVE", 4)) return wave(d, n, out);
    if (!memcmp(d, "FORM", 4)) return form(d, n, out);
    if (!memcmp(d, "Crea", 4)) return voc(d, n, out, owned);
    return false;
}

}  // namespace orw
