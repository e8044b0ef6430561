#include "engine/text.h"
#include "engine/video.h"
#include "tests/rules/rules_fixture.h"

#include <string>
#include <tuple>
#include <vector>

namespace {

const SDL_Color TextColour{217, 217, 217, 0};
const SDL_Color Black{0, 0, 0, 0};
const SDL_Color BorderRed{200, 0, 0, 0};
const SDL_Color BodyRed{128, 0, 0, 0};
const SDL_Color HighlightRed{180, 0, 0, 0};

class PanelsTest : public RulesTest {
  protected:
    bool PixelIs(int x, int y, SDL_Color colour) {
        return SameColour(PixelColour(screen.Screen(), x, y), colour);
    }

    FontGuard font;  // the game's font at the game's size, as guiFont
};

TEST_F(PanelsTest, InfoPanelOpensBesideTheBuildingOnScreenAndClosesOnAClickOutside) {
    for (const auto& [type, column, row] : std::vector<std::tuple<int, int, int>>{
             {Office, 12, 8}, {Office, 13, 9}, {Office, 0, 0}, {Iron, 3, 4}, {Mine, 3, 3}, {Oil, 8, 8}}) {
        Add(type, column, row);
    }
    // Pointer, the building whose panel opens (-1: none), and where the panel stands.
    // clang-format off
    const std::vector<std::tuple<int, int, int, int, int>> opens = {
        {5 * 32, 32 + 5 * 32, -1, 0, 0}, {8 * 32 + 5, 32 + 8 * 32 + 5, -1, 0, 0} /* bare, oil */,
        {12 * 32 + 31, 32 + 8 * 32 + 31, 0, 416, 320}, {13 * 32, 32 + 9 * 32, 1, 430, 334} /* pushed back */,
        {1, 33, 2, 32, 64}, {3 * 32 + 5, 32 + 4 * 32 + 5, 4, 128, 160} /* mine, not iron */};
    // clang-format on
    for (const auto& [x, y, building, panelX, panelY] : opens) {
        economy.InfoPanelClick(-1, -1);
        EXPECT_EQ(economy.OpenInfoPanel(x, y), building >= 0) << x << "," << y;
        EXPECT_EQ(economy.selectedBuilding, building);
        EXPECT_TRUE(economy.infoPanelX == panelX && economy.infoPanelY == panelY) << x << "," << y;
    }

    economy.InfoPanelClick(-1, -1);
    EXPECT_FALSE(economy.InfoPanelClick(100, 100)) << "no panel, the click is not taken";
    for (const auto& [x, y, keeps] : std::vector<std::tuple<int, int, bool>>{
             {128, 160, true}, {338, 306, true}, {339, 200, false}, {200, 159, false}, {-1, -1, false}}) {
        ASSERT_TRUE(economy.OpenInfoPanel(3 * 32, 32 + 3 * 32));
        EXPECT_TRUE(economy.InfoPanelClick(x, y)) << "a click while it is open is always taken";
        EXPECT_EQ(economy.selectedBuilding, keeps ? 4 : -1) << x << "," << y;
        EXPECT_EQ(economy.infoPanelX, keeps ? 128 : 0);
    }
}

TEST_F(PanelsTest, InfoPanelLinesTellWhatEachBuildingNeeds) {
    using Lines = std::vector<std::string>;
    const int office = Add(Office, 0, 0);
    EXPECT_EQ(economy.InfoPanelLines(office),
              (Lines{"--- OFFICE ---", "Upkeeps elves.", "[ + ] Upkeep: 0 / 4"}))
        << "a new office keeps nobody";
    economy.buildings[office].upkeptElves = 4;
    EXPECT_EQ(economy.InfoPanelLines(office).back(), "[ - ] Upkeep: 4 / 4");

    EXPECT_EQ(economy.InfoPanelLines(Add(Woodworker, 1, 0)),
              (Lines{"--- WOODWORKER ---", "Provides wood.", "[ - ] Workers: 0 / 1", "[ - ] Not working,",
                     "       needs more workers!"}));
    EXPECT_EQ(economy.InfoPanelLines(Add(Factory, 2, 0, 2)),
              (Lines{"--- FACTORY ---", "Manufactures toys", "from resources.", "[ + ] Workers: 2 / 2",
                     "[ + ] Working!"}));
    EXPECT_EQ(economy.InfoPanelLines(Add(Plastics, 4, 0, 5)),
              (Lines{"--- PLASTICS ---", "Provides plastic.", "[ - ] Workers: 5 / 6", "[ - ] Not working,",
                     "       needs more workers!"}));
    const int mine = Add(Mine, 6, 0, 3);
    EXPECT_EQ(economy.InfoPanelLines(mine),
              (Lines{"--- MINE ---", "Provides iron ore.", "[ + ] Workers: 3 / 3", "[ + ] Working!"}));
    const int foundry = Add(Foundry, 7, 0, 2);
    EXPECT_EQ(economy.InfoPanelLines(foundry),
              (Lines{"--- FOUNDRY ---", "Provides steel", "from iron ore.", "[ - ] Workers: 2 / 4",
                     "[ - ] Not working,", "       needs iron ore!"}));
    economy.buildings[foundry].workers = 4;
    const int carrier = AddElf(Carrier);
    economy.elves[carrier].foundryIndex = mine;
    EXPECT_EQ(economy.InfoPanelLines(foundry).back(), "       needs iron ore!")
        << "that carrier serves another";
    economy.elves[carrier].foundryIndex = foundry;
    EXPECT_EQ(economy.InfoPanelLines(foundry), (Lines{"--- FOUNDRY ---", "Provides steel", "from iron ore.",
                                                      "[ + ] Workers: 4 / 4", "[ + ] Working!"}));
    EXPECT_TRUE(economy.InfoPanelLines(Add(Iron, 9, 9)).empty());
    EXPECT_TRUE(economy.InfoPanelLines(-1).empty());
    EXPECT_TRUE(economy.InfoPanelLines(static_cast<int>(economy.buildings.size())).empty());
}

TEST_F(PanelsTest, InfoPanelDrawsFrameBorderBodyAndLines) {
    economy.buildings[Add(Office, 2, 2)].upkeptElves = 2;
    ClearScreen();
    economy.DrawInfoPanel(video, guiFont, TextColour);
    EXPECT_TRUE(PixelIs(120, 200, Black)) << "nothing while no building is selected";

    ASSERT_TRUE(economy.OpenInfoPanel(2 * 32, 32 + 2 * 32));
    ClearScreen();
    economy.DrawInfoPanel(video, guiFont, TextColour);
    EXPECT_TRUE(PixelIs(64, 96, BorderRed) && PixelIs(80, 96, BorderRed) && PixelIs(64, 110, BorderRed))
        << "frame around the office";
    EXPECT_TRUE(PixelIs(80, 110, Black));
    for (int inset : {0, 1, 2}) {
        EXPECT_TRUE(PixelIs(96 + inset, 200, BorderRed) && PixelIs(306 - inset, 200, BorderRed) &&
                    PixelIs(200, 274 - inset, BorderRed))
            << inset;
    }
    EXPECT_TRUE(PixelIs(99, 131, BodyRed) && PixelIs(303, 271, BodyRed) && PixelIs(307, 275, Black));

    EXPECT_TRUE(ShowsText(screen.Screen(), 103, 135, "--- OFFICE ---", TextColour));
    EXPECT_TRUE(ShowsText(screen.Screen(), 103, 183, "[ + ] Upkeep: 2 / 4", TextColour));
}

TEST_F(PanelsTest, FreeElvesPanelStaysOnScreenCountsFreeElvesAndLightsARowOnlyStrictlyInsideItsBand) {
    for (const auto& [x, y, panelX, panelY] : std::vector<std::tuple<int, int, int, int>>{
             {600, 450, 430, 404}, {430, 404, 430, 404}, {100, 40, 100, 40}}) {
        economy.freeElvesRow = 5;
        economy.OpenFreeElvesPanel(x, y);
        EXPECT_TRUE(economy.freeElvesPanelOpen && economy.freeElvesRow == 0);
        EXPECT_TRUE(economy.freeElvesPanelX == panelX && economy.freeElvesPanelY == panelY) << x << "," << y;
    }

    economy.OpenFreeElvesPanel(100, 100);
    const std::vector<std::tuple<int, int, int>> pointers = {
        {104, 128, 1},  {306, 148, 1},  {103, 128, -1}, {307, 128, -1}, {150, 127, -1}, {150, 149, -1},
        {150, 150, -1}, {150, 151, -1}, {150, 152, 2},  {306, 172, 2},  {150, 173, -1}, {150, 110, -1}};
    for (const auto& [x, y, row] : pointers) {
        ClearScreen();
        economy.DrawFreeElvesPanel(x, y, video, guiFont, TextColour);
        EXPECT_EQ(economy.freeElvesRow, row) << x << "," << y;
        // The lit band fills the body's width only, inside the three-pixel border.
        EXPECT_TRUE(PixelIs(305, 128, row == 1 ? HighlightRed : BodyRed)) << x << "," << y;
        EXPECT_TRUE(PixelIs(305, 160, row == 2 ? HighlightRed : BodyRed)) << x << "," << y;
        EXPECT_TRUE(PixelIs(103, 128, row == 1 ? HighlightRed : BodyRed) &&
                    PixelIs(103, 160, row == 2 ? HighlightRed : BodyRed));
        EXPECT_TRUE(PixelIs(308, 128, BorderRed) && PixelIs(308, 160, BorderRed) &&
                    PixelIs(102, 128, BorderRed) && PixelIs(102, 160, BorderRed));
        EXPECT_TRUE(PixelIs(100, 100, BorderRed) && PixelIs(308, 174, BorderRed) && PixelIs(311, 160, Black));
    }

    // The last pointer lit no row: the lines stand on the plain body.
    for (int type : {Worker, Worker, Worker, Geologist, Carrier, Carrier}) {
        AddElf(type);
    }
    economy.elves[0].employed = economy.elves[2].employed = true;
    economy.elves[5].onRoute = true;
    economy.DrawFreeElvesPanel(150, 110, video, guiFont, TextColour);
    EXPECT_TRUE(ShowsText(screen.Screen(), 107, 107, "--- FREE ELVES ---", TextColour));
    EXPECT_TRUE(ShowsText(screen.Screen(), 107, 131, "Select free worker (1)", TextColour));
    EXPECT_TRUE(ShowsText(screen.Screen(), 107, 155, "Select free carrier (1)", TextColour));
}

TEST_F(PanelsTest, FreeElvesClickPicksTheFirstFreeElfInHiringOrder) {
    for (int type : {Worker, Carrier, Worker, Worker, Carrier, Carrier}) {
        AddElf(type);
    }
    economy.elves[0].employed = true;
    economy.elves[1].onRoute = economy.elves[4].onRoute = true;
    // A click on a freshly opened panel with the given row lit (0: none).
    const auto click = [&](int row, int x, int y) {
        economy.OpenFreeElvesPanel(100, 100);
        economy.freeElvesRow = row;
        return economy.FreeElvesClick(x, y);
    };
    EXPECT_FALSE(click(0, 150, 110)) << "nothing drawn yet: no row";
    EXPECT_TRUE(economy.freeElvesPanelOpen);
    EXPECT_TRUE(click(1, 310, 176)) << "the far corner is inside";
    EXPECT_TRUE(economy.selectedWorker == 2 && !economy.freeElvesPanelOpen);

    // Without both a mine and a foundry the carrier row answers -2 and the panel stays.
    for (int type : {0, int{Mine}, int{Foundry}}) {
        if (type != 0) {
            Add(type, type == Mine ? 0 : 5, 5);
        }
        EXPECT_TRUE(click(2, 150, 160));
        EXPECT_EQ(economy.selectedCarrier, type == Foundry ? 5 : -2);
        EXPECT_EQ(economy.selectedWorker, -1);
        EXPECT_EQ(economy.freeElvesPanelOpen, type != Foundry);
    }

    economy.elves[5].onRoute = true;
    EXPECT_FALSE(click(2, 150, 160)) << "no free carrier";
    EXPECT_TRUE(economy.selectedCarrier == -1 && economy.freeElvesPanelOpen);
    economy.elves[2].employed = economy.elves[3].employed = true;
    EXPECT_FALSE(click(1, 150, 130)) << "no free worker";
    EXPECT_TRUE(economy.freeElvesPanelOpen);

    for (const auto& [x, y] :
         std::vector<std::pair<int, int>>{{311, 130}, {150, 99}, {99, 130}, {150, 177}}) {
        economy.OpenFreeElvesPanel(100, 100);
        economy.routeCarrier = 3;
        EXPECT_FALSE(economy.FreeElvesClick(x, y)) << "a click outside closes it";
        EXPECT_TRUE(!economy.freeElvesPanelOpen && economy.routeCarrier == -1);
    }
}

}  // namespace
