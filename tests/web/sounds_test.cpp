// The browser backend's readers of the sound files SDL and SDL_mixer decode
// themselves, against those decoders: the same samples, rate and channels.
#include "backend.h"

#include <gtest/gtest.h>

#include <dlfcn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

std::vector<Uint8> file(const std::string &name) {
    std::ifstream in(std::string(ORVIX_TEST_ASSETS) + "/" + name, std::ios::binary);
    return std::vector<Uint8>(std::istreambuf_iterator<char>(in), {});
}

struct Decoded {
    bool ok = false;
    int freq = 0, format = 0, channels = 0;
    std::vector<Uint8> samples;
};

// A sound as SDL's or SDL_mixer's decoder reads it (`loader` names it). It
// runs in a child process: SDL_mixer's libraries do not end cleanly in a
// process that also holds the reference libraries the other tests load.
Decoded native(const std::vector<Uint8> &data, const char *loader) {
    int fds[2];
    if (pipe(fds) != 0) return {};
    pid_t pid = fork();
    if (pid == 0) {
        close(fds[0]);
        using Loader = SDL_AudioSpec *(*)(SDL_RWops *, int, SDL_AudioSpec *, Uint8 **, Uint32 *);
        void *lib = dlopen("libSDL_mixer-1.2.so.0", RTLD_NOW | RTLD_LOCAL);
        void *sdl = dlopen("/usr/lib/x86_64-linux-gnu/libSDL-1.2.so.0", RTLD_NOW | RTLD_LOCAL);
        auto from_mem = reinterpret_cast<SDL_RWops *(*)(const void *, int)>(sdl ? dlsym(sdl, "SDL_RWFromConstMem") : nullptr);
        auto load = reinterpret_cast<Loader>(lib ? dlsym(lib, loader) : nullptr);
        if (!sdl || !from_mem || !load) _exit(2);
        SDL_AudioSpec format;
        Uint8 *buf = nullptr;
        Uint32 len = 0;
        if (!load(from_mem(data.data(), int(data.size())), 1, &format, &buf, &len)) _exit(1);
        int head[4] = {format.freq, format.format, format.channels, int(len)};
        bool ok = write(fds[1], head, sizeof head) == sizeof head && write(fds[1], buf, len) == ssize_t(len);
        _exit(ok ? 0 : 3);
    }
    close(fds[1]);
    Decoded d;
    int head[4];
    if (read(fds[0], head, sizeof head) == sizeof head) {
        d.freq = head[0];
        d.format = head[1];
        d.channels = head[2];
        d.samples.resize(size_t(head[3]));
        size_t got = 0;
        for (ssize_t k; got < d.samples.size() && (k = read(fds[0], d.samples.data() + got, d.samples.size() - got)) > 0;)
            got += size_t(k);
        d.ok = got == d.samples.size();
    }
    close(fds[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    d.ok = d.ok && WIFEXITED(status) && WEXITSTATUS(status) == 0;
    return d;
}

TEST(WebSounds, SamplesMatchSDLsDecoders) {
    const struct {
        const char *name, *loader;
    } cases[] = {
        {"beep.wav", "SDL_LoadWAV_RW"},     {"beep8.wav", "SDL_LoadWAV_RW"},   {"beep_ms.wav", "SDL_LoadWAV_RW"},
        {"beep_ima.wav", "SDL_LoadWAV_RW"}, {"beep.aiff", "Mix_LoadAIFF_RW"}, {"beep8.aiff", "Mix_LoadAIFF_RW"},
        {"beep.voc", "Mix_LoadVOC_RW"},
    };
    for (const auto &c : cases) {
        std::vector<Uint8> data = file(c.name);
        ASSERT_FALSE(data.empty()) << c.name;
        Decoded n = native(data, c.loader);
        ASSERT_TRUE(n.ok) << c.name;

        orw::Pcm pcm;
        Uint8 *owned = nullptr;
        ASSERT_TRUE(orw::decode_pcm(data.data(), data.size(), &pcm, &owned)) << c.name;
        EXPECT_EQ(pcm.rate, n.freq) << c.name;
        EXPECT_EQ(pcm.channels, n.channels) << c.name;
        // The format as SDL names it, and the samples' bytes in that format.
        int bytes = (pcm.format == orw::kPcmU8 || pcm.format == orw::kPcmS8) ? 1 : 2;
        int format = pcm.format == orw::kPcmU8 ? AUDIO_U8 : pcm.format == orw::kPcmS8 ? AUDIO_S8
                   : pcm.format == orw::kPcmS16LE ? AUDIO_S16LSB : AUDIO_S16MSB;
        EXPECT_EQ(format, n.format) << c.name;
        ASSERT_EQ(size_t(pcm.frames) * pcm.channels * bytes, n.samples.size()) << c.name;
        EXPECT_EQ(memcmp(pcm.data, n.samples.data(), n.samples.size()), 0) << c.name;
        free(owned);
    }
    // Encodings SDL refuses (A-law here), refused too.
    std::vector<Uint8> alaw = file("beep.wav");
    alaw[20] = 6;  // the format code
    orw::Pcm pcm;
    Uint8 *owned = nullptr;
    EXPECT_FALSE(native(alaw, "SDL_LoadWAV_RW").ok);
    EXPECT_FALSE(orw::decode_pcm(alaw.data(), alaw.size(), &pcm, &owned));
}

}  // namespace
