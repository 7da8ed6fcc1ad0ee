// SDL_mixer's calls over the browser's Web Audio: files are decoded by the
// browser (WAV, Ogg Vorbis, MP3, FLAC), sounds play on eight channels that a
// sound holds until it ends, and one music track plays, pauses and changes
// volume with the mixer's rules. The bookkeeping the mixer defines (free
// channels, pause flag, volume) is kept here; the page only plays.
#include "backend.h"
#include "web.h"

#include <SDL_mixer.h>

#include <cstdio>
#include <cstdlib>

namespace {

struct Chunk {
    Mix_Chunk chunk;  // first, so that a Mix_Chunk pointer is a Chunk pointer
    int id;
};

bool open_ = false;
bool music_active = true;  // the pause flag: false while paused
int music_volume = MIX_MAX_VOLUME;
Mix_Music *current = nullptr;

int decode(SDL_RWops *rw) {
    long size = 0;
    unsigned char *data = addons::read_stream(rw, &size);
    int id = data ? orw_js_audio_decode(data, int(size)) : 0;
    free(data);
    return id;
}

}  // namespace

struct _Mix_Music {
    int id;
};

extern "C" {

int Mix_OpenAudio(int, Uint16, int, int) {
    if (!orw_js_audio_open()) {
        SDL_SetError("No audio in this browser");
        return -1;
    }
    open_ = true;
    return 0;
}

// The device itself: closing it silences everything, as the mixer's close does.
void SDL_CloseAudio(void) { Mix_CloseAudio(); }

void Mix_CloseAudio(void) {
    if (!open_) return;
    orw_js_audio_close();
    current = nullptr;
    open_ = false;
}

Mix_Chunk *Mix_LoadWAV_RW(SDL_RWops *src, int freesrc) {
    if (!src) {
        SDL_SetError("No file given");
        return nullptr;
    }
    int id = open_ ? decode(src) : 0;
    if (freesrc) SDL_RWclose(src);
    if (!id) {
        SDL_SetError("Unrecognized audio format");
        return nullptr;
    }
    Chunk *c = static_cast<Chunk *>(calloc(1, sizeof(Chunk)));
    if (!c) {
        orw_js_audio_free(id);
        return nullptr;
    }
    c->chunk.allocated = 1;
    c->chunk.volume = MIX_MAX_VOLUME;
    c->id = id;
    return &c->chunk;
}

void Mix_FreeChunk(Mix_Chunk *chunk) {
    if (!chunk) return;
    // Channels still playing it stop first.
    orw_js_audio_free(reinterpret_cast<Chunk *>(chunk)->id);
    free(chunk);
}

int Mix_PlayChannelTimed(int channel, Mix_Chunk *chunk, int loops, int) {
    if (!open_ || !chunk) return -1;
    int id = reinterpret_cast<Chunk *>(chunk)->id;
    if (channel >= 0 && channel < MIX_CHANNELS) return orw_js_audio_play(id, channel, loops) ? channel : -1;
    // The first free channel; none free, nothing plays.
    for (int i = 0; i < MIX_CHANNELS; ++i)
        if (!orw_js_audio_channel_busy(i)) return orw_js_audio_play(id, i, loops) ? i : -1;
    SDL_SetError("No free channels available");
    return -1;
}

int Mix_HaltChannel(int channel) {
    if (open_) orw_js_audio_halt(channel);
    return 0;
}

// A sound's volume applies to its voices playing now and to later ones, as
// the mixer applies it at mixing time.
int Mix_VolumeChunk(Mix_Chunk *chunk, int volume) {
    if (!chunk) return -1;
    int prev = chunk->volume;
    if (volume >= 0) {
        if (volume > MIX_MAX_VOLUME) volume = MIX_MAX_VOLUME;
        chunk->volume = static_cast<Uint8>(volume);
        orw_js_audio_volume(reinterpret_cast<Chunk *>(chunk)->id, volume);
    }
    return prev;
}

Mix_Music *Mix_LoadMUS(const char *file) {
    long size = 0;
    unsigned char *data = addons::read_file(file, &size);
    if (!data) return nullptr;
    int id = open_ ? orw_js_audio_decode(data, int(size)) : 0;
    free(data);
    if (!id) {
        SDL_SetError("Unrecognized music format");
        return nullptr;
    }
    Mix_Music *m = static_cast<Mix_Music *>(malloc(sizeof(Mix_Music)));
    if (!m) {
        orw_js_audio_free(id);
        return nullptr;
    }
    m->id = id;
    return m;
}

void Mix_FreeMusic(Mix_Music *music) {
    if (!music) return;
    if (music == current) {
        orw_js_music_stop();
        current = nullptr;
    }
    orw_js_audio_free(music->id);
    free(music);
}

int Mix_PlayMusic(Mix_Music *music, int loops) {
    if (!open_ || !music) return -1;
    // The number of times to play: 0 and 1 both play once, -1 for ever.
    if (loops == 0) loops = 1;
    current = music;
    music_active = true;
    orw_js_music_volume(music_volume);
    orw_js_music_play(music->id, loops);
    return 0;
}

// Pausing and resuming only flip the flag when nothing plays, as in the mixer.
void Mix_PauseMusic(void) {
    music_active = false;
    if (open_) orw_js_music_pause(1);
}

void Mix_ResumeMusic(void) {
    music_active = true;
    if (open_) orw_js_music_pause(0);
}

int Mix_PausedMusic(void) { return music_active ? 0 : 1; }

// Stopping leaves the pause flag as it is, as in the mixer.
int Mix_HaltMusic(void) {
    if (open_) orw_js_music_stop();
    current = nullptr;
    return 0;
}

// A track plays from Mix_PlayMusic until it ends or is stopped; a paused
// one still counts.
int Mix_PlayingMusic(void) { return (open_ && current && orw_js_music_playing()) ? 1 : 0; }

int Mix_VolumeMusic(int volume) {
    int prev = music_volume;
    if (volume < 0) return prev;
    if (volume > MIX_MAX_VOLUME) volume = MIX_MAX_VOLUME;
    music_volume = volume;
    if (open_) orw_js_music_volume(volume);
    return prev;
}

}  // extern "C"
