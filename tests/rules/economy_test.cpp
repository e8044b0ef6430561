#include "tests/rules/rules_fixture.h"

#include <cstdlib>
#include <set>
#include <string>
#include <vector>

namespace {

using EconomySimulationTest = RulesTest;

TEST_F(EconomySimulationTest, AGameStartsWithMoneyAndNothingElse) {
    EXPECT_EQ(economy.Money(), 5000);
    EXPECT_EQ(economy.Wood(), 0);
    EXPECT_EQ(economy.Steel(), 0);
    EXPECT_EQ(economy.Plastic(), 0);
    EXPECT_TRUE(economy.buildings.empty());
    EXPECT_TRUE(economy.elves.empty());
    EXPECT_FALSE(economy.placing || economy.freeElvesPanelOpen);
    for (int index : {economy.pendingElfType, economy.selectedBuilding, economy.selectedWorker,
                      economy.selectedCarrier, economy.routeCarrier}) {
        EXPECT_EQ(index, -1);
    }
    // Frames over an empty economy change nothing.
    for (int i = 0; i < 10; ++i) {
        Frame();
    }
    EXPECT_EQ(economy.Money(), 5000);
    EXPECT_TRUE(economy.buildings.empty());
}

TEST_F(EconomySimulationTest, FactoryChecksEachStockOnItsOwn) {
    Add(Factory, 2, 2, 2);
    struct Cycle {
        int wood, steel, plastic;
        int income, woodLeft, steelLeft, plasticLeft;
    };
    const std::vector<Cycle> cycles = {
        {25, 4, 3, 700, 15, 4, 0}, {0, 0, 0, 0, 0, 0, 0},   {12, 0, 0, 200, 2, 0, 0},
        {10, 5, 3, 1000, 0, 0, 0}, {9, 7, 2, 300, 9, 2, 2}, {0, 0, 30, 500, 0, 0, 27},
    };
    for (const Cycle& c : cycles) {
        TestClock::Advance(3000);
        economy.wood = c.wood;
        economy.steel = c.steel;
        economy.plastic = c.plastic;
        const int before = economy.money;
        economy.UpdateBuildings(screen.Screen());
        EXPECT_EQ(economy.money - before, c.income);
        EXPECT_EQ(economy.wood, c.woodLeft);
        EXPECT_EQ(economy.steel, c.steelLeft);
        EXPECT_EQ(economy.plastic, c.plasticLeft);
    }
    // An empty cycle still restarts the interval.
    TestClock::Advance(3000);
    economy.wood = 0;
    economy.UpdateBuildings(screen.Screen());
    economy.wood = 10;
    TestClock::Advance(2999);
    economy.UpdateBuildings(screen.Screen());
    EXPECT_EQ(economy.wood, 10);
    TestClock::Advance(1);
    economy.UpdateBuildings(screen.Screen());
    EXPECT_EQ(economy.wood, 0);

    // Without its two workers a factory never sells.
    economy.buildings[0].workers = 1;
    economy.wood = 50;
    TestClock::Advance(9000);
    economy.UpdateBuildings(screen.Screen());
    EXPECT_EQ(economy.wood, 50);
}

TEST_F(EconomySimulationTest, ProducersFillTheirStocks) {
    Add(Woodworker, 0, 0, 1);
    Add(Plastics, 2, 0, 6);
    Add(Foundry, 5, 0, 4);
    economy.buildings[2].carriers = 2;
    Add(Mine, 9, 0, 3);
    Add(Office, 11, 0);
    // Frames every 500 ms up to 12 s after building: woodworker every 2 s (6 cycles),
    // plastics every 4 s (3), foundry with two carriers every 2.5 s (4).
    TestClock::Advance(500);
    for (int i = 0; i < 24; ++i) {
        economy.UpdateBuildings(screen.Screen());
        TestClock::Advance(500);
    }
    EXPECT_EQ(economy.wood, 3 * 6);
    EXPECT_EQ(economy.plastic, 2 * 3);
    EXPECT_EQ(economy.steel, 3 * 4);
    EXPECT_EQ(economy.money, 5000);
}

TEST_F(EconomySimulationTest, ProductionFollowsTheListWithinAFrame) {
    Add(Factory, 0, 0, 2);
    Add(Woodworker, 3, 0, 1);
    economy.wood = 9;
    TestClock::Advance(6000);
    economy.UpdateBuildings(screen.Screen());
    EXPECT_EQ(economy.wood, 12) << "the factory looked before the woodworker delivered";
    EXPECT_EQ(economy.money, 5000);

    Economy reversed;
    reversed.AddBuilding(Woodworker, 3, 0);
    reversed.buildings.back().workers = 1;
    reversed.AddBuilding(Factory, 0, 0);
    reversed.buildings.back().workers = 2;
    reversed.wood = 9;
    TestClock::Advance(6000);
    reversed.UpdateBuildings(screen.Screen());
    EXPECT_EQ(reversed.wood, 2);
    EXPECT_EQ(reversed.money, 5200);
}

TEST_F(EconomySimulationTest, FoundryNeedsACarrierToWorkButNotToAnimate) {
    const int foundry = Add(Foundry, 4, 4, 4);
    std::set<int> framesSeen;
    for (int i = 0; i < 20; ++i) {
        Frame();
        framesSeen.insert(economy.buildings[foundry].animFrame);
    }
    EXPECT_EQ(economy.steel, 0);
    EXPECT_EQ(framesSeen.size(), 3u) << "its three frames keep counting";

    // From the first frame with a carrier: every 3000 ms with one, every 1000 ms with five.
    economy.buildings[foundry].carriers = 1;
    std::vector<int> steel;
    for (int i = 0; i < 13; ++i) {
        Frame();
        steel.push_back(economy.steel);
    }
    EXPECT_EQ(steel, (std::vector<int>{3, 3, 3, 3, 3, 3, 6, 6, 6, 6, 6, 6, 9}));
    economy.buildings[foundry].carriers = 5;
    economy.steel = 0;
    steel.clear();
    for (int i = 0; i < 8; ++i) {
        Frame();
        steel.push_back(economy.steel);
    }
    // The interval since the last cycle is measured by the new carrier count.
    EXPECT_EQ(steel, (std::vector<int>{0, 3, 3, 6, 6, 9, 9, 12}));
}

TEST_F(EconomySimulationTest, ALateWorkerStartsProductionInItsFirstFrame) {
    const int woodworker = Add(Woodworker, 12, 0);
    const int worker = AddElf(Worker, 12, 13);
    economy.elves[worker].employed = true;
    economy.elves[worker].WalkTo(12, 0);
    // 13 steps to walk, one to go inside: 14 passes of 500 ms.
    int frames = 0;
    while (economy.buildings[woodworker].workers == 0 && frames < 100) {
        Frame();
        ++frames;
        EXPECT_EQ(economy.wood, 0);
    }
    EXPECT_EQ(frames, 14);
    EXPECT_TRUE(economy.elves[worker].inside);
    std::vector<int> wood;
    for (int i = 0; i < 9; ++i) {
        Frame();
        wood.push_back(economy.wood);
    }
    EXPECT_EQ(wood, (std::vector<int>{3, 3, 3, 3, 6, 6, 6, 6, 9}));
}

TEST_F(EconomySimulationTest, AFindIsOnTheMapForTheElvesAfterIt) {
    AddElf(Geologist, 7, 7);
    AddElf(Worker, 0, 0);
    AddElf(Geologist, 7, 7);
    // First geologist rolls 5 and finds iron; the second rolls 5 on the new deposit.
    std::srand(SeedFor({{10, 5}, {2, 2}, {10, 5}}));
    economy.UpdateElves();
    ASSERT_EQ(economy.buildings.size(), 1u);
    EXPECT_EQ(economy.buildings[0].type, Iron);
    EXPECT_EQ(economy.buildings[0].x, 7);
    EXPECT_EQ(economy.buildings[0].y, 7);
    EXPECT_EQ(economy.elves[0].searchState, 2);
    EXPECT_EQ(economy.elves[2].searchState, 0) << "the deposit's tile rules out a second find";
    EXPECT_FALSE(economy.elves[2].AtTarget());

    // The deposit is drawn from the next frame on.
    ClearScreen();
    economy.UpdateBuildings(screen.Screen());
    EXPECT_EQ(MemberOnTile(screen.Screen(), 7, 7), "iron.png");

    // Alone, the second geologist would have found with the same roll.
    Economy alone;
    alone.elves.emplace_back(Geologist, 7, 7);
    std::srand(SeedFor({{10, 5}, {2, 1}}));
    alone.UpdateElves();
    ASSERT_EQ(alone.buildings.size(), 1u);
    EXPECT_EQ(alone.buildings[0].type, Oil);
}

TEST_F(EconomySimulationTest, GeologistsShareWhatTheyExplored) {
    const int a = AddElf(Geologist, 0, 0);
    const int worker = AddElf(Worker, 0, 0);
    const int b = AddElf(Geologist, 19, 13);
    const int c = AddElf(Geologist, 10, 5);
    std::srand(SeedFor({{10, 1}, {1, 0}, {10, 1}, {1, 0}, {10, 1}}));
    economy.UpdateElves();
    for (int g : {a, b, c}) {
        EXPECT_TRUE(economy.elves[g].explored[0]);
        EXPECT_TRUE(economy.elves[g].explored[19 * MapRows + 13]);
        EXPECT_TRUE(economy.elves[g].explored[10 * MapRows + 5]);
    }
    for (uint8_t tile : economy.elves[worker].explored) {
        ASSERT_EQ(tile, 0) << "only geologists share";
    }

    // Over a whole search no geologist heads for a tile explored before its choice,
    // and both end when the map is known.
    std::srand(4321);
    int passes = 0;
    std::set<int> finders;
    while (passes < 5000) {
        std::vector<uint8_t> known(MapColumns * MapRows, 0);
        for (int g : {a, b, c}) {
            for (size_t i = 0; i < known.size(); ++i) {
                known[i] |= economy.elves[g].explored[i];
            }
        }
        std::vector<int> targetBefore;
        for (int g : {a, b, c}) {
            const Elf& e = economy.elves[g];
            targetBefore.push_back((e.x + e.dx) * MapRows + e.y + e.dy);
        }
        const size_t deposits = economy.buildings.size();
        economy.UpdateElves();
        ++passes;
        int index = 0;
        bool allDone = true;
        for (int g : {a, b, c}) {
            const Elf& e = economy.elves[g];
            const int target = (e.x + e.dx) * MapRows + e.y + e.dy;
            if (target != targetBefore[index] && !e.AtTarget()) {
                ASSERT_FALSE(known[target]) << "geologist " << g << " chose an explored tile";
            }
            if (e.searchState == 2) {
                finders.insert(g);
            }
            allDone = allDone && e.searchState == 3;
            ++index;
        }
        ASSERT_LE(economy.buildings.size(), deposits + 3);
        ASSERT_LE(economy.buildings.size(), finders.size()) << "at most one deposit per geologist";
        if (allDone) {
            break;
        }
    }
    EXPECT_LT(passes, 5000);
    for (int g : {a, b, c}) {
        for (uint8_t tile : economy.elves[g].explored) {
            ASSERT_NE(tile, 0);
        }
    }
    const int x = economy.elves[a].x;
    economy.UpdateElves();
    EXPECT_EQ(economy.elves[a].x, x) << "a finished geologist stays put";
}

TEST_F(EconomySimulationTest, BuildingsAreDrawnInListOrderAndElvesOverThem) {
    Add(Iron, 5, 5);
    Add(Mine, 5, 4);
    Add(Factory, 10, 10);
    Add(Oil, 11, 10);
    Add(Woodworker, 15, 2);
    AddElf(Carrier, 15, 2);
    const int hidden = AddElf(Worker, 10, 10);
    economy.elves[hidden].inside = true;
    ClearScreen();
    economy.UpdateBuildings(screen.Screen());
    economy.DrawElves(screen.Screen());
    EXPECT_EQ(MemberOnTile(screen.Screen(), 5, 4), "mine1.png");
    EXPECT_EQ(MemberOnTile(screen.Screen(), 5, 5), "mine2.png") << "the mine hides the deposit under it";
    EXPECT_EQ(MemberOnTile(screen.Screen(), 10, 10), "factory1.png");
    EXPECT_EQ(MemberOnTile(screen.Screen(), 11, 10), "oil.png") << "a later deposit lies over the factory";
    EXPECT_EQ(MemberOnTile(screen.Screen(), 15, 2), "carrier.png");
    EXPECT_EQ(MemberOnTile(screen.Screen(), 0, 0), "");
}

}  // namespace
