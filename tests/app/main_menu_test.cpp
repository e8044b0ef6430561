#include "app/main_menu.h"

#include "engine/errors.h"
#include "engine/package.h"
#include "engine/video.h"
#include "tests/app/app_test_support.h"
#include "tests/support/test_support.h"

#include <SDL_ttf.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>

namespace {

SDL_Event KeyDown(SDLKey key) {
    SDL_Event event{};
    event.type = SDL_KEYDOWN;
    event.key.keysym.sym = key;
    return event;
}

SDL_Event OfType(Uint8 type) {
    SDL_Event event{};
    event.type = type;
    return event;
}

// The boxes that hold the three words.
constexpr int WordX = 100;
constexpr int WordY[3] = {300, 350, 400};
constexpr int WordWidth = 240;
constexpr int WordHeight = 50;

class MainMenuTest : public ::testing::Test {
  protected:
    void SetUp() override {
        TTF_Init();
        DrainEvents();
        std::filesystem::create_directories("data");
        std::filesystem::copy_file(SystemFontPath(), "guifont.ttf",
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

    int LightRedIn(int entry) const {
        return CountColour(screen.Screen(), WordX, WordY[entry], WordWidth, WordHeight, 255, 128, 128);
    }
    int RedIn(int entry) const {
        return CountColour(screen.Screen(), WordX, WordY[entry], WordWidth, WordHeight, 255, 0, 0);
    }
    // Exactly one word in light red, the other two in red.
    void ExpectHighlighted(int entry) const {
        for (int other = 0; other < MenuEntries; ++other) {
            if (other == entry) {
                EXPECT_GT(LightRedIn(other), 100) << "entry " << other;
                EXPECT_EQ(RedIn(other), 0) << "entry " << other;
            } else {
                EXPECT_EQ(LightRedIn(other), 0) << "entry " << other;
                EXPECT_GT(RedIn(other), 100) << "entry " << other;
            }
        }
    }

    ScreenGuard screen;
    MainMenu menu;
};

}  // namespace

TEST_F(MainMenuTest, ArrowsWrapRoundTheThreeEntries) {
    EXPECT_EQ(menu.Selected(), MenuBegin);
    EXPECT_EQ(menu.HandleEvent(KeyDown(SDLK_UP)), -1);
    EXPECT_EQ(menu.Selected(), MenuQuit);
    EXPECT_EQ(menu.HandleEvent(KeyDown(SDLK_DOWN)), -1);
    EXPECT_EQ(menu.Selected(), MenuBegin);
    menu.HandleEvent(KeyDown(SDLK_DOWN));
    EXPECT_EQ(menu.Selected(), MenuHelp);
    menu.HandleEvent(KeyDown(SDLK_DOWN));
    EXPECT_EQ(menu.Selected(), MenuQuit);
    menu.HandleEvent(KeyDown(SDLK_DOWN));
    EXPECT_EQ(menu.Selected(), MenuBegin);
    menu.HandleEvent(KeyDown(SDLK_UP));
    menu.HandleEvent(KeyDown(SDLK_UP));
    EXPECT_EQ(menu.Selected(), MenuHelp);
    EXPECT_EQ(menu.HandleEvent(KeyDown(SDLK_RETURN)), MenuHelp);
}

TEST_F(MainMenuTest, OnlyReturnChoosesAndClosingQuits) {
    menu.HandleEvent(KeyDown(SDLK_DOWN));
    for (SDLKey key : {SDLK_ESCAPE, SDLK_SPACE, SDLK_KP_ENTER, SDLK_LEFT, SDLK_RIGHT, SDLK_a}) {
        EXPECT_EQ(menu.HandleEvent(KeyDown(key)), -1) << "key " << key;
    }
    for (Uint8 type : {SDL_MOUSEBUTTONDOWN, SDL_MOUSEBUTTONUP, SDL_MOUSEMOTION, SDL_KEYUP, SDL_ACTIVEEVENT}) {
        EXPECT_EQ(menu.HandleEvent(OfType(type)), -1) << "event type " << int(type);
    }
    // A released arrow moves nothing.
    SDL_Event release = KeyDown(SDLK_DOWN);
    release.type = SDL_KEYUP;
    menu.HandleEvent(release);
    EXPECT_EQ(menu.Selected(), MenuHelp);
    EXPECT_EQ(menu.HandleEvent(OfType(SDL_QUIT)), MenuQuit);
}

TEST_F(MainMenuTest, RunTakesQueuedEventsInOrder) {
    menu.Load();
    PushMouseButton(SDL_MOUSEBUTTONDOWN, 120, 410);
    PushMouseButton(SDL_MOUSEBUTTONUP, 120, 410);
    PushKeyDown(SDLK_DOWN);
    PushKeyUp(SDLK_DOWN);
    PushKeyDown(SDLK_RETURN);
    PushKeyDown(SDLK_DOWN);
    EXPECT_EQ(menu.Run(), MenuHelp);
    // Run returns at the Return; what follows stays queued for the next screen.
    SDL_Event event;
    ASSERT_EQ(SDL_PollEvent(&event), 1);
    EXPECT_EQ(event.type, SDL_KEYDOWN);

    PushKeyDown(SDLK_UP);
    PushQuit();
    PushKeyDown(SDLK_RETURN);
    EXPECT_EQ(menu.Run(), MenuQuit);
    DrainEvents();
    menu.Unload();
}

TEST_F(MainMenuTest, EveryShowingStartsOnBegin) {
    menu.Load();
    PushKeyDown(SDLK_DOWN);
    PushKeyDown(SDLK_RETURN);
    EXPECT_EQ(menu.Run(), MenuHelp);
    menu.Unload();
    menu.Load();
    EXPECT_EQ(menu.Selected(), MenuBegin);
    EXPECT_FALSE(FileExists(ScratchFile));
    menu.Unload();
}

TEST_F(MainMenuTest, DrawsThePictureAndTheHighlightedWordInLightRed) {
    menu.Load();
    menu.Draw(screen.Screen());
    EXPECT_TRUE(IsColour(PixelColour(screen.Screen(), 600, 20), 20, 40, 60));
    EXPECT_TRUE(IsColour(PixelColour(screen.Screen(), 99, 320), 20, 40, 60));
    ExpectHighlighted(MenuBegin);
    menu.HandleEvent(KeyDown(SDLK_UP));
    menu.Draw(screen.Screen());
    ExpectHighlighted(MenuQuit);
    menu.HandleEvent(KeyDown(SDLK_UP));
    menu.Draw(screen.Screen());
    ExpectHighlighted(MenuHelp);
    menu.Unload();
}

TEST_F(MainMenuTest, WithoutItsPictureTheWordsGoOverWhatTheScreenHeld) {
    WriteTestPackage("data/gui.rkp", 3, {{"start_menu.png", "this is no picture"}});
    menu.Load();
    SDL_FillRect(screen.Screen(), nullptr, SDL_MapRGB(screen.Screen()->format, 0, 0, 255));
    menu.Draw(screen.Screen());
    EXPECT_TRUE(IsColour(PixelColour(screen.Screen(), 600, 20), 0, 0, 255));
    ExpectHighlighted(MenuBegin);
    menu.Unload();
}

TEST_F(MainMenuTest, UnloadedMenuDrawsNoWords) {
    menu.Load();
    menu.Unload();
    SDL_FillRect(screen.Screen(), nullptr, 0);
    menu.Draw(screen.Screen());
    for (int entry = 0; entry < MenuEntries; ++entry) {
        EXPECT_EQ(LightRedIn(entry) + RedIn(entry), 0);
    }
}

TEST_F(MainMenuTest, MissingFontOrPictureIsReportedByName) {
    std::remove("guifont.ttf");
    try {
        menu.Load();
        FAIL() << "loaded without a font file";
    } catch (const FileLoadingFailed& failure) {
        EXPECT_STREQ(failure.what(), "Failed to load file \"guifont.ttf\".");
    }

    std::filesystem::copy_file(SystemFontPath(), "guifont.ttf");
    WriteTestPackage("data/gui.rkp", 3, {{"start.png", SolidBmp(4, 4, 1, 2, 3)}});
    try {
        menu.Load();
        FAIL() << "loaded without start_menu.png";
    } catch (const FileLoadingFailed& failure) {
        EXPECT_STREQ(failure.what(), "Failed to load file \"start_menu.png\".");
        EXPECT_EQ(failure.GetDetails(), "Not found inside package.");
    }

    std::remove("data/gui.rkp");
    try {
        menu.Load();
        FAIL() << "loaded without a package";
    } catch (const FileLoadingFailed& failure) {
        EXPECT_STREQ(failure.what(), "Failed to load file \"data/gui.rkp\".");
        EXPECT_EQ(failure.GetDetails(), "Read-mode opening failed.");
    }
}
