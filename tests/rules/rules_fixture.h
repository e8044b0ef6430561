#pragma once

#include "engine/video.h"
#include "rules/building.h"
#include "rules/economy.h"
#include "rules/elf.h"
#include "tests/support/test_support.h"
#include "world/tile_map.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdio>
#include <map>
#include <string>
#include <utility>
#include <vector>

// Every member picture of the game's building and elf packages.
inline const std::vector<std::string>& BuildingMembers() {
    static const std::vector<std::string> members = {
        "office.png",       "woodworker.png", "woodworkerw1.png", "woodworkerw2.png", "woodworkerw3.png",
        "woodworkerw4.png", "factory1.png",   "factory2.png",     "factory2w1.png",   "factory2w2.png",
        "plastics1.png",    "plastics2.png",  "plastics3.png",    "plastics4.png",    "plastics1w1.png",
        "plastics1w2.png",  "foundry1.png",   "foundry2.png",     "foundry3.png",     "foundry3w1.png",
        "foundry3w2.png",   "foundry3w3.png", "mine1.png",        "mine2.png",        "mine1w1.png",
        "mine1w2.png",      "iron.png",       "oil.png"};
    return members;
}

inline const std::vector<std::string>& ElfMembers() {
    static const std::vector<std::string> members = {"worker.png", "geologist.png", "carrier.png"};
    return members;
}

// A colour of its own for every member, never magenta, never black.
inline SDL_Color MemberColour(const std::string& member) {
    std::vector<std::string> all = BuildingMembers();
    all.insert(all.end(), ElfMembers().begin(), ElfMembers().end());
    for (size_t i = 0; i < all.size(); ++i) {
        if (all[i] == member) {
            const int n = static_cast<int>(i) + 1;
            return SDL_Color{static_cast<Uint8>(8 * n), static_cast<Uint8>(250 - 7 * n),
                             static_cast<Uint8>((40 * n) % 200 + 20), 0};
        }
    }
    ADD_FAILURE() << "no such member " << member;
    return SDL_Color{0, 0, 0, 0};
}

inline bool SameColour(SDL_Color a, SDL_Color b) {
    return a.r == b.r && a.g == b.g && a.b == b.b;
}

// The member picture drawn at a screen point, or "" when none matches.
inline std::string MemberAt(SDL_Surface* screen, int x, int y) {
    const SDL_Color seen = PixelColour(screen, x, y);
    std::vector<std::string> all = BuildingMembers();
    all.insert(all.end(), ElfMembers().begin(), ElfMembers().end());
    for (const std::string& member : all) {
        if (SameColour(seen, MemberColour(member))) {
            return member;
        }
    }
    return "";
}

// The member shown on a map tile (sampled in the middle of the tile).
inline std::string MemberOnTile(SDL_Surface* screen, int column, int row) {
    return MemberAt(screen, 32 * column + 16, 32 * (row + 1) + 16);
}

inline std::string PictureBytes(const std::string& member) {
    const SDL_Color c = MemberColour(member);
    return SolidBmp(32, 32, c.r, c.g, c.b);
}

// Writes data/buildings.rkp and data/elves.rkp with one colour per member;
// a member named in `broken` holds bytes no image loader reads.
inline void WriteRulesPackages(const std::vector<std::string>& broken = {}) {
    mkdir("data", 0755);
    auto content = [&](const std::string& member) {
        for (const std::string& b : broken) {
            if (b == member) {
                return std::string("not a picture at all");
            }
        }
        return PictureBytes(member);
    };
    std::vector<std::pair<std::string, std::string>> buildings;
    for (const std::string& m : BuildingMembers()) {
        buildings.push_back({m, content(m)});
    }
    WriteTestPackage("data/buildings.rkp", 41, buildings);
    std::vector<std::pair<std::string, std::string>> elves;
    for (const std::string& m : ElfMembers()) {
        elves.push_back({m, content(m)});
    }
    WriteTestPackage("data/elves.rkp", 43, elves);
}

// A dummy screen, the test clock and the packages; an economy to play with.
class RulesTest : public ::testing::Test {
  protected:
    void SetUp() override { WriteRulesPackages(); }

    int Add(int type, int column, int row, int workers = 0) {
        economy.AddBuilding(type, column, row);
        economy.buildings.back().workers = workers;
        return static_cast<int>(economy.buildings.size()) - 1;
    }

    int AddElf(int type, int column, int row) {
        economy.elves.emplace_back(type, column, row);
        return static_cast<int>(economy.elves.size()) - 1;
    }

    // One frame of the simulation at the current clock, then the clock moves on.
    void Frame(Uint32 advance = 500) {
        economy.UpdateBuildings(screen.Screen());
        economy.UpdateElves();
        TestClock::Advance(advance);
    }

    void ClearScreen() { SDL_FillRect(screen.Screen(), nullptr, 0); }

    // A seed whose first draws of Random(1, sides) give the wanted values (0 for any).
    static unsigned SeedFor(const std::vector<std::pair<int, int>>& draws) {
        for (unsigned seed = 1; seed < 1000000; ++seed) {
            std::srand(seed);
            bool fits = true;
            for (const auto& [sides, wanted] : draws) {
                const int got = Random(1, sides);
                if (wanted != 0 && got != wanted) {
                    fits = false;
                    break;
                }
            }
            if (fits) {
                return seed;
            }
        }
        ADD_FAILURE() << "no seed gives the wanted draws";
        return 1;
    }

    ScreenGuard screen;
    ClockGuard clock{100000};
    Economy economy;
};
