// The server's pure code and its store, in-process: request reading, the
// game's reply, the web page, the command line.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "server/game_request.h"
#include "server/score_page.h"
#include "server/score_store.h"
#include "server/server_options.h"
#include "tests/server/server_process.h"

namespace {

const std::string Path = "GET /hwendel/quorvel/save.php?";
const std::string Zero(1, '\0');

TEST(ConnectionStart, TellsTheGameLineFromHttp) {
    const struct {
        std::string received;
        ConnectionStart expected;
    } cases[] = {
        {"", ConnectionStart::NeedMore},
        {"GET /hwendel", ConnectionStart::NeedMore},
        {"GET /x?a=1\n", ConnectionStart::NeedMore},  // the zero byte decides
        {"GET /x?a=1\n" + Zero, ConnectionStart::GameLine},
        {"GET /x?a=1\nHost: y\r\n", ConnectionStart::Http},
        {"GET /scores HTTP/1.1\r\n", ConnectionStart::Http},
        {"GET /scores HTTP/1.1\n" + Zero, ConnectionStart::Http},
        {" HTTP/1.1\n" + Zero, ConnectionStart::Http},
        {std::string(64, 'a'), ConnectionStart::TooLong},
        {std::string(63, 'a') + "\n", ConnectionStart::TooLong},
        {std::string(63, 'a'), ConnectionStart::NeedMore},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ClassifyConnectionStart(c.received, 64), c.expected) << c.received;
    }
}

TEST(GameRequest, ReadsEachKindOfLine) {
    const struct {
        std::string line;
        RequestVerdict verdict;
        bool fetch = true;
        std::string name = "";
        int32_t score = 0;
    } cases[] = {
        {SaveLine("Ann+Lee", 5230), RequestVerdict::Accepted, true, "Ann Lee", 5230},
        {SaveLine("unnamed", -17, false), RequestVerdict::Accepted, false, "unnamed", -17},
        {SaveLine("ABCDEFGHIJKLM12", 0), RequestVerdict::Accepted, true, "ABCDEFGHIJKLM12", 0},
        // The checksum is score * 577 in wrapping 32-bit arithmetic.
        {Path + "name=B&score=5000000&checksum=-1409967296", RequestVerdict::Accepted, false, "B", 5000000},
        {Path + "name=M&score=2147483647&checksum=2147483071", RequestVerdict::Accepted, false, "M",
         INT32_MAX},
        {Path + "name=N&score=-2147483648&checksum=-2147483648", RequestVerdict::Accepted, false, "N",
         INT32_MIN},
        {Path + "name=O&score=-1&checksum=-577&fetch=1", RequestVerdict::Accepted, true, "O", -1},
        {Path + "fetch=1&checksum=577&score=1&name=Z", RequestVerdict::Accepted, true, "Z", 1},
        {Path + "name=Big&score=5000000&checksum=2885000000&fetch=1", RequestVerdict::BadChecksum},
        {Path + "name=A&score=2&checksum=1153&fetch=1", RequestVerdict::BadChecksum},
        {Path + "name=A&score=2&checksum=", RequestVerdict::BadChecksum, false},
        {Path + "name=A|B&score=1&checksum=577", RequestVerdict::BadName, false},
        {Path + "name=A&checksum=577&fetch=1", RequestVerdict::MissingField},
        {Path + "score=1&checksum=577&fetch=1", RequestVerdict::MissingField},
        {Path + "name=A&score=1&fetch=1", RequestVerdict::MissingField},
        {SaveLine("A", 1) + "&admin=1", RequestVerdict::Malformed},
        {SaveLine("A", 1) + "&name=B", RequestVerdict::Malformed},
        {SaveLine("A", 1) + "&", RequestVerdict::Malformed},
        {Path, RequestVerdict::Malformed, false},
        {SaveLine("A", 1) + " HTTP/1.0", RequestVerdict::BadFetch, false},
        {SaveLine("A", 1) + "\r", RequestVerdict::BadFetch, false},
        {SaveLine("A", 1, false) + "&fetch=0", RequestVerdict::BadFetch, false},
        // Not a save request: no list either.
        {"POST /hwendel/quorvel/save.php?name=A&score=1&checksum=577&fetch=1",
         RequestVerdict::NotASaveRequest, false},
        {"GET /hwendel/quorvel/save.phpx?name=A&score=1&checksum=577", RequestVerdict::NotASaveRequest,
         false},
        {"GET /hwendel/quorvel/save.php", RequestVerdict::NotASaveRequest, false},
    };
    for (const auto& c : cases) {
        GameRequest request = ParseGameRequest(c.line);
        EXPECT_EQ(request.verdict, c.verdict) << c.line;
        EXPECT_EQ(request.fetch, c.fetch) << c.line;
        EXPECT_EQ(request.name, c.name) << c.line;
        EXPECT_EQ(request.score, c.score) << c.line;
    }
    // A refused name or score still asks for the list.
    for (const char* name :
         {"", "Ann%20Lee", "Ann-Lee", "Ann_Lee", "J\xc3\xa4n", "a<b", "ABCDEFGHIJKLM123"}) {
        GameRequest request = ParseGameRequest(SaveLine(name, 10));
        EXPECT_EQ(request.verdict, RequestVerdict::BadName) << name;
        EXPECT_TRUE(request.fetch && request.name.empty()) << name;
    }
    for (const char* score : {"2147483648", "-2147483649", "99999999999", "12a", "+5", "-0", "007", "", "-",
                              " 5", "1e3", "0x10"}) {
        EXPECT_EQ(ParseGameRequest(Path + "name=A&score=" + score + "&checksum=0&fetch=1").verdict,
                  RequestVerdict::BadScore)
            << score;
    }
    EXPECT_STREQ(VerdictName(RequestVerdict::BadChecksum), "bad-checksum");
}

