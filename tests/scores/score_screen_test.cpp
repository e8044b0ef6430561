#include "scores/score_screen.h"

#include "engine/errors.h"
#include "engine/package.h"
#include "engine/text.h"
#include "engine/video.h"
#include "scores/score_protocol.h"
#include "tests/scores/loopback_server.h"
#include "tests/support/test_support.h"

#include <SDL.h>
#include <SDL_ttf.h>
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <string>

namespace {

const SDL_Color Background{20, 40, 90, 0};
const SDL_Color White{255, 255, 255, 0};

const char* FontCandidates[] = {
    "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf",
    "/usr/share/texmf/fonts/opentype/public/tex-gyre/texgyreheros-regular.otf",
};

bool SameColour(SDL_Color a, SDL_Color b) {
    return a.r == b.r && a.g == b.g && a.b == b.b;
}

// The screen shows exactly this text in white at (x, y) over the background:
// every pixel of the rendered line's box is checked.
::testing::AssertionResult ShowsText(SDL_Surface* screen, int x, int y, const std::string& text) {
    SDL_Surface* glyphs = TTF_RenderText_Solid(guiFont.GetHandle(), text.c_str(), White);
    if (glyphs == nullptr) {
        return ::testing::AssertionFailure() << "cannot render " << text;
    }
    int inked = 0;
    std::string mismatch;
    for (int j = 0; j < glyphs->h && mismatch.empty(); ++j) {
        for (int i = 0; i < glyphs->w; ++i) {
            if (x + i >= screen->w || y + j >= screen->h) {
                continue;
            }
            const bool ink = static_cast<const Uint8*>(glyphs->pixels)[j * glyphs->pitch + i] != 0;
            inked += ink ? 1 : 0;
            const SDL_Color seen = PixelColour(screen, x + i, y + j);
            if (!SameColour(seen, ink ? White : Background)) {
                mismatch = "pixel (" + std::to_string(x + i) + ", " + std::to_string(y + j) + ")";
                break;
            }
        }
    }
    SDL_FreeSurface(glyphs);
    if (!mismatch.empty()) {
        return ::testing::AssertionFailure()
               << "\"" << text << "\" not shown at (" << x << ", " << y << "): " << mismatch;
    }
    if (inked == 0) {
        return ::testing::AssertionFailure() << "\"" << text << "\" has no ink";
    }
    return ::testing::AssertionSuccess();
}

int WhitePixels(SDL_Surface* screen, int x1, int y1, int x2, int y2) {
    int count = 0;
    for (int y = y1; y <= y2; ++y) {
        for (int x = x1; x <= x2; ++x) {
            count += SameColour(PixelColour(screen, x, y), White) ? 1 : 0;
        }
    }
    return count;
}

void Push(SDLKey key, SDLMod mod = KMOD_NONE) {
    SDL_Event event{};
    event.type = SDL_KEYDOWN;
    event.key.type = SDL_KEYDOWN;
    event.key.state = SDL_PRESSED;
    event.key.keysym.sym = key;
    event.key.keysym.mod = mod;
    ASSERT_EQ(SDL_PushEvent(&event), 0);
}

void PushName(const std::string& name) {
    for (char c : name) {
        if (c >= 'A' && c <= 'Z') {
            Push(static_cast<SDLKey>(c - 'A' + 'a'), KMOD_RSHIFT);
        } else {
            Push(static_cast<SDLKey>(c));
        }
    }
}

class ScoreScreenTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_EQ(TTF_Init(), 0);
        std::string fontPath;
        for (const char* candidate : FontCandidates) {
            if (FileExists(candidate)) {
                fontPath = candidate;
                break;
            }
        }
        ASSERT_FALSE(fontPath.empty()) << "no TrueType font installed";
        guiFont.Load(fontPath, 16);
        mkdir("data", 0755);
        WriteTestPackage("data/gui.rkp", 33,
                         {{"menu.png", SolidBmp(4, 4, 1, 2, 3)},
                          {"scoreboard.png", SolidBmp(640, 480, Background.r, Background.g, Background.b)}});
    }
    void TearDown() override {
        guiFont.Close();
        TTF_Quit();
    }
    SDL_Surface* Screen() const { return screen.Screen(); }

    ScreenGuard screen;
};

TEST_F(ScoreScreenTest, TypedNameIsSentAndTheListShown) {
    LoopbackServer server(LoopbackServer::Answer::Reply, "Ann|5230&Bo|4100!");
    PushName("Ann Lee");
    Push(SDLK_RETURN);
    Push(SDLK_RETURN);
    Push(SDLK_ESCAPE);
    bool returnToMenu = true;
    ScoreScreen(ScoreServer{"127.0.0.1", server.Port()}).Run(5230, returnToMenu);

    EXPECT_TRUE(returnToMenu);
    EXPECT_EQ(server.Received(), BuildSaveRequest("Ann Lee", 5230));
    EXPECT_TRUE(ShowsText(Screen(), 330, 75, "Ann"));
    EXPECT_TRUE(ShowsText(Screen(), 520, 75, "5230"));
    EXPECT_TRUE(ShowsText(Screen(), 330, 95, "Bo"));
    EXPECT_TRUE(ShowsText(Screen(), 520, 95, "4100"));
    EXPECT_EQ(WhitePixels(Screen(), 300, 115, 639, 400), 0);  // no third row
    EXPECT_EQ(WhitePixels(Screen(), 0, 300, 399, 420), 0);    // neither question nor failure
    EXPECT_TRUE(ShowsText(Screen(), 50, 435, "ESC: Return to main menu"));
    EXPECT_TRUE(ShowsText(Screen(), 400, 420, "To see all scores, visit:"));
    EXPECT_TRUE(
        ShowsText(Screen(), 400, 440, "http://127.0.0.1:" + std::to_string(server.Port()) + "/scores"));
    EXPECT_FALSE(FileExists(ScratchFile));

    int delay = -1;
    int interval = -1;
    SDL_GetKeyRepeat(&delay, &interval);
    EXPECT_EQ(delay, 0);
    EXPECT_EQ(interval, 0);
}

