#pragma once

#include "server/score_record.h"

#include <cstdint>
#include <vector>

// What a page of a board needs besides its rows to rank them: two counts the
// database answers from the (score DESC, id) index, taken over the scores
// the board shows, for the page's first row (score s, id i).
struct RankStart {
    // Scores listed before the first row: score > s, or score = s and id < i.
    int64_t before = 0;
    // Scores strictly higher than the first row: score > s.
    int64_t higher = 0;
};

// Competition ranks for one page of a board: equal scores share a rank and
// the next one skips (1, 2, 2, 4), the same whether a run of equal scores
// starts, ends or lies wholly inside the page. A rank is one more than the
// number of scores strictly higher. `scores` are the page's scores in list
// order (highest first, equal scores by arrival); `start` counts for its
// first row, so higher <= before.
std::vector<int64_t> SharedRanks(const std::vector<int32_t>& scores, const RankStart& start);

// The same for rows read from a store.
std::vector<int64_t> SharedRanks(const std::vector<StoredScore>& rows, const RankStart& start);
