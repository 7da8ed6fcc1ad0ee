// Sound effects and music through SDL_mixer.
#include "args.h"
#include "assets.h"
#include "functions.h"
#include "handles.h"
#include "state.h"

#include <SDL_mixer.h>

#include <cstdio>

namespace orvix {

// Audio calls act only while the mixer is open. With audio off they read no
// argument and return no values; before a start function and after quit,
// when there is no mixer to reach, they behave the same way.
static bool audio_on() { return sound_on && g_mixer_open; }

int l_loadSound(lua_State *L) {
    if (!audio_on()) return 0;
    const char *path = lua_tostring(L, 1);
    // Checked first, then read by the mixer (see assets.cpp).
    Mix_Chunk *chunk = path ? load_sound(path) : nullptr;
    if (!chunk) fatal("Couldn't load sound %s. Exiting.\n", path ? path : "(null)");
    handle_add(chunk, Kind::Sound);
    lua_pushlightuserdata(L, chunk);
    return 1;
}

int l_loadMusic(lua_State *L) {
    if (!audio_on()) return 0;
    const char *path = lua_tostring(L, 1);
    Mix_Music *music = path ? load_music(path) : nullptr;
    if (!music) fatal("Couldn't load music %s. Exiting.\n", path ? path : "(null)");
    handle_add(music, Kind::Music);
    lua_pushlightuserdata(L, music);
    return 1;
}

int l_playSound(lua_State *L) {
    if (!audio_on()) return 0;
    Mix_Chunk *chunk = static_cast<Mix_Chunk *>(arg_handle(L, 1, Kind::Sound));
    int loops = arg_int(L, 2);
    // With every channel busy the mixer drops the sound; that is not reported.
    if (chunk) Mix_PlayChannelTimed(-1, chunk, loops, -1);
    return 0;
}

int l_playMusic(lua_State *L) {
    if (!audio_on()) return 0;
    Mix_Music *music = static_cast<Mix_Music *>(arg_handle(L, 1, Kind::Music));
    int loops = arg_int(L, 2);
    if (music) Mix_PlayMusic(music, loops);
    return 0;
}

int l_pauseMusic(lua_State *) {
    if (!audio_on()) return 0;
    if (Mix_PausedMusic())
        Mix_ResumeMusic();
    else
        Mix_PauseMusic();
    return 0;
}

int l_musicVolume(lua_State *L) {
    if (!audio_on()) return 0;
    lua_pushnumber(L, Mix_VolumeMusic(arg_int(L, 1)));
    return 1;
}

// The free functions also work after quit: the mixer's chunks and tracks are
// plain memory once the device is closed. Mix_FreeChunk and Mix_FreeMusic
// stop a sound or track that is still playing before releasing it.
int l_freeSound(lua_State *L) {
    if (!sound_on) return 0;
    void *p = lua_touserdata(L, 1);
    if (p && handle_remove(p, Kind::Sound)) Mix_FreeChunk(static_cast<Mix_Chunk *>(p));
    return 0;
}

int l_freeMusic(lua_State *L) {
    if (!sound_on) return 0;
    void *p = lua_touserdata(L, 1);
    if (p && handle_remove(p, Kind::Music)) Mix_FreeMusic(static_cast<Mix_Music *>(p));
    return 0;
}

// orvixcore.extra's sound control. With audio off these do nothing, like the
// rest; musicPlaying then answers that nothing plays.
int l_stopSounds(lua_State *) {
    if (audio_on()) Mix_HaltChannel(-1);
    return 0;
}

int l_stopMusic(lua_State *) {
    if (audio_on()) Mix_HaltMusic();
    return 0;
}

int l_soundVolume(lua_State *L) {
    if (!audio_on()) return 0;
    Mix_Chunk *chunk = static_cast<Mix_Chunk *>(arg_handle(L, 1, Kind::Sound));
    int volume = arg_int(L, 2);
    // As musicVolume: above 128 counts as 128, a negative volume changes nothing.
    if (chunk && volume >= 0) Mix_VolumeChunk(chunk, volume > MIX_MAX_VOLUME ? MIX_MAX_VOLUME : volume);
    return 0;
}

// A paused track still counts as playing; paused is true only for a track
// that plays and is paused (the mixer keeps its pause flag after a track
// ends or is stopped).
int l_musicPlaying(lua_State *L) {
    bool playing = audio_on() && Mix_PlayingMusic();
    lua_pushboolean(L, playing);
    lua_pushboolean(L, playing && Mix_PausedMusic());
    return 2;
}

}  // namespace orvix
