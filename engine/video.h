#pragma once

#include "engine/game_folder.h"

#include <SDL.h>

#include <cstdint>

// Holds the screen surface, which belongs to SDL and is never freed here.
class Video {
  public:
    Video() = default;
    ~Video();
    Video(const Video&) = delete;
    Video& operator=(const Video&) = delete;

    // SDL_Init, then SetVideoMode. Throws SDLFailure, also when SDL found no
    // display and fell back to a driver that shows nothing unasked.
    void Init(Uint32 initFlags, int width, int height, int bitsPerPixel, Uint32 videoFlags);
    void SetVideoMode(int width, int height, int bitsPerPixel, Uint32 videoFlags);
    SDL_Surface* GetScreen() const { return screen; }
    void Flip();
    // Shuts SDL down; harmless to call more than once.
    void Quit();

  private:
    SDL_Surface* screen = nullptr;
};

// The process-wide video object, alive for the whole run.
extern Video video;

// The event layer: a lock around taking events and a 10 ms timer that
// broadcasts a condition nobody waits on. False on failure (see EventsError).
bool InitEvents();
void QuitEvents();
const char* EventsError();
// 1 when an event was taken into the record, 0 when the queue was empty.
int PollEvent(SDL_Event* event);

// The pointer's position now, in screen pixels (not an event's copy of it).
void MousePosition(int& x, int& y);

// "Now" for every rule and screen: milliseconds since SDL started, unless a
// test has put its own clock in place.
using ClockFunction = Uint32 (*)();
Uint32 Now();
void SetClock(ClockFunction clock);  // null restores SDL_GetTicks

// A pseudo-random whole number from lo to hi inclusive (lo <= hi), drawn from
// the standard generator that start-up seeds once.
int Random(int lo, int hi);

// Asks for presentation synchronised with the display: the DirectX driver's
// double-buffered flip on Windows, vertical sync through sdl12-compat elsewhere.
void RequestSynchronisedPresentation();
