#include "engine/text.h"
#include "engine/video.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>

using Pieces = std::vector<std::string>;

TEST(Text, SplitKeepsAtMostTheLargestCount) {
    EXPECT_EQ(Split("a|b|c", "|", -1), (Pieces{"a", "b", "c"}));
    EXPECT_EQ(Split("a|b|c", "|", 2), (Pieces{"a", "b"}));
    EXPECT_EQ(Split("a|b", "|", 2), (Pieces{"a", "b"}));
    EXPECT_EQ(Split("a|b|", "|", 16), (Pieces{"a", "b", ""}));
    EXPECT_EQ(Split("abc", "|", 16), (Pieces{"abc"}));
    EXPECT_EQ(Split("", "|", 16), (Pieces{""}));
    EXPECT_EQ(Split("x&&y", "&&", -1), (Pieces{"x", "y"}));
    EXPECT_EQ(Split("a|b|c", "|", 0), (Pieces{"a"}));
    EXPECT_EQ(Split("a|b|c", "|", -7), (Pieces{"a"}));
    EXPECT_EQ(Split("||", "|", -1), (Pieces{"", "", ""}));
}

TEST(Text, AnEmptySeparatorNeverLoops) {
    EXPECT_EQ(Split("abc", "", -1), (Pieces{"abc"}));
    std::string text = "abc";
    bool found = true;
    EXPECT_EQ(NextToken(text, "", found), "");
    EXPECT_FALSE(found);
    EXPECT_EQ(text, "abc");
}

TEST(Text, NextTokenTakesThePieceOffTheFront) {
    std::string text = "x&y";
    bool found = false;
    EXPECT_EQ(NextToken(text, "&", found), "x");
    EXPECT_TRUE(found);
    EXPECT_EQ(text, "y");
    text = "xy";
    EXPECT_EQ(NextToken(text, "&", found), "");
    EXPECT_FALSE(found);
    EXPECT_EQ(text, "xy");
}

TEST(Text, NumbersArePlainDecimal) {
    EXPECT_EQ(NumberToText(5), "5");
    EXPECT_EQ(NumberToText(0), "0");
    EXPECT_EQ(NumberToText(10300), "10300");
    EXPECT_EQ(NumberToText(-42), "-42");
    EXPECT_EQ(NumberToText(INT32_MIN), "-2147483648");
}

TEST(Text, DrawnTextLandsAtItsCornerAndClips) {
    ScreenGuard screen;
    ASSERT_EQ(TTF_Init(), 0);
    {
        Font font;
        font.Load(TEST_FONT, 36);
        SDL_Surface* surface = screen.Screen();
        auto litColumns = [&](int fromX, int toX) {
            int lit = 0;
            for (int x = fromX; x < toX; ++x) {
                for (int y = 0; y < 60; ++y) {
                    if (PixelColour(surface, x, y).r == 255) {
                        ++lit;
                        break;
                    }
                }
            }
            return lit;
        };
        SDL_FillRect(surface, nullptr, 0);
        font.Draw(surface, 100, 0, "IIII", 255, 0, 0);
        EXPECT_EQ(litColumns(0, 100), 0);
        EXPECT_GT(litColumns(100, 200), 0);

        SDL_FillRect(surface, nullptr, 0);
        const int width = font.TextWidth("IIII");
        font.Draw(surface, -width / 2, 0, "IIII", SDL_Color{255, 0, 0, 0});
        EXPECT_GT(litColumns(0, width / 2), 0) << "the part on the screen is drawn";
        EXPECT_EQ(litColumns(width / 2 + 2, 640), 0);
        font.Draw(surface, 0, 0, "", 255, 0, 0);  // nothing rendered, nothing drawn
    }
    TTF_Quit();
}
