#include "tests/rules/rules_fixture.h"

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

namespace {

// The price list and staff as the player's handbook gives them, kept apart from the rules code.
int Price(int type) {
    const int prices[] = {0, 700, 1000, 2000, 10300, 6000, 4000};
    return prices[type];
}
int Staff(int type) {
    const int staff[] = {0, 0, 1, 2, 6, 4, 3, 0, 0};
    return staff[type];
}
int ElfPrice(int type) {
    const int prices[] = {0, 200, 600, 400};
    return prices[type];
}
Uint32 Interval(int type, int carriers) {
    switch (type) {
        case Woodworker:
            return 2000;
        case Factory:
            return 3000;
        case Plastics:
            return 4000;
        case Foundry:
            return carriers >= 5 ? 1000 : static_cast<Uint32>(3000 - 500 * (carriers - 1));
        default:
            return 0;
    }
}

// One step of the script: buildings to buy, with the workers each needs, plus elves.
struct Goal {
    std::string name;
    std::vector<int> buildings;  // every bought building gets its full staff sent
    int geologists = 0;
    int carriers = 0;
    int needsDeposit = 0;  // Iron or Oil: the first building must stand on one
};

class LongGameTest : public RulesTest {
  protected:
    // A whole game of 24 minutes in 500 ms frames, against a ledger the test keeps.
    void Play() {
        const std::vector<Goal> goals = {
            {"first industry", {Woodworker, Factory}, 1, 0, 0},
            {"more wood", {Woodworker}, 1, 0, 0},
            {"still more wood", {Woodworker}, 0, 0, 0},
            {"mine", {Mine}, 0, 0, Iron},
            {"foundry", {Foundry}, 0, 0, 0},
            {"first carrier", {}, 0, 1, 0},
            {"second factory", {Factory}, 0, 0, 0},
            {"plastics", {Plastics}, 0, 0, Oil},
            {"more carriers", {}, 0, 2, 0},
            {"last woodworkers", {Woodworker, Woodworker}, 0, 0, 0},
            {"third factory", {Factory}, 0, 0, 0},
            {"busy foundry", {}, 0, 2, 0},
        };
        size_t next = 0;
        const Uint32 start = TestClock::Read();
        for (int frame = 0; frame < 2880; ++frame) {
            while (next < goals.size() && TryGoal(goals[next])) {
                reached.push_back(goals[next].name + " at " +
                                  std::to_string((TestClock::Read() - start) / 1000) + " s");
                ++next;
            }
            ModelProduction();
            economy.UpdateBuildings(screen.Screen());
            ASSERT_EQ(economy.money, money) << "frame " << frame;
            ASSERT_EQ(economy.wood, wood) << "frame " << frame;
            ASSERT_EQ(economy.steel, steel) << "frame " << frame;
            ASSERT_EQ(economy.plastic, plastic) << "frame " << frame;
            StepElves();
            CheckInvariants(frame);
            if (HasFatalFailure()) {
                return;
            }
            TestClock::Advance(500);
        }
        goalsReached = next;
    }

    // Buys a goal when the money covers all of it, offices included.
    bool TryGoal(const Goal& goal) {
        int staff = goal.geologists + goal.carriers;
        int cost = ElfPrice(Geologist) * goal.geologists + ElfPrice(Carrier) * goal.carriers;
        for (int type : goal.buildings) {
            staff += Staff(type);
            cost += Price(type) + ElfPrice(Worker) * Staff(type);
        }
        int room = 0;
        for (const Building& b : economy.buildings) {
            room += b.type == Office ? 4 - b.upkeptElves : 0;
        }
        const int offices = staff > room ? (staff - room + 3) / 4 : 0;
        cost += offices * Price(Office);
        if (economy.money < cost) {
            return false;
        }
        if (goal.carriers > 0 && !RouteReady()) {
            return false;
        }
        std::vector<std::pair<int, int>> spots;
        for (size_t i = 0; i < goal.buildings.size(); ++i) {
            std::pair<int, int> spot;
            if (!FindSpot(goal.buildings[i], i == 0 ? goal.needsDeposit : 0, spots, spot)) {
                return false;
            }
            spots.push_back(spot);
        }
        for (int i = 0; i < offices; ++i) {
            std::pair<int, int> spot;
            if (!FindSpot(Office, 0, spots, spot)) {
                ADD_FAILURE() << "no room for an office";
                return false;
            }
            Buy(Office, spot);
        }
        for (size_t i = 0; i < goal.buildings.size(); ++i) {
            const int index = Buy(goal.buildings[i], spots[i]);
            for (int w = 0; w < Staff(goal.buildings[i]); ++w) {
                const int worker = Hire(Worker);
                economy.selectedWorker = worker;
                EXPECT_TRUE(economy.SendWorker(economy.buildings[index].x, economy.buildings[index].y));
            }
        }
        for (int g = 0; g < goal.geologists; ++g) {
            Hire(Geologist);
        }
        for (int c = 0; c < goal.carriers; ++c) {
            const int carrier = Hire(Carrier);
            const Building& mine = economy.buildings[mineIndex];
            const Building& foundry = economy.buildings[foundryIndex];
            economy.selectedCarrier = carrier;
            EXPECT_TRUE(economy.ChooseMine(mine.x, mine.y + 1));
            EXPECT_TRUE(economy.ChooseFoundry(foundry.x + 2, foundry.y));
        }
        return true;
    }

