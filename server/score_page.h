#pragma once

#include "server/score_boards.h"
#include "server/score_ranks.h"
#include "server/score_record.h"
#include "server/score_store.h"

#include <chrono>
#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

inline constexpr int64_t ScoresPerPage = 50;

// One page of one board of the scores web page, already fetched from the store.
struct ScorePageView {
    std::vector<StoredScore> rows;
    int64_t page = 1;       // counted from 1
    int64_t pageCount = 1;  // at least 1, even with no scores
    int64_t total = 0;      // on the whole board
    bool more = false;      // scores follow the last row shown
    RankStart start;        // of the first row, counted in the database
    ScoreBoard board = ScoreBoard::All;
    std::string period;     // the week or day the board holds ("2026-W50"); empty for all time
    std::string histogram;  // the board's inline SVG; empty for none
};

// How many pages `total` scores fill; an empty list still has one page.
int64_t PageCount(int64_t total);

// What a page link asks for. The key says where the page starts, so no page
// costs more than its own rows; the page number only tells a key from none:
// what is shown is counted in the database.
struct PageRequest {
    ScoreBoard board = ScoreBoard::All;
    int64_t page = 1;
    std::optional<ScoreKey> after;   // the page starts after this score
    std::optional<ScoreKey> before;  // the page ends just above this score
};

// Reads a query string ("board=week&page=3&after=1200.17", without "?"). A
// page number without a key, or anything malformed, means the first page of
// the board; a board it does not know, the all-time board.
PageRequest ReadPageRequest(std::string_view query);

// The page a query string asks for, of the board as it stands at `now`, read
// from `store` with its ranks and number counted there (not its histogram,
// see HistogramCache). A link
// that has gone stale (past the end, or above the top) shows the board's
// first page.
ScorePageView ReadScorePage(ScoreStore& store, std::string_view query,
                            std::chrono::system_clock::time_point now);

// The histogram of `board` as it stands at `now`, counted in `store`.
std::string ReadHistogram(ScoreStore& store, ScoreBoard board, std::chrono::system_clock::time_point now);

// The boards' histograms, shared by the reader threads. Counting a board in
// buckets reads every score on it, far too slow for each page view at a
// million scores, so each board (each week, each day) is counted again at
// most once per `maxAge`; until then, and while one reader counts, the page
// shows the last count. A picture of the spread may lag a few seconds, the
// list never does.
class HistogramCache {
  public:
    explicit HistogramCache(std::chrono::steady_clock::duration maxAge) : maxAge(maxAge) {}
    HistogramCache(const HistogramCache&) = delete;
    HistogramCache& operator=(const HistogramCache&) = delete;

    std::string Read(ScoreStore& store, ScoreBoard board, std::chrono::system_clock::time_point now);

  private:
    struct Counted {
        std::string svg;
        std::chrono::steady_clock::time_point when;
        bool counting = false;
    };

    const std::chrono::steady_clock::duration maxAge;
    std::mutex mutex;
    std::map<std::string, Counted> boards;  // by board and period
};

std::string HtmlEscape(std::string_view text);

// The whole HTML document for one page, with its own style sheet.
std::string RenderScorePage(const ScorePageView& view);

// A small page in the same look for errors such as 404.
std::string RenderMessagePage(std::string_view title, std::string_view message);
