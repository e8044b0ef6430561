#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

// Bounds how long a stop may take. A stop waits for the scores being stored
// and the reads under way, but a database that no longer answers must not
// keep the server from stopping: once the grace has passed, the process
// ends at once, after telling what it abandons.
class StopGuard {
  public:
    // `abandoned` says, on the guard's thread, what an abandoned stop leaves
    // undone; it is logged before the process ends with `status`.
    StopGuard(std::chrono::milliseconds grace, int status, std::function<std::string()> abandoned);
    // The stop has finished: the guard no longer ends the process.
    ~StopGuard();
    StopGuard(const StopGuard&) = delete;
    StopGuard& operator=(const StopGuard&) = delete;

    // The stop begins; the grace is counted from here. Later calls do nothing.
    void Begin();

  private:
    void Run();

    const std::chrono::milliseconds grace;
    const int status;
    const std::function<std::string()> abandoned;
    std::mutex mutex;
    std::condition_variable changed;
    bool begun = false;
    bool finished = false;
    // Started last: Run uses everything above.
    std::thread thread;
};
