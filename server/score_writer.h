#pragma once

#include "server/score_record.h"
#include "server/score_store.h"

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// What a submitted score's batch came to.
struct StoreOutcome {
    // Empty when the batch is committed; otherwise no score of it is stored.
    std::string error;
    // The best scores right after the commit, read once for the whole batch
    // when any of its scores asked; null when none asked or the read failed.
    std::shared_ptr<const std::vector<StoredScore>> best;
    std::string bestError;
};

// Stores scores on a thread of its own with group commit: every score that
// arrived while the previous commit ran goes into the next one. A lone
// client still pays one synced commit and no timer adds delay.
class ScoreWriter {
  public:
    // Called on the writer's thread once the score's batch is done; `stored`
    // is false for a score the store refused (a banned name).
    using Stored = std::function<void(const StoreOutcome& outcome, bool stored)>;
    // Told, on the writer's thread, what went wrong beside the scores.
    using Report = std::function<void(const std::string& problem)>;

    // `bestCount`: how many of the best scores an outcome carries.
    ScoreWriter(std::unique_ptr<ScoreStore> store, int64_t bestCount, Report report = {});
    // Stores what is still waiting, then stops the thread.
    ~ScoreWriter();
    ScoreWriter(const ScoreWriter&) = delete;
    ScoreWriter& operator=(const ScoreWriter&) = delete;

    void Submit(ScoreRecord score, bool wantsBest, Stored stored);
    // Keeps a score the server would not store, with the next batch.
    void SubmitRefused(RefusedScore refused);
    // Scores submitted and not yet answered: what a stop that cannot wait
    // for the database abandons.
    std::size_t Pending() const { return pending; }

  private:
    struct Waiting {
        ScoreRecord score;
        bool wantsBest = false;
        Stored stored;
    };

    void Run();
    StoreOutcome Commit(const std::vector<Waiting>& batch, std::vector<bool>& stored);
    void KeepRefused(const std::vector<RefusedScore>& refused);

    std::unique_ptr<ScoreStore> store;
    const int64_t bestCount;
    const Report report;
    std::atomic<std::size_t> pending{0};
    std::mutex mutex;
    std::condition_variable arrived;
    std::vector<Waiting> queue;
    std::vector<RefusedScore> refusedQueue;
    bool stopping = false;
    // Started last: Run uses everything above.
    std::thread thread;
};
