#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

inline constexpr int MostBuckets = 20;

// Equal ranges of scores for a histogram. Bucket b holds the scores from
// Lowest(b) to Highest(b); a database counts them with
// GROUP BY (score - first) / width, as no counted score is below `first`.
struct ScoreBuckets {
    int64_t first = 0;
    int64_t width = 1;
    int count = 1;

    int64_t Lowest(int bucket) const { return first + bucket * width; }
    int64_t Highest(int bucket) const { return Lowest(bucket) + width - 1; }
};

// Buckets from 0 (or lower, where scores are below 0) up to `highest`, as few
// as MostBuckets allows and each a "nice" width (1, 2, 2.5 or 5 times a power
// of ten), so that their edges read well on an axis. With no scores, pass
// lowest = highest = 0.
ScoreBuckets ChooseBuckets(int64_t lowest, int64_t highest);

// The histogram as an inline SVG element for the scores page: no script, no
// outside file, no style sheet of its own (the page's security policy need
// not allow one), and readable by screen readers through its title and
// description. Each bar's height is proportional to its count, the count
// stands above it and its range is in a title of its own. `counts` holds one
// count per bucket; `boardTitle` names the board ("This week").
std::string RenderHistogram(const ScoreBuckets& buckets, const std::vector<int64_t>& counts,
                            std::string_view boardTitle);
