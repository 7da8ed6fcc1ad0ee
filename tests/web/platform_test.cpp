// The browser backend's key codes, gamepads and random numbers: what a
// script sees must be what it sees natively.
#include "backend.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

TEST(WebKeys, BrowserKeysGiveSDLKeyCodes) {
    struct Case {
        const char *code, *key;
        int sym;
    } cases[] = {
        {"ArrowUp", "ArrowUp", 273}, {"ArrowDown", "ArrowDown", 274}, {"ArrowRight", "ArrowRight", 275},
        {"ArrowLeft", "ArrowLeft", 276}, {"Escape", "Escape", 27}, {"Enter", "Enter", 13}, {"Space", " ", 32},
        {"Tab", "Tab", 9}, {"Backspace", "Backspace", 8}, {"Delete", "Delete", 127},
        // Letters are lower case whatever the shift state; the layout decides
        // which letter a key is (an AZERTY keyboard types a on the Q key).
        {"KeyA", "a", 97}, {"KeyA", "A", 97}, {"KeyQ", "a", 97}, {"KeyX", "x", 120}, {"KeyZ", "Z", 122},
        // Non-Latin layouts: the key's US letter.
        {"KeyD", "\xd0\xb2", 100},
        // Digits and punctuation by position: shift does not change the code.
        {"Digit1", "!", 49}, {"Digit0", "0", 48}, {"Minus", "_", 45}, {"Equal", "+", 61}, {"Slash", "?", 47},
        {"BracketLeft", "[", 91}, {"Backquote", "`", 96}, {"IntlBackslash", "<", 60},
        // The keypad has codes of its own, Num Lock on or off.
        {"Numpad0", "Insert", 256}, {"Numpad8", "8", 264}, {"Numpad9", "PageUp", 265}, {"NumpadAdd", "+", 270},
        {"NumpadSubtract", "-", 269}, {"NumpadEnter", "Enter", 271}, {"NumpadDecimal", ".", 266},
        {"Home", "Home", 278}, {"PageDown", "PageDown", 281}, {"F1", "F1", 282}, {"F12", "F12", 293},
        {"ShiftLeft", "Shift", 304}, {"ShiftRight", "Shift", 303}, {"ControlLeft", "Control", 306},
        {"AltLeft", "Alt", 308}, {"MetaLeft", "Meta", 311}, {"CapsLock", "CapsLock", 301},
        // Keys SDL 1.2 has no symbol for.
        {"AudioVolumeUp", "AudioVolumeUp", 0}, {"", "", 0}, {"Key", "", 0}, {"Digit", "", 0},
    };
    for (const Case &c : cases) EXPECT_EQ(orw::key_from_dom(c.code, c.key), c.sym) << c.code << " " << c.key;
    EXPECT_EQ(orw::key_from_dom(nullptr, nullptr), 0);
}

// A pad in the browser's standard layout, at rest.
orw::PadReading standard_pad() {
    orw::PadReading r = {};
    r.standard = true;
    r.naxes = 4;
    r.nbuttons = 17;
    return r;
}

std::vector<std::string> describe(const SDL_Event *e, int n) {
    std::vector<std::string> out;
    for (int i = 0; i < n; ++i) {
        char line[64];
        if (e[i].type == SDL_JOYAXISMOTION)
            snprintf(line, sizeof line, "axis %d %d %d", e[i].jaxis.which, e[i].jaxis.axis, e[i].jaxis.value);
        else if (e[i].type == SDL_JOYHATMOTION)
            snprintf(line, sizeof line, "hat %d %d %d", e[i].jhat.which, e[i].jhat.hat, e[i].jhat.value);
        else
            snprintf(line, sizeof line, "%s %d %d", e[i].type == SDL_JOYBUTTONDOWN ? "down" : "up", e[i].jbutton.which,
                     e[i].jbutton.button);
        out.push_back(line);
    }
    return out;
}

