// SDL_mixer's calls over the browser's Web Audio. Sounds are read as the
// mixer reads them: WAVE, AIFF, 8SVX and VOC by the backend's own readers
// (sounds.cpp), Ogg Vorbis and FLAC decoded by the browser, anything else
// refused. Music is told apart as the mixer does, by extension, then by its
// first bytes: WAVE and AIFF read whole, Ogg Vorbis, FLAC and MP3 streamed
// by the page as they play, anything else tried as tracker music
// (tracker.cpp); MIDI, which would need instruments the site does not carry,
// is refused. Sounds play on eight channels that a sound holds
// until it ends, and one music track plays, pauses and changes volume with
// the mixer's rules. The bookkeeping the mixer defines (free channels, pause
// flag, volume) is kept here; the page only plays.
#include "backend.h"
#include "web.h"

#include <SDL_mixer.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <strings.h>

namespace {

struct Chunk {
    Mix_Chunk chunk;  // first, so that a Mix_Chunk pointer is a Chunk pointer
    int id;
};

bool open_ = false;
bool music_active = true;  // the pause flag: false while paused
int music_volume = MIX_MAX_VOLUME;
Mix_Music *current = nullptr;

// Samples the backend reads itself, as a buffer; 0 when it cannot.
int pcm_buffer(const Uint8 *data, size_t size) {
    orw::Pcm pcm;
    Uint8 *owned = nullptr;
    int id = orw::decode_pcm(data, size, &pcm, &owned)
                 ? orw_js_audio_pcm(pcm.data, pcm.frames, pcm.channels, pcm.rate, pcm.format)
                 : 0;
    free(owned);
    return id;
}

bool starts(const Uint8 *d, long n, const char *magic) {
    size_t k = strlen(magic);
    return n >= long(k) && memcmp(d, magic, k) == 0;
}

// An MPEG audio frame's sync (11 bits set, a valid layer and bitrate), or
// an ID3 tag before one.
bool mp3(const Uint8 *d, long n) {
    if (starts(d, n, "ID3")) return true;
    return n >= 4 && d[0] == 0xFF && (d[1] & 0xE0) == 0xE0 && (d[1] & 0x06) != 0 && (d[2] & 0xF0) != 0xF0 &&
           (d[2] & 0x0C) != 0x0C;
}

}  // namespace
struct _Mix_Music {
    int id;
    void *module;  // tracker music's libmikmod module, or null
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
    long size = 0;
    Uint8 *data = open_ ? addons::read_stream(src, &size) : nullptr;
    if (freesrc) SDL_RWclose(src);
    int id = 0;
    if (data) {
        // The mixer's readers by the first four bytes.
        if (starts(data, size, "RIFF") || starts(data, size, "WAVE") || starts(data, size, "FORM") ||
            starts(data, size, "Crea")) {
            id = pcm_buffer(data, size_t(size));
        } else if (starts(data, size, "OggS") || starts(data, size, "fLaC")) {
            id = orw_js_audio_decode(data, int(size));
        }
    }
    free(data);
    if (!id) {
        SDL_SetError("Unrecognized sound file type");
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
    unsigned char *data = open_ ? addons::read_file(file, &size) : nullptr;
    if (!data) return nullptr;
    enum Kind { kNone, kWav, kMidi, kOgg, kFlac, kMp3 } kind = kNone;
    const char *dot = strrchr(file, '.');
    const char *ext = dot ? dot + 1 : "";
    if (!strcasecmp(ext, "WAV")) kind = kWav;
    else if (!strcasecmp(ext, "MID") || !strcasecmp(ext, "MIDI") || !strcasecmp(ext, "KAR")) kind = kMidi;
    else if (!strcasecmp(ext, "OGG")) kind = kOgg;
    else if (!strcasecmp(ext, "FLAC")) kind = kFlac;
    else if (!strcasecmp(ext, "MPG") || !strcasecmp(ext, "MPEG") || !strcasecmp(ext, "MP3") || !strcasecmp(ext, "MAD"))
        kind = kMp3;
    else if ((starts(data, size, "RIFF") && size >= 12 && !memcmp(data + 8, "WAVE", 4)) || starts(data, size, "FORM"))
        kind = kWav;
    else if (starts(data, size, "OggS")) kind = kOgg;
    else if (starts(data, size, "fLaC")) kind = kFlac;
    else if (starts(data, size, "MThd")) kind = kMidi;
    else if (mp3(data, size)) kind = kMp3;
    int id = 0;
    void *module = nullptr;
    switch (kind) {
    case kNone:
        // Anything else may be tracker music.
        module = orw::tracker_load(data, size_t(size), orw_js_audio_rate());
        id = module ? orw_js_music_tracker(module) : 0;
        break;
    case kWav: id = pcm_buffer(data, size_t(size)); break;
    case kOgg: id = starts(data, size, "OggS") ? orw_js_music_stream(data, int(size), "audio/ogg") : 0; break;
    case kFlac: id = starts(data, size, "fLaC") ? orw_js_music_stream(data, int(size), "audio/flac") : 0; break;
    case kMp3: id = mp3(data, size) ? orw_js_music_stream(data, int(size), "audio/mpeg") : 0; break;
    default: break;
    }
    free(data);
    if (!id) {
        if (module) orw::tracker_free(module);
        SDL_SetError(kind == kMidi ? "MIDI music is not available in the browser build" : "Unrecognized music format");
        return nullptr;
    }
    Mix_Music *m = static_cast<Mix_Music *>(malloc(sizeof(Mix_Music)));
    if (!m) {
        orw_js_audio_free(id);
        if (module) orw::tracker_free(module);
        return nullptr;
    }
    m->id = id;
    m->module = module;
    return m;
}

void Mix_FreeMusic(Mix_Music *music) {
    if (!music) return;
    if (music == current) {
        orw_js_music_stop();
        current = nullptr;
    }
    orw_js_audio_free(music->id);
    if (music->module) orw::tracker_free(music->module);
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
