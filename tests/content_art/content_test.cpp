// The built packages hold what the game asks for, in the shape it expects.

#include "engine/errors.h"
#include "engine/image.h"
#include "engine/package.h"
#include "engine/text.h"
#include "tests/content_art/art_fixture.h"
#include "tests/support/test_support.h"

#include <SDL_ttf.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <set>
#include <string>
#include <vector>

namespace {

class ContentTest : public ::testing::Test {
  protected:
    ScreenGuard screen;
};

const std::vector<std::string>& MembersOf(const std::string& package) {
    for (const PackageTable& table : ExpectedPackages()) {
        if (table.file == package) {
            return table.members;
        }
    }
    static const std::vector<std::string> none;
    return none;
}

// The work frames of one building, in order, and its animated tile's base.
struct Animation {
    std::string base;
    std::vector<std::string> frames;
};

const std::vector<Animation>& Animations() {
    static const std::vector<Animation> animations = {
        {"woodworker.png", {"woodworkerw1.png", "woodworkerw2.png", "woodworkerw3.png", "woodworkerw4.png"}},
        {"factory2.png", {"factory2w1.png", "factory2w2.png"}},
        {"plastics1.png", {"plastics1w1.png", "plastics1w2.png"}},
        {"foundry3.png", {"foundry3w1.png", "foundry3w2.png", "foundry3w3.png"}},
        {"mine1.png", {"mine1w1.png", "mine1w2.png"}},
    };
    return animations;
}

int DifferentPixels(const Sprite& a, const Sprite& b) {
    int count = 0;
    for (int y = 0; y < a.GetHeight(); ++y) {
        for (int x = 0; x < a.GetWidth(); ++x) {
            count += RawAt(a, x, y) != RawAt(b, x, y) ? 1 : 0;
        }
    }
    return count;
}

int MagentaPixels(const Sprite& sprite) {
    int count = 0;
    for (int y = 0; y < sprite.GetHeight(); ++y) {
        for (int x = 0; x < sprite.GetWidth(); ++x) {
            count += IsMagenta(ColourAt(sprite, x, y)) ? 1 : 0;
        }
    }
    return count;
}

// Largest and mean brightness over an area of a picture.
void AreaBrightness(const Sprite& sprite, int x, int y, int w, int h, int& largest, int& mean) {
    largest = 0;
    long sum = 0;
    for (int row = y; row < y + h; ++row) {
        for (int column = x; column < x + w; ++column) {
            const int value = Brightness(ColourAt(sprite, column, row));
            largest = std::max(largest, value);
            sum += value;
        }
    }
    mean = static_cast<int>(sum / (static_cast<long>(w) * h));
}

}  // namespace

TEST_F(ContentTest, EveryPackageHoldsEveryMemberTheGameAsksFor) {
    for (const PackageTable& table : ExpectedPackages()) {
        SCOPED_TRACE(table.file);
        Package package(DataPath(table.file));
        const std::vector<std::string>& names = package.Names();
        for (const std::string& member : table.members) {
            EXPECT_NE(std::find(names.begin(), names.end(), member), names.end()) << member << " is missing";
        }
        EXPECT_EQ(std::set<std::string>(names.begin(), names.end()).size(), names.size())
            << "a member name appears twice";
    }
    // Every picture the tile list names is in the tile package.
    Package tiles(DataPath("tiles.rkp"));
    const std::vector<TileLine> list = ReadTileList(ReadMemberBytes("tiles.rkp", "tiles.dat"));
    for (const TileLine& line : list) {
        EXPECT_NE(std::find(tiles.Names().begin(), tiles.Names().end(), line.member), tiles.Names().end())
            << line.member;
    }
}

TEST_F(ContentTest, PackagesUseDifferentNonZeroKeys) {
    std::set<int> keys;
    for (const PackageTable& table : ExpectedPackages()) {
        const std::string bytes = ReadFileBytes(DataPath(table.file));
        ASSERT_GT(bytes.size(), 6u) << table.file;
        EXPECT_EQ(bytes.substr(0, 4), "RKP1") << table.file;
        const int key = static_cast<unsigned char>(bytes[4]);
        EXPECT_NE(key, 0) << table.file;
        keys.insert(key);
    }
    EXPECT_EQ(keys.size(), ExpectedPackages().size());
}

