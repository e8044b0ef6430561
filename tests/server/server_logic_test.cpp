#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "server/game_request.h"
#include "server/score_page.h"
#include "server/server_options.h"
#include "tests/server/server_process.h"

namespace {

const std::string Path = "GET /hwendel/quorvel/save.php?";

std::string WithZero(const std::string& text) {
    return text + std::string(1, '\0');
}

TEST(ConnectionStart, TellsTheGameLineFromHttp) {
    const std::size_t limit = 64;
    EXPECT_EQ(ClassifyConnectionStart("", limit), ConnectionStart::NeedMore);
    EXPECT_EQ(ClassifyConnectionStart("GET /hwendel", limit), ConnectionStart::NeedMore);
    // The line feed alone is not enough: the zero byte decides.
    EXPECT_EQ(ClassifyConnectionStart("GET /x?a=1\n", limit), ConnectionStart::NeedMore);
    EXPECT_EQ(ClassifyConnectionStart(WithZero("GET /x?a=1\n"), limit), ConnectionStart::GameLine);
    EXPECT_EQ(ClassifyConnectionStart("GET /x?a=1\nHost: y\r\n", limit), ConnectionStart::Http);
    EXPECT_EQ(ClassifyConnectionStart("GET /scores HTTP/1.1\r\n", limit), ConnectionStart::Http);
    EXPECT_EQ(ClassifyConnectionStart(WithZero("GET /scores HTTP/1.1\n"), limit), ConnectionStart::Http);
    EXPECT_EQ(ClassifyConnectionStart(std::string(limit, 'a'), limit), ConnectionStart::TooLong);
    EXPECT_EQ(ClassifyConnectionStart(std::string(limit - 1, 'a') + "\n", limit), ConnectionStart::TooLong);
    EXPECT_EQ(ClassifyConnectionStart(std::string(limit - 1, 'a'), limit), ConnectionStart::NeedMore);
}

TEST(GameRequest, AcceptsWhatTheGameSends) {
    GameRequest request = ParseGameRequest(SaveLine("Ann+Lee", 5230));
    EXPECT_EQ(request.verdict, RequestVerdict::Accepted);
    EXPECT_EQ(request.name, "Ann Lee");
    EXPECT_EQ(request.score, 5230);
    EXPECT_TRUE(request.fetch);

    request = ParseGameRequest(SaveLine("unnamed", -17, false));
    EXPECT_EQ(request.verdict, RequestVerdict::Accepted);
    EXPECT_EQ(request.name, "unnamed");
    EXPECT_EQ(request.score, -17);
    EXPECT_FALSE(request.fetch);

    request = ParseGameRequest(SaveLine("ABCDEFGHIJKLM12", 0));
    EXPECT_EQ(request.verdict, RequestVerdict::Accepted) << "fifteen characters are allowed";
    EXPECT_EQ(request.name.size(), 15u);

    // The fields in another order are the same request.
    request = ParseGameRequest(Path + "fetch=1&checksum=577&score=1&name=Z");
    EXPECT_EQ(request.verdict, RequestVerdict::Accepted);
    EXPECT_EQ(request.name, "Z");
}

TEST(GameRequest, ChecksumWrapsLikeThirtyTwoBitArithmetic) {
    for (int32_t score : {0, 1, -1, 3721845, 5000000, -4000000, INT32_MAX, INT32_MIN}) {
        EXPECT_EQ(ScoreChecksum(score), GameChecksum(score)) << score;
        EXPECT_EQ(ParseGameRequest(SaveLine("Wrap", score)).verdict, RequestVerdict::Accepted) << score;
    }
    // 5000000 * 577 does not fit: the unwrapped product is refused.
    std::string unwrapped = Path + "name=Big&score=5000000&checksum=2885000000&fetch=1";
    EXPECT_EQ(ParseGameRequest(unwrapped).verdict, RequestVerdict::BadChecksum);
    EXPECT_EQ(ParseGameRequest(Path + "name=A&score=2&checksum=1153&fetch=1").verdict,
              RequestVerdict::BadChecksum);
    EXPECT_EQ(ParseGameRequest(Path + "name=A&score=2&checksum=x&fetch=1").verdict,
              RequestVerdict::BadChecksum);
    EXPECT_EQ(ParseGameRequest(Path + "name=A&score=2&checksum=&fetch=1").verdict,
              RequestVerdict::BadChecksum);
}

TEST(GameRequest, RefusesBadNames) {
    for (const char* name :
         {"", "Ann%20Lee", "Ann-Lee", "Ann_Lee", "J\xc3\xa4n", "a<b", "ABCDEFGHIJKLM123"}) {
        GameRequest request = ParseGameRequest(SaveLine(name, 10));
        EXPECT_EQ(request.verdict, RequestVerdict::BadName) << name;
        EXPECT_TRUE(request.fetch) << "the list is still asked for";
        EXPECT_TRUE(request.name.empty());
    }
    EXPECT_EQ(ParseGameRequest(Path + "name=A|B&score=1&checksum=577").verdict, RequestVerdict::BadName);
    std::string withZero = Path + "name=A" + std::string(1, '\0') + "&score=1&checksum=577";
    EXPECT_EQ(ParseGameRequest(withZero).verdict, RequestVerdict::BadName);
}

TEST(GameRequest, RefusesScoresThatAreNotThirtyTwoBitNumbers) {
    for (const char* score : {"2147483648", "-2147483649", "99999999999", "12a", "+5", "-0", "007", "", "-",
                              " 5", "1e3", "0x10"}) {
        std::string line = Path + "name=A&score=" + score + "&checksum=0&fetch=1";
        EXPECT_EQ(ParseGameRequest(line).verdict, RequestVerdict::BadScore) << score;
    }
    EXPECT_EQ(ParseCanonicalNumber("2147483647"), INT32_MAX);
    EXPECT_EQ(ParseCanonicalNumber("-2147483648"), INT32_MIN);
    EXPECT_EQ(ParseCanonicalNumber("0"), 0);
}

TEST(GameRequest, RefusesMissingFieldsAndJunk) {
    EXPECT_EQ(ParseGameRequest(Path + "name=A&checksum=577&fetch=1").verdict, RequestVerdict::MissingField);
    EXPECT_EQ(ParseGameRequest(Path + "score=1&checksum=577&fetch=1").verdict, RequestVerdict::MissingField);
    EXPECT_EQ(ParseGameRequest(Path + "name=A&score=1&fetch=1").verdict, RequestVerdict::MissingField);
    EXPECT_EQ(ParseGameRequest(SaveLine("A", 1) + "&admin=1").verdict, RequestVerdict::Malformed);
    EXPECT_EQ(ParseGameRequest(SaveLine("A", 1) + "&name=B").verdict, RequestVerdict::Malformed);
    EXPECT_EQ(ParseGameRequest(SaveLine("A", 1) + "&").verdict, RequestVerdict::Malformed);
    EXPECT_EQ(ParseGameRequest(SaveLine("A", 1) + " HTTP/1.0").verdict, RequestVerdict::BadFetch);
    EXPECT_EQ(ParseGameRequest(SaveLine("A", 1) + "\r").verdict, RequestVerdict::BadFetch);
    EXPECT_EQ(ParseGameRequest(SaveLine("A", 1, false) + "&fetch=0").verdict, RequestVerdict::BadFetch);
    EXPECT_EQ(ParseGameRequest(Path).verdict, RequestVerdict::Malformed);

    for (const std::string& line : {std::string(), std::string("GET / HTTP/1.1"),
                                    std::string("POST /hwendel/quorvel/save.php?name=A&score=1&checksum=577"),
                                    std::string("GET /hwendel/quorvel/save.phpx?name=A&score=1&checksum=577"),
                                    std::string("GET /hwendel/quorvel/save.php")}) {
        GameRequest request = ParseGameRequest(line);
        EXPECT_EQ(request.verdict, RequestVerdict::NotASaveRequest) << line;
        EXPECT_FALSE(request.fetch);
    }
    EXPECT_STREQ(VerdictName(RequestVerdict::BadChecksum), "bad-checksum");
}

TEST(GameReply, JoinsTheBestFifteenWithPlusForSpaces) {
    EXPECT_EQ(FormatGameReply({}), "!");
    EXPECT_EQ(FormatGameReply({{"Ann Lee", 5230}, {"Bo", -4100}}), "Ann+Lee|5230&Bo|-4100!");

    std::vector<ScoreRecord> twenty;
    for (int i = 0; i < 20; ++i) {
        twenty.push_back({"p" + std::to_string(i), 100 - i});
    }
    std::string reply = FormatGameReply(twenty);
    EXPECT_EQ(std::count(reply.begin(), reply.end(), '&'), 14);
    EXPECT_EQ(reply.substr(reply.size() - 7), "p14|86!");

    // A name that reached the database another way must not break the records.
    EXPECT_EQ(FormatGameReply({{"a&b|c!d+e", 1}}), "a?b?c?d?e|1!");
}

TEST(ScorePage, CountsAndChoosesPages) {
    EXPECT_EQ(PageCount(0), 1);
    EXPECT_EQ(PageCount(1), 1);
    EXPECT_EQ(PageCount(ScoresPerPage), 1);
    EXPECT_EQ(PageCount(ScoresPerPage + 1), 2);

    EXPECT_EQ(RequestedPage("", 3), 1);
    EXPECT_EQ(RequestedPage("page=2", 3), 2);
    EXPECT_EQ(RequestedPage("x=1&page=3", 3), 3);
    EXPECT_EQ(RequestedPage("page=9", 3), 3);
    EXPECT_EQ(RequestedPage("page=0", 3), 1);
    EXPECT_EQ(RequestedPage("page=-2", 3), 1);
    EXPECT_EQ(RequestedPage("page=2x", 3), 1);
    EXPECT_EQ(RequestedPage("page=99999999999999999999", 3), 1);
    EXPECT_EQ(RequestedPage("page=", 3), 1);
}

TEST(ScorePage, EscapesNamesAndLinksNeighbours) {
    EXPECT_EQ(HtmlEscape("<a href=\"x\">&'"), "&lt;a href=&quot;x&quot;&gt;&amp;&#39;");

    ScorePageView view;
    view.rows = {{"<script>alert(1)</script>", 900}, {"Bo & Co", 800}};
    view.page = 2;
    view.pageCount = 3;
    view.total = 102;
    std::string html = RenderScorePage(view);
    EXPECT_EQ(html.find("<script>"), std::string::npos);
    EXPECT_NE(html.find("&lt;script&gt;alert(1)&lt;/script&gt;"), std::string::npos);
    EXPECT_NE(html.find("Bo &amp; Co"), std::string::npos);
    EXPECT_NE(html.find("href=\"/scores?page=1\""), std::string::npos);
    EXPECT_NE(html.find("href=\"/scores?page=3\""), std::string::npos);
    // Ranks go on from the previous page.
    EXPECT_NE(html.find("<td class=\"rank\">51</td>"), std::string::npos);
    EXPECT_NE(html.find("<td class=\"rank\">52</td>"), std::string::npos);

    view.page = 1;
    view.pageCount = 1;
    html = RenderScorePage(view);
    EXPECT_EQ(html.find("href=\"/scores?page="), std::string::npos) << "no neighbours on a single page";

    view.rows.clear();
    view.total = 0;
    EXPECT_NE(RenderScorePage(view).find("No scores yet"), std::string::npos);
}

TEST(ServerOptions, ReadsTheCommandLine) {
    ServerOptions options;
    EXPECT_EQ(ParseServerOptions({}, options), "");
    EXPECT_EQ(options.listen, "127.0.0.1");
    EXPECT_EQ(options.port, 8480);
    EXPECT_EQ(options.database, "quorvel-scores.db");

    EXPECT_EQ(ParseServerOptions({"--listen", "0.0.0.0", "--port", "0", "--db", "/tmp/s.db",
                                  "--max-connections", "8", "--deadline-ms", "250", "--request-limit", "100"},
                                 options),
              "");
    EXPECT_EQ(options.listen, "0.0.0.0");
    EXPECT_EQ(options.port, 0);
    EXPECT_EQ(options.database, "/tmp/s.db");
    EXPECT_EQ(options.maxConnections, 8u);
    EXPECT_EQ(options.deadline.count(), 250);
    EXPECT_EQ(options.requestLimit, 100u);

    ServerOptions fresh;
    EXPECT_NE(ParseServerOptions({"--port", "65536"}, fresh), "");
    EXPECT_NE(ParseServerOptions({"--port", "-1"}, fresh), "");
    EXPECT_NE(ParseServerOptions({"--port"}, fresh), "");
    EXPECT_NE(ParseServerOptions({"--max-connections", "0"}, fresh), "");
    EXPECT_NE(ParseServerOptions({"--verbose"}, fresh), "");
    EXPECT_NE(ParseServerOptions({"--db", ""}, fresh), "");
    EXPECT_EQ(fresh.port, 8480) << "a refused value leaves the default";
    EXPECT_EQ(ParseServerOptions({"--help"}, fresh), "");
    EXPECT_TRUE(fresh.showHelp);
}

}  // namespace
