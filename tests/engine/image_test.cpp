#include "engine/image.h"

#include "engine/video.h"
#include "tests/engine/engine_test_support.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>

namespace {

class ImageTest : public ::testing::Test {
  protected:
    SDL_Color At(int x, int y) const { return PixelColour(screen.Screen(), x, y); }

    ScreenGuard screen;
};

}  // namespace

TEST_F(ImageTest, GetPixelReadsEveryDepthAsTheFormatMapsIt) {
    struct Depth {
        int bits;
        Uint32 r, g, b;
    };
    // 24 bits in both byte orders: the channels are found by their shifts.
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

TEST_F(ImageTest, SpritesLoadMoveClipAndHonourTheColourKey) {
    WriteFileBytes("magenta.bmp", SolidBmp(32, 32, 255, 0, 255));
    WriteFileBytes("green.bmp", SolidBmp(32, 24, 0, 255, 0));
    WriteFileBytes("not-an-image.bmp", "this is text");
    Sprite empty;
    EXPECT_EQ(empty.GetWidth() + empty.GetHeight(), 0);
    empty.Draw(screen.Screen(), 0, 0);
    EXPECT_NO_THROW(empty.SetColorKey(255, 0, 255, SDL_SRCCOLORKEY));

    Sprite green("green.bmp");
    EXPECT_EQ(green.GetWidth(), 32);
    EXPECT_EQ(green.GetHeight(), 24);
    EXPECT_EQ(green.GetSurface()->format->BitsPerPixel, screen.Screen()->format->BitsPerPixel);
    EXPECT_EQ(FailureText([&green] {
                  green.Load("not-an-image.bmp");
              }).find("Failed to load file \"not-an-image.bmp\". "),
              0u);
    EXPECT_TRUE(green.IsEmpty()) << "a failed reload must not keep the old picture";
    green.Load("green.bmp");
    Sprite moved = std::move(green);
    EXPECT_TRUE(green.IsEmpty());

    SDL_FillRect(screen.Screen(), nullptr, 0);
    moved.Draw(screen.Screen(), -20, -10);
    EXPECT_EQ(At(11, 13).g, 255);
    EXPECT_EQ(At(12, 13).g, 0);
    EXPECT_EQ(At(11, 14).g, 0);
    Sprite magenta("magenta.bmp");
    magenta.SetColorKey(255, 0, 255, SDL_SRCCOLORKEY);
    magenta.Draw(screen.Screen(), 0, 0);
    EXPECT_EQ(At(5, 5).g, 255) << "keyed magenta must let the green show";
    moved.Free();
    EXPECT_TRUE(moved.IsEmpty());
}

TEST_F(ImageTest, PrimitivesIncludeBothCorners) {
    SDL_FillRect(screen.Screen(), nullptr, 0);
    FillBox(screen.Screen(), 10, 10, 20, 15, 180, 0, 0);
    DrawRectangle(screen.Screen(), 30, 30, 40, 40, 200, 0, 0);
    DrawLine(screen.Screen(), 50, 50, 60, 50, 220, 0, 0);
    EXPECT_EQ(At(10, 10).r, 180);
    EXPECT_EQ(At(20, 15).r, 180);
    EXPECT_EQ(At(21, 15).r, 0);
    EXPECT_EQ(At(40, 40).r, 200);
    EXPECT_EQ(At(35, 35).r, 0);
    EXPECT_EQ(At(60, 50).r, 220);
    EXPECT_EQ(At(61, 50).r, 0);
}
