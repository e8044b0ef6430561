#pragma once

#include "server/score_record.h"
#include "server/score_store.h"

#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// Stores scores on a thread of its own with group commit: every score that
// arrived while the previous commit ran goes into the next one. A lone
// client still pays one synced commit and no timer adds delay.
class ScoreWriter {
  public:
    // Called on the writer's thread once the score's batch is committed
    // (`error` empty) or has failed (then no score of that batch is stored).
    using Stored = std::function<void(const std::string& error)>;

    explicit ScoreWriter(std::unique_ptr<ScoreStore> store);
    // Stores what is still waiting, then stops the thread.
    ~ScoreWriter();
    ScoreWriter(const ScoreWriter&) = delete;
    ScoreWriter& operator=(const ScoreWriter&) = delete;

    void Submit(ScoreRecord score, Stored stored);

  private:
    struct Waiting {
        ScoreRecord score;
        Stored stored;
    };

    void Run();

    std::unique_ptr<ScoreStore> store;
    std::mutex mutex;
    std::condition_variable arrived;
    std::vector<Waiting> queue;
    bool stopping = false;
    // Started last: Run uses everything above.
    std::thread thread;
};