TEST(GameReply, JoinsTheBestFifteenWithPlusForSpaces) {
    EXPECT_EQ(FormatGameReply({}), "!");
    EXPECT_EQ(FormatGameReply({{"Ann Lee", 5230}, {"Bo", -4100}}), "Ann+Lee|5230&Bo|-4100!");
    // A name that reached the database another way must not break the records.
    EXPECT_EQ(FormatGameReply({{"a&b|c!d+e", 1}}), "a?b?c?d?e|1!");
    std::vector<StoredScore> twenty;
    for (int i = 0; i < 20; ++i) {
        twenty.push_back({"p" + std::to_string(i), 100 - i, i});
    }
    std::string reply = FormatGameReply(twenty);
    EXPECT_EQ(std::count(reply.begin(), reply.end(), '&'), 14);
    EXPECT_EQ(reply.substr(reply.size() - 8), "&p14|86!");
}

TEST(ScorePage, CountsAndChoosesPages) {
    EXPECT_EQ(PageCount(0), 1);
    EXPECT_EQ(PageCount(ScoresPerPage), 1);
    EXPECT_EQ(PageCount(ScoresPerPage + 1), 2);
}

TEST(ScorePage, EscapesNamesAndLinksNeighbours) {
    EXPECT_EQ(HtmlEscape("<a href=\"x\">&'b"), "&lt;a href=&quot;x&quot;&gt;&amp;&#39;b");
    ScorePageView view{{{"<script>alert(1)</script>", 900}, {"Bo & Co", 800}}, 2, 3, 102};
    std::string html = RenderScorePage(view);
    EXPECT_EQ(html.find("<script>"), std::string::npos);
    for (const char* part : {"&lt;script&gt;alert(1)&lt;/script&gt;", "Bo &amp; Co", "102 scores",
                             "href=\"/scores?page=1\"", "href=\"/scores?page=3\"",
                             // ranks go on from the previous page
                             "<td class=\"rank\">51</td>", "<td class=\"rank\">52</td>"}) {
        EXPECT_NE(html.find(part), std::string::npos) << part;
    }
    view = {{{"Solo", 1}}, 1, 1, 1};
    html = RenderScorePage(view);
    EXPECT_NE(html.find("1 score &middot; page 1 of 1"), std::string::npos);
    EXPECT_EQ(html.find("href=\"/scores?page="), std::string::npos) << "no neighbours on a single page";
    EXPECT_NE(RenderScorePage({{}, 1, 1, 0}).find("No scores yet"), std::string::npos);
}

