// The pure parts of the scores' views: shared ranks, the week and day boards,
// the JSON API's query and reply, and the histogram.
#include "server/score_api.h"
#include "server/score_boards.h"
#include "server/score_histogram.h"
#include "server/score_ranks.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cstdio>
#include <ctime>
#include <map>
#include <regex>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

// An instant written as the stores write `received`, read by the C library.
std::chrono::system_clock::time_point At(const std::string& text) {
    std::tm fields{};
    int milliseconds = 0;
    std::sscanf(text.c_str(), "%d-%d-%dT%d:%d:%d.%dZ", &fields.tm_year, &fields.tm_mon, &fields.tm_mday,
                &fields.tm_hour, &fields.tm_min, &fields.tm_sec, &milliseconds);
    fields.tm_year -= 1900;
    fields.tm_mon -= 1;
    return std::chrono::system_clock::from_time_t(timegm(&fields)) + std::chrono::milliseconds(milliseconds);
}

TEST(SharedRanks, EqualScoresShareARankOnEveryPage) {
    const std::vector<int32_t> board = {900, 800, 800, 800, 700, 700, 600, -5};
    const std::vector<int64_t> ranks = {1, 2, 2, 2, 5, 5, 7, 8};
    // Every page of every size, so page edges fall before, inside and after each run of ties.
    for (std::size_t first = 0; first < board.size(); ++first) {
        for (std::size_t size = 1; first + size <= board.size(); ++size) {
            std::vector<StoredScore> rows;
            RankStart start{static_cast<int64_t>(first), 0};
            for (std::size_t i = 0; i < first; ++i) {
                start.higher += board[i] > board[first] ? 1 : 0;
            }
            for (std::size_t i = first; i < first + size; ++i) {
                rows.push_back({"p", board[i], static_cast<int64_t>(i) + 1});
            }
            EXPECT_EQ(SharedRanks(rows, start),
                      std::vector<int64_t>(ranks.begin() + first, ranks.begin() + first + size))
                << "page of " << size << " from " << first;
        }
    }
}

TEST(ScoreBoards, WeeksAreIsoAndDaysUtc) {
    const struct {
        std::string now, monday, nextMonday, week;
    } cases[] = {
        {"2026-12-31T12:00:00.000Z", "2026-12-28", "2027-01-04", "2026-W53"},
        {"2027-01-01T00:00:00.000Z", "2026-12-28", "2027-01-04", "2026-W53"},
        {"2027-01-03T23:59:59.999Z", "2026-12-28", "2027-01-04", "2026-W53"},  // a Sunday
        {"2027-01-04T00:00:00.000Z", "2027-01-04", "2027-01-11", "2027-W01"},
        {"2024-12-30T08:15:00.250Z", "2024-12-30", "2025-01-06", "2025-W01"},
        {"2021-01-03T10:00:00.000Z", "2020-12-28", "2021-01-04", "2020-W53"},
        {"2021-01-07T06:00:00.000Z", "2021-01-04", "2021-01-11", "2021-W01"},
        {"2024-02-29T23:59:59.999Z", "2024-02-26", "2024-03-04", "2024-W09"},
        {"2100-03-01T00:00:00.001Z", "2100-03-01", "2100-03-08", "2100-W09"},
        {"1969-12-31T23:59:59.999Z", "1969-12-29", "1970-01-05", "1970-W01"},
    };
    for (const auto& c : cases) {
        std::chrono::system_clock::time_point now = At(c.now);
        EXPECT_EQ(ReceivedText(now), c.now);
        std::optional<ReceivedRange> week = BoardRange(ScoreBoard::Week, now);
        std::optional<ReceivedRange> day = BoardRange(ScoreBoard::Day, now);
        ASSERT_TRUE(week && day) << c.now;
        EXPECT_EQ(week->from, c.monday + "T00:00:00.000Z") << c.now;
        EXPECT_EQ(week->until, c.nextMonday + "T00:00:00.000Z") << c.now;
        EXPECT_EQ(week->period, c.week) << c.now;
        EXPECT_EQ(day->period, c.now.substr(0, 10));
        EXPECT_EQ(day->from, c.now.substr(0, 10) + "T00:00:00.000Z");
        EXPECT_EQ(ReceivedText(At(day->until) - std::chrono::milliseconds(1)),
                  day->period + "T23:59:59.999Z");
    }
    EXPECT_FALSE(BoardRange(ScoreBoard::All, At(cases[0].now)));
    for (ScoreBoard board : {ScoreBoard::All, ScoreBoard::Week, ScoreBoard::Day}) {
        EXPECT_EQ(ReadBoardName(BoardName(board)), board);
    }
    EXPECT_EQ(std::string(BoardTitle(ScoreBoard::Week)), "This week");
    EXPECT_FALSE(ReadBoardName("Week"));
}

