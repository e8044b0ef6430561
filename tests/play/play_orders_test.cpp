// What the play screen makes of each order result: the message, its time-out
// and the sound. The results themselves are the economy's, tested with it.
#include "engine/text.h"
#include "rules/building.h"
#include "rules/elf.h"
#include "tests/play/play_fixture.h"

#include <SDL_mixer.h>

#include <cstdlib>
#include <string>

namespace {

const auto CellX = [](int column) { return 32 * column + 10; };
const auto CellY = [](int row) { return 32 * (row + 1) + 10; };
// A point on an entry of the build and hire menu opened at (100, 100).
constexpr int EntryX = 150;
const auto EntryY = [](int entry) { return 100 + 3 + 24 * (entry - 1) + 10; };

TEST_F(PlayTest, EveryOrderResultHasItsMessageTimeoutAndSound) {
    // Every game of the table gets the same map: its first blocked and first
    // free cells from the top left.
    std::srand(99);
    StartGame();
    int blocked = -1;
    int free = -1;
    for (int cell = MapColumns * MapRows - 1; cell >= 0; --cell) {
        (state->map.IsBlocked(cell % MapColumns, cell / MapColumns) ? blocked : free) = cell;
    }
    const int freeX = CellX(free % MapColumns);
    const int freeY = CellY(free / MapColumns);

    // The step waiting for the click, or what the click is on.
    enum Step { Hiring, Sending, Mining, Routing, Menu, Placing, Panel };
    // In the town along the top row of the map: 0 an office with room for one
    // more elf, 1 a full office, 2 a woodworker, 3 a working mine, 4 an idle
    // mine, 5 a staffed foundry, 8 one short of staff. Without it, nothing.
    const int room = CellX(0), full = CellX(1), wood = CellX(2), mine = CellX(3), idle = CellX(4),
              foundry = CellX(5), unstaffed = CellX(8), top = CellY(0);
    constexpr Uint8 L = SDL_BUTTON_LEFT;
    constexpr Uint8 R = SDL_BUTTON_RIGHT;
    const struct {
        Step step;
        bool town;
        int32_t money;
        int x, y;
        Uint8 button;
        std::string message;
        int32_t timeout;
        int sounds;
    } orders[] = {
        {Hiring, true, 0, room, top, L, "New elf hired!", 3000, 1},
        {Hiring, true, 0, full, top, L, "This office is fully occupied, select another office...", -1, 0},
        {Sending, true, 0, wood, top, L, "Worker is on his way to his new job!", 3000, 1},
        {Sending, true, 0, room, top, L,
         "Can't work here! Building is full or it's office (offices need no workers)!", 3000, 0},
        {Mining, true, 0, mine, top, L, "Choose foundry to supply it with iron ore...", -1, 0},
        {Mining, true, 0, idle, top, L, "Either this mine's not working or you clicked something else!", 3000,
         0},
        {Routing, true, 0, foundry, top, L, "Carrier is now supplying foundry with iron ore!", 3000, 1},
        {Routing, true, 0, unstaffed, top, L,
         "Either this foundry has no workers or you clicked something else!", 3000, 0},
        // While a step waits, only a left press moves it on.
        {Hiring, true, 0, room, top, R, "", -1, 0},
        {Sending, true, 0, wood, top, SDL_BUTTON_MIDDLE, "", -1, 0},
        {Mining, true, 0, mine, top, R, "", -1, 0},
        {Routing, true, 0, foundry, top, R, "", -1, 0},

        {Menu, false, 199, EntryX, EntryY(7), L, "You don't have enough money!", 3000, 0},
        {Menu, false, 5000, EntryX, EntryY(8), L,
         "You don't have available upkeep in any office! Build more offices...", 3000, 0},
        {Menu, true, 5000, EntryX, EntryY(9), L, "Select office to upkeep new elf...", -1, 0},
        {Placing, false, 5000, CellX(blocked % MapColumns), CellY(blocked / MapColumns), L,
         "Invalid spot for building!", 3000, 0},
        {Placing, false, 999, freeX, freeY, L, "You don't have enough money!", 3000, 0},
        {Placing, false, 1000, freeX, freeY, L, "Building successfully bought!", 3000, 1},
        {Panel, false, 0, 200, 138, L, "Select working place for worker...", -1, 0},
        {Panel, false, 0, 200, 162, L, "You must have both, mine and foundry to set up carrier's path!", 3000,
         0},
        {Panel, true, 0, 200, 162, L, "Select mine where carrier picks up iron ore...", -1, 0},
    };
    for (const auto& order : orders) {
        std::srand(99);
        StartGame();
        Mix_HaltChannel(-1);
        Economy& economy = state->economy;
        if (order.town) {
            const int town[][3] = {{Office, 0, 0}, {Office, 1, 0},  {Woodworker, 2, 0}, {Mine, 3, 3},
                                   {Mine, 4, 2},   {Foundry, 5, 4}, {Foundry, 8, 3}};
            for (const auto& [type, column, workers] : town) {
                AddBuilding(type, column, 0, workers);
            }
            economy.buildings[0].upkeptElves = 3;
            economy.buildings[1].upkeptElves = 4;
        }
        economy.elves.emplace_back(Worker, 0, 0);
        economy.elves.emplace_back(Carrier, 0, 0);
        economy.money = order.money;
        economy.pendingElfType = order.step == Hiring ? Geologist : -1;
        economy.selectedWorker = order.step == Sending ? 0 : -1;
        economy.selectedCarrier = order.step == Mining ? 1 : -1;
        economy.routeCarrier = order.step == Routing ? 1 : -1;
        economy.elves[1].mineIndex = 3;
        state->buildMenuOpen = order.step == Menu;
        state->buildMenuX = state->buildMenuY = 100;
        if (order.step == Placing) {
            economy.StartPlacing(Woodworker);
        } else if (order.step == Panel) {
            economy.OpenFreeElvesPanel(100, 100);
        }
        Click(order.x, order.y, order.button);
        EXPECT_EQ(state->messageText, order.message) << &order - orders;
        EXPECT_EQ(state->messageTimeout, order.timeout) << order.message;
        EXPECT_EQ(Mix_Playing(-1), order.sounds) << order.message;
        EXPECT_EQ(state->buildMenuOpen, order.step == Menu)
            << "hiring keeps the menu open: " << order.message;
    }
}

TEST_F(PlayTest, LeftClicksGoToTheInformationPanelThenTheFreeElvesPanel) {
    StartGame();
    AddBuilding(Woodworker, 3, 3);
    Click(CellX(3), CellY(3));
    Click(state->economy.infoPanelX + 100, state->economy.infoPanelY + 100);
    EXPECT_EQ(state->economy.selectedBuilding, 0) << "a click inside keeps it";
    Click(CellX(15), CellY(12));
    EXPECT_EQ(state->economy.selectedBuilding, -1);
    EXPECT_FALSE(state->economy.freeElvesPanelOpen) << "the closing click does nothing else";
    Click(CellX(15), CellY(12));
    Click(CellX(15), CellY(12), SDL_BUTTON_RIGHT);
    EXPECT_FALSE(state->buildMenuOpen) << "no menu while the free-elves panel is open";
    Click(300, 20);
    EXPECT_TRUE(state->economy.freeElvesPanelOpen) << "top bar clicks do not reach the panel";
}

TEST_F(PlayTest, MessagesExpireAfterTheirTimeoutAndPromptsStay) {
    StartGame();
    const std::string wide = "Building successfully bought!";
    state->SetMessage("You don't have enough money!", 3000);
    TestClock::Advance(1000);
    state->SetMessage(wide, 3000);  // replaces the first, with its own time-out
    TestClock::Advance(2999);
    Frame();
    EXPECT_TRUE(ShowsOutlinedText(Screen(), 320 - guiFont.TextWidth(wide) / 2, 64, wide, DarkRed, TextGrey));
    TestClock::Advance(1);
    Frame();
    EXPECT_TRUE(state->messageText.empty());
    EXPECT_EQ(state->messageTimeout, -1);
    EXPECT_FALSE(AnyPixel(Screen(), 0, 60, 639, 100, DarkRed));

    state->SetMessage("Select office to upkeep new elf...", -1);
    TestClock::Advance(3600000);
    Frame();
    EXPECT_TRUE(AnyPixel(Screen(), 0, 60, 639, 100, DarkRed));
    state->ClearMessage();
    Frame();
    EXPECT_FALSE(AnyPixel(Screen(), 0, 60, 639, 100, DarkRed));
}

TEST_F(PlayTest, OverlaysHideWhileASelectionStepWaits) {
    StartGame();
    state->buildMenuOpen = true;
    state->buildMenuX = state->buildMenuY = 100;
    Economy& economy = state->economy;
    for (int step = 0; step < 4; ++step) {
        economy.pendingElfType = step == 0 ? Worker : -1;
        economy.selectedWorker = step == 1 ? 0 : -1;
        economy.selectedCarrier = step == 2 ? 0 : -1;
        economy.routeCarrier = step == 3 ? 0 : -1;
        Frame();
        EXPECT_FALSE(PixelIs(100, 150, FrameRed)) << step;
    }
    EXPECT_TRUE(ShowsOutlinedText(Screen(), 500, 40, "Time left: 24:0", Black, TextGrey, false));
    economy.routeCarrier = -1;
    economy.selectedCarrier = -2;
    Frame();
    EXPECT_FALSE(PixelIs(100, 150, FrameRed)) << "no overlay in the frame of the mark";
    EXPECT_EQ(economy.selectedCarrier, -1);
    Frame();
    EXPECT_TRUE(PixelIs(100, 150, FrameRed)) << "back at the same place afterwards";
}

}  // namespace
