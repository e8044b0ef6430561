#include "engine/video.h"

#include "tests/engine/engine_test_support.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

TEST(Video, RandomCoversItsRangeInclusive) {
    std::srand(1234);
    std::set<int> seen;
    for (int i = 0; i < 2000; ++i) {
        seen.insert(Random(40, 50));
        ASSERT_EQ(Random(7, 7), 7);
    }
    EXPECT_EQ(seen.size(), 11u);
    EXPECT_EQ(*seen.begin(), 40);
    EXPECT_EQ(*seen.rbegin(), 50);
}

// A failed start leaves no screen. With no display SDL would fall back to a driver
// that shows nothing, and the game would run unseen; the start is refused instead.
TEST(Video, AFailedStartNamesWhatFailedAndLeavesNoScreen) {
    Video failing;
    // No driver can open a window of negative size.
    EXPECT_EQ(FailureText([&failing] {
                  failing.Init(SDL_INIT_VIDEO, -640, 480, 24, SDL_SWSURFACE);
              }).find("Failed to set video mode -640x480 with 24bpp colors. "),
              0u);
    EXPECT_EQ(failing.GetScreen(), nullptr);
    failing.Quit();
    failing.Quit();  // twice is harmless

    const std::string driver = std::getenv("SDL_VIDEODRIVER");
    unsetenv("SDL_VIDEODRIVER");
    unsetenv("DISPLAY");
    unsetenv("WAYLAND_DISPLAY");
    const std::string failure =
        FailureText([&failing] { failing.Init(SDL_INIT_VIDEO, 640, 480, 24, SDL_SWSURFACE); });
    setenv("SDL_VIDEODRIVER", driver.c_str(), 1);
    EXPECT_EQ(failure, "Failed to initialize SDL. No display to show the game on.");
    EXPECT_EQ(failing.GetScreen(), nullptr);
}

TEST(Video, EventLayerTakesAnEventAndReportsAnEmptyQueue) {
    ScreenGuard screen;
    ASSERT_TRUE(InitEvents()) << EventsError();
    DrainEvents();
    Push(SDL_KEYDOWN, SDLK_RETURN);
    SDL_Event event;
    ASSERT_EQ(PollEvent(&event), 1);
    EXPECT_EQ(event.key.keysym.sym, SDLK_RETURN);
    EXPECT_EQ(PollEvent(&event), 0);
    EXPECT_EQ(event.key.keysym.sym, SDLK_RETURN) << "an empty queue leaves the record alone";
    SDL_Delay(30);  // the 10 ms timer runs meanwhile; nothing waits on it
    QuitEvents();
    QuitEvents();
    EXPECT_EQ(PollEvent(&event), 0) << "polling without the layer still works";
}

// Stopping the layer while its timer call is under way must wait for that call,
// which would otherwise broadcast a condition just destroyed (the sanitizers see it).
TEST(Video, EventLayerStopsCleanlyWhileItsTimerRuns) {
    ScreenGuard screen;
    for (int round = 0; round < 100; ++round) {
        ASSERT_TRUE(InitEvents()) << EventsError() << " in round " << round;
        SDL_Delay(8 + round % 5);  // stop just before, during and after the first 10 ms call
        QuitEvents();
    }
}

TEST(Video, WorkingDirectoryMovesToTheProgramsFolder) {
    const std::filesystem::path started = std::filesystem::current_path();
    std::filesystem::current_path("/");
    SetWorkingDirectoryToProgram();
    const std::filesystem::path moved = std::filesystem::current_path();
    std::filesystem::current_path(started);
    EXPECT_EQ(moved, std::filesystem::canonical(QUORVEL_BINARY_DIR "/tests/engine"));
}

// Screen-wide keys act in the event layer: a taken key never reaches the
// screen, a new screen reaches it as an expose event, a notice as a user event.
TEST(Video, ScreenWideKeysActBeforeAnyScreenSeesThem) {
    struct Keys : ScreenWideKeys {
        KeyOutcome Take(const SDL_Event& event, bool typing, std::string& notice) override {
            typingSeen.push_back(typing);
            notice = "seen " + std::to_string(event.key.keysym.sym);
            const SDLKey key = event.key.keysym.sym;
            return key == SDLK_a   ? KeyOutcome::Taken
                   : key == SDLK_b ? KeyOutcome::Redrawn
                   : key == SDLK_c ? KeyOutcome::Noticed
                                   : KeyOutcome::NotTaken;
        }
        std::vector<bool> typingSeen;
    } keys;
    ScreenGuard screen;
    DrainEvents();
    SetScreenWideKeys(&keys);
    for (SDLKey key : {SDLK_a, SDLK_a, SDLK_b, SDLK_c, SDLK_d}) {
        Push(SDL_KEYDOWN, key);
    }
    SDL_Event event;
    ASSERT_EQ(PollEvent(&event), 1);
    EXPECT_EQ(event.type, SDL_VIDEOEXPOSE);
    SetTypingLetters(true);
    ASSERT_EQ(PollEvent(&event), 1);
    EXPECT_TRUE(IsNotice(event));
    EXPECT_EQ(EventNotice(), "seen " + std::to_string(SDLK_c));
    SetTypingLetters(false);
    ASSERT_EQ(PollEvent(&event), 1);
    EXPECT_FALSE(IsNotice(event));
    EXPECT_EQ(event.key.keysym.sym, SDLK_d);
    EXPECT_EQ(keys.typingSeen, (std::vector<bool>{false, false, false, true, false}));
    SetScreenWideKeys(nullptr);
}
