// The packages the build made hold every member the game loads, in the shape
// it expects.

#include "engine/image.h"
#include "engine/package.h"
#include "engine/text.h"
#include "tests/support/test_support.h"
#include "tools/package_writer.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

// Every member the game asks for, with the size it is drawn at (0: not a
// picture, or checked by its own test).
struct Members {
    const char* package;
    std::vector<std::string> names;
    int w, h;
};

const Members Expected[] = {
    {"gui.rkp",
     {"start.png", "start_menu.png", "help1.png", "help2.png", "help3.png", "scoreboard.png"},
     640,
     480},
    {"gui.rkp", {"topbar.png", "topbar_down.png"}, 640, 32},
    {"gui.rkp", {"helpbox.png", "palab.ttf"}, 0, 0},
    {"buildings.rkp",
     {"office.png",       "woodworker.png", "woodworkerw1.png", "woodworkerw2.png", "woodworkerw3.png",
      "woodworkerw4.png", "factory1.png",   "factory2.png",     "factory2w1.png",   "factory2w2.png",
      "plastics1.png",    "plastics2.png",  "plastics3.png",    "plastics4.png",    "plastics1w1.png",
      "plastics1w2.png",  "foundry1.png",   "foundry2.png",     "foundry3.png",     "foundry3w1.png",
      "foundry3w2.png",   "foundry3w3.png", "mine1.png",        "mine2.png",        "mine1w1.png",
      "mine1w2.png",      "iron.png",       "oil.png"},
     32,
     32},
    {"elves.rkp", {"worker.png", "geologist.png", "carrier.png"}, 32, 32},
    {"tiles.rkp", {"tiles.dat"}, 0, 0},
};

// Extracts the member to member.bytes (a package removes its scratch file on
// closing) and returns its bytes.
std::string MemberBytes(const std::string& package, const std::string& member) {
    Package(std::string(QUORVEL_DATA_DIR) + "/" + package).Extract(member, "member.bytes");
    return ReadFileBytes("member.bytes");
}

// A picture as the game loads it, in the display format.
Sprite LoadMember(const std::string& package, const std::string& member) {
    MemberBytes(package, member);
    Sprite sprite;
    sprite.Load("member.bytes");
    return sprite;
}

Uint32 RawAt(const Sprite& sprite, int x, int y) {
    LockIfNeeded(sprite.GetSurface());
    const Uint32 raw = GetPixel(sprite.GetSurface(), x, y);
    UnlockIfNeeded(sprite.GetSurface());
    return raw;
}

// Pixels of the picture whose raw value is the given one.
int Count(const Sprite& sprite, Uint32 raw) {
    int count = 0;
    for (int i = 0; i < sprite.GetWidth() * sprite.GetHeight(); ++i) {
        count += RawAt(sprite, i % sprite.GetWidth(), i / sprite.GetWidth()) == raw ? 1 : 0;
    }
    return count;
}

Uint32 Magenta(const Sprite& sprite) {
    return SDL_MapRGB(sprite.GetSurface()->format, 255, 0, 255);
}

class ContentTest : public ::testing::Test {
  protected:
    ScreenGuard screen;
};

}  // namespace

TEST_F(ContentTest, EveryMemberIsThereAndEveryPictureDecodesAtItsSize) {
    for (const Members& members : Expected) {
        const std::vector<std::string> names =
            Package(std::string(QUORVEL_DATA_DIR) + "/" + members.package).Names();
        for (const std::string& member : members.names) {
            ASSERT_NE(std::find(names.begin(), names.end(), member), names.end()) << member << " is missing";
            if (members.w > 0) {
                const Sprite sprite = LoadMember(members.package, member);
                EXPECT_EQ(sprite.GetWidth(), members.w) << member;
                EXPECT_EQ(sprite.GetHeight(), members.h) << member;
            }
        }
    }
}

TEST_F(ContentTest, ElvesBuildingsAndDepositsLetTheGroundShowThroughMagenta) {
    // Keyed pixels out of 1024, the top left corner always among them.
    const struct {
        const char* package;
        const char* member;
        int least, most;
    } keyed[] = {{"elves.rkp", "worker.png", 256, 768},        {"elves.rkp", "geologist.png", 256, 768},
                 {"elves.rkp", "carrier.png", 256, 768},       {"buildings.rkp", "office.png", 8, 1000},
                 {"buildings.rkp", "mine1.png", 8, 1000},      {"buildings.rkp", "foundry1.png", 8, 1000},
                 {"buildings.rkp", "woodworker.png", 8, 1000}, {"buildings.rkp", "factory1.png", 8, 1000},
                 {"buildings.rkp", "plastics1.png", 8, 1000},  {"buildings.rkp", "iron.png", 341, 1000},
                 {"buildings.rkp", "oil.png", 341, 1000}};
    for (const auto& k : keyed) {
        const Sprite picture = LoadMember(k.package, k.member);
        // Elves stand clear of all four corners.
        for (int corner = 0; corner < (k.least == 256 ? 4 : 1); ++corner) {
            EXPECT_EQ(RawAt(picture, corner % 2 * 31, corner / 2 * 31), Magenta(picture)) << k.member;
        }
        EXPECT_GT(Count(picture, Magenta(picture)), k.least) << k.member << " hides too much ground";
        EXPECT_LT(Count(picture, Magenta(picture)), k.most) << k.member << " is hardly there";
    }
}

