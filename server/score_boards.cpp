#include "server/score_boards.h"

#include <cstdint>
#include <cstdio>

namespace {

constexpr int64_t MillisecondsPerDay = 86'400'000;

struct CivilDate {
    int64_t year;
    int month;  // 1 to 12
    int day;    // 1 to 31
};

int64_t FloorDivide(int64_t value, int64_t divisor) {
    int64_t quotient = value / divisor;
    return quotient * divisor > value ? quotient - 1 : quotient;
}

// The proleptic Gregorian date of a day counted from 1970-01-01, by the
// usual era arithmetic (an era is 400 years, 146097 days).
CivilDate DateOfDay(int64_t days) {
    days += 719468;  // counted from 0000-03-01, so leap days end a year
    int64_t era = FloorDivide(days, 146097);
    int64_t dayOfEra = days - era * 146097;
    int64_t yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    int64_t shiftedMonth = (5 * dayOfYear + 2) / 153;  // 0 is March
    int day = static_cast<int>(dayOfYear - (153 * shiftedMonth + 2) / 5 + 1);
    int month = static_cast<int>(shiftedMonth < 10 ? shiftedMonth + 3 : shiftedMonth - 9);
    return {yearOfEra + era * 400 + (month <= 2 ? 1 : 0), month, day};
}

// The day of 1 January of `year`, counted from 1970-01-01.
int64_t DayOfNewYear(int64_t year) {
    int64_t before = year - 1;
    return 365 * (year - 1970) +
           (FloorDivide(before, 4) - FloorDivide(before, 100) + FloorDivide(before, 400)) -
           477;  // the leap days before 1970
}

std::string DayText(int64_t days) {
    CivilDate date = DateOfDay(days);
    char text[32];
    std::snprintf(text, sizeof text, "%04lld-%02d-%02d", static_cast<long long>(date.year), date.month,
                  date.day);
    return text;
}

std::string MidnightText(int64_t days) {
    return DayText(days) + "T00:00:00.000Z";
}

int64_t MillisecondsOf(std::chrono::system_clock::time_point instant) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(instant.time_since_epoch()).count();
}

}  // namespace

const char* BoardName(ScoreBoard board) {
    switch (board) {
        case ScoreBoard::Week:
            return "week";
        case ScoreBoard::Day:
            return "day";
        case ScoreBoard::All:
            break;
    }
    return "all";
}

const char* BoardTitle(ScoreBoard board) {
    switch (board) {
        case ScoreBoard::Week:
            return "This week";
        case ScoreBoard::Day:
            return "Today";
        case ScoreBoard::All:
            break;
    }
    return "All time";
}

std::optional<ScoreBoard> ReadBoardName(std::string_view name) {
    for (ScoreBoard board : {ScoreBoard::All, ScoreBoard::Week, ScoreBoard::Day}) {
        if (name == BoardName(board)) {
            return board;
        }
    }
    return std::nullopt;
}

std::optional<ReceivedRange> BoardRange(ScoreBoard board, std::chrono::system_clock::time_point now) {
    int64_t today = FloorDivide(MillisecondsOf(now), MillisecondsPerDay);
    if (board == ScoreBoard::Day) {
        return ReceivedRange{MidnightText(today), MidnightText(today + 1), DayText(today)};
    }
    if (board != ScoreBoard::Week) {
        return std::nullopt;
    }
    // 1970-01-01 was a Thursday; an ISO week runs from Monday and belongs to
    // the year that holds its Thursday.
    int64_t monday = today - (today + 3 - FloorDivide(today + 3, 7) * 7);
    int64_t thursday = monday + 3;
    int64_t year = DateOfDay(thursday).year;
    int64_t week = (thursday - DayOfNewYear(year)) / 7 + 1;
    char period[32];
    std::snprintf(period, sizeof period, "%04lld-W%02lld", static_cast<long long>(year),
                  static_cast<long long>(week));
    return ReceivedRange{MidnightText(monday), MidnightText(monday + 7), period};
}

std::string ReceivedText(std::chrono::system_clock::time_point instant) {
    int64_t milliseconds = MillisecondsOf(instant);
    int64_t days = FloorDivide(milliseconds, MillisecondsPerDay);
    int64_t ofDay = milliseconds - days * MillisecondsPerDay;
    char time[32];
    std::snprintf(time, sizeof time, "T%02d:%02d:%02d.%03dZ", static_cast<int>(ofDay / 3'600'000),
                  static_cast<int>(ofDay / 60'000 % 60), static_cast<int>(ofDay / 1000 % 60),
                  static_cast<int>(ofDay % 1000));
    return DayText(days) + time;
}
