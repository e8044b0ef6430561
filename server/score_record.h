#pragma once

#include <cstdint>
#include <string>

// One score as the game sends it. The name holds spaces as spaces; the
// game's "+" is only the wire form.
struct ScoreRecord {
    std::string name;
    int32_t score = 0;
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

    ScoreKey Key() const { return {score, id}; }
};