// What SDL 1.2 reports on Linux for an XInput pad (xpad's ranges: sticks
// -32768..32767 with a flat zone of 128, triggers 0..255) through its axis
// correction, for the browser's readings of the same positions.
TEST(WebPads, StandardPadReadsAsNatively) {
    struct Case {
        const char *what;
        void (*set)(orw::PadReading &);
        std::vector<std::string> events;
    } cases[] = {
        {"left stick full right", [](orw::PadReading &r) { r.axes[0] = 1; }, {"axis 1 0 32767"}},
        {"left stick full up", [](orw::PadReading &r) { r.axes[1] = -1; }, {"axis 1 1 -32768"}},
        {"right stick half way", [](orw::PadReading &r) { r.axes[2] = 0.5; r.axes[3] = -0.5; },
         {"axis 1 3 16382", "axis 1 4 -16384"}},
        {"a quarter of the way", [](orw::PadReading &r) { r.axes[0] = 0.25; }, {"axis 1 0 8126"}},
        // Inside the flat zone nothing moves.
        {"a stick's jitter", [](orw::PadReading &r) { r.axes[0] = 0.003; }, {}},
        // Triggers are axes 2 and 5, at -32768 when let go.
        {"left trigger half way", [](orw::PadReading &r) { r.value[6] = 0.5; r.pressed[6] = true; },
         {"axis 1 2 258"}},
        {"right trigger all the way", [](orw::PadReading &r) { r.value[7] = 1; r.pressed[7] = true; },
         {"axis 1 5 32767"}},
        {"face buttons", [](orw::PadReading &r) { r.pressed[0] = r.pressed[3] = true; }, {"down 1 0", "down 1 3"}},
        // back, start, guide, the stick buttons: 6 to 10.
        {"the middle buttons", [](orw::PadReading &r) {
             for (int b : {8, 9, 16, 10, 11}) r.pressed[b] = true;
         }, {"down 1 6", "down 1 7", "down 1 8", "down 1 9", "down 1 10"}},
        {"shoulders", [](orw::PadReading &r) { r.pressed[4] = r.pressed[5] = true; }, {"down 1 4", "down 1 5"}},
        // The d-pad is hat 0, one event per direction that changed, x first.
        {"d-pad up and right at once", [](orw::PadReading &r) { r.pressed[12] = r.pressed[15] = true; },
         {"hat 1 0 2", "hat 1 0 3"}},
        {"d-pad down", [](orw::PadReading &r) { r.pressed[13] = true; }, {"hat 1 0 4"}},
        {"d-pad left and right cancel", [](orw::PadReading &r) { r.pressed[14] = r.pressed[15] = true; }, {}},
    };
    for (const Case &c : cases) {
        orw::PadReading r = standard_pad();
        orw::PadState pad;
        orw::pad_open(1, r, &pad);
        EXPECT_EQ(pad.naxes, 6);
        EXPECT_EQ(pad.nbuttons, 11);
        EXPECT_EQ(pad.nhats, 1);
        SDL_Event ev[64];
        EXPECT_EQ(orw::pad_update(&pad, r, ev, 64), 0) << c.what << ": a pad at rest says nothing";
        c.set(r);
        int n = orw::pad_update(&pad, r, ev, 64);
        EXPECT_EQ(describe(ev, n), c.events) << c.what;
        EXPECT_EQ(orw::pad_update(&pad, r, ev, 64), 0) << c.what << ": nothing new, nothing said";
        // Back to rest: every press is released, every axis back where it
        // was, the hat (after one event per direction) centred.
        r = standard_pad();
        n = orw::pad_update(&pad, r, ev, 64);
        int hat = SDL_HAT_CENTERED;
        for (int i = 0; i < n; ++i)
            if (ev[i].type == SDL_JOYAXISMOTION)
                EXPECT_EQ(ev[i].jaxis.value, (ev[i].jaxis.axis == 2 || ev[i].jaxis.axis == 5) ? -32768 : 0) << c.what;
            else if (ev[i].type == SDL_JOYHATMOTION)
                hat = ev[i].jhat.value;
            else
                EXPECT_EQ(ev[i].type, SDL_JOYBUTTONUP) << c.what;
        EXPECT_EQ(hat, SDL_HAT_CENTERED) << c.what;
        EXPECT_EQ(int(describe(ev, n).size()), int(c.events.size())) << c.what << ": one event back for each";
    }
}

TEST(WebPads, PressThatShowsThePadArrives) {
    // The browser shows a pad when a button on it is pressed: opened then,
    // that press is an event, while axes start where they stand.
    orw::PadReading r = standard_pad();
    r.pressed[0] = true;
    r.axes[0] = 1;
    orw::PadState pad;
    orw::pad_open(0, r, &pad);
    SDL_Event ev[64];
    int n = orw::pad_update(&pad, r, ev, 64);
    EXPECT_EQ(describe(ev, n), std::vector<std::string>{"down 0 0"});
}

TEST(WebPads, OtherLayoutsKeepTheBrowsersOrder) {
    orw::PadReading r = {};
    r.naxes = 3;
    r.nbuttons = 14;
    orw::PadState pad;
    orw::pad_open(2, r, &pad);
    EXPECT_EQ(pad.naxes, 3);
    EXPECT_EQ(pad.nbuttons, 14);
    EXPECT_EQ(pad.nhats, 0);
    r.axes[0] = 1;
    r.axes[1] = -1;
    r.axes[2] = 0.5;
    r.axes[3] = 1;          // beyond its axes
    r.pressed[12] = true;   // a button, not a hat direction, here
    r.pressed[20] = true;   // beyond its buttons
    SDL_Event ev[64];
    int n = orw::pad_update(&pad, r, ev, 64);
    EXPECT_EQ(describe(ev, n),
              (std::vector<std::string>{"down 2 12", "axis 2 0 32767", "axis 2 1 -32768", "axis 2 2 16383"}));
}

TEST(WebKeys, BrowserKeysTypeTheirCharacters) {
    struct Case {
        const char *key;
        int unicode;
    } cases[] = {
        {"a", 'a'}, {"A", 'A'}, {" ", ' '}, {"!", '!'}, {"\xc3\xa9", 0xE9}, {"\xc3\x96", 0xD6}, {"\xe2\x82\xac", 0x20AC},
        {"\xd0\xb2", 0x432}, {"Enter", 13}, {"Backspace", 8}, {"Tab", 9}, {"Escape", 27}, {"Delete", 127},
        // no character: named keys, dead keys, two characters, beyond 16 bits, broken UTF-8
        {"ArrowUp", 0}, {"Shift", 0}, {"Dead", 0}, {"ab", 0}, {"\xf0\x9f\x98\x80", 0}, {"\xc3", 0}, {"", 0},
    };
    for (const Case &c : cases) EXPECT_EQ(orw::unicode_from_dom(c.key), c.unicode) << c.key;
    EXPECT_EQ(orw::unicode_from_dom(nullptr), 0);
}

TEST(WebRandom, SameSequenceAsGlibc) {
    // Seeds as Lua's math.randomseed passes them: 0 (which glibc takes as
    // 1), small ones, and values above 2^31 from negative Lua numbers.
    for (unsigned seed : {0u, 1u, 3u, 7u, 42u, 12345u, 2147483647u, 2147483648u, 4294967295u}) {
        srand(seed);
        addons::glibc_srand(seed);
        for (int i = 0; i < 2000; ++i) ASSERT_EQ(addons::glibc_rand(), rand()) << "seed " << seed << ", draw " << i;
    }
}

}  // namespace
