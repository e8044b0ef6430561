#pragma once

#include <SDL.h>

// The keys that act alike on every screen.
enum class WideKey {
    None,
    FullScreen,  // Alt+Enter: full screen and back
    Sound,       // M: music and sound effects off and on
    Screenshot,  // F12: the game's picture into a PNG file
    // Alt pressed on its own begins Alt+Enter; a screen that takes any key
    // (the title, the help pages) must not take it.
    AltAlone,
};

// Which screen-wide key a key press is. M is a letter, not a key of its own,
// while a screen takes letters into a field.
WideKey WideKeyOf(const SDL_Event& event, bool typingLetters);
