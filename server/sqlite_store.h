#pragma once

#include "server/score_store.h"

#include <sys/types.h>

#include <map>
#include <memory>
#include <string>

struct sqlite3;
struct sqlite3_stmt;

// The scores in one SQLite file in WAL mode, so that readers on their own
// connection never wait for the writer. Every commit is synced
// (synchronous=FULL): an acknowledged score survives a power cut.
class SqliteScoreStore : public ScoreStore {
  public:
    // Refuses a database that cannot take a write-ahead log (":memory:", a
    // read-only file) or fails its quick check, rather than acknowledge
    // scores it cannot keep.
    explicit SqliteScoreStore(const std::string& path);
    ~SqliteScoreStore() override;
    SqliteScoreStore(const SqliteScoreStore&) = delete;
    SqliteScoreStore& operator=(const SqliteScoreStore&) = delete;

    std::vector<bool> AddAll(const std::vector<ScoreRecord>& scores) override;
    std::vector<StoredScore> Best(const std::optional<ScoreKey>& after, int64_t count) override;
    std::vector<StoredScore> Above(const ScoreKey& before, int64_t count) override;
    int64_t Count() override;
    int64_t CountAbove(const ScoreKey& key) override;
    std::vector<StoredScore> BoardBest(const std::optional<ReceivedRange>& range,
                                       const std::optional<ScoreKey>& after, int64_t count) override;
    std::vector<StoredScore> BoardAbove(const std::optional<ReceivedRange>& range, const ScoreKey& before,
                                        int64_t count) override;
    int64_t BoardCount(const std::optional<ReceivedRange>& range) override;
    RankStart BoardRankStart(const std::optional<ReceivedRange>& range, const ScoreKey& first) override;
    std::optional<std::pair<int32_t, int32_t>> BoardSpread(
        const std::optional<ReceivedRange>& range) override;
    std::vector<int64_t> BoardBuckets(const std::optional<ReceivedRange>& range,
                                      const ScoreBuckets& buckets) override;
    void Check() override;
    void AddRefused(const std::vector<RefusedScore>& refused) override;
    std::vector<RefusedScore> LatestRefused(int64_t count) override;
    std::vector<ListedScore> List(bool latest, int64_t count) override;
    bool SetHidden(int64_t id, bool hidden) override;
    bool Ban(const std::string& name) override;
    bool Unban(const std::string& name) override;
    void Backup(const std::string& file) override;

  private:
    struct CloseDatabase {
        void operator()(sqlite3* db) const;
    };
    struct FinalizeStatement {
        void operator()(sqlite3_stmt* statement) const;
    };
    using Statement = std::unique_ptr<sqlite3_stmt, FinalizeStatement>;

    void Execute(const char* sql);
    void Step(sqlite3_stmt* statement, const char* what);
    // Runs `change` in one IMMEDIATE transaction, rolled back when it throws.
    template <typename Change>
    auto Transaction(const char* what, Change change);
    void CreateTables();
    // Throws when the path no longer names the file opened: a store there
    // would be acknowledged and then lost with the unlinked file.
    void CheckSameFile();
    // The rows changed by the last statement, for the shown scores' count.
    int64_t Changed();
    void AddToCount(int64_t shown);
    // Inside a transaction; trims the oldest beyond the bound.
    void AddRefusedRows(const std::vector<RefusedScore>& refused);
    static std::string Text(sqlite3_stmt* statement, int column);
    Statement Prepare(const char* sql);
    std::vector<StoredScore> ReadScores(sqlite3_stmt* statement);
    struct Board;
    // A board's query, prepared once per connection, with its range bound
    // where Board::Where names it.
    sqlite3_stmt* BoardQuery(const std::string& sql, const Board& board);
    // How many of the board's scores are higher than `score`.
    int64_t CountHigher(const Board& board, int64_t score);
    // The tallies behind CountHigher, and the triggers that keep them.
    void CreateTally();
    // The one number a counting query answers.
    int64_t Number(sqlite3_stmt* statement);
    [[noreturn]] void Fail(const std::string& what);

    std::string path;
    // The file opened, by identity rather than by name.
    dev_t device = 0;
    ino_t inode = 0;
    // Declared first, so the statements are finalized before it closes.
    std::unique_ptr<sqlite3, CloseDatabase> db;
    Statement begin, commit, rollback, insertScore, insertRefused, trimRefused, addToCount;
    Statement selectBest, selectCount;
    std::map<std::string, Statement> boardQueries;
};
