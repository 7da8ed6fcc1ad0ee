// The browser backend's readers of the sound files SDL and SDL_mixer decode
// themselves, against those decoders: the same samples, rate and channels.
#include "backend.h"
#include "reference.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

std::vector<Uint8> file(const std::string &name) {
    std::ifstream in(std::string(ORVIX_TEST_ASSETS) + "/" + name, std::ios::binary);
    return std::vector<Uint8>(std::istreambuf_iterator<char>(in), {});
}

TEST(WebSounds, SamplesMatchSDLsDecoders) {
    ref::SDL &r = ref::sdl();
    const struct {
        const char *name;
        ref::SDL::SoundLoader native;
    } cases[] = {
        {"beep.wav", r.LoadWAV_RW},      {"beep8.wav", r.LoadWAV_RW},  {"beep_ms.wav", r.LoadWAV_RW},
        {"beep_ima.wav", r.LoadWAV_RW},  {"beep.aiff", r.LoadAIFF_RW}, {"beep8.aiff", r.LoadAIFF_RW},
        {"beep.voc", r.LoadVOC_RW},
    };
    for (const auto &c : cases) {
        std::vector<Uint8> data = file(c.name);
        ASSERT_FALSE(data.empty()) << c.name;
        SDL_AudioSpec spec;
        Uint8 *buf = nullptr;
        Uint32 len = 0;
        SDL_RWops *rw = r.RWFromConstMem(data.data(), int(data.size()));
        ASSERT_TRUE(c.native(rw, 1, &spec, &buf, &len)) << c.name << ": " << r.GetError();

        orw::Pcm pcm;
        Uint8 *owned = nullptr;
        ASSERT_TRUE(orw::decode_pcm(data.data(), data.size(), &pcm, &owned)) << c.name;
        EXPECT_EQ(pcm.rate, spec.freq) << c.name;
        EXPECT_EQ(pcm.channels, spec.channels) << c.name;
        // The format as SDL names it, and the samples' bytes in that format.
        int bytes = (pcm.format == orw::kPcmU8 || pcm.format == orw::kPcmS8) ? 1 : 2;
        Uint16 format = pcm.format == orw::kPcmU8 ? AUDIO_U8 : pcm.format == orw::kPcmS8 ? AUDIO_S8
                      : pcm.format == orw::kPcmS16LE ? AUDIO_S16LSB : AUDIO_S16MSB;
        EXPECT_EQ(format, spec.format) << c.name;
        ASSERT_EQ(size_t(pcm.frames) * pcm.channels * bytes, len) << c.name;
        EXPECT_EQ(memcmp(pcm.data, buf, len), 0) << c.name;
        free(owned);
        r.free(buf);
    }
}

}  // namespace
