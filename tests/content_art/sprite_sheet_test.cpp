// The sheet reader behind every picture.

#include "tools/art/sprite_sheet.h"

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
    const std::vector<art::SheetPicture> pictures = art::ParseSheet(
        "scale 16\npicture left.png right.png 4 2 ground 3\nrb.r\nb..b\n"
        "scale 2\npicture dot.png 2 2\nrb\nbr\nframe moved.png of dot.png\n-.\nr-\n",
        TwoColours(), "sheet.txt");
    ASSERT_EQ(pictures.size(), 4u);
    EXPECT_EQ(pictures[1].role, art::TileRole::Ground);
    EXPECT_EQ(pictures[1].weight, 3);
    // Each logical pixel covers 16 x 16; the right tile starts at column 2.
    EXPECT_EQ(pictures[0].image.At(16, 0), Blue);
    EXPECT_EQ(pictures[0].image.At(16, 16), art::Magenta);
    EXPECT_EQ(pictures[1].image.At(31, 31), Blue);
    const art::Canvas& frame = pictures[3].image;
    EXPECT_EQ((std::vector<art::Colour>{frame.At(0, 0), frame.At(3, 0), frame.At(3, 3),
                                        pictures[2].image.At(3, 0)}),
              (std::vector<art::Colour>{Red, art::Magenta, Red, Blue}));
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
