#include "scores/score_board.h"

#include "scores/history_graph.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <utility>
#include <vector>

namespace {

SDL_Event Event(Uint8 type, SDLKey key = SDLK_UNKNOWN, SDLMod mod = KMOD_NONE) {
    SDL_Event event{};
    event.type = type;
    event.key.keysym.sym = key;
    event.key.keysym.mod = mod;
    return event;
}

// A board whose exchange only records what it was asked to send.
struct Board {
    explicit Board(ExchangeResult answer = ExchangeResult())
        : board(5230, [this, answer](const std::string& request) {
              requests.push_back(request);
              return answer;
          }) {}
    void Press(std::initializer_list<SDLKey> keys, SDLMod mod = KMOD_NONE) {
        for (SDLKey key : keys) {
            board.HandleEvent(Event(SDL_KEYDOWN, key, mod), returnToMenu);
        }
    }

    std::vector<std::string> requests;
    bool returnToMenu = true;
    ScoreBoard board;
};

TEST(ScoreBoard, TypingTheName) {
    Board b;
    b.Press({SDLK_BACKSPACE, SDLK_a});  // nothing to remove at first
    b.Press({SDLK_b}, KMOD_LSHIFT);
    b.Press({SDLK_c}, KMOD_RSHIFT);
    b.Press({SDLK_z}, KMOD_CAPS);  // Caps Lock alone does not capitalise
    b.Press({SDLK_7}, KMOD_LSHIFT);
    b.Press(
        {SDLK_0, SDLK_SPACE, SDLK_F1, SDLK_MINUS, SDLK_PERIOD, SDLK_KP1, SDLK_LSHIFT, SDLK_UP, SDLK_DELETE});
    b.board.HandleEvent(Event(SDL_KEYUP, SDLK_a), b.returnToMenu);
    b.board.HandleEvent(Event(SDL_MOUSEBUTTONDOWN), b.returnToMenu);
    EXPECT_EQ(b.board.PlayerName(), "aBCz70 ");
    b.Press({SDLK_q, SDLK_r, SDLK_s, SDLK_t, SDLK_u, SDLK_v, SDLK_w, SDLK_SPACE, SDLK_x, SDLK_SPACE});
    EXPECT_EQ(b.board.PlayerName(), "aBCz70 qrstuvw ") << "fifteen characters at most";
    b.Press({SDLK_BACKSPACE, SDLK_BACKSPACE});
    EXPECT_EQ(b.board.PlayerName(), "aBCz70 qrstuv");
    EXPECT_EQ(b.board.Phase(), ScorePhase::EnterName);
    EXPECT_FALSE(b.board.Done());
}

TEST(ScoreBoard, StartsWithTheOfferedNameCutToTheField) {
    const ScoreExchange none = [](const std::string&) { return ExchangeResult(); };
    EXPECT_EQ(ScoreBoard(1, none, "Ann Lee").PlayerName(), "Ann Lee");
    EXPECT_EQ(ScoreBoard(1, none, "abcdefghijklmnop").PlayerName(), "abcdefghijklmno");
}

TEST(ScoreBoard, ArrowsWrapAndNoLeavesWithoutSending) {
    Board b;
    b.Press({SDLK_RETURN, SDLK_a});
    EXPECT_EQ(b.board.Phase(), ScorePhase::AskSend);
    EXPECT_EQ(b.board.PlayerName(), "") << "typing is over";
    for (const auto& [key, choice] :
         {std::pair{SDLK_UP, 1}, {SDLK_UP, 0}, {SDLK_DOWN, 1}, {SDLK_DOWN, 0}, {SDLK_DOWN, 1}}) {
        b.Press({key});
        EXPECT_EQ(b.board.SendChoice(), choice);
    }
    EXPECT_FALSE(b.board.Done());
    b.Press({SDLK_RETURN});
    EXPECT_TRUE(b.board.Done());
    EXPECT_TRUE(b.returnToMenu);
    EXPECT_TRUE(b.requests.empty());
}

TEST(ScoreBoard, YesSendsOnceAndKeepsTheListOrTheFailure) {
    for (bool failed : {false, true}) {
        ExchangeResult answer;
        answer.failed = failed;
        answer.scores.values = {"5230", "4100"};
        Board b(answer);
        b.Press({SDLK_a, SDLK_SPACE, SDLK_RETURN, SDLK_RETURN});
        EXPECT_EQ(b.requests, std::vector<std::string>{BuildSaveRequest("a ", 5230)});
        EXPECT_EQ(b.board.Failed(), failed);
        EXPECT_EQ(b.board.Scores().values, answer.scores.values);
        // No second exchange and no way back from the result.
        b.Press({SDLK_RETURN, SDLK_UP, SDLK_a, SDLK_BACKSPACE});
        EXPECT_EQ(b.requests.size(), 1u);
        EXPECT_EQ(b.board.Phase(), ScorePhase::ShowResult);
        EXPECT_FALSE(b.board.Done());
    }
}

TEST(ScoreBoard, EscapeOrClosingTheWindowLeaveEveryPhase) {
    for (int presses = 0; presses < 3; ++presses) {
        for (Uint8 type : {SDL_KEYDOWN, SDL_QUIT}) {
            Board b;
            for (int i = 0; i < presses; ++i) {
                b.Press({SDLK_RETURN});
            }
            EXPECT_EQ(static_cast<int>(b.board.Phase()), presses);
            b.board.HandleEvent(Event(type, SDLK_ESCAPE), b.returnToMenu);
            EXPECT_TRUE(b.board.Done());
            EXPECT_EQ(b.returnToMenu, type == SDL_KEYDOWN) << "closing the window ends the program";
            EXPECT_EQ(b.requests.size(), presses == 2 ? 1u : 0u);
        }
    }
}

TEST(ScoreBoard, TabShowsTheGraphAndBackInEveryPhase) {
    for (int presses = 0; presses < 3; ++presses) {
        Board b;
        b.Press({SDLK_a});
        for (int i = 0; i < presses; ++i) {
            b.Press({SDLK_RETURN});
        }
        // Behind the graph the phase waits: no typing, no choosing, no sending.
        b.Press({SDLK_TAB, SDLK_b, SDLK_DOWN, SDLK_RETURN, SDLK_BACKSPACE});
        EXPECT_TRUE(b.board.ShowingGraph());
        b.Press({SDLK_TAB});
        EXPECT_FALSE(b.board.ShowingGraph());
        EXPECT_EQ(static_cast<int>(b.board.Phase()), presses);
        EXPECT_EQ(b.board.PlayerName(), "a");
        EXPECT_EQ(b.board.SendChoice(), 0);
        EXPECT_EQ(b.requests.size(), presses == 2 ? 1u : 0u);
        b.Press({SDLK_TAB, SDLK_ESCAPE});
        EXPECT_TRUE(b.board.Done()) << "Escape leaves from the graph too";
    }
}

TEST(HistoryGraph, RoundScalesOfFourSteps) {
    const struct {
        int32_t lowest, highest;
        GraphScale scale;
    } cases[] = {{0, 0, {0, 4, 1}},          {3, 37, {0, 40, 10}},
                 {0, 5000, {0, 8000, 2000}}, {0, 8001, {0, 20000, 5000}},
                 {-15, 30, {-20, 60, 20}},   {0, 2147483647, {0, 2147483644, 536870911}}};
    for (const auto& c : cases) {
        const GraphScale scale = RoundScale(c.lowest, c.highest);
        EXPECT_EQ(std::tuple(scale.low, scale.high, scale.step),
                  std::tuple(c.scale.low, c.scale.high, c.scale.step))
            << c.lowest << " to " << c.highest;
    }
}

}  // namespace
