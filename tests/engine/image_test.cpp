#include "engine/image.h"
#include "engine/errors.h"
#include "engine/video.h"
#include "tests/support/test_support.h"

#include <SDL_ttf.h>
#include <gtest/gtest.h>

#include <cstdio>

namespace {

class ImageTest : public ::testing::Test {
  protected:
    ScreenGuard screen;
};

}  // namespace

TEST_F(ImageTest, GetPixelReadsEveryDepthAsTheFormatMapsIt) {
    struct Depth {
        int bits;
        Uint32 r, g, b;
    };
    const Depth depths[] = {{8, 0, 0, 0},
                            {16, 0xF800, 0x07E0, 0x001F},
                            {24, 0xFF0000, 0x00FF00, 0x0000FF},
                            {24, 0x0000FF, 0x00FF00, 0xFF0000},
                            {32, 0x00FF0000, 0x0000FF00, 0x000000FF}};
    for (const Depth& depth : depths) {
        SDL_Surface* surface =
            SDL_CreateRGBSurface(SDL_SWSURFACE, 7, 5, depth.bits, depth.r, depth.g, depth.b, 0);
        ASSERT_NE(surface, nullptr) << depth.bits;
        Uint32 colour = SDL_MapRGB(surface->format, 200, 40, 90);
        SDL_Rect cell{3, 2, 1, 1};
        SDL_FillRect(surface, &cell, colour);
        ASSERT_TRUE(LockIfNeeded(surface));
        EXPECT_EQ(GetPixel(surface, 3, 2), colour) << depth.bits << " bits";
        EXPECT_EQ(GetPixel(surface, 0, 0), SDL_MapRGB(surface->format, 0, 0, 0)) << depth.bits << " bits";
        UnlockIfNeeded(surface);
        SDL_FreeSurface(surface);
    }
}

TEST_F(ImageTest, SpriteLifeCycle) {
    WriteFileBytes("red.bmp", SolidBmp(12, 9, 255, 0, 0));
    WriteFileBytes("not-an-image.bmp", "this is text");

    Sprite empty;
    EXPECT_EQ(empty.GetWidth(), 0);
    EXPECT_EQ(empty.GetHeight(), 0);
    empty.Draw(screen.Screen(), 0, 0);
    EXPECT_NO_THROW(empty.SetColorKey(255, 0, 255, SDL_SRCCOLORKEY));

    Sprite sprite("red.bmp");
    EXPECT_EQ(sprite.GetWidth(), 12);
    EXPECT_EQ(sprite.GetHeight(), 9);
    EXPECT_EQ(sprite.GetSurface()->format->BitsPerPixel, screen.Screen()->format->BitsPerPixel);
    try {
        sprite.Load("not-an-image.bmp");
        FAIL();
    } catch (const FileLoadingFailed& failure) {
        EXPECT_STREQ(failure.what(), "Failed to load file \"not-an-image.bmp\".");
    }
    EXPECT_TRUE(sprite.IsEmpty()) << "a failed reload must not keep the old picture";

    sprite.Load("red.bmp");
    Sprite moved = std::move(sprite);
    EXPECT_TRUE(sprite.IsEmpty());
    EXPECT_EQ(moved.GetWidth(), 12);
    moved.Free();
    EXPECT_TRUE(moved.IsEmpty());
}

TEST_F(ImageTest, DrawingClipsAndHonoursTheColourKey) {
    WriteFileBytes("magenta.bmp", SolidBmp(32, 32, 255, 0, 255));
    WriteFileBytes("green.bmp", SolidBmp(32, 32, 0, 255, 0));
    SDL_FillRect(screen.Screen(), nullptr, 0);
    Sprite green("green.bmp");
    green.Draw(screen.Screen(), -20, -10);
    SDL_Color inside = PixelColour(screen.Screen(), 11, 21);
    SDL_Color outside = PixelColour(screen.Screen(), 12, 22);
    EXPECT_EQ(inside.g, 255);
    EXPECT_EQ(outside.g, 0);

    Sprite magenta("magenta.bmp");
    magenta.SetColorKey(255, 0, 255, SDL_SRCCOLORKEY);
    magenta.Draw(screen.Screen(), 0, 0);
    EXPECT_EQ(PixelColour(screen.Screen(), 5, 5).g, 255) << "keyed magenta must let the green show";
    EXPECT_EQ(PixelColour(screen.Screen(), 5, 5).r, 0);

    SDL_Surface* raw = LoadImage("green.bmp");
    ASSERT_NE(raw, nullptr);
    FreeSurface(raw);
    EXPECT_EQ(raw, nullptr);
    FreeSurface(raw);
    EXPECT_EQ(LoadImage("missing.bmp"), nullptr);
}

TEST_F(ImageTest, PrimitivesIncludeBothCorners) {
    SDL_FillRect(screen.Screen(), nullptr, 0);
    FillBox(screen.Screen(), 10, 10, 20, 15, 180, 0, 0);
    DrawRectangle(screen.Screen(), 30, 30, 40, 40, 200, 0, 0);
    EXPECT_EQ(PixelColour(screen.Screen(), 10, 10).r, 180);
    EXPECT_EQ(PixelColour(screen.Screen(), 20, 15).r, 180);
    EXPECT_EQ(PixelColour(screen.Screen(), 21, 15).r, 0);
    EXPECT_EQ(PixelColour(screen.Screen(), 40, 40).r, 200);
    EXPECT_EQ(PixelColour(screen.Screen(), 35, 35).r, 0);
}

TEST_F(ImageTest, FontLifeCycle) {
    ASSERT_EQ(TTF_Init(), 0);
    {
        Font font;
        EXPECT_EQ(font.GetHandle(), nullptr);
        EXPECT_EQ(font.TextWidth("abc"), 0);
        font.Draw(screen.Screen(), 0, 0, "closed fonts draw nothing", 255, 255, 255);
        EXPECT_THROW(font.Load("missing.ttf", 16), FileLoadingFailed);
        EXPECT_EQ(font.GetHandle(), nullptr);
        EXPECT_EQ(font.GetName(), "missing.ttf");
        EXPECT_EQ(font.GetSize(), 16);
        font.Close();

        font.Load(TEST_FONT, 16);
        ASSERT_NE(font.GetHandle(), nullptr);
        int small = font.TextWidth("Build plastics [10300]");
        font.Load(TEST_FONT, 36);
        EXPECT_GT(font.TextWidth("Build plastics [10300]"), 2 * small);
        EXPECT_EQ(font.TextWidth(""), 0);
    }
    TTF_Quit();
}
