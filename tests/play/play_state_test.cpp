#include "engine/errors.h"
#include "engine/video.h"
#include "rules/building.h"
#include "rules/elf.h"
#include "scores/history_graph.h"
#include "tests/play/play_fixture.h"

#include <array>
#include <sstream>
#include <stdexcept>
#include <string>
#include <tuple>
#include <utility>

namespace {

// A small working economy: wood made and sold, a geologist wandering at random, a worker walking.
void ScriptGame(PlayState& game) {
    game.economy.AddBuilding(Office, 0, 0);
    for (const auto& [type, column, workers] :
         {std::tuple{Woodworker, 2, 1}, {Woodworker, 3, 1}, {Factory, 5, 2}}) {
        game.economy.AddBuilding(type, column, 2);
        game.economy.buildings.back().workers = workers;
    }
    game.economy.elves.emplace_back(Geologist, 8, 8);
    game.economy.elves.emplace_back(Worker, 0, 0).WalkTo(19, 12);
}

// Everything that moves with time, as text to compare.
std::string StateOf(const PlayState& game) {
    std::ostringstream out;
    const Economy& e = game.economy;
    out << e.Money() << ' ' << e.Wood() << ' ' << e.Steel() << ' ' << e.Plastic() << ' ' << game.secondsLeft
        << ' ' << game.lastSecondTick << ' ' << game.lastElfStep << '\n';
    for (const Building& b : e.buildings) {
        out << b.type << ' ' << b.x << ' ' << b.y << ' ' << b.productionTimer << ' ' << b.animFrame << ' '
            << b.animTimer << '\n';
    }
    for (const Elf& elf : e.elves) {
        out << elf.x << ' ' << elf.y << ' ' << elf.searchState << '\n';
    }
    for (const HistorySample& sample : game.history.Samples()) {
        out << sample.second << ':' << sample.values[MoneySeries] << ' ';
    }
    return out.str();
}

TEST_F(PlayTest, PausedGameResumesExactlyWhereItWas) {
    // Two games from one seed; the second is paused for a minute halfway, the map hidden and every click
    // on it lost. At equal playing time both stand in the same state.
    std::string states[2];
    for (bool pausing : {false, true}) {
        TestClock::Set(5000);
        SetClock(TestClock::Read);
        std::srand(99);
        StartGame();
        ScriptGame(*state);
        for (int frame = 0; frame < 120; ++frame) {
            if (pausing && frame == 60) {
                state->SetMessage("Outlasts the pause", 3000);
                PressKey(SDLK_p);
                for (int second = 0; second < 60; ++second) {
                    Press(80 + second, 100, second % 2 == 0 ? SDL_BUTTON_RIGHT : SDL_BUTTON_LEFT);
                    Frame();
                    TestClock::Advance(1000);
                    EXPECT_FALSE(state->buildMenuOpen || state->economy.freeElvesPanelOpen ||
                                 state->economy.placing);
                }
                Frame();
                EXPECT_TRUE(state->Paused());
                EXPECT_EQ(state->economy.selectedBuilding, -1);
                EXPECT_FALSE(AnyPixel(Screen(), 0, 32, 639, 479, {0, 200, 0, 0})) << "no grass to be seen";
                EXPECT_TRUE(AnyPixel(Screen(), 0, 32, 639, 479, FrameRed)) << "a panel";
                EXPECT_TRUE(ShowsOutlinedText(Screen(), 500, 40, "Time left: 23:30", Black, TextGrey));
                PressKey(SDLK_PAUSE);
                Frame();
                EXPECT_FALSE(state->Paused());
                EXPECT_EQ(state->messageText, "Outlasts the pause");
            }
            TestClock::Advance(500);
            Frame();
        }
        states[pausing] = StateOf(*state);
    }
    EXPECT_EQ(states[0], states[1]);
    EXPECT_EQ(state->secondsLeft, 1380);

    // Closing the window ends a paused game as any other, and the clock runs again.
    PressKey(SDLK_p);
    Frame();
    SDL_Event quit{};
    quit.type = SDL_QUIT;
    SDL_PushEvent(&quit);
    Frame();
    EXPECT_FALSE(state->running);
    EXPECT_TRUE(state->FinishFrames());
    const Uint32 before = Now();
    TestClock::Advance(700);
    EXPECT_EQ(Now() - before, 700u);
}

TEST_F(PlayTest, StoryOfAWholeGameAndItsGraph) {
    StartGame();
    ScriptGame(*state);
    while (state->running) {
        TestClock::Advance(1000);
        Frame();
    }
    state->FinishFrames();
    const GameHistory& story = endOfGame.lastHistory;
    const std::vector<HistorySample>& samples = story.Samples();
    ASSERT_EQ(samples.size(), 145u) << "every ten seconds from 0 to 1440";
    for (std::size_t i = 0; i < samples.size(); ++i) {
        EXPECT_EQ(samples[i].second, 10 * static_cast<int32_t>(i));
    }
    EXPECT_EQ(samples.front().values, (std::array<int32_t, 4>{5000, 0, 0, 0}));
    const auto& end = samples.back().values;
    EXPECT_EQ(end, (std::array<int32_t, 4>{state->economy.Money(), state->economy.Wood(), 0, 0}));
    EXPECT_EQ(endOfGame.lastScore, end[0] + 2 * end[1]) << "the last sample is what was scored";
    EXPECT_GT(end[0], 20000) << "the factory sold wood all game";

    // 480 pixels for 1440 seconds: a third of a pixel per second, rounded; each point's height read
    // back off its scale is the recorded value, to within half a pixel.
    const GraphFrame frame{100, 50, 580, 450};
    const GraphLayout graph = LayOutHistoryGraph(story, frame);
    EXPECT_EQ(graph.minuteStep, 4);
    for (int series = 0; series < HistorySeriesCount; ++series) {
        const GraphScale& scale = series == MoneySeries ? graph.money : graph.goods;
        const double valuePerPixel = double(scale.high - scale.low) / (frame.bottom - frame.top);
        ASSERT_EQ(graph.lines[series].size(), samples.size());
        for (std::size_t i = 0; i < samples.size(); ++i) {
            const GraphPoint point = graph.lines[series][i];
            EXPECT_EQ(point.x, 100 + (samples[i].second + 1) / 3) << i;
            EXPECT_NEAR(scale.low + (frame.bottom - point.y) * valuePerPixel, samples[i].values[series],
                        valuePerPixel / 2 + 1e-6)
                << series << " " << i;
        }
    }
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
