#include "tests/rules/rules_fixture.h"

#include <cstdlib>
#include <stdexcept>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

namespace {

// The orders a player's click can give.
enum Order { HireElf, PickOffice, Build, SendWorker, PickMine, PickFoundry };

// One order given in one state of the game, and its result (OrderResult, or 1/0 for yes/no) and every
// change. `picked` is what the order follows: the elf type paid for (PickOffice), the chosen worker
// (SendWorker) or carrier (PickMine), the carrier whose mine was chosen (PickFoundry). `arg` is the
// menu item (HireElf), the previewed type or 0 when nothing is placed (Build), the carrier's mine
// beforehand (PickFoundry). `upkeep`: the elves the open office keeps (the other is full);
// `shortStaffed`: the mine has 2 workers of 3, the foundry 3 of 4.
struct OrderCase {
    const char* name;
    int money, upkeep, shortStaffed, picked;
    Order order;
    int arg, column, row, result;
    std::string changes;
};

// The world of every case: a full office (1, 1) and an open one (4, 4), an empty woodworker (8, 3) and
// a full one (8, 6), a mine (12, 6) (entrance (12, 7)), a foundry (14, 2), iron at (15, 10); a worker
// (elf 0) at (10, 10) and a carrier (elf 1) at (0, 13).
// clang-format off
const std::vector<OrderCase> OrderCases = {
    {"hiring without the money", 199, 0, 0, -1, HireElf, 7, 0, 0, NotEnoughMoney, ""},
    {"money is checked before upkeep", 599, 4, 0, -1, HireElf, 8, 0, 0, NotEnoughMoney, ""},
    {"no office has room", 5000, 4, 0, -1, HireElf, 9, 0, 0, NoOfficeRoom, ""},
    {"hire a worker", 200, 3, 0, -1, HireElf, 7, 0, 0, OrderDone, "money=0 pending=1 "},
    {"hire a geologist", 600, 0, 0, -1, HireElf, 8, 0, 0, OrderDone, "money=0 pending=2 "},
    {"hire a carrier", 400, 0, 0, -1, HireElf, 9, 0, 0, OrderDone, "money=0 pending=3 "},
    {"the elf into a full office", 0, 0, 0, 2, PickOffice, 0, 1, 1, 0, ""},
    {"the elf into no office", 0, 0, 0, 2, PickOffice, 0, 8, 3, 0, ""},
    {"no elf paid for", 0, 0, 0, -1, PickOffice, 0, 4, 4, 0, ""},
    {"the elf into an office", 0, 3, 0, 2, PickOffice, 0, 4, 4, 1, "pending=-1 elves=3 hired=2@4,4 upkeep=4/4 "},
    {"nothing placed", 5000, 0, 0, -1, Build, 0, 9, 3, NothingPlaced, ""},
    {"the spot is checked before the money", 0, 0, 0, -1, Build, Woodworker, 8, 3, InvalidSpot, ""},
    {"building without the money", 999, 0, 0, -1, Build, Woodworker, 9, 3, NotEnoughMoney, ""},
    {"buy a woodworker", 1005, 0, 0, -1, Build, Woodworker, 9, 3, OrderDone, "money=5 buildings=8 built=2@9,3 "},
    {"buy a mine on iron", 4000, 0, 0, -1, Build, Mine, 15, 9, OrderDone, "money=0 buildings=8 built=6@15,9 "},
    {"a worker to an office", 0, 0, 0, 0, SendWorker, 0, 1, 1, 0, "worker=-1 "},
    {"a worker to a deposit", 0, 0, 0, 0, SendWorker, 0, 15, 10, 0, "worker=-1 "},
    {"a worker to a full building", 0, 0, 0, 0, SendWorker, 0, 8, 6, 0, "worker=-1 "},
    {"a carrier sent to work", 0, 0, 0, 1, SendWorker, 0, 8, 3, 0, "worker=-1 "},
    {"no worker chosen", 0, 0, 0, -1, SendWorker, 0, 8, 3, 0, ""},
    {"a worker to work", 0, 0, 0, 0, SendWorker, 0, 8, 3, 1, "worker=-1 walker=8,3 employed "},
    {"a worker to the mine's top tile", 0, 0, 1, 0, SendWorker, 0, 12, 6, 1, "worker=-1 walker=12,7 employed "},
    {"a mine not working", 0, 0, 1, 1, PickMine, 0, 12, 7, 0, "carrier=-1 "},
    {"a foundry for a mine", 0, 0, 0, 1, PickMine, 0, 14, 2, 0, "carrier=-1 "},
    {"a worker as a carrier", 0, 0, 0, 0, PickMine, 0, 12, 7, 0, "carrier=-1 "},
    {"the mine chosen", 0, 0, 0, 1, PickMine, 0, 12, 7, 1, "carrier=-1 route=1 carrier's=0,13 mine 4 foundry -1 "},
    {"a foundry without its staff", 0, 0, 1, 1, PickFoundry, 4, 16, 2, 0, "route=-1 "},
    {"a mine for a foundry", 0, 0, 0, 1, PickFoundry, 4, 12, 7, 0, "route=-1 "},
    {"a carrier without a mine", 0, 0, 0, 1, PickFoundry, -1, 16, 2, 0, "route=-1 "},
    {"a carrier whose mine is past the list", 0, 0, 0, 1, PickFoundry, 7, 16, 2, 0, "route=-1 "},
    {"the foundry chosen", 0, 0, 0, 1, PickFoundry, 4, 16, 2, 1, "route=-1 carrier's=12,7 mine 4 foundry 5 on route carriers=1 "},
};
// clang-format on

class OrdersTest : public RulesTest {
  protected:
    // Puts the preview on a tile without going through the pointer.
    void Preview(int type, int column, int row) {
        economy.StartPlacing(type);
        economy.preview.SetPosition(column, row);
    }

