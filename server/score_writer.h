#pragma once

#include "server/score_record.h"
#include "server/score_store.h"

#include <condition_variable>
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
    // Called on the writer's thread once the score's batch is done.
    using Stored = std::function<void(const StoreOutcome& outcome)>;

    // `bestCount`: how many of the best scores an outcome carries.
    ScoreWriter(std::unique_ptr<ScoreStore> store, int64_t bestCount);
    // Stores what is still waiting, then stops the thread.
    ~ScoreWriter();
    ScoreWriter(const ScoreWriter&) = delete;
    ScoreWriter& operator=(const ScoreWriter&) = delete;

    void Submit(ScoreRecord score, bool wantsBest, Stored stored);

  private:
    struct Waiting {
        ScoreRecord score;
        bool wantsBest = false;
        Stored stored;
    };

    void Run();
    StoreOutcome Commit(const std::vector<Waiting>& batch);

    std::unique_ptr<ScoreStore> store;
    const int64_t bestCount;
    std::mutex mutex;
    std::condition_variable arrived;
    std::vector<Waiting> queue;
    bool stopping = false;
    // Started last: Run uses everything above.
    std::thread thread;
};
