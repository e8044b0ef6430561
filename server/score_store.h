#pragma once

#include "server/score_boards.h"
#include "server/score_histogram.h"
#include "server/score_ranks.h"
#include "server/score_record.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

// Refused scores kept for the operator; the oldest beyond go in the same
// transaction as the newest.
constexpr int64_t MostRefusedKept = 10000;

// One connection to the scores' storage, used by one thread at a time. The
// server opens one for its writer thread and others for reads; the operator's
// moderation commands open their own, also while servers run. Both back ends
// keep the same schema: table scores (id, name, score, received, hidden) with
// an index on (score DESC, id ASC), table score_count holding the total of
// scores shown, the names banned and the refused scores. SQLite adds an
// index per board's order and tallies by blocks of scores (kept by triggers)
// that count a board's ranks without walking it; PostgreSQL an index on
// `received`.
class ScoreStore {
  public:
    virtual ~ScoreStore() = default;

    // Stores every score in one transaction and returns only after the commit
    // has returned (synced to disk). A score under a banned name is not
    // stored but kept as refused ("banned") in the same transaction. Returns,
    // for each score in order, whether it was stored. Throws
    // std::runtime_error when it did not commit: then none of them may be
    // acknowledged. A commit whose outcome is unknown is never retried as if
    // it had failed or succeeded.
    virtual std::vector<bool> AddAll(const std::vector<ScoreRecord>& scores) = 0;

    // Up to `count` shown (not hidden) scores from the highest down (equal
    // scores in arrival order), strictly after `after` when given: keyset
    // paging, no OFFSET.
    virtual std::vector<StoredScore> Best(const std::optional<ScoreKey>& after, int64_t count) = 0;

    // Up to `count` shown scores ranked just above `before`, highest first:
    // the page in front of the one that starts at `before`.
    virtual std::vector<StoredScore> Above(const ScoreKey& before, int64_t count) = 0;

    // How many scores are shown, kept by a counter updated in the same
    // transaction as the inserts, hides and shows.
    virtual int64_t Count() = 0;

    // How many shown scores rank above `key`: the rank of the score at `key`,
    // less one. Costs a walk of the index up to it.
    virtual int64_t CountAbove(const ScoreKey& key) = 0;

    // The boards: `range` none for the all-time board, else only the scores
    // with range->from <= received < range->until. Hidden scores are on no
    // board. Best and Above page by key as above.
    virtual std::vector<StoredScore> BoardBest(const std::optional<ReceivedRange>& range,
                                               const std::optional<ScoreKey>& after, int64_t count) = 0;
    virtual std::vector<StoredScore> BoardAbove(const std::optional<ReceivedRange>& range,
                                                const ScoreKey& before, int64_t count) = 0;
    virtual int64_t BoardCount(const std::optional<ReceivedRange>& range) = 0;
    // For the page's first row: how many of the board's scores rank above
    // `first` by key, and how many have a strictly higher score.
    virtual RankStart BoardRankStart(const std::optional<ReceivedRange>& range, const ScoreKey& first) = 0;
    // The board's lowest and highest score; none when the board is empty.
    virtual std::optional<std::pair<int32_t, int32_t>> BoardSpread(
        const std::optional<ReceivedRange>& range) = 0;
    // How many of the board's scores fall in each of `buckets`
    // (buckets.count entries); scores outside every bucket are not counted.
    virtual std::vector<int64_t> BoardBuckets(const std::optional<ReceivedRange>& range,
                                              const ScoreBuckets& buckets) = 0;

    // Throws std::runtime_error when the database does not answer, or is no
    // longer the one opened (an SQLite file deleted or replaced).
    virtual void Check() = 0;

    // Keeps refused scores for the operator; beyond a bound the oldest go.
    virtual void AddRefused(const std::vector<RefusedScore>& refused) = 0;
    // The latest `count` refused scores, newest first.
    virtual std::vector<RefusedScore> LatestRefused(int64_t count) = 0;

    // Moderation. The best (or the latest) `count` scores, hidden ones included.
    virtual std::vector<ListedScore> List(bool latest, int64_t count) = 0;
    // Hides or shows one score; false when there is no score with that id.
    virtual bool SetHidden(int64_t id, bool hidden) = 0;
    // A banned name's scores are hidden and its new scores refused; unbanning
    // shows again the scores the ban hid (not those hidden one by one).
    // False when the name already was (or was not) banned.
    virtual bool Ban(const std::string& name) = 0;
    virtual bool Unban(const std::string& name) = 0;
    // A consistent copy of the whole database in `file`, safe while servers
    // run. Throws std::runtime_error with advice where the back end has its
    // own tool (PostgreSQL: pg_dump).
    virtual void Backup(const std::string& file) = 0;
};

// "postgresql://..." or "postgres://..." (a libpq URI) or libpq's keyword
// form ("host=... dbname=...") selects PostgreSQL; anything else is the path
// of an SQLite file. Throws std::runtime_error with a message fit for the
// operator, never holding a password, when the storage cannot be used.
// Each PostgreSQL call is bounded by QUORVEL_DB_DEADLINE_MS (100 to 600000)
// when set, else by 1.5 s.
std::unique_ptr<ScoreStore> OpenScoreStore(const std::string& database);

class ChangeWatch;

// What tells the thread serving the clients that the scores may have changed
// (see ChangeWatch); throws like OpenScoreStore.
std::unique_ptr<ChangeWatch> WatchScoreChanges(const std::string& database);

// The database address as it may be shown in a log or a message: any
// password (URI user-info or a password parameter) replaced by "***".
std::string ShownDatabaseAddress(const std::string& database);
