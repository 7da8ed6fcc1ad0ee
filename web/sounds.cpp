// Sound files SDL and SDL_mixer decode themselves, decoded here the same way
// into plain samples for the page: RIFF WAVE (8- or 16-bit PCM, Microsoft and
// IMA ADPCM), AIFF (8 or 16 bits) and 8SVX, and Creative VOC (8 bits). The mixer picks
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

// 16-bit samples written into a buffer of known size, little-endian.
struct Samples {
    Uint8 *p, *end;
    void put(Sint32 v) {
        if (end - p < 2) return;
        *p++ = Uint8(v & 0xFF);
        *p++ = Uint8((v >> 8) & 0xFF);
    }
};

Sint16 s16(const Uint8 *p) { return Sint16(le16(p)); }

// Microsoft ADPCM, decoded as SDL decodes it: blocks of a header (predictor,
// delta and two samples per channel) and then two samples a byte.
void ms_adpcm(const Uint8 *fmt, const Uint8 *d, size_t n, Samples out, int channels, int align) {
    static const Sint32 adaptive[] = {230, 230, 230, 230, 307, 409, 512, 614, 768, 614, 512, 409, 307, 230, 230, 230};
    int per_block = int(le16(fmt + 18));
    Sint16 coeff[7][2];
    for (int i = 0; i < 7; ++i) {  // the format holds all seven pairs (checked by the caller)
        coeff[i][0] = s16(fmt + 22 + 4 * i);
        coeff[i][1] = s16(fmt + 24 + 4 * i);
    }
    struct State {
        int predictor;
        Uint16 delta;
        Sint16 s1, s2;
    } state[2];
    bool stereo = channels == 2;
    auto nibble = [&](State &st, int v) {
        const Sint16 *c = coeff[st.predictor];
        Sint32 sample = (st.s1 * c[0] + st.s2 * c[1]) / 256;
        sample += st.delta * (v & 0x08 ? v - 0x10 : v);
        if (sample < -32768) sample = -32768;
        if (sample > 32767) sample = 32767;
        Sint32 delta = Sint32(st.delta) * adaptive[v] / 256;
        st.delta = Uint16(delta < 16 ? 16 : delta);
        st.s2 = st.s1;
        st.s1 = Sint16(sample);
        return sample;
    };
    for (size_t at = 0; align > 0 && n - at >= size_t(align); at += size_t(align)) {
        const Uint8 *e = d + at, *stop = d + at + align;
        int k = stereo ? 2 : 1;
        if (stop - e < 7 * k) break;
        for (int c = 0; c < k; ++c) state[c].predictor = e[c] > 6 ? 6 : e[c];
        e += k;
        for (int c = 0; c < k; ++c, e += 2) state[c].delta = Uint16(le16(e));
        for (int c = 0; c < k; ++c, e += 2) state[c].s1 = s16(e);
        for (int c = 0; c < k; ++c, e += 2) state[c].s2 = s16(e);
        for (int c = 0; c < k; ++c) out.put(state[c].s2);
        for (int c = 0; c < k; ++c) out.put(state[c].s1);
        State &second = state[stereo ? 1 : 0];
        for (int left = (per_block - 2) * channels; left > 0 && e < d + n; left -= 2, ++e) {
            out.put(nibble(state[0], *e >> 4));
            out.put(nibble(second, *e & 0x0F));
        }
    }
}

