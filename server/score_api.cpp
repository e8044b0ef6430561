#include "server/score_api.h"

#include "server/game_request.h"
#include "server/score_ranks.h"
#include "server/score_store.h"

#include <nlohmann/json.hpp>

#include <cstdint>
#include <set>

namespace {

// A whole number from 1 to `most`, in decimal without leading zeros.
std::optional<int64_t> ReadCount(std::string_view text, int64_t most) {
    if (text.empty() || text[0] == '0') {
        return std::nullopt;
    }
    int64_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9' || value > (most - (c - '0')) / 10) {
            return std::nullopt;
        }
        value = value * 10 + (c - '0');
    }
    return value;
}

// A client's bytes inside an error message: short, and quoted.
std::string Quoted(std::string_view text) {
    constexpr std::size_t Longest = 32;
    return "\"" + std::string(text.substr(0, Longest)) + (text.size() > Longest ? "...\"" : "\"");
}

// Reads "name=value&..." into `request`; returns why it cannot, or "".
std::string ReadParameters(std::string_view query, ApiRequest& request) {
    std::set<std::string_view> seen;
    for (;;) {
        std::size_t end = query.find('&');
        std::string_view part = query.substr(0, end);
        std::size_t equals = part.find('=');
        if (part.empty()) {
            return "empty parameter";
        }
        if (equals == std::string_view::npos) {
            return Quoted(part) + " has no value";
        }
        std::string_view name = part.substr(0, equals);
        std::string_view value = part.substr(equals + 1);
        if (!seen.insert(name).second) {
            return Quoted(name) + " is given more than once";
        }
        if (name == "board") {
            std::optional<ScoreBoard> board = ReadBoardName(value);
            if (!board) {
                return "board must be all, week or day";
            }
            request.board = *board;
        } else if (name == "limit") {
            std::optional<int64_t> limit = ReadCount(value, ApiMostLimit);
            if (!limit) {
                return "limit must be a whole number from 1 to " + std::to_string(ApiMostLimit);
            }
            request.limit = *limit;
        } else if (name == "after") {
            request.after = ReadCursor(value);
            if (!request.after) {
                return "after must be the \"next\" of an earlier reply";
            }
        } else {
            return "unknown parameter " + Quoted(name) + " (known are board, limit and after)";
        }
        if (end == std::string_view::npos) {
            return "";
        }
        query.remove_prefix(end + 1);
    }
}

std::string Dump(const nlohmann::ordered_json& json) {
    // Names are whatever a client sent: never let a byte make the reply invalid.
    return json.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace) + "\n";
}

}  // namespace

ApiRequest ReadApiRequest(std::string_view query) {
    ApiRequest request;
    std::string error = query.empty() ? std::string() : ReadParameters(query, request);
    if (!error.empty()) {
        request = ApiRequest();
        request.error = error;
    }
    return request;
}

std::string CursorText(const ScoreKey& key) {
    return std::to_string(key.score) + "." + std::to_string(key.id);
}

std::optional<ScoreKey> ReadCursor(std::string_view text) {
    std::size_t dot = text.find('.');
    if (dot == std::string_view::npos) {
        return std::nullopt;
    }
    std::optional<int32_t> score = ParseCanonicalNumber(text.substr(0, dot));
    std::optional<int64_t> id = ReadCount(text.substr(dot + 1), INT64_MAX);
    if (!score || !id) {
        return std::nullopt;
    }
    return ScoreKey{*score, *id};
}

ApiPage ReadApiPage(ScoreStore& store, const ApiRequest& request, std::chrono::system_clock::time_point now) {
    ApiPage page;
    page.board = request.board;
    std::optional<ReceivedRange> range = BoardRange(request.board, now);
    page.total = store.BoardCount(range);
    // One more than asked tells whether a next page exists.
    std::vector<StoredScore> rows = store.BoardBest(range, request.after, request.limit + 1);
    if (static_cast<int64_t>(rows.size()) > request.limit) {
        rows.pop_back();
        page.next = rows.back().Key();
    }
    RankStart start =
        request.after && !rows.empty() ? store.BoardRankStart(range, rows.front().Key()) : RankStart{};
    std::vector<int64_t> ranks = SharedRanks(rows, start);
    for (std::size_t i = 0; i < rows.size(); ++i) {
        page.scores.push_back(
            {ranks[i], std::move(rows[i].name), rows[i].score, std::move(rows[i].received)});
    }
    return page;
}

std::string RenderApiPage(const ApiPage& page) {
    nlohmann::ordered_json scores = nlohmann::ordered_json::array();
    for (const ApiScore& score : page.scores) {
        scores.push_back(
            {{"rank", score.rank}, {"name", score.name}, {"score", score.score}, {"time", score.received}});
    }
    nlohmann::ordered_json reply = {
        {"board", BoardName(page.board)}, {"total", page.total}, {"scores", scores}};
    reply["next"] =
        page.next ? nlohmann::ordered_json(CursorText(*page.next)) : nlohmann::ordered_json(nullptr);
    return Dump(reply);
}

std::string RenderApiError(std::string_view message) {
    return Dump({{"error", message}});
}