TEST_F(ContentTest, EveryPictureDecodesAtItsSize) {
    struct Size {
        const char* member;
        int w, h;
    };
    const Size screens[] = {{"start.png", 640, 480}, {"start_menu.png", 640, 480},
                            {"help1.png", 640, 480}, {"help2.png", 640, 480},
                            {"help3.png", 640, 480}, {"scoreboard.png", 640, 480},
                            {"topbar.png", 640, 32}, {"topbar_down.png", 640, 32}};
    for (const Size& size : screens) {
        const Sprite sprite = LoadMember("gui.rkp", size.member);
        EXPECT_EQ(sprite.GetWidth(), size.w) << size.member;
        EXPECT_EQ(sprite.GetHeight(), size.h) << size.member;
    }
    for (const char* package : {"buildings.rkp", "elves.rkp"}) {
        for (const std::string& member : MembersOf(package)) {
            const Sprite sprite = LoadMember(package, member);
            EXPECT_EQ(sprite.GetWidth(), 32) << member;
            EXPECT_EQ(sprite.GetHeight(), 32) << member;
        }
    }
    for (const TileLine& line : ReadTileList(ReadMemberBytes("tiles.rkp", "tiles.dat"))) {
        const Sprite sprite = LoadMember("tiles.rkp", line.member);
        EXPECT_EQ(sprite.GetWidth(), 32) << line.member;
        EXPECT_EQ(sprite.GetHeight(), 32) << line.member;
    }
}

TEST_F(ContentTest, KeyedPicturesShowTheGroundThroughMagenta) {
    // Elves stand on their tile: the four corners are ground.
    for (const std::string& member : MembersOf("elves.rkp")) {
        const Sprite elf = LoadMember("elves.rkp", member);
        for (const auto& corner :
             {std::make_pair(0, 0), std::make_pair(31, 0), std::make_pair(0, 31), std::make_pair(31, 31)}) {
            EXPECT_TRUE(IsMagenta(ColourAt(elf, corner.first, corner.second)))
                << member << " at " << corner.first << "," << corner.second;
        }
        const int ground = MagentaPixels(elf);
        EXPECT_GT(ground, 32 * 32 / 4) << member << " hides too much ground";
        EXPECT_LT(ground, 32 * 32 * 3 / 4) << member << " is hardly there";
    }
    // Every building lets the ground show round its edges; deposits lie on it.
    for (const char* member : {"office.png", "woodworker.png", "factory1.png", "plastics1.png",
                               "foundry1.png", "mine1.png", "iron.png", "oil.png"}) {
        const Sprite building = LoadMember("buildings.rkp", member);
        EXPECT_TRUE(IsMagenta(ColourAt(building, 0, 0))) << member;
        EXPECT_GT(MagentaPixels(building), 8) << member;
    }
    for (const char* member : {"iron.png", "oil.png"}) {
        EXPECT_GT(MagentaPixels(LoadMember("buildings.rkp", member)), 32 * 32 / 3) << member;
    }
}

TEST_F(ContentTest, WorkFramesVisiblyAnimate) {
    for (const Animation& animation : Animations()) {
        const Sprite base = LoadMember("buildings.rkp", animation.base);
        std::vector<Sprite> frames;
        for (const std::string& frame : animation.frames) {
            frames.push_back(LoadMember("buildings.rkp", frame));
        }
        for (std::size_t i = 0; i < frames.size(); ++i) {
            const std::size_t next = (i + 1) % frames.size();
            EXPECT_GE(DifferentPixels(frames[i], frames[next]), 8)
                << animation.frames[i] << " and " << animation.frames[next] << " look alike";
            EXPECT_GE(DifferentPixels(frames[i], base), 8) << animation.frames[i] << " looks idle";
        }
    }
}

