#pragma once

#include <cstdint>
#include <string>
#include <utility>

// One score as the game sends it. The name holds spaces as spaces; the
// game's "+" is only the wire form.
struct ScoreRecord {
    ScoreRecord() = default;
    ScoreRecord(std::string name, int32_t score, std::string address = {})
        : name(std::move(name)), score(score), address(std::move(address)) {}

    std::string name;
    int32_t score = 0;
    // The client's address ("203.0.113.7:40112"), kept only when the score is refused.
    std::string address;
};

// Where a score stands: higher score first, then earlier id (arrival order).
struct ScoreKey {
    int32_t score = 0;
    int64_t id = 0;
};

// A score as stored, with the id that orders equal scores by arrival.
struct StoredScore {
    std::string name;
    int32_t score = 0;
    int64_t id = 0;
    // UTC, "2026-12-07T18:45:51.123Z" (RFC 3339); braces keep lists that leave it out warning-free.
    std::string received = {};

    ScoreKey Key() const { return {score, id}; }
};

// A score as the operator's list shows it: with its arrival time and whether
// it is hidden from every list the players see.
struct ListedScore {
    int64_t id = 0;
    std::string name;
    int32_t score = 0;
    std::string received;  // UTC, "2026-12-07T18:45:51.123Z"
    bool hidden = false;
};

// A score the server would not store, kept for the operator.
struct RefusedScore {
    std::string address;
    std::string received;  // UTC, set by the store
    std::string name;
    int64_t score = 0;
    std::string reason;  // "implausible", "banned"
};