TEST(ApiRequest, ReadsOnlyWhatItUnderstands) {
    const struct {
        std::string query;
        ScoreBoard board;
        int64_t limit;
        std::string after;  // the cursor read back, "" for none
    } good[] = {
        {"", ScoreBoard::All, 50, ""},
        {"board=week", ScoreBoard::Week, 50, ""},
        {"board=day&limit=1", ScoreBoard::Day, 1, ""},
        {"limit=100&after=5230.17&board=all", ScoreBoard::All, 100, "5230.17"},
        {"after=-40.3", ScoreBoard::All, 50, "-40.3"},
        {"after=-2147483648.9223372036854775807", ScoreBoard::All, 50, "-2147483648.9223372036854775807"},
    };
    for (const auto& c : good) {
        ApiRequest request = ReadApiRequest(c.query);
        EXPECT_EQ(request.error, "") << c.query;
        EXPECT_EQ(request.board, c.board) << c.query;
        EXPECT_EQ(request.limit, c.limit) << c.query;
        EXPECT_EQ(request.after ? CursorText(*request.after) : "", c.after) << c.query;
    }
    for (const char* query : {"board=year",
                              "board=",
                              "board=Week",
                              "board",
                              "limit=0",
                              "limit=101",
                              "limit=050",
                              "limit=+5",
                              "limit=5x",
                              "limit=99999999999999999999",
                              "after=5230",
                              "after=5230.",
                              "after=.17",
                              "after=5230.017",
                              "after=5230.0",
                              "after=-0.5",
                              "after=2147483648.1",
                              "after=1.2.3",
                              "after=1.9223372036854775808",
                              "board=week&board=day",
                              "limit=5&limit=5",
                              "page=2",
                              "&",
                              "board=week&",
                              "&board=week",
                              "board=week&&limit=5",
                              "board%3Dweek"}) {
        ApiRequest request = ReadApiRequest(query);
        EXPECT_NE(request.error, "") << query;
        EXPECT_TRUE(request.board == ScoreBoard::All && request.limit == 50 && !request.after) << query;
        EXPECT_EQ(nlohmann::json::parse(RenderApiError(request.error)),
                  nlohmann::json({{"error", request.error}}));
    }
    EXPECT_NE(ReadApiRequest("limit=5&limit=5").error.find("\"limit\""), std::string::npos);
}

TEST(ApiReply, CarriesAnyNameAsValidJson) {
    ApiPage page{ScoreBoard::Week, 7, {}, ScoreKey{800, 12}};
    page.scores = {{2, "J\xc3\xa4n \"x\"\n", 800, "2026-12-07T18:45:51.123Z"},
                   {2, "bad\xff\xfe", 800, "2026-12-08T00:00:00.000Z"}};
    nlohmann::json reply = nlohmann::json::parse(RenderApiPage(page));
    EXPECT_EQ(reply["board"], "week");
    EXPECT_EQ(reply["total"], 7);
    ASSERT_EQ(reply["scores"].size(), 2u);
    EXPECT_EQ(reply["scores"][0], nlohmann::json({{"rank", 2},
                                                  {"name", "J\xc3\xa4n \"x\"\n"},
                                                  {"score", 800},
                                                  {"time", "2026-12-07T18:45:51.123Z"}}));
    EXPECT_EQ(reply["scores"][1]["name"], "bad\xef\xbf\xbd\xef\xbf\xbd");
    std::optional<ScoreKey> next = ReadCursor(reply["next"].get<std::string>());
    ASSERT_TRUE(next);
    EXPECT_TRUE(next->score == 800 && next->id == 12);
    page.next.reset();
    EXPECT_TRUE(nlohmann::json::parse(RenderApiPage(page))["next"].is_null());
}

