#include "engine/errors.h"
#include "tests/rules/rules_fixture.h"

#include <cstdlib>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace {

using ElfTest = RulesTest;

int ExploredCount(const Elf& elf) {
    int count = 0;
    for (uint8_t tile : elf.explored) {
        count += tile != 0 ? 1 : 0;
    }
    return count;
}

TEST_F(ElfTest, ConstructionSetsTheRecordAndRefusesBadInput) {
    Elf carrier(Carrier, 4, 6);
    EXPECT_EQ(carrier.type, Carrier);
    EXPECT_EQ(carrier.x, 4);
    EXPECT_EQ(carrier.y, 6);
    EXPECT_FALSE(carrier.picture.IsEmpty());
    EXPECT_FALSE(carrier.onRoute || carrier.toFoundry || carrier.employed || carrier.inside ||
                 carrier.walking);
    EXPECT_EQ(carrier.mineIndex, -1);
    EXPECT_EQ(carrier.foundryIndex, -1);
    EXPECT_EQ(carrier.stopTimer, 0xFFFFFFFFu);
    EXPECT_EQ(carrier.searchState, 0);
    EXPECT_TRUE(carrier.AtTarget());
    EXPECT_EQ(ExploredCount(carrier), 0);

    std::remove("data/elves.rkp");
    for (int type : {0, 4}) {
        try {
            Elf bad(type, 0, 0);
            FAIL() << "made an elf of type " << type;
        } catch (const std::runtime_error& failure) {
            EXPECT_STREQ(failure.what(), "Elf type invalid: out of bounds!") << "checked before the package";
        }
    }
    EXPECT_THROW(Elf(Worker, 0, 0), FileLoadingFailed);

    WriteRulesPackages({"geologist.png"});
    try {
        Elf broken(Geologist, 0, 0);
        FAIL() << "an undecodable picture loaded";
    } catch (const std::runtime_error& failure) {
        EXPECT_STREQ(failure.what(), "Failed to load image!");
    }
    EXPECT_FALSE(FileExists("temp.tmp"));
}

TEST_F(ElfTest, WalksDiagonallyThenStraight) {
    const int worker = AddElf(Worker, 8, 9);
    Elf& elf = economy.elves[worker];
    elf.WalkTo(5, 4);
    EXPECT_EQ(elf.dx, -3);
    EXPECT_EQ(elf.dy, -5);
    std::vector<std::pair<int, int>> path;
    while (!elf.AtTarget() && path.size() < 20) {
        elf.Update(economy);
        path.push_back({elf.x, elf.y});
    }
    const std::vector<std::pair<int, int>> expected = {{7, 8}, {6, 7}, {5, 6}, {5, 5}, {5, 4}};
    EXPECT_EQ(path, expected);

    // An elf that was never sent stays where it stands.
    Elf& idle = economy.elves[AddElf(Worker, 3, 3)];
    idle.dx = 2;
    idle.Update(economy);
    EXPECT_EQ(idle.x, 3);
}

TEST_F(ElfTest, WorkerTakesTheFirstBuildingWithRoomOnItsTile) {
    const int iron = Add(Iron, 6, 3);
    const int mine = Add(Mine, 6, 2, 2);  // entrance (6, 3)
    const int woodworker = Add(Woodworker, 1, 1, 0);

    Elf& first = economy.elves[AddElf(Worker, 6, 0)];
    first.employed = true;
    first.WalkTo(6, 3);
    for (int i = 0; i < 3; ++i) {
        first.Update(economy);
    }
    EXPECT_EQ(first.y, 3);
    EXPECT_FALSE(first.inside) << "arrival is checked on the next step";
    first.Update(economy);
    EXPECT_TRUE(first.inside && first.employed);
    EXPECT_EQ(economy.buildings[mine].workers, 3);
    EXPECT_EQ(economy.buildings[iron].workers, 0) << "a deposit takes no worker";
    first.Update(economy);
    EXPECT_EQ(economy.buildings[mine].workers, 3) << "a worker inside counts once";

    // A second worker reaches the full mine and becomes free on its entrance.
    Elf& late = economy.elves[AddElf(Worker, 6, 3)];
    late.employed = true;
    late.WalkTo(6, 3);
    late.Update(economy);
    EXPECT_FALSE(late.employed || late.walking || late.inside);
    EXPECT_EQ(late.x, 6);
    EXPECT_EQ(late.y, 3);
    EXPECT_EQ(economy.buildings[mine].workers, 3);
    late.Update(economy);
    EXPECT_FALSE(late.employed);
    EXPECT_EQ(economy.buildings[woodworker].workers, 0);
}

