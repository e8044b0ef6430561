#include "engine/errors.h"
#include "engine/video.h"
#include "rules/building.h"
#include "rules/elf.h"
#include "tests/play/play_fixture.h"

#include <cstdio>
#include <stdexcept>
#include <string>

namespace {

TEST_F(PlayTest, LoadStartsAFreshGameAndTwoGamesShareNothing) {
    StartGame();
    PlayState& first = *state;
    EXPECT_EQ(first.economy.Money(), 5000);
    EXPECT_EQ(first.economy.Wood() + first.economy.Steel() + first.economy.Plastic(), 0);
    EXPECT_TRUE(first.economy.buildings.empty());
    EXPECT_TRUE(first.economy.elves.empty());
    EXPECT_FALSE(first.buildMenuOpen);
    EXPECT_FALSE(first.quitMenuOpen);
    EXPECT_EQ(first.buildMenuHover, -1);
    EXPECT_EQ(first.quitMenuHover, -1);
    EXPECT_TRUE(first.returnToMenu);
    EXPECT_TRUE(first.messageText.empty());
    EXPECT_EQ(first.secondsLeft, 1440);
    EXPECT_EQ(first.lastElfStep, 5000u);
    EXPECT_TRUE(SameColour(first.textColour, TextGrey));
    EXPECT_TRUE(first.popSound && first.buildSound && first.walkSound);
    EXPECT_FALSE(first.topBarPictures[0].IsEmpty());
    EXPECT_FALSE(first.topBarPictures[1].IsEmpty());
    EXPECT_FALSE(FileExists("temp.tmp")) << "the scratch file goes with the packages";

    first.economy.money = 17;
    first.buildMenuOpen = true;
    first.SetMessage("Building successfully bought!", 3000);
    AddBuilding(Office, 0, 0);

    PlayState second(nullptr);
    second.Load();
    EXPECT_EQ(second.economy.Money(), 5000);
    EXPECT_TRUE(second.economy.buildings.empty());
    EXPECT_FALSE(second.buildMenuOpen);
    EXPECT_TRUE(second.messageText.empty());
    EXPECT_EQ(second.secondsLeft, 1440);
    bool sameObjects = true;
    for (int c = 0; c < MapColumns; ++c) {
        for (int r = 0; r < MapRows; ++r) {
            sameObjects = sameObjects && first.map.ObjectAt(c, r) == second.map.ObjectAt(c, r);
        }
    }
    EXPECT_FALSE(sameObjects) << "every game generates its own map";
    EXPECT_EQ(first.economy.Money(), 17);
}

TEST_F(PlayTest, LoadFailsOnAnUnreadableSoundAfterLoadingTheOthers) {
    WriteGamePackages("this is not a sound");
    PlayState game(&endOfGame);
    try {
        game.Load();
        FAIL() << "a sample that does not load must fail the set-up";
    } catch (const VEKException& failure) {
        FAIL() << "unexpected engine failure " << failure.what();
    } catch (const std::runtime_error& failure) {
        EXPECT_STREQ(failure.what(), "Failed to load sounds!");
    }
    EXPECT_TRUE(game.popSound);
    EXPECT_FALSE(game.buildSound);
    EXPECT_TRUE(game.walkSound) << "the test comes after all three loads";
}

TEST_F(PlayTest, LoadFailuresOfPackagesStopAtOnce) {
    WriteGamePackages("");
    {
        PlayState game;
        EXPECT_THROW(game.Load(), FileLoadingFailed) << "a missing member is the package's report";
        EXPECT_TRUE(game.popSound);
        EXPECT_FALSE(game.walkSound) << "no step after the failing one";
    }
    WriteGamePackages();
    std::remove("data/gui.rkp");
    {
        PlayState game;
        EXPECT_THROW(game.Load(), FileLoadingFailed);
        EXPECT_TRUE(game.topBarPictures[0].IsEmpty());
        EXPECT_FALSE(game.popSound);
        EXPECT_FALSE(game.map.Kinds().empty()) << "the map comes first";
    }
}

TEST_F(PlayTest, TimeDisplayCountsDownAtMostOneSecondPerFrame) {
    StartGame();
    Frame();
    EXPECT_TRUE(ShowsOutlinedText(Screen(), 500, 40, "Time left: 24:0", Black));

    TestClock::Advance(999);
    Frame();
    EXPECT_EQ(state->secondsLeft, 1440);
    TestClock::Advance(1);
    Frame();
    EXPECT_EQ(state->secondsLeft, 1439);
    EXPECT_TRUE(ShowsOutlinedText(Screen(), 500, 40, "Time left: 23:59", Black));

    // A long frame counts one second and drops the rest of the interval.
    TestClock::Advance(5000);
    Frame();
    EXPECT_EQ(state->secondsLeft, 1438);
    TestClock::Advance(999);
    Frame();
    EXPECT_EQ(state->secondsLeft, 1438);
    TestClock::Advance(1);
    Frame();
    EXPECT_EQ(state->secondsLeft, 1437);

    state->secondsLeft = 66;
    TestClock::Advance(1000);
    Frame();
    EXPECT_TRUE(ShowsOutlinedText(Screen(), 500, 40, "Time left: 1:5", Black));
    EXPECT_TRUE(state->running);

    state->secondsLeft = 1;
    TestClock::Advance(1000);
    Frame();
    EXPECT_FALSE(state->running);
    EXPECT_TRUE(state->timeUp);
    EXPECT_TRUE(ShowsOutlinedText(Screen(), 500, 40, "Time left: 0:0", Black)) << "the last frame is drawn";
    EXPECT_EQ(TimeLeftText(600), "Time left: 10:0");
    EXPECT_EQ(TimeLeftText(59), "Time left: 0:59");
}

TEST_F(PlayTest, ElvesStepAtMostEveryHalfSecond) {
    StartGame();
    AddBuilding(Office, 0, 0);
    const int elf = AddElf(Worker, 0, 5);
    state->economy.elves[elf].employed = true;
    state->economy.elves[elf].WalkTo(10, 5);
    const auto column = [&] { return state->economy.elves[elf].x; };

    TestClock::Advance(499);
    Frame();
    EXPECT_EQ(column(), 0);
    EXPECT_EQ(state->lastElfStep, 5000u);
    TestClock::Advance(1);
    Frame();
    EXPECT_EQ(column(), 1);
    EXPECT_EQ(state->lastElfStep, 5500u);
    Frame();
    EXPECT_EQ(column(), 1);

    // However long the frame, one step.
    TestClock::Advance(3000);
    Frame();
    EXPECT_EQ(column(), 2);
    EXPECT_EQ(state->lastElfStep, 8500u);
}

TEST_F(PlayTest, EscapeAndClosingTheWindowLeaveWithoutScore) {
    StartGame();
    PressKey(SDLK_a);
    PressKey(SDLK_RETURN);
    Frame();
    EXPECT_TRUE(state->running) << "no other key does anything";

    PressKey(SDLK_ESCAPE);
    Frame();
    EXPECT_FALSE(state->running);
    EXPECT_TRUE(ShowsOutlinedText(Screen(), 500, 40, "Time left: 24:0", Black)) << "the frame is finished";
    EXPECT_TRUE(state->FinishFrames());
    EXPECT_EQ(endOfGame.calls, 0);

    StartGame();
    PushQuit();
    Frame();
    EXPECT_FALSE(state->running);
    EXPECT_TRUE(state->FinishFrames()) << "a closed window leads back to the main menu";
    EXPECT_EQ(endOfGame.calls, 0);
}

TEST_F(PlayTest, ClockReachingZeroShowsTheScoreEvenWhenThePlayerLeavesInThatFrame) {
    StartGame();
    state->economy.money = 3000;
    state->economy.wood = 7;
    state->economy.plastic = 2;
    state->secondsLeft = 1;
    TestClock::Advance(1000);
    PressKey(SDLK_ESCAPE);
    Frame();
    EXPECT_TRUE(state->FinishFrames());
    EXPECT_EQ(endOfGame.calls, 1);
    EXPECT_EQ(endOfGame.lastScore, 3022);

    StartGame();
    state->economy.steel = 5;
    Click(50, 10);
    ASSERT_TRUE(state->quitMenuOpen);
    Point(100, 70);
    Frame();
    ASSERT_EQ(state->quitMenuHover, 4);
    state->secondsLeft = 1;
    TestClock::Advance(1000);
    Press(100, 70);
    Frame();
    EXPECT_FALSE(state->running);
    EXPECT_FALSE(state->FinishFrames()) << "\"Quit to desktop\" still ends the program afterwards";
    EXPECT_EQ(endOfGame.calls, 2);
    EXPECT_EQ(endOfGame.lastScore, 5015);

    StartGame();
    endOfGame.closeWindow = true;
    state->secondsLeft = 1;
    TestClock::Advance(1000);
    Frame();
    EXPECT_FALSE(state->FinishFrames()) << "the window closed on the end-of-game screen ends the program";

    PlayState alone(nullptr);
    alone.Load();
    alone.StartFrames();
    alone.secondsLeft = 1;
    TestClock::Advance(1000);
    alone.RunFrame();
    EXPECT_TRUE(alone.timeUp);
    EXPECT_TRUE(alone.FinishFrames()) << "without an end-of-game screen the main menu follows";
}

TEST_F(PlayTest, ScoreWrapsInsteadOfOverflowing) {
    StartGame();
    state->economy.money = 2147483000;
    state->economy.wood = 1000;
    EXPECT_EQ(state->Score(), static_cast<int32_t>(2147483000u + 2000u));
    state->economy.money = -50;
    state->economy.wood = 0;
    EXPECT_EQ(state->Score(), -50);
}

// A clock that runs a second per reading: a whole game passes in moments.
Uint32 fastNow = 0;
Uint32 FastClock() {
    fastNow += 1000;
    return fastNow;
}

TEST_F(PlayTest, RunPlaysAWholeGameToItsScoreScreen) {
    StartGame();
    state->economy.money = 3000;
    state->economy.wood = 7;
    state->economy.plastic = 2;
    fastNow = 5000;
    SetClock(FastClock);
    EXPECT_TRUE(state->Run());
    SetClock(nullptr);
    EXPECT_EQ(state->secondsLeft, 0);
    EXPECT_EQ(endOfGame.calls, 1);
    EXPECT_EQ(endOfGame.lastScore, 3022);
    EXPECT_TRUE(ShowsOutlinedText(Screen(), 500, 40, "Time left: 0:0", Black));
}

}  // namespace