    bool RouteReady() const {
        return mineIndex >= 0 && foundryIndex >= 0 && economy.buildings[mineIndex].workers == 3 &&
               economy.buildings[foundryIndex].workers == 4;
    }

    // A valid spot, clear of every deposit unless it must cover one of the wanted kind.
    bool FindSpot(int type, int deposit, const std::vector<std::pair<int, int>>& taken,
                  std::pair<int, int>& spot) {
        economy.StartPlacing(type);
        const int width = economy.preview.Width();
        const int height = economy.preview.Height();
        for (int row = 0; row + height <= MapRows; ++row) {
            for (int column = 0; column + width <= MapColumns; ++column) {
                economy.preview.SetPosition(column, row);
                bool coversWanted = false;
                bool coversOther = false;
                for (const Building& b : economy.buildings) {
                    if (b.IsDeposit() && economy.preview.Contains(b.x, b.y)) {
                        (b.type == deposit ? coversWanted : coversOther) = true;
                    }
                }
                bool clashes = false;
                for (const auto& [c, r] : taken) {
                    clashes =
                        clashes || (column < c + 3 && c < column + width && row < r + 2 && r < row + height);
                }
                if (clashes || coversOther || (deposit != 0) != coversWanted || !economy.IsSpotValid(map)) {
                    continue;
                }
                economy.CancelPlacing();
                spot = {column, row};
                return true;
            }
        }
        economy.CancelPlacing();
        return false;
    }

    int Buy(int type, std::pair<int, int> spot) {
        economy.StartPlacing(type);
        economy.preview.SetPosition(spot.first, spot.second);
        EXPECT_EQ(economy.BuyBuilding(map), OrderDone) << "type " << type;
        economy.CancelPlacing();
        money -= Price(type);
        spent += Price(type);
        modelTimers.push_back(TestClock::Read());
        const int index = static_cast<int>(economy.buildings.size()) - 1;
        if (type == Mine) {
            mineIndex = index;
        } else if (type == Foundry) {
            foundryIndex = index;
        }
        return index;
    }

    int Hire(int type) {
        EXPECT_EQ(economy.BuyElf(6 + type), OrderDone);
        money -= ElfPrice(type);
        spent += ElfPrice(type);
        for (const Building& b : economy.buildings) {
            if (b.type == Office && b.upkeptElves < 4) {
                EXPECT_TRUE(economy.HireIntoOffice(b.x, b.y));
                break;
            }
        }
        EXPECT_EQ(economy.pendingElfType, -1);
        return static_cast<int>(economy.elves.size()) - 1;
    }

    // What this frame's production must do, worked out from the ledger's own clocks.
    void ModelProduction() {
        const Uint32 now = TestClock::Read();
        for (size_t i = 0; i < economy.buildings.size(); ++i) {
            const Building& b = economy.buildings[i];
            const bool working = b.workers >= Staff(b.type) && (b.type != Foundry || b.carriers > 0);
            const Uint32 interval = Interval(b.type, b.carriers);
            if (!working || interval == 0 || now - modelTimers[i] < interval) {
                continue;
            }
            modelTimers[i] = now;
            ++cycles;
            switch (b.type) {
                case Woodworker:
                    wood += 3;
                    produced += 6;
                    break;
                case Plastics:
                    plastic += 2;
                    produced += 8;
                    break;
                case Foundry:
                    steel += 3;
                    produced += 9;
                    break;
                case Factory:
                    if (wood >= 10) {
                        wood -= 10;
                        money += 200;
                        produced += 200 - 20;
                    }
                    if (steel >= 5) {
                        steel -= 5;
                        money += 300;
                        produced += 300 - 15;
                    }
                    if (plastic >= 3) {
                        plastic -= 3;
                        money += 500;
                        produced += 500 - 12;
                    }
                    break;
                default:
                    break;
            }
        }
    }

