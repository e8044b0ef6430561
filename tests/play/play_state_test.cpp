#include "engine/errors.h"
#include "engine/video.h"
#include "rules/building.h"
#include "rules/elf.h"
#include "tests/play/play_fixture.h"

#include <stdexcept>
#include <string>
#include <utility>

namespace {

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
    PressKey(SDLK_a);  // no key but Escape does anything
    PressKey(SDLK_RETURN);
    // Frames after the clock moved on (and the seconds were set); a long frame counts one second and
    // drops the rest of the interval. The last frame still shows the time.
    const struct {
        Uint32 advance;
        int set, left;
        const char* text;
    } frames[] = {{0, 0, 1440, "24:0"}, {999, 0, 1440, ""}, {1, 0, 1439, "23:59"}, {5000, 0, 1438, ""},
                  {999, 0, 1438, ""},   {1, 0, 1437, ""},   {1000, 66, 65, "1:5"}, {1000, 1, 0, "0:0"}};
    for (const auto& f : frames) {
        state->secondsLeft = f.set != 0 ? f.set : state->secondsLeft;
        TestClock::Advance(f.advance);
        Frame();
        EXPECT_EQ(state->secondsLeft, f.left);
        EXPECT_EQ(state->running, f.left > 0);
        if (*f.text != '\0') {
            EXPECT_TRUE(
                ShowsOutlinedText(Screen(), 500, 40, std::string("Time left: ") + f.text, Black, TextGrey));
        }
    }
}

TEST_F(PlayTest, ElvesStepAtMostEveryHalfSecond) {
    StartGame();
    AddBuilding(Office, 0, 0);
    Elf& elf = state->economy.elves.emplace_back(Worker, 0, 0);
    elf.employed = true;
    elf.WalkTo(10, 0);
    // One step however long the frame.
    for (const auto& [advance, column] : {std::pair{499u, 0}, {1u, 1}, {0u, 1}, {3000u, 2}}) {
        TestClock::Advance(advance);
        Frame();
        EXPECT_EQ(elf.x, column) << advance;
    }
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

TEST_F(PlayTest, AScreenWideKeysNoticeShowsOnTheMessageLine) {
    struct Keys : ScreenWideKeys {
        KeyOutcome Take(const SDL_Event& event, bool, std::string& notice) override {
            notice = "Screenshot saved: ~/q.png";
            const bool f12 = event.type == SDL_KEYDOWN && event.key.keysym.sym == SDLK_F12;
            return f12 ? KeyOutcome::Noticed : KeyOutcome::NotTaken;
        }
    } keys;
    SetScreenWideKeys(&keys);
    StartGame();
    PressKey(SDLK_F12);
    Frame();
    SetScreenWideKeys(nullptr);
    EXPECT_EQ(state->messageText, "Screenshot saved: ~/q.png");
    EXPECT_EQ(state->messageTimeout, 3000);
}
