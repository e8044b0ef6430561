#include "app/title.h"

#include "engine/errors.h"
#include "engine/package.h"
#include "engine/video.h"
#include "tests/app/app_test_support.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>

namespace {

class TitleTest : public ::testing::Test {
  protected:
    void SetUp() override {
        DrainEvents();
        SDL_FillRect(screen.Screen(), nullptr, 0);
        WriteFileBytes("title.bmp", SolidBmp(640, 480, 10, 200, 30));
        picture.Load("title.bmp");
    }
    void TearDown() override { std::remove("title.bmp"); }

    ScreenGuard screen;
    Sprite picture;
};

SDL_Event EventOfType(Uint8 type) {
    SDL_Event event{};
    event.type = type;
    return event;
}

}  // namespace

TEST_F(TitleTest, OnlyKeyPressesAndClosingEndTheTitle) {
    EXPECT_TRUE(EndsTitle(EventOfType(SDL_KEYDOWN)));
    EXPECT_TRUE(EndsTitle(EventOfType(SDL_QUIT)));
    EXPECT_FALSE(EndsTitle(EventOfType(SDL_KEYUP)));
    EXPECT_FALSE(EndsTitle(EventOfType(SDL_MOUSEBUTTONDOWN)));
    EXPECT_FALSE(EndsTitle(EventOfType(SDL_MOUSEBUTTONUP)));
    EXPECT_FALSE(EndsTitle(EventOfType(SDL_MOUSEMOTION)));
    EXPECT_FALSE(EndsTitle(EventOfType(SDL_ACTIVEEVENT)));
}

TEST_F(TitleTest, WithoutInputItEndsAfterThreeSecondsAndHasDrawnThePicture) {
    SteppingClock clock(50000, 7);
    ShowTitle(picture);
    // The first reading is the start; the title goes on until a reading of 3000 ms later.
    const Uint32 shownFor = SteppingClock::LastReading() - 50000;
    EXPECT_GE(shownFor, TitleMilliseconds);
    EXPECT_LT(shownFor, TitleMilliseconds + 7);
    EXPECT_TRUE(IsColour(PixelColour(screen.Screen(), 320, 240), 10, 200, 30));
    EXPECT_TRUE(IsColour(PixelColour(screen.Screen(), 639, 479), 10, 200, 30));
}

TEST_F(TitleTest, MouseButtonsMotionAndKeyReleasesDoNotEndIt) {
    PushMouseButton(SDL_MOUSEBUTTONDOWN, 100, 100);
    PushMouseButton(SDL_MOUSEBUTTONUP, 100, 100);
    PushMouseButton(SDL_MOUSEBUTTONDOWN, 320, 240, SDL_BUTTON_RIGHT);
    PushMouseMotion(5, 5);
    PushKeyUp(SDLK_SPACE);
    SteppingClock clock(1000, 5);
    ShowTitle(picture);
    EXPECT_GE(SteppingClock::LastReading() - 1000, TitleMilliseconds);
}

TEST_F(TitleTest, AKeyPressEndsItAtOnceYetThePictureIsShown) {
    PushMouseMotion(5, 5);
    PushKeyDown(SDLK_a);
    PushMouseMotion(6, 6);
    SteppingClock clock(1000, 5);
    ShowTitle(picture);
    EXPECT_LT(SteppingClock::LastReading() - 1000, TitleMilliseconds);
    // The pass that ended the title still drew it.
    EXPECT_TRUE(IsColour(PixelColour(screen.Screen(), 0, 0), 10, 200, 30));
    // Every pending event was taken, the ones after the key too.
    SDL_Event event;
    EXPECT_EQ(SDL_PollEvent(&event), 0);
}

TEST_F(TitleTest, ClosingTheWindowEndsIt) {
    PushQuit();
    SteppingClock clock(1000, 5);
    ShowTitle(picture);
    EXPECT_LT(SteppingClock::LastReading() - 1000, TitleMilliseconds);
}

TEST_F(TitleTest, TheClockWrappingRoundDoesNotCutTheTitleShort) {
    const Uint32 start = 0xFFFFFFFFu - 1000;
    SteppingClock clock(start, 3);
    ShowTitle(picture);
    const Uint32 shownFor = SteppingClock::LastReading() - start;
    EXPECT_GE(shownFor, TitleMilliseconds);
    EXPECT_LT(shownFor, TitleMilliseconds + 3);
}

TEST_F(TitleTest, ThePictureComesFromTheInterfacePackage) {
    std::filesystem::create_directories("data");
    WriteTestPackage(
        "data/gui.rkp", 9,
        {{"start_menu.png", SolidBmp(4, 4, 1, 2, 3)}, {"start.png", SolidBmp(640, 480, 200, 20, 90)}});
    Sprite title = LoadTitlePicture();
    EXPECT_EQ(title.GetWidth(), 640);
    EXPECT_EQ(title.GetHeight(), 480);
    EXPECT_FALSE(FileExists(ScratchFile));
    title.Draw(screen.Screen(), 0, 0);
    EXPECT_TRUE(IsColour(PixelColour(screen.Screen(), 10, 10), 200, 20, 90));

    WriteTestPackage("data/gui.rkp", 9, {{"Start.png", SolidBmp(4, 4, 1, 2, 3)}});
    try {
        LoadTitlePicture();
        FAIL() << "a package without start.png gave a title picture";
    } catch (const FileLoadingFailed& failure) {
        EXPECT_STREQ(failure.what(), "Failed to load file \"start.png\".");
        EXPECT_EQ(failure.GetDetails(), "Not found inside package.");
    }
    std::remove("data/gui.rkp");
}
