#include "engine/video.h"
#include "engine/errors.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <set>
#include <string>

TEST(Video, RandomStaysInItsRangeAndCoversIt) {
    std::srand(1234);
    std::set<int> seen;
    for (int i = 0; i < 2000; ++i) {
        int value = Random(40, 50);
        ASSERT_GE(value, 40);
        ASSERT_LE(value, 50);
        seen.insert(value);
        EXPECT_EQ(Random(1, 1), 1);
    }
    EXPECT_EQ(seen.size(), 11u);
    std::set<int> columns, rows;
    for (int i = 0; i < 2000; ++i) {
        columns.insert(Random(0, 19));
        rows.insert(Random(0, 13));
    }
    EXPECT_EQ(columns.size(), 20u);
    EXPECT_EQ(rows.size(), 14u);
    EXPECT_EQ(*columns.rbegin(), 19);
}

TEST(Video, ClockCanBeReplacedAndRestored) {
    {
        ClockGuard clock(5000);
        EXPECT_EQ(Now(), 5000u);
        TestClock::Advance(250);
        EXPECT_EQ(Now(), 5250u);
    }
    SDL_Init(0);
    Uint32 sdl = SDL_GetTicks();
    EXPECT_LE(Now() - sdl, 1000u);
}

TEST(Video, AFailedModeNamesTheRequestAndLeavesNoScreen) {
    Video failing;
    try {
        // No driver can open a window of negative size.
        failing.Init(SDL_INIT_VIDEO, -640, 480, 24, SDL_SWSURFACE);
        FAIL();
    } catch (const SDLFailure& failure) {
        EXPECT_STREQ(failure.what(), "Failed to set video mode -640x480 with 24bpp colors.");
    }
    EXPECT_EQ(failing.GetScreen(), nullptr);
    failing.Quit();
    failing.Quit();  // twice is harmless
}

TEST(Video, EventLayerTakesEventsInOrderAndReportsAnEmptyQueue) {
    ScreenGuard screen;
    ASSERT_TRUE(InitEvents()) << EventsError();
    SDL_Event event;
    while (PollEvent(&event) != 0) {
    }
    event.type = SDL_USEREVENT;
    SDL_Event pushed{};
    pushed.type = SDL_KEYDOWN;
    pushed.key.keysym.sym = SDLK_ESCAPE;
    ASSERT_EQ(SDL_PushEvent(&pushed), 0);
    pushed.key.keysym.sym = SDLK_RETURN;
    ASSERT_EQ(SDL_PushEvent(&pushed), 0);
    ASSERT_EQ(PollEvent(&event), 1);
    EXPECT_EQ(event.key.keysym.sym, SDLK_ESCAPE);
    ASSERT_EQ(PollEvent(&event), 1);
    EXPECT_EQ(event.key.keysym.sym, SDLK_RETURN);
    SDL_Event untouched = event;
    EXPECT_EQ(PollEvent(&event), 0);
    EXPECT_EQ(event.type, untouched.type);
    EXPECT_EQ(event.key.keysym.sym, untouched.key.keysym.sym);
    SDL_Delay(30);  // the 10 ms timer runs meanwhile; nothing waits on it
    QuitEvents();
    QuitEvents();
    EXPECT_EQ(PollEvent(&event), 0) << "polling without the layer still works";
}

TEST(Video, WorkingDirectoryMovesToTheProgramsFolder) {
    std::string probe = WORKING_DIRECTORY_PROBE;
    std::string folder = probe.substr(0, probe.find_last_of('/'));
    std::string command = "cd / && " + probe;
    std::FILE* output = popen(command.c_str(), "r");
    ASSERT_NE(output, nullptr);
    char line[4096] = {0};
    ASSERT_NE(std::fgets(line, sizeof line, output), nullptr);
    EXPECT_EQ(pclose(output), 0);
    std::string printed(line);
    printed.erase(printed.find_last_not_of('\n') + 1);
    char resolved[4096];
    ASSERT_NE(realpath(folder.c_str(), resolved), nullptr);
    EXPECT_EQ(printed, resolved);
}
