#include "scores/score_screen.h"

#include "engine/errors.h"
#include "engine/package.h"
#include "engine/video.h"
#include "scores/history_graph.h"
#include "tests/scores/loopback_server.h"
#include "tests/support/test_support.h"

#include <SDL.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <initializer_list>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

namespace {

const SDL_Color White{255, 255, 255, 0};

class ScoreScreenTest : public ::testing::Test {
  protected:
    void SetUp() override {
        mkdir("data", 0755);
        WriteTestPackage("data/gui.rkp", 33, {{"scoreboard.png", SolidBmp(640, 480, 20, 40, 90)}});
    }
    static void Push(std::initializer_list<SDLKey> keys) {
        for (SDLKey key : keys) {
            SDL_Event event{};
            event.type = SDL_KEYDOWN;
            event.key.keysym.sym = key;
            ASSERT_EQ(SDL_PushEvent(&event), 0);
        }
    }
    void ExpectShown(std::initializer_list<std::tuple<int, int, std::string>> texts) {
        for (const auto& [x, y, text] : texts) {
            EXPECT_TRUE(ShowsText(screen.Screen(), x, y, text, White));
        }
    }

    ScreenGuard screen;
    FontGuard font;
};

TEST_F(ScoreScreenTest, TypedNameIsSentAndTheListShown) {
    LoopbackServer server(LoopbackServer::Answer::Reply, "Ann|5230&Bo|4100!");
    Push({SDLK_a, SDLK_n, SDLK_RETURN, SDLK_RETURN, SDLK_ESCAPE});
    bool returnToMenu = true;
    ScoreScreen(ScoreServer{"127.0.0.1", server.Port()}).Run(5230, GameHistory(), returnToMenu);
    EXPECT_TRUE(returnToMenu);
    EXPECT_EQ(server.Received(), BuildSaveRequest("an", 5230));
    ExpectShown({{330, 75, "Ann"},
                 {520, 75, "5230"},
                 {330, 95, "Bo"},
                 {520, 95, "4100"},
                 {50, 435, "ESC: Return to main menu"},
                 {400, 420, "To see all scores, visit:"},
                 {400, 440, "http://127.0.0.1:" + std::to_string(server.Port()) + "/scores"}});
    EXPECT_FALSE(AnyPixel(screen.Screen(), 300, 115, 639, 400, White)) << "no third row";
    EXPECT_FALSE(AnyPixel(screen.Screen(), 0, 300, 399, 420, White)) << "neither question nor failure";
    EXPECT_FALSE(FileExists(ScratchFile));
}

TEST_F(ScoreScreenTest, EachPhaseShowsItsTexts) {
    ExchangeResult answer;
    answer.failed = true;
    int delay = -1;
    int interval = -1;
    ScoreScreen spy(ParseScoreServer("scores.example.org"), [&](const std::string&) {
        SDL_GetKeyRepeat(&delay, &interval);
        return answer;
    });
    bool returnToMenu = true;
    // Each run ends with Escape; its last frame is on the screen.
    const auto run = [&](std::initializer_list<SDLKey> keys) {
        Push(keys);
        Push({SDLK_ESCAPE});
        spy.Run(-75, GameHistory(), returnToMenu);
    };
    run({SDLK_a, SDLK_b, SDLK_1});
    ExpectShown({{40, 320, "You scored: -75"},
                 {40, 350, "Enter your name:"},
                 {40, 370, "ab1_"},
                 {400, 440, "http://scores.example.org/scores"}});
    run({SDLK_RETURN});
    ExpectShown({{40, 320, "Send and fetch scores"},
                 {40, 340, "from the Internet?"},
                 {40, 370, "[ YES ]"},
                 {40, 390, "  NO"}});
    run({SDLK_RETURN, SDLK_DOWN});
    ExpectShown({{40, 370, "  YES"}, {40, 390, "[ NO ]"}});
    run({SDLK_RETURN, SDLK_RETURN});
    ExpectShown({{40, 370, "Failure occured!"}});
    EXPECT_FALSE(AnyPixel(screen.Screen(), 300, 60, 639, 400, White));
    EXPECT_EQ(std::pair(delay, interval), std::pair(500, 30)) << "typing repeats while the screen runs";
    EXPECT_TRUE(returnToMenu);
    SDL_GetKeyRepeat(&delay, &interval);
    EXPECT_EQ(delay + interval, 0) << "and only then";
}

// The name sent last time is offered; a name sent is heard of at once, a
// name not sent is not. Letters type only while the name field takes them.
TEST_F(ScoreScreenTest, TheOfferedNameIsReadyToChangeOrSend) {
    struct Keys : ScreenWideKeys {
        KeyOutcome Take(const SDL_Event& event, bool typingLetters, std::string&) override {
            typing += event.type == SDL_KEYDOWN ? (typingLetters ? "T" : "-") : "";
            return KeyOutcome::NotTaken;
        }
        std::string typing;
    } keys;
    SetScreenWideKeys(&keys);
    std::vector<std::string> requests;
    std::vector<std::string> heard;
    ScoreScreen spy(ParseScoreServer("h"), [&](const std::string& request) {
        requests.push_back(request);
        return ExchangeResult();
    });
    spy.OfferName("Ann", [&](const std::string& name) { heard.push_back(name); });
    bool returnToMenu = true;
    Push({SDLK_BACKSPACE, SDLK_o, SDLK_RETURN, SDLK_RETURN, SDLK_ESCAPE});
    spy.Run(10, GameHistory(), returnToMenu);
    EXPECT_EQ(requests, std::vector<std::string>{BuildSaveRequest("Ano", 10)});
    EXPECT_EQ(heard, std::vector<std::string>{"Ano"});
    EXPECT_EQ(keys.typing, "TTT--");
    Push({SDLK_x, SDLK_RETURN, SDLK_DOWN, SDLK_RETURN});
    spy.Run(10, GameHistory(), returnToMenu);
    EXPECT_EQ(heard.size(), 1u) << "no is not sent";
    EXPECT_EQ(keys.typing, "TTT--TT--");
    SetScreenWideKeys(nullptr);
}

TEST_F(ScoreScreenTest, TabDrawsTheGameAsFourLines) {
    GameHistory history;
    history.Record({0, {5000, 0, 0, 0}});
    history.Record({720, {9000, 30, 6, 12}});
    history.Record({1440, {20000, 10, 0, 40}});
    Push({SDLK_TAB, SDLK_ESCAPE});
    bool returnToMenu = true;
    ScoreScreen(ParseScoreServer("h")).Run(20180, history, returnToMenu);
    ExpectShown({{50, 455, "TAB: Back"}, {50, 435, "ESC: Return to main menu"}});
    EXPECT_FALSE(ShowsText(screen.Screen(), 40, 320, "You scored: 20180", White, false));
    // Money, wood, steel and plastic, each in its colour between the scales and in the legend below.
    for (SDL_Color colour :
         {SDL_Color{255, 216, 94, 0}, {214, 140, 72, 0}, {150, 196, 240, 0}, {236, 104, 196, 0}}) {
        EXPECT_TRUE(AnyPixel(screen.Screen(), 100, 76, 544, 344, colour));
        EXPECT_TRUE(AnyPixel(screen.Screen(), 16, 380, 623, 411, colour));
    }
    // Money on top at every sample; the right scale's labels on their grid lines.
    const GraphLayout layout = LayOutHistoryGraph(history, HistoryPlot);
    for (const GraphPoint& p : layout.lines[MoneySeries]) {
        EXPECT_TRUE(AnyPixel(screen.Screen(), p.x, p.y, p.x, p.y, {255, 216, 94, 0})) << p.x;
    }
    for (int32_t goods = 0; goods <= layout.goods.high; goods += layout.goods.step) {
        const int y = ScaleRow(layout.goods, HistoryPlot, goods) - 9;
        EXPECT_TRUE(
            ShowsText(screen.Screen(), HistoryPlot.right + 8, y, std::to_string(goods), White, false));
    }
}

TEST_F(ScoreScreenTest, MissingPictureFailsToLoad) {
    WriteTestPackage("data/gui.rkp", 1, {{"menu.png", SolidBmp(4, 4, 1, 2, 3)}});
    bool returnToMenu = true;
    EXPECT_THROW(ScoreScreen(ParseScoreServer("h")).Run(5, GameHistory(), returnToMenu), FileLoadingFailed);
}

}  // namespace
