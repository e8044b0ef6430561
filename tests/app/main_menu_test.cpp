#include "app/main_menu.h"

#include "engine/errors.h"
#include "engine/package.h"
#include "engine/text.h"
#include "tests/app/app_test_support.h"

#include <SDL_ttf.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <vector>

namespace {

class MainMenuTest : public AppTest {
  protected:
    void SetUp() override {
        AppTest::SetUp();
        TTF_Init();
        std::filesystem::copy_file(SystemFont, "guifont.ttf",
                                   std::filesystem::copy_options::overwrite_existing);
        WriteTestPackage(
            "data/gui.rkp", 40,
            {{"start.png", SolidBmp(8, 8, 1, 1, 1)}, {"start_menu.png", SolidBmp(640, 480, 20, 40, 60)}});
    }
    void TearDown() override {
        menu.Unload();
        std::remove("guifont.ttf");
        TTF_Quit();
        AppTest::TearDown();
    }

    // The words' area as drawn now.
    std::vector<Uint32> WordArea() const {
        std::vector<Uint32> pixels;
        for (int y = 290; y < 470; ++y) {
            for (int x = 90; x < 420; ++x) {
                const SDL_Color c = PixelColour(screen.Screen(), x, y);
                pixels.push_back(c.r << 16 | c.g << 8 | c.b);
            }
        }
        return pixels;
    }
    // The menu over a screen of one colour, against the words drawn by hand: 36-point
    // "guifont.ttf" at (100, 300), (100, 350), (100, 400), red, the chosen one light red.
    void ExpectWords(int32_t chosen, Uint8 r, Uint8 g, Uint8 b) {
        SDL_Surface* s = screen.Screen();
        SDL_FillRect(s, nullptr, SDL_MapRGB(s->format, r, g, b));
        menu.Draw(s);
        const std::vector<Uint32> drawn = WordArea();
        SDL_FillRect(s, nullptr, SDL_MapRGB(s->format, r, g, b));
        Font font;
        font.Load("guifont.ttf", 36);
        const char* words[] = {"Begin", "Help", "Quit"};
        for (int i = 0; i < 3; ++i) {
            font.Draw(s, 100, 300 + 50 * i, words[i], 255, i == chosen ? 128 : 0, i == chosen ? 128 : 0);
        }
        EXPECT_TRUE(drawn == WordArea()) << "chosen " << chosen;
        EXPECT_LT(std::count(drawn.begin(), drawn.end(), Uint32(r << 16 | g << 8 | b)), drawn.size() - 1000)
            << "the words are drawn";
    }

    MainMenu menu;
};

}  // namespace

TEST_F(MainMenuTest, ArrowsWrapRoundOnlyReturnChoosesAndClosingQuits) {
    const SDLKey arrows[] = {SDLK_UP, SDLK_DOWN, SDLK_DOWN, SDLK_DOWN, SDLK_DOWN, SDLK_UP, SDLK_UP};
    const int32_t selected[] = {MenuQuit, MenuBegin, MenuHelp, MenuQuit, MenuBegin, MenuQuit, MenuHelp};
    EXPECT_EQ(menu.Selected(), MenuBegin);
    for (int i = 0; i < 7; ++i) {
        EXPECT_EQ(menu.HandleEvent(Event(SDL_KEYDOWN, arrows[i])), -1);
        EXPECT_EQ(menu.Selected(), selected[i]) << "step " << i;
    }
    for (const SDL_Event& other :
         {Event(SDL_KEYUP, SDLK_DOWN), Event(SDL_KEYDOWN, SDLK_ESCAPE), Event(SDL_KEYDOWN, SDLK_KP_ENTER),
          Event(SDL_KEYDOWN, SDLK_RIGHT), Event(SDL_MOUSEBUTTONDOWN), Event(SDL_KEYUP, SDLK_RETURN)}) {
        EXPECT_EQ(menu.HandleEvent(other), -1) << "event type " << int(other.type);
    }
    EXPECT_EQ(menu.Selected(), MenuHelp);
    EXPECT_EQ(menu.HandleEvent(Event(SDL_KEYDOWN, SDLK_RETURN)), MenuHelp);
    EXPECT_EQ(menu.HandleEvent(Event(SDL_QUIT)), MenuQuit);
}

TEST_F(MainMenuTest, RunTakesQueuedEventsInOrderAndEveryShowingStartsOnBegin) {
    menu.Load();
    Push(SDL_MOUSEBUTTONDOWN);
    Push(SDL_KEYDOWN, SDLK_DOWN);
    Push(SDL_KEYUP, SDLK_DOWN);
    Push(SDL_KEYDOWN, SDLK_RETURN);
    Push(SDL_KEYDOWN, SDLK_DOWN);
    EXPECT_EQ(menu.Run(), MenuHelp);
    // Run returns at the Return; what follows stays queued for the next screen.
    SDL_Event event;
    ASSERT_EQ(SDL_PollEvent(&event), 1);
    EXPECT_EQ(event.key.keysym.sym, SDLK_DOWN);
    Push(SDL_KEYDOWN, SDLK_UP);
    Push(SDL_QUIT);
    Push(SDL_KEYDOWN, SDLK_RETURN);
    EXPECT_EQ(menu.Run(), MenuQuit);
    DrainEvents();
    menu.Unload();
    menu.Load();
    EXPECT_EQ(menu.Selected(), MenuBegin);
    EXPECT_FALSE(FileExists(ScratchFile));
}

TEST_F(MainMenuTest, DrawsThePictureThenTheWordsTheHighlightedOneInLightRed) {
    menu.Load();
    menu.Draw(screen.Screen());
    EXPECT_TRUE(At(600, 20, 20, 40, 60));
    for (int32_t chosen : {MenuBegin, MenuQuit, MenuHelp}) {
        ExpectWords(chosen, 20, 40, 60);
        menu.HandleEvent(Event(SDL_KEYDOWN, SDLK_UP));
    }
    menu.Unload();
    SDL_FillRect(screen.Screen(), nullptr, 0);
    menu.Draw(screen.Screen());
    const std::vector<Uint32> area = WordArea();
    EXPECT_EQ(std::count(area.begin(), area.end(), 0u), area.size()) << "an unloaded menu draws nothing";

    // Without its picture the words go over what the screen held.
    WriteTestPackage("data/gui.rkp", 3, {{"start_menu.png", "this is no picture"}});
    menu.Load();
    ExpectWords(MenuBegin, 0, 0, 255);
    EXPECT_TRUE(At(600, 20, 0, 0, 255));
}

TEST_F(MainMenuTest, MissingFontOrPictureIsReportedByName) {
    std::remove("guifont.ttf");
    EXPECT_EQ(LoadFailure([this] { menu.Load(); }).find("Failed to load file \"guifont.ttf\". "), 0u);
    std::filesystem::copy_file(SystemFont, "guifont.ttf");
    WriteTestPackage("data/gui.rkp", 3, {{"start.png", SolidBmp(4, 4, 1, 2, 3)}});
    EXPECT_EQ(LoadFailure([this] { menu.Load(); }),
              "Failed to load file \"start_menu.png\". Not found inside package.");
}