// Every field of the options on one line, so that a case compares them all.
std::string Describe(const ServerOptions& o) {
    return o.listen + " " + std::to_string(o.port) + " " + o.database + " " +
           std::to_string(o.maxConnections) + " " + std::to_string(o.deadline.count()) + " " +
           std::to_string(o.requestLimit) + (o.showHelp ? " help" : "");
}

TEST(ServerOptions, ReadsTheCommandLine) {
    const std::string defaults = "127.0.0.1 8480 quorvel-scores.db 256 5000 8192";
    const std::pair<std::vector<std::string>, std::string> cases[] = {
        {{}, defaults},
        {{"--listen", "0.0.0.0", "--port", "0", "--db", "/tmp/s.db", "--max-connections", "8",
          "--deadline-ms", "250", "--request-limit", "100"},
         "0.0.0.0 0 /tmp/s.db 8 250 100"},
        {{"--help"}, defaults + " help"},
        {{"--port", "65535", "-h"}, "127.0.0.1 65535 quorvel-scores.db 256 5000 8192 help"},
        // A refused value leaves the default.
        {{"--port", "65536"}, "refused " + defaults},
        {{"--port", "-1"}, "refused " + defaults},
        {{"--port"}, "refused " + defaults},
        {{"--max-connections", "0"}, "refused " + defaults},
        {{"--deadline-ms", "9x"}, "refused " + defaults},
        {{"--verbose"}, "refused " + defaults},
        {{"--db", ""}, "refused " + defaults},
        {{"--listen", ""}, "refused " + defaults},
    };
    for (const auto& [arguments, expected] : cases) {
        ServerOptions options;
        std::string error = ParseServerOptions(arguments, options);
        EXPECT_EQ((error.empty() ? "" : "refused ") + Describe(options), expected) << error;
    }
}

// "name score" of each record, joined by "|".
std::string Joined(const std::vector<StoredScore>& records) {
    std::string text;
    for (const StoredScore& record : records) {
        text += (text.empty() ? "" : "|") + record.name + " " + std::to_string(record.score);
    }
    return text;
}

// The store tests run on both back ends: each case gets a fresh database of
// its own, an SQLite file or a database on the tests' PostgreSQL server (the
// postgres fixture of ctest, tests/server/postgres.sh).
struct Backend {
    std::string name;
    std::string (*fresh)(const std::string& name);
};
void PrintTo(const Backend& backend, std::ostream* out) {
    *out << backend.name;
}

std::string FreshSqlite(const std::string& name) {
    std::filesystem::remove_all(name);
    std::filesystem::create_directory(name);
    return name + "/scores.db";
}

std::string FreshPostgres(const std::string& name) {
    const char* server = std::getenv("QUORVEL_TEST_POSTGRES");  // from ctest's postgres fixture
    std::string create =
        std::string("bash " POSTGRES_HELPER " database ") + (server ? server : "-") + " " + name;
    if (server == nullptr || std::system((create + " >/dev/null").c_str()) != 0) {
        throw std::runtime_error("no PostgreSQL for the tests: run them through ctest");
    }
    return "postgresql://quorvel@/" + name + "?host=" + server;
}

class ScoreStores : public ::testing::TestWithParam<Backend> {};

