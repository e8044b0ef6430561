#include "app/help.h"

#include "engine/errors.h"
#include "engine/package.h"
#include "engine/video.h"
#include "tests/app/app_test_support.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>

namespace {

SDL_Event OfType(Uint8 type) {
    SDL_Event event{};
    event.type = type;
    return event;
}

class HelpTest : public ::testing::Test {
  protected:
    void SetUp() override { std::filesystem::create_directories("data"); }
    void TearDown() override { std::remove("data/gui.rkp"); }

    // Pages in red, green and blue; the box given by the caller.
    void WriteHelpPackage(const std::string& box) {
        WriteTestPackage("data/gui.rkp", 77,
                         {{"start.png", SolidBmp(4, 4, 9, 9, 9)},
                          {"help1.png", SolidBmp(640, 480, 200, 0, 0)},
                          {"help2.png", SolidBmp(640, 480, 0, 200, 0)},
                          {"help3.png", SolidBmp(640, 480, 0, 0, 200)},
                          {"helpbox.png", box}});
    }

    SDL_Color At(int x, int y) const { return PixelColour(screen.Screen(), x, y); }

    ScreenGuard screen;
};

}  // namespace

TEST(HelpPagerTest, ABurstOfKeysTurnsOnePageOnly) {
    HelpPager pager;
    EXPECT_EQ(pager.Page(), 1);
    pager.OnEvent(OfType(SDL_KEYDOWN));
    pager.OnEvent(OfType(SDL_KEYUP));
    pager.OnEvent(OfType(SDL_KEYDOWN));
    pager.OnEvent(OfType(SDL_KEYDOWN));
    EXPECT_EQ(pager.Page(), 1) << "a page ends only when the queue is empty";
    pager.OnQueueEmpty();
    EXPECT_EQ(pager.Page(), 2);
    // The keys of the last burst are spent.
    pager.OnQueueEmpty();
    EXPECT_EQ(pager.Page(), 2);
}

TEST(HelpPagerTest, OnlyKeyPressesTurnPages) {
    HelpPager pager;
    for (Uint8 type :
         {SDL_KEYUP, SDL_MOUSEMOTION, SDL_MOUSEBUTTONDOWN, SDL_MOUSEBUTTONUP, SDL_QUIT, SDL_ACTIVEEVENT}) {
        pager.OnEvent(OfType(type));
        pager.OnQueueEmpty();
        EXPECT_EQ(pager.Page(), 1) << "event type " << int(type);
    }
}

TEST(HelpPagerTest, FourPagesThenDone) {
    HelpPager pager;
    for (int page = 1; page <= HelpPageCount; ++page) {
        EXPECT_EQ(pager.Page(), page);
        EXPECT_FALSE(pager.Done());
        pager.OnEvent(OfType(SDL_KEYDOWN));
        pager.OnQueueEmpty();
    }
    EXPECT_TRUE(pager.Done());
    pager.OnEvent(OfType(SDL_KEYDOWN));
    pager.OnQueueEmpty();
    EXPECT_TRUE(pager.Done());
}

TEST_F(HelpTest, PagesOneToThreeAreTheirPictures) {
    WriteHelpPackage(SolidBmp(100, 50, 250, 250, 0));
    HelpPictures pictures = LoadHelpPictures();
    EXPECT_FALSE(FileExists(ScratchFile));
    DrawHelpPage(pictures, 1, screen.Screen());
    EXPECT_TRUE(IsColour(At(320, 240), 200, 0, 0));
    DrawHelpPage(pictures, 2, screen.Screen());
    EXPECT_TRUE(IsColour(At(320, 240), 0, 200, 0));
    DrawHelpPage(pictures, 3, screen.Screen());
    EXPECT_TRUE(IsColour(At(320, 240), 0, 0, 200));
    EXPECT_TRUE(IsColour(At(0, 0), 0, 0, 200));
}

TEST_F(HelpTest, PageFourCentresTheBoxOverPageThree) {
    // Odd sizes: the halves are truncated, so the box starts at (270, 215).
    WriteHelpPackage(SolidBmp(101, 51, 250, 250, 0));
    HelpPictures pictures = LoadHelpPictures();
    DrawHelpPage(pictures, 4, screen.Screen());
    EXPECT_TRUE(IsColour(At(270, 215), 250, 250, 0));
    EXPECT_TRUE(IsColour(At(370, 265), 250, 250, 0));
    EXPECT_TRUE(IsColour(At(269, 215), 0, 0, 200));
    EXPECT_TRUE(IsColour(At(270, 214), 0, 0, 200));
    EXPECT_TRUE(IsColour(At(371, 265), 0, 0, 200));
    EXPECT_TRUE(IsColour(At(370, 266), 0, 0, 200));
    EXPECT_TRUE(IsColour(At(0, 0), 0, 0, 200));
}

TEST_F(HelpTest, WhiteInTheBoxLetsPageThreeShowThrough) {
    WriteHelpPackage(SolidBmp(200, 100, 255, 255, 255));
    HelpPictures pictures = LoadHelpPictures();
    EXPECT_EQ(pictures.box.GetWidth(), 200);
    DrawHelpPage(pictures, 4, screen.Screen());
    EXPECT_TRUE(IsColour(At(320, 240), 0, 0, 200));
    EXPECT_TRUE(IsColour(At(220, 190), 0, 0, 200));
}

TEST_F(HelpTest, AMissingHelpPictureIsReportedByName) {
    WriteTestPackage("data/gui.rkp", 5,
                     {{"help1.png", SolidBmp(4, 4, 1, 1, 1)},
                      {"help2.png", SolidBmp(4, 4, 1, 1, 1)},
                      {"help3.png", SolidBmp(4, 4, 1, 1, 1)}});
    try {
        LoadHelpPictures();
        FAIL() << "loaded without helpbox.png";
    } catch (const FileLoadingFailed& failure) {
        EXPECT_STREQ(failure.what(), "Failed to load file \"helpbox.png\".");
        EXPECT_EQ(failure.GetDetails(), "Not found inside package.");
    }
    EXPECT_FALSE(FileExists(ScratchFile));

    WriteTestPackage("data/gui.rkp", 5,
                     {{"help1.png", SolidBmp(4, 4, 1, 1, 1)},
                      {"help2.png", "not a picture"},
                      {"help3.png", SolidBmp(4, 4, 1, 1, 1)},
                      {"helpbox.png", SolidBmp(4, 4, 1, 1, 1)}});
    try {
        LoadHelpPictures();
        FAIL() << "loaded a help page that is no picture";
    } catch (const FileLoadingFailed& failure) {
        EXPECT_STREQ(failure.what(), "Failed to load file \"temp.tmp\".");
    }
}
