#include "scores/score_board.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

SDL_Event Key(SDLKey key, SDLMod mod = KMOD_NONE) {
    SDL_Event event{};
    event.type = SDL_KEYDOWN;
    event.key.type = SDL_KEYDOWN;
    event.key.state = SDL_PRESSED;
    event.key.keysym.sym = key;
    event.key.keysym.mod = mod;
    return event;
}

SDL_Event KeyUp(SDLKey key) {
    SDL_Event event = Key(key);
    event.type = SDL_KEYUP;
    event.key.type = SDL_KEYUP;
    event.key.state = SDL_RELEASED;
    return event;
}

SDL_Event Quit() {
    SDL_Event event{};
    event.type = SDL_QUIT;
    return event;
}

// A board whose exchange only records what it was asked to send.
struct Board {
    explicit Board(int score = 5230, ExchangeResult answer = ExchangeResult())
        : board(score, [this, answer](const std::string& request) {
              requests.push_back(request);
              return answer;
          }) {}

    void Press(SDLKey key, SDLMod mod = KMOD_NONE) { board.HandleEvent(Key(key, mod), returnToMenu); }
    void Type(const std::string& text) {
        for (char c : text) {
            if (c >= 'A' && c <= 'Z') {
                Press(static_cast<SDLKey>(c - 'A' + 'a'), KMOD_LSHIFT);
            } else {
                Press(static_cast<SDLKey>(c));
            }
        }
    }

    std::vector<std::string> requests;
    bool returnToMenu = true;
    ScoreBoard board;
};

TEST(ScoreBoardName, ShiftCapitalisesLettersAndLeavesDigits) {
    Board b;
    b.Press(SDLK_a);
    b.Press(SDLK_b, KMOD_LSHIFT);
    b.Press(SDLK_c, KMOD_RSHIFT);
    b.Press(SDLK_z, KMOD_CAPS);  // Caps Lock alone does not capitalise
    b.Press(SDLK_7, KMOD_LSHIFT);
    b.Press(SDLK_0);
    b.Press(SDLK_SPACE);
    b.Press(SDLK_q, static_cast<SDLMod>(KMOD_LSHIFT | KMOD_CAPS));
    EXPECT_EQ(b.board.PlayerName(), "aBCz70 Q");
    EXPECT_EQ(b.board.Phase(), ScorePhase::EnterName);
    EXPECT_FALSE(b.board.Done());
}

TEST(ScoreBoardName, OtherKeysAndReleasesTypeNothing) {
    Board b;
    for (SDLKey key :
         {SDLK_F1, SDLK_MINUS, SDLK_PERIOD, SDLK_KP1, SDLK_LSHIFT, SDLK_UP, SDLK_TAB, SDLK_DELETE}) {
        b.Press(key);
    }
    b.board.HandleEvent(KeyUp(SDLK_a), b.returnToMenu);
    SDL_Event motion{};
    motion.type = SDL_MOUSEBUTTONDOWN;
    b.board.HandleEvent(motion, b.returnToMenu);
    EXPECT_EQ(b.board.PlayerName(), "");
    EXPECT_EQ(b.board.Phase(), ScorePhase::EnterName);
    EXPECT_FALSE(b.board.Done());
}

TEST(ScoreBoardName, FifteenCharactersAndBackspace) {
    Board b;
    b.Press(SDLK_BACKSPACE);  // nothing to remove
    EXPECT_EQ(b.board.PlayerName(), "");
    b.Type("abcdefghij12345");
    b.Press(SDLK_x);
    b.Press(SDLK_SPACE);
    EXPECT_EQ(b.board.PlayerName(), "abcdefghij12345");
    b.Press(SDLK_BACKSPACE);
    b.Press(SDLK_BACKSPACE);
    b.Press(SDLK_SPACE);
    EXPECT_EQ(b.board.PlayerName(), "abcdefghij123 ");
    for (int i = 0; i < 20; ++i) {
        b.Press(SDLK_BACKSPACE);
    }
    EXPECT_EQ(b.board.PlayerName(), "");
}

