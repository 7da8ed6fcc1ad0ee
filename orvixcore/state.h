// The display's and the mixer's state, and the steps that start and stop
// them (state.cpp), shared by init, curses_init and quit.
#pragma once

#include "globals.h"

#include <climits>

namespace orvix {

// The public globals are never reset (quit leaves them as they are), so
// whether the display may be used is tracked separately here.
enum class Display { NotStarted, Running, Closed };
extern Display g_display;
// True once the mixer really opened; audio calls need it on top of sound_on.
extern bool g_mixer_open;

inline bool display_running() { return g_display == Display::Running; }

// The widest row of 4-byte pixels SDL can describe: its pitch is a 16-bit
// byte count. Windows and surfaces wider than this are refused before they
// reach SDL.
constexpr int kMaxSide = 16383;
// The tallest window: the SDL2-based SDL 1.2 library refuses windows higher
// than this, so a taller one would open on one library and not on the other.
// Every row of it still has a 16-bit position.
constexpr int kMaxWindowHeight = 16384;

// Start-up steps shared by init and curses_init, in this order. start_sdl and
// start_ttf end the process with the documented message when their library
// cannot start; start_mixer starts SDL's audio and the mixer, and leaves audio
// off when either fails. started() marks the display running.
void start_sdl(Uint32 flags);
void start_ttf();
void start_mixer();
void started();

// Opens the joysticks SDL counts beyond those already open (all of them at
// init), and says how many there are: "Detected N gamepads".
void open_pads();

// quit's shutdown: the caches, the cell screen, the mixer, the fonts, the
// joysticks and SDL. Before any start every step finds nothing open.
void stop();

// Releases whatever the character-cell mode holds (cells.cpp).
void cells_release();

// Prints one line on standard output and ends the process with status 1.
[[noreturn]] void fatal(const char *fmt, ...) __attribute__((format(printf, 1, 2)));

}  // namespace orvix
