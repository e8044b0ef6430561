#pragma once

#include <SDL.h>

#include <string>

// A clock that moves on by a fixed step every time it is read, so that a
// screen loop that waits for a time always gets there.
class SteppingClock {
  public:
    SteppingClock(Uint32 start, Uint32 step);
    ~SteppingClock();
    SteppingClock(const SteppingClock&) = delete;
    SteppingClock& operator=(const SteppingClock&) = delete;

    static Uint32 Reads();
    static Uint32 LastReading();
};

// Pushes one event into SDL's queue.
void PushKeyDown(SDLKey key);
void PushKeyUp(SDLKey key);
void PushMouseButton(Uint8 type, int x, int y, Uint8 button = SDL_BUTTON_LEFT);
void PushMouseMotion(int x, int y);
void PushQuit();
// Drops whatever is still queued.
void DrainEvents();

// A TrueType font file from the system, standing in for the game's own.
std::string SystemFontPath();

// True when the colour is exactly (r, g, b).
bool IsColour(SDL_Color colour, Uint8 r, Uint8 g, Uint8 b);
// How many pixels of the rectangle are exactly (r, g, b).
int CountColour(SDL_Surface* surface, int x, int y, int width, int height, Uint8 r, Uint8 g, Uint8 b);
