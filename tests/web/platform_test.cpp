// The browser backend's key codes and random numbers: what a script sees
// must be what it sees natively.
#include "backend.h"

#include <gtest/gtest.h>

#include <cstdlib>

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