TEST(ContentAt16Bits, NoVisiblePixelTurnsIntoTheKey) {
    // At 16 bits the display merges colours near magenta with it: count the
    // key pixels of every keyed picture at 16 and at 24 bits.
    std::vector<std::pair<std::string, std::string>> keyed;
    for (const char* package : {"buildings.rkp", "elves.rkp"}) {
        for (const std::string& member : MembersOf(package)) {
            keyed.push_back({package, member});
        }
    }
    std::vector<int> at24;
    {
        ScreenGuard screen(24);
        for (const auto& picture : keyed) {
            at24.push_back(MagentaPixels(LoadMember(picture.first, picture.second)));
        }
    }
    ScreenGuard screen(16);
    for (std::size_t i = 0; i < keyed.size(); ++i) {
        const Sprite sprite = LoadMember(keyed[i].first, keyed[i].second);
        const Uint32 key = SDL_MapRGB(sprite.GetSurface()->format, 255, 0, 255);
        int keyPixels = 0;
        for (int y = 0; y < sprite.GetHeight(); ++y) {
            for (int x = 0; x < sprite.GetWidth(); ++x) {
                keyPixels += RawAt(sprite, x, y) == key ? 1 : 0;
            }
        }
        EXPECT_EQ(keyPixels, at24[i]) << keyed[i].second;
    }
}

TEST_F(ContentTest, TileListHasGroundAndObjectsKeyedOnTheirCorner) {
    const std::vector<TileLine> list = ReadTileList(ReadMemberBytes("tiles.rkp", "tiles.dat"));
    std::set<std::string> grounds;
    std::set<std::string> objects;
    for (const TileLine& line : list) {
        (line.ground ? grounds : objects).insert(line.member);
        const Sprite tile = LoadMember("tiles.rkp", line.member);
        if (line.ground) {
            // Ground is drawn opaque: magenta would show as magenta.
            EXPECT_FALSE(line.keyed) << line.member;
            EXPECT_EQ(MagentaPixels(tile), 0) << line.member;
        } else {
            EXPECT_TRUE(line.keyed) << line.member << " would cover its ground";
            const Uint32 key = RawAt(tile, 0, 0);
            int keyPixels = 0;
            for (int y = 0; y < 32; ++y) {
                for (int x = 0; x < 32; ++x) {
                    keyPixels += RawAt(tile, x, y) == key ? 1 : 0;
                }
            }
            EXPECT_GT(keyPixels, 100) << line.member;
            EXPECT_LT(keyPixels, 32 * 32 - 100) << line.member << " is hardly there";
        }
    }
    EXPECT_GE(grounds.size(), 3u);
    EXPECT_GE(objects.size(), 3u);
    // Ground kinds meet without seams: their edges are snow.
    for (const std::string& member : grounds) {
        const Sprite tile = LoadMember("tiles.rkp", member);
        int snowy = 0;
        for (int i = 0; i < 32; ++i) {
            for (const auto& point :
                 {std::make_pair(i, 0), std::make_pair(i, 31), std::make_pair(0, i), std::make_pair(31, i)}) {
                const SDL_Color colour = ColourAt(tile, point.first, point.second);
                snowy += Brightness(colour) > 180 ? 1 : 0;
            }
        }
        EXPECT_GT(snowy, 4 * 32 * 9 / 10) << member << " edges are not snow";
    }
}

TEST_F(ContentTest, HelpBoxFitsAndLetsPageThreeShowThrough) {
    const Sprite box = LoadMember("gui.rkp", "helpbox.png");
    ASSERT_LE(box.GetWidth(), 640);
    ASSERT_LE(box.GetHeight(), 480);
    EXPECT_GT(box.GetWidth(), 200);
    EXPECT_GT(box.GetHeight(), 150);
    int white = 0;
    for (int y = 0; y < box.GetHeight(); ++y) {
        for (int x = 0; x < box.GetWidth(); ++x) {
            const SDL_Color colour = ColourAt(box, x, y);
            white += colour.r == 255 && colour.g == 255 && colour.b == 255 ? 1 : 0;
        }
    }
    EXPECT_GT(white, 50) << "nothing of page 3 would show";
    EXPECT_LT(white, box.GetWidth() * box.GetHeight() / 2) << "the box would hardly be there";
    // The middle of the box is the box, not a hole.
    const SDL_Color middle = ColourAt(box, box.GetWidth() / 2, box.GetHeight() / 2);
    EXPECT_FALSE(middle.r == 255 && middle.g == 255 && middle.b == 255);
}

