#include "app/main_menu.h"

#include "engine/errors.h"
#include "engine/package.h"
#include "tests/app/app_test_support.h"

#include <SDL_ttf.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>

namespace {

class MainMenuTest : public ::testing::Test {
  protected:
    void SetUp() override {
        TTF_Init();
        DrainEvents();
        std::filesystem::create_directories("data");
        std::filesystem::copy_file(SystemFont, "guifont.ttf",
                                   std::filesystem::copy_options::overwrite_existing);
        WriteTestPackage(
            "data/gui.rkp", 40,
            {{"start.png", SolidBmp(8, 8, 1, 1, 1)}, {"start_menu.png", SolidBmp(640, 480, 20, 40, 60)}});
    }
    void TearDown() override {
        menu.Unload();
        std::remove("guifont.ttf");
        std::remove("data/gui.rkp");
        TTF_Quit();
    }

    // Pixels of the colour in the box of a word: (100, 300), (100, 350), (100, 400), 240 x 50.
    int In(int entry, Uint8 g, Uint8 b) const {
        return CountColour(screen.Screen(), 100, 300 + 50 * entry, 240, 50, 255, g, b);
    }
    // Exactly one word in light red, the other two in red.
    void ExpectHighlighted(int entry) const {
        for (int other = 0; other < MenuEntries; ++other) {
            EXPECT_EQ(In(other, 128, 128) > 100, other == entry) << "entry " << other;
            EXPECT_EQ(In(other, 0, 0) > 100, other != entry) << "entry " << other;
            EXPECT_EQ(In(other, 128, 128) * In(other, 0, 0), 0) << "entry " << other;
        }
    }

    ScreenGuard screen;
    MainMenu menu;
};

}  // namespace

TEST_F(MainMenuTest, ArrowsWrapRoundOnlyReturnChoosesAndClosingQuits) {
    const struct {
        SDL_Event event;
        int32_t choice, selected;
    } steps[] = {
        {Event(SDL_KEYDOWN, SDLK_UP), -1, MenuQuit},
        {Event(SDL_KEYDOWN, SDLK_DOWN), -1, MenuBegin},
        {Event(SDL_KEYDOWN, SDLK_DOWN), -1, MenuHelp},
        {Event(SDL_KEYDOWN, SDLK_DOWN), -1, MenuQuit},
        {Event(SDL_KEYDOWN, SDLK_DOWN), -1, MenuBegin},
        {Event(SDL_KEYDOWN, SDLK_UP), -1, MenuQuit},
        {Event(SDL_KEYDOWN, SDLK_UP), -1, MenuHelp},
        {Event(SDL_KEYUP, SDLK_DOWN), -1, MenuHelp},
        {Event(SDL_KEYDOWN, SDLK_ESCAPE), -1, MenuHelp},
        {Event(SDL_KEYDOWN, SDLK_SPACE), -1, MenuHelp},
        {Event(SDL_KEYDOWN, SDLK_KP_ENTER), -1, MenuHelp},
        {Event(SDL_KEYDOWN, SDLK_RIGHT), -1, MenuHelp},
        {Event(SDL_MOUSEBUTTONDOWN), -1, MenuHelp},
        {Event(SDL_KEYUP, SDLK_RETURN), -1, MenuHelp},
        {Event(SDL_KEYDOWN, SDLK_RETURN), MenuHelp, MenuHelp},
        {Event(SDL_QUIT), MenuQuit, MenuHelp},
    };
    EXPECT_EQ(menu.Selected(), MenuBegin);
    for (std::size_t i = 0; i < std::size(steps); ++i) {
        EXPECT_EQ(menu.HandleEvent(steps[i].event), steps[i].choice) << "step " << i;
        EXPECT_EQ(menu.Selected(), steps[i].selected) << "step " << i;
    }
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
    EXPECT_TRUE(IsColour(PixelColour(screen.Screen(), 600, 20), 20, 40, 60));
    EXPECT_TRUE(IsColour(PixelColour(screen.Screen(), 99, 320), 20, 40, 60));
    ExpectHighlighted(MenuBegin);
    menu.HandleEvent(Event(SDL_KEYDOWN, SDLK_UP));
    menu.Draw(screen.Screen());
    ExpectHighlighted(MenuQuit);
    menu.HandleEvent(Event(SDL_KEYDOWN, SDLK_UP));
    menu.Draw(screen.Screen());
    ExpectHighlighted(MenuHelp);
    menu.Unload();
    SDL_FillRect(screen.Screen(), nullptr, 0);
    menu.Draw(screen.Screen());
    for (int entry = 0; entry < MenuEntries; ++entry) {
        EXPECT_EQ(In(entry, 128, 128) + In(entry, 0, 0), 0) << "an unloaded menu draws no words";
    }

    // Without its picture the words go over what the screen held.
    WriteTestPackage("data/gui.rkp", 3, {{"start_menu.png", "this is no picture"}});
    menu.Load();
    SDL_FillRect(screen.Screen(), nullptr, SDL_MapRGB(screen.Screen()->format, 0, 0, 255));
    menu.Draw(screen.Screen());
    EXPECT_TRUE(IsColour(PixelColour(screen.Screen(), 600, 20), 0, 0, 255));
    ExpectHighlighted(MenuBegin);
}

TEST_F(MainMenuTest, MissingFontOrPictureIsReportedByName) {
    std::remove("guifont.ttf");
    try {
        menu.Load();
        FAIL() << "loaded without a font file";
    } catch (const FileLoadingFailed& failure) {
        EXPECT_STREQ(failure.what(), "Failed to load file \"guifont.ttf\".");
    }
    std::filesystem::copy_file(SystemFont, "guifont.ttf");
    WriteTestPackage("data/gui.rkp", 3, {{"start.png", SolidBmp(4, 4, 1, 2, 3)}});
    try {
        menu.Load();
        FAIL() << "loaded without start_menu.png";
    } catch (const FileLoadingFailed& failure) {
        EXPECT_STREQ(failure.what(), "Failed to load file \"start_menu.png\".");
        EXPECT_EQ(failure.GetDetails(), "Not found inside package.");
    }
}
