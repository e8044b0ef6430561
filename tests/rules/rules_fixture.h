#pragma once

#include "engine/video.h"
#include "rules/building.h"
#include "rules/economy.h"
#include "rules/elf.h"
#include "tests/support/test_support.h"
#include "world/tile_map.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdlib>
#include <exception>
#include <functional>
#include <string>
#include <utility>
#include <vector>

// Every member picture of the building package, then the three of the elf package.
inline const std::vector<std::string> Members = {
    "office.png",       "woodworker.png", "woodworkerw1.png", "woodworkerw2.png", "woodworkerw3.png",
    "woodworkerw4.png", "factory1.png",   "factory2.png",     "factory2w1.png",   "factory2w2.png",
    "plastics1.png",    "plastics2.png",  "plastics3.png",    "plastics4.png",    "plastics1w1.png",
    "plastics1w2.png",  "foundry1.png",   "foundry2.png",     "foundry3.png",     "foundry3w1.png",
    "foundry3w2.png",   "foundry3w3.png", "mine1.png",        "mine2.png",        "mine1w1.png",
    "mine1w2.png",      "iron.png",       "oil.png",          "worker.png",       "geologist.png",
    "carrier.png"};
inline constexpr size_t ElfMemberCount = 3;

// A colour of its own for every member: never magenta, black or any panel red.
inline SDL_Color MemberColour(size_t index) {
    const int n = static_cast<int>(index) + 1;
    return SDL_Color{static_cast<Uint8>(8 * n), static_cast<Uint8>(250 - 7 * n),
                     static_cast<Uint8>((40 * n) % 200 + 20), 0};
}

inline bool SameColour(SDL_Color a, SDL_Color b) {
    return a.r == b.r && a.g == b.g && a.b == b.b;
}

// The member picture drawn at a screen point, or "" when none matches.
inline std::string MemberAt(SDL_Surface* screen, int x, int y) {
    for (size_t i = 0; i < Members.size(); ++i) {
        if (SameColour(PixelColour(screen, x, y), MemberColour(i))) {
            return Members[i];
        }
    }
    return "";
}

// The member shown on a map tile (sampled in the middle of the tile).
inline std::string MemberOnTile(SDL_Surface* screen, int column, int row) {
    return MemberAt(screen, 32 * column + 16, 32 * (row + 1) + 16);
}

// Writes the building, elf and tile packages; a member named `broken` holds bytes no image loader reads.
inline void WriteRulesPackages(const std::string& broken = "") {
    mkdir("data", 0755);
    std::vector<std::pair<std::string, std::string>> buildings;
    std::vector<std::pair<std::string, std::string>> elves;
    for (size_t i = 0; i < Members.size(); ++i) {
        const SDL_Color c = MemberColour(i);
        auto& package = i + ElfMemberCount < Members.size() ? buildings : elves;
        package.push_back(
            {Members[i], Members[i] == broken ? "not a picture" : SolidBmp(32, 32, c.r, c.g, c.b)});
    }
    WriteTestPackage("data/buildings.rkp", 41, buildings);
    WriteTestPackage("data/elves.rkp", 43, elves);
    const std::string grass = SolidBmp(32, 32, 0, 200, 0);
    WriteTestPackage(
        "data/tiles.rkp", 11,
        {{"tiles.dat", "grass.bmp|yes|x\nrock.bmp|no|x"}, {"grass.bmp", grass}, {"rock.bmp", grass}});
}

// What the call throws, or "" when it returns.
inline std::string ErrorText(const std::function<void()>& call) {
    try {
        call();
    } catch (const std::exception& failure) {
        return failure.what();
    }
    return "";
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

    int AddElf(int type, int column = 0, int row = 0) {
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
                fits = fits && (wanted == 0 || got == wanted);
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
