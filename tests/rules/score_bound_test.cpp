#include "rules/score_bound.h"

#include "scores/score_protocol.h"
#include "tests/rules/rules_fixture.h"

#include <vector>

namespace {

using ScoreBoundTest = RulesTest;

TEST(ScoreBound, TheSharedLimitCoversTheRulesWithoutGreatExcess) {
    const int64_t bound = ScoreBound();
    EXPECT_GE(HighestPlausibleScore, bound);
    // The limit is the bound rounded up, not a second guess at it; far above, it lets made-up scores through.
    EXPECT_LE(HighestPlausibleScore, 1.5 * bound);
}

TEST_F(ScoreBoundTest, NoLayoutEarnsMoreThanTheRatePerTileAndTheBestMixReachesIt) {
    // Fully staffed layouts played for five minutes; the first feeds its factories wood and
    // steel in the proportions they sell, the best a map can do.
    struct Layout {
        int factories, woodworkers, foundries, plastics;
        bool best;
    };
    const std::vector<Layout> layouts = {{9, 20, 5, 0, true}, {9, 20, 5, 18, false}, {0, 1, 0, 0, false}};
    const Uint32 playedMs = 300000;
    for (const Layout& layout : layouts) {
        economy.buildings.clear();
        economy.money = StartingMoney;
        economy.wood = economy.steel = economy.plastic = 0;
        double tiles = 0;
        for (auto [type, count] : {std::pair{Woodworker, layout.woodworkers},
                                   {Foundry, layout.foundries},
                                   {Plastics, layout.plastics},
                                   {Factory, layout.factories}}) {
            for (int i = 0; i < count; ++i) {
                Building& added = economy.buildings[Add(type, 0, 0)];
                added.workers = added.workersNeeded;
                added.carriers = type == Foundry ? 5 : 0;
                tiles += TilesWithUpkeep(type);
            }
        }
        for (Uint32 played = 0; played < playedMs; played += 500) {
            Frame();
        }
        const double ceiling = ScorePerTileSecond() * tiles * playedMs / 1000;
        const int row = static_cast<int>(&layout - layouts.data());
        EXPECT_LE(economy.Score() - StartingMoney, ceiling) << row;
        EXPECT_GE(economy.Score() - StartingMoney, layout.best ? 0.95 * ceiling : 0) << row;
    }
}

}  // namespace
