#include "engine/text.h"
#include "rules/building.h"
#include "rules/elf.h"
#include "tests/play/play_fixture.h"

#include <string>
#include <utility>

namespace {

TEST_F(PlayTest, BuildMenuOpensAtThePointerAndStaysOnTheScreen) {
    StartGame();
    Press(600, 400, SDL_BUTTON_RIGHT);
    Frame();
    EXPECT_TRUE(state->buildMenuOpen);
    EXPECT_EQ(state->buildMenuX, 430);
    EXPECT_EQ(state->buildMenuY, 257);

    Press(5, 40, SDL_BUTTON_RIGHT);
    Frame();
    EXPECT_FALSE(state->buildMenuOpen) << "a second right click closes it wherever it is made";

    Press(420, 257, SDL_BUTTON_RIGHT);
    Frame();
    EXPECT_TRUE(state->buildMenuOpen);
    EXPECT_EQ(state->buildMenuX, 420);
    EXPECT_EQ(state->buildMenuY, 257) << "257 + 223 is not above 480";

    Press(430, 258, SDL_BUTTON_RIGHT);
    Press(430, 258, SDL_BUTTON_RIGHT);
    Frame();
    EXPECT_EQ(state->buildMenuX, 430) << "430 + 210 is not above 640";
    EXPECT_EQ(state->buildMenuY, 257);
    Press(431, 479, SDL_BUTTON_RIGHT);
    Press(639, 258, SDL_BUTTON_RIGHT);
    Frame();
    EXPECT_TRUE(state->buildMenuOpen);
    EXPECT_EQ(state->buildMenuX, 430);
    EXPECT_EQ(state->buildMenuY, 257);

    Press(5, 5, SDL_BUTTON_RIGHT);
    Press(100, 100, SDL_BUTTON_RIGHT);
    Frame();
    ASSERT_TRUE(state->buildMenuOpen);
    EXPECT_EQ(state->buildMenuX, 100);
    EXPECT_EQ(state->buildMenuY, 100);
    EXPECT_EQ(state->buildMenuHover, -1) << "the pointer on the frame is on no entry";
}

TEST_F(PlayTest, BuildMenuIsAFramedBoxOfNineLabelsWithPrices) {
    StartGame();
    EXPECT_EQ(BuildMenuLabel(1), "Build office [700]");
    EXPECT_EQ(BuildMenuLabel(2), "Build woodworker [1000]");
    EXPECT_EQ(BuildMenuLabel(3), "Build factory [2000]");
    EXPECT_EQ(BuildMenuLabel(4), "Build plastics [10300]");
    EXPECT_EQ(BuildMenuLabel(5), "Build foundry [6000]");
    EXPECT_EQ(BuildMenuLabel(6), "Build mine [4000]");
    EXPECT_EQ(BuildMenuLabel(7), "Hire worker [200]");
    EXPECT_EQ(BuildMenuLabel(8), "Hire geologist [600]");
    EXPECT_EQ(BuildMenuLabel(9), "Hire carrier [400]");
    EXPECT_EQ(BuildMenuLabel(10), "");

    Press(150, 120, SDL_BUTTON_RIGHT);
    Point(150, 120);
    Frame();
    const int x = 150;
    const int y = 120;
    for (int inset = 0; inset < 3; ++inset) {
        EXPECT_TRUE(SameColour(Pixel(x + inset, y + 100), FrameRed)) << inset;
        EXPECT_TRUE(SameColour(Pixel(x + 210 - inset, y + 100), FrameRed)) << inset;
        EXPECT_TRUE(SameColour(Pixel(x + 100, y + inset), FrameRed)) << inset;
        EXPECT_TRUE(SameColour(Pixel(x + 100, y + 220 - inset), FrameRed)) << inset;
    }
    EXPECT_TRUE(SameColour(Pixel(x + 3, y + 3), DarkRed));
    EXPECT_TRUE(SameColour(Pixel(x + 207, y + 217), DarkRed));
    EXPECT_FALSE(SameColour(Pixel(x + 211, y + 100), FrameRed));
    EXPECT_FALSE(SameColour(Pixel(x + 100, y + 221), FrameRed));
    for (int entry = 1; entry <= 9; ++entry) {
        EXPECT_TRUE(ShowsText(Screen(), x + 7, y + 7 + 24 * (entry - 1), BuildMenuLabel(entry), TextGrey));
    }
}

TEST_F(PlayTest, BuildMenuHoverBandsLeaveGapsAndTheMineBandIsShorter) {
    StartGame();
    Press(100, 100, SDL_BUTTON_RIGHT);
    Frame();
    const int x = 100;
    const int y = 100;
    const auto hoverAt = [&](int mx, int my) {
        Point(mx, my);
        Frame();
        return state->buildMenuHover;
    };
    for (int entry = 1; entry <= 9; ++entry) {
        const int top = y + 3 + 24 * (entry - 1);
        const int bottom = entry == 6 ? y + 143 : y + 25 + 24 * (entry - 1);
        EXPECT_EQ(hoverAt(x + 50, top), -1) << entry;
        EXPECT_EQ(hoverAt(x + 50, top + 1), entry);
        EXPECT_TRUE(SameColour(Pixel(x + 205, top), HighlightRed)) << entry;
        EXPECT_TRUE(SameColour(Pixel(x + 205, bottom), HighlightRed)) << entry;
        EXPECT_TRUE(SameColour(Pixel(x + 205, bottom + 1), entry == 9 ? FrameRed : DarkRed)) << entry;
        EXPECT_EQ(hoverAt(x + 50, bottom - 1), entry);
        EXPECT_EQ(hoverAt(x + 50, bottom), -1) << entry;
        EXPECT_TRUE(SameColour(Pixel(x + 205, top + 1), DarkRed)) << "no highlight off the entries";
    }
    EXPECT_EQ(hoverAt(x + 50, y + 142), 6);
    EXPECT_EQ(hoverAt(x + 50, y + 143), -1);
    EXPECT_EQ(hoverAt(x + 50, y + 144), -1);
    EXPECT_EQ(hoverAt(x + 50, y + 147), -1);
    EXPECT_EQ(hoverAt(x + 50, y + 148), 7);
    EXPECT_EQ(hoverAt(x + 50, y + 26), -1);
    EXPECT_EQ(hoverAt(x + 3, y + 10), -1);
    EXPECT_EQ(hoverAt(x + 4, y + 10), 1);
    EXPECT_EQ(hoverAt(x + 206, y + 10), 1);
    EXPECT_EQ(hoverAt(x + 207, y + 10), -1);
    EXPECT_EQ(hoverAt(x + 300, y + 10), -1);
}

TEST_F(PlayTest, BuildingEntriesCloseTheMenuHireEntriesKeepItOpen) {
    StartGame();
    Press(100, 100, SDL_BUTTON_RIGHT);
    Frame();
    // A left click on the map outside the menu does nothing at all.
    Click(500, 400);
    EXPECT_TRUE(state->buildMenuOpen);
    EXPECT_FALSE(state->economy.freeElvesPanelOpen);
    EXPECT_FALSE(state->economy.placing);
    // Inside the menu between two entries: nothing either.
    Click(150, 126);
    EXPECT_TRUE(state->buildMenuOpen);
    EXPECT_FALSE(state->economy.placing);

    Click(150, 100 + 3 + 24 * 6 + 10);  // "Hire worker": no office yet
    EXPECT_TRUE(state->buildMenuOpen);
    EXPECT_EQ(state->messageText, "You don't have available upkeep in any office! Build more offices...");

    Click(150, 100 + 3 + 24 * 1 + 10);  // "Build woodworker"
    EXPECT_FALSE(state->buildMenuOpen);
    EXPECT_EQ(state->buildMenuHover, -1);
    EXPECT_TRUE(state->economy.placing);
    EXPECT_EQ(state->economy.preview.type, Woodworker);
    EXPECT_EQ(state->economy.preview.x, 150 / 32) << "the preview starts at the pointer";
}

TEST_F(PlayTest, QuitMenuPressesTheButtonExactlyWhileOpen) {
    StartGame();
    Frame();
    EXPECT_TRUE(SameColour(Pixel(1, 1), TopBarColour));
    EXPECT_TRUE(ShowsText(Screen(), 203, 8, "5000", TextGrey));
    EXPECT_TRUE(ShowsText(Screen(), 359, 8, "0", TextGrey));
    EXPECT_TRUE(ShowsText(Screen(), 462, 8, "0", TextGrey));
    EXPECT_TRUE(ShowsText(Screen(), 583, 8, "0", TextGrey));

    for (const auto& [px, py] : {std::pair{6, 10}, {139, 10}, {50, 3}, {50, 25}}) {
        Press(px, py);
        Frame();
        EXPECT_FALSE(state->quitMenuOpen) << "the button's edges are outside it: " << px << ", " << py;
    }
    Press(7, 4);
    Frame();
    EXPECT_TRUE(state->quitMenuOpen);
    Press(138, 24);
    Frame();
    EXPECT_FALSE(state->quitMenuOpen);
    Press(138, 24);
    Frame();
    EXPECT_TRUE(state->quitMenuOpen);
    EXPECT_TRUE(SameColour(Pixel(1, 1), TopBarDownColour)) << "pressed from the frame in which it opens";
    EXPECT_TRUE(SameColour(Pixel(6, 50), FrameRed));
    EXPECT_TRUE(SameColour(Pixel(8, 50), FrameRed));
    EXPECT_TRUE(SameColour(Pixel(216, 86), FrameRed));
    EXPECT_TRUE(SameColour(Pixel(212, 60), DarkRed));
    EXPECT_TRUE(ShowsText(Screen(), 13, 41, "Quit to main menu", TextGrey));
    EXPECT_TRUE(ShowsText(Screen(), 13, 65, "Quit to desktop", TextGrey));

    const auto hoverAt = [&](int mx, int my) {
        Point(mx, my);
        Frame();
        return state->quitMenuHover;
    };
    EXPECT_EQ(hoverAt(100, 45), 3);
    EXPECT_TRUE(SameColour(Pixel(212, 38), HighlightRed));
    EXPECT_TRUE(SameColour(Pixel(212, 62), DarkRed));
    EXPECT_EQ(hoverAt(100, 70), 4);
    EXPECT_TRUE(SameColour(Pixel(212, 62), HighlightRed));
    EXPECT_EQ(hoverAt(100, 60), -1);
    EXPECT_EQ(hoverAt(9, 45), -1);
    EXPECT_EQ(hoverAt(10, 45), 3);
    EXPECT_EQ(hoverAt(212, 82), 4);
    EXPECT_EQ(hoverAt(213, 45), -1);
    EXPECT_EQ(hoverAt(100, 37), -1);

    // Right presses and map clicks do nothing while it is open.
    Click(300, 300, SDL_BUTTON_RIGHT);
    EXPECT_FALSE(state->buildMenuOpen);
    Click(300, 300);
    EXPECT_FALSE(state->economy.freeElvesPanelOpen);
    EXPECT_TRUE(state->running);

    Click(50, 10);
    EXPECT_FALSE(state->quitMenuOpen);
    EXPECT_TRUE(SameColour(Pixel(1, 1), TopBarColour));
    EXPECT_FALSE(AnyPixel(Screen(), 6, 34, 216, 86, FrameRed));
}

TEST_F(PlayTest, QuitMenuEntriesEndTheGame) {
    StartGame();
    Click(50, 10);
    Click(100, 45);
    EXPECT_FALSE(state->running);
    EXPECT_TRUE(state->FinishFrames());

    StartGame();
    Click(50, 10);
    Click(100, 70);
    EXPECT_FALSE(state->running);
    EXPECT_FALSE(state->returnToMenu);
    EXPECT_FALSE(state->FinishFrames()) << "\"Quit to desktop\" ends the program";
    EXPECT_EQ(endOfGame.calls, 0);
}

TEST_F(PlayTest, QuitButtonClosesTheOtherMenuThePanelAndThePlacing) {
    StartGame();
    Press(100, 100, SDL_BUTTON_RIGHT);
    Frame();
    Click(50, 10);
    EXPECT_TRUE(state->quitMenuOpen);
    EXPECT_FALSE(state->buildMenuOpen) << "one click closes one menu and opens the other";
    Click(50, 10);

    int column = 0;
    int row = 0;
    ASSERT_TRUE(FindFreeSpot(1, 1, column, row));
    AddBuilding(Woodworker, column, row);
    Click(32 * column + 5, 32 * (row + 1) + 5);
    ASSERT_EQ(state->economy.selectedBuilding, 0);
    Click(50, 10);
    EXPECT_EQ(state->economy.selectedBuilding, -1);
    Click(50, 10);

    state->economy.StartPlacing(Office);
    Click(50, 10);
    EXPECT_FALSE(state->economy.placing);
}

TEST_F(PlayTest, MessagesExpireAfterTheirTimeoutAndPromptsStay) {
    StartGame();
    TestClock::Set(10000);
    const std::string bought = "Building successfully bought!";
    state->SetMessage(bought, 3000);
    const int x = 320 - guiFont.TextWidth(bought) / 2;
    Frame();
    EXPECT_TRUE(ShowsOutlinedText(Screen(), x, 64, bought, DarkRed));
    TestClock::Set(12999);
    Frame();
    EXPECT_EQ(state->messageText, bought);
    EXPECT_TRUE(ShowsOutlinedText(Screen(), x, 64, bought, DarkRed));
    TestClock::Set(13000);
    Frame();
    EXPECT_TRUE(state->messageText.empty());
    EXPECT_EQ(state->messageTimeout, -1);
    EXPECT_FALSE(AnyPixel(Screen(), 0, 60, 639, 100, DarkRed));

    const std::string prompt = "Select office to upkeep new elf...";
    state->SetMessage(prompt, -1);
    TestClock::Advance(3600000);
    Frame();
    EXPECT_TRUE(ShowsOutlinedText(Screen(), 320 - guiFont.TextWidth(prompt) / 2, 64, prompt, DarkRed));
    state->ClearMessage();
    Frame();
    EXPECT_FALSE(AnyPixel(Screen(), 0, 60, 639, 100, DarkRed));

    // Two messages in one frame: the second one, with its own time-out.
    TestClock::Set(20000);
    state->SetMessage(bought, 3000);
    TestClock::Set(21000);
    const std::string poor = "You don't have enough money!";
    state->SetMessage(poor, 3000);
    Frame();
    EXPECT_TRUE(ShowsOutlinedText(Screen(), 320 - guiFont.TextWidth(poor) / 2, 64, poor, DarkRed));
    TestClock::Set(23999);
    Frame();
    EXPECT_EQ(state->messageText, poor);
    TestClock::Set(24000);
    Frame();
    EXPECT_TRUE(state->messageText.empty());

    state->SetMessage(poor, 3000);
    state->ClearMessage();
    EXPECT_EQ(state->messageTimeout, 3000) << "clearing leaves the time-out";
    EXPECT_EQ(state->messageSetAt, 24000u);
}

TEST_F(PlayTest, MessageOfWidth201StartsAtX220) {
    StartGame();
    std::string text;
    for (int wide = 0; wide < 30 && text.empty(); ++wide) {
        for (int narrow = 0; narrow < 80; ++narrow) {
            const std::string candidate = std::string(wide, 'M') + std::string(narrow, 'i');
            if (guiFont.TextWidth(candidate) == 201) {
                text = candidate;
                break;
            }
        }
    }
    ASSERT_FALSE(text.empty()) << "no test text of width 201 in this font";
    state->SetMessage(text, -1);
    Frame();
    EXPECT_TRUE(ShowsOutlinedText(Screen(), 220, 64, text, DarkRed));
}

TEST_F(PlayTest, CountersGrowToTheRight) {
    StartGame();
    state->economy.money = 10300;
    state->economy.wood = 12;
    state->economy.steel = -3;
    state->economy.plastic = 7;
    Frame();
    EXPECT_TRUE(ShowsText(Screen(), 203, 8, "10300", TextGrey));
    EXPECT_TRUE(ShowsText(Screen(), 359, 8, "12", TextGrey));
    EXPECT_TRUE(ShowsText(Screen(), 462, 8, "-3", TextGrey));
    EXPECT_TRUE(ShowsText(Screen(), 583, 8, "7", TextGrey));
}

TEST_F(PlayTest, OverlaysHideWhileASelectionStepWaits) {
    StartGame();
    AddBuilding(Office, 0, 0);
    Press(100, 100, SDL_BUTTON_RIGHT);
    Frame();
    Point(400, 400);
    Frame();
    ASSERT_TRUE(SameColour(Pixel(100, 150), FrameRed));

    Click(150, 100 + 3 + 24 * 6 + 10);  // "Hire worker"
    ASSERT_EQ(state->economy.pendingElfType, Worker);
    EXPECT_TRUE(state->buildMenuOpen);
    EXPECT_FALSE(SameColour(Pixel(100, 150), FrameRed)) << "the menu hides while the office is chosen";
    const std::string prompt = "Select office to upkeep new elf...";
    EXPECT_TRUE(ShowsOutlinedText(Screen(), 320 - guiFont.TextWidth(prompt) / 2, 64, prompt, DarkRed, false));
    EXPECT_TRUE(ShowsOutlinedText(Screen(), 500, 40, "Time left: 24:0", Black, false));

    Click(5, 40);  // the office at (0, 0)
    EXPECT_EQ(state->economy.pendingElfType, -1);
    EXPECT_TRUE(SameColour(Pixel(100, 150), FrameRed)) << "back at the same place afterwards";

    for (int step = 0; step < 3; ++step) {
        state->economy.selectedWorker = step == 0 ? 0 : -1;
        state->economy.selectedCarrier = step == 1 ? 0 : -1;
        state->economy.routeCarrier = step == 2 ? 0 : -1;
        Frame();
        EXPECT_FALSE(SameColour(Pixel(100, 150), FrameRed)) << step;
    }
    state->economy.routeCarrier = -1;
    state->economy.selectedCarrier = -2;
    Frame();
    EXPECT_FALSE(SameColour(Pixel(100, 150), FrameRed)) << "no overlay in the frame of the mark";
    EXPECT_EQ(state->economy.selectedCarrier, -1);
    Frame();
    EXPECT_TRUE(SameColour(Pixel(100, 150), FrameRed));
}

}  // namespace
