// The asset-file checks and the PNG decoder, on files built here in memory:
// each good file passes, and each damage the libraries would not survive
// (cut files, missing or misplaced parts, out-of-range header fields) is
// refused.
#include "assets.h"

#include <FLAC/stream_encoder.h>
#include <gtest/gtest.h>
#include <png.h>

#include <string>
#include <vector>

namespace {

using namespace orvix;
using Bytes = std::string;

const Uint8 *u8(const Bytes &b) { return reinterpret_cast<const Uint8 *>(b.data()); }
Bytes le(Uint32 v, int n) {
    Bytes s;
    for (int i = 0; i < n; ++i, v >>= 8) s += char(v & 0xFF);
    return s;
}
Bytes be(Uint32 v, int n) {
    Bytes s = le(v, n);
    return Bytes(s.rbegin(), s.rend());
}

// ---------------------------------------------------------------------------
// PNG

// A PNG written by libpng: w x h pixels of the given colour type and depth,
// from row bytes, with a tEXt chunk after the image.
Bytes make_png(int w, int h, int color, int depth, const Bytes &pixels) {
    Bytes out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    png_set_write_fn(png, &out, [](png_structp p, png_bytep d, png_size_t n) {
        static_cast<Bytes *>(png_get_io_ptr(p))->append(reinterpret_cast<char *>(d), n);
    }, nullptr);
    png_set_IHDR(png, info, Uint32(w), Uint32(h), depth, color, 0, 0, 0);
    png_text text = {};
    text.key = const_cast<char *>("Comment");
    text.text = const_cast<char *>("after the image");
    png_write_info(png, info);
    size_t row = pixels.size() / size_t(h);
    for (int y = 0; y < h; ++y) png_write_row(png, reinterpret_cast<png_const_bytep>(pixels.data() + y * row));
    png_set_text(png, info, &text, 1);
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return out;
}

TEST(Png, EveryCutFailsUntilThePixelsAreThereThenLoadsThem) {
    Bytes pixels;
    for (int i = 0; i < 4 * 4 * 4; ++i) pixels += char(i * 7);
    Bytes file = make_png(4, 4, PNG_COLOR_TYPE_RGB_ALPHA, 8, pixels);
    // libpng stops reading once the last row is decoded, so the cut that
    // first loads lies inside the image data; what follows is never read.
    size_t data = file.find("IDAT") + 4, after = file.find("tEXt") - 4;
    size_t first_loaded = 0;
    for (size_t n = 0; n <= file.size(); ++n) {
        SDL_Surface *s = decode_png(u8(file), n);
        if (!s) {
            EXPECT_EQ(0u, first_loaded) << "cut at " << n << " fails after a shorter cut loaded";
            continue;
        }
        if (!first_loaded) first_loaded = n;
        EXPECT_EQ(0, memcmp(s->pixels, pixels.data(), pixels.size())) << "cut at " << n;
        SDL_FreeSurface(s);
    }
    EXPECT_GT(first_loaded, data);
    EXPECT_LE(first_loaded, after);
}

TEST(Png, ChunksLongerThanTheFileFail) {
    Bytes file = make_png(1, 1, PNG_COLOR_TYPE_GRAY, 8, Bytes(1, '\x40'));
    for (const char *type : {"bKGD", "tEXt", "iTXt", "sPLT", "IDAT"}) {
        Bytes cut = file.substr(0, 33) + be(5000000, 4) + type + Bytes(100, '\0');
        EXPECT_EQ(nullptr, decode_png(u8(cut), cut.size())) << type;
    }
}

// ---------------------------------------------------------------------------
// GIF, XPM, PCX, BMP, JPEG headers

// A 2 x 1 GIF with a global palette, a graphics-control extension and one
// image of 2 pixels.
const Bytes kGif = Bytes("GIF89a\2\0\1\0\x80\0\0" "\0\0\0\xff\xff\xff" "!\xf9\4\0\0\0\0\0" ",\0\0\0\0\2\0\1\0\0" "\2\2\x44\1\0;", 43);

TEST(Gif, OnlyFilesWhoseImageDataIsWholeAreReadable) {
    ImageSize size = {};
    EXPECT_TRUE(gif_readable(u8(kGif), kGif.size(), &size));
    EXPECT_EQ(2, size.w);
    EXPECT_EQ(1, size.h);
    size_t image_end = kGif.size() - 1;  // the trailer is not needed
    for (size_t n = 0; n < image_end; ++n) EXPECT_FALSE(gif_readable(u8(kGif), n)) << "cut at " << n;
    struct {
        size_t at;
        const char *bytes;
        size_t len;
    } damage[] = {{32, "\0\0", 2},     // no columns
                  {34, "\0\0", 2},     // no rows
                  {37, "\x0c", 1},      // a code size beyond the decoder's tables
                  {37, "\0", 1},
                  {21, "\xff", 1}};     // an extension block running past the end
    for (const auto &d : damage) {
        Bytes bad = kGif;
        bad.replace(d.at, d.len, d.bytes, d.len);
        EXPECT_FALSE(gif_readable(u8(bad), bad.size())) << "change at " << d.at;
    }
}

TEST(Xpm, RowsMustBeThereAndUseOnlyTheColoursGiven) {
    const Bytes good1 = "/* XPM */\nstatic char *x[] = {\n\"2 2 2 1\",\n\"a c #ff0000\",\n\"b c None\",\n\"ab\",\n\"ba\"\n};\n";
    const Bytes good2 = "/* XPM */\n\"2 1 2 2\",\n\"aa c red\",\n\"ab c blue\",\n\"abaa\",\n};\n";
    ImageSize size = {};
    EXPECT_TRUE(xpm_readable(u8(good1), good1.size(), &size));
    EXPECT_EQ(8, size.depth);
    EXPECT_TRUE(xpm_readable(u8(good2), good2.size()));
    size_t last_row = good1.rfind("\"ba\"");
    for (size_t n = 0; n < last_row + 6; ++n) EXPECT_FALSE(xpm_readable(u8(good1), n)) << "cut at " << n;
    for (const char *bad : {"\"ab\",\n\"bx\"", "\"ab\",\n\"b\"\"", "\"ab\""}) {
        Bytes file = good1;
        file.replace(file.find("\"ab\",\n\"ba\""), 10, bad);
        EXPECT_FALSE(xpm_readable(u8(file), file.size())) << bad;
    }
    for (const char *header : {"\"0 2 2 1\"", "\"2 2 2 -1\"", "\"2 2 2 9\"", "\"2 2 2\""}) {
        Bytes file = good1;
        file.replace(file.find("\"2 2 2 1\""), 9, header);
        EXPECT_FALSE(xpm_readable(u8(file), file.size())) << header;
    }
    Bytes unknown2 = good2;
    unknown2.replace(unknown2.find("abaa"), 4, "abac");
    EXPECT_FALSE(xpm_readable(u8(unknown2), unknown2.size()));
}

TEST(Pcx, LinesMustHoldTheWidth) {
    struct {
        Uint8 bits;
        Uint32 xmax, bytes_per_line;
        bool readable;
    } cases[] = {{8, 31, 32, true}, {8, 31, 31, false}, {8, 31, 8, false}, {1, 31, 4, true},
                 {1, 32, 4, false}, {4, 9, 5, true},    {8, 65535, 65535, false}};
    for (const auto &c : cases) {
        Bytes h(128, '\0');
        h[0] = 10, h[1] = 5, h[2] = 1, h[3] = char(c.bits);
        h.replace(8, 2, le(c.xmax, 2));
        h.replace(10, 2, le(7, 2));
        h.replace(66, 2, le(c.bytes_per_line, 2));
        EXPECT_EQ(c.readable, pcx_readable(u8(h), h.size())) << int(c.bits) << " " << c.xmax << " " << c.bytes_per_line;
    }
}

TEST(Bmp, ThirtyTwoBitsHaveAlphaOnlyWithAnAlphaMask) {
    struct {
        Uint32 header, bits, compression, alpha_mask;
        bool without_alpha;
    } cases[] = {{40, 32, 0, 0, true},           {40, 24, 0, 0, false},         {40, 32, 3, 0xff000000, true},
                 {108, 32, 3, 0xff000000, false}, {124, 32, 3, 0, true},         {124, 32, 0, 0, true},
                 {12, 32, 0, 0, false}};
    for (const auto &c : cases) {
        Bytes f = "BM" + Bytes(52 + 16, '\0');
        f.replace(14, 4, le(c.header, 4));
        f.replace(28, 2, le(c.bits, 2));
        f.replace(30, 4, le(c.compression, 4));
        f.replace(66, 4, le(c.alpha_mask, 4));
        EXPECT_EQ(c.without_alpha, bmp_without_alpha(u8(f), f.size())) << c.header << " " << c.compression;
    }
}

TEST(Jpeg, CmykIsFoundInTheFrameHeaderAndAdobeMarksItInverted) {
    const Bytes soi = "\xff\xd8", app0 = Bytes("\xff\xe0\0\x06JFIF", 8);
    const Bytes adobe = Bytes("\xff\xee\0\x0e" "Adobe\0\x64\0\0\0\0\x02", 16);
    auto sof = [](char marker, int comps) { return Bytes("\xff") + marker + be(8 + 3 * comps, 2) + Bytes("\x08\0\x10\0\x10", 5) + char(comps) + Bytes(3 * size_t(comps), '\x11'); };
    EXPECT_EQ(0, jpeg_cmyk_kind(u8(soi + app0 + sof('\xc0', 3)), 31));
    Bytes plain = soi + app0 + sof('\xc0', 4), inverted = soi + adobe + sof('\xc2', 4);
    EXPECT_EQ(1, jpeg_cmyk_kind(u8(plain), plain.size()));
    EXPECT_EQ(2, jpeg_cmyk_kind(u8(inverted), inverted.size()));
    EXPECT_EQ(0, jpeg_cmyk_kind(u8(inverted), inverted.size() - 12));  // frame header cut off
}

// ---------------------------------------------------------------------------
// Sound formats

TEST(SampleFormat, RatesAndChannelsSdlCanConvert) {
    EXPECT_TRUE(sample_format_ok(1000, 1));
    EXPECT_TRUE(sample_format_ok(384000, 8));
    EXPECT_TRUE(sample_format_ok(44100, 2));
    for (auto bad : {std::pair<Uint32, Uint32>{999, 1}, {384001, 2}, {0, 2}, {44100, 0}, {44100, 9}})
        EXPECT_FALSE(sample_format_ok(bad.first, bad.second)) << bad.first << " Hz, " << bad.second;
}

Bytes chunk(const char *tag, const Bytes &body) { return Bytes(tag, 4) + le(Uint32(body.size()), 4) + body; }
Bytes fmt(Uint32 rate, Uint32 channels, Uint32 bits = 16, int len = 16) {
    return chunk("fmt ", (le(1, 2) + le(channels, 2) + le(rate, 4) + le(rate * 4, 4) + le(4, 2) + le(bits, 2)).substr(0, size_t(len)));
}
Bytes riff(const Bytes &body) { return "RIFF" + le(Uint32(body.size() + 4), 4) + "WAVE" + body; }

TEST(Wav, MusicNeedsTheFormatFirstAndADataChunkSoundsAFormatSdlCanConvert) {
    const Bytes data = chunk("data", Bytes(16, '\0'));
    struct {
        Bytes file;
        bool music, sound;
    } cases[] = {
        {riff(fmt(44100, 2) + data), true, true},
        {riff(chunk("LIST", "abcd") + fmt(22050, 1, 8) + chunk("junk", "") + data), true, true},
        {riff(chunk("junk", "abcd") + fmt(44100, 2) + data), false, true},  // freed twice by the music reader
        {riff(fmt(44100, 2, 16, 14) + data), false, false},                 // a format chunk too short
        {riff(fmt(44100, 2)), false, true},                                 // no data: music looks for ever
        {riff(fmt(0, 2) + data), false, false},
        {riff(fmt(1, 2) + data), false, false},
        {riff(fmt(44100, 0) + data), false, false},
        {riff(chunk("LIST", "abcd")).substr(0, 20), false, true},           // no format: SDL refuses it
    };
    for (size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
        const Bytes &f = cases[i].file;
        EXPECT_EQ(cases[i].music, wav_music_readable(u8(f), f.size())) << "case " << i;
        EXPECT_EQ(cases[i].sound, wav_sound_readable(u8(f), f.size())) << "case " << i;
    }
}

TEST(Aiff, TheFormatAndTheSamplesMustBeThereAtARateSdlCanConvert) {
    auto comm = [](const Bytes &rate) {
        return Bytes("COMM", 4) + be(18, 4) + be(2, 2) + be(4, 4) + be(16, 2) + rate;
    };
    const Bytes hz44100 = Bytes("\x40\x0e\xac\x44\0\0\0\0\0\0", 10), hz1 = Bytes("\x3f\xff\x80\0\0\0\0\0\0\0", 10);
    const Bytes ssnd = Bytes("SSND", 4) + be(24, 4) + Bytes(24, '\0');
    auto form = [](const Bytes &body) { return "FORM" + be(Uint32(body.size() + 4), 4) + "AIFF" + body; };
    for (bool sound : {true, false}) {
        Bytes good = form(comm(hz44100) + ssnd);
        EXPECT_TRUE(aiff_readable(u8(good), good.size(), sound));
        Bytes slow = form(comm(hz1) + ssnd), no_samples = form(comm(hz44100)), cut = good.substr(0, good.size() - 30);
        for (const Bytes *bad : {&slow, &no_samples, &cut}) EXPECT_FALSE(aiff_readable(u8(*bad), bad->size(), sound));
    }
}

// An MS or IMA ADPCM WAV's format chunk and a data chunk, with the block size
// given.
Bytes adpcm(Uint32 encoding, Uint32 align) {
    Bytes body = le(encoding, 2) + le(1, 2) + le(22050, 4) + le(11100, 4) + le(align, 2) + le(4, 2) + le(2, 2) + le(505, 2);
    return riff(chunk("fmt ", body) + chunk("data", Bytes(512, '\0')));
}

TEST(Wav, AdpcmBlocksAreNotEmpty) {
    EXPECT_TRUE(wav_sound_readable(u8(adpcm(2, 256)), adpcm(2, 256).size()));
    EXPECT_TRUE(wav_sound_readable(u8(adpcm(0x11, 1)), adpcm(0x11, 1).size()));
    EXPECT_FALSE(wav_sound_readable(u8(adpcm(2, 0)), adpcm(2, 0).size()));  // classic SDL divides by it
    EXPECT_FALSE(wav_sound_readable(u8(adpcm(0x11, 0)), adpcm(0x11, 0).size()));
    EXPECT_TRUE(wav_sound_readable(u8(adpcm(1, 0)), adpcm(1, 0).size()));  // PCM does not divide
}

// A Vorbis stream's first page: the identification header as its one packet.
Bytes vorbis_page(Uint32 channels, Uint32 rate, Uint8 flags = 2, const char *codec = "\x01vorbis") {
    Bytes packet = Bytes(codec, 7) + le(0, 4) + char(channels) + le(rate, 4) + Bytes(12, '\0') + "\xb8\x01";
    return Bytes("OggS\0", 5) + char(flags) + Bytes(20, '\0') + "\x01" + char(packet.size()) + packet;
}

TEST(Ogg, EveryVorbisStreamHasARateAndChannelsSdlCanConvert) {
    const Bytes good = vorbis_page(2, 44100), pages = Bytes(200, 'x');
    struct {
        Bytes file;
        bool readable;
    } cases[] = {
        {good + pages, true},
        {vorbis_page(1, 1000) + pages, true},
        {vorbis_page(8, 384000) + pages, true},
        {vorbis_page(2, 50) + pages, false},
        {vorbis_page(2, 1) + pages, false},
        {vorbis_page(2, 0x80000000) + pages, false},
        {vorbis_page(2, 384001) + pages, false},
        {vorbis_page(0, 44100) + pages, false},
        {vorbis_page(9, 44100) + pages, false},
        {vorbis_page(255, 44100) + pages, false},
        {good + pages + vorbis_page(1, 50) + pages, false},         // a chained stream
        {vorbis_page(2, 1, 0) + pages, true},                       // not the first page of a stream
        {vorbis_page(2, 1, 2, "\x80theora") + pages, true},        // another codec
        {good.substr(0, 28 + 10), true},                            // cut: libogg never delivers the page
        {good.substr(0, 27) + "\x01\x0f" + good.substr(29), true},  // a packet too short for a rate
        {Bytes(65536 - 2, 'x') + vorbis_page(2, 1), false},         // across the 64 KiB blocks it is read in
        {Bytes(65536 - 3, 'x') + vorbis_page(2, 1), false},
        {Bytes(65536 - 4, 'x') + vorbis_page(2, 1), false},
    };
    for (size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
        const Bytes &f = cases[i].file;
        EXPECT_EQ(cases[i].readable, ogg_readable(u8(f), f.size())) << "case " << i;
    }
}

// VOC files: the header, blocks (type, 24-bit length, body), the terminator.
Bytes voc_block(int type, const Bytes &body) { return char(type) + le(Uint32(body.size()), 3) + body; }
Bytes voc(const std::vector<Bytes> &blocks) {
    Bytes f = Bytes("Creative Voice File\x1a", 20) + le(26, 2) + le(0x10a, 2) + le(0x1129, 2);
    for (const Bytes &b : blocks) f += b;
    return f + '\0';
}
Bytes data1(int code, size_t n) { return voc_block(1, char(code) + Bytes(1, '\0') + Bytes(n, '\x80')); }
Bytes data9(Uint32 rate, int bits, int channels, size_t n, int bits_field = -1) {
    return voc_block(9, le(rate, 4) + char(bits_field < 0 ? bits : bits_field) + char(channels) + Bytes(6, '\0') + Bytes(n, '\x80'));
}
Bytes extended(Uint32 rate, bool stereo) { return voc_block(8, le(rate, 2) + '\0' + char(stereo)); }
Bytes silence(Uint32 n, int code) { return voc_block(3, le(n, 2) + char(code)); }

TEST(Voc, BlocksAreWhereTheReaderLooksAndTheFormatIsOneSdlCanConvert) {
    const Bytes tone = data1(75, 100);  // 5,525 Hz
    Bytes lots_of_silence = tone;
    for (int i = 0; i < 32769; ++i) lots_of_silence += silence(65535, 75);
    struct {
        Bytes file;
        bool readable;
    } cases[] = {
        {voc({tone}), true},
        {voc({data9(22050, 16, 2, 400)}), true},
        {voc({extended(65536 - 5805, true), data1(0, 200)}), true},
        {voc({tone, silence(50, 75), voc_block(2, Bytes(100, 'x')), voc_block(5, "text"), data1(75, 10)}), true},
        {voc({tone}) + Bytes(3, '\0'), true},                 // terminators after the terminator
        {Bytes("Creative Voice File\x1a", 20) + le(200, 2), true},  // its first block past the end: refused
        {voc({voc_block(2, Bytes(100, 'x'))}), true},          // no rate: refused
        {voc({tone, data1(76, 10)}), true},                    // rates differ: refused
        // SDL's converter
        {voc({data9(22050, 8, 0, 100)}), false},
        {voc({data9(22050, 8, 9, 100)}), false},
        {voc({data9(1, 8, 1, 100)}), false},
        {voc({data9(384001, 16, 1, 100)}), false},
        {voc({data9(0x80000000, 8, 1, 100)}), false},
        {voc({data1(255, 100)}), true},                        // 1,000,000 Hz, kept in 16 bits: 16,960
        // divisions by 0
        {voc({extended(1000, false), data1(0, 100)}), false},
        {voc({extended(65536 - 5805, true), extended(65536 - 5805, false), data1(0, 100)}), true},
        {voc({data9(256, 8, 1, 100), silence(10, 75)}), false},
        // sample size and channels that no block set
        {voc({silence(100, 75)}), false},
        {voc({extended(65536 - 5805, true), voc_block(2, Bytes(100, 'x'))}), false},
        // lengths
        {voc({}).substr(0, 26) + "\x01\x02\0\0\x4b", true},  // refused: the file ends before the codec
        {voc({voc_block(1, Bytes(1, char(75)))}), false},      // 1 byte: the codec is the next byte
        {voc({Bytes("\x09\x05\0\0", 4) + data9(22050, 8, 1, 100).substr(4)}), false},
        {voc({tone}).substr(0, 100), false},                   // cut inside the samples
        {voc({tone}) + voc_block(2, Bytes(100, 'x')), false},  // samples after the terminator
        {voc({tone, voc_block(2, ""), voc_block(2, Bytes(100, 'x'))}), false},  // after an empty block
        {voc({tone, silence(0, 75), voc_block(2, Bytes(100, 'x'))}), false},
        {voc({lots_of_silence}), false},                         // more than 2 GiB
        // a block the reader gives up on, having set the rate from it: the
        // sound ends there, at 172 Hz
        {voc({data1(172, 100), voc_block(2, ""), data9(172, 8, 1, 10, 12)}), false},
    };
    for (size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
        const Bytes &f = cases[i].file;
        EXPECT_EQ(cases[i].readable, voc_readable(u8(f), f.size())) << "case " << i;
    }
}

// A FLAC stream encoded here: `frames` frames of 256 samples of a ramp.
Bytes make_flac(unsigned channels, unsigned frames) {
    Bytes out;
    FLAC__StreamEncoder *enc = FLAC__stream_encoder_new();
    FLAC__stream_encoder_set_channels(enc, channels);
    FLAC__stream_encoder_set_bits_per_sample(enc, 16);
    FLAC__stream_encoder_set_sample_rate(enc, 44100);
    FLAC__stream_encoder_set_blocksize(enc, 256);
    FLAC__stream_encoder_set_total_samples_estimate(enc, 256 * frames);
    FLAC__stream_encoder_init_stream(
        enc,
        [](const FLAC__StreamEncoder *, const FLAC__byte b[], size_t n, uint32_t, uint32_t, void *p) {
            static_cast<Bytes *>(p)->append(reinterpret_cast<const char *>(b), n);
            return FLAC__STREAM_ENCODER_WRITE_STATUS_OK;
        },
        nullptr, nullptr, nullptr, &out);
    std::vector<FLAC__int32> samples(256 * frames * channels);
    for (size_t i = 0; i < samples.size(); ++i) samples[i] = FLAC__int32(i % 2000) - 1000;
    FLAC__stream_encoder_process_interleaved(enc, samples.data(), 256 * frames);
    FLAC__stream_encoder_finish(enc);
    FLAC__stream_encoder_delete(enc);
    return out;
}

Uint8 crc8(const Bytes &b) {
    Uint8 c = 0;
    for (char ch : b) {
        c = Uint8(c ^ Uint8(ch));
        for (int i = 0; i < 8; ++i) c = Uint8(c & 0x80 ? (c << 1) ^ 7 : c << 1);
    }
    return c;
}

TEST(Flac, SoundsMustStartAtSampleZeroAndDecodeToTheirDeclaredLength) {
    const Bytes good = make_flac(2, 4);
    EXPECT_TRUE(flac_sound_readable(u8(good), good.size()));
    // The first frame follows the metadata blocks (a last-block flag and a
    // 24-bit length each); its fifth byte is its number.
    size_t first = 4;
    for (bool last = false; !last; first += 4 + (Uint8(good[first + 1]) << 16 | Uint8(good[first + 2]) << 8 | Uint8(good[first + 3])))
        last = good[first] & 0x80;
    ASSERT_EQ("\xff\xf8", good.substr(first, 2));
    Bytes later = good;  // frame number 1: the stream starts at sample 256
    later[first + 4] = 1;
    later[first + 5] = char(crc8(later.substr(first, 5)));
    Bytes longer = good;  // more samples than the header declares
    longer.replace(4 + 4 + 14, 4, be(3 * 256, 4));
    Bytes unknown = good;  // no declared length
    unknown.replace(4 + 4 + 14, 4, be(0, 4));
    Bytes damaged = good;  // a flipped bit in the samples
    damaged[good.size() - 40] = char(damaged[good.size() - 40] ^ 0x10);
    const Bytes mono = make_flac(1, 4), cut = good.substr(0, good.size() - 100);
    const Bytes *bad[] = {&later, &longer, &unknown, &damaged, &mono, &cut};
    for (size_t i = 0; i < 6; ++i) EXPECT_FALSE(flac_sound_readable(u8(*bad[i]), bad[i]->size())) << "case " << i;
}

TEST(Flac, MusicHasARateAndChannelsSdlCanConvertInEveryStreamInfo) {
    const Bytes good = make_flac(2, 4);
    // STREAMINFO follows "fLaC" and its block header: the rate is 20 bits from its byte 10.
    auto rate = [&good](Uint32 hz) {
        Bytes f = good;
        f[18] = char(hz >> 12), f[19] = char(hz >> 4), f[20] = char((hz & 15) << 4 | (Uint8(f[20]) & 15));
        return f;
    };
    const Bytes id3 = Bytes("ID3\3\0\0\0\0\1\0", 10) + Bytes(128, 'i');  // a 128-byte tag
    Bytes second_info = good;  // a copy of STREAMINFO at 0 Hz after the first
    second_info.insert(42, Bytes("\0\0\0\x22", 4) + rate(0).substr(8, 34));
    struct {
        Bytes file;
        bool readable;
    } cases[] = {
        {good, true},
        {rate(1000), true},
        {rate(0), false},
        {rate(1), false},
        {rate(999), false},
        {rate(655350), false},
        {id3 + good, true},
        {id3 + id3 + rate(0), false},
        {second_info, false},
        {"junk" + good, false},    // libFLAC would search for the stream: refused here
        {good.substr(0, 30), false},
    };
    for (size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
        const Bytes &f = cases[i].file;
        EXPECT_EQ(cases[i].readable, flac_music_readable(u8(f), f.size())) << "case " << i;
    }
}

}  // namespace