    static std::string Target(const Elf& e) {
        return std::to_string(e.x + e.dx) + "," + std::to_string(e.y + e.dy);
    }

    // Everything an order may change, by name.
    std::vector<std::pair<std::string, std::string>> State() const {
        const Elf& walker = economy.elves[0];
        const Elf& carrier = economy.elves[1];
        const Elf& newest = economy.elves.back();
        const Building& built = economy.buildings.back();
        const auto n = [](int value) { return std::to_string(value); };
        return {
            {"money", n(economy.money)},
            {"pending", n(economy.pendingElfType)},
            {"worker", n(economy.selectedWorker)},
            {"carrier", n(economy.selectedCarrier)},
            {"route", n(economy.routeCarrier)},
            {"buildings", n(static_cast<int>(economy.buildings.size()))},
            {"elves", n(static_cast<int>(economy.elves.size()))},
            {"hired", n(newest.type) + "@" + n(newest.x) + "," + n(newest.y)},
            {"built", n(built.type) + "@" + n(built.x) + "," + n(built.y)},
            {"upkeep", n(economy.buildings[1].upkeptElves) + "/" + n(economy.buildings[0].upkeptElves)},
            {"walker",
             Target(walker) + (walker.employed ? " employed" : "") + (walker.inside ? " inside" : "")},
            {"carrier's", Target(carrier) + " mine " + n(carrier.mineIndex) + " foundry " +
                              n(carrier.foundryIndex) + (carrier.onRoute ? " on route" : "")},
            {"carriers", n(economy.buildings[5].carriers)},
            {"staff",
             n(economy.buildings[2].workers) + "/" + n(economy.buildings[4].workers)},  // on arrival only
        };
    }

