#include "rules/building.h"
#include "rules/elf.h"
#include "tests/play/play_fixture.h"

#include <SDL_mixer.h>

#include <string>

namespace {

// Screen points of the build and hire menu opened at (100, 100).
constexpr int MenuX = 100;
constexpr int MenuY = 100;
int EntryY(int entry) {
    return MenuY + 3 + 24 * (entry - 1) + 10;
}
// A point inside a map cell.
int CellX(int column) {
    return 32 * column + 10;
}
int CellY(int row) {
    return 32 * (row + 1) + 10;
}

class PlayOrdersTest : public PlayTest {
  protected:
    void OpenMenu() {
        if (!state->buildMenuOpen) {
            Press(MenuX, MenuY, SDL_BUTTON_RIGHT);
            Frame();
        }
    }
    void ChooseEntry(int entry) {
        OpenMenu();
        Click(MenuX + 50, EntryY(entry));
    }
    void ExpectMessage(const std::string& text, int32_t timeout) {
        EXPECT_EQ(state->messageText, text);
        EXPECT_EQ(state->messageTimeout, timeout) << text;
    }
    // The free-elves panel opened on the free cell, then its row clicked.
    void PickFromFreeElvesPanel(int row) {
        int column = 0;
        int cellRow = 0;
        ASSERT_TRUE(FindFreeSpot(1, 1, column, cellRow));
        Click(CellX(column), CellY(cellRow));
        ASSERT_TRUE(state->economy.freeElvesPanelOpen);
        const int px = state->economy.freeElvesPanelX;
        const int py = state->economy.freeElvesPanelY;
        Click(px + 100, py + (row == 1 ? 38 : 62));
    }
};

TEST_F(PlayOrdersTest, HiringChecksMoneyBeforeUpkeepAndPaysBeforeTheOfficeIsChosen) {
    StartGame();
    state->economy.money = 100;
    ChooseEntry(7);
    ExpectMessage("You don't have enough money!", 3000);
    state->economy.money = 5000;
    ChooseEntry(7);
    ExpectMessage("You don't have available upkeep in any office! Build more offices...", 3000);
    EXPECT_EQ(state->economy.Money(), 5000) << "a refusal costs nothing";
    EXPECT_EQ(state->economy.pendingElfType, -1);

    const int full = AddBuilding(Office, 2, 2);
    state->economy.buildings[full].upkeptElves = 4;
    ChooseEntry(8);
    ExpectMessage("You don't have available upkeep in any office! Build more offices...", 3000);

    AddBuilding(Office, 5, 2);
    AddBuilding(Woodworker, 8, 2);
    ChooseEntry(8);
    ExpectMessage("Select office to upkeep new elf...", -1);
    EXPECT_EQ(state->economy.pendingElfType, Geologist);
    EXPECT_EQ(state->economy.Money(), 4400) << "paid at once";
    EXPECT_TRUE(state->buildMenuOpen);

    Click(CellX(2), CellY(2));
    ExpectMessage("This office is fully occupied, select another office...", -1);
    Click(CellX(8), CellY(2));
    ExpectMessage("This office is fully occupied, select another office...", -1);
    Click(CellX(15), CellY(12), SDL_BUTTON_RIGHT);
    EXPECT_TRUE(state->buildMenuOpen) << "right presses are ignored meanwhile";
    EXPECT_EQ(state->economy.pendingElfType, Geologist);
    EXPECT_EQ(state->economy.Money(), 4400) << "no refund";
    EXPECT_EQ(Mix_Playing(-1), 0);

    Click(CellX(5), CellY(2));
    ExpectMessage("New elf hired!", 3000);
    EXPECT_EQ(state->economy.pendingElfType, -1);
    ASSERT_EQ(state->economy.elves.size(), 1u);
    EXPECT_EQ(state->economy.elves[0].type, Geologist);
    EXPECT_EQ(state->economy.elves[0].x, 5);
    EXPECT_EQ(state->economy.elves[0].y, 2);
    EXPECT_EQ(state->economy.buildings[1].upkeptElves, 1);
    EXPECT_EQ(Mix_Playing(-1), 1) << "\"pop.wav\" plays";
}

TEST_F(PlayOrdersTest, PlacingBuysOnlyOnAValidSpotWithTheMoney) {
    StartGame();
    int blockedColumn = 0;
    int blockedRow = 0;
    ASSERT_TRUE(FindBlockedCell(blockedColumn, blockedRow));
    int column = 0;
    int row = 0;
    ASSERT_TRUE(FindFreeSpot(1, 1, column, row));

    ChooseEntry(2);
    ASSERT_TRUE(state->economy.placing);
    // The preview shows 250 ms into its blink period, with a red cross on a blocked cell.
    Point(CellX(blockedColumn), CellY(blockedRow));
    TestClock::Advance(300);
    Frame();
    EXPECT_TRUE(AnyPixel(Screen(), 32 * blockedColumn, 32 * (blockedRow + 1), 32 * blockedColumn + 31,
                         32 * (blockedRow + 1) + 31, SDL_Color{255, 0, 0, 0}));
    Press(CellX(blockedColumn), CellY(blockedRow));
    Frame();
    ExpectMessage("Invalid spot for building!", 3000);
    EXPECT_TRUE(state->economy.placing);

    state->economy.money = 999;
    Click(CellX(column), CellY(row));
    ExpectMessage("You don't have enough money!", 3000);
    EXPECT_TRUE(state->economy.placing);
    EXPECT_TRUE(state->economy.buildings.empty());
    EXPECT_EQ(Mix_Playing(-1), 0);

    state->economy.money = 1000;
    Click(CellX(column), CellY(row));
    ExpectMessage("Building successfully bought!", 3000);
    EXPECT_FALSE(state->economy.placing);
    EXPECT_EQ(state->economy.Money(), 0);
    ASSERT_EQ(state->economy.buildings.size(), 1u);
    EXPECT_EQ(state->economy.buildings[0].type, Woodworker);
    EXPECT_EQ(state->economy.buildings[0].x, column);
    EXPECT_EQ(state->economy.buildings[0].y, row);
    EXPECT_EQ(Mix_Playing(-1), 1) << "\"build.wav\" plays";

    // A right press that opens the menu drops the preview; the next closes the menu.
    ChooseEntry(1);
    ASSERT_TRUE(state->economy.placing);
    Click(300, 300, SDL_BUTTON_RIGHT);
    EXPECT_TRUE(state->buildMenuOpen);
    EXPECT_FALSE(state->economy.placing);
    Click(300, 300, SDL_BUTTON_RIGHT);
    EXPECT_FALSE(state->buildMenuOpen);
}

TEST_F(PlayOrdersTest, AWorkerIsSentFromTheFreeElvesPanel) {
    StartGame();
    AddBuilding(Office, 0, 0);
    const int wood = AddBuilding(Woodworker, 3, 0);
    const int first = AddElf(Worker, 0, 0);
    AddElf(Worker, 0, 0);
    state->economy.elves[first].employed = true;

    PickFromFreeElvesPanel(1);
    ExpectMessage("Select working place for worker...", -1);
    EXPECT_EQ(state->economy.selectedWorker, 1) << "the first free worker in hiring order";
    EXPECT_FALSE(state->economy.freeElvesPanelOpen);

    Click(CellX(10), CellY(10), SDL_BUTTON_RIGHT);
    Click(CellX(10), CellY(10), SDL_BUTTON_MIDDLE);
    EXPECT_EQ(state->economy.selectedWorker, 1) << "only a left press moves the order on";
    EXPECT_FALSE(state->buildMenuOpen);

    Click(CellX(0), CellY(0));
    ExpectMessage("Can't work here! Building is full or it's office (offices need no workers)!", 3000);
    EXPECT_EQ(state->economy.selectedWorker, -1) << "one try only";

    PickFromFreeElvesPanel(1);
    Click(CellX(3), CellY(0));
    ExpectMessage("Worker is on his way to his new job!", 3000);
    EXPECT_TRUE(state->economy.elves[1].employed);
    EXPECT_EQ(Mix_Playing(-1), 1) << "\"walk.wav\" plays";
    EXPECT_EQ(state->economy.buildings[wood].workers, 0) << "it counts once it has arrived";
}

TEST_F(PlayOrdersTest, ACarrierRouteNeedsAMineAndAFoundry) {
    StartGame();
    AddBuilding(Office, 0, 0);
    AddElf(Carrier, 0, 0);
    PickFromFreeElvesPanel(2);
    ExpectMessage("You must have both, mine and foundry to set up carrier's path!", 3000);
    EXPECT_EQ(state->economy.selectedCarrier, -1);
    EXPECT_TRUE(state->economy.freeElvesPanelOpen) << "the panel stays open";

    const int mine = AddBuilding(Mine, 3, 0, 2);
    const int foundry = AddBuilding(Foundry, 6, 0, 3);
    Click(CellX(19), CellY(13));  // outside the panel: it closes
    EXPECT_FALSE(state->economy.freeElvesPanelOpen);

    PickFromFreeElvesPanel(2);
    ExpectMessage("Select mine where carrier picks up iron ore...", -1);
    EXPECT_EQ(state->economy.selectedCarrier, 0);
    Click(CellX(3), CellY(1), SDL_BUTTON_RIGHT);
    EXPECT_EQ(state->economy.selectedCarrier, 0);
    Click(CellX(3), CellY(1));
    ExpectMessage("Either this mine's not working or you clicked something else!", 3000);
    EXPECT_EQ(state->economy.selectedCarrier, -1);

    state->economy.buildings[mine].workers = 3;
    PickFromFreeElvesPanel(2);
    Click(CellX(3), CellY(1));
    ExpectMessage("Choose foundry to supply it with iron ore...", -1);
    EXPECT_EQ(state->economy.routeCarrier, 0);
    Click(CellX(6), CellY(0));
    ExpectMessage("Either this foundry has no workers or you clicked something else!", 3000);
    EXPECT_EQ(state->economy.routeCarrier, -1);
    EXPECT_EQ(Mix_Playing(-1), 0);

    state->economy.buildings[foundry].workers = 4;
    PickFromFreeElvesPanel(2);
    Click(CellX(3), CellY(0));
    Click(CellX(10), CellY(10), SDL_BUTTON_RIGHT);
    EXPECT_FALSE(state->buildMenuOpen);
    EXPECT_EQ(state->economy.routeCarrier, 0);
    Click(CellX(8), CellY(0));
    ExpectMessage("Carrier is now supplying foundry with iron ore!", 3000);
    EXPECT_TRUE(state->economy.elves[0].onRoute);
    EXPECT_EQ(state->economy.buildings[foundry].carriers, 1);
    EXPECT_EQ(Mix_Playing(-1), 1) << "\"walk.wav\" plays";
}

TEST_F(PlayOrdersTest, InformationPanelOpensOnABuildingAndClosesOnTheNextClickOutside) {
    StartGame();
    AddBuilding(Woodworker, 3, 3);
    Click(CellX(3), CellY(3));
    EXPECT_EQ(state->economy.selectedBuilding, 0);
    EXPECT_EQ(state->economy.infoPanelX, 128);
    EXPECT_EQ(state->economy.infoPanelY, 160) << "one tile right of and below the building's tile";
    EXPECT_TRUE(SameColour(Pixel(32 * 4 + 100, 32 * 5), FrameRed)) << "the panel is drawn";
    EXPECT_TRUE(SameColour(Pixel(32 * 4 + 100, 32 * 5 + 140), DarkRed));
    EXPECT_FALSE(SameColour(Pixel(32 * 4 + 100, 32 * 4 + 10), DarkRed));
    Click(state->economy.infoPanelX + 100, state->economy.infoPanelY + 100);
    EXPECT_EQ(state->economy.selectedBuilding, 0) << "a click inside keeps it";
    Click(CellX(15), CellY(12));
    EXPECT_EQ(state->economy.selectedBuilding, -1);
    EXPECT_FALSE(state->economy.freeElvesPanelOpen) << "the closing click does nothing else";
    Click(CellX(15), CellY(12));
    EXPECT_TRUE(state->economy.freeElvesPanelOpen);
    Click(CellX(15), CellY(12), SDL_BUTTON_RIGHT);
    EXPECT_FALSE(state->buildMenuOpen) << "no menu while the free-elves panel is open";
    Click(300, 20);
    EXPECT_TRUE(state->economy.freeElvesPanelOpen) << "top bar clicks do not reach the panel";
}

}  // namespace