TEST(Histogram, ChoosesNiceBucketsUpToTheTop) {
    const struct {
        int64_t lowest, highest, first, width;
        int count;
    } cases[] = {
        {0, 0, 0, 1, 1},
        {0, 19, 0, 1, 20},
        {0, 20, 0, 2, 11},
        {3, 9999, 0, 500, 20},
        {0, 10000, 0, 1000, 11},
        {0, 4999, 0, 250, 20},
        {0, 4, 0, 1, 5},
        {0, 499, 0, 25, 20},
        {-500, 4000, -500, 250, 19},
        {-1200, 5000, -1500, 500, 14},
        {-2147483648, 2147483647, -2250000000, 250000000, 18},
    };
    for (const auto& c : cases) {
        ScoreBuckets buckets = ChooseBuckets(c.lowest, c.highest);
        EXPECT_EQ(buckets.first, c.first) << c.highest;
        EXPECT_EQ(buckets.width, c.width) << c.highest;
        EXPECT_EQ(buckets.count, c.count) << c.highest;
    }
}

TEST(Histogram, DrawsEachBarInProportionToItsCountOverItsRange) {
    const std::vector<int64_t> counts = {4, 0, 10, 7, 1};
    std::string svg = RenderHistogram({0, 250, 5}, counts, "This <week>");
    std::vector<double> centres, heights;
    std::regex bar(
        "<rect class=\"bar\" x=\"([0-9.]+)\" y=\"[0-9.]+\" width=\"([0-9.]+)\" height=\"([0-9.]+)\"");
    for (std::sregex_iterator it(svg.begin(), svg.end(), bar), end; it != end; ++it) {
        centres.push_back(std::stod((*it)[1]) + std::stod((*it)[2]) / 2);
        heights.push_back(std::stod((*it)[3]));
    }
    std::map<int, double> edges;  // the axis: each label's value and place
    std::regex label("<text x=\"([0-9.]+)\" y=\"[0-9.]+\" fill=\"[^\"]+\" text-anchor=\"middle\">([0-9]+)<");
    for (std::sregex_iterator it(svg.begin(), svg.end(), label), end; it != end; ++it) {
        edges[std::stoi((*it)[2])] = std::stod((*it)[1]);
    }
    std::map<int64_t, double> numbers;  // each count above a bar and its place
    std::regex number("<text x=\"([0-9.]+)\" [^>]*font-weight=\"bold\">([0-9]+)<");
    for (std::sregex_iterator it(svg.begin(), svg.end(), number), end; it != end; ++it) {
        numbers[std::stoi((*it)[2])] = std::stod((*it)[1]);
    }
    ASSERT_EQ(heights.size(), counts.size());
    ASSERT_EQ(edges.size(), counts.size() + 1);
    EXPECT_EQ(numbers.size(), 4u);
    for (std::size_t i = 0; i < counts.size(); ++i) {
        EXPECT_NEAR(heights[i], heights[2] * counts[i] / 10.0, 0.01) << "bar " << i;
        EXPECT_NEAR(centres[i], (edges[250 * i] + edges[250 * (i + 1)]) / 2, 0.01) << "bar " << i;
        EXPECT_NEAR(counts[i] > 0 ? numbers[counts[i]] : centres[i], centres[i], 0.01) << "bar " << i;
    }
    EXPECT_GT(heights[2], 100);
    for (const char* part : {"role=\"img\"", "aria-labelledby=\"histogram-title histogram-desc\"",
                             "<title id=\"histogram-title\">How the scores lie: This &lt;week&gt;</title>",
                             "<desc id=\"histogram-desc\">22 scores in 5 ranges",
                             "500 to 749: 10 scores</title>", ">10</text>"}) {
        EXPECT_NE(svg.find(part), std::string::npos) << part;
    }
    EXPECT_EQ(svg.find("<script"), std::string::npos);
    std::string big = RenderHistogram({0, 1, 3}, {9999, 10000, 10000000}, "Today");
    for (const char* count : {">9999</text>", ">10k</text>", ">10M</text>"}) {
        EXPECT_NE(big.find(count), std::string::npos) << count;
    }
    std::string empty = RenderHistogram({0, 1, 1}, {0}, "Today");
    for (const char* part : {"histogram-desc\">No scores on this board yet.", "yet.</text>"}) {
        EXPECT_NE(empty.find(part), std::string::npos) << part;
    }
    EXPECT_THROW(RenderHistogram({0, 1, 2}, {1}, "Today"), std::invalid_argument);
}

}  // namespace
