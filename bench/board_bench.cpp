// The boards' reads at a million stored scores on SQLite: each board's first,
// middle and last page as the web page and the JSON API read them (rows,
// total, the counts that rank the first row, the row before), and the
// histogram's spread and buckets, as p50 and p99 beside the rate of the plain
// top-15 query measured in the same run: the machine is shared, so the
// ratio holds where absolute times move with the load.
//
//   board_bench [DATABASE-FILE] [scores] [repeats]
//
// A missing file is filled once (by default 1,000,000 scores over the 60
// days up to now) in the schema of an older server, and the time the store
// then takes to extend it (indexes, tallies) is printed; later runs reuse it.

#include "server/score_boards.h"
#include "server/score_histogram.h"
#include "server/score_page.h"
#include "server/score_store.h"

#include <sqlite3.h>
#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double MillisecondsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// The scores as an older server would have stored them, arrival times
// spread evenly over 60 days up to now, scores in steps of ten so that ties
// occur.
void Fill(const std::string& path, long scores) {
    sqlite3* db = nullptr;
    if (sqlite3_open(path.c_str(), &db) != SQLITE_OK) {
        throw std::runtime_error("cannot create " + path);
    }
    std::string sql =
        "PRAGMA journal_mode=WAL;"
        "CREATE TABLE scores (id INTEGER PRIMARY KEY AUTOINCREMENT, name TEXT NOT NULL,"
        " score INTEGER NOT NULL, received TEXT NOT NULL DEFAULT (strftime('%Y-%m-%dT%H:%M:%fZ', 'now')));"
        "CREATE INDEX scores_by_rank ON scores (score DESC, id ASC);"
        "CREATE TABLE score_count (only INTEGER PRIMARY KEY CHECK (only = 1), total INTEGER NOT NULL);"
        "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < " +
        std::to_string(scores) +
        ")"
        " INSERT INTO scores (name, score, received) SELECT 'player ' || (i % 20000),"
        " (abs(random()) % 200000) * 10, strftime('%Y-%m-%dT%H:%M:%fZ', 'now', '-' || ((" +
        std::to_string(scores) + " - i) * 5184000.0 / " + std::to_string(scores) +
        ") || ' seconds') FROM n;"
        "INSERT INTO score_count SELECT 1, count(*) FROM scores;";
    char* error = nullptr;
    int status = sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &error);
    std::string message = error != nullptr ? error : "";
    sqlite3_free(error);
    sqlite3_close(db);
    if (status != SQLITE_OK) {
        throw std::runtime_error("cannot fill " + path + ": " + message);
    }
}

struct Figures {
    double p50 = 0, p99 = 0;
};

Figures Measure(int repeats, const std::function<void()>& call) {
    std::vector<double> times;
    for (int i = 0; i < repeats; ++i) {
        Clock::time_point start = Clock::now();
        call();
        times.push_back(MillisecondsSince(start));
    }
    std::sort(times.begin(), times.end());
    return {times[times.size() / 2], times[std::min(times.size() - 1, times.size() * 99 / 100)]};
}

