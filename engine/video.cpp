#include "engine/video.h"

#include "engine/errors.h"

#include <atomic>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#ifdef _WIN32
#include <windows.h>
#else
#include <dlfcn.h>
#include <unistd.h>

#include <climits>
#endif

Video video;

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
// Now() lags its source by heldBack; while paused it stands at the source's
// reading from when the pause began.
Uint32 heldBack = 0;
bool paused = false;
Uint32 pausedAt = 0;

Uint32 SourceNow() {
    return currentClock != nullptr ? currentClock() : SDL_GetTicks();
}

ScreenWideKeys* screenWideKeys = nullptr;
bool typingLetters = false;
std::string notice;

// Set by the signal handler, read by the main thread: lock-free, so both are safe.
std::atomic<bool> endRequested{false};
static_assert(std::atomic<bool>::is_always_lock_free);

void RequestEnd(int) {
    endRequested = true;
}

}  // namespace

bool InitEvents() {
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
    // Started after the condition exists, so that the timer thread, created
    // here, sees it through its own creation.
    if (SDL_WasInit(SDL_INIT_TIMER) == 0) {
        SDL_InitSubSystem(SDL_INIT_TIMER);
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
    // SDL_RemoveTimer does not wait for a call already under way (sdl12-compat
    // hands it to SDL 2); stopping the timer subsystem joins the timer thread.
    if (eventTimer != nullptr) {
        SDL_RemoveTimer(eventTimer);
        eventTimer = nullptr;
    }
    SDL_QuitSubSystem(SDL_INIT_TIMER);
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

namespace {

int TakeEvent(SDL_Event* event) {
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

}  // namespace

int PollEvent(SDL_Event* event) {
    if (endRequested) {
        throw EndRequested{};
    }
    for (;;) {
        const int taken = TakeEvent(event);
        if (taken <= 0 || screenWideKeys == nullptr) {
            return taken;
        }
        switch (screenWideKeys->Take(*event, typingLetters, notice)) {
            case KeyOutcome::NotTaken:
                return taken;
            case KeyOutcome::Taken:
                break;
            case KeyOutcome::Redrawn:
                *event = SDL_Event{};
                event->type = SDL_VIDEOEXPOSE;
                return taken;
            case KeyOutcome::Noticed:
                *event = SDL_Event{};
                event->type = SDL_USEREVENT;
                event->user.code = NoticeEvent;
                return taken;
        }
    }
}

void SetScreenWideKeys(ScreenWideKeys* keys) {
    screenWideKeys = keys;
}

void SetTypingLetters(bool typing) {
    typingLetters = typing;
}

bool IsNotice(const SDL_Event& event) {
    return event.type == SDL_USEREVENT && event.user.code == NoticeEvent;
}

const std::string& EventNotice() {
    return notice;
}

void CatchEndSignals() {
    for (int signal : {SIGINT, SIGTERM}) {
#ifdef _WIN32
        std::signal(signal, RequestEnd);
#else
        struct sigaction action {};
        // A signal that whoever started us ignores (a script's background job) stays ignored.
        if (sigaction(signal, nullptr, &action) != 0 || action.sa_handler == SIG_IGN) {
            continue;
        }
        action.sa_handler = RequestEnd;
        sigemptyset(&action.sa_mask);
        // Blocking calls go on; the loops see the request at their next poll. If
        // the run cannot get there, a second signal takes the default way out.
        action.sa_flags = SA_RESTART | SA_RESETHAND;
        sigaction(signal, &action, nullptr);
#endif
    }
}

namespace {

std::vector<std::string> scratchFilesToDelete;

#ifndef _WIN32
int EndOnLostDisplay(void*) {
    for (const std::string& file : scratchFilesToDelete) {
        std::remove(file.c_str());
    }
    static const char report[] = "Lost the connection to the display.\n";
    if (write(STDERR_FILENO, report, sizeof report - 1) < 0) {
        // Nothing more can be said.
    }
    _exit(0);
}
#endif

}  // namespace

void EndWhenDisplayIsLost(std::vector<std::string> scratchFiles) {
    scratchFilesToDelete = std::move(scratchFiles);
#ifndef _WIN32
    // SDL loads the X library only when it shows the game through X; ask for
    // the copy already loaded rather than bringing one in.
    void* x11 = dlopen("libX11.so.6", RTLD_LAZY | RTLD_NOLOAD);
    if (x11 == nullptr) {
        return;
    }
    using IOErrorHandler = int (*)(void*);
    using SetIOErrorHandler = IOErrorHandler (*)(IOErrorHandler);
    auto setHandler = reinterpret_cast<SetIOErrorHandler>(dlsym(x11, "XSetIOErrorHandler"));
    if (setHandler != nullptr) {
        setHandler(EndOnLostDisplay);
    }
    dlclose(x11);  // SDL's reference keeps the library loaded
#endif
}

void MousePosition(int& x, int& y) {
    SDL_GetMouseState(&x, &y);
}

Uint32 Now() {
    return (paused ? pausedAt : SourceNow()) - heldBack;
}

void SetClock(ClockFunction clock) {
    currentClock = clock;
    heldBack = 0;
    paused = false;
}

ClockPause::ClockPause() {
    pausedAt = SourceNow();
    paused = true;
}

ClockPause::~ClockPause() {
    // A pause that a new source has already cleared gives nothing back.
    if (paused) {
        heldBack += SourceNow() - pausedAt;
        paused = false;
    }
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

namespace {

void SetUnlessSet(const char* name, const std::string& value) {
#ifdef _WIN32
    if (std::getenv(name) == nullptr) {
        _putenv_s(name, value.c_str());
    }
#else
    setenv(name, value.c_str(), 0);
#endif
}

}  // namespace

void RequestWindowScale(int scale) {
    // sdl12-compat scales its output itself and maps the pointer back.
    SetUnlessSet("SDL12COMPAT_WINDOW_SCALING", std::to_string(scale));
    SetUnlessSet("SDL12COMPAT_SCALE_METHOD", "nearest");
}