TEST_F(ElfTest, CarrierShuttlesWithStopsInsideItsBuildings) {
    const int mine = Add(Mine, 4, 2, 3);        // entrance (4, 3)
    const int foundry = Add(Foundry, 9, 6, 4);  // entrance (9, 6)
    Elf& carrier = economy.elves[AddElf(Carrier, 2, 3)];
    carrier.Update(economy);
    EXPECT_EQ(carrier.x, 2) << "a free carrier stands still";
    carrier.mineIndex = mine;
    carrier.foundryIndex = foundry;
    carrier.StartRoute(economy);
    EXPECT_TRUE(carrier.onRoute);
    EXPECT_FALSE(carrier.toFoundry);
    EXPECT_EQ(carrier.dx, 2);
    EXPECT_EQ(carrier.dy, 0);

    // Records (tick, column, row, inside) after every step of 500 ms.
    struct Seen {
        int x;
        int y;
        bool inside;
        bool toFoundry;
    };
    std::vector<Seen> seen;
    for (int i = 0; i < 40; ++i) {
        carrier.Update(economy);
        seen.push_back({carrier.x, carrier.y, carrier.inside, carrier.toFoundry});
        TestClock::Advance(500);
    }
    // Two steps to the mine, a step to go inside, 3000 ms inside (six steps).
    EXPECT_EQ(seen[1].x, 4);
    EXPECT_EQ(seen[1].y, 3);
    EXPECT_FALSE(seen[1].inside);
    for (int i = 2; i <= 7; ++i) {
        EXPECT_TRUE(seen[i].inside) << "step " << i;
        EXPECT_FALSE(seen[i].toFoundry);
        EXPECT_EQ(seen[i].x, 4);
    }
    EXPECT_FALSE(seen[8].inside);
    EXPECT_TRUE(seen[8].toFoundry);
    // Five columns and three rows to the foundry's left tile: five steps.
    EXPECT_EQ(seen[13].x, 9);
    EXPECT_EQ(seen[13].y, 6);
    EXPECT_FALSE(seen[12].x == 9 && seen[12].y == 6);
    EXPECT_FALSE(seen[13].inside);
    for (int i = 14; i <= 19; ++i) {
        EXPECT_TRUE(seen[i].inside) << "step " << i;
    }
    EXPECT_FALSE(seen[20].inside);
    EXPECT_FALSE(seen[20].toFoundry);
    EXPECT_EQ(seen[25].x, 4);
    EXPECT_EQ(seen[25].y, 3);
    EXPECT_TRUE(seen[26].inside);

    // The stop ends exactly 3000 ms after it began.
    Elf& timed = economy.elves[AddElf(Carrier, 4, 3)];
    timed.mineIndex = mine;
    timed.foundryIndex = foundry;
    timed.StartRoute(economy);
    timed.Update(economy);
    ASSERT_TRUE(timed.inside);
    TestClock::Advance(2999);
    timed.Update(economy);
    EXPECT_TRUE(timed.inside);
    TestClock::Advance(1);
    timed.Update(economy);
    EXPECT_FALSE(timed.inside);
    EXPECT_EQ(timed.dx, 5);
    EXPECT_EQ(timed.dy, 3);
}

TEST_F(ElfTest, TakeFindOnlyAnswersAFreshFind) {
    std::vector<Elf> elves;
    elves.emplace_back(Worker, 0, 0);
    elves.emplace_back(Carrier, 0, 0);
    for (int state : {0, 2, 3}) {
        elves.emplace_back(Geologist, 0, 0);
        elves.back().searchState = state;
    }
    elves[0].searchState = 1;  // only a geologist can have found
    elves[1].searchState = 1;
    std::srand(77);
    const int before = std::rand();
    std::srand(77);
    for (Elf& elf : elves) {
        const int state = elf.searchState;
        EXPECT_EQ(elf.TakeFind(), 0);
        EXPECT_EQ(elf.searchState, state);
    }
    EXPECT_EQ(std::rand(), before) << "no number was drawn";

    const unsigned ironSeed = SeedFor({{2, 2}});
    Elf geologist(Geologist, 0, 0);
    geologist.searchState = 1;
    std::srand(ironSeed);
    EXPECT_EQ(geologist.TakeFind(), 1);
    EXPECT_EQ(geologist.searchState, 2);
    EXPECT_EQ(geologist.TakeFind(), 0);
    const unsigned oilSeed = SeedFor({{2, 1}});
    geologist.searchState = 1;
    std::srand(oilSeed);
    EXPECT_EQ(geologist.TakeFind(), 2);
}