TEST_F(ContentTest, EveryWorkFrameDiffersFromTheIdleTileAndTheFrameBefore) {
    const auto differing = [](const std::string& a, const std::string& b) {
        const Sprite first = LoadMember("buildings.rkp", a), second = LoadMember("buildings.rkp", b);
        int count = 0;
        for (int i = 0; i < 32 * 32; ++i) {
            count += RawAt(first, i % 32, i / 32) != RawAt(second, i % 32, i / 32) ? 1 : 0;
        }
        return count;
    };
    // "factory2w2.png" is the second work frame drawn on the tile "factory2.png".
    for (const std::string& name : Expected[3].names) {
        const size_t w = name.size() - 6;
        if (name[w] == 'w') {
            EXPECT_GE(differing(name, name.substr(0, w) + ".png"), 8) << name << " looks idle";
            const std::string before = name.substr(0, w + 1) + static_cast<char>(name[w + 1] - 1) + ".png";
            if (name[w + 1] > '1') {
                EXPECT_GE(differing(name, before), 8) << name << " looks like " << before;
            }
        }
    }
}

TEST_F(ContentTest, TileListHasOpaqueGroundsAndObjectsKeyedOnTheirCorner) {
    // Lines "member|ground kind or no|nonbg for a keyed object"; the game reads
    // no empty line and no final line break.
    const std::string text = MemberBytes("tiles.rkp", "tiles.dat");
    ASSERT_FALSE(text.empty());
    EXPECT_NE(text.back(), '\n');
    int grounds = 0, objects = 0;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        const std::vector<std::string> fields = Split(line, "|", 16);
        ASSERT_GE(fields.size(), 3u) << "'" << line << "'";
        const Sprite tile = LoadMember("tiles.rkp", fields[0]);
        ASSERT_EQ(tile.GetWidth() * 100 + tile.GetHeight(), 3232) << line;
        if (fields[1] != "no") {
            ++grounds;
            EXPECT_NE(fields[2], "nonbg") << line;
            EXPECT_EQ(Count(tile, Magenta(tile)), 0) << line << " would show magenta";
        } else {
            ++objects;
            EXPECT_EQ(fields[2], "nonbg") << line << " would cover its ground";
            const int key = Count(tile, RawAt(tile, 0, 0));
            EXPECT_GT(key, 100) << line;
            EXPECT_LT(key, 32 * 32 - 100) << line << " is hardly there";
        }
    }
    EXPECT_GE(grounds, 3);
    EXPECT_GE(objects, 3);
}

TEST_F(ContentTest, HelpBoxFitsTheScreenAndLetsPageThreeShowThroughItsWhite) {
    const Sprite box = LoadMember("gui.rkp", "helpbox.png");
    EXPECT_LE(box.GetWidth(), 640);
    EXPECT_LE(box.GetHeight(), 480);
    const Uint32 white = SDL_MapRGB(box.GetSurface()->format, 255, 255, 255);
    EXPECT_GT(Count(box, white), 50) << "nothing of page 3 would show";
    EXPECT_LT(Count(box, white), box.GetWidth() * box.GetHeight() / 2);
}

TEST_F(ContentTest, ScreensKeepDarkCalmPlacesWhereTheGameWrites) {
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
        long sum = 0;
        for (int y = area.y; y < area.y + area.h; ++y) {
            for (int x = area.x; x < area.x + area.w; ++x) {
                Uint8 r, g, b;
                SDL_GetRGB(RawAt(picture, x, y), picture.GetSurface()->format, &r, &g, &b);
                const int brightness = (299 * r + 587 * g + 114 * b) / 1000;
                largest = std::max(largest, brightness);
                sum += brightness;
            }
        }
        EXPECT_LT(largest, 100) << area.member << " at " << area.x << "," << area.y;
        EXPECT_LT(sum / (area.w * area.h), 45) << area.member << " at " << area.x << "," << area.y;
    }
}

TEST_F(ContentTest, QuitButtonIsDrawnPressedOnlyInItsOwnPlace) {
    const Sprite up = LoadMember("gui.rkp", "topbar.png");
    const Sprite down = LoadMember("gui.rkp", "topbar_down.png");
    int inside = 0, outside = 0;
    for (int i = 0; i < 640 * 32; ++i) {
        const int x = i % 640, y = i / 640;
        const bool button = x > 6 && x < 139 && y > 3 && y < 25;
        (button ? inside : outside) += RawAt(up, x, y) != RawAt(down, x, y) ? 1 : 0;
    }
    EXPECT_GT(inside, 200);
    EXPECT_EQ(outside, 0);
}

TEST(ArtGenerator, RefusesABrokenSheetWithItsLineAndWritesNothing) {
    WriteFileBytes("broken.txt", "picture bad.png 2 2\n..\n.?\n");
    mkdir("refused", 0755);
    EXPECT_NE(std::system((std::string("'") + ART_GENERATOR + "' --palette '" + ART_PALETTE + "' --font '" +
                           ART_FONT + "' --out refused broken.txt 2> refusal.txt")
                              .c_str()),
              0);
    EXPECT_NE(ReadFileBytes("refusal.txt").find("broken.txt:3"), std::string::npos);
    EXPECT_FALSE(FileExists("refused/bad.png"));
}

TEST(PackageWriter, PacksNamesOfUpTo63BytesWithAnyKey) {
    EXPECT_EQ(BuildPackage(255, {{std::string(63, 'n'), "x"}}).substr(0, 6), std::string("RKP1\xff\x01"));
    EXPECT_THROW(BuildPackage(0, {{std::string(64, 'n'), "x"}}), std::invalid_argument);
}
