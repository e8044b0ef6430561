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
// tries; a score is acknowledged only when its COMMIT has returned. No call
// takes longer than its deadline, whatever the database server does: one
// that is stopped, or cut off without a reset, still answers TCP from its
// kernel, so only a client-side clock can tell. Every commit that changes
// what the players see notifies the listening stores of every instance.
class PostgresScoreStore : public ScoreStore {
  public:
    static constexpr std::chrono::milliseconds DefaultDeadline{1500};

    // `address` is a libpq URI ("postgresql://user@host/db") or keyword form
    // ("host=... dbname=..."); the password comes from PGPASSFILE or
    // ~/.pgpass. Creates or extends the tables when needed, one instance at a
    // time. `deadline` bounds each call, connecting and reconnecting included.
    // Only a `listening` store hears of changes (see Listen): every other
    // connection would get every notification and leave it unread.
    explicit PostgresScoreStore(const std::string& address,
                                std::chrono::milliseconds deadline = DefaultDeadline, bool listening = false);
    ~PostgresScoreStore() override;
    PostgresScoreStore(const PostgresScoreStore&) = delete;
    PostgresScoreStore& operator=(const PostgresScoreStore&) = delete;

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

    // For a thread that only listens: waits up to `limit` for news of a
    // change, or until `wake` is readable, opening the connection first when
    // it is not open. Returns the change count, or none while no connection
    // listens (changes then go unheard).
    std::optional<uint64_t> Listen(std::chrono::milliseconds limit, int wake);

  private:
    using Clock = std::chrono::steady_clock;
    using Deadline = Clock::time_point;
    struct FinishConnection {
        void operator()(pg_conn* connection) const;
    };
    struct ClearResult {
        void operator()(pg_result* result) const;
    };
    using Result = std::unique_ptr<pg_result, ClearResult>;
    class ConnectionLost;
    class DeadlinePassed;
    class UnknownOutcome;

    // The open connection, opened again if it broke, sleeping through the
    // pause before the next try only when that ends before `until`.
    pg_conn* Connection(Deadline until);
    // One try to connect and set up the session, by `until`.
    void Connect(Deadline until);
    // Waits for the socket to be ready for `events`; drops the connection
    // and throws DeadlinePassed when `until` comes first.
    void Await(short events, Deadline until);
    // Runs one statement with text parameters (or, without, several in one
    // round trip) and returns the last result; throws ConnectionLost when the
    // connection broke, DeadlinePassed, or std::runtime_error on any other
    // failure.
    Result Run(const std::string& sql, const std::vector<std::string>& parameters, Deadline until);
    // A read, within one deadline: tried once more on a fresh connection when the old one broke.
    Result Read(const std::string& sql, const std::vector<std::string>& parameters);
    // Runs `change(until, begun)` in one transaction started by `begin`
    // (whose last result `begun` starts with txid_current()), within one deadline. Tried again on a
    // fresh connection when the connection broke before its COMMIT was sent.
    template <typename Change>
    auto Transaction(const std::string& begin, Change change);
    // Commits; false when the server rolled back instead. Throws
    // UnknownOutcome when the COMMIT got no answer and the outcome stays unknown.
    bool Finish(const std::string& transaction, Deadline until);
    // Asks a fresh connection what became of a transaction whose COMMIT got no answer.
    bool Committed(const std::string& transaction);
    // Inside a transaction: adds to the shown scores' count and tells every
    // listening connection that the lists changed.
    void AddToCount(int64_t shown, Deadline until);
    void AddRefusedRows(const std::vector<RefusedScore>& refused, Deadline until);
    std::vector<StoredScore> ReadScores(const Result& result);

    std::string address;
    std::chrono::milliseconds deadline;
    bool listening;
    std::unique_ptr<pg_conn, FinishConnection> connection;
    Deadline nextTry{};
    std::chrono::milliseconds pause{0};
    std::string failure;  // why the last try to connect failed
    // Notifications heard and reconnections, for Listen.
    uint64_t changes = 0;
};
