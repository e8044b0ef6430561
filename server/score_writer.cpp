#include "server/score_writer.h"

#include <exception>
#include <optional>
#include <utility>

namespace {

std::string ErrorText(const std::exception& failure) {
    std::string text = failure.what();
    return text.empty() ? "unknown failure" : text;
}

}  // namespace

ScoreWriter::ScoreWriter(std::unique_ptr<ScoreStore> store, int64_t bestCount)
    : store(std::move(store)), bestCount(bestCount), thread([this] { Run(); }) {}

ScoreWriter::~ScoreWriter() {
    {
        std::lock_guard<std::mutex> lock(mutex);
        stopping = true;
    }
    arrived.notify_one();
    thread.join();
}

void ScoreWriter::Submit(ScoreRecord score, bool wantsBest, Stored stored) {
    bool wasEmpty;
    {
        std::lock_guard<std::mutex> lock(mutex);
        wasEmpty = queue.empty();
        queue.push_back({std::move(score), wantsBest, std::move(stored)});
    }
    // A non-empty queue means the writer is committing and will look again.
    if (wasEmpty) {
        arrived.notify_one();
    }
}

void ScoreWriter::Run() {
    std::vector<Waiting> batch;
    while (true) {
        {
            std::unique_lock<std::mutex> lock(mutex);
            arrived.wait(lock, [this] { return stopping || !queue.empty(); });
            if (queue.empty()) {
                return;
            }
            batch.swap(queue);
        }
        StoreOutcome outcome = Commit(batch);
        for (Waiting& waiting : batch) {
            waiting.stored(outcome);
        }
        batch.clear();
    }
}

StoreOutcome ScoreWriter::Commit(const std::vector<Waiting>& batch) {
    StoreOutcome outcome;
    std::vector<ScoreRecord> scores;
    bool wantsBest = false;
    for (const Waiting& waiting : batch) {
        scores.push_back(waiting.score);
        wantsBest = wantsBest || waiting.wantsBest;
    }
    try {
        store->AddAll(scores);
    } catch (const std::exception& failure) {
        outcome.error = ErrorText(failure);
        return outcome;
    }
    // Read here, once, on a connection that has just written the pages the
    // list lives in, rather than once per connection on the reading one.
    if (wantsBest) {
        try {
            outcome.best =
                std::make_shared<const std::vector<StoredScore>>(store->Best(std::nullopt, bestCount));
        } catch (const std::exception& failure) {
            outcome.bestError = ErrorText(failure);
        }
    }
    return outcome;
}
