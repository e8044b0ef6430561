#include "engine/errors.h"
#include "tests/rules/rules_fixture.h"

#include <algorithm>
#include <sstream>
#include <stdexcept>
#include <string>
#include <tuple>
#include <vector>

namespace {

using CatalogueTest = RulesTest;

// The building catalogue as the player's handbook gives it: price (0 for a deposit), footprint, staff,
// base pictures row by row from the top left, working frames, the tile that shows them, production
// interval (a foundry with one carrier).
struct Kind {
    int type, cost, width, height, staff;
    std::string tiles, frames;
    int animatedTile;
    Uint32 interval;
};
const std::vector<Kind> Catalogue = {
    {Office, 700, 1, 1, 0, "office", "", -1, 0},
    {Woodworker, 1000, 1, 1, 1, "woodworker", "woodworkerw1 woodworkerw2 woodworkerw3 woodworkerw4", 0, 2000},
    {Factory, 2000, 2, 1, 2, "factory1 factory2", "factory2w1 factory2w2", 1, 3000},
    {Plastics, 10300, 2, 2, 6, "plastics1 plastics2 plastics3 plastics4", "plastics1w1 plastics1w2", 0, 4000},
    {Foundry, 6000, 3, 1, 4, "foundry1 foundry2 foundry3", "foundry3w1 foundry3w2 foundry3w3", 2, 3000},
    {Mine, 4000, 1, 2, 3, "mine1 mine2", "mine1w1 mine1w2", 0, 0},
    {Iron, 0, 1, 1, 0, "iron", "", -1, 0},
    {Oil, 0, 1, 1, 0, "oil", "", -1, 0},
};

// The member names in a list of words.
std::vector<std::string> Pictures(const std::string& words) {
    std::vector<std::string> names;
    std::istringstream in(words);
    for (std::string word; in >> word;) {
        names.push_back(word + ".png");
    }
    return names;
}

// A fresh building of the type produces every `interval` ms (0: never).
void ExpectInterval(int type, int carriers, Uint32 interval) {
    SCOPED_TRACE("type " + std::to_string(type) + ", carriers " + std::to_string(carriers));
    TestClock::Set(50000);
    Building b;
    b.Load(type);
    b.carriers = carriers;
    TestClock::Set(50000 + (interval == 0 ? 100000 : interval - 1));
    EXPECT_FALSE(b.ProductionDue());
    if (interval == 0) {
        return;
    }
    TestClock::Set(50000 + interval);
    EXPECT_TRUE(b.ProductionDue());
    // That the interval restarts then, the factory's empty cycle shows.
    EXPECT_FALSE(b.ProductionDue()) << "at most once per interval";
}

TEST_F(CatalogueTest, EveryBuildingTypeFollowsItsRow) {
    for (const Kind& k : Catalogue) {
        SCOPED_TRACE(k.tiles);
        const std::vector<std::string> tiles = Pictures(k.tiles);
        const std::vector<std::string> frames = Pictures(k.frames);
        if (k.cost > 0) {
            EXPECT_EQ(BuildingCost(k.type), k.cost);
        }
        Building b;
        b.Load(k.type);
        b.SetPosition(5, 0);
        EXPECT_EQ(b.Width(), k.width);
        EXPECT_EQ(b.Height(), k.height);
        EXPECT_EQ(b.workersNeeded, k.staff);
        EXPECT_EQ(b.IsDeposit(), k.cost == 0);
        EXPECT_EQ(b.EntranceColumn(), 5);
        EXPECT_EQ(b.EntranceRow(), k.height - 1) << "the bottom-left tile";
        EXPECT_TRUE(b.Contains(5 + k.width - 1, k.height - 1));
        EXPECT_FALSE(b.Contains(5 + k.width, 0) || b.Contains(5, k.height) || b.Contains(4, 0) ||
                     b.Contains(5, -1));

        // Full staff, and for a foundry a carrier too, make it work.
        b.workers = std::max(0, k.staff - 1);
        EXPECT_EQ(b.IsWorking(), k.staff == 0);
        b.workers = k.staff;
        EXPECT_EQ(b.IsWorking(), k.type != Foundry);
        b.carriers = 1;
        EXPECT_TRUE(b.IsWorking());

        // Idle (frame -1) every tile shows its picture; working, the animated tile shows frame after frame.
        for (int frame = -1; frame < static_cast<int>(frames.size()); ++frame) {
            ClearScreen();
            b.workers = frame < 0 ? 0 : k.staff;
            b.animFrame = frame < 0 ? 0 : frame;
            b.animTimer = TestClock::Read();
            b.Draw(screen.Screen());
            for (int i = 0; i < static_cast<int>(tiles.size()); ++i) {
                const std::string& wanted = i == k.animatedTile && frame >= 0 ? frames[frame] : tiles[i];
                const int x = 32 * (5 + i % k.width);
                const int y = 32 * (1 + i / k.width);
                EXPECT_TRUE(Shows(screen.Screen(), x, y, wanted) &&
                            Shows(screen.Screen(), x + 31, y + 31, wanted))
                    << "tile " << i;
            }
            EXPECT_TRUE(Shows(screen.Screen(), 32 * 5 + 16, 31, "")) << "nothing in the top bar";
            EXPECT_TRUE(Shows(screen.Screen(), 32 * 5 + 16, 32 * (k.height + 1), "")) << "nor below";
        }
        ExpectInterval(k.type, 1, k.interval);
    }
    // More carriers bring ore faster, down to one cycle a second.
    for (const auto& [carriers, interval] :
         std::vector<std::pair<int, Uint32>>{{2, 2500}, {3, 2000}, {4, 1500}, {5, 1000}, {9, 1000}}) {
        ExpectInterval(Foundry, carriers, interval);
    }
    for (int type : {0, 7, 8, -1}) {
        EXPECT_EQ(ErrorText([&] { BuildingCost(type); }), "Invalid building type when getting cost!");
    }
}

TEST_F(CatalogueTest, EveryElfTypeHasItsPriceAndPicture) {
    const std::vector<std::tuple<int, int, std::string>> prices = {
        {Worker, 200, "worker.png"}, {Geologist, 600, "geologist.png"}, {Carrier, 400, "carrier.png"}};
    for (const auto& [type, price, picture] : prices) {
        EXPECT_EQ(ElfCost(type), price);
        Elf elf(type, 2, 0);
        EXPECT_TRUE(elf.type == type && elf.x == 2 && elf.y == 0 && elf.AtTarget());
        ClearScreen();
        elf.Draw(screen.Screen());
        EXPECT_TRUE(ShowsOnTile(screen.Screen(), 2, 0, picture) && Shows(screen.Screen(), 64, 31, ""));
        elf.inside = true;
        ClearScreen();
        elf.Draw(screen.Screen());
        EXPECT_TRUE(ShowsOnTile(screen.Screen(), 2, 0, "")) << "an elf inside is not drawn";
    }
    EXPECT_EQ(ElfCost(0) + ElfCost(4), 0);
}

TEST_F(CatalogueTest, BadTypesAndBadPicturesAreRefused) {
    Building b;
    b.Load(Office);
    for (int type : {0, 9}) {
        EXPECT_EQ(ErrorText([&] { b.Load(type); }), "Invalid building type: type out of bounds!");
    }
    // The first picture loads, the second does not.
    WriteTestPackage("data/buildings.rkp", 7,
                     {{"foundry1.png", SolidBmp(32, 32, 9, 99, 9)}, {"foundry2.png", "not a picture"}});
    EXPECT_THROW(b.Load(Foundry), FileLoadingFailed);
    EXPECT_NE(ErrorText([&] { b.Load(Foundry); }).find("foundry2.png"), std::string::npos)
        << "names the member";
    EXPECT_EQ(b.type, Office) << "a failed load leaves the building as it was";
    EXPECT_EQ(b.pictures.size(), 1u);
    EXPECT_FALSE(FileExists("temp.tmp"));

    WriteTestPackage("data/elves.rkp", 9, {{"geologist.png", "not a picture"}});
    EXPECT_EQ(ErrorText([] { Elf(Geologist, 0, 0); }), "Failed to load image!");
    EXPECT_FALSE(FileExists("temp.tmp"));

    std::remove("data/buildings.rkp");
    std::remove("data/elves.rkp");
    EXPECT_THROW(b.Load(Mine), FileLoadingFailed);
    EXPECT_THROW(Elf(Worker, 0, 0), FileLoadingFailed);
    for (int type : {0, 4}) {
        EXPECT_EQ(ErrorText([&] { Elf(type, 0, 0); }), "Elf type invalid: out of bounds!")
            << "before the package";
    }
}

TEST_F(CatalogueTest, AnimationStepsEvery200MsOnlyWithFullStaff) {
    // A staffed foundry without ore counts its frames but shows its idle picture.
    Building wood;
    Building foundry;
    wood.Load(Woodworker);
    foundry.Load(Foundry);
    wood.SetPosition(1, 1);
    foundry.SetPosition(2, 5);
    wood.workers = 1;
    foundry.workers = 4;
    std::string shown;
    std::string frames;
    for (int i = 0; i < 10; ++i) {
        TestClock::Advance(100);
        wood.Draw(screen.Screen());
        foundry.Draw(screen.Screen());
        const std::string picture = "woodworkerw" + std::to_string(wood.animFrame + 1) + ".png";
        EXPECT_TRUE(ShowsOnTile(screen.Screen(), 1, 1, picture)) << picture;
        shown += std::to_string(wood.animFrame);
        frames += std::to_string(foundry.animFrame);
        EXPECT_TRUE(ShowsOnTile(screen.Screen(), 4, 5, "foundry3.png"));
    }
    EXPECT_EQ(shown, "0112233001");
    EXPECT_EQ(frames, "0112200112");

    foundry.workers = 3;
    TestClock::Advance(1000);
    foundry.Draw(screen.Screen());
    EXPECT_EQ(foundry.animFrame, 2) << "without its staff a building keeps its frame";
}

}  // namespace
