// The page's side of the browser backend (web/library.js), as C sees it.
#pragma once

#include <SDL.h>

// Kinds of the input records the page queues for SDL_PumpEvents.
enum {
    ORW_EV_NONE = 0,
    ORW_EV_KEY_DOWN = 1,     // code and key strings
    ORW_EV_KEY_UP = 2,
    ORW_EV_MOTION = 3,       // x, y in window pixels
    ORW_EV_BUTTON_DOWN = 4,  // x, y, SDL button number
    ORW_EV_BUTTON_UP = 5,
    ORW_EV_FOCUS = 6,        // 1 gained, 0 lost
};

extern "C" {
// Clock: milliseconds since SDL_Init (or the test clock's frame ticks).
void orw_js_start_clock(void);
Uint32 orw_js_ticks(void);
// Waits, giving the browser its turn (asynchronous: the wasm stack unwinds).
void orw_js_sleep(int ms);
// Gives the browser a turn if the game has kept it for too long.
void orw_js_maybe_yield(void);
// The canvas: its size, a frame of RGBA bytes, the pointer.
void orw_js_set_mode(int w, int h, int fullscreen);
void orw_js_present(const Uint32 *rgba, int w, int h);
void orw_js_show_cursor(int show);
void orw_js_set_title(const char *title);
void orw_js_viewport(int *w, int *h);
// Takes the oldest queued input record: its kind (0 when none), up to four
// numbers, and for keys the code and key strings.
int orw_js_take_event(int *fields, char *code, int codecap, char *key, int keycap);
// Gamepads: how many the page has shown (numbered in the order they
// appeared), and what it reads of one now: 1 with its layout (standard or
// not), axis and button counts, 8 axes, 32 buttons pressed and 32 button
// values into out; 0 when the browser no longer has it.
int orw_js_pad_count(void);
int orw_js_pad(int index, double *out);
// Audio. Sounds are numbered buffers: samples the backend decoded itself
// (format: PcmFormat), or compressed files the browser decodes
// (asynchronous). Compressed music is streamed by the page as it plays.
// Playing, pausing and volume go to Web Audio. Ids are 0 on failure.
int orw_js_audio_open(void);
void orw_js_audio_close(void);
int orw_js_audio_pcm(const void *samples, int frames, int channels, int rate, int format);
int orw_js_audio_decode(const void *data, int size);
int orw_js_music_stream(const void *data, int size, const char *mime);
// Tracker music: the page pulls the module's samples as it plays them.
int orw_js_music_tracker(void *module);
int orw_js_audio_rate(void);
void orw_js_audio_free(int id);
int orw_js_audio_play(int id, int channel, int loops);  // loops -1: for ever
int orw_js_audio_channel_busy(int channel);
void orw_js_music_play(int id, int loops);
void orw_js_music_stop(void);
void orw_js_music_pause(int paused);
void orw_js_music_volume(int volume);
int orw_js_music_playing(void);  // a track set and not at its end
// Stops the sounds of one channel, or of all for -1.
void orw_js_audio_halt(int channel);
// The volume (0 to 128) of a sound buffer, for its voices now and later.
void orw_js_audio_volume(int id, int volume);
}

// orvixcore's start step that opens the joysticks SDL counts beyond those
// already open, for pads the page shows while the game runs.
namespace orvix {
void open_pads();
}
