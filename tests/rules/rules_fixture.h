#pragma once

#include "engine/video.h"
#include "rules/building.h"
#include "rules/economy.h"
#include "rules/elf.h"
#include "tests/support/test_support.h"
#include "world/tile_map.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <exception>
#include <functional>
#include <string>
#include <utility>
#include <vector>

// A colour of its own for every member picture, from its name: red below 128 and green above 63 keep
// it apart from magenta, black, grass and the panels' reds.
inline SDL_Color MemberColour(const std::string& member) {
    unsigned hash = 2166136261u;
    for (char c : member) {
        hash = (hash ^ static_cast<unsigned char>(c)) * 16777619u;
    }
    return SDL_Color{static_cast<Uint8>(hash & 0x7F), static_cast<Uint8>(64 + (hash >> 8 & 0x7F)),
                     static_cast<Uint8>(hash >> 16), 0};
}

inline bool SameColour(SDL_Color a, SDL_Color b) {
    return a.r == b.r && a.g == b.g && a.b == b.b;
}

// Whether the screen point shows the member picture ("": the black of a cleared screen).
inline bool Shows(SDL_Surface* screen, int x, int y, const std::string& member) {
    return SameColour(PixelColour(screen, x, y),
                      member.empty() ? SDL_Color{0, 0, 0, 0} : MemberColour(member));
}

// The same in the middle of a map tile.
inline bool ShowsOnTile(SDL_Surface* screen, int column, int row, const std::string& member) {
    return Shows(screen, 32 * column + 16, 32 * (row + 1) + 16, member);
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
    void SetUp() override { WriteWorldPackages(MemberColour, {0, 200, 0, 0}, {0, 200, 0, 0}); }

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
