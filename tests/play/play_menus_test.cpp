#include "rules/building.h"
#include "tests/play/play_fixture.h"

namespace {

class PlayMenusTest : public PlayTest {
  protected:
    // The three-pixel red frame and the dark red body of a menu box.
    void ExpectMenuBox(int x1, int y1, int x2, int y2) {
        const int midX = (x1 + x2) / 2;
        const int midY = (y1 + y2) / 2;
        for (int inset = 0; inset < 3; ++inset) {
            EXPECT_TRUE(PixelIs(x1 + inset, midY, FrameRed) && PixelIs(x2 - inset, midY, FrameRed) &&
                        PixelIs(midX, y1 + inset, FrameRed) && PixelIs(midX, y2 - inset, FrameRed));
        }
        EXPECT_TRUE(PixelIs(x1 + 3, y1 + 3, DarkRed) && PixelIs(x2 - 3, y2 - 3, DarkRed));
        EXPECT_FALSE(PixelIs(x2 + 1, midY, FrameRed) || PixelIs(midX, y2 + 1, FrameRed));
    }
    int HoverAt(int x, int y, const int32_t& hover) {
        Point(x, y);
        Frame();
        return hover;
    }
};

TEST_F(PlayMenusTest, BuildMenuOpensAtThePointerAndStaysOnTheScreen) {
    StartGame();
    // Every right press toggles the menu, wherever it is made.
    const struct {
        int x, y, menuX, menuY;
        bool open;
    } presses[] = {{600, 400, 430, 257, true}, {5, 40, 5, 40, false},      {420, 257, 420, 257, true},
                   {5, 40, 5, 40, false},      {430, 258, 430, 257, true}, {639, 479, 430, 257, false}};
    for (const auto& p : presses) {
        Press(p.x, p.y, SDL_BUTTON_RIGHT);
        Frame();
        EXPECT_EQ(state->buildMenuX, p.menuX) << p.x << ", " << p.y;
        EXPECT_EQ(state->buildMenuY, p.menuY) << p.x << ", " << p.y;
        EXPECT_EQ(state->buildMenuOpen, p.open) << p.x << ", " << p.y;
    }
}

TEST_F(PlayMenusTest, BuildMenuLabelsAndHoverBandsWithGapsAndAShorterMineBand) {
    const char* labels[] = {"Build office [700]",     "Build woodworker [1000]", "Build factory [2000]",
                            "Build plastics [10300]", "Build foundry [6000]",    "Build mine [4000]",
                            "Hire worker [200]",      "Hire geologist [600]",    "Hire carrier [400]"};
    StartGame();
    const int x = 100;
    const int y = 100;
    Press(x, y, SDL_BUTTON_RIGHT);
    Frame();
    ExpectMenuBox(x, y, x + 210, y + 220);
    for (int entry = 1; entry <= 9; ++entry) {
        EXPECT_TRUE(ShowsText(Screen(), x + 7, y + 7 + 24 * (entry - 1), labels[entry - 1], TextGrey));
    }
    const int32_t& hover = state->buildMenuHover;
    for (int entry = 1; entry <= 9; ++entry) {
        const int top = y + 3 + 24 * (entry - 1);
        const int bottom = entry == 6 ? y + 143 : y + 25 + 24 * (entry - 1);
        EXPECT_EQ(HoverAt(x + 50, top, hover), -1) << entry;
        EXPECT_TRUE(PixelIs(x + 205, top + 1, DarkRed)) << "no highlight off the entries";
        EXPECT_EQ(HoverAt(x + 50, top + 1, hover), entry);
        EXPECT_TRUE(PixelIs(x + 205, top, HighlightRed) && PixelIs(x + 205, bottom, HighlightRed) &&
                    PixelIs(x + 2, top, FrameRed))
            << entry;
        EXPECT_TRUE(PixelIs(x + 205, bottom + 1, entry == 9 ? FrameRed : DarkRed)) << entry;
        EXPECT_EQ(HoverAt(x + 50, bottom - 1, hover), entry);
        EXPECT_EQ(HoverAt(x + 50, bottom, hover), -1) << entry;
    }
    const int points[][3] = {{x + 50, y + 144, -1}, {x + 50, y + 147, -1}, {x + 3, y + 10, -1},
                             {x + 4, y + 10, 1},    {x + 206, y + 10, 1},  {x + 207, y + 10, -1}};
    for (const auto& [mx, my, entry] : points) {
        EXPECT_EQ(HoverAt(mx, my, hover), entry) << mx << ", " << my;
    }
}

// That the hire entries keep the menu open, the order results' table shows.
TEST_F(PlayMenusTest, BuildingEntriesCloseTheMenuAndStartThePreview) {
    StartGame();
    Press(100, 100, SDL_BUTTON_RIGHT);
    Frame();
    Click(500, 400);  // on the map outside the menu
    Click(150, 126);  // between two entries
    EXPECT_TRUE(state->buildMenuOpen);
    EXPECT_FALSE(state->economy.freeElvesPanelOpen || state->economy.placing);
    Click(150, 100 + 3 + 24 * 5 + 10);  // "Build mine", the last building entry
    EXPECT_FALSE(state->buildMenuOpen);
    EXPECT_EQ(state->buildMenuHover, -1);
    EXPECT_EQ(state->economy.preview.type, Mine);
    EXPECT_EQ(state->economy.preview.x, 150 / 32) << "the preview starts at the pointer";
    Press(100, 100, SDL_BUTTON_RIGHT);
    Frame();
    Click(150, 100 + 3 + 10);  // "Build office", the first
    EXPECT_EQ(state->economy.preview.type, Office);
}

TEST_F(PlayMenusTest, TopBarCountersAndTheQuitButton) {
    StartGame();
    Frame();
    EXPECT_TRUE(PixelIs(1, 1, TopBarColour));
    EXPECT_TRUE(ShowsText(Screen(), 203, 8, "5000", TextGrey));
    state->economy.money = 10300;
    state->economy.wood = 12;
    state->economy.steel = -3;
    state->economy.plastic = 7;
    Frame();
    EXPECT_TRUE(ShowsText(Screen(), 203, 8, "10300", TextGrey)) << "numbers grow to the right";
    EXPECT_TRUE(ShowsText(Screen(), 359, 8, "12", TextGrey));
    EXPECT_TRUE(ShowsText(Screen(), 462, 8, "-3", TextGrey));
    EXPECT_TRUE(ShowsText(Screen(), 583, 8, "7", TextGrey));

    // The button's edges are outside it; each press inside toggles the menu.
    const int presses[][3] = {{6, 10, 0}, {139, 10, 0}, {50, 3, 0},  {50, 25, 0},
                              {7, 4, 1},  {138, 24, 0}, {138, 24, 1}};
    for (const auto& [px, py, open] : presses) {
        Press(px, py);
        Frame();
        EXPECT_EQ(state->quitMenuOpen, open != 0) << px << ", " << py;
    }
    EXPECT_TRUE(PixelIs(1, 1, TopBarDownColour)) << "pressed from the frame in which it opens";
    Click(50, 10);
    EXPECT_TRUE(PixelIs(1, 1, TopBarColour));
    EXPECT_FALSE(AnyPixel(Screen(), 6, 34, 216, 86, FrameRed));
}

TEST_F(PlayMenusTest, QuitMenuIsDrawnAndHighlightsItsTwoEntries) {
    StartGame();
    Click(50, 10);
    ExpectMenuBox(6, 34, 216, 86);
    EXPECT_TRUE(ShowsText(Screen(), 13, 41, "Quit to main menu", TextGrey));
    EXPECT_TRUE(ShowsText(Screen(), 13, 65, "Quit to desktop", TextGrey));
    const int32_t& hover = state->quitMenuHover;
    EXPECT_EQ(HoverAt(100, 45, hover), 3);
    EXPECT_TRUE(PixelIs(212, 37, HighlightRed) && PixelIs(212, 59, HighlightRed) &&
                PixelIs(212, 61, DarkRed));
    EXPECT_EQ(HoverAt(100, 70, hover), 4);
    EXPECT_TRUE(PixelIs(212, 61, HighlightRed) && PixelIs(212, 83, HighlightRed) &&
                PixelIs(212, 59, DarkRed));
    const int quitPoints[][3] = {{9, 45, -1},   {10, 45, 3},   {212, 82, 4},  {213, 45, -1},
                                 {213, 70, -1}, {100, 37, -1}, {100, 61, -1}, {100, 83, -1}};
    for (const auto& [mx, my, entry] : quitPoints) {
        EXPECT_EQ(HoverAt(mx, my, hover), entry) << mx << ", " << my;
    }
    // Right presses and map clicks do nothing while it is open.
    Click(300, 300, SDL_BUTTON_RIGHT);
    Click(300, 300);
    EXPECT_FALSE(state->buildMenuOpen || state->economy.freeElvesPanelOpen);
    EXPECT_TRUE(state->running);

    // The quit button closes the build menu, the information panel and the placing.
    Click(50, 10);
    Press(100, 100, SDL_BUTTON_RIGHT);
    Frame();
    Click(50, 10);
    EXPECT_TRUE(state->quitMenuOpen);
    EXPECT_FALSE(state->buildMenuOpen) << "one click closes one menu and opens the other";
    Click(50, 10);
    AddBuilding(Woodworker, 3, 3);
    Click(32 * 3 + 5, 32 * 4 + 5);
    ASSERT_EQ(state->economy.selectedBuilding, 0);
    state->economy.StartPlacing(Office);
    Click(50, 10);
    EXPECT_EQ(state->economy.selectedBuilding, -1);
    EXPECT_FALSE(state->economy.placing);
}

}  // namespace