TEST_F(ScoreScreenTest, UnreachableServerShowsTheFailure) {
    PushName("Bo");
    Push(SDLK_RETURN);
    Push(SDLK_RETURN);
    Push(SDLK_ESCAPE);
    bool returnToMenu = true;
    ScoreScreen(ScoreServer{"127.0.0.1", LoopbackServer::ClosedPort()}).Run(10, returnToMenu);
    EXPECT_TRUE(returnToMenu);
    EXPECT_TRUE(ShowsText(Screen(), 40, 370, "Failure occured!"));
    EXPECT_EQ(WhitePixels(Screen(), 300, 60, 639, 400), 0);
}

TEST_F(ScoreScreenTest, NamePhaseShowsScoreAndNameWhileRepeatIsOn) {
    int delay = -1;
    int interval = -1;
    bool exchanged = false;
    ScoreScreen spy(ParseScoreServer("scores.example.org"), [&](const std::string&) {
        SDL_GetKeyRepeat(&delay, &interval);
        exchanged = true;
        return ExchangeResult();
    });

    PushName("Ab1");
    Push(SDLK_ESCAPE);
    bool returnToMenu = true;
    spy.Run(-75, returnToMenu);
    EXPECT_TRUE(returnToMenu);
    EXPECT_FALSE(exchanged);
    EXPECT_TRUE(ShowsText(Screen(), 40, 320, "You scored: -75"));
    EXPECT_TRUE(ShowsText(Screen(), 40, 350, "Enter your name:"));
    EXPECT_TRUE(ShowsText(Screen(), 40, 370, "Ab1_"));
    EXPECT_TRUE(ShowsText(Screen(), 400, 440, "http://scores.example.org/scores"));

    // The same screen object runs a second time afresh; an empty reply is an empty list.
    Push(SDLK_RETURN);
    Push(SDLK_RETURN);
    Push(SDLK_ESCAPE);
    spy.Run(1, returnToMenu);
    EXPECT_TRUE(exchanged);
    EXPECT_EQ(delay, 500);
    EXPECT_EQ(interval, 30);
    EXPECT_EQ(WhitePixels(Screen(), 0, 60, 639, 410), 0);
}

TEST_F(ScoreScreenTest, NoLeavesWithoutTouchingTheNetwork) {
    LoopbackServer server(LoopbackServer::Answer::Reply, "A|1!");
    Push(SDLK_RETURN);
    Push(SDLK_DOWN);
    // Everything pushed so far is taken in the first frame, and that frame is the last.
    Push(SDLK_RETURN);
    bool returnToMenu = true;
    ScoreScreen(ScoreServer{"127.0.0.1", server.Port()}).Run(5, returnToMenu);
    EXPECT_TRUE(returnToMenu);
    EXPECT_TRUE(ShowsText(Screen(), 40, 320, "Send and fetch scores"));
    EXPECT_TRUE(ShowsText(Screen(), 40, 340, "from the Internet?"));
    EXPECT_TRUE(ShowsText(Screen(), 40, 370, "  YES"));
    EXPECT_TRUE(ShowsText(Screen(), 40, 390, "[ NO ]"));
    SDL_Delay(100);  // a connection, had there been one, would have arrived by now
    EXPECT_EQ(server.Connections(), 0);
    EXPECT_EQ(server.Received(), "");
}

TEST_F(ScoreScreenTest, QuestionMarksTheChoice) {
    Push(SDLK_RETURN);
    Push(SDLK_ESCAPE);
    bool returnToMenu = true;
    ScoreScreen(ParseScoreServer("h")).Run(5, returnToMenu);
    EXPECT_TRUE(returnToMenu);
    EXPECT_TRUE(ShowsText(Screen(), 40, 370, "[ YES ]"));
    EXPECT_TRUE(ShowsText(Screen(), 40, 390, "  NO"));
}

TEST_F(ScoreScreenTest, MissingPictureFailsToLoad) {
    WriteTestPackage("data/gui.rkp", 1, {{"menu.png", SolidBmp(4, 4, 1, 2, 3)}});
    bool returnToMenu = true;
    EXPECT_THROW(ScoreScreen(ParseScoreServer("h")).Run(5, returnToMenu), FileLoadingFailed);
    int delay = -1;
    int interval = -1;
    SDL_GetKeyRepeat(&delay, &interval);
    EXPECT_EQ(delay, 0);
}

}  // namespace
