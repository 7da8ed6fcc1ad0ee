// Listening to the mixer: analysis of the raw file that SDL's disk audio
// driver writes (signed 16-bit stereo frames, little-endian, 44.1 kHz), so that
// the tests can check what was actually heard without reading megabytes in Lua;
// and what the mixer is playing right now.
//
// Positions and lengths are in frames (one left and one right sample). Every
// range is [from, to) and is clipped to what the file holds.
#include "orvixtest.h"

#include <SDL_mixer.h>
#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>

namespace {

const int kMaxStretches = 256;

// Frames currently in the file (0 when it does not exist).
long file_frames(const char *path) {
    struct stat st;
    if (stat(path, &st) != 0) return 0;
    return static_cast<long>(st.st_size / 4);
}

// The samples of frames [from, to) of the file, interleaved left and right,
// in a malloc'd block that the caller frees; *count receives the frame count.
// Null when nothing can be read.
Sint16 *read_frames(const char *path, long from, long to, long *count) {
    *count = 0;
    long total = file_frames(path);
    if (from < 0) from = 0;
    if (to < 0 || to > total) to = total;
    if (to <= from) return nullptr;
    FILE *f = fopen(path, "rb");
    if (!f) return nullptr;
    size_t n = static_cast<size_t>(to - from);
    Uint8 *raw = static_cast<Uint8 *>(malloc(n * 4));
    Sint16 *samples = static_cast<Sint16 *>(malloc(n * 4));
    size_t got = 0;
    if (raw && samples && fseek(f, from * 4, SEEK_SET) == 0) got = fread(raw, 4, n, f);
    fclose(f);
    for (size_t i = 0; i < got * 2; ++i)
        samples[i] = static_cast<Sint16>(static_cast<Uint16>(raw[2 * i] | raw[2 * i + 1] << 8));
    free(raw);
    if (!got) {
        free(samples);
        return nullptr;
    }
    *count = static_cast<long>(got);
    return samples;
}

int frame_level(const Sint16 *s, long i) {
    int l = abs(s[2 * i]), r = abs(s[2 * i + 1]);
    return l > r ? l : r;
}

long opt_long(lua_State *L, int i, long def) { return static_cast<long>(luaL_optnumber(L, i, static_cast<double>(def))); }

// pcm_frames(path) -> frames in the file so far.
int t_pcm_frames(lua_State *L) {
    lua_pushnumber(L, static_cast<double>(file_frames(luaL_checkstring(L, 1))));
    return 1;
}

// pcm_wait(path, frames[, timeout_ms = 10000]) -> frames in the file, true once
// it holds at least that many, or false when the time ran out first. The file
// is the clock of these tests: it grows one mixer buffer at a time.
int t_pcm_wait(lua_State *L) {
    const char *path = luaL_checkstring(L, 1);
    long want = static_cast<long>(luaL_checknumber(L, 2));
    Uint32 timeout = static_cast<Uint32>(luaL_optnumber(L, 3, 10000));
    Uint32 start = SDL_GetTicks();
    long have = file_frames(path);
    while (have < want && SDL_GetTicks() - start < timeout) {
        SDL_Delay(1);
        have = file_frames(path);
    }
    lua_pushnumber(L, static_cast<double>(have));
    lua_pushboolean(L, have >= want);
    return 2;
}

// pcm_stretches(path, threshold, gap[, from, to]) -> { {first, last}, ... }:
// the stretches of frames whose louder channel exceeds threshold in absolute
// value, where quiet runs shorter than gap frames (zero crossings) do not end
// a stretch. first is the first loud frame, last the frame after the last one.
// At most 256 stretches; a second result true tells that more were cut off.
int t_pcm_stretches(lua_State *L) {
    const char *path = luaL_checkstring(L, 1);
    int threshold = static_cast<int>(luaL_checknumber(L, 2));
    long gap = static_cast<long>(luaL_checknumber(L, 3));
    long from = opt_long(L, 4, 0), to = opt_long(L, 5, -1);
    if (from < 0) from = 0;
    long found[kMaxStretches][2];
    int n = 0;
    bool cut = false;
    long count;
    Sint16 *s = read_frames(path, from, to, &count);
    long first = -1, last = -1;
    for (long i = 0; i < count; ++i) {
        if (frame_level(s, i) <= threshold) continue;
        if (first >= 0 && i - last > gap) {
            if (n < kMaxStretches) {
                found[n][0] = first;
                found[n][1] = last;
                ++n;
            } else {
                cut = true;
            }
            first = -1;
        }
        if (first < 0) first = i;
        last = i + 1;
    }
    if (first >= 0) {
        if (n < kMaxStretches) {
            found[n][0] = first;
            found[n][1] = last;
            ++n;
        } else {
            cut = true;
        }
    }
    free(s);
    lua_createtable(L, n, 0);
    for (int i = 0; i < n; ++i) {
        lua_createtable(L, 2, 0);
        lua_pushnumber(L, static_cast<double>(found[i][0] + from));
        lua_rawseti(L, -2, 1);
        lua_pushnumber(L, static_cast<double>(found[i][1] + from));
        lua_rawseti(L, -2, 2);
        lua_rawseti(L, -2, i + 1);
    }
    lua_pushboolean(L, cut);
    return 2;
}

// pcm_peak(path[, from, to]) -> the largest absolute sample of either channel
// in the range, and the number of frames looked at.
int t_pcm_peak(lua_State *L) {
    const char *path = luaL_checkstring(L, 1);
    long from = opt_long(L, 2, 0), to = opt_long(L, 3, -1);
    long count;
    Sint16 *s = read_frames(path, from, to, &count);
    int peak = 0;
    for (long i = 0; i < count; ++i) {
        int v = frame_level(s, i);
        if (v > peak) peak = v;
    }
    free(s);
    lua_pushnumber(L, peak);
    lua_pushnumber(L, static_cast<double>(count));
    return 2;
}

// pcm_freq(path[, from, to[, hysteresis = 64]]) -> the frequency in Hz of the
// left channel, from the spacing of its rising zero crossings (a crossing
// counts once the signal has gone below -hysteresis and then above it), or
// nothing when there are fewer than two crossings.
int t_pcm_freq(lua_State *L) {
    const char *path = luaL_checkstring(L, 1);
    long from = opt_long(L, 2, 0), to = opt_long(L, 3, -1);
    int hyst = static_cast<int>(luaL_optnumber(L, 4, 64));
    long count;
    Sint16 *s = read_frames(path, from, to, &count);
    long crossings = 0, first = -1, last = -1;
    bool below = false;
    for (long i = 0; i < count; ++i) {
        int v = s[2 * i];
        if (v < -hyst) {
            below = true;
        } else if (below && v > hyst) {
            below = false;
            if (first < 0) first = i;
            last = i;
            ++crossings;
        }
    }
    free(s);
    if (crossings < 2) return 0;
    lua_pushnumber(L, static_cast<double>(crossings - 1) * 44100.0 / static_cast<double>(last - first));
    return 1;
}

// pcm_hold(path, frames[, timeout_ms = 10000]) -> like pcm_wait, but once the
// file is long enough it also takes SDL's audio lock, which holds the audio
// thread before it mixes its next buffer; the count is read under the lock.
// Calls made before unlock_audio() therefore all take effect in the buffer
// that starts at the returned frame (or, when the thread had already mixed
// that one and was just writing it, in the buffer after it).
int t_pcm_hold(lua_State *L) {
    int results = t_pcm_wait(L);
    if (lua_toboolean(L, -1)) {
        SDL_LockAudio();
        lua_pushnumber(L, static_cast<double>(file_frames(lua_tostring(L, 1))));
        lua_replace(L, -3);
    }
    return results;
}

// unlock_audio(): lets the audio thread go on after pcm_hold.
int t_unlock_audio(lua_State *) {
    SDL_UnlockAudio();
    return 0;
}

// playing() -> the number of mixer channels playing, whether music plays,
// and whether SDL's audio device is running (its thread mixing). Read under
// the audio lock: a looping sound is briefly at its end inside a buffer.
int t_playing(lua_State *L) {
    SDL_LockAudio();
    int channels = Mix_Playing(-1);
    bool music = Mix_PlayingMusic();
    SDL_UnlockAudio();
    lua_pushnumber(L, channels);
    lua_pushboolean(L, music);
    lua_pushboolean(L, SDL_GetAudioStatus() == SDL_AUDIO_PLAYING);
    return 3;
}

// chunk_volume(sound) -> the mixer's volume of a sound, 0 to 128.
int t_chunk_volume(lua_State *L) {
    lua_pushnumber(L, Mix_VolumeChunk(static_cast<Mix_Chunk *>(lua_touserdata(L, 1)), -1));
    return 1;
}

const luaL_Reg funcs[] = {
    {"playing", t_playing},
    {"chunk_volume", t_chunk_volume},
    {"pcm_frames", t_pcm_frames},
    {"pcm_wait", t_pcm_wait},
    {"pcm_hold", t_pcm_hold},
    {"pcm_stretches", t_pcm_stretches},
    {"pcm_peak", t_pcm_peak},
    {"pcm_freq", t_pcm_freq},
    {"unlock_audio", t_unlock_audio},
    {nullptr, nullptr}};
orvixtest::Registrar reg(funcs);

}  // namespace
