#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <string_view>

// The lists of scores a player can choose: every score ever shown, those of
// this ISO week, and those of today. Weeks and days are UTC for everyone, so
// every instance and every player agree on where a board starts.
enum class ScoreBoard { All, Week, Day };

// "all", "week", "day": the board's name in links and in the JSON API.
const char* BoardName(ScoreBoard board);
// "All time", "This week", "Today": the board's name for people.
const char* BoardTitle(ScoreBoard board);
// The board named `name`, exactly as BoardName writes it.
std::optional<ScoreBoard> ReadBoardName(std::string_view name);

// The scores a board holds are those whose `received` time t has
// from <= t < until. Both are written as the stores write `received`
// ("2026-12-28T00:00:00.000Z"), so both back ends compare them as text or
// cast them to a time.
struct ReceivedRange {
    std::string from;
    std::string until;
    std::string period;  // "2026-W53" for a week, "2026-12-31" for a day
};

// The range of `board` at the instant `now`; none for the all-time board.
std::optional<ReceivedRange> BoardRange(ScoreBoard board, std::chrono::system_clock::time_point now);

// An instant as the stores keep `received`: UTC to the millisecond, which is
// also RFC 3339 ("2026-12-07T18:45:51.123Z").
std::string ReceivedText(std::chrono::system_clock::time_point instant);
