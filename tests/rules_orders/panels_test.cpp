#include "tests/rules_orders/economy_fixture.h"

#include "engine/image.h"
#include "engine/video.h"

#include <SDL_ttf.h>

#include <string>
#include <vector>

namespace {

const SDL_Color TextColour{217, 217, 217, 0};
const SDL_Color BorderRed{200, 0, 0, 0};
const SDL_Color BodyRed{128, 0, 0, 0};
const SDL_Color HighlightRed{180, 0, 0, 0};
const char* const FontFile = "/usr/share/texmf/fonts/opentype/public/tex-gyre/texgyreheros-regular.otf";

class PanelsTest : public EconomyTest {
  protected:
    void SetUp() override {
        EconomyTest::SetUp();
        ASSERT_EQ(TTF_Init(), 0);
        font.Load(FontFile, 16);
    }
    void TearDown() override {
        font.Close();
        TTF_Quit();
    }

    // Every pixel of a rectangle, so two drawings can be compared.
    std::vector<Uint32> Region(int x, int y, int width, int height) {
        std::vector<Uint32> pixels;
        for (int j = y; j < y + height; ++j) {
            for (int i = x; i < x + width; ++i) {
                const SDL_Color c = PixelColour(screen.Screen(), i, j);
                pixels.push_back(static_cast<Uint32>(c.r) << 16 | c.g << 8 | c.b);
            }
        }
        return pixels;
    }

    // What a text line looks like alone on the panel body; the band starts at the line's
    // top so that the descenders of the line above stay out of it.
    std::vector<Uint32> ReferenceLine(int x, int y, const std::string& text, SDL_Color background) {
        ClearScreen();
        FillBox(screen.Screen(), x - 4, y - 3, x + 196, y + 18, background.r, background.g, background.b);
        font.Draw(screen.Screen(), x, y, text, TextColour);
        return Region(x - 4, y, 200, 18);
    }

    bool PixelIs(int x, int y, SDL_Color colour) {
        return SameColour(PixelColour(screen.Screen(), x, y), colour);
    }

