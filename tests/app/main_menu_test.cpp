#include "app/main_menu.h"

#include "engine/package.h"
#include "tests/app/app_test_support.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>

namespace {

constexpr SDL_Color Red{255, 0, 0, 0};
constexpr SDL_Color LightRed{255, 128, 128, 0};

class MainMenuTest : public AppTest {
  protected:
    void SetUp() override {
        AppTest::SetUp();
        std::filesystem::copy_file(SystemFont, "guifont.ttf",
                                   std::filesystem::copy_options::overwrite_existing);
        WriteTestPackage(
            "data/gui.rkp", 40,
            {{"start.png", SolidBmp(8, 8, 1, 1, 1)}, {"start_menu.png", SolidBmp(640, 480, 20, 40, 60)}});
    }
    void TearDown() override {
        menu.Unload();
        std::remove("guifont.ttf");
        AppTest::TearDown();
    }

    // The words in 36-point "guifont.ttf" at (100, 300), (100, 350), (100, 400), the chosen one light red.
    void ExpectWords(int32_t chosen) {
        const char* words[] = {"Begin", "Help", "Quit"};
        for (int i = 0; i < 3; ++i) {
            EXPECT_TRUE(ShowsText(screen.Screen(), 100, 300 + 50 * i, words[i], i == chosen ? LightRed : Red))
                << "chosen " << chosen;
        }
    }

    FontGuard font{36};
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

// Run returns at the Return; what follows stays queued for the next screen.
TEST_F(MainMenuTest, RunTakesQueuedEventsInOrderAndEveryShowingStartsOnBegin) {
    menu.Load();
    for (SDLKey key : {SDLK_UNKNOWN, SDLK_DOWN, SDLK_RETURN, SDLK_DOWN}) {
        Push(key == SDLK_UNKNOWN ? SDL_MOUSEBUTTONDOWN : SDL_KEYDOWN, key);
        Push(SDL_KEYUP, key);
    }
    EXPECT_EQ(menu.Run(), MenuHelp);
    SDL_Event event;
    ASSERT_EQ(SDL_PollEvent(&event), 1);
    EXPECT_EQ(event.key.keysym.sym, SDLK_RETURN);
    DrainEvents();
    menu.Unload();
    menu.Load();
    EXPECT_EQ(menu.Selected(), MenuBegin);
    EXPECT_FALSE(FileExists(ScratchFile));
}

TEST_F(MainMenuTest, DrawsThePictureThenTheWordsTheHighlightedOneInLightRed) {
    menu.Load();
    for (int32_t chosen : {MenuBegin, MenuQuit, MenuHelp}) {
        menu.Draw(screen.Screen());
        ExpectWords(chosen);
        menu.HandleEvent(Event(SDL_KEYDOWN, SDLK_UP));
    }
    EXPECT_TRUE(At(600, 20, 20, 40, 60));
    menu.Unload();
    SDL_FillRect(screen.Screen(), nullptr, 0);
    menu.Draw(screen.Screen());
    EXPECT_FALSE(AnyPixel(screen.Screen(), 0, 0, 639, 479, Red)) << "an unloaded menu draws nothing";

    // Without its picture the words go over what the screen held.
    WriteTestPackage("data/gui.rkp", 3, {{"start_menu.png", "this is no picture"}});
    menu.Load();
    SDL_FillRect(screen.Screen(), nullptr, SDL_MapRGB(screen.Screen()->format, 0, 0, 255));
    menu.Draw(screen.Screen());
    ExpectWords(MenuBegin);
    EXPECT_TRUE(At(600, 20, 0, 0, 255));
}

TEST_F(MainMenuTest, MissingFontOrPictureIsReportedByName) {
    std::remove("guifont.ttf");
    EXPECT_EQ(FailureText([this] { menu.Load(); }).find("Failed to load file \"guifont.ttf\". "), 0u);
    std::filesystem::copy_file(SystemFont, "guifont.ttf");
    WriteTestPackage("data/gui.rkp", 3, {{"start.png", SolidBmp(4, 4, 1, 2, 3)}});
    EXPECT_EQ(FailureText([this] { menu.Load(); }),
              "Failed to load file \"start_menu.png\". Not found inside package.");
}
