#include "tests/rules_orders/economy_fixture.h"

#include <stdexcept>
#include <string>

namespace {

using OrdersTest = EconomyTest;

TEST_F(OrdersTest, PreviewStaysWhollyOnTheMap) {
    economy.StartPlacing(Foundry);
    economy.MovePreview(639, 100);
    EXPECT_EQ(economy.preview.x, 17);
    EXPECT_EQ(economy.preview.y, 2);
    economy.MovePreview(100000, 100000);
    EXPECT_EQ(economy.preview.x, 17);
    EXPECT_EQ(economy.preview.y, 13);
    economy.MovePreview(-500, -500);
    EXPECT_EQ(economy.preview.x, 0);
    EXPECT_EQ(economy.preview.y, 0);
    economy.MovePreview(17 * 32 - 1, 40);
    EXPECT_EQ(economy.preview.x, 16);

    economy.StartPlacing(Mine);
    economy.MovePreview(639, 479);
    EXPECT_EQ(economy.preview.x, 19);
    EXPECT_EQ(economy.preview.y, 12);
    economy.MovePreview(50, 32 + 12 * 32 - 1);
    EXPECT_EQ(economy.preview.y, 11);

    economy.CancelPlacing();
    EXPECT_FALSE(economy.placing);
    EXPECT_TRUE(economy.preview.pictures.empty());
    economy.MovePreview(639, 479);
    EXPECT_EQ(economy.preview.x, 1) << "a cancelled preview does not follow the pointer";
    EXPECT_EQ(economy.preview.y, 11);
}

TEST_F(OrdersTest, PreviewBlinksHiddenThenShownAndRestartsItsPeriod) {
    economy.StartPlacing(Office);
    economy.MovePreview(5 * 32 + 3, 32 + 4 * 32 + 3);
    const int px = 5 * 32 + 16;
    const int py = 32 * 5 + 16;
    const auto shownAt = [&](Uint32 time) {
        TestClock::Set(time);
        ClearScreen();
        economy.DrawPreview(screen.Screen(), emptyMap);
        return SameColour(PixelColour(screen.Screen(), px, py), OfficeColour);
    };
    EXPECT_FALSE(shownAt(100000));
    EXPECT_FALSE(shownAt(100249));
    EXPECT_TRUE(shownAt(100250));
    EXPECT_TRUE(shownAt(100749));
    EXPECT_EQ(economy.previewBlinkTimer, 100000u);
    EXPECT_TRUE(shownAt(100750));
    EXPECT_EQ(economy.previewBlinkTimer, 100750u);
    EXPECT_FALSE(shownAt(100999));
    EXPECT_TRUE(shownAt(101000));
}

TEST_F(OrdersTest, RedCrossOnlyWhereTheSpotIsInvalid) {
    LoadBlockedMap();
    int blockedColumn = -1, blockedRow = -1, freeColumn = -1, freeRow = -1;
    for (int c = 0; c < MapColumns; ++c) {
        for (int r = 0; r < MapRows; ++r) {
            (blockedMap.IsBlocked(c, r) ? blockedColumn : freeColumn) = c;
            (blockedMap.IsBlocked(c, r) ? blockedRow : freeRow) = r;
        }
    }
    ASSERT_NE(blockedColumn, -1);
    ASSERT_NE(freeColumn, -1);
    const SDL_Color red{255, 0, 0, 0};
    TestClock::Set(200000);

    Preview(Office, blockedColumn, blockedRow);
    TestClock::Advance(300);
    ClearScreen();
    EXPECT_FALSE(economy.IsSpotValid(blockedMap));
    economy.DrawPreview(screen.Screen(), blockedMap);
    const int px = 32 * blockedColumn, py = 32 * (blockedRow + 1);
    EXPECT_TRUE(SameColour(PixelColour(screen.Screen(), px + 10, py + 10), red));
    EXPECT_TRUE(SameColour(PixelColour(screen.Screen(), px + 11, py + 10), red)) << "three pixels thick";
    EXPECT_TRUE(SameColour(PixelColour(screen.Screen(), px + 10, py + 22), red)) << "second diagonal";
    EXPECT_TRUE(SameColour(PixelColour(screen.Screen(), px + 20, py + 10), OfficeColour));

    Preview(Office, freeColumn, freeRow);
    TestClock::Advance(300);
    ClearScreen();
    EXPECT_TRUE(economy.IsSpotValid(blockedMap));
    economy.DrawPreview(screen.Screen(), blockedMap);
    EXPECT_TRUE(SameColour(PixelColour(screen.Screen(), 32 * freeColumn + 10, 32 * (freeRow + 1) + 10),
                           OfficeColour));
}

TEST_F(OrdersTest, BuildingsMayTouchButNotOverlapAndDepositsNeverBlock) {
    Add(Factory, 5, 5);  // columns 5 and 6
    const auto valid = [&](int type, int column, int row) {
        Preview(type, column, row);
        return economy.IsSpotValid(emptyMap);
    };
    EXPECT_FALSE(valid(Office, 5, 5));
    EXPECT_FALSE(valid(Office, 6, 5));
    EXPECT_TRUE(valid(Office, 7, 5));
    EXPECT_TRUE(valid(Office, 4, 5));
    EXPECT_TRUE(valid(Office, 5, 4));
    EXPECT_TRUE(valid(Office, 6, 6));
    EXPECT_FALSE(valid(Foundry, 3, 5)) << "its right tile lies on the factory";
    EXPECT_TRUE(valid(Foundry, 2, 5));
    Add(Iron, 6, 4);
    Add(Iron, 7, 4);
    EXPECT_FALSE(valid(Mine, 6, 4)) << "its bottom tile lies on the factory";
    EXPECT_TRUE(valid(Mine, 7, 4));

    Add(Iron, 10, 10);
    Add(Oil, 11, 10);
    EXPECT_TRUE(valid(Woodworker, 10, 10));
    EXPECT_TRUE(valid(Factory, 10, 10));
}

TEST_F(OrdersTest, MineNeedsIronAndPlasticsNeedsOilUnderTheirFootprint) {
    const auto valid = [&](int type, int column, int row) {
        Preview(type, column, row);
        return economy.IsSpotValid(emptyMap);
    };
    EXPECT_FALSE(valid(Mine, 3, 3));
    Add(Oil, 3, 3);
    Add(Iron, 4, 3);
    Add(Iron, 3, 2);
    Add(Iron, 3, 5);
    EXPECT_FALSE(valid(Mine, 3, 3)) << "oil, or iron beside, above or below, does not do";
    Add(Iron, 3, 4);
    EXPECT_TRUE(valid(Mine, 3, 3)) << "iron on the bottom tile";
    EXPECT_TRUE(valid(Mine, 4, 2)) << "iron on the bottom tile";
    EXPECT_TRUE(valid(Mine, 4, 3)) << "iron on the top tile";

    EXPECT_FALSE(valid(Plastics, 10, 10));
    Add(Iron, 10, 10);
    Add(Oil, 12, 10);
    Add(Oil, 10, 12);
    EXPECT_FALSE(valid(Plastics, 10, 10));
    for (int dc = 0; dc < 2; ++dc) {
        for (int dr = 0; dr < 2; ++dr) {
            EXPECT_FALSE(valid(Plastics, 15 - dc, 5 - dr));
        }
    }
    Add(Oil, 15, 5);
    for (int dc = 0; dc < 2; ++dc) {
        for (int dr = 0; dr < 2; ++dr) {
            EXPECT_TRUE(valid(Plastics, 15 - dc, 5 - dr)) << dc << "," << dr;
        }
    }
}

TEST_F(OrdersTest, IronOnABlockedTileNeverCarriesAMine) {
    LoadBlockedMap();
    int blockedColumn = -1, blockedRow = -1, freeColumn = -1, freeRow = -1;
    for (int c = 0; c < MapColumns; ++c) {
        for (int r = 0; r + 1 < MapRows; ++r) {
            if (blockedMap.IsBlocked(c, r)) {
                blockedColumn = c;
                blockedRow = r;
            } else if (!blockedMap.IsBlocked(c, r + 1)) {
                freeColumn = c;
                freeRow = r;
            }
        }
    }
    ASSERT_NE(blockedColumn, -1);
    ASSERT_NE(freeColumn, -1);
    Add(Iron, blockedColumn, blockedRow);
    Add(Iron, freeColumn, freeRow);
    Preview(Mine, blockedColumn, blockedRow);
    EXPECT_FALSE(economy.IsSpotValid(blockedMap));
    EXPECT_EQ(economy.BuyBuilding(blockedMap), InvalidSpot);
    Preview(Mine, freeColumn, freeRow);
    EXPECT_TRUE(economy.IsSpotValid(blockedMap));
}

TEST_F(OrdersTest, BuyBuildingChecksSpotThenMoneyAndPaysOnlyOnSuccess) {
    EXPECT_EQ(economy.BuyBuilding(emptyMap), NothingPlaced);

    Add(Office, 2, 2);
    Preview(Woodworker, 2, 2);
    economy.money = 0;
    EXPECT_EQ(economy.BuyBuilding(emptyMap), InvalidSpot) << "the spot is checked before the money";
    Preview(Woodworker, 3, 2);
    economy.money = 999;
    EXPECT_EQ(economy.BuyBuilding(emptyMap), NotEnoughMoney);
    EXPECT_EQ(economy.money, 999);
    EXPECT_EQ(economy.buildings.size(), 1u);
    EXPECT_TRUE(economy.placing);

    Add(Iron, 8, 9);
    Add(Oil, 11, 9);
    const int costs[] = {0, 700, 1000, 2000, 10300, 6000, 4000};
    for (int type = Office; type <= Mine; ++type) {
        Preview(type, type == Plastics ? 10 : 8, 8);
        economy.money = costs[type] + 5;
        const size_t before = economy.buildings.size();
        ASSERT_EQ(economy.BuyBuilding(emptyMap), OrderDone) << type;
        EXPECT_EQ(economy.money, 5) << type;
        ASSERT_EQ(economy.buildings.size(), before + 1);
        const Building& bought = economy.buildings.back();
        EXPECT_EQ(bought.type, type);
        EXPECT_EQ(bought.x, economy.preview.x);
        EXPECT_EQ(bought.y, 8);
        EXPECT_EQ(bought.pictures.size(), economy.preview.pictures.size());
        EXPECT_NE(bought.pictures.front().GetSurface(), economy.preview.pictures.front().GetSurface());
        EXPECT_TRUE(economy.placing) << "ending the placement is the caller's business";
        economy.buildings.pop_back();
    }

    Preview(Iron, 15, 1);
    try {
        economy.BuyBuilding(emptyMap);
        ADD_FAILURE() << "a deposit has no price";
    } catch (const std::runtime_error& failure) {
        EXPECT_STREQ(failure.what(), "Invalid building type when getting cost!");
    }
    EXPECT_EQ(economy.money, 5);
}

TEST_F(OrdersTest, BuyElfChecksMoneyThenUpkeepAndPaysAtOnce) {
    economy.money = 100;
    EXPECT_EQ(economy.BuyElf(7), NotEnoughMoney);
    economy.money = 5000;
    EXPECT_EQ(economy.BuyElf(7), NoOfficeRoom);
    EXPECT_EQ(economy.money, 5000);
    EXPECT_EQ(economy.pendingElfType, -1);

    const int office = Add(Office, 1, 1);
    EXPECT_EQ(economy.BuyElf(7), OrderDone);
    EXPECT_EQ(economy.money, 4800);
    EXPECT_EQ(economy.pendingElfType, Worker);
    EXPECT_EQ(economy.BuyElf(8), OrderDone);
    EXPECT_EQ(economy.money, 4200);
    EXPECT_EQ(economy.pendingElfType, Geologist);
    EXPECT_EQ(economy.BuyElf(9), OrderDone);
    EXPECT_EQ(economy.money, 3800);
    EXPECT_EQ(economy.pendingElfType, Carrier);
    economy.money = 599;
    EXPECT_EQ(economy.BuyElf(8), NotEnoughMoney);
    EXPECT_EQ(economy.pendingElfType, Carrier);

    economy.money = 5000;
    economy.buildings[office].upkeptElves = 4;
    EXPECT_EQ(economy.BuyElf(9), NoOfficeRoom) << "a fifth elf has no upkeep";
    Add(Office, 3, 1);
    EXPECT_EQ(economy.BuyElf(9), OrderDone);

    for (int item : {0, 6, 10}) {
        try {
            economy.BuyElf(item);
            ADD_FAILURE() << item;
        } catch (const std::runtime_error& failure) {
            EXPECT_STREQ(failure.what(), "Invalid elf type in buying!");
        }
    }
}

TEST_F(OrdersTest, HireIntoOfficeNeedsAnOfficeWithRoom) {
    const int full = Add(Office, 1, 1);
    economy.buildings[full].upkeptElves = 4;
    const int open = Add(Office, 4, 4);
    Add(Woodworker, 6, 6);
    economy.pendingElfType = Geologist;

    EXPECT_FALSE(economy.HireIntoOffice(1, 1));
    EXPECT_FALSE(economy.HireIntoOffice(6, 6));
    EXPECT_FALSE(economy.HireIntoOffice(9, 9));
    EXPECT_TRUE(economy.elves.empty());
    EXPECT_EQ(economy.pendingElfType, Geologist);

    EXPECT_TRUE(economy.HireIntoOffice(4, 4));
    ASSERT_EQ(economy.elves.size(), 1u);
    EXPECT_EQ(economy.elves[0].type, Geologist);
    EXPECT_EQ(economy.elves[0].x, 4);
    EXPECT_EQ(economy.elves[0].y, 4);
    EXPECT_EQ(economy.buildings[open].upkeptElves, 1);
    EXPECT_EQ(economy.buildings[full].upkeptElves, 4);
    EXPECT_EQ(economy.pendingElfType, -1);
    EXPECT_FALSE(economy.HireIntoOffice(4, 4)) << "nothing is paid for any more";
    EXPECT_EQ(economy.elves.size(), 1u);
}

TEST_F(OrdersTest, SendWorkerWalksToTheEntranceOfABuildingWithRoom) {
    Add(Office, 0, 0);
    const int mill = Add(Woodworker, 8, 3);
    Add(Mine, 12, 6);
    Add(Iron, 15, 2);
    const int first = AddElf(Worker, 10, 10);
    const int second = AddElf(Worker, 2, 2);

    economy.selectedWorker = first;
    EXPECT_FALSE(economy.SendWorker(0, 0)) << "offices take no workers";
    EXPECT_EQ(economy.selectedWorker, -1);
    EXPECT_FALSE(economy.elves[first].employed);
    economy.selectedWorker = first;
    EXPECT_FALSE(economy.SendWorker(15, 2)) << "a deposit is no workplace";
    EXPECT_FALSE(economy.elves[first].walking);

    economy.selectedWorker = first;
    EXPECT_TRUE(economy.SendWorker(8, 3));
    economy.selectedWorker = second;
    EXPECT_TRUE(economy.SendWorker(8, 3)) << "only arrived workers fill a place";
    for (int worker : {first, second}) {
        const Elf& elf = economy.elves[worker];
        EXPECT_TRUE(elf.employed);
        EXPECT_TRUE(elf.walking);
        EXPECT_EQ(elf.x + elf.dx, 8);
        EXPECT_EQ(elf.y + elf.dy, 3);
    }
    EXPECT_EQ(economy.selectedWorker, -1);

    const int third = AddElf(Worker, 0, 13);
    economy.selectedWorker = third;
    EXPECT_TRUE(economy.SendWorker(12, 6)) << "the top tile of the mine";
    EXPECT_EQ(economy.elves[third].y + economy.elves[third].dy, 7) << "entrance is the bottom tile";

    economy.buildings[mill].workers = 1;
    const int fourth = AddElf(Worker);
    economy.selectedWorker = fourth;
    EXPECT_FALSE(economy.SendWorker(8, 3));
    EXPECT_FALSE(economy.elves[fourth].employed);
}

TEST_F(OrdersTest, CarrierRouteNeedsAWorkingMineAndAStaffedFoundry) {
    const int mine = Add(Mine, 4, 4, 2);
    const int foundry = Add(Foundry, 10, 8, 3);
    const int carrier = AddElf(Carrier, 1, 1);

    economy.selectedCarrier = carrier;
    EXPECT_FALSE(economy.ChooseMine(4, 5)) << "two of three workers";
    EXPECT_EQ(economy.selectedCarrier, -1);
    EXPECT_EQ(economy.routeCarrier, -1);
    EXPECT_EQ(economy.elves[carrier].mineIndex, -1);

    economy.buildings[mine].workers = 3;
    economy.selectedCarrier = carrier;
    EXPECT_FALSE(economy.ChooseMine(10, 8)) << "a foundry is no mine";
    economy.selectedCarrier = carrier;
    EXPECT_TRUE(economy.ChooseMine(4, 5));
    EXPECT_EQ(economy.selectedCarrier, -1);
    EXPECT_EQ(economy.routeCarrier, carrier);
    EXPECT_EQ(economy.elves[carrier].mineIndex, mine);

    EXPECT_FALSE(economy.ChooseFoundry(12, 8)) << "three of four workers";
    EXPECT_EQ(economy.routeCarrier, -1);
    EXPECT_EQ(economy.buildings[foundry].carriers, 0);
    EXPECT_FALSE(economy.elves[carrier].onRoute);

    economy.buildings[foundry].workers = 4;
    economy.routeCarrier = carrier;
    EXPECT_TRUE(economy.ChooseFoundry(12, 8)) << "no carrier needed to take the first";
    EXPECT_EQ(economy.routeCarrier, -1);
    EXPECT_EQ(economy.buildings[foundry].carriers, 1);
    const Elf& elf = economy.elves[carrier];
    EXPECT_EQ(elf.foundryIndex, foundry);
    EXPECT_TRUE(elf.onRoute);
    EXPECT_EQ(elf.x + elf.dx, 4);
    EXPECT_EQ(elf.y + elf.dy, 5) << "heads for the mine's entrance first";
}

}  // namespace
