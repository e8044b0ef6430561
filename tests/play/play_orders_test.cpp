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

int CellX(int column) {
    return 32 * column + 10;
}
int CellY(int row) {
    return 32 * (row + 1) + 10;
}
// A point on an entry of the build and hire menu opened at (100, 100).
constexpr int EntryX = 150;
int EntryY(int entry) {
    return 100 + 3 + 24 * (entry - 1) + 10;
}

TEST_F(PlayTest, EveryOrderResultHasItsMessageTimeoutAndSound) {
    // Every game of the table gets the same map.
    std::srand(99);
    StartGame();
    int free[2] = {0, 0};
    int blocked[2] = {0, 0};
    ASSERT_TRUE(FindCell(true, blocked[0], blocked[1]) && FindCell(false, free[0], free[1]));
    const int freeX = CellX(free[0]);
    const int freeY = CellY(free[1]);

    // The step waiting for the click, or what the click is on.
    enum Step { Hiring, Sending, Mining, Routing, Menu, Placing, Panel };
    // In the town along the top row of the map: 0 an office with room for one
    // more elf, 1 a full office, 2 a woodworker, 3 a working mine, 4 an idle
    // mine, 5 a staffed foundry, 8 one short of staff. Without it, nothing.
    const int room = CellX(0), full = CellX(1), wood = CellX(2), mine = CellX(3), idle = CellX(4),
              foundry = CellX(5), unstaffed = CellX(8), top = CellY(0);
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
        {Hiring, true, 0, room, top, SDL_BUTTON_LEFT, "New elf hired!", 3000, 1},
        {Hiring, true, 0, full, top, SDL_BUTTON_LEFT,
         "This office is fully occupied, select another office...", -1, 0},
        {Sending, true, 0, wood, top, SDL_BUTTON_LEFT, "Worker is on his way to his new job!", 3000, 1},
        {Sending, true, 0, room, top, SDL_BUTTON_LEFT,
         "Can't work here! Building is full or it's office (offices need no workers)!", 3000, 0},
        {Mining, true, 0, mine, top, SDL_BUTTON_LEFT, "Choose foundry to supply it with iron ore...", -1, 0},
        {Mining, true, 0, idle, top, SDL_BUTTON_LEFT,
         "Either this mine's not working or you clicked something else!", 3000, 0},
        {Routing, true, 0, foundry, top, SDL_BUTTON_LEFT, "Carrier is now supplying foundry with iron ore!",
         3000, 1},
        {Routing, true, 0, unstaffed, top, SDL_BUTTON_LEFT,
         "Either this foundry has no workers or you clicked something else!", 3000, 0},
        // While a step waits, only a left press moves it on.
        {Hiring, true, 0, room, top, SDL_BUTTON_RIGHT, "", -1, 0},
        {Sending, true, 0, wood, top, SDL_BUTTON_MIDDLE, "", -1, 0},
        {Mining, true, 0, mine, top, SDL_BUTTON_RIGHT, "", -1, 0},
        {Routing, true, 0, foundry, top, SDL_BUTTON_RIGHT, "", -1, 0},

        {Menu, false, 199, EntryX, EntryY(7), SDL_BUTTON_LEFT, "You don't have enough money!", 3000, 0},
        {Menu, false, 5000, EntryX, EntryY(8), SDL_BUTTON_LEFT,
         "You don't have available upkeep in any office! Build more offices...", 3000, 0},
        {Menu, true, 5000, EntryX, EntryY(9), SDL_BUTTON_LEFT, "Select office to upkeep new elf...", -1, 0},
        {Placing, false, 5000, CellX(blocked[0]), CellY(blocked[1]), SDL_BUTTON_LEFT,
         "Invalid spot for building!", 3000, 0},
        {Placing, false, 999, freeX, freeY, SDL_BUTTON_LEFT, "You don't have enough money!", 3000, 0},
        {Placing, false, 1000, freeX, freeY, SDL_BUTTON_LEFT, "Building successfully bought!", 3000, 1},
        {Panel, false, 0, 200, 138, SDL_BUTTON_LEFT, "Select working place for worker...", -1, 0},
        {Panel, false, 0, 200, 162, SDL_BUTTON_LEFT,
         "You must have both, mine and foundry to set up carrier's path!", 3000, 0},
        {Panel, true, 0, 200, 162, SDL_BUTTON_LEFT, "Select mine where carrier picks up iron ore...", -1, 0},
    };
    for (const auto& order : orders) {
        std::srand(99);
        StartGame();
        Mix_HaltChannel(-1);
        Economy& economy = state->economy;
        if (order.town) {
            AddBuilding(Office, 0, 0);
            AddBuilding(Office, 1, 0);
            economy.buildings[0].upkeptElves = 3;
            economy.buildings[1].upkeptElves = 4;
            AddBuilding(Woodworker, 2, 0);
            AddBuilding(Mine, 3, 0, 3);
            AddBuilding(Mine, 4, 0, 2);
            AddBuilding(Foundry, 5, 0, 4);
            AddBuilding(Foundry, 8, 0, 3);
        }
        AddElf(Worker);
        AddElf(Carrier);
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
    EXPECT_EQ(state->economy.selectedBuilding, 0);
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

TEST_F(PlayTest, MessagesExpireAfterTheirTimeoutAndPromptsStay) {
    StartGame();
    const std::string wide = "Building successfully bought!";
    TestClock::Set(10000);
    state->SetMessage(wide, 3000);
    TestClock::Set(12999);
    Frame();
    EXPECT_TRUE(ShowsOutlinedText(Screen(), 320 - guiFont.TextWidth(wide) / 2, 64, wide, DarkRed, TextGrey));
    TestClock::Set(13000);
    Frame();
    EXPECT_TRUE(state->messageText.empty());
    EXPECT_EQ(state->messageTimeout, -1);
    EXPECT_FALSE(AnyPixel(Screen(), 0, 60, 639, 100, DarkRed));

    state->SetMessage("Select office to upkeep new elf...", -1);
    TestClock::Advance(3600000);
    Frame();
    EXPECT_EQ(state->messageText, "Select office to upkeep new elf...");
    state->ClearMessage();
    Frame();
    EXPECT_FALSE(AnyPixel(Screen(), 0, 60, 639, 100, DarkRed));

    // Two messages in one frame: the second one, with its own time-out.
    TestClock::Set(20000);
    state->SetMessage(wide, 3000);
    TestClock::Set(21000);
    state->SetMessage("You don't have enough money!", 3000);
    TestClock::Set(23999);
    Frame();
    EXPECT_EQ(state->messageText, "You don't have enough money!");
    TestClock::Set(24000);
    Frame();
    EXPECT_TRUE(state->messageText.empty());
}

TEST_F(PlayTest, OverlaysHideWhileASelectionStepWaits) {
    StartGame();
    AddBuilding(Office, 0, 0);
    Press(100, 100, SDL_BUTTON_RIGHT);
    Frame();
    Click(EntryX, EntryY(7));  // "Hire worker"
    ASSERT_EQ(state->economy.pendingElfType, Worker);
    EXPECT_FALSE(PixelIs(100, 150, FrameRed)) << "the menu hides while the office is chosen";
    EXPECT_TRUE(ShowsOutlinedText(Screen(), 500, 40, "Time left: 24:0", Black, TextGrey, false));
    EXPECT_TRUE(AnyPixel(Screen(), 0, 60, 639, 100, DarkRed)) << "the prompt";
    Click(5, 40);  // the office at (0, 0)
    EXPECT_TRUE(PixelIs(100, 150, FrameRed)) << "back at the same place afterwards";

    for (int step = 0; step < 3; ++step) {
        state->economy.selectedWorker = step == 0 ? 0 : -1;
        state->economy.selectedCarrier = step == 1 ? 0 : -1;
        state->economy.routeCarrier = step == 2 ? 0 : -1;
        Frame();
        EXPECT_FALSE(PixelIs(100, 150, FrameRed)) << step;
    }
    state->economy.routeCarrier = -1;
    state->economy.selectedCarrier = -2;
    Frame();
    EXPECT_FALSE(PixelIs(100, 150, FrameRed)) << "no overlay in the frame of the mark";
    EXPECT_EQ(state->economy.selectedCarrier, -1);
    Frame();
    EXPECT_TRUE(PixelIs(100, 150, FrameRed));
}

}  // namespace