    void StepElves() {
        std::vector<int> stateBefore;
        for (const Elf& e : economy.elves) {
            stateBefore.push_back(e.searchState);
        }
        const size_t before = economy.buildings.size();
        economy.UpdateElves();
        std::vector<std::pair<int, int>> finders;
        for (size_t i = 0; i < economy.elves.size(); ++i) {
            const Elf& e = economy.elves[i];
            if (e.type != Geologist) {
                continue;
            }
            ASSERT_GE(e.searchState, stateBefore[i]) << "a geologist's search only moves on";
            if (stateBefore[i] == 0 && e.searchState == 2) {
                finders.push_back({e.x, e.y});
            }
        }
        ASSERT_EQ(economy.buildings.size() - before, finders.size()) << "one deposit per find";
        for (size_t i = before; i < economy.buildings.size(); ++i) {
            const Building& deposit = economy.buildings[i];
            ASSERT_TRUE(deposit.IsDeposit());
            ASSERT_EQ(deposit.x, finders[i - before].first);
            ASSERT_EQ(deposit.y, finders[i - before].second);
            modelTimers.push_back(TestClock::Read());
            ++deposits;
        }
    }

    void CheckInvariants(int frame) {
        SCOPED_TRACE("frame " + std::to_string(frame));
        ASSERT_GE(economy.money, 0);
        ASSERT_GE(economy.wood, 0);
        ASSERT_GE(economy.steel, 0);
        ASSERT_GE(economy.plastic, 0);
        int upkept = 0;
        int staffed = 0;
        int carriersAssigned = 0;
        int geologists = 0;
        int depositsOnMap = 0;
        for (const Building& b : economy.buildings) {
            ASSERT_GE(b.workers, 0);
            ASSERT_LE(b.workers, b.workersNeeded);
            ASSERT_LE(b.upkeptElves, 4);
            if (b.type != Office) {
                ASSERT_EQ(b.upkeptElves, 0);
            }
            if (b.type != Foundry) {
                ASSERT_EQ(b.carriers, 0);
            }
            upkept += b.upkeptElves;
            staffed += b.workers;
            carriersAssigned += b.carriers;
            depositsOnMap += b.IsDeposit() ? 1 : 0;
        }
        ASSERT_EQ(upkept, static_cast<int>(economy.elves.size())) << "every elf has its office";
        const int count = static_cast<int>(economy.buildings.size());
        int inside = 0;
        int onRoute = 0;
        for (const Elf& e : economy.elves) {
            ASSERT_TRUE(e.x >= 0 && e.x < MapColumns && e.y >= 0 && e.y < MapRows);
            ASSERT_TRUE(e.mineIndex == -1 || (e.mineIndex >= 0 && e.mineIndex < count));
            ASSERT_TRUE(e.foundryIndex == -1 || (e.foundryIndex >= 0 && e.foundryIndex < count));
            if (e.mineIndex >= 0) {
                ASSERT_EQ(economy.buildings[e.mineIndex].type, Mine);
            }
            if (e.foundryIndex >= 0) {
                ASSERT_EQ(economy.buildings[e.foundryIndex].type, Foundry);
            }
            if (e.type == Worker && e.inside) {
                ++inside;
            }
            if (e.type == Carrier && e.onRoute) {
                ++onRoute;
                ASSERT_GE(e.mineIndex, 0);
                ASSERT_GE(e.foundryIndex, 0);
            }
            geologists += e.type == Geologist ? 1 : 0;
        }
        ASSERT_EQ(inside, staffed) << "a worker inside for each place filled";
        ASSERT_EQ(onRoute, carriersAssigned);
        ASSERT_LE(depositsOnMap, geologists);
        for (int index : {economy.selectedWorker, economy.selectedCarrier, economy.routeCarrier,
                          economy.pendingElfType, economy.selectedBuilding}) {
            ASSERT_EQ(index, -1);
        }
    }

    TileMap map;  // nothing blocked
    std::vector<Uint32> modelTimers;
    std::vector<std::string> reached;
    size_t goalsReached = 0;
    int mineIndex = -1;
    int foundryIndex = -1;
    int32_t money = 5000;
    int32_t wood = 0;
    int32_t steel = 0;
    int32_t plastic = 0;
    int64_t spent = 0;
    int64_t produced = 0;
    int cycles = 0;
    int deposits = 0;
};

TEST_F(LongGameTest, TwentyFourMinutesKeepTheBooksStraight) {
    std::srand(20261206);
    Play();
    ASSERT_FALSE(HasFatalFailure());
    for (const std::string& line : reached) {
        std::printf("reached %s\n", line.c_str());
    }
    EXPECT_EQ(goalsReached, 12u) << "the script ran out of money or deposits";
    const int64_t score = economy.Money() + 2 * economy.Wood() + 3 * economy.Steel() + 4 * economy.Plastic();
    EXPECT_EQ(score, 5000 - spent + produced);
    std::printf("money %d wood %d steel %d plastic %d score %lld after %d cycles, %d deposits\n",
                economy.Money(), economy.Wood(), economy.Steel(), economy.Plastic(),
                static_cast<long long>(score), cycles, deposits);
    EXPECT_GT(economy.Plastic() + economy.Steel(), 0);
    int working = 0;
    for (const Building& b : economy.buildings) {
        working += !b.IsDeposit() && b.type != Office && b.IsWorking() ? 1 : 0;
    }
    EXPECT_GE(working, 10) << "every bought workplace ends staffed";
}

}  // namespace
