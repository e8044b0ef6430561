#include "tests/app/app_test_support.h"

#include "engine/video.h"
#include "tests/support/test_support.h"

namespace {

Uint32 steppingNow = 0;
Uint32 steppingStep = 0;
Uint32 steppingReads = 0;

Uint32 ReadSteppingClock() {
    ++steppingReads;
    Uint32 reading = steppingNow;
    steppingNow += steppingStep;
    return reading;
}

void Push(SDL_Event& event) {
    SDL_PushEvent(&event);
}

}  // namespace

SteppingClock::SteppingClock(Uint32 start, Uint32 step) {
    steppingNow = start;
    steppingStep = step;
    steppingReads = 0;
    SetClock(ReadSteppingClock);
}

SteppingClock::~SteppingClock() {
    SetClock(nullptr);
}

Uint32 SteppingClock::Reads() {
    return steppingReads;
}

Uint32 SteppingClock::LastReading() {
    return steppingNow - steppingStep;
}

void PushKeyDown(SDLKey key) {
    SDL_Event event{};
    event.type = SDL_KEYDOWN;
    event.key.state = SDL_PRESSED;
    event.key.keysym.sym = key;
    Push(event);
}

void PushKeyUp(SDLKey key) {
    SDL_Event event{};
    event.type = SDL_KEYUP;
    event.key.state = SDL_RELEASED;
    event.key.keysym.sym = key;
    Push(event);
}

void PushMouseButton(Uint8 type, int x, int y, Uint8 button) {
    SDL_Event event{};
    event.type = type;
    event.button.button = button;
    event.button.state = type == SDL_MOUSEBUTTONDOWN ? SDL_PRESSED : SDL_RELEASED;
    event.button.x = static_cast<Uint16>(x);
    event.button.y = static_cast<Uint16>(y);
    Push(event);
}

void PushMouseMotion(int x, int y) {
    SDL_Event event{};
    event.type = SDL_MOUSEMOTION;
    event.motion.x = static_cast<Uint16>(x);
    event.motion.y = static_cast<Uint16>(y);
    Push(event);
}

void PushQuit() {
    SDL_Event event{};
    event.type = SDL_QUIT;
    Push(event);
}

void DrainEvents() {
    SDL_Event event;
    while (SDL_PollEvent(&event) > 0) {
    }
}

std::string SystemFontPath() {
    return "/usr/share/texmf/fonts/opentype/public/tex-gyre/texgyrepagella-bold.otf";
}

bool IsColour(SDL_Color colour, Uint8 r, Uint8 g, Uint8 b) {
    return colour.r == r && colour.g == g && colour.b == b;
}

int CountColour(SDL_Surface* surface, int x, int y, int width, int height, Uint8 r, Uint8 g, Uint8 b) {
    int count = 0;
    for (int row = y; row < y + height; ++row) {
        for (int column = x; column < x + width; ++column) {
            if (IsColour(PixelColour(surface, column, row), r, g, b)) {
                ++count;
            }
        }
    }
    return count;
}