    Font font;
};

TEST_F(PanelsTest, InfoPanelOpensBesideTheBuildingAndStaysOnScreen) {
    const int near = Add(Office, 12, 8);
    const int far = Add(Office, 13, 9);
    const int corner = Add(Office, 0, 0);
    EXPECT_FALSE(economy.OpenInfoPanel(5 * 32, 32 + 5 * 32));
    EXPECT_EQ(economy.selectedBuilding, -1);

    ASSERT_TRUE(economy.OpenInfoPanel(12 * 32 + 31, 32 + 8 * 32 + 31));
    EXPECT_EQ(economy.selectedBuilding, near);
    EXPECT_EQ(economy.infoPanelX, 416);
    EXPECT_EQ(economy.infoPanelY, 320);
    ASSERT_TRUE(economy.OpenInfoPanel(13 * 32, 32 + 9 * 32));
    EXPECT_EQ(economy.selectedBuilding, far);
    EXPECT_EQ(economy.infoPanelX, 430);
    EXPECT_EQ(economy.infoPanelY, 334);
    ASSERT_TRUE(economy.OpenInfoPanel(1, 33));
    EXPECT_EQ(economy.selectedBuilding, corner);
    EXPECT_EQ(economy.infoPanelX, 32);
    EXPECT_EQ(economy.infoPanelY, 64);
}

TEST_F(PanelsTest, ClicksOnDepositsSelectOnlyTheBuildingAbove) {
    Add(Iron, 3, 4);
    const int mine = Add(Mine, 3, 3);
    Add(Oil, 8, 8);
    EXPECT_FALSE(economy.OpenInfoPanel(8 * 32 + 5, 32 + 8 * 32 + 5));
    EXPECT_EQ(economy.selectedBuilding, -1);
    ASSERT_TRUE(economy.OpenInfoPanel(3 * 32 + 5, 32 + 4 * 32 + 5)) << "the mine's bottom tile";
    EXPECT_EQ(economy.selectedBuilding, mine);
    EXPECT_EQ(economy.infoPanelX, 128);
    EXPECT_EQ(economy.infoPanelY, 160);
}

TEST_F(PanelsTest, InfoPanelKeepsClicksInsideAndClosesOnAnyOther) {
    EXPECT_FALSE(economy.InfoPanelClick(100, 100)) << "no panel, the click is not taken";
    Add(Office, 2, 2);
    ASSERT_TRUE(economy.OpenInfoPanel(2 * 32, 32 + 2 * 32));
    ASSERT_EQ(economy.infoPanelX, 96);
    ASSERT_EQ(economy.infoPanelY, 128);
    EXPECT_TRUE(economy.InfoPanelClick(96, 128));
    EXPECT_TRUE(economy.InfoPanelClick(306, 274));
    EXPECT_EQ(economy.selectedBuilding, 0);

    EXPECT_TRUE(economy.InfoPanelClick(307, 200));
    EXPECT_EQ(economy.selectedBuilding, -1);
    EXPECT_EQ(economy.infoPanelX, 0);
    EXPECT_EQ(economy.infoPanelY, 0);

    ASSERT_TRUE(economy.OpenInfoPanel(2 * 32, 32 + 2 * 32));
    EXPECT_TRUE(economy.InfoPanelClick(200, 127));
    EXPECT_EQ(economy.selectedBuilding, -1);
    ASSERT_TRUE(economy.OpenInfoPanel(2 * 32, 32 + 2 * 32));
    EXPECT_TRUE(economy.InfoPanelClick(-1, -1));
    EXPECT_EQ(economy.selectedBuilding, -1);
}

TEST_F(PanelsTest, InfoPanelLinesTellWhatEachBuildingNeeds) {
    using Lines = std::vector<std::string>;
    const int office = Add(Office, 0, 0);
    economy.buildings[office].upkeptElves = 1;
    EXPECT_EQ(economy.InfoPanelLines(office),
              (Lines{"--- OFFICE ---", "Upkeeps elves.", "[ + ] Upkeep: 1 / 4"}));
    economy.buildings[office].upkeptElves = 4;
    EXPECT_EQ(economy.InfoPanelLines(office).back(), "[ - ] Upkeep: 4 / 4");

    const int mill = Add(Woodworker, 1, 0);
    EXPECT_EQ(economy.InfoPanelLines(mill),
              (Lines{"--- WOODWORKER ---", "Provides wood.", "[ - ] Workers: 0 / 1", "[ - ] Not working,",
                     "       needs more workers!"}));
    const int factory = Add(Factory, 2, 0, 2);
    EXPECT_EQ(economy.InfoPanelLines(factory),
              (Lines{"--- FACTORY ---", "Manufactures toys", "from resources.", "[ + ] Workers: 2 / 2",
                     "[ + ] Working!"}));
    const int plastics = Add(Plastics, 4, 0, 5);
    EXPECT_EQ(economy.InfoPanelLines(plastics),
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

    const int iron = Add(Iron, 9, 9);
    EXPECT_TRUE(economy.InfoPanelLines(iron).empty());
    EXPECT_TRUE(economy.InfoPanelLines(-1).empty());
    EXPECT_TRUE(economy.InfoPanelLines(99).empty());
}

TEST_F(PanelsTest, InfoPanelDrawsFrameBorderBodyAndLines) {
    const int office = Add(Office, 2, 2);
    economy.buildings[office].upkeptElves = 2;
    ClearScreen();
    economy.DrawInfoPanel(video, font, TextColour);
    EXPECT_TRUE(PixelIs(120, 200, SDL_Color{0, 0, 0, 0})) << "nothing while no building is selected";

    ASSERT_TRUE(economy.OpenInfoPanel(2 * 32, 32 + 2 * 32));
    ClearScreen();
    economy.DrawInfoPanel(video, font, TextColour);
    EXPECT_TRUE(PixelIs(64, 96, BorderRed)) << "frame around the office";
    EXPECT_TRUE(PixelIs(80, 96, BorderRed));
    EXPECT_TRUE(PixelIs(64, 110, BorderRed));
    EXPECT_TRUE(PixelIs(80, 110, SDL_Color{0, 0, 0, 0}));
    for (int inset : {0, 1, 2}) {
        EXPECT_TRUE(PixelIs(96 + inset, 200, BorderRed)) << inset;
        EXPECT_TRUE(PixelIs(306 - inset, 200, BorderRed)) << inset;
        EXPECT_TRUE(PixelIs(200, 274 - inset, BorderRed)) << inset;
    }
    EXPECT_TRUE(PixelIs(99, 131, BodyRed));
    EXPECT_TRUE(PixelIs(303, 271, BodyRed));
    EXPECT_TRUE(PixelIs(307, 275, SDL_Color{0, 0, 0, 0}));

    const std::vector<Uint32> title = Region(99, 135, 200, 18);
    const std::vector<Uint32> upkeep = Region(99, 183, 200, 18);
    EXPECT_EQ(title, ReferenceLine(103, 135, "--- OFFICE ---", BodyRed));
    EXPECT_EQ(upkeep, ReferenceLine(103, 183, "[ + ] Upkeep: 2 / 4", BodyRed));
    EXPECT_NE(upkeep, ReferenceLine(103, 183, "[ + ] Upkeep: 3 / 4", BodyRed));
}

TEST_F(PanelsTest, FreeElvesPanelStaysOnScreen) {
    economy.OpenFreeElvesPanel(600, 450);
    EXPECT_TRUE(economy.freeElvesPanelOpen);
    EXPECT_EQ(economy.freeElvesPanelX, 430);
    EXPECT_EQ(economy.freeElvesPanelY, 404);
    EXPECT_EQ(economy.freeElvesRow, 0);
    economy.OpenFreeElvesPanel(430, 404);
    EXPECT_EQ(economy.freeElvesPanelX, 430);
    EXPECT_EQ(economy.freeElvesPanelY, 404);
    economy.OpenFreeElvesPanel(100, 40);
    EXPECT_EQ(economy.freeElvesPanelX, 100);
    EXPECT_EQ(economy.freeElvesPanelY, 40);
}

TEST_F(PanelsTest, FreeElvesRowsHighlightOnlyStrictlyInsideTheirBands) {
    economy.OpenFreeElvesPanel(100, 100);
    const auto rowAt = [&](int x, int y) {
        ClearScreen();
        economy.DrawFreeElvesPanel(x, y, video, font, TextColour);
        return economy.freeElvesRow;
    };
    EXPECT_EQ(rowAt(104, 128), 1);
    EXPECT_TRUE(PixelIs(305, 128, HighlightRed));
    EXPECT_TRUE(PixelIs(305, 160, BodyRed));
    EXPECT_EQ(rowAt(306, 148), 1);
    EXPECT_EQ(rowAt(103, 128), -1);
    EXPECT_EQ(rowAt(307, 128), -1);
    EXPECT_EQ(rowAt(150, 127), -1);
    EXPECT_TRUE(PixelIs(305, 128, BodyRed));
    EXPECT_EQ(rowAt(150, 149), -1);
    EXPECT_EQ(rowAt(150, 150), -1);
    EXPECT_EQ(rowAt(150, 151), -1);
    EXPECT_EQ(rowAt(150, 152), 2);
    EXPECT_TRUE(PixelIs(305, 160, HighlightRed));
    EXPECT_EQ(rowAt(150, 172), 2);
    EXPECT_EQ(rowAt(150, 173), -1);
    EXPECT_EQ(rowAt(150, 110), -1);
    EXPECT_TRUE(PixelIs(100, 100, BorderRed));
    EXPECT_TRUE(PixelIs(308, 174, BorderRed));
}

TEST_F(PanelsTest, FreeElvesPanelCountsFreeWorkersAndCarriers) {
    AddElf(Worker);
    AddElf(Worker);
    AddElf(Worker);
    AddElf(Geologist);
    AddElf(Carrier);
    AddElf(Carrier);
    economy.elves[0].employed = true;
    economy.elves[2].employed = true;
    economy.elves[5].onRoute = true;
    economy.OpenFreeElvesPanel(100, 100);
    ClearScreen();
    economy.DrawFreeElvesPanel(0, 0, video, font, TextColour);
    const std::vector<Uint32> title = Region(103, 107, 200, 18);
    const std::vector<Uint32> workers = Region(103, 131, 200, 18);
    const std::vector<Uint32> carriers = Region(103, 155, 200, 18);
    EXPECT_EQ(title, ReferenceLine(107, 107, "--- FREE ELVES ---", BodyRed));
    EXPECT_EQ(workers, ReferenceLine(107, 131, "Select free worker (1)", BodyRed));
    EXPECT_NE(workers, ReferenceLine(107, 131, "Select free worker (2)", BodyRed));
    EXPECT_EQ(carriers, ReferenceLine(107, 155, "Select free carrier (1)", BodyRed));
}

TEST_F(PanelsTest, FreeElvesClickPicksTheFirstFreeElfInHiringOrder) {
    for (int type : {Worker, Carrier, Worker, Worker, Carrier, Carrier}) {
        AddElf(type);
    }
    economy.elves[0].employed = true;
    economy.elves[1].onRoute = true;
    economy.elves[4].onRoute = true;
    economy.OpenFreeElvesPanel(100, 100);
    EXPECT_FALSE(economy.FreeElvesClick(150, 110)) << "nothing drawn yet: no row";
    EXPECT_TRUE(economy.freeElvesPanelOpen);

    economy.freeElvesRow = 1;
    EXPECT_TRUE(economy.FreeElvesClick(310, 176)) << "the far corner is inside";
    EXPECT_EQ(economy.selectedWorker, 2);
    EXPECT_FALSE(economy.freeElvesPanelOpen);

    economy.OpenFreeElvesPanel(100, 100);
    economy.freeElvesRow = 2;
    EXPECT_TRUE(economy.FreeElvesClick(150, 160));
    EXPECT_EQ(economy.selectedCarrier, -2);
    EXPECT_EQ(economy.selectedWorker, -1);
    EXPECT_TRUE(economy.freeElvesPanelOpen);
    Add(Mine, 0, 0);
    EXPECT_TRUE(economy.FreeElvesClick(150, 160));
    EXPECT_EQ(economy.selectedCarrier, -2) << "a mine alone is not a pair";
    Add(Foundry, 5, 5);
    EXPECT_TRUE(economy.FreeElvesClick(150, 160));
    EXPECT_EQ(economy.selectedCarrier, 5);
    EXPECT_FALSE(economy.freeElvesPanelOpen);

    economy.OpenFreeElvesPanel(100, 100);
    economy.freeElvesRow = 2;
    economy.elves[5].onRoute = true;
    EXPECT_FALSE(economy.FreeElvesClick(150, 160));
    EXPECT_EQ(economy.selectedCarrier, -1);
    EXPECT_TRUE(economy.freeElvesPanelOpen);
    economy.freeElvesRow = 1;
    economy.elves[2].employed = economy.elves[3].employed = true;
    EXPECT_FALSE(economy.FreeElvesClick(150, 130));
    EXPECT_TRUE(economy.freeElvesPanelOpen);

    economy.routeCarrier = 3;
    EXPECT_FALSE(economy.FreeElvesClick(311, 130));
    EXPECT_FALSE(economy.freeElvesPanelOpen);
    EXPECT_EQ(economy.routeCarrier, -1);
    economy.OpenFreeElvesPanel(100, 100);
    EXPECT_FALSE(economy.FreeElvesClick(150, 99));
    EXPECT_FALSE(economy.freeElvesPanelOpen);
}

}  // namespace
