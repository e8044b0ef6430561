#include "engine/errors.h"
#include "tests/rules/rules_fixture.h"

#include <stdexcept>
#include <string>
#include <vector>

namespace {

using BuildingTest = RulesTest;

struct Expected {
    int type;
    int width;
    int height;
    int workersNeeded;
    size_t pictures;
    size_t frames;
};

TEST_F(BuildingTest, CatalogueGivesFootprintsEntrancesAndStaff) {
    const std::vector<Expected> catalogue = {
        {Office, 1, 1, 0, 1, 0},   {Woodworker, 1, 1, 1, 1, 4}, {Factory, 2, 1, 2, 2, 2},
        {Plastics, 2, 2, 6, 4, 2}, {Foundry, 3, 1, 4, 3, 3},    {Mine, 1, 2, 3, 2, 2},
        {Iron, 1, 1, 0, 1, 0},     {Oil, 1, 1, 0, 1, 0},
    };
    for (const Expected& e : catalogue) {
        Building b;
        b.Load(e.type);
        b.SetPosition(5, 7);
        SCOPED_TRACE("type " + std::to_string(e.type));
        EXPECT_EQ(b.type, e.type);
        EXPECT_EQ(b.Width(), e.width);
        EXPECT_EQ(b.Height(), e.height);
        EXPECT_EQ(b.workersNeeded, e.workersNeeded);
        EXPECT_EQ(b.pictures.size(), e.pictures);
        EXPECT_EQ(b.workFrames.size(), e.frames);
        EXPECT_EQ(b.EntranceColumn(), 5);
        EXPECT_EQ(b.EntranceRow(), 7 + e.height - 1);
        EXPECT_EQ(b.IsDeposit(), e.type == Iron || e.type == Oil);
        int column = -1;
        int row = -1;
        b.GetPosition(column, row);
        EXPECT_EQ(column, 5);
        EXPECT_EQ(row, 7);
        EXPECT_TRUE(b.Contains(5 + e.width - 1, 7 + e.height - 1));
        EXPECT_FALSE(b.Contains(5 + e.width, 7));
        EXPECT_FALSE(b.Contains(5, 7 + e.height));
        EXPECT_FALSE(b.Contains(4, 7));
        EXPECT_FALSE(b.Contains(5, 6));
    }
    const int costs[] = {700, 1000, 2000, 10300, 6000, 4000};
    for (int type = Office; type <= Mine; ++type) {
        EXPECT_EQ(BuildingCost(type), costs[type - 1]);
    }
    for (int type : {0, 7, 8, -1}) {
        try {
            BuildingCost(type);
            FAIL() << "a cost for type " << type;
        } catch (const std::runtime_error& failure) {
            EXPECT_STREQ(failure.what(), "Invalid building type when getting cost!");
        }
    }
}

TEST_F(BuildingTest, BadTypesAndBadPicturesAreRefused) {
    Building b;
    b.Load(Office);
    for (int type : {0, 9}) {
        try {
            b.Load(type);
            FAIL() << "loaded type " << type;
        } catch (const std::runtime_error& failure) {
            EXPECT_STREQ(failure.what(), "Invalid building type: type out of bounds!");
        }
        EXPECT_EQ(b.type, Office);
        EXPECT_EQ(b.pictures.size(), 1u);
    }

    WriteRulesPackages({"foundry3w2.png"});
    try {
        b.Load(Foundry);
        FAIL() << "an undecodable picture loaded";
    } catch (const FileLoadingFailed& failure) {
        EXPECT_NE(std::string(failure.what()).find("foundry3w2.png"), std::string::npos) << failure.what();
    }
    EXPECT_EQ(b.type, Office) << "a failed load leaves the building as it was";
    EXPECT_EQ(b.pictures.size(), 1u);
    EXPECT_FALSE(FileExists("temp.tmp"));

    std::remove("data/buildings.rkp");
    EXPECT_THROW(b.Load(Mine), FileLoadingFailed);
}

TEST_F(BuildingTest, ProductionIntervalsFollowTheCatalogue) {
    struct Case {
        int type;
        int carriers;
        Uint32 interval;
    };
    const std::vector<Case> cases = {{Woodworker, 0, 2000}, {Factory, 0, 3000}, {Plastics, 0, 4000},
                                     {Foundry, 1, 3000},    {Foundry, 2, 2500}, {Foundry, 3, 2000},
                                     {Foundry, 4, 1500},    {Foundry, 5, 1000}, {Foundry, 9, 1000}};
    for (const Case& c : cases) {
        SCOPED_TRACE("type " + std::to_string(c.type) + " carriers " + std::to_string(c.carriers));
        TestClock::Set(50000);
        Building b;
        b.Load(c.type);
        b.carriers = c.carriers;
        TestClock::Set(50000 + c.interval - 1);
        EXPECT_FALSE(b.ProductionDue());
        TestClock::Set(50000 + c.interval);
        EXPECT_TRUE(b.ProductionDue());
        EXPECT_FALSE(b.ProductionDue()) << "at most once per interval";
        TestClock::Advance(c.interval - 1);
        EXPECT_FALSE(b.ProductionDue()) << "the interval restarted";
        TestClock::Advance(1);
        EXPECT_TRUE(b.ProductionDue());
    }
    for (int type : {Office, Mine, Iron, Oil}) {
        Building b;
        b.Load(type);
        TestClock::Advance(100000);
        EXPECT_FALSE(b.ProductionDue()) << "type " << type;
    }
}

TEST_F(BuildingTest, WorkingNeedsFullStaffAndAFoundryItsCarrier) {
    Building plastics;
    plastics.Load(Plastics);
    plastics.workers = 5;
    EXPECT_FALSE(plastics.IsWorking());
    plastics.workers = 6;
    EXPECT_TRUE(plastics.IsWorking());

    Building foundry;
    foundry.Load(Foundry);
    foundry.workers = 4;
    EXPECT_FALSE(foundry.IsWorking());
    foundry.carriers = 1;
    EXPECT_TRUE(foundry.IsWorking());
    foundry.workers = 3;
    EXPECT_FALSE(foundry.IsWorking());

    Building office;
    office.Load(Office);
    EXPECT_TRUE(office.IsWorking());
}

TEST_F(BuildingTest, EachTileShowsItsPicture) {
    // Idle buildings: every tile shows its base picture, row by row.
    struct Placed {
        int type;
        int column;
        int row;
        std::vector<std::string> tiles;
    };
    const std::vector<Placed> placed = {
        {Office, 0, 0, {"office.png"}},
        {Woodworker, 2, 0, {"woodworker.png"}},
        {Factory, 4, 0, {"factory1.png", "factory2.png"}},
        {Plastics, 7, 0, {"plastics1.png", "plastics2.png", "plastics3.png", "plastics4.png"}},
        {Foundry, 10, 0, {"foundry1.png", "foundry2.png", "foundry3.png"}},
        {Mine, 14, 0, {"mine1.png", "mine2.png"}},
        {Iron, 16, 0, {"iron.png"}},
        {Oil, 19, 13, {"oil.png"}},
    };
    ClearScreen();
    for (const Placed& p : placed) {
        Building b;
        b.Load(p.type);
        b.SetPosition(p.column, p.row);
        b.Draw(screen.Screen());
        for (size_t i = 0; i < p.tiles.size(); ++i) {
            const int column = p.column + static_cast<int>(i) % b.Width();
            const int row = p.row + static_cast<int>(i) / b.Width();
            EXPECT_EQ(MemberOnTile(screen.Screen(), column, row), p.tiles[i]) << "type " << p.type;
            EXPECT_EQ(MemberAt(screen.Screen(), 32 * column, 32 * (row + 1)), p.tiles[i]) << "corner";
            EXPECT_EQ(MemberAt(screen.Screen(), 32 * column + 31, 32 * (row + 1) + 31), p.tiles[i]);
        }
    }
    EXPECT_EQ(MemberAt(screen.Screen(), 100, 20), "") << "nothing reaches into the top bar";

    // Working buildings show their frames on the animated tile only.
    const std::vector<std::pair<int, std::vector<std::string>>> working = {
        {Woodworker, {"woodworkerw1.png"}},
        {Factory, {"factory1.png", "factory2w1.png"}},
        {Plastics, {"plastics1w1.png", "plastics2.png", "plastics3.png", "plastics4.png"}},
        {Foundry, {"foundry1.png", "foundry2.png", "foundry3w1.png"}},
        {Mine, {"mine1w1.png", "mine2.png"}},
    };
    for (const auto& [type, tiles] : working) {
        ClearScreen();
        Building b;
        b.Load(type);
        b.SetPosition(3, 4);
        b.workers = b.workersNeeded;
        b.carriers = 1;
        TestClock::Advance(200);
        b.Draw(screen.Screen());  // frame 1 of the animation: the second picture
        b.animFrame = 0;
        b.animTimer = TestClock::Read();
        b.Draw(screen.Screen());
        for (size_t i = 0; i < tiles.size(); ++i) {
            EXPECT_EQ(MemberOnTile(screen.Screen(), 3 + static_cast<int>(i) % b.Width(),
                                   4 + static_cast<int>(i) / b.Width()),
                      tiles[i])
                << "type " << type;
        }
    }
}

TEST_F(BuildingTest, AnimationStepsEvery200MsAndWraps) {
    Building b;
    b.Load(Woodworker);
    b.SetPosition(1, 1);
    b.Draw(screen.Screen());
    EXPECT_EQ(MemberOnTile(screen.Screen(), 1, 1), "woodworker.png");
    b.workers = 1;
    std::vector<std::string> shown;
    for (int i = 0; i < 10; ++i) {
        TestClock::Advance(100);
        b.Draw(screen.Screen());
        shown.push_back(MemberOnTile(screen.Screen(), 1, 1));
    }
    const std::vector<std::string> expected = {
        "woodworkerw1.png", "woodworkerw2.png", "woodworkerw2.png", "woodworkerw3.png", "woodworkerw3.png",
        "woodworkerw4.png", "woodworkerw4.png", "woodworkerw1.png", "woodworkerw1.png", "woodworkerw2.png"};
    EXPECT_EQ(shown, expected);

    // A staffed foundry without ore counts its frames but shows its idle picture.
    Building foundry;
    foundry.Load(Foundry);
    foundry.SetPosition(2, 5);
    foundry.workers = 4;
    std::vector<int> frames;
    for (int i = 0; i < 4; ++i) {
        TestClock::Advance(200);
        foundry.Draw(screen.Screen());
        frames.push_back(foundry.animFrame);
        EXPECT_EQ(MemberOnTile(screen.Screen(), 4, 5), "foundry3.png");
    }
    EXPECT_EQ(frames, (std::vector<int>{1, 2, 0, 1}));

    // Without its staff a building keeps its frame.
    Building mine;
    mine.Load(Mine);
    mine.workers = 2;
    TestClock::Advance(1000);
    mine.Draw(screen.Screen());
    EXPECT_EQ(mine.animFrame, 0);
}

TEST_F(BuildingTest, MovingABuildingKeepsItsPictures) {
    Building b;
    b.Load(Plastics);
    SDL_Surface* first = b.pictures[0].GetSurface();
    std::vector<Building> list;
    list.push_back(std::move(b));
    for (int i = 0; i < 20; ++i) {
        Building more;
        more.Load(Office);
        list.push_back(std::move(more));
    }
    EXPECT_EQ(list[0].pictures[0].GetSurface(), first);
    EXPECT_EQ(list[0].workFrames.size(), 2u);
    list[0].FreePictures();
    EXPECT_TRUE(list[0].pictures.empty());
    EXPECT_TRUE(list[0].workFrames.empty());
}

}  // namespace
