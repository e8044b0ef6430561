#pragma once

#include "server/score_boards.h"
#include "server/score_record.h"

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The read-only JSON API: GET /api/scores?board=all|week|day&limit=N&after=CURSOR.

inline constexpr int64_t ApiDefaultLimit = 50;
inline constexpr int64_t ApiMostLimit = 100;

// What a query asks for. Unlike the web page, which shows its first page for
// a link it cannot read, the API refuses anything it does not understand:
// a program that sends a wrong query should learn so at once.
struct ApiRequest {
    ScoreBoard board = ScoreBoard::All;
    int64_t limit = ApiDefaultLimit;  // 1 to ApiMostLimit
    std::optional<ScoreKey> after;    // the page starts after this score
    std::string error;                // why the query was refused; empty when it was read
};

// Reads a query string (without "?"). Each of board, limit and after may be
// given once; an unknown, empty, repeated or malformed parameter sets `error`.
ApiRequest ReadApiRequest(std::string_view query);

// The cursor of the page that starts after `key`: "score.id", both written
// as canonical decimal numbers ("5230.17", "-40.3"). Clients pass it back
// unchanged; it stays valid while scores come and go, and on every board.
std::string CursorText(const ScoreKey& key);
// The key a cursor holds (ids count from 1); none unless written exactly as
// CursorText writes it.
std::optional<ScoreKey> ReadCursor(std::string_view text);

struct ApiScore {
    int64_t rank = 0;
    std::string name;  // any bytes; invalid UTF-8 is replaced in the reply
    int32_t score = 0;
    std::string received;  // as the stores keep it, already RFC 3339 UTC
};

// One page of a board as the API sends it.
struct ApiPage {
    ScoreBoard board = ScoreBoard::All;
    int64_t total = 0;  // scores on the whole board
    std::vector<ApiScore> scores;
    std::optional<ScoreKey> next;  // set when scores follow the last one sent
};

class ScoreStore;

// The page `request` asks for, of its board as it stands at `now`, with its
// total and shared ranks counted in `store`. A cursor past the board's end
// gives no scores. `request` must have been read without error.
ApiPage ReadApiPage(ScoreStore& store, const ApiRequest& request, std::chrono::system_clock::time_point now);

// {"board": "week", "total": 2, "scores": [{"rank": 1, "name": "Ann Lee",
// "score": 5230, "time": "2026-12-07T18:45:51.123Z"}, ...], "next": "5230.17"},
// with "next" null on the last page.
std::string RenderApiPage(const ApiPage& page);

// The body of a 400 reply: {"error": "..."}.
std::string RenderApiError(std::string_view message);