TEST(ScoreBoardQuestion, ArrowsWrapAndNoLeavesWithoutSending) {
    Board b;
    b.Type("Ann");
    b.Press(SDLK_RETURN);
    EXPECT_EQ(b.board.Phase(), ScorePhase::AskSend);
    EXPECT_EQ(b.board.SendChoice(), 0);
    b.Press(SDLK_a);  // typing is over
    EXPECT_EQ(b.board.PlayerName(), "Ann");
    b.Press(SDLK_UP);
    EXPECT_EQ(b.board.SendChoice(), 1);
    b.Press(SDLK_UP);
    EXPECT_EQ(b.board.SendChoice(), 0);
    b.Press(SDLK_DOWN);
    EXPECT_EQ(b.board.SendChoice(), 1);
    b.Press(SDLK_DOWN);
    EXPECT_EQ(b.board.SendChoice(), 0);
    b.Press(SDLK_DOWN);
    EXPECT_FALSE(b.board.Done());
    b.Press(SDLK_RETURN);
    EXPECT_TRUE(b.board.Done());
    EXPECT_TRUE(b.returnToMenu);
    EXPECT_TRUE(b.requests.empty());
    EXPECT_EQ(b.board.Phase(), ScorePhase::AskSend);
}

TEST(ScoreBoardQuestion, YesSendsOnceAndKeepsTheList) {
    ExchangeResult answer;
    answer.scores.names = {"Ann", "Bo"};
    answer.scores.values = {"5230", "4100"};
    Board b(5230, answer);
    b.Type("Ann Lee");
    b.Press(SDLK_RETURN);
    b.Press(SDLK_RETURN);
    ASSERT_EQ(b.requests.size(), 1u);
    EXPECT_EQ(b.requests[0], BuildSaveRequest("Ann Lee", 5230));
    EXPECT_EQ(b.board.Phase(), ScorePhase::ShowResult);
    EXPECT_FALSE(b.board.Failed());
    EXPECT_EQ(b.board.Scores().names, answer.scores.names);
    EXPECT_EQ(b.board.Scores().values, answer.scores.values);
    EXPECT_FALSE(b.board.Done());

    // No second exchange and no way back from the result.
    for (SDLKey key : {SDLK_RETURN, SDLK_UP, SDLK_a, SDLK_BACKSPACE}) {
        b.Press(key);
    }
    EXPECT_EQ(b.requests.size(), 1u);
    EXPECT_EQ(b.board.Phase(), ScorePhase::ShowResult);
    EXPECT_FALSE(b.board.Done());
    b.Press(SDLK_ESCAPE);
    EXPECT_TRUE(b.board.Done());
    EXPECT_TRUE(b.returnToMenu);
}

TEST(ScoreBoardQuestion, EmptyNameIsSentAsUnnamedAndFailureIsKept) {
    ExchangeResult answer;
    answer.failed = true;
    Board b(-40, answer);
    b.Press(SDLK_RETURN);
    b.Press(SDLK_UP);
    b.Press(SDLK_UP);
    b.Press(SDLK_RETURN);
    ASSERT_EQ(b.requests.size(), 1u);
    EXPECT_NE(b.requests[0].find("name=unnamed&score=-40&"), std::string::npos);
    EXPECT_TRUE(b.board.Failed());
    EXPECT_EQ(b.board.Phase(), ScorePhase::ShowResult);
}

TEST(ScoreBoardLeaving, ClosingTheWindowInEveryPhaseEndsTheProgram) {
    for (int presses = 0; presses < 3; ++presses) {
        Board b;
        for (int i = 0; i < presses; ++i) {
            b.Press(SDLK_RETURN);
        }
        EXPECT_EQ(static_cast<int>(b.board.Phase()), presses);
        b.board.HandleEvent(Quit(), b.returnToMenu);
        EXPECT_TRUE(b.board.Done());
        EXPECT_FALSE(b.returnToMenu);
        EXPECT_EQ(b.requests.size(), presses == 2 ? 1u : 0u);
    }
}

}  // namespace
