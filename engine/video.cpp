#include "engine/video.h"

#include "engine/errors.h"

#include <cstdlib>
#include <cstring>
#include <string>

#ifdef _WIN32
#include <windows.h>
#else
#include <unistd.h>

#include <climits>
#endif

Video video;

Video::~Video() {
    SDL_Quit();
}

namespace {

constexpr int DisplayAttempts = 3;
constexpr Uint32 DisplayRetryDelay = 200;

// When no display answers, SDL falls back to a driver that shows nothing and
// the game would run unseen for ever. Such a driver counts only when asked for.
bool ShowsNothingUnasked() {
    const char* asked = std::getenv("SDL_VIDEODRIVER");
    char name[32] = "";
    if ((asked != nullptr && *asked != '\0') || SDL_VideoDriverName(name, sizeof name) == nullptr) {
        return false;
    }
    return std::strcmp(name, "offscreen") == 0 || std::strcmp(name, "dummy") == 0;
}

}  // namespace

void Video::Init(Uint32 initFlags, int width, int height, int bitsPerPixel, Uint32 videoFlags) {
    screen = nullptr;
    if (SDL_Init(initFlags) == -1) {
        throw SDLFailure("Failed to initialize SDL.", SDL_GetError());
    }
    // A display server under load sometimes drops a new connection at once;
    // the next one goes through.
    for (int attempt = 1; (initFlags & SDL_INIT_VIDEO) != 0 && ShowsNothingUnasked(); ++attempt) {
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
        if (attempt == DisplayAttempts) {
            throw SDLFailure("Failed to initialize SDL.", "No display to show the game on.");
        }
        SDL_Delay(DisplayRetryDelay);
        if (SDL_InitSubSystem(SDL_INIT_VIDEO) == -1) {
            throw SDLFailure("Failed to initialize SDL.", SDL_GetError());
        }
    }
    SetVideoMode(width, height, bitsPerPixel, videoFlags);
}

void Video::SetVideoMode(int width, int height, int bitsPerPixel, Uint32 videoFlags) {
    screen = SDL_SetVideoMode(width, height, bitsPerPixel, videoFlags);
    if (screen == nullptr) {
        throw SDLFailure(VideoHeadline(width, height, bitsPerPixel), SDL_GetError());
    }
}

void Video::Flip() {
    if (screen != nullptr) {
        SDL_Flip(screen);
    }
}

void Video::Quit() {
    // The screen belongs to SDL and goes with it.
    screen = nullptr;
    SDL_Quit();
}

namespace {

// The event layer's state: one set for the whole process.
SDL_mutex* eventMutex = nullptr;
SDL_cond* eventCondition = nullptr;
SDL_TimerID eventTimer = nullptr;
const char* lastError = nullptr;

Uint32 BroadcastEvents(Uint32 interval, void*) {
    if (eventCondition != nullptr) {
        SDL_CondBroadcast(eventCondition);
    }
    return interval;
}

ClockFunction currentClock = nullptr;

}  // namespace

bool InitEvents() {
    if (SDL_WasInit(SDL_INIT_TIMER) == 0) {
        SDL_InitSubSystem(SDL_INIT_TIMER);
    }
    eventMutex = SDL_CreateMutex();
    if (eventMutex == nullptr) {
        lastError = "Mutex creation failed";
        return false;
    }
    eventCondition = SDL_CreateCond();
    if (eventCondition == nullptr) {
        lastError = "Condition variable creation failed";
        return false;
    }
    eventTimer = SDL_AddTimer(10, BroadcastEvents, nullptr);
    if (eventTimer == nullptr) {
        lastError = "Timer creation failed";
        return false;
    }
    return true;
}

void QuitEvents() {
    // The timer goes first so that its thread never sees a destroyed condition.
    if (eventTimer != nullptr) {
        SDL_RemoveTimer(eventTimer);
        eventTimer = nullptr;
    }
    if (eventMutex != nullptr) {
        SDL_DestroyMutex(eventMutex);
        eventMutex = nullptr;
    }
    if (eventCondition != nullptr) {
        SDL_DestroyCond(eventCondition);
        eventCondition = nullptr;
    }
}

const char* EventsError() {
    return lastError;
}

int PollEvent(SDL_Event* event) {
    if (eventMutex != nullptr) {
        SDL_mutexP(eventMutex);
    }
    int taken = SDL_PollEvent(event);
    if (eventMutex != nullptr) {
        SDL_mutexV(eventMutex);
    }
    if (taken > 0 && eventCondition != nullptr) {
        SDL_CondSignal(eventCondition);
    }
    return taken;
}

void MousePosition(int& x, int& y) { SDL_GetMouseState(&x, &y); }

Uint32 Now() {
    return currentClock != nullptr ? currentClock() : SDL_GetTicks();
}

void SetClock(ClockFunction clock) {
    currentClock = clock;
}

int Random(int lo, int hi) {
    return lo + std::rand() % (hi - lo + 1);
}

void RequestSynchronisedPresentation() {
#ifdef _WIN32
    _putenv("SDL_VIDEODRIVER=directx");
#else
    // sdl12-compat presents through SDL2 and waits for the display's refresh when asked.
    setenv("SDL12COMPAT_SYNC_TO_VBLANK", "1", 1);
#endif
}
