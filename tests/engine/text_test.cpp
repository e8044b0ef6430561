#include "engine/text.h"

#include "engine/errors.h"
#include "engine/video.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>

using Pieces = std::vector<std::string>;

// NextToken is Split's step and has no other caller.
TEST(Text, SplitKeepsAtMostTheLargestCount) {
    EXPECT_EQ(Split("a|b|c", "|", -1), (Pieces{"a", "b", "c"}));
    EXPECT_EQ(Split("a|b|c", "|", 2), (Pieces{"a", "b"}));
    EXPECT_EQ(Split("a|b", "|", 2), (Pieces{"a", "b"}));
    EXPECT_EQ(Split("a|b|", "|", 16), (Pieces{"a", "b", ""}));
    EXPECT_EQ(Split("", "|", 16), (Pieces{""}));
    EXPECT_EQ(Split("x&&y", "&&", -1), (Pieces{"x", "y"}));
    EXPECT_EQ(Split("a|b|c", "|", 0), (Pieces{"a"}));
    EXPECT_EQ(Split("a|b|c", "|", -7), (Pieces{"a"}));
    EXPECT_EQ(Split("||", "|", -1), (Pieces{"", "", ""}));
    EXPECT_EQ(Split("abc", "", -1), (Pieces{"abc"})) << "an empty separator never loops";
}

TEST(Text, FontsOpenMeasureAndDrawTextAtItsCornerClipped) {
    ScreenGuard screen;
    ASSERT_EQ(TTF_Init(), 0);
    {
        Font font;
        EXPECT_EQ(font.TextWidth("abc"), 0);
        font.Draw(screen.Screen(), 0, 0, "closed fonts draw nothing", 255, 255, 255);
        EXPECT_THROW(font.Load("missing.ttf", 16), FileLoadingFailed);
        EXPECT_EQ(font.GetHandle(), nullptr);
        font.Load(QUORVEL_FONT_FILE, 16);
        const int small = font.TextWidth("IIII");
        font.Load(QUORVEL_FONT_FILE, 36);
        const int width = font.TextWidth("IIII");
        EXPECT_GT(width, 2 * small);
        EXPECT_GT(small, 0);
        EXPECT_EQ(font.TextWidth(""), 0);

        SDL_Surface* surface = screen.Screen();
        const SDL_Color red{255, 0, 0, 0};
        SDL_FillRect(surface, nullptr, 0);
        font.Draw(surface, 100, 0, "IIII", 255, 0, 0);
        EXPECT_FALSE(AnyPixel(surface, 0, 0, 99, 59, red));
        EXPECT_TRUE(AnyPixel(surface, 100, 0, 99 + width, 59, red));
        EXPECT_FALSE(AnyPixel(surface, 100 + width + 2, 0, 639, 59, red));

        SDL_FillRect(surface, nullptr, 0);
        font.Draw(surface, -width / 2, 0, "IIII", red);
        EXPECT_TRUE(AnyPixel(surface, 0, 0, width / 2 - 1, 59, red)) << "the part on the screen is drawn";
        EXPECT_FALSE(AnyPixel(surface, width / 2 + 2, 0, 639, 59, red));
        font.Draw(surface, 0, 0, "", 255, 0, 0);  // nothing rendered, nothing drawn
        font.Close();
        EXPECT_EQ(font.GetHandle(), nullptr);
    }
    TTF_Quit();
}
