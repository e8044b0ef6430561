#pragma once

#include <cstdint>
#include <string>

// One stored score. The name holds spaces as spaces; the game's "+" is only
// the wire form.
struct ScoreRecord {
    std::string name;
    int32_t score = 0;
};