TEST_F(ElfTest, GeologistFindsOnlyWhereNoBuildingStarts) {
    Add(Factory, 3, 3);
    const unsigned lucky = SeedFor({{10, 5}});

    Elf& onTopLeft = economy.elves[AddElf(Geologist, 3, 3)];
    std::srand(lucky);
    onTopLeft.Update(economy);
    EXPECT_EQ(onTopLeft.searchState, 0) << "a building's top-left tile rules out a find";
    EXPECT_TRUE(onTopLeft.explored[3 * MapRows + 3]);
    EXPECT_FALSE(onTopLeft.AtTarget()) << "it chose its next tile";

    Elf& onSecondTile = economy.elves[AddElf(Geologist, 4, 3)];
    std::srand(lucky);
    onSecondTile.Update(economy);
    EXPECT_EQ(onSecondTile.searchState, 1);
    EXPECT_TRUE(onSecondTile.AtTarget()) << "it waits for the find to be taken";
    onSecondTile.Update(economy);
    EXPECT_EQ(onSecondTile.searchState, 1);

    // After its find a geologist explores on and never rolls again.
    onSecondTile.searchState = 2;
    std::srand(lucky);
    for (int i = 0; i < 20000 && onSecondTile.searchState != 3; ++i) {
        onSecondTile.Update(economy);
        ASSERT_NE(onSecondTile.searchState, 1);
    }
    EXPECT_EQ(onSecondTile.searchState, 3);
    EXPECT_EQ(ExploredCount(onSecondTile), MapColumns * MapRows);
    const int x = onSecondTile.x;
    const int y = onSecondTile.y;
    onSecondTile.Update(economy);
    EXPECT_EQ(onSecondTile.x, x);
    EXPECT_EQ(onSecondTile.y, y);
    EXPECT_EQ(onSecondTile.searchState, 3);
}

TEST_F(ElfTest, GeologistOnlyExploresWhereItStopsAndFinishesWhenAllIsKnown) {
    Elf& geologist = economy.elves[AddElf(Geologist, 0, 0)];
    geologist.explored.fill(1);
    geologist.explored[0] = 0;
    geologist.explored[5 * MapRows + 5] = 0;
    geologist.explored[19 * MapRows + 13] = 0;
    // No find anywhere; the first choice is the second of the two tiles left.
    std::srand(SeedFor({{10, 3}, {2, 2}, {10, 3}, {1, 0}, {10, 3}}));
    geologist.Update(economy);
    EXPECT_EQ(geologist.dx, 19);
    EXPECT_EQ(geologist.dy, 13);
    for (int i = 0; i < 19; ++i) {
        geologist.Update(economy);
    }
    ASSERT_TRUE(geologist.AtTarget());
    EXPECT_EQ(geologist.x, 19);
    EXPECT_EQ(geologist.y, 13);
    EXPECT_FALSE(geologist.explored[5 * MapRows + 5]) << "a tile walked over stays unexplored";
    geologist.Update(economy);
    EXPECT_EQ(geologist.dx, -14) << "back to the tile it only passed";
    EXPECT_EQ(geologist.dy, -8);
    for (int i = 0; i < 14; ++i) {
        geologist.Update(economy);
    }
    ASSERT_TRUE(geologist.AtTarget());
    EXPECT_EQ(geologist.searchState, 0);
    geologist.Update(economy);
    EXPECT_EQ(geologist.searchState, 3);
    EXPECT_EQ(ExploredCount(geologist), MapColumns * MapRows);
}

TEST_F(ElfTest, MergeAddsTheOthersTilesAndDrawSkipsElvesInside) {
    Elf a(Geologist, 0, 0);
    Elf b(Geologist, 0, 0);
    a.explored[5] = 1;
    b.explored[6] = 1;
    b.explored[279] = 1;
    a.MergeExplored(b);
    EXPECT_EQ(ExploredCount(a), 3);
    EXPECT_TRUE(a.explored[5] && a.explored[6] && a.explored[279]);
    EXPECT_EQ(ExploredCount(b), 2);

    ClearScreen();
    Elf worker(Worker, 2, 0);
    worker.Draw(screen.Screen());
    EXPECT_EQ(MemberOnTile(screen.Screen(), 2, 0), "worker.png");
    EXPECT_EQ(MemberAt(screen.Screen(), 64, 31), "");
    Elf hidden(Carrier, 5, 5);
    hidden.inside = true;
    hidden.Draw(screen.Screen());
    EXPECT_EQ(MemberOnTile(screen.Screen(), 5, 5), "");
    worker.FreePicture();
    EXPECT_TRUE(worker.picture.IsEmpty());
}

}  // namespace
