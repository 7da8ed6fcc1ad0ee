// Browser key events to SDL 1.2 key codes. The browser names the physical key
// (KeyboardEvent.code, as on a US keyboard) and the character it types in
// the user's layout (KeyboardEvent.key). SDL 1.2 on X11 reports the key's
// unshifted symbol in the layout, so a letter key is taken from the typed
// letter (an AZERTY A key gives 'a'); every other key from its position.
#include "backend.h"

#include <cstring>

namespace orw {

namespace {

struct Named {
    const char *code;
    int sym;
};

const Named kNamed[] = {
    {"Backspace", SDLK_BACKSPACE}, {"Tab", SDLK_TAB}, {"Enter", SDLK_RETURN}, {"Pause", SDLK_PAUSE},
    {"Escape", SDLK_ESCAPE}, {"Space", SDLK_SPACE}, {"Quote", SDLK_QUOTE}, {"Comma", SDLK_COMMA},
    {"Minus", SDLK_MINUS}, {"Period", SDLK_PERIOD}, {"Slash", SDLK_SLASH}, {"Semicolon", SDLK_SEMICOLON},
    {"Equal", SDLK_EQUALS}, {"BracketLeft", SDLK_LEFTBRACKET}, {"Backslash", SDLK_BACKSLASH},
    {"IntlBackslash", SDLK_LESS}, {"BracketRight", SDLK_RIGHTBRACKET}, {"Backquote", SDLK_BACKQUOTE},
    {"Delete", SDLK_DELETE},
    {"Numpad0", SDLK_KP0}, {"Numpad1", SDLK_KP1}, {"Numpad2", SDLK_KP2}, {"Numpad3", SDLK_KP3},
    {"Numpad4", SDLK_KP4}, {"Numpad5", SDLK_KP5}, {"Numpad6", SDLK_KP6}, {"Numpad7", SDLK_KP7},
    {"Numpad8", SDLK_KP8}, {"Numpad9", SDLK_KP9}, {"NumpadDecimal", SDLK_KP_PERIOD},
    {"NumpadDivide", SDLK_KP_DIVIDE}, {"NumpadMultiply", SDLK_KP_MULTIPLY}, {"NumpadSubtract", SDLK_KP_MINUS},
    {"NumpadAdd", SDLK_KP_PLUS}, {"NumpadEnter", SDLK_KP_ENTER}, {"NumpadEqual", SDLK_KP_EQUALS},
    {"ArrowUp", SDLK_UP}, {"ArrowDown", SDLK_DOWN}, {"ArrowRight", SDLK_RIGHT}, {"ArrowLeft", SDLK_LEFT},
    {"Insert", SDLK_INSERT}, {"Home", SDLK_HOME}, {"End", SDLK_END}, {"PageUp", SDLK_PAGEUP},
    {"PageDown", SDLK_PAGEDOWN},
    {"F1", SDLK_F1}, {"F2", SDLK_F2}, {"F3", SDLK_F3}, {"F4", SDLK_F4}, {"F5", SDLK_F5}, {"F6", SDLK_F6},
    {"F7", SDLK_F7}, {"F8", SDLK_F8}, {"F9", SDLK_F9}, {"F10", SDLK_F10}, {"F11", SDLK_F11}, {"F12", SDLK_F12},
    {"F13", SDLK_F13}, {"F14", SDLK_F14}, {"F15", SDLK_F15},
    {"NumLock", SDLK_NUMLOCK}, {"CapsLock", SDLK_CAPSLOCK}, {"ScrollLock", SDLK_SCROLLOCK},
    {"ShiftRight", SDLK_RSHIFT}, {"ShiftLeft", SDLK_LSHIFT}, {"ControlRight", SDLK_RCTRL},
    {"ControlLeft", SDLK_LCTRL}, {"AltRight", SDLK_RALT}, {"AltLeft", SDLK_LALT},
    // The Windows keys are Super on X11; older browsers call them OS.
    {"MetaLeft", SDLK_LSUPER}, {"MetaRight", SDLK_RSUPER}, {"OSLeft", SDLK_LSUPER}, {"OSRight", SDLK_RSUPER},
    {"Help", SDLK_HELP}, {"PrintScreen", SDLK_PRINT}, {"ContextMenu", SDLK_MENU}, {"Power", SDLK_POWER},
    {"Undo", SDLK_UNDO},
};

}  // namespace

int key_from_dom(const char *code, const char *key) {
    if (!code) return SDLK_UNKNOWN;
    // Letter keys: the letter the layout types, lower case, if it is one of
    // a to z; on other scripts the key's US position.
    if (!strncmp(code, "Key", 3) && code[3] && !code[4]) {
        if (key && key[0] && !key[1]) {
            char c = key[0];
            if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
            if (c >= 'a' && c <= 'z') return c;
        }
        char c = code[3];
        if (c >= 'A' && c <= 'Z') return c - 'A' + 'a';
        return SDLK_UNKNOWN;
    }
    if (!strncmp(code, "Digit", 5) && code[5] >= '0' && code[5] <= '9' && !code[6]) return code[5];
    for (const Named &n : kNamed)
        if (!strcmp(code, n.code)) return n.sym;
    return SDLK_UNKNOWN;
}

// The character a browser key event types, as SDL 1.2 puts it in a key
// press's unicode field: KeyboardEvent.key when it is one character (in
// UTF-8; characters beyond 16 bits do not fit the field), the control
// characters of the keys that type them, and 0 for the rest (arrows,
// modifiers, dead keys).
int unicode_from_dom(const char *key) {
    if (!key || !key[0]) return 0;
    static const Named kControls[] = {{"Backspace", 8}, {"Tab", 9}, {"Enter", 13}, {"Escape", 27}, {"Delete", 127}};
    for (const Named &n : kControls)
        if (!strcmp(key, n.code)) return n.sym;
    const unsigned char *p = reinterpret_cast<const unsigned char *>(key);
    int c, n;
    if (p[0] < 0x80) {
        c = p[0];
        n = 1;
    } else if ((p[0] & 0xE0) == 0xC0) {
        c = p[0] & 0x1F;
        n = 2;
    } else if ((p[0] & 0xF0) == 0xE0) {
        c = p[0] & 0x0F;
        n = 3;
    } else {
        return 0;
    }
    for (int i = 1; i < n; ++i) {
        if ((p[i] & 0xC0) != 0x80) return 0;
        c = (c << 6) | (p[i] & 0x3F);
    }
    return p[n] ? 0 : c;
}

}  // namespace orw
