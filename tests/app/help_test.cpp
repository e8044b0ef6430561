#include "app/help.h"

#include "engine/package.h"
#include "tests/app/app_test_support.h"

#include <gtest/gtest.h>

namespace {

class HelpTest : public AppTest {
  protected:
    // Pages in red, green and blue; the box given by the caller.
    void WriteHelpPackage(const std::string& box, const std::string& page2 = SolidBmp(640, 480, 0, 200, 0)) {
        WriteTestPackage("data/gui.rkp", 77,
                         {{"help1.png", SolidBmp(640, 480, 200, 0, 0)},
                          {"help2.png", page2},
                          {"help3.png", SolidBmp(640, 480, 0, 0, 200)},
                          {"helpbox.png", box}});
    }
};

}  // namespace

// A page ends when the queue runs empty after a key press: a burst of keys turns one page.
TEST(HelpPagerTest, EachBurstWithAKeyPressTurnsOnePageFourPagesThenDone) {
    HelpPager pager;
    for (Uint8 type : {SDL_KEYUP, SDL_MOUSEMOTION, SDL_MOUSEBUTTONDOWN, SDL_QUIT, SDL_ACTIVEEVENT}) {
        pager.OnEvent(Event(type));
    }
    pager.OnQueueEmpty();
    EXPECT_EQ(pager.Page(), 1) << "only key presses turn pages";
    for (int page = 1; page <= HelpPageCount; ++page) {
        EXPECT_EQ(pager.Page(), page);
        EXPECT_FALSE(pager.Done());
        pager.OnEvent(Event(SDL_KEYDOWN));
        pager.OnEvent(Event(SDL_KEYDOWN));
        EXPECT_EQ(pager.Page(), page) << "a page ends only when the queue is empty";
        pager.OnQueueEmpty();
        pager.OnQueueEmpty();  // the keys of the last burst are spent
    }
    EXPECT_TRUE(pager.Done());
    pager.OnEvent(Event(SDL_KEYDOWN));
    pager.OnQueueEmpty();
    EXPECT_TRUE(pager.Done());
}

TEST_F(HelpTest, PagesOneToThreeAreTheirPicturesPageFourCentresTheBox) {
    // Odd sizes: the halves are truncated, so the box covers (270, 215) to (370, 265).
    WriteHelpPackage(SolidBmp(101, 51, 250, 250, 0));
    HelpPictures pictures = LoadHelpPictures();
    EXPECT_FALSE(FileExists(ScratchFile));
    DrawHelpPage(pictures, 1, screen.Screen());
    EXPECT_TRUE(At(0, 0, 200, 0, 0));
    DrawHelpPage(pictures, 2, screen.Screen());
    EXPECT_TRUE(At(320, 240, 0, 200, 0));
    for (int page : {0, 5}) {
        DrawHelpPage(pictures, page, screen.Screen());
        EXPECT_TRUE(At(320, 240, 0, 200, 0)) << "page " << page << " draws nothing";
    }
    DrawHelpPage(pictures, 3, screen.Screen());
    EXPECT_TRUE(At(320, 240, 0, 0, 200));
    DrawHelpPage(pictures, 4, screen.Screen());
    EXPECT_TRUE(At(270, 215, 250, 250, 0));
    EXPECT_TRUE(At(370, 265, 250, 250, 0));
    EXPECT_TRUE(At(269, 215, 0, 0, 200));
    EXPECT_TRUE(At(270, 214, 0, 0, 200));
    EXPECT_TRUE(At(371, 265, 0, 0, 200));
    EXPECT_TRUE(At(370, 266, 0, 0, 200));
    EXPECT_TRUE(At(0, 0, 0, 0, 200));

    // White in the box lets page 3 show through.
    WriteHelpPackage(SolidBmp(200, 100, 255, 255, 255));
    pictures = LoadHelpPictures();
    DrawHelpPage(pictures, 4, screen.Screen());
    EXPECT_TRUE(At(320, 240, 0, 0, 200));
}

TEST_F(HelpTest, AMissingOrBrokenHelpPictureIsReported) {
    WriteTestPackage("data/gui.rkp", 5, {{"help1.png", SolidBmp(4, 4, 1, 1, 1)}});
    EXPECT_EQ(FailureText(LoadHelpPictures), "Failed to load file \"help2.png\". Not found inside package.");
    EXPECT_FALSE(FileExists(ScratchFile));
    WriteHelpPackage(SolidBmp(4, 4, 1, 1, 1), "not a picture");
    EXPECT_EQ(FailureText(LoadHelpPictures).find("Failed to load file \"temp.tmp\". "), 0u);
}
