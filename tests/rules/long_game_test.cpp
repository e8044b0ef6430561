#include "tests/rules/rules_fixture.h"

#include <cstdlib>
#include <map>
#include <string>
#include <vector>

namespace {

// One step of the script: buildings to buy (each gets its full staff sent), elves to hire.
struct Goal {
    std::vector<int> buildings;
    int geologists = 0;
    int carriers = 0;
    int needsDeposit = 0;  // Iron or Oil: the first building must stand on one
};

// A whole game of 24 minutes in 500 ms frames, bought through the orders a player gives; prices and
// staff come from the rules themselves. The books and the records must stay consistent every frame.
class LongGameTest : public RulesTest {
  protected:
    int Staff(int type) {
        if (staff.count(type) == 0) {
            Building b;
            b.Load(type);
            staff[type] = b.workersNeeded;
        }
        return staff[type];
    }

    // Buys a goal when the money covers all of it, an office for every four elves included.
    bool TryGoal(const Goal& goal) {
        int elves = goal.geologists + goal.carriers;
        int cost = ElfCost(Geologist) * goal.geologists + ElfCost(Carrier) * goal.carriers;
        for (int type : goal.buildings) {
            elves += Staff(type);
            cost += BuildingCost(type) + ElfCost(Worker) * Staff(type);
        }
        const bool routeReady = mine >= 0 && foundry >= 0 && economy.buildings[mine].IsWorking() &&
                                economy.buildings[foundry].workers == 4;
        if (economy.money < cost + (elves + 3) / 4 * BuildingCost(Office) ||
            (goal.carriers > 0 && !routeReady)) {
            return false;
        }
        for (size_t i = 0; i < goal.buildings.size(); ++i) {
            const int index = Buy(goal.buildings[i], i == 0 ? goal.needsDeposit : 0);
            if (index < 0) {
                EXPECT_TRUE(i == 0 && goal.needsDeposit != 0) << "no room for type " << goal.buildings[i];
                return false;
            }
            for (int w = 0; w < Staff(goal.buildings[i]); ++w) {
                economy.selectedWorker = Hire(Worker);
                EXPECT_TRUE(economy.SendWorker(economy.buildings[index].x, economy.buildings[index].y));
            }
        }
        for (int g = 0; g < goal.geologists; ++g) {
            Hire(Geologist);
        }
        for (int c = 0; c < goal.carriers; ++c) {
            economy.selectedCarrier = Hire(Carrier);
            EXPECT_TRUE(economy.ChooseMine(economy.buildings[mine].x, economy.buildings[mine].y + 1));
            EXPECT_TRUE(
                economy.ChooseFoundry(economy.buildings[foundry].x + 2, economy.buildings[foundry].y));
        }
        return true;
    }

    // Buys the type on the first valid spot that covers no deposit, or one of the wanted kind when
    // `deposit` names one; the new building's index, or -1 when there is no such spot.
    int Buy(int type, int deposit) {
        economy.StartPlacing(type);
        for (int spot = 0; spot < MapColumns * MapRows; ++spot) {
            economy.preview.SetPosition(spot % MapColumns, spot / MapColumns);
            bool coversWanted = false;
            bool coversOther = false;
            for (const Building& b : economy.buildings) {
                if (b.IsDeposit() && economy.preview.Contains(b.x, b.y)) {
                    (b.type == deposit ? coversWanted : coversOther) = true;
                }
            }
            if (!coversOther && (deposit != 0) == coversWanted && economy.IsSpotValid(map)) {
                EXPECT_EQ(economy.BuyBuilding(map), OrderDone);
                economy.CancelPlacing();
                const int index = static_cast<int>(economy.buildings.size()) - 1;
                mine = type == Mine ? index : mine;
                foundry = type == Foundry ? index : foundry;
                return index;
            }
        }
        economy.CancelPlacing();
        return -1;
    }

