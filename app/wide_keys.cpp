#include "app/wide_keys.h"

WideKey WideKeyOf(const SDL_Event& event, bool typingLetters) {
    if (event.type != SDL_KEYDOWN) {
        return WideKey::None;
    }
    const SDLKey key = event.key.keysym.sym;
    const SDLMod mod = event.key.keysym.mod;
    if ((key == SDLK_RETURN || key == SDLK_KP_ENTER) && (mod & KMOD_ALT) != 0) {
        return WideKey::FullScreen;
    }
    if (key == SDLK_LALT || key == SDLK_RALT) {
        return WideKey::AltAlone;
    }
    if (key == SDLK_F12) {
        return WideKey::Screenshot;
    }
    // Ctrl+M and Alt+M are left to the desktop.
    if (key == SDLK_m && !typingLetters && (mod & (KMOD_CTRL | KMOD_ALT | KMOD_META)) == 0) {
        return WideKey::Sound;
    }
    return WideKey::None;
}
