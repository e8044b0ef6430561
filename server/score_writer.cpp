#include "server/score_writer.h"

#include <exception>
#include <utility>

ScoreWriter::ScoreWriter(std::unique_ptr<ScoreStore> store)
    : store(std::move(store)), thread([this] { Run(); }) {}

ScoreWriter::~ScoreWriter() {
    {
        std::lock_guard<std::mutex> lock(mutex);
        stopping = true;
    }
    arrived.notify_one();
    thread.join();
}

void ScoreWriter::Submit(ScoreRecord score, Stored stored) {
    bool wasEmpty;
    {
        std::lock_guard<std::mutex> lock(mutex);
        wasEmpty = queue.empty();
        queue.push_back({std::move(score), std::move(stored)});
    }
    // A non-empty queue means the writer is committing and will look again.
    if (wasEmpty) {
        arrived.notify_one();
    }
}

void ScoreWriter::Run() {
    std::vector<Waiting> batch;
    std::vector<ScoreRecord> scores;
    while (true) {
        {
            std::unique_lock<std::mutex> lock(mutex);
            arrived.wait(lock, [this] { return stopping || !queue.empty(); });
            if (queue.empty()) {
                return;
            }
            batch.swap(queue);
        }
        scores.clear();
        for (const Waiting& waiting : batch) {
            scores.push_back(waiting.score);
        }
        std::string error;
        try {
            store->AddAll(scores);
        } catch (const std::exception& failure) {
            error = failure.what();
            if (error.empty()) {
                error = "unknown failure";
            }
        }
        for (Waiting& waiting : batch) {
            waiting.stored(error);
        }
        batch.clear();
    }
}
