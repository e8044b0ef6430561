#pragma once

#include "server/score_store.h"

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

// Reads the scores on threads of their own, each with its own connection,
// so that the thread serving the clients never waits for the database. A
// client's request waits for its read only until its own deadline and is
// then answered without it; the read, if still queued, is dropped.
class ScoreReader {
  public:
    using Clock = std::chrono::steady_clock;
    // Runs on a reader's thread with that reader's connection.
    using Job = std::function<void(ScoreStore& store)>;

    // One thread per store; at most `queueLimit` jobs wait at once.
    ScoreReader(std::vector<std::unique_ptr<ScoreStore>> stores, std::size_t queueLimit);
    // Drops what waits and stops the threads once their current read returns.
    ~ScoreReader();
    ScoreReader(const ScoreReader&) = delete;
    ScoreReader& operator=(const ScoreReader&) = delete;

    // Queues `job` unless the queue is full (then false: answer without it).
    // A job still waiting at `until` is dropped unrun.
    bool Submit(Clock::time_point until, Job job);

  private:
    struct Waiting {
        Clock::time_point until;
        Job job;
    };

    void Run(ScoreStore& store);

    std::vector<std::unique_ptr<ScoreStore>> stores;
    const std::size_t queueLimit;
    std::mutex mutex;
    std::condition_variable arrived;
    std::deque<Waiting> queue;
    bool stopping = false;
    // Started last: Run uses everything above.
    std::vector<std::thread> threads;
};
