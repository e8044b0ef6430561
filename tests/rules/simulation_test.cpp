#include "tests/rules/rules_fixture.h"

#include <algorithm>
#include <cstdlib>
#include <utility>
#include <vector>

namespace {

using SimulationTest = RulesTest;

int ExploredCount(const Elf& elf) {
    return static_cast<int>(std::count(elf.explored.begin(), elf.explored.end(), 1));
}

int Tile(int column, int row) {
    return column * MapRows + row;
}

TEST_F(SimulationTest, FactorySellsEachStockOnItsOwnAndOnlyWithItsStaff) {
    Add(Factory, 2, 2);
    // The stock set after the clock moved on, what one update earns and leaves. An empty cycle still
    // restarts the interval; one worker short, the factory sells nothing.
    struct Cycle {
        Uint32 advance;
        int workers, wood, steel, plastic;
        int income, woodLeft, steelLeft, plasticLeft;
    };
    const std::vector<Cycle> cycles = {{3000, 2, 25, 4, 3, 700, 15, 4, 0}, {3000, 2, 0, 0, 0, 0, 0, 0, 0},
                                       {3000, 2, 12, 0, 0, 200, 2, 0, 0},  {3000, 2, 10, 5, 3, 1000, 0, 0, 0},
                                       {3000, 2, 9, 7, 2, 300, 9, 2, 2},   {3000, 2, 0, 0, 30, 500, 0, 0, 27},
                                       {3000, 2, 0, 0, 0, 0, 0, 0, 0},     {2999, 2, 10, 0, 0, 0, 10, 0, 0},
                                       {1, 2, 10, 0, 0, 200, 0, 0, 0},     {9000, 1, 50, 0, 0, 0, 50, 0, 0}};
    for (const Cycle& c : cycles) {
        TestClock::Advance(c.advance);
        economy.buildings[0].workers = c.workers;
        economy.wood = c.wood;
        economy.steel = c.steel;
        economy.plastic = c.plastic;
        const int before = economy.money;
        economy.UpdateBuildings(screen.Screen());
        EXPECT_EQ(economy.money - before, c.income) << &c - cycles.data();
        EXPECT_EQ(std::vector<int>({economy.wood, economy.steel, economy.plastic}),
                  std::vector<int>({c.woodLeft, c.steelLeft, c.plasticLeft}))
            << &c - cycles.data();
    }
}

TEST_F(SimulationTest, ProducersFillTheirStocksInListOrder) {
    Add(Woodworker, 0, 0, 1);
    Add(Plastics, 2, 0, 6);
    Add(Foundry, 5, 0, 4);
    economy.buildings[2].carriers = 2;
    Add(Mine, 9, 0, 3);
    Add(Office, 11, 0);
    // Frames every 500 ms up to 12 s after building: woodworker every 2 s (6 cycles),
    // plastics every 4 s (3), foundry with two carriers every 2.5 s (4). Whole frames, so the
    // elves' update also runs on a game without elves.
    for (int i = 0; i < 25; ++i) {
        Frame();
    }
    // A new game starts with 5000 and no stock.
    EXPECT_EQ(economy.Wood(), 3 * 6);
    EXPECT_EQ(economy.Plastic(), 2 * 3);
    EXPECT_EQ(economy.Steel(), 3 * 4);
    EXPECT_EQ(economy.Money(), 5000);

    // A factory before the woodworker looks at the stock before the delivery.
    for (bool factoryFirst : {true, false}) {
        Economy e;
        for (int type :
             factoryFirst ? std::vector<int>{Factory, Woodworker} : std::vector<int>{Woodworker, Factory}) {
            e.AddBuilding(type, type == Factory ? 0 : 3, 5);
            e.buildings.back().workers = e.buildings.back().workersNeeded;
        }
        e.wood = 9;
        TestClock::Advance(6000);
        e.UpdateBuildings(screen.Screen());
        EXPECT_EQ(e.wood, factoryFirst ? 12 : 2);
        EXPECT_EQ(e.money, factoryFirst ? 5000 : 5200);
    }
}

TEST_F(SimulationTest, ALateWorkerStartsProductionInItsFirstFrame) {
    Add(Woodworker, 12, 0);
    Elf& worker = economy.elves[AddElf(Worker, 12, 0)];
    worker.employed = true;
    worker.WalkTo(12, 0);
    TestClock::Advance(7000);  // the woodworker stood empty since it was bought
    std::vector<int> wood;
    for (int i = 0; i < 10; ++i) {
        Frame();
        wood.push_back(economy.wood);
    }
    // The worker goes inside in the first frame; production is due at once and then every 2 s.
    EXPECT_EQ(wood, (std::vector<int>{0, 3, 3, 3, 3, 6, 6, 6, 6, 9}));
}

TEST_F(SimulationTest, AFindIsOnTheMapForTheElvesAfterIt) {
    AddElf(Geologist, 7, 7);
    AddElf(Worker, 0, 0);
    AddElf(Geologist, 7, 7);
    // First geologist rolls 5 and finds iron; the second rolls 5 on the new deposit.
    std::srand(SeedFor({{10, 5}, {2, 2}, {10, 5}}));
    economy.UpdateElves();
    ASSERT_EQ(economy.buildings.size(), 1u);
    EXPECT_EQ(economy.buildings[0].type, Iron);
    EXPECT_TRUE(economy.buildings[0].x == 7 && economy.buildings[0].y == 7);
    EXPECT_EQ(economy.elves[0].searchState, Elf::FoundBefore);
    EXPECT_EQ(economy.elves[2].searchState, Elf::Searching) << "the deposit's tile rules out a second find";
    EXPECT_FALSE(economy.elves[2].AtTarget());
    ClearScreen();
    economy.UpdateBuildings(screen.Screen());
    EXPECT_TRUE(ShowsOnTile(screen.Screen(), 7, 7, "iron.png"));

    // Alone, the second geologist would have found with the same roll.
    Economy alone;
    alone.elves.emplace_back(Geologist, 7, 7);
    std::srand(SeedFor({{10, 5}, {2, 1}}));
    alone.UpdateElves();
    ASSERT_EQ(alone.buildings.size(), 1u);
    EXPECT_EQ(alone.buildings[0].type, Oil);
}

TEST_F(SimulationTest, GeologistsShareWhatTheyExplored) {
    const int worker = AddElf(Worker, 0, 0);
    const std::vector<int> geologists = {AddElf(Geologist, 0, 0), AddElf(Geologist, 19, 13),
                                         AddElf(Geologist, 10, 5)};
    std::srand(SeedFor({{10, 1}, {1, 0}, {10, 1}, {1, 0}, {10, 1}}));
    economy.UpdateElves();
    for (int g : geologists) {
        EXPECT_TRUE(economy.elves[g].explored[0] && economy.elves[g].explored[Tile(19, 13)] &&
                    economy.elves[g].explored[Tile(10, 5)]);
    }
    EXPECT_EQ(ExploredCount(economy.elves[worker]), 0) << "only geologists share";
}

TEST_F(SimulationTest, AnElfWalksDiagonallyThenStraightOnlyWhenSent) {
    Elf& elf = economy.elves[AddElf(Worker, 8, 9)];
    elf.WalkTo(5, 4);
    EXPECT_TRUE(elf.dx == -3 && elf.dy == -5 && elf.walking);
    std::vector<std::pair<int, int>> path;
    while (!elf.AtTarget() && path.size() < 20) {
        elf.Update(economy);
        path.push_back({elf.x, elf.y});
    }
    EXPECT_EQ(path, (std::vector<std::pair<int, int>>{{7, 8}, {6, 7}, {5, 6}, {5, 5}, {5, 4}}));

    Elf& idle = economy.elves[AddElf(Worker, 3, 3)];
    idle.dx = 2;
    idle.Update(economy);
    EXPECT_EQ(idle.x, 3) << "an elf that was never sent stays where it stands";
}

TEST_F(SimulationTest, WorkerTakesTheFirstBuildingWithRoomOnItsTile) {
    const int iron = Add(Iron, 6, 3);
    const int mine = Add(Mine, 6, 2, 2);  // entrance (6, 3)
    const int woodworker = Add(Woodworker, 1, 1, 0);
    Elf& first = economy.elves[AddElf(Worker, 6, 0)];
    first.employed = true;
    first.WalkTo(6, 3);
    for (int i = 0; i < 3; ++i) {
        first.Update(economy);
    }
    EXPECT_FALSE(first.inside) << "arrival is checked on the next step";
    first.Update(economy);
    EXPECT_TRUE(first.inside && first.employed);
    EXPECT_EQ(economy.buildings[iron].workers, 0) << "a deposit takes no worker";
    first.Update(economy);
    EXPECT_EQ(economy.buildings[mine].workers, 3) << "a worker inside counts once";

    // A second worker reaches the full mine and becomes free on its entrance.
    Elf& late = economy.elves[AddElf(Worker, 6, 3)];
    late.employed = true;
    late.WalkTo(6, 3);
    late.Update(economy);
    EXPECT_FALSE(late.employed || late.walking || late.inside);
    EXPECT_TRUE(late.x == 6 && late.y == 3);
    late.Update(economy);
    EXPECT_EQ(economy.buildings[mine].workers + economy.buildings[woodworker].workers, 3);
}

TEST_F(SimulationTest, CarrierShuttlesWithStopsInsideItsBuildings) {
    const int mine = Add(Mine, 4, 2, 3);        // entrance (4, 3)
    const int foundry = Add(Foundry, 9, 6, 4);  // entrance (9, 6)
    Elf& carrier = economy.elves[AddElf(Carrier, 2, 3)];
    carrier.Update(economy);
    EXPECT_EQ(carrier.x, 2) << "a free carrier stands still";
    carrier.mineIndex = mine;
    carrier.foundryIndex = foundry;
    carrier.StartRoute(economy);
    EXPECT_TRUE(carrier.onRoute && !carrier.toFoundry && carrier.dx == 2 && carrier.dy == 0);

    // Where it is after every step of 500 ms: I inside, M/F on the way to the mine/foundry.
    std::string seen;
    for (int i = 0; i < 27; ++i) {
        carrier.Update(economy);
        seen += carrier.inside ? 'I' : carrier.toFoundry ? 'F' : 'M';
        TestClock::Advance(500);
    }
    // Two steps to the mine, 3000 ms inside, five steps to the foundry's left tile, and back.
    EXPECT_EQ(seen, "MMIIIIIIFFFFFFIIIIIIMMMMMMI");
    EXPECT_TRUE(carrier.x == 4 && carrier.y == 3);
    TestClock::Advance(2499);  // the last stop began 2999 ms ago
    carrier.Update(economy);
    EXPECT_TRUE(carrier.inside) << "a stop lasts exactly 3000 ms";
    TestClock::Advance(1);
    carrier.Update(economy);
    EXPECT_FALSE(carrier.inside);
}

TEST_F(SimulationTest, GeologistFindsOnlyWhereNoBuildingStarts) {
    Add(Factory, 3, 3);
    const unsigned lucky = SeedFor({{10, 5}});
    Elf& onTopLeft = economy.elves[AddElf(Geologist, 3, 3)];
    std::srand(lucky);
    onTopLeft.Update(economy);
    EXPECT_EQ(onTopLeft.searchState, Elf::Searching) << "a building's top-left tile rules out a find";
    EXPECT_TRUE(onTopLeft.explored[Tile(3, 3)]);
    EXPECT_FALSE(onTopLeft.AtTarget()) << "it chose its next tile";

    Elf& onSecondTile = economy.elves[AddElf(Geologist, 4, 3)];
    std::srand(lucky);
    onSecondTile.Update(economy);
    onSecondTile.Update(economy);
    EXPECT_EQ(onSecondTile.searchState, Elf::JustFound);
    EXPECT_TRUE(onSecondTile.AtTarget()) << "it waits for the find to be taken";

    // After its find a geologist explores on and never rolls again.
    onSecondTile.searchState = Elf::FoundBefore;
    std::srand(lucky);
    for (int i = 0; i < 20000 && onSecondTile.searchState != Elf::Finished; ++i) {
        onSecondTile.Update(economy);
        ASSERT_NE(onSecondTile.searchState, Elf::JustFound);
    }
    EXPECT_EQ(onSecondTile.searchState, Elf::Finished);
}

TEST_F(SimulationTest, GeologistOnlyExploresWhereItStopsAndFinishesWhenAllIsKnown) {
    Elf& geologist = economy.elves[AddElf(Geologist, 13, 13)];
    geologist.explored.fill(1);
    geologist.explored[0] = geologist.explored[Tile(5, 5)] = geologist.explored[Tile(13, 13)] = 0;
    // No find anywhere; the first choice is the first of the two tiles left: column 0 counts too.
    std::srand(SeedFor({{10, 3}, {2, 1}, {10, 3}, {1, 0}, {10, 3}}));
    geologist.Update(economy);
    ASSERT_TRUE(geologist.dx == -13 && geologist.dy == -13) << "it must not walk off the map";
    for (int i = 0; i < 13; ++i) {
        geologist.Update(economy);
    }
    ASSERT_TRUE(geologist.AtTarget() && geologist.x == 0 && geologist.y == 0);
    EXPECT_FALSE(geologist.explored[Tile(5, 5)]) << "a tile walked over stays unexplored";
    geologist.Update(economy);
    EXPECT_TRUE(geologist.dx == 5 && geologist.dy == 5) << "back to the tile it only passed";
    for (int i = 0; i < 6; ++i) {
        geologist.Update(economy);
    }
    EXPECT_EQ(geologist.searchState, Elf::Finished);
    EXPECT_EQ(ExploredCount(geologist), MapColumns * MapRows);
    geologist.Update(economy);
    EXPECT_TRUE(geologist.x == 5 && geologist.y == 5) << "a finished geologist stays put";
}

}  // namespace