// IMA ADPCM, decoded as SDL decodes it: blocks of a header (sample and step
// index per channel) and then eight samples a channel from four bytes.
void ima_adpcm(const Uint8 *fmt, const Uint8 *d, size_t n, Samples out, int channels, int align) {
    static const int index_table[16] = {-1, -1, -1, -1, 2, 4, 6, 8, -1, -1, -1, -1, 2, 4, 6, 8};
    static const Sint32 steps[89] = {
        7,     8,     9,     10,    11,    12,    13,    14,    16,    17,    19,    21,    23,    25,    28,
        31,    34,    37,    41,    45,    50,    55,    60,    66,    73,    80,    88,    97,    107,   118,
        130,   143,   157,   173,   190,   209,   230,   253,   279,   307,   337,   371,   408,   449,   494,
        544,   598,   658,   724,   796,   876,   963,   1060,  1166,  1282,  1411,  1552,  1707,  1878,  2066,
        2272,  2499,  2749,  3024,  3327,  3660,  4026,  4428,  4871,  5358,  5894,  6484,  7132,  7845,  8630,
        9493,  10442, 11487, 12635, 13899, 15289, 16818, 18500, 20350, 22385, 24623, 27086, 29794, 32767};
    int per_block = int(le16(fmt + 18));
    struct State {
        Sint32 sample;
        int index;
    } state[2];
    auto nibble = [&](State &st, int v) {
        Sint32 step = steps[st.index], delta = step >> 3;
        if (v & 4) delta += step;
        if (v & 2) delta += step >> 1;
        if (v & 1) delta += step >> 2;
        if (v & 8) delta = -delta;
        st.sample += delta;
        st.index += index_table[v];
        if (st.index > 88) st.index = 88;
        if (st.index < 0) st.index = 0;
        if (st.sample > 32767) st.sample = 32767;
        if (st.sample < -32768) st.sample = -32768;
        return st.sample;
    };
    for (size_t at = 0; align > 0 && n - at >= size_t(align); at += size_t(align)) {
        const Uint8 *e = d + at;
        if (align < 4 * channels) break;
        for (int c = 0; c < channels; ++c, e += 4) {
            state[c].sample = s16(e);
            state[c].index = e[2] > 88 ? 88 : e[2];
            out.put(state[c].sample);
        }
        // Eight samples of each channel in turn, interleaved in the output.
        for (int left = (per_block - 1) * channels; left > 0;) {
            Uint8 *base = out.p;
            for (int c = 0; c < channels; ++c, e += 4, left -= 8) {
                if (e + 4 > d + n) return;
                Samples ch = {base + 2 * c, out.end};
                for (int i = 0; i < 4; ++i) {
                    ch.put(nibble(state[c], e[i] & 0x0F));
                    ch.p += 2 * (channels - 1);
                    ch.put(nibble(state[c], e[i] >> 4));
                    ch.p += 2 * (channels - 1);
                }
            }
            out.p = base + 16 * channels < out.end ? base + 16 * channels : out.end;
        }
    }
}

// RIFF WAVE as SDL reads it: fact and LIST chunks, then the format, then
// chunks up to the samples; PCM of 8 or 16 bits, or Microsoft or IMA ADPCM.
bool wave(const Uint8 *d, size_t n, Pcm *out, Uint8 **owned) {
    if (n < 12 || memcmp(d + 8, "WAVE", 4) != 0) return false;
    size_t pos = 12;
    const Uint8 *fmt = nullptr;
    Uint32 fmt_len = 0;
    while (pos + 8 <= n) {
        Uint32 len = le32(d + pos + 4);
        const Uint8 *body = d + pos + 8;
        size_t left = n - pos - 8;
        if (!fmt) {
            if (memcmp(d + pos, "fact", 4) && memcmp(d + pos, "LIST", 4)) {
                if (memcmp(d + pos, "fmt ", 4) || len < 16 || left < 16) return false;
                fmt = body;
                fmt_len = len < left ? len : Uint32(left);
            }
        } else if (!memcmp(d + pos, "data", 4)) {
            Uint32 format = le16(fmt), channels = le16(fmt + 2), bits = le16(fmt + 14), align = le16(fmt + 12);
            size_t bytes = len < left ? len : left;
            if (channels == 0) return false;
            out->channels = int(channels);
            out->rate = int(le32(fmt + 4));
            if (format == 1 && (bits == 8 || bits == 16)) {
                out->format = bits == 8 ? kPcmU8 : kPcmS16LE;
                out->data = body;
                out->frames = int(bytes / (channels * bits / 8));
                return true;
            }
            bool ms = format == 2, ima = format == 0x11;
            if (!(ms || ima) || bits != 4 || fmt_len < 20 || channels > 2 || align == 0 ||
                (ms && (fmt_len < 50 || le16(fmt + 20) != 7)))
                return false;
            size_t size = bytes / align * le16(fmt + 18) * channels * 2;
            Uint8 *buf = static_cast<Uint8 *>(calloc(size ? size : 1, 1));
            if (!buf) return false;
            Samples samples = {buf, buf + size};
            if (ms) ms_adpcm(fmt, body, bytes, samples, int(channels), int(align));
            else ima_adpcm(fmt, body, bytes, samples, int(channels), int(align));
            *owned = buf;
            out->format = kPcmS16LE;
            out->data = buf;
            out->frames = int(size / (channels * 2));
            return true;
        }
        if (len > left) return false;
        pos += 8 + len;
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
    if (!memcmp(d, "RIFF", 4) || !memcmp(d, "WAVE", 4)) return wave(d, n, out, owned);
    if (!memcmp(d, "FORM", 4)) return form(d, n, out);
    if (!memcmp(d, "Crea", 4)) return voc(d, n, out, owned);
    return false;
}

}  // namespace orw
