#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// Where the score server listens: "-server HOST[:PORT]".
struct ScoreServer {
    std::string host;
    uint16_t port = 80;
};

// The score list as the server sent it: names with their spaces back, score
// texts untouched, in the server's order. Both lists have the same length.
struct ScoreList {
    std::vector<std::string> names;
    std::vector<std::string> values;
};

struct ExchangeResult {
    bool failed = false;
    ScoreList scores;
};

// How long and how much one exchange may take. The game must not freeze on a
// server that accepts and never answers, nor grow without end on one that
// never stops talking.
struct ExchangeLimits {
    uint32_t timeLimitMs = 10000;
    std::size_t longestReply = 64 * 1024;
};

// The request bytes for a name as typed (empty for none), including the
// terminating zero byte that the server expects.
std::string BuildSaveRequest(const std::string& playerName, int32_t score);

// The reply text without its closing "!": at most 15 records. A record without
// "|" gives its name with an empty score; empty records are skipped.
ScoreList ParseScoreReply(const std::string& reply);

// Sends the request bytes and brings back the server's list.
using ScoreExchange = std::function<ExchangeResult(const std::string& request)>;

// One request, one reply. Never throws; every failure sets failed.
ExchangeResult ExchangeScores(const ScoreServer& server, const std::string& request,
                              const ExchangeLimits& limits = ExchangeLimits());
