#include "server/stop_guard.h"

#include <cstdio>
#include <cstdlib>
#include <utility>

StopGuard::StopGuard(std::chrono::milliseconds grace, int status, std::function<std::string()> abandoned)
    : grace(grace), status(status), abandoned(std::move(abandoned)), thread([this] { Run(); }) {}

StopGuard::~StopGuard() {
    {
        std::lock_guard<std::mutex> lock(mutex);
        finished = true;
    }
    changed.notify_one();
    thread.join();
}

void StopGuard::Begin() {
    {
        std::lock_guard<std::mutex> lock(mutex);
        begun = true;
    }
    changed.notify_one();
}

void StopGuard::Run() {
    std::unique_lock<std::mutex> lock(mutex);
    changed.wait(lock, [this] { return begun || finished; });
    if (changed.wait_for(lock, grace, [this] { return finished; })) {
        return;
    }
    std::string line = abandoned();
    std::fwrite(line.data(), 1, line.size(), stderr);
    std::fflush(stderr);
    // Threads are still inside database calls: no destructor may run now.
    std::_Exit(status);
}