    // Hires through the build menu, first buying an office when none has room.
    int Hire(int type) {
        if (economy.BuyElf(6 + type) == NoOfficeRoom) {
            EXPECT_GE(Buy(Office, 0), 0) << "no room for an office";
            EXPECT_EQ(economy.BuyElf(6 + type), OrderDone);
        }
        for (const Building& b : economy.buildings) {
            if (b.type == Office && b.upkeptElves < 4) {
                EXPECT_TRUE(economy.HireIntoOffice(b.x, b.y));
                break;
            }
        }
        return static_cast<int>(economy.elves.size()) - 1;
    }

    void CheckInvariants(int32_t moneyBefore) {
        ASSERT_GE(economy.money, moneyBefore) << "production never costs money";
        ASSERT_TRUE(economy.wood >= 0 && economy.steel >= 0 && economy.plastic >= 0);
        int upkept = 0;
        int staffed = 0;
        int carriers = 0;
        const int count = static_cast<int>(economy.buildings.size());
        for (const Building& b : economy.buildings) {
            ASSERT_TRUE(b.workers >= 0 && b.workers <= b.workersNeeded && b.upkeptElves <= 4);
            ASSERT_TRUE((b.type == Office || b.upkeptElves == 0) && (b.type == Foundry || b.carriers == 0));
            upkept += b.upkeptElves;
            staffed += b.workers;
            carriers += b.carriers;
        }
        ASSERT_EQ(upkept, static_cast<int>(economy.elves.size())) << "every elf has its office";
        for (const Elf& e : economy.elves) {
            ASSERT_TRUE(e.x >= 0 && e.x < MapColumns && e.y >= 0 && e.y < MapRows);
            ASSERT_TRUE(e.mineIndex == -1 ||
                        (e.mineIndex < count && economy.buildings[e.mineIndex].type == Mine));
            ASSERT_TRUE(e.foundryIndex == -1 ||
                        (e.foundryIndex < count && economy.buildings[e.foundryIndex].type == Foundry));
            ASSERT_TRUE(!e.onRoute || (e.type == Carrier && e.mineIndex >= 0 && e.foundryIndex >= 0));
            staffed -= e.type == Worker && e.inside ? 1 : 0;
            carriers -= e.onRoute ? 1 : 0;
        }
        ASSERT_EQ(staffed, 0) << "a worker inside for each place filled";
        ASSERT_EQ(carriers, 0) << "a carrier on the road for each one a foundry counts";
        ASSERT_FALSE(economy.placing || economy.freeElvesPanelOpen);
        for (int index : {economy.selectedWorker, economy.selectedCarrier, economy.routeCarrier,
                          economy.pendingElfType, economy.selectedBuilding}) {
            ASSERT_EQ(index, -1);
        }
    }

    TileMap map;  // nothing blocked
    std::map<int, int> staff;
    int mine = -1;
    int foundry = -1;
};

TEST_F(LongGameTest, TwentyFourMinutesKeepTheBooksStraight) {
    // clang-format off
    const std::vector<Goal> goals = {
        {{Woodworker, Factory}, 1}, {{Woodworker}, 1}, {{Woodworker}}, {{Mine}, 0, 0, Iron}, {{Foundry}},
        {{}, 0, 1}, {{Factory}}, {{Plastics}, 0, 0, Oil}, {{}, 0, 2}, {{Woodworker, Woodworker}}, {{Factory}},
        {{}, 0, 2}};
    // clang-format on
    std::srand(20261206);
    size_t reached = 0;
    for (int frame = 0; frame < 2880 && !HasFatalFailure(); ++frame) {
        SCOPED_TRACE("frame " + std::to_string(frame));
        while (reached < goals.size() && TryGoal(goals[reached])) {
            ++reached;
        }
        const int32_t money = economy.money;
        Frame();
        CheckInvariants(money);
    }
    ASSERT_FALSE(HasFatalFailure());
    EXPECT_EQ(reached, goals.size()) << "the script ran out of money or deposits";
    EXPECT_GT(economy.Plastic() + economy.Steel(), 0);
    int working = 0;
    for (const Building& b : economy.buildings) {
        working += !b.IsDeposit() && b.type != Office && b.IsWorking() ? 1 : 0;
    }
    EXPECT_GE(working, 10) << "every bought workplace ends staffed";
}

}  // namespace
