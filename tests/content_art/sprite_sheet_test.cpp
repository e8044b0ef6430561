// The sheet reader and the canvas behind every picture.

#include "tools/art/sprite_sheet.h"
#include "tools/art/canvas.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace {

const art::Colour Red{200, 30, 40};
const art::Colour Blue{20, 40, 200};

art::Palette TwoColours() {
    return art::ParsePalette("# two\ncolour r c81e28 red\n\ncolour b 1428c8\n", "palette");
}

std::string Refusal(const std::string& sheet) {
    try {
        art::ParseSheet(sheet, TwoColours(), "sheet.txt");
    } catch (const art::SheetError& error) {
        return error.what();
    }
    return "";
}

}  // namespace

TEST(SpriteSheet, GridsScaleAndCutIntoTilesAndFramesKeepTheirBaseWhereTheyHoldADash) {
    const std::string sheet =
        "scale 16\n"
        "picture left.png right.png 4 2 ground 3\n"
        "rb.r\n"
        "b..b\n"
        "scale 2\n"
        "picture dot.png 2 2\n"
        "rb\n"
        "br\n"
        "frame moved.png of dot.png\n"
        "-.\n"
        "r-\n";
    const std::vector<art::SheetPicture> pictures = art::ParseSheet(sheet, TwoColours(), "sheet.txt");
    ASSERT_EQ(pictures.size(), 4u);
    EXPECT_EQ(pictures[1].name, "right.png");
    EXPECT_EQ(pictures[0].role, art::TileRole::Ground);
    EXPECT_EQ(pictures[1].weight, 3);
    EXPECT_EQ(pictures[2].role, art::TileRole::None);
    EXPECT_EQ(pictures[2].weight, 1);
    ASSERT_EQ(pictures[0].image.Width(), 32);
    ASSERT_EQ(pictures[0].image.Height(), 32);
    // Each logical pixel covers 16 x 16; the right tile starts at column 2.
    EXPECT_EQ(pictures[0].image.At(15, 15), Red);
    EXPECT_EQ(pictures[0].image.At(16, 0), Blue);
    EXPECT_EQ(pictures[0].image.At(16, 16), art::Magenta);
    EXPECT_EQ(pictures[1].image.At(0, 0), art::Magenta);
    EXPECT_EQ(pictures[1].image.At(31, 31), Blue);
    const art::Canvas& frame = pictures[3].image;
    ASSERT_EQ(frame.Width(), 4);
    EXPECT_EQ(frame.At(0, 0), Red);
    EXPECT_EQ(frame.At(3, 0), art::Magenta);
    EXPECT_EQ(frame.At(0, 3), Red);
    EXPECT_EQ(frame.At(3, 3), Red);
    EXPECT_EQ(pictures[2].image.At(3, 0), Blue) << "the base itself is untouched";
}

TEST(SpriteSheet, MistakesAreReportedWithTheirLine) {
    const std::pair<const char*, const char*> mistakes[] = {
        {"picture a.png 3 1\nrb\n", "sheet.txt:2"},
        {"picture a.png 2 2\nrb\n", "grid ends"},
        {"\npicture a.png 2 1\nrx\n", "sheet.txt:3: unknown palette character 'x'"},
        {"picture a.png 2 1\nr-\n", "only allowed in a frame"},
        {"frame b.png of a.png\nrr\n", "not an earlier picture"},
        {"scale 16\npicture a.png b.png c.png 4 2\nrrrr\nrrrr\n", "holds 2 tiles"},
        {"scale 3\npicture a.png b.png 2 1\nrr\n", "whole 32-pixel tiles"},
        {"picture a.png 1 1\nr\npicture a.png 1 1\nb\n", "named twice"},
        {"picture a.png 1 1 object 0\nr\n", "weight"},
        {"scale 0\n", "scale"},
        {"paint a.png\n", "unknown line 'paint'"},
        {"colour . 102030\n", "reserved"},
        {"colour q 12345\n", "six hex digits"},
        {"colour m fa02fc\n", "transparent"},
    };
    for (const auto& mistake : mistakes) {
        EXPECT_NE(Refusal(mistake.first).find(mistake.second), std::string::npos) << mistake.first;
    }
    EXPECT_THROW(art::ParsePalette("picture a.png 1 1\n", "palette"), art::SheetError);
    EXPECT_EQ(Refusal("colour q 102030\npicture a.png 1 1\nq\n"), "");
}

TEST(SpriteSheet, ColoursNearTheKeyLookLikeItAt16Bits) {
    EXPECT_TRUE(art::LooksLikeKeyAt16Bits(art::Colour{250, 2, 252}, art::Magenta));
    EXPECT_TRUE(art::LooksLikeKeyAt16Bits(art::Magenta, art::Magenta));
    EXPECT_FALSE(art::LooksLikeKeyAt16Bits(art::Colour{247, 0, 255}, art::Magenta));
    EXPECT_FALSE(art::LooksLikeKeyAt16Bits(art::Colour{255, 4, 255}, art::Magenta));
}

TEST(Canvas, BlitSkipsTheKeyAndClipsAtTheEdges) {
    art::Canvas target(4, 4, Blue);
    art::Canvas source(2, 2, art::Magenta);
    source.Set(1, 1, Red);
    target.Blit(source, 2, 2, 2);
    EXPECT_EQ(target.At(2, 2), Blue);
    EXPECT_EQ(target.At(3, 3), Blue);
    target.Blit(source, 0, 0, 2);
    EXPECT_EQ(target.At(2, 2), Red);
    EXPECT_EQ(target.At(3, 3), Red);
    EXPECT_EQ(target.At(1, 1), Blue);
    // Drawing past the edges changes nothing outside and does not fail.
    target.FillRect(-5, -5, 20, 6, Red);
    EXPECT_EQ(target.At(3, 0), Red);
    EXPECT_EQ(target.At(0, 1), Blue);
    const art::Canvas part = target.Cut(3, 3, 2, 2);
    EXPECT_EQ(part.At(0, 0), Red);
    EXPECT_EQ(part.At(1, 1), art::Magenta);
}
