#pragma once

#include "engine/game_folder.h"

#include <SDL.h>

#include <cstdint>
#include <string>
#include <vector>

// Holds the screen surface, which belongs to SDL and is never freed here.
// Destruction calls nothing: the process-wide object dies at exit, when the
// display may be gone, so the application shuts SDL down with Quit.
class Video {
  public:
    Video() = default;
    ~Video() = default;
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
// Throws EndRequested once an ending signal has arrived. The screen-wide keys
// (below) act here, before any screen sees them.
int PollEvent(SDL_Event* event);

// What a screen-wide key did, and so what the screen gets in its place.
enum class KeyOutcome {
    NotTaken,  // not such a key: the screen gets the event
    Taken,     // acted on; the screen gets nothing
    Redrawn,   // the screen was replaced: the screen gets SDL_VIDEOEXPOSE
    Noticed,   // the screen gets a NoticeEvent (see EventNotice)
};

// Keys that act alike on every screen, handled in one place: the event layer
// hands it every event first. The application installs one for the run.
class ScreenWideKeys {
  public:
    virtual ~ScreenWideKeys() = default;
    // typingLetters: a screen takes letters into a field now. A Noticed outcome
    // puts the text to show into notice.
    virtual KeyOutcome Take(const SDL_Event& event, bool typingLetters, std::string& notice) = 0;
};
// Null: no screen-wide keys.
void SetScreenWideKeys(ScreenWideKeys* keys);
// Screens with a text field say when it takes letters; letters then type.
void SetTypingLetters(bool typing);

// The user event's code of a notice; EventNotice is the text of the last one.
inline constexpr int NoticeEvent = 1;
bool IsNotice(const SDL_Event& event);
const std::string& EventNotice();

// Thrown by PollEvent after SIGTERM or SIGINT. Every screen polls, so the run
// unwinds from wherever it stands through its owners' destructors to the
// normal shut-down. An ending, not a failure: it is no std::exception, so no
// failure report catches it.
struct EndRequested {};

// From here on SIGTERM and SIGINT end the run (see EndRequested) instead of
// becoming SDL's quit event, which means "close the window" and which some
// screens ignore. A second such signal ends the process at once; a signal
// ignored from the start stays ignored. Call before Video::Init, so that SDL
// leaves the signals to us.
void CatchEndSignals();
// When the connection to the X display breaks, deletes the scratch files and
// ends the process with status 0 at once: nothing can be shut down over the
// dead connection, and the X library would otherwise exit through it. Call
// after Video::Init; does nothing when SDL shows the game elsewhere.
void EndWhenDisplayIsLost(std::vector<std::string> scratchFiles);

// The pointer's position now, in screen pixels (not an event's copy of it).
void MousePosition(int& x, int& y);

// "Now" for every rule and screen: milliseconds since SDL started, unless a
// test has put its own clock in place.
using ClockFunction = Uint32 (*)();
Uint32 Now();
// Null restores SDL_GetTicks. A new source starts with no pause held against it.
void SetClock(ClockFunction clock);

// Holds Now() still for its lifetime; afterwards Now() runs on from where it
// stood, behind its source by every held stretch. So a paused game's timers
// (seconds, steps, production, animation, messages) all wait without being
// touched. One pause at a time.
class ClockPause {
  public:
    ClockPause();
    ~ClockPause();
    ClockPause(const ClockPause&) = delete;
    ClockPause& operator=(const ClockPause&) = delete;
};

// A pseudo-random whole number from lo to hi inclusive (lo <= hi), drawn from
// the standard generator that start-up seeds once.
int Random(int lo, int hi);

// Asks for presentation synchronised with the display: the DirectX driver's
// double-buffered flip on Windows, vertical sync through sdl12-compat elsewhere.
void RequestSynchronisedPresentation();
// Asks for a window `scale` times the game's screen, every pixel a sharp
// block, and keeps the pixels of a full screen sharp too; the game's own
// surface and coordinates stay as they are. Settings the environment already
// holds win. Call before Video::Init.
void RequestWindowScale(int scale);
