// Tracker music (MOD, S3M, XM, IT and every other kind libmikmod reads),
// played as SDL_mixer plays it natively: through libmikmod, with the
// mixer's settings (16-bit stereo, the high-quality software mixer,
// surround, full panning, no reverb, 64 channels at most), the module
// played once through and then again as often as the game asked. The page
// pulls the samples as it plays them (orw_tracker_render).
#include "backend.h"

#include <mikmod.h>

#include <emscripten.h>

namespace {

bool started = false;
MODULE *playing = nullptr;

bool start(int rate) {
    if (started) return true;
    MikMod_RegisterAllLoaders();
    MikMod_RegisterDriver(&drv_nos);
    md_mode = DMODE_16BITS | DMODE_STEREO | DMODE_HQMIXER | DMODE_SOFT_MUSIC | DMODE_SURROUND;
    md_mixfreq = UWORD(rate);
    md_device = 0;
    md_volume = 96;
    md_musicvolume = 128;
    md_sndfxvolume = 128;
    md_pansep = 128;
    md_reverb = 0;
    started = MikMod_Init("") == 0;
    return started;
}

}  // namespace

namespace orw {

void *tracker_load(const Uint8 *data, size_t size, int rate) {
    if (!start(rate)) return nullptr;
    MODULE *m = Player_LoadMem(reinterpret_cast<const char *>(data), int(size), 64, 0);
    if (!m) return nullptr;
    m->extspd = 1;
    m->panflag = 1;
    m->wrap = 0;
    m->loop = 0;
    return m;
}

void tracker_free(void *module) {
    if (module == playing) {
        Player_Stop();
        playing = nullptr;
    }
    Player_Free(static_cast<MODULE *>(module));
}

}  // namespace orw

extern "C" {

// From the start: the module the page is about to pull samples from.
EMSCRIPTEN_KEEPALIVE void orw_tracker_start(void *module) {
    playing = static_cast<MODULE *>(module);
    Player_Start(playing);
    Player_SetPosition(0);
}

// Fills out with frames of 16-bit stereo samples; 0 once the module has
// played to its end (out is then silence).
EMSCRIPTEN_KEEPALIVE int orw_tracker_render(short *out, int frames) {
    if (!playing || !Player_Active()) {
        for (int i = 0; i < 2 * frames; ++i) out[i] = 0;
        return 0;
    }
    VC_WriteBytes(reinterpret_cast<SBYTE *>(out), ULONG(frames) * 4);
    return 1;
}

}  // extern "C"
