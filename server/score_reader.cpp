#include "server/score_reader.h"

#include <utility>

ScoreReader::ScoreReader(std::vector<std::unique_ptr<ScoreStore>> stores, std::size_t queueLimit)
    : stores(std::move(stores)), queueLimit(queueLimit) {
    for (std::unique_ptr<ScoreStore>& store : this->stores) {
        threads.emplace_back([this, &store] { Run(*store); });
    }
}

ScoreReader::~ScoreReader() {
    {
        std::lock_guard<std::mutex> lock(mutex);
        stopping = true;
        queue.clear();
    }
    arrived.notify_all();
    for (std::thread& thread : threads) {
        thread.join();
    }
}

bool ScoreReader::Submit(Clock::time_point until, Job job) {
    {
        std::lock_guard<std::mutex> lock(mutex);
        if (stopping || queue.size() >= queueLimit) {
            return false;
        }
        queue.push_back({until, std::move(job)});
    }
    arrived.notify_one();
    return true;
}

void ScoreReader::Run(ScoreStore& store) {
    while (true) {
        Waiting waiting;
        {
            std::unique_lock<std::mutex> lock(mutex);
            arrived.wait(lock, [this] { return stopping || !queue.empty(); });
            if (stopping) {
                return;
            }
            waiting = std::move(queue.front());
            queue.pop_front();
        }
        // Whoever asked has answered without it by now.
        if (Clock::now() < waiting.until) {
            waiting.job(store);
        }
    }
}