TEST_P(ScoreStores, RankByScoreThenArrivalAndKeepScores) {
    const std::string database = GetParam().fresh("ranking");
    {
        std::unique_ptr<ScoreStore> store = OpenScoreStore(database);
        EXPECT_EQ(Joined(store->Best(std::nullopt, 15)), "");
        for (auto [name, score] : std::vector<std::pair<std::string, int32_t>>{
                 {"first", 500}, {"low", INT32_MIN}, {"second", 500}, {"top", INT32_MAX}, {"third", 500}}) {
            store->AddAll({{name, score}});
        }
        store->AddAll({{"x'); DROP TABLE scores; --", -3}});  // data, never SQL text
        EXPECT_TRUE(GetParam().name != "SQLite" || std::filesystem::exists(database + "-wal"))
            << "write-ahead log";
    }
    std::unique_ptr<ScoreStore> again = OpenScoreStore(database);
    EXPECT_EQ(again->Count(), 6);
    std::vector<StoredScore> all = again->Best(std::nullopt, 15);
    EXPECT_EQ(Joined(all),
              "top 2147483647|first 500|second 500|third 500|x'); DROP TABLE scores; -- -3|low -2147483648");
    EXPECT_EQ(Joined(again->Best(all[1].Key(), 2)), "second 500|third 500");
    EXPECT_EQ(Joined(again->Above(all[4].Key(), 2)), "second 500|third 500");
    EXPECT_EQ(Joined(again->Best(all[5].Key(), 10)), "");
}

// Instances starting at once each create the tables if missing; one stores a
// batch larger than one statement takes.
TEST_P(ScoreStores, OpenOnAFreshDatabaseAllAtOnce) {
    const std::string database = GetParam().fresh("at_once");
    std::vector<std::thread> starts;
    for (int i = 0; i < 6; ++i) {
        starts.emplace_back([&, i] {
            std::vector<ScoreRecord> batch(i == 0 ? 2500 : 1, {"s" + std::to_string(i), i});
            EXPECT_NO_THROW(OpenScoreStore(database)->AddAll(batch));
        });
    }
    for (std::thread& start : starts) {
        start.join();
    }
    EXPECT_EQ(OpenScoreStore(database)->Count(), 2505);
    EXPECT_EQ(OpenScoreStore(database)->Best(std::nullopt, 3000).size(), 2505u);
}

INSTANTIATE_TEST_SUITE_P(Backends, ScoreStores,
                         ::testing::Values(Backend{"SQLite", FreshSqlite},
                                           Backend{"PostgreSQL", FreshPostgres}),
                         [](const auto& backend) { return backend.param.name; });

TEST(ScoreStore, RefusesADatabaseItCannotUse) {
    const std::string postgres = FreshPostgres("refusing"), server = postgres.substr(postgres.find('?'));
    std::string pgpass;
    std::getline(std::ifstream(std::getenv("PGPASSFILE")), pgpass);
    std::ofstream("text.db") << "this is not a database, just some words that fill the header page\n";
    for (const std::string& database :
         {std::string("no/such/folder/scores.db"), std::string("text.db"),
          "postgresql://quorvel@/refusing_not_there" + server,
          // The right password, but on the command line.
          "postgresql://quorvel:" + pgpass.substr(pgpass.rfind(':') + 1) + "@/refusing" + server}) {
        EXPECT_THROW(OpenScoreStore(database), std::runtime_error) << database;
    }
}

// A lost connection is opened again: the next batch is stored.
TEST(ScoreStore, StoresAgainAfterTheConnectionToPostgresqlBroke) {
    const std::string database = FreshPostgres("reconnect");
    std::unique_ptr<ScoreStore> store = OpenScoreStore(database);
    store->AddAll({{"before", 1}});
    std::string psql = "psql -qAtX '" + database +
                       "' -c 'SELECT pg_terminate_backend(pid) FROM pg_stat_activity" +
                       " WHERE datname = current_database() AND pid <> pg_backend_pid()' >/dev/null";
    ASSERT_EQ(std::system(psql.c_str()), 0);
    store->AddAll({{"after", 2}});
    EXPECT_EQ(Joined(store->Best(std::nullopt, 15)), "after 2|before 1");
}

}  // namespace