    TileMap emptyMap;  // no cell blocked
};

TEST_F(OrdersTest, EachOrderInEachStateGivesItsResultAndChangesOnlyWhatItShould) {
    for (const OrderCase& c : OrderCases) {
        SCOPED_TRACE(c.name);
        economy.buildings.clear();
        economy.elves.clear();
        economy.CancelPlacing();
        economy.buildings[Add(Office, 1, 1)].upkeptElves = 4;
        economy.buildings[Add(Office, 4, 4)].upkeptElves = c.upkeep;
        Add(Woodworker, 8, 3, 0);
        Add(Woodworker, 8, 6, 1);
        Add(Mine, 12, 6, c.shortStaffed ? 2 : 3);
        Add(Foundry, 14, 2, c.shortStaffed ? 3 : 4);
        Add(Iron, 15, 10);
        AddElf(Worker, 10, 10);
        AddElf(Carrier, 0, 13);
        economy.money = c.money;
        economy.pendingElfType = c.order == PickOffice ? c.picked : -1;
        economy.selectedWorker = c.order == SendWorker ? c.picked : -1;
        economy.selectedCarrier = c.order == PickMine ? c.picked : -1;
        economy.routeCarrier = c.order == PickFoundry ? c.picked : -1;
        if (c.order == Build && c.arg != 0) {
            Preview(c.arg, c.column, c.row);
        }
        if (c.order == PickFoundry) {
            economy.elves[1].mineIndex = c.arg;
        }
        const auto before = State();
        const int result = c.order == HireElf      ? economy.BuyElf(c.arg)
                           : c.order == PickOffice ? economy.HireIntoOffice(c.column, c.row)
                           : c.order == Build      ? economy.BuyBuilding(emptyMap)
                           : c.order == SendWorker ? economy.SendWorker(c.column, c.row)
                           : c.order == PickMine   ? economy.ChooseMine(c.column, c.row)
                                                   : economy.ChooseFoundry(c.column, c.row);
        EXPECT_EQ(result, c.result);
        std::string changes;
        const auto after = State();
        for (size_t i = 0; i < after.size(); ++i) {
            if (after[i] != before[i]) {
                changes += after[i].first + "=" + after[i].second + " ";
            }
        }
        EXPECT_EQ(changes, c.changes);
        EXPECT_EQ(economy.placing, c.order == Build && c.arg != 0) << "ending the placement is the caller's";
    }
}

TEST_F(OrdersTest, UnknownItemsAndDepositsHaveNoPrice) {
    for (int item : {0, 6, 10}) {
        EXPECT_EQ(ErrorText([&] { economy.BuyElf(item); }), "Invalid elf type in buying!");
    }
    Preview(Iron, 15, 1);
    EXPECT_EQ(ErrorText([&] { economy.BuyBuilding(emptyMap); }), "Invalid building type when getting cost!");
    EXPECT_EQ(economy.money, 5000);
    EXPECT_TRUE(economy.buildings.empty());
}

TEST_F(OrdersTest, BuildingsStayOnTheMapAndApartAndMinesAndPlasticsStandOnTheirDeposit) {
    Add(Factory, 5, 5);  // columns 5 and 6
    for (const auto& [type, column, row] : std::vector<std::tuple<int, int, int>>{
             {Iron, 6, 4}, {Iron, 7, 4}, {Oil, 3, 2}, {Iron, 2, 9}, {Iron, 10, 10}, {Oil, 15, 5}}) {
        Add(type, column, row);
    }
    // clang-format off
    const std::vector<std::tuple<int, int, int, bool>> spots = {
        // Buildings may touch but not overlap; deposits never block.
        {Office, 5, 5, false}, {Office, 6, 5, false}, {Office, 7, 5, true}, {Office, 4, 5, true},
        {Office, 5, 4, true}, {Office, 6, 6, true}, {Foundry, 3, 5, false}, {Foundry, 2, 5, true},
        {Woodworker, 10, 10, true}, {Factory, 14, 5, true},
        // A mine needs iron on one of its two tiles, a plastics works oil on one of its four.
        {Mine, 6, 4, false}, {Mine, 7, 4, true}, {Mine, 7, 3, true}, {Mine, 3, 2, false}, {Mine, 3, 9, false},
        {Mine, 2, 10, false}, {Mine, 2, 7, false}, {Mine, 2, 9, true}, {Mine, 2, 8, true},
        {Plastics, 15, 5, true}, {Plastics, 14, 5, true}, {Plastics, 15, 4, true}, {Plastics, 14, 4, true},
        {Plastics, 16, 5, false}, {Plastics, 15, 6, false}, {Plastics, 10, 10, false}, {Plastics, 14, 3, false},
        // The whole footprint lies on the map.
        {Office, 19, 13, true}, {Office, 20, 0, false}, {Office, 0, 14, false}, {Office, -1, 0, false},
        {Office, 0, -1, false}, {Foundry, 17, 0, true}, {Foundry, 18, 0, false}, {Factory, 18, 13, true},
        {Factory, 19, 13, false}};
    // clang-format on
    for (const auto& [type, column, row, valid] : spots) {
        Preview(type, column, row);
        EXPECT_EQ(economy.IsSpotValid(emptyMap), valid) << type << " at " << column << "," << row;
    }
}

TEST_F(OrdersTest, ABlockedTileRefusesTheSpotAndShowsARedCross) {
    std::srand(4242);
    TileMap map;
    map.Load();
    // The last free cell with a free one below it (room for a mine), and the last blocked one.
    std::pair<int, int> cells[2] = {{-1, -1}, {-1, -1}};
    for (int c = 0; c < MapColumns; ++c) {
        for (int r = 0; r + 1 < MapRows; ++r) {
            if (map.IsBlocked(c, r) || !map.IsBlocked(c, r + 1)) {
                cells[map.IsBlocked(c, r)] = {c, r};
            }
        }
    }
    ASSERT_TRUE(cells[0].first >= 0 && cells[1].first >= 0);
    economy.money = 0;  // nothing is bought
    for (const bool blocked : {true, false}) {
        const auto [column, row] = cells[blocked];
        Add(Iron, column, row);
        for (int type : {Mine, Office}) {
            Preview(type, column, row);
            EXPECT_EQ(economy.IsSpotValid(map), !blocked) << "iron on a blocked tile never carries a mine";
            EXPECT_EQ(economy.BuyBuilding(map) == InvalidSpot, blocked);
        }
        // Shown 250 ms into its blink period, with a red cross three pixels thick on a blocked tile.
        Preview(Office, column, row);
        TestClock::Advance(300);
        ClearScreen();
        economy.DrawPreview(screen.Screen(), map);
        const int px = 32 * column;
        const int py = 32 * (row + 1);
        // (29, 28), (31, 0) and (20, 13) lie on one of the six strokes only.
        for (const auto& [x, y] :
             std::vector<std::pair<int, int>>{{10, 10}, {11, 10}, {10, 22}, {29, 28}, {31, 0}, {20, 13}}) {
            EXPECT_EQ(SameColour(PixelColour(screen.Screen(), px + x, py + y), SDL_Color{255, 0, 0, 0}),
                      blocked);
        }
        EXPECT_TRUE(Shows(screen.Screen(), px + 20, py + 10, "office.png"));
    }
}

TEST_F(OrdersTest, PreviewFollowsThePointerWhollyOnTheMapAndBlinks) {
    const auto at = [&](int x, int y) {
        economy.MovePreview(x, y);
        return std::make_pair(economy.preview.x, economy.preview.y);
    };
    economy.StartPlacing(Foundry);
    EXPECT_EQ(at(639, 100), std::make_pair(17, 2));
    EXPECT_EQ(at(100000, 100000), std::make_pair(17, 13));
    EXPECT_EQ(at(-500, -500), std::make_pair(0, 0));
    EXPECT_EQ(at(17 * 32 - 1, 40), std::make_pair(16, 0));
    economy.StartPlacing(Mine);
    EXPECT_EQ(at(639, 479), std::make_pair(19, 12));
    EXPECT_EQ(at(50, 32 + 12 * 32 - 1), std::make_pair(1, 11));
    economy.CancelPlacing();
    EXPECT_TRUE(!economy.placing && economy.preview.pictures.empty());
    EXPECT_EQ(at(639, 479), std::make_pair(1, 11)) << "a cancelled preview does not follow the pointer";

    // Hidden for 250 ms, shown for 500 ms, then the period starts again.
    economy.StartPlacing(Office);
    economy.MovePreview(5 * 32 + 3, 32 + 4 * 32 + 3);
    const std::string shown = "0011101";
    const Uint32 times[] = {100000, 100249, 100250, 100749, 100750, 100999, 101000};
    for (size_t i = 0; i < shown.size(); ++i) {
        TestClock::Set(times[i]);
        ClearScreen();
        economy.DrawPreview(screen.Screen(), emptyMap);
        EXPECT_EQ(ShowsOnTile(screen.Screen(), 5, 4, "office.png"), shown[i] == '1') << times[i];
    }
}

}  // namespace
