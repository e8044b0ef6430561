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

ScoreWriter::ScoreWriter(std::unique_ptr<ScoreStore> store, int64_t bestCount, Report report)
    : store(std::move(store)), bestCount(bestCount), report(std::move(report)), thread([this] { Run(); }) {}

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
        wasEmpty = queue.empty() && refusedQueue.empty();
        queue.push_back({std::move(score), wantsBest, std::move(stored)});
        ++pending;
    }
    // A non-empty queue means the writer is committing and will look again.
    if (wasEmpty) {
        arrived.notify_one();
    }
}

void ScoreWriter::SubmitRefused(RefusedScore refused) {
    bool wasEmpty;
    {
        std::lock_guard<std::mutex> lock(mutex);
        wasEmpty = queue.empty() && refusedQueue.empty();
        refusedQueue.push_back(std::move(refused));
    }
    if (wasEmpty) {
        arrived.notify_one();
    }
}

void ScoreWriter::Run() {
    std::vector<Waiting> batch;
    std::vector<RefusedScore> refused;
    std::vector<bool> stored;
    while (true) {
        {
            std::unique_lock<std::mutex> lock(mutex);
            arrived.wait(lock, [this] { return stopping || !queue.empty() || !refusedQueue.empty(); });
            if (queue.empty() && refusedQueue.empty()) {
                return;
            }
            batch.swap(queue);
            refused.swap(refusedQueue);
        }
        if (!batch.empty()) {
            StoreOutcome outcome = Commit(batch, stored);
            for (std::size_t i = 0; i < batch.size(); ++i) {
                batch[i].stored(outcome, outcome.error.empty() && i < stored.size() && stored[i]);
                --pending;
            }
            batch.clear();
        }
        // After the scores: a player's wait never includes the operator's records.
        if (!refused.empty()) {
            KeepRefused(refused);
            refused.clear();
        }
    }
}

void ScoreWriter::KeepRefused(const std::vector<RefusedScore>& refused) {
    try {
        store->AddRefused(refused);
    } catch (const std::exception& failure) {
        if (report) {
            report(std::to_string(refused.size()) + " refused score(s) not kept: " + ErrorText(failure));
        }
    }
}

StoreOutcome ScoreWriter::Commit(const std::vector<Waiting>& batch, std::vector<bool>& stored) {
    StoreOutcome outcome;
    std::vector<ScoreRecord> scores;
    bool wantsBest = false;
    for (const Waiting& waiting : batch) {
        scores.push_back(waiting.score);
        wantsBest = wantsBest || waiting.wantsBest;
    }
    try {
        stored = store->AddAll(scores);
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
