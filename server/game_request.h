#pragma once

#include "server/score_record.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// What the first bytes of a connection say about the client.
enum class ConnectionStart {
    NeedMore,  // no decision yet: read on
    GameLine,  // the game's bare request line, "\n" and a zero byte
    Http,      // anything else: an HTTP/1.1 parser takes over
    TooLong,   // the limit was reached before a decision
};

// Decides from the bytes received so far who is talking. The game sends one
// line without a protocol version and without headers, followed by a zero
// byte; a line naming " HTTP/" is a web client's. Pure, so the fuzzer and the
// tests see exactly what the server sees.
ConnectionStart ClassifyConnectionStart(std::string_view received, std::size_t limit);

// Why a game request was or was not taken.
enum class RequestVerdict {
    Accepted,
    NotASaveRequest,  // another path, another method, or no query at all
    Malformed,        // a query part without "=", an unknown or repeated field
    MissingField,     // name, score or checksum absent
    BadName,          // empty, longer than LongestPlayerName, or not letters, digits, "+"
    BadScore,         // not a canonical signed 32-bit decimal number
    BadChecksum,      // not a number, or not RequestChecksum(score)
    BadFetch,         // fetch present with a value other than 1
};

// The outcome of reading one game request line.
struct GameRequest {
    RequestVerdict verdict = RequestVerdict::NotASaveRequest;
    // The query asked for the list (fetch=1), whatever the verdict; false when
    // the line is not a save request at all.
    bool fetch = false;
    std::string name;  // spaces restored; set only when accepted
    int32_t score = 0;
};

// Reads the game's request line, given without its "\n" and zero byte.
GameRequest ParseGameRequest(std::string_view line);

// A short lower-case word for logs: "accepted", "bad-checksum", ...
const char* VerdictName(RequestVerdict verdict);

// Reads a signed 32-bit number written the way the game writes numbers:
// "0", or an optional "-" and digits without leading zeros.
std::optional<int32_t> ParseCanonicalNumber(std::string_view text);

// The game's reply: the first MostScoreRecords records "name|score" joined by
// "&", "+" for spaces, and a final "!". Characters that would break the
// record syntax never leave the server: anything but letters, digits and
// spaces is sent as "?".
std::string FormatGameReply(const std::vector<StoredScore>& best);
