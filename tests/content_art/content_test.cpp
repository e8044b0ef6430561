// The packages the build made hold every member the game loads, in the shape
// it expects.

#include "engine/image.h"
#include "engine/package.h"
#include "engine/text.h"
#include "tests/support/test_support.h"
#include "tools/package_writer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

// Every member the game asks for, with the size it is drawn at (0: not a
// picture, or checked by its own test) and, where the game keys magenta out,
// the fewest keyed pixels out of 1024.
struct Members {
    const char* package;
    int w, h, keyed;
    const char* names;
};

const Members Expected[] = {
    {"gui.rkp", 640, 480, 0, "start.png start_menu.png help1.png help2.png help3.png scoreboard.png"},
    {"gui.rkp", 640, 32, 0, "topbar.png topbar_down.png"},
    {"gui.rkp", 0, 0, 0, "helpbox.png palab.ttf"},
    {"buildings.rkp", 32, 32, 8,
     "office.png woodworker.png factory1.png plastics1.png foundry1.png mine1.png"},
    {"buildings.rkp", 32, 32, 341, "iron.png oil.png"},
    {"buildings.rkp", 32, 32, 0,
     "woodworkerw1.png woodworkerw2.png woodworkerw3.png woodworkerw4.png factory2.png factory2w1.png "
     "factory2w2.png plastics2.png plastics3.png plastics4.png plastics1w1.png plastics1w2.png foundry2.png "
     "foundry3.png foundry3w1.png foundry3w2.png foundry3w3.png mine2.png mine1w1.png mine1w2.png"},
    {"elves.rkp", 32, 32, 256, "worker.png geologist.png carrier.png"},
    {"tiles.rkp", 0, 0, 0, "tiles.dat"},
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

}  // namespace

TEST(Content, EveryMemberIsThereDecodesAtItsSizeAndLetsTheGroundShowThrough) {
    ScreenGuard screen;  // pictures load in the display's format
    for (const Members& members : Expected) {
        const std::vector<std::string> names =
            Package(std::string(QUORVEL_DATA_DIR) + "/" + members.package).Names();
        for (const std::string& member : Split(members.names, " ", -1)) {
            ASSERT_NE(std::find(names.begin(), names.end(), member), names.end()) << member << " is missing";
            if (members.w == 0) {
                continue;
            }
            const Sprite sprite = LoadMember(members.package, member);
            EXPECT_EQ(sprite.GetWidth() * 1000 + sprite.GetHeight(), members.w * 1000 + members.h) << member;
            if (members.keyed > 0) {
                // The top left corner is ground; elves stand clear of all four.
                const Uint32 magenta = SDL_MapRGB(sprite.GetSurface()->format, 255, 0, 255);
                for (int corner = 0; corner < (members.keyed == 256 ? 4 : 1); ++corner) {
                    EXPECT_EQ(RawAt(sprite, corner % 2 * 31, corner / 2 * 31), magenta) << member;
                }
                EXPECT_GT(Count(sprite, magenta), members.keyed) << member << " hides too much ground";
                EXPECT_LT(Count(sprite, magenta), members.keyed == 256 ? 768 : 1000)
                    << member << " is hardly there";
            }
        }
    }
}

TEST(Content, TileListHasOpaqueGroundsAndObjectsKeyedOnTheirCorner) {
    ScreenGuard screen;
    // Lines "member|ground kind or no|nonbg for a keyed object"; the game reads
    // no empty line and no final line break.
    const std::string text = MemberBytes("tiles.rkp", "tiles.dat");
    EXPECT_TRUE(text.empty() || text.back() != '\n');  // an empty list fails the count below
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
            EXPECT_EQ(Count(tile, SDL_MapRGB(tile.GetSurface()->format, 255, 0, 255)), 0)
                << line << " would show magenta";
        } else {
            ++objects;
            EXPECT_EQ(fields[2], "nonbg") << line << " would cover its ground";
            const int key = Count(tile, RawAt(tile, 0, 0));
            EXPECT_GT(key, 100) << line;
            EXPECT_LT(key, 32 * 32 - 100) << line << " is hardly there";
        }
    }
    EXPECT_GE(std::min(grounds, objects), 3);
}

TEST(PackageWriter, PacksNamesOfUpTo63BytesWithAnyKey) {
    EXPECT_EQ(BuildPackage(255, {{std::string(63, 'n'), "x"}}).substr(0, 6), std::string("RKP1\xff\x01"));
    EXPECT_THROW(BuildPackage(0, {{std::string(64, 'n'), "x"}}), std::invalid_argument);
}
