#include "server/score_ranks.h"

#include <cstddef>

std::vector<int64_t> SharedRanks(const std::vector<int32_t>& scores, const RankStart& start) {
    std::vector<int64_t> ranks;
    ranks.reserve(scores.size());
    for (std::size_t i = 0; i < scores.size(); ++i) {
        if (i == 0) {
            // A run of equal scores may have begun on an earlier page.
            ranks.push_back(start.higher + 1);
        } else if (scores[i] == scores[i - 1]) {
            ranks.push_back(ranks.back());
        } else {
            // Every score listed before this one is higher.
            ranks.push_back(start.before + static_cast<int64_t>(i) + 1);
        }
    }
    return ranks;
}

std::vector<int64_t> SharedRanks(const std::vector<StoredScore>& rows, const RankStart& start) {
    std::vector<int32_t> scores;
    scores.reserve(rows.size());
    for (const StoredScore& row : rows) {
        scores.push_back(row.score);
    }
    return SharedRanks(scores, start);
}
