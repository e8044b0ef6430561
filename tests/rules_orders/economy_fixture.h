#pragma once

#include "rules/economy.h"
#include "tests/support/test_support.h"
#include "world/tile_map.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

// Colours of the test pictures; none is magenta (transparent) or a panel red.
inline constexpr SDL_Color OfficeColour{0, 0, 200, 0};
inline constexpr SDL_Color BaseColour{0, 200, 0, 0};
inline constexpr SDL_Color FrameColour{0, 100, 100, 0};

inline bool SameColour(SDL_Color a, SDL_Color b) {
    return a.r == b.r && a.g == b.g && a.b == b.b;
}

// A dummy screen, a test clock and small packages for every building, elf and tile.
class EconomyTest : public ::testing::Test {
  protected:
    void SetUp() override {
        mkdir("data", 0755);
        const std::string tile = SolidBmp(32, 32, BaseColour.r, BaseColour.g, BaseColour.b);
        const std::string office = SolidBmp(32, 32, OfficeColour.r, OfficeColour.g, OfficeColour.b);
        const std::string frame = SolidBmp(32, 32, FrameColour.r, FrameColour.g, FrameColour.b);
        std::vector<std::pair<std::string, std::string>> members = {{"office.png", office}};
        for (const char* base :
             {"woodworker", "factory1", "factory2", "plastics1", "plastics2", "plastics3", "plastics4",
              "foundry1", "foundry2", "foundry3", "mine1", "mine2", "iron", "oil"}) {
            members.push_back({std::string(base) + ".png", tile});
        }
        for (const char* work :
             {"woodworkerw1", "woodworkerw2", "woodworkerw3", "woodworkerw4", "factory2w1", "factory2w2",
              "plastics1w1", "plastics1w2", "foundry3w1", "foundry3w2", "foundry3w3", "mine1w1", "mine1w2"}) {
            members.push_back({std::string(work) + ".png", frame});
        }
        WriteTestPackage("data/buildings.rkp", 7, members);
        WriteTestPackage("data/elves.rkp", 9,
                         {{"worker.png", tile}, {"geologist.png", tile}, {"carrier.png", tile}});
        WriteTestPackage(
            "data/tiles.rkp", 11,
            {{"tiles.dat", "grass.bmp|yes|x\nrock.bmp|no|x"}, {"grass.bmp", tile}, {"rock.bmp", frame}});
    }

    // A generated map with blocked cells; fixed seed so a failure repeats.
    void LoadBlockedMap() {
        std::srand(4242);
        blockedMap.Load();
    }

    // Places a bought building with the given staff.
    int Add(int type, int column, int row, int workers = 0) {
        economy.AddBuilding(type, column, row);
        economy.buildings.back().workers = workers;
        return static_cast<int>(economy.buildings.size()) - 1;
    }

    int AddElf(int type, int column = 0, int row = 0) {
        economy.elves.emplace_back(type, column, row);
        return static_cast<int>(economy.elves.size()) - 1;
    }

    // Puts the preview on a tile without going through the pointer.
    void Preview(int type, int column, int row) {
        economy.StartPlacing(type);
        economy.preview.SetPosition(column, row);
    }

    void ClearScreen() { SDL_FillRect(screen.Screen(), nullptr, 0); }

    ScreenGuard screen;
    ClockGuard clock{100000};
    TileMap emptyMap;  // no cell blocked
    TileMap blockedMap;
    Economy economy;
};
