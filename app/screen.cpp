#include "app/screen.h"

#include "engine/video.h"

#include <stdexcept>

SDL_Surface* RequireScreen() {
    SDL_Surface* screen = video.GetScreen();
    if (screen == nullptr) {
        throw std::runtime_error("No video mode is set!");
    }
    return screen;
}
