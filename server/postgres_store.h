#pragma once

#include "server/score_store.h"

#include <chrono>
#include <memory>
#include <string>
#include <vector>

struct pg_conn;
struct pg_result;

// The scores in a PostgreSQL database, shared by any number of server
// instances. A lost connection is opened again with a growing pause between
// tries; a score is acknowledged only when its COMMIT has returned.
class PostgresScoreStore : public ScoreStore {
  public:
    // `uri` is a libpq connection URI ("postgresql://user@host/db"); the
    // password comes from PGPASSFILE or ~/.pgpass. Creates the tables when
    // missing, one instance at a time.
    explicit PostgresScoreStore(const std::string& uri);
    ~PostgresScoreStore() override;
    PostgresScoreStore(const PostgresScoreStore&) = delete;
    PostgresScoreStore& operator=(const PostgresScoreStore&) = delete;

    std::vector<bool> AddAll(const std::vector<ScoreRecord>& scores) override;
    std::vector<StoredScore> Best(const std::optional<ScoreKey>& after, int64_t count) override;
    std::vector<StoredScore> Above(const ScoreKey& before, int64_t count) override;
    int64_t Count() override;
    int64_t CountAbove(const ScoreKey& key) override;
    void Check() override;
    uint64_t ChangeCount() override;
    void AddRefused(const std::vector<RefusedScore>& refused) override;
    std::vector<RefusedScore> LatestRefused(int64_t count) override;
    std::vector<ListedScore> List(bool latest, int64_t count) override;
    bool SetHidden(int64_t id, bool hidden) override;
    bool Ban(const std::string& name) override;
    bool Unban(const std::string& name) override;
    void Backup(const std::string& file) override;

  private:
    struct FinishConnection {
        void operator()(pg_conn* connection) const;
    };
    struct ClearResult {
        void operator()(pg_result* result) const;
    };
    using Result = std::unique_ptr<pg_result, ClearResult>;
    class ConnectionLost;

    // The open connection, opened again if it broke. With `wait` it sleeps
    // through the pause before the next try (for a few seconds at most);
    // without, it throws when a try is not due yet.
    pg_conn* Connection(bool wait);
    // Runs one statement with text parameters; throws ConnectionLost when the
    // connection broke, std::runtime_error on any other failure.
    Result Run(const std::string& sql, const std::vector<std::string>& parameters = {});
    // A read: tried once more on a fresh connection when the old one broke.
    Result Read(const std::string& sql, const std::vector<std::string>& parameters);
    void Store(const std::vector<ScoreRecord>& scores);
    // Asks a fresh connection what became of a transaction whose COMMIT got no answer.
    bool Committed(const std::string& transaction);
    std::vector<StoredScore> ReadScores(const Result& result);

    std::string uri;
    std::unique_ptr<pg_conn, FinishConnection> connection;
    std::chrono::steady_clock::time_point nextTry{};
    std::chrono::milliseconds pause{0};
    std::string failure;  // why the last try to connect failed
};
