#include "engine/errors.h"
#include "rules/building.h"
#include "rules/elf.h"
#include "tests/play/play_fixture.h"

#include <stdexcept>
#include <string>
#include <tuple>

namespace {

TEST_F(PlayTest, LoadStartsAFreshGame) {
    StartGame();
    EXPECT_EQ(std::tuple(state->buildMenuOpen, state->quitMenuOpen, state->returnToMenu),
              std::tuple(false, false, true));
    EXPECT_TRUE(state->popSound && state->buildSound && state->walkSound);
    EXPECT_FALSE(FileExists("temp.tmp")) << "the scratch file goes with the packages";
    state->economy.money = 17;
    PlayState second(nullptr);
    second.Load();
    EXPECT_EQ(second.economy.Money(), 5000) << "games share no economy";
}

TEST_F(PlayTest, LoadFailures) {
    WriteGamePackages("this is not a sound");
    PlayState game;
    try {
        game.Load();
        ADD_FAILURE() << "a sample that does not load must fail the set-up";
    } catch (const std::runtime_error& failure) {
        EXPECT_STREQ(failure.what(), "Failed to load sounds!");
    }
    EXPECT_TRUE(game.popSound && game.walkSound) << "the test comes after all three loads";
    EXPECT_FALSE(game.buildSound);

    // A missing member is the package's report, and no step follows it.
    WriteGamePackages("");
    PlayState other;
    EXPECT_THROW(other.Load(), FileLoadingFailed);
    EXPECT_TRUE(other.popSound);
    EXPECT_FALSE(other.walkSound);
}

TEST_F(PlayTest, TimeDisplayCountsDownAtMostOneSecondPerFrame) {
    StartGame();
    PressKey(SDLK_a);
    PressKey(SDLK_RETURN);
    Frame();
    EXPECT_TRUE(state->running) << "no other key does anything";
    EXPECT_TRUE(ShowsOutlinedText(Screen(), 500, 40, "Time left: 24:0", Black, TextGrey));
    TestClock::Advance(999);
    Frame();
    EXPECT_EQ(state->secondsLeft, 1440);
    TestClock::Advance(1);
    Frame();
    EXPECT_TRUE(ShowsOutlinedText(Screen(), 500, 40, "Time left: 23:59", Black, TextGrey));

    // A long frame counts one second and drops the rest of the interval.
    TestClock::Advance(5000);
    Frame();
    TestClock::Advance(999);
    Frame();
    EXPECT_EQ(state->secondsLeft, 1438);
    TestClock::Advance(1);
    Frame();
    EXPECT_EQ(state->secondsLeft, 1437);

    state->secondsLeft = 66;
    TestClock::Advance(1000);
    Frame();
    EXPECT_TRUE(ShowsOutlinedText(Screen(), 500, 40, "Time left: 1:5", Black, TextGrey));
    state->secondsLeft = 1;
    TestClock::Advance(1000);
    Frame();
    EXPECT_FALSE(state->running);
    EXPECT_TRUE(ShowsOutlinedText(Screen(), 500, 40, "Time left: 0:0", Black, TextGrey)) << "the last frame";
}

TEST_F(PlayTest, ElvesStepAtMostEveryHalfSecond) {
    StartGame();
    AddBuilding(Office, 0, 0);
    Elf& elf = state->economy.elves.emplace_back(Worker, 0, 0);
    elf.employed = true;
    elf.WalkTo(10, 0);
    const auto column = [&] { return elf.x; };
    TestClock::Advance(499);
    Frame();
    EXPECT_EQ(column(), 0);
    TestClock::Advance(1);
    Frame();
    EXPECT_EQ(column(), 1);
    Frame();
    EXPECT_EQ(column(), 1);
    TestClock::Advance(3000);
    Frame();
    EXPECT_EQ(column(), 2) << "one step however long the frame";
    EXPECT_EQ(state->lastElfStep, 8500u);
}

// A clock that runs a second per reading: the last seconds pass in moments.
Uint32 fastNow = 0;
Uint32 FastClock() {
    return fastNow += 1000;
}

TEST_F(PlayTest, EveryWayOutOfAGame) {
    enum Way { Escape, CloseWindow, MainMenuEntry, DesktopEntry, ClockRunsOut };
    // The end-of-game screen comes only when the clock reached zero, also when
    // the player left in that same frame.
    const struct {
        Way way;
        bool timeUp;
        bool windowClosedOnScores;
        bool toMainMenu;
    } ways[] = {{Escape, false, false, true},        {CloseWindow, false, false, true},
                {MainMenuEntry, false, false, true}, {DesktopEntry, false, false, false},
                {Escape, true, false, true},         {DesktopEntry, true, false, false},
                {ClockRunsOut, true, false, true},   {ClockRunsOut, true, true, false}};
    for (const auto& w : ways) {
        StartGame();
        endOfGame = FakeEndOfGame();
        endOfGame.closeWindow = w.windowClosedOnScores;
        state->economy.money = 3000;
        state->economy.wood = 7;
        state->economy.steel = 5;
        state->economy.plastic = 2;
        const int entryY = w.way == MainMenuEntry ? 45 : 70;
        if (w.way == MainMenuEntry || w.way == DesktopEntry) {
            Click(50, 10);
            Point(100, entryY);
            Frame();
        }
        state->secondsLeft = w.timeUp ? 1 : 1440;
        TestClock::Advance(1000);
        SDL_Event quit{};
        quit.type = SDL_QUIT;
        if (w.way == Escape) {
            PressKey(SDLK_ESCAPE);
        } else if (w.way == CloseWindow) {
            SDL_PushEvent(&quit);
        } else if (w.way != ClockRunsOut) {
            Press(100, entryY);
        }
        bool toMainMenu = false;
        if (w.way == ClockRunsOut) {
            fastNow = TestClock::Read();
            SetClock(FastClock);
            toMainMenu = state->Run();
            SetClock(TestClock::Read);
        } else {
            Frame();
            EXPECT_FALSE(state->running);
            toMainMenu = state->FinishFrames();
        }
        const std::string row = std::to_string(&w - ways);
        EXPECT_EQ(toMainMenu, w.toMainMenu) << row;
        EXPECT_EQ(endOfGame.calls, w.timeUp ? 1 : 0) << row;
        EXPECT_EQ(endOfGame.lastScore, w.timeUp ? 3000 + 14 + 15 + 8 : 0) << row;
    }
    state->economy.money = 2147483000;
    state->economy.wood = 1000;
    EXPECT_EQ(state->Score(), static_cast<int32_t>(2147483000u + 2000u + 15u + 8u)) << "the score wraps";
}

}  // namespace