TEST_F(ContentTest, ScreensKeepCalmDarkPlacesForTheGamesTexts) {
    struct Area {
        const char* member;
        int x, y, w, h;
    };
    // Red menu words, white score texts and the top bar's light grey numbers.
    const Area areas[] = {
        {"start_menu.png", 100, 300, 150, 145}, {"scoreboard.png", 40, 320, 260, 90},
        {"scoreboard.png", 330, 75, 290, 300},  {"scoreboard.png", 50, 435, 240, 20},
        {"scoreboard.png", 400, 420, 230, 40},  {"topbar.png", 203, 8, 56, 18},
        {"topbar.png", 359, 8, 56, 18},         {"topbar.png", 462, 8, 56, 18},
        {"topbar.png", 583, 8, 56, 18},
    };
    for (const Area& area : areas) {
        const Sprite picture = LoadMember("gui.rkp", area.member);
        int largest = 0;
        int mean = 0;
        AreaBrightness(picture, area.x, area.y, area.w, area.h, largest, mean);
        EXPECT_LT(largest, 100) << area.member << " at " << area.x << "," << area.y;
        EXPECT_LT(mean, 45) << area.member << " at " << area.x << "," << area.y;
    }
}

TEST_F(ContentTest, QuitButtonIsDrawnPressedOnlyInItsOwnPlace) {
    const Sprite up = LoadMember("gui.rkp", "topbar.png");
    const Sprite down = LoadMember("gui.rkp", "topbar_down.png");
    int inside = 0;
    int outside = 0;
    for (int y = 0; y < 32; ++y) {
        for (int x = 0; x < 640; ++x) {
            const bool button = x > 6 && x < 139 && y > 3 && y < 25;
            (button ? inside : outside) += RawAt(up, x, y) != RawAt(down, x, y) ? 1 : 0;
        }
    }
    EXPECT_GT(inside, 200);
    EXPECT_EQ(outside, 0);
    // The button stands out from the bar around it.
    EXPECT_GT(std::abs(Brightness(ColourAt(up, 70, 14)) - Brightness(ColourAt(up, 160, 14))), 20);
}

TEST_F(ContentTest, EveryFixedLabelFitsItsBoxInTheInterfaceFont) {
    ASSERT_EQ(TTF_Init(), 0);
    {
        Package gui(DataPath("gui.rkp"));
        gui.Extract("palab.ttf", "guifont.ttf");
    }
    {
        Font font;
        font.Load("guifont.ttf", 16);
        // Menus and panels leave 200 pixels from the text's start to the body's edge.
        const int room = 200;
        const std::vector<std::string> boxed = {"Build office [700]",
                                                "Build woodworker [1000]",
                                                "Build factory [2000]",
                                                "Build plastics [10300]",
                                                "Build foundry [6000]",
                                                "Build mine [4000]",
                                                "Hire worker [200]",
                                                "Hire geologist [600]",
                                                "Hire carrier [400]",
                                                "Quit to main menu",
                                                "Quit to desktop",
                                                "--- FREE ELVES ---",
                                                "Select free worker (99)",
                                                "Select free carrier (99)",
                                                "--- OFFICE ---",
                                                "Upkeeps elves.",
                                                "[ + ] Upkeep: 3 / 4",
                                                "[ - ] Upkeep: 4 / 4",
                                                "--- WOODWORKER ---",
                                                "Provides wood.",
                                                "--- FACTORY ---",
                                                "Manufactures toys",
                                                "from resources.",
                                                "--- PLASTICS ---",
                                                "Provides plastic.",
                                                "--- FOUNDRY ---",
                                                "Provides steel",
                                                "from iron ore.",
                                                "--- MINE ---",
                                                "Provides iron ore.",
                                                "--- IRON ---",
                                                "Geologist has found",
                                                "some iron here.",
                                                "--- OIL ---",
                                                "some oil here.",
                                                "[ - ] Workers: 5 / 6",
                                                "[ + ] Workers: 6 / 6",
                                                "[ - ] Not working,",
                                                "       needs more workers!",
                                                "       needs iron ore!",
                                                "[ + ] Working!"};
        for (const std::string& label : boxed) {
            EXPECT_LE(font.TextWidth(label), room) << label << " is " << font.TextWidth(label) << " wide";
        }
        // Rows of menus and panels are 24 pixels apart.
        EXPECT_LE(TTF_FontHeight(font.GetHandle()), 24);
        // Six digits fit each counter's field before the next icon.
        EXPECT_LE(font.TextWidth("999999"), 56);
        EXPECT_LE(583 + font.TextWidth("999999"), 640);
        // A font that draws nothing would pass every check above.
        EXPECT_GT(font.TextWidth("Build plastics [10300]"), 100);
    }
    std::remove("guifont.ttf");
    TTF_Quit();
}
