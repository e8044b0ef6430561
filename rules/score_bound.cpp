#include "rules/score_bound.h"

#include "rules/building.h"
#include "rules/economy.h"
#include "world/tile_map.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <iterator>
#include <limits>

namespace {

constexpr std::size_t StockCount = std::size(Stocks);

double Seconds(Uint32 ms) {
    return ms / 1000.0;
}

// The fewest tile-seconds that make one unit of the stock: the producer with the
// smallest footprint (offices included) per unit at its fastest interval.
double TileSecondsPerUnit(const StockRules& stock) {
    double best = std::numeric_limits<double>::infinity();
    for (int type = Office; type <= Oil; ++type) {
        const BuildingKind& kind = BuildingKindOf(type);
        const int32_t made = kind.*stock.made;
        if (made > 0 && FastestInterval(kind) > 0) {
            best = std::min(best, TilesWithUpkeep(type) * Seconds(FastestInterval(kind)) / made);
        }
    }
    return best;
}

}  // namespace

double TilesWithUpkeep(int type) {
    const BuildingKind& kind = BuildingKindOf(type);
    const BuildingKind& office = BuildingKindOf(Office);
    const double officeTilesPerElf = static_cast<double>(office.width * office.height) / office.upkeep;
    return kind.width * kind.height + kind.workersNeeded * officeTilesPerElf;
}

double ScorePerTileSecond() {
    double unitCost[StockCount];
    double best = 0;
    // Kept to the end, a unit scores its weight.
    for (std::size_t s = 0; s < StockCount; ++s) {
        unitCost[s] = TileSecondsPerUnit(Stocks[s]);
        best = std::max(best, Stocks[s].scoreWeight / unitCost[s]);
    }
    // Sold, a set of stocks earns one cycle's income for the seller's cycle and the
    // producers that fill it. The best set bounds every mix: at that rate per tile-second
    // no factory cycle and no unit earns more than the tile-seconds it takes.
    for (int type = Office; type <= Oil; ++type) {
        const BuildingKind& seller = BuildingKindOf(type);
        if (!seller.sellsStock || FastestInterval(seller) == 0) {
            continue;
        }
        const double cycle = TilesWithUpkeep(type) * Seconds(FastestInterval(seller));
        for (unsigned set = 1; set < 1u << StockCount; ++set) {
            double income = 0;
            double tileSeconds = cycle;
            for (std::size_t s = 0; s < StockCount; ++s) {
                if ((set & (1u << s)) != 0) {
                    income += Stocks[s].saleIncome;
                    tileSeconds += Stocks[s].saleUnits * unitCost[s];
                }
            }
            best = std::max(best, income / tileSeconds);
        }
    }
    return best;
}

int64_t ScoreBound() {
    // Production runs from the first frame to the one that counts the last second, that
    // frame's own work included.
    const double longestGame = GameSeconds * Seconds(SecondLength + SlowestFrameMs) + Seconds(SlowestFrameMs);
    const double earned = ScorePerTileSecond() * MapColumns * MapRows * longestGame;
    return StartingMoney + static_cast<int64_t>(std::ceil(earned));
}