// The key a page starts after: none for the first page, else the row just
// before `position` (0-based) in the board's order.
std::optional<ScoreKey> KeyBefore(ScoreStore& store, const std::optional<ReceivedRange>& range,
                                  int64_t position) {
    std::optional<ScoreKey> key;
    // Walked by pages of a thousand: set-up, not measured.
    for (int64_t walked = 0; walked < position;) {
        int64_t step = std::min<int64_t>(1000, position - walked);
        std::vector<StoredScore> rows = store.BoardBest(range, key, step);
        if (rows.empty()) {
            break;
        }
        key = rows.back().Key();
        walked += static_cast<int64_t>(rows.size());
    }
    return key;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string path = argc > 1 ? argv[1] : "/tmp/quorvel-board-bench.db";
    const long scores = argc > 2 ? std::atol(argv[2]) : 1000000;
    const int repeats = argc > 3 ? std::atoi(argv[3]) : 200;
    try {
        struct stat existing {};
        if (stat(path.c_str(), &existing) != 0) {
            Clock::time_point start = Clock::now();
            Fill(path, scores);
            std::printf("filled %s with %ld scores in %.1f s\n", path.c_str(), scores,
                        MillisecondsSince(start) / 1000);
            start = Clock::now();
            OpenScoreStore(path);
            std::printf("the store extended the older database in %.1f s\n", MillisecondsSince(start) / 1000);
        }
        std::unique_ptr<ScoreStore> store = OpenScoreStore(path);

        // The plain query under the game's top 15, uncached, as the yardstick.
        const int fetches = repeats * 20;
        Clock::time_point start = Clock::now();
        for (int i = 0; i < fetches; ++i) {
            store->BoardBest(std::nullopt, std::nullopt, 15);
        }
        double fetchRate = fetches / (MillisecondsSince(start) / 1000);
        std::printf("plain top-15 fetch: %.0f per second (%.3f ms each)\n", fetchRate, 1000 / fetchRate);

        // A week back from the newest score, so that the week's board is a
        // whole week's scores (a seventh of 60 days) and the day's a whole day's.
        std::vector<ListedScore> newest = store->List(true, 1);
        struct tm parts {};
        if (newest.empty() || strptime(newest[0].received.c_str(), "%Y-%m-%dT%H:%M:%S", &parts) == nullptr) {
            throw std::runtime_error("the database holds no score with an arrival time");
        }
        auto now = std::chrono::system_clock::from_time_t(timegm(&parts)) - std::chrono::hours(24 * 7);
        std::printf("boards as of %s\n", ReceivedText(now).c_str());
        for (ScoreBoard board : {ScoreBoard::All, ScoreBoard::Week, ScoreBoard::Day}) {
            std::optional<ReceivedRange> range = BoardRange(board, now);
            int64_t total = store->BoardCount(range);
            std::printf("%-4s board, %lld scores\n", BoardName(board), static_cast<long long>(total));
            const struct {
                const char* name;
                int64_t position;
            } pages[] = {{"first", 0}, {"middle", total / 2}, {"last", std::max<int64_t>(0, total - 1)}};
            for (const auto& page : pages) {
                std::optional<ScoreKey> after = KeyBefore(*store, range, page.position);
                // As the page and the API read one page: its rows, the total,
                // the first row's rank, whether a page comes before.
                Figures read = Measure(repeats, [&] {
                    std::vector<StoredScore> rows = store->BoardBest(range, after, ScoresPerPage);
                    store->BoardCount(range);
                    if (!rows.empty()) {
                        store->BoardRankStart(range, rows.front().Key());
                        store->BoardAbove(range, rows.front().Key(), 1);
                    }
                });
                std::printf("  %-6s page  p50 %7.3f ms  p99 %7.3f ms  (p99 %5.1f fetches)\n", page.name,
                            read.p50, read.p99, read.p99 * fetchRate / 1000);
            }
            Figures histogram = Measure(repeats, [&] {
                std::optional<std::pair<int32_t, int32_t>> spread = store->BoardSpread(range);
                ScoreBuckets buckets =
                    spread ? ChooseBuckets(spread->first, spread->second) : ChooseBuckets(0, 0);
                store->BoardBuckets(range, buckets);
            });
            std::printf("  histogram    p50 %7.3f ms  p99 %7.3f ms  (p99 %5.1f fetches)\n", histogram.p50,
                        histogram.p99, histogram.p99 * fetchRate / 1000);
        }

        // What the tallies' triggers cost the writer: one batch, one commit.
        std::vector<ScoreRecord> batch;
        for (int i = 0; i < 10000; ++i) {
            batch.push_back({"bench writer", (i * 7919) % 2000000});
        }
        start = Clock::now();
        store->AddAll(batch);
        std::printf("stored a batch of %zu scores: %.1f us per score\n", batch.size(),
                    MillisecondsSince(start) * 1000 / static_cast<double>(batch.size()));
    } catch (const std::exception& error) {
        std::fprintf(stderr, "board_bench: %s\n", error.what());
        return 1;
    }
    return 0;
}
