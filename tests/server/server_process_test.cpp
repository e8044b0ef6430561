// The real quorvel-scores process: what only a running server shows (its
// wiring of requests to replies and pages, the socket, deadlines, the
// connection limits, signals, a SIGKILL). What a request or a page says in
// detail is checked in-process by server_logic_test.cpp.
#include "tests/server/server_process.h"

#include "server/score_boards.h"
#include "server/score_store.h"

#include <gtest/gtest.h>
#include <libpq-fe.h>
#include <nlohmann/json.hpp>
#include <signal.h>
#include <sqlite3.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <regex>
#include <set>
#include <string>
#include <thread>
#include <vector>

using namespace std::chrono_literals;

namespace {

const std::string Zero(1, '\0');
// A game's request that only asks for the list: its checksum is refused.
const std::string FetchOnly = "GET /hwendel/quorvel/save.php?name=X&score=1&checksum=2&fetch=1";

// Every test gets its own database, in a folder named after it (kept for a
// look after a failure), and its own server on a free port.
class ScoreServer : public ::testing::Test {
  protected:
    ScoreServer() {
        std::filesystem::remove_all(folder);
        std::filesystem::create_directory(folder);
    }
    uint16_t Start(std::vector<std::string> extra = {}) {
        extra.insert(extra.begin(), {"--db", Database()});
        server = std::make_unique<ServerProcess>(folder + "/server.log", extra);
        return server->Port();
    }
    std::string Database() const { return folder + "/scores.db"; }
    std::vector<StoredScore> Stored() const { return OpenScoreStore(Database())->Best(std::nullopt, 1000); }

    const std::string folder = ::testing::UnitTest::GetInstance()->current_test_info()->name();
    std::unique_ptr<ServerProcess> server;
};

// True when the server closes the connection within `limit` without sending a byte.
bool ClosedWithoutData(Connection& connection, std::chrono::milliseconds limit) {
    bool closed = false;
    return connection.Read(limit, &closed).empty() && closed;
}

TEST_F(ScoreServer, AnswersTheGameAndStoresOnlyGoodScores) {
    uint16_t port = Start();
    OpenScoreStore(Database())->Ban("Banned");
    const std::string path = "GET /hwendel/quorvel/save.php?";
    const std::string list = "Ann+Lee|5230&Cy|5230&Bo|4100!";
    const struct {
        std::string line, reply;
    } exchanges[] = {
        {SaveLine("Ann+Lee", 5230), "Ann+Lee|5230!"},
        {SaveLine("Bo", 4100, false), "!"},                      // no list without fetch=1
        {SaveLine("Cy", 5230), list},                            // a tie: the earlier first
        {path + "name=Cheat&score=9&checksum=1&fetch=1", list},  // refused, but the game still shows the list
        {"GET /elsewhere?fetch=1", "!"},                         // not a save request: nothing to show
        {SaveLine("Neg", -5), list},                             // no game ends below zero
        {SaveLine("Banned", 9000), list},
    };
    for (const auto& exchange : exchanges) {
        EXPECT_EQ(GameExchange(port, exchange.line), exchange.reply) << exchange.line;
    }
    EXPECT_EQ(Stored().size(), 3u);
    // One log line per request: time, peer, kind, result.
    std::regex stored(
        R"((^|\n)\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}Z 127\.0\.0\.1:\d+ game stored name=Ann\+Lee score=5230 reply=list\n)");
    EXPECT_TRUE(std::regex_search(server->Log(), stored)) << server->Log();
    EXPECT_NE(server->Log().find(" game rejected bad-checksum reply=list\n"), std::string::npos);
    EXPECT_NE(server->Log().find(" game rejected implausible reply=list\n"), std::string::npos);
    EXPECT_NE(server->Log().find(" game rejected banned reply=list\n"), std::string::npos);
    // The operator finds both, the implausible one kept by the writer after its reply.
    std::vector<RefusedScore> refused;
    for (auto until = std::chrono::steady_clock::now() + 5s;
         refused.size() < 2 && std::chrono::steady_clock::now() < until;) {
        refused = OpenScoreStore(Database())->LatestRefused(5);
    }
    ASSERT_EQ(refused.size(), 2u);
    std::set<std::string> kept;
    for (const RefusedScore& line : refused) {
        kept.insert(line.address.substr(0, 10) + " " + line.name + " " + std::to_string(line.score) + " " +
                    line.reason);
    }
    EXPECT_EQ(kept,
              (std::set<std::string>{"127.0.0.1: Neg -5 implausible", "127.0.0.1: Banned 9000 banned"}));
}

// A score the database refuses is not acknowledged: the game sees the
// connection close. The next one is stored as usual.
TEST_F(ScoreServer, AcknowledgesNoScoreTheDatabaseRefused) {
    uint16_t port = Start();
    sqlite3* db = nullptr;
    sqlite3_open(Database().c_str(), &db);
    ASSERT_EQ(sqlite3_exec(db,
                           "CREATE TRIGGER refuse BEFORE INSERT ON scores WHEN NEW.score = 13"
                           " BEGIN SELECT RAISE(ABORT, 'disk full'); END",
                           nullptr, nullptr, nullptr),
              SQLITE_OK);
    sqlite3_close(db);
    EXPECT_EQ(GameExchange(port, SaveLine("Bad", 13)), "");
    EXPECT_EQ(Exchange(port, Get("/healthz")).rfind("HTTP/1.1 503", 0), 0u) << "until a store works again";
    EXPECT_EQ(GameExchange(port, SaveLine("Good", 14)), "Good|14!");
    EXPECT_EQ(Exchange(port, Get("/healthz")).rfind("HTTP/1.1 200", 0), 0u);
    EXPECT_NE(server->Log().find(" game store-failed "), std::string::npos) << server->Log();
}

TEST_F(ScoreServer, ServesPagesAndRefusesOversizeRequests) {
    std::vector<ScoreRecord> scores;
    for (int i = 0; i < 120; ++i) {
        scores.push_back({"player" + std::to_string(i), 1000 + i});
    }
    OpenScoreStore(Database())->AddAll(scores);
    uint16_t port = Start({"--request-limit", "1024"});
    const struct {
        std::string request, status, present, absent;
    } cases[] = {
        {Get("/scores"), "200 OK", "Content-Type: text/html; charset=utf-8", "rel=\"prev\""},
        {Get("/scores?page=2&after=1070.71"), "200 OK", ">player69<", ">player70<"},
        {Get("/"), "302 Found", "Location: /scores", ""},
        {Get("/nothing"), "404 Not Found", "X-Content-Type-Options: nosniff", ""},
        {"POST /scores HTTP/1.1\r\nHost: x\r\nContent-Length: 0\r\nConnection: close\r\n\r\n", "405",
         "Allow: GET, HEAD", ""},
        {"HEAD /scores HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n", "200 OK",
         "Content-Security-Policy: default-src 'none'; style-src 'unsafe-inline'", "<html"},
        // Kept alive after the first request, so the second is answered too.
        {"GET /scores HTTP/1.1\r\nHost: x\r\n\r\n" + Get("/healthz"), "200 OK", "\r\n\r\nok\n", ""},
        {"GET /" + std::string(2000, 'a'), "414", "The request is too long.", ""},
        {"GET /scores HTTP/1.1\r\nHost: x\r\nX-Filler: " + std::string(2000, 'b') + "\r\n\r\n", "431", "",
         ""},
        {SaveLine(std::string(1500, 'A'), 5) + "\n" + Zero, "414", "", ""},
    };
    for (const auto& c : cases) {
        std::string reply = Exchange(port, c.request);
        EXPECT_EQ(reply.rfind("HTTP/1.1 " + c.status, 0), 0u) << c.request.substr(0, 40) << "\n" << reply;
        EXPECT_NE(reply.find(c.present), std::string::npos) << c.present;
        EXPECT_TRUE(c.absent.empty() || reply.find(c.absent) == std::string::npos) << c.absent;
    }
    EXPECT_NE(server->Log().find(" http GET /scores?page=2&after=1070.71 200\n"), std::string::npos);
    // A database that no longer answers (here: its file gone) makes the health check fail.
    std::filesystem::rename(Database(), Database() + ".away");
    EXPECT_EQ(Exchange(port, Get("/healthz")).rfind("HTTP/1.1 503", 0), 0u);
    std::filesystem::rename(Database() + ".away", Database());
    EXPECT_EQ(Exchange(port, Get("/healthz")).rfind("HTTP/1.1 200", 0), 0u);
    EXPECT_EQ(Stored().size(), 120u);
    // Deleted under the server: nothing is acknowledged into a file no one can read.
    std::filesystem::remove(Database());
    EXPECT_EQ(Exchange(port, Get("/healthz")).rfind("HTTP/1.1 503", 0), 0u);
    EXPECT_EQ(GameExchange(port, SaveLine("Lost", 1)), "");
}

TEST_F(ScoreServer, LetsEveryBadOrSlowClientGo) {
    uint16_t port = Start({"--deadline-ms", "600"});
    const struct {
        std::string bytes;
        std::string reply;  // empty: closed at the deadline unanswered (the default deadline is 5 s)
    } clients[] = {
        {"", ""},
        {"GET /hwendel/quorvel/save.php?name=Slow", ""},
        {"GET /scores HTTP/1.1\r\nHost: x\r\n", ""},
        {SaveLine("NoZero", 5) + "\n", ""},
        {std::string("\0\0\0\0\n\0", 6), "!"},
        {"GET /scores HTTP/9.9\r\n\r\n", "HTTP/1.1 400 Bad Request\r\n"},
        {"GET /scores HTTP/1.1\r\nTransfer-Encoding: chunked\r\n\r\nzz\r\n", "HTTP/1.1 400 Bad Request\r\n"},
        {SaveLine("A", 1) + "\n" + Zero + "trailing junk", "A|1!"},  // the request before the junk is kept
    };
    std::vector<Connection> connections;
    for (const auto& client : clients) {
        connections.emplace_back(port);
        connections.back().Send(client.bytes);
    }
    Connection(port).Send("GET /scores HTTP/1.1\r\n");  // gone in the middle of a request
    for (std::size_t i = 0; i < connections.size(); ++i) {
        bool closed = false;
        std::string reply = connections[i].Read(4s, &closed);
        EXPECT_TRUE(closed) << clients[i].bytes;
        EXPECT_EQ(reply.substr(0, clients[i].reply.size()), clients[i].reply) << clients[i].bytes;
        EXPECT_EQ(reply.empty(), clients[i].reply.empty()) << clients[i].bytes;
    }

    // The deadline is for the whole request, not for each read.
    Connection dribble(port);
    std::string request = SaveLine("Dribble", 5) + "\n" + Zero;
    bool cut = false;
    for (std::size_t i = 0; i < request.size() && !cut; ++i) {
        cut = !dribble.Send(request.substr(i, 1));
        std::this_thread::sleep_for(40ms);
    }
    EXPECT_TRUE(cut || ClosedWithoutData(dribble, 5s));
    EXPECT_EQ(GameExchange(port, SaveLine("Quick", 9)), "Quick|9&A|1!");
    // Logged just after the close the client saw, long before the dribble ended.
    EXPECT_NE(server->Log().find("timeout incomplete request dropped"), std::string::npos);
}

TEST_F(ScoreServer, ClosesConnectionsBeyondTheLimitAtOnce) {
    uint16_t port = Start({"--max-connections", "4", "--deadline-ms", "4000"});
    std::vector<Connection> held;
    for (int i = 0; i < 4; ++i) {
        held.emplace_back(port);
    }
    std::this_thread::sleep_for(200ms);  // let the server accept and count the four
    Connection extra(port);
    extra.Send(SaveLine("Extra", 1) + "\n" + Zero);
    EXPECT_TRUE(ClosedWithoutData(extra, 2s));
    EXPECT_NE(server->Log().find("refused connection-limit"), std::string::npos);

    // The held ones are still served, and a freed place is taken again.
    held[0].Send(SaveLine("Held", 2) + "\n" + Zero);
    EXPECT_EQ(held[0].Read(3s), "Held|2!");
    held[0].Close();
    std::this_thread::sleep_for(200ms);
    EXPECT_EQ(GameExchange(port, SaveLine("Later", 1)), "Held|2&Later|1!");
}

// One address taking every connection it can, or sending score after score,
// locks nobody else out.
TEST_F(ScoreServer, ServesAnotherAddressWhileOneHoldsItsShare) {
    uint16_t port = Start({"--scores-per-minute", "2", "--deadline-ms", "30000"});
    std::vector<Connection> idle;
    for (int i = 0; i < 300; ++i) {
        idle.emplace_back(port);  // more than the 256 served at once in all
    }
    const char* other = "127.0.0.2";
    EXPECT_EQ(GameExchange(port, SaveLine("Bo", 7), other), "Bo|7!");
    EXPECT_EQ(GameExchange(port, SaveLine("Cy", 7), other), "Bo|7&Cy|7!");
    EXPECT_EQ(GameExchange(port, SaveLine("Di", 7), other), "Bo|7&Cy|7!");  // the third in a minute
    EXPECT_EQ(Exchange(port, Get("/scores"), other).rfind("HTTP/1.1 200", 0), 0u);
    EXPECT_NE(server->Log().find("refused address-connection-limit"), std::string::npos);
    EXPECT_NE(server->Log().find("game rejected too-many-scores reply=list"), std::string::npos);
}

TEST_F(ScoreServer, StopsCleanlyOnSigtermSigintAndSighup) {
    for (int signal : {SIGTERM, SIGINT, SIGHUP}) {
        uint16_t port = Start();
        ASSERT_EQ(GameExchange(port, SaveLine("Before", signal, false)), "!");
        Connection waiting(port);
        waiting.Send("GET /hwendel/quorvel/save.php?name=Part");
        std::this_thread::sleep_for(100ms);  // let the server start reading it
        server->Signal(signal);
        // Long before the 5 s read deadline: the unfinished request is dropped.
        EXPECT_EQ(server->WaitForExit(3s), 0) << signal;
        EXPECT_TRUE(ClosedWithoutData(waiting, 1s));
        EXPECT_NE(server->Log().find("stopped, database closed"), std::string::npos);
        EXPECT_FALSE(std::filesystem::exists(Database() + "-wal")) << "closing checkpoints the log";
        EXPECT_FALSE(Connection(port).Send("x")) << "no longer listening";
    }
    EXPECT_EQ(Stored().size(), 3u);
}

// A stop waits for a commit only so long: here another process holds the
// database's lock, and the writer would wait five seconds for it.
TEST_F(ScoreServer, AbandonsAStuckCommitToStopInTime) {
    uint16_t port = Start();
    sqlite3* db = nullptr;
    sqlite3_open(Database().c_str(), &db);
    ASSERT_EQ(sqlite3_exec(db, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
    Connection game(port);
    game.Send(SaveLine("Held", 1) + "\n" + Zero);
    std::this_thread::sleep_for(200ms);
    auto start = std::chrono::steady_clock::now();
    server->Signal(SIGTERM);
    EXPECT_EQ(server->WaitForExit(3s), 0);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 2s);
    EXPECT_TRUE(ClosedWithoutData(game, 1s)) << "never acknowledged";
    EXPECT_NE(server->Log().find("stop abandoned: the database did not answer within 1500 ms; 1 score(s)"),
              std::string::npos)
        << server->Log();
    sqlite3_close(db);
}

// Eight addresses holding every place with idle keep-alive connections do
// not keep a ninth from storing.
TEST_F(ScoreServer, MakesRoomForAnotherAddressAtTheLimit) {
    uint16_t port = Start();
    std::vector<Connection> held;
    for (int address = 2; address <= 9; ++address) {
        for (int i = 0; i < 32; ++i) {
            held.emplace_back(port, ("127.0.0." + std::to_string(address)).c_str());
            held.back().Send("GET /healthz HTTP/1.1\r\nHost: x\r\n\r\n");
        }
    }
    std::this_thread::sleep_for(500ms);  // every one answered and idle again
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(GameExchange(port, SaveLine("Ninth", 9), "127.0.0.10"), "Ninth|9!");
    EXPECT_LT(std::chrono::steady_clock::now() - start, 1s);
    EXPECT_NE(server->Log().find("closed idle, to make room for another address"), std::string::npos);
}

// Milliseconds since `start`.
long Since(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start)
        .count();
}

// A list answered from memory is never older than the last commit that
// returned, by another instance or by the operator's commands: on SQLite in
// the next reply, on PostgreSQL once the commit's notification has come.
TEST_F(ScoreServer, ListsEveryInstancesCommitInTheNextReply) {
    for (const std::string& database : {Database(), FreshPostgres("lists")}) {
        uint16_t port = Start({"--db", database});
        ServerProcess other(folder + "/other.log", {"--db", database});
        const bool notified = database != Database();
        auto fetched = [&](uint16_t from, const std::string& expected) {
            std::string reply = GameExchange(from, FetchOnly);
            for (auto until = std::chrono::steady_clock::now() + 5s;
                 notified && reply != expected && std::chrono::steady_clock::now() < until;) {
                std::this_thread::sleep_for(1ms);
                reply = GameExchange(from, FetchOnly);
            }
            return reply;
        };
        ASSERT_EQ(GameExchange(port, SaveLine("Ann", 5)), "Ann|5!");
        EXPECT_EQ(GameExchange(port, FetchOnly), "Ann|5!");
        EXPECT_EQ(GameExchange(port, FetchOnly), "Ann|5!");
        ASSERT_EQ(GameExchange(other.Port(), SaveLine("Bo", 6)), "Bo|6&Ann|5!");
        EXPECT_EQ(fetched(port, "Bo|6&Ann|5!"), "Bo|6&Ann|5!") << database;
        EXPECT_EQ(GameExchange(other.Port(), FetchOnly), "Bo|6&Ann|5!");
        EXPECT_TRUE(OpenScoreStore(database)->Ban("Bo"));
        for (uint16_t each : {port, other.Port()}) {
            EXPECT_EQ(fetched(each, "Ann|5!"), "Ann|5!") << database;
        }
    }
}

// A database that stops answering freezes nothing: what needs it answers
// without it in time, what does not answers at once, a stop ends in time,
// and all works again once the database is back.
TEST_F(ScoreServer, AnswersWhilePostgresIsStopped) {
    // The servers started here keep the database's default bound on each call.
    struct DefaultBound {
        std::string kept = std::getenv("QUORVEL_DB_DEADLINE_MS") ? std::getenv("QUORVEL_DB_DEADLINE_MS") : "";
        DefaultBound() { unsetenv("QUORVEL_DB_DEADLINE_MS"); }
        ~DefaultBound() { setenv("QUORVEL_DB_DEADLINE_MS", kept.c_str(), 1); }
    } defaultBound;
    const std::string database = FreshPostgres("frozen");
    uint16_t port = Start({"--db", database});
    ASSERT_EQ(GameExchange(port, SaveLine("Before", 5)), "Before|5!");
    ServerProcess other(folder + "/other.log", {"--db", database});
    // Another instance's score shows in this one's next list.
    ASSERT_EQ(GameExchange(other.Port(), SaveLine("Other", 6)), "Other|6&Before|5!");
    EXPECT_EQ(GameExchange(port, FetchOnly), "Other|6&Before|5!");
    {
        FrozenPostgres frozen;
        Connection game(port);
        game.Send(SaveLine("During", 6) + "\n" + Zero);
        auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(Exchange(port, Get("/healthz")).rfind("HTTP/1.1 503", 0), 0u);
        EXPECT_LT(Since(start), 1000);
        start = std::chrono::steady_clock::now();
        EXPECT_EQ(Exchange(port, Get("/nothing")).rfind("HTTP/1.1 404", 0), 0u);
        EXPECT_LT(Since(start), 500) << "no wait for the database";
        EXPECT_EQ(Exchange(port, Get("/scores")).rfind("HTTP/1.1 503", 0), 0u);
        EXPECT_NE(Exchange(port, Get("/api/scores")).find("\r\n\r\n{\"error\":"), std::string::npos);
        bool closed = false;
        game.Read(10s, &closed);
        EXPECT_TRUE(closed) << "the game's exchange ends within its own bound";
    }
    // The server is not restarted: its connections come back with the database.
    std::string reply;
    for (auto until = std::chrono::steady_clock::now() + 10s;
         reply.find("After|7") == std::string::npos && std::chrono::steady_clock::now() < until;) {
        reply = GameExchange(port, SaveLine("After", 7));
    }
    EXPECT_NE(reply.find("After|7"), std::string::npos) << reply;
    EXPECT_EQ(Exchange(port, Get("/healthz")).rfind("HTTP/1.1 200", 0), 0u);
    EXPECT_EQ(Exchange(port, Get("/scores")).rfind("HTTP/1.1 200", 0), 0u);

    // A stop does not wait for a database that does not answer; a second signal does not wait at all.
    FrozenPostgres frozen;
    for (uint16_t held : {port, other.Port()}) {
        Connection(held).Send(SaveLine("Stuck", 8) + "\n" + Zero);
    }
    std::this_thread::sleep_for(200ms);
    auto start = std::chrono::steady_clock::now();
    server->Signal(SIGTERM);
    other.Signal(SIGTERM);
    std::this_thread::sleep_for(50ms);
    other.Signal(SIGTERM);
    EXPECT_EQ(other.WaitForExit(500ms), 128 + SIGTERM);
    EXPECT_EQ(server->WaitForExit(2s), 0);
    EXPECT_LT(Since(start), 2000);
}

// Runs `sql` on either back end, as an operator's tool would.
void RunSql(const std::string& database, const std::string& sql) {
    if (database.rfind("postgresql:", 0) == 0) {
        PGconn* connection = PQconnectdb(database.c_str());
        PGresult* result = PQexec(connection, sql.c_str());
        EXPECT_EQ(PQresultStatus(result), PGRES_COMMAND_OK) << PQerrorMessage(connection);
        PQclear(result);
        PQfinish(connection);
        return;
    }
    sqlite3* db = nullptr;
    sqlite3_open(database.c_str(), &db);
    EXPECT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK) << sqlite3_errmsg(db);
    sqlite3_close(db);
}

std::string Body(const std::string& reply) {
    std::size_t end = reply.find("\r\n\r\n");
    return end == std::string::npos ? "" : reply.substr(end + 4);
}

// The three boards on both back ends, through the API page by page to the
// end and through the page, with equal scores sharing a rank.
TEST_F(ScoreServer, ServesEachBoardAsPageAndJson) {
    auto now = std::chrono::system_clock::now();
    const std::string weekStart = BoardRange(ScoreBoard::Week, now)->from;
    // On a Monday the week began today.
    const bool monday = weekStart == BoardRange(ScoreBoard::Day, now)->from;
    const std::string week = "1 Wk 900|2 Ann 800|2 Bo 800|2 Cy 800|5 Di 700";
    const std::pair<std::string, std::string> boards[] = {
        {"all", "1 Old 950|2 Wk 900|3 Ann 800|3 Bo 800|3 Cy 800|6 Di 700"},
        {"week", week},
        {"day", monday ? week : "1 Ann 800|1 Bo 800|1 Cy 800|4 Di 700"},
    };
    for (const std::string& database : {Database(), FreshPostgres("boards")}) {
        std::unique_ptr<ScoreStore> store = OpenScoreStore(database);
        store->AddAll(
            {{"Old", 950}, {"Wk", 900}, {"Ann", 800}, {"Bo", 800}, {"Cy", 800}, {"Di", 700}, {"Hid", 990}});
        RunSql(database, "UPDATE scores SET received = '2020-01-01T00:00:00.000Z' WHERE name = 'Old'");
        RunSql(database, "UPDATE scores SET received = '" + weekStart + "' WHERE name = 'Wk'");
        for (const ListedScore& listed : store->List(false, 10)) {
            store->SetHidden(listed.id, listed.name == "Hid");
        }
        // What is checked is what the pages say: room for a machine busy with other builds.
        uint16_t port = Start({"--db", database, "--read-deadline-ms", "5000"});
        for (const auto& [board, expected] : boards) {
            std::string first = "/api/scores?board=" + board + "&limit=2", target = first, seen;
            for (int page = 0; page < 5 && !target.empty(); ++page) {
                std::string reply = Exchange(port, Get(target));
                EXPECT_NE(reply.find("\r\nContent-Type: application/json\r\n"), std::string::npos) << reply;
                EXPECT_NE(reply.find("\r\nAccess-Control-Allow-Origin: *\r\n"), std::string::npos);
                nlohmann::json json = nlohmann::json::parse(Body(reply), nullptr, false);
                ASSERT_TRUE(json.is_object()) << reply;
                EXPECT_EQ(json["board"], board);
                EXPECT_EQ(json["total"], std::count(expected.begin(), expected.end(), '|') + 1);
                for (const nlohmann::json& score : json["scores"]) {
                    seen += (seen.empty() ? "" : "|") + std::to_string(score["rank"].get<int>()) + " " +
                            score["name"].get<std::string>() + " " +
                            std::to_string(score["score"].get<int>());
                    std::string time = score["time"];
                    EXPECT_EQ(time, score["name"] == "Old"  ? "2020-01-01T00:00:00.000Z"
                                    : score["name"] == "Wk" ? weekStart
                                                            : time);
                    EXPECT_TRUE(
                        std::regex_match(time, std::regex(R"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}Z)")));
                }
                target = json["next"].is_null() ? "" : first + "&after=" + json["next"].get<std::string>();
            }
            EXPECT_EQ(seen, expected) << database;
            EXPECT_TRUE(target.empty()) << "no end to the " << board << " board";
        }
        const struct {
            std::string request, status, present;
        } cases[] = {
            {Get("/api/scores?board=year"), "400", "{\"error\":\"board must be all, week or day\"}"},
            {Get("/api/scores?limit=101"), "400", "Access-Control-Allow-Origin: *"},
            {"HEAD /api/scores HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n", "200",
             "Content-Type: application/json\r\n"},
            {Get("/scores?board=week"), "200",
             "<a href=\"/scores?board=week\" aria-current=\"page\">This week</a>"},
            {Get("/scores?board=day"), "200",
             "<title id=\"histogram-title\">How the scores lie: Today</title>"},
            {Get("/scores"), "200",
             "<td class=\"rank\">3</td><td class=\"name\">Bo</td><td class=\"score\">800</td><td "
             "class=\"date\"><time datetime=\""},
            {Get("/scores"), "200",
             "<time datetime=\"2020-01-01T00:00:00.000Z\" title=\"2020-01-01 00:00:00 "
             "UTC\">2020-01-01</time>"},
        };
        for (const auto& c : cases) {
            std::string reply = Exchange(port, c.request);
            EXPECT_EQ(reply.rfind("HTTP/1.1 " + c.status, 0), 0u) << c.request << reply.substr(0, 300);
            EXPECT_NE(reply.find(c.present), std::string::npos) << c.present;
        }
        EXPECT_EQ(Body(Exchange(port, "HEAD /api/scores HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n")),
                  "");
    }
}

// The page as a browser draws it: in the DOM headless Chromium built from
// it, each bar of the histogram stands as tall as its count says.
TEST_F(ScoreServer, DrawsTheHistogramInABrowser) {
    const std::vector<int32_t> scores = {50, 120, 150, 180, 420, 450, 460, 470, 480, 999, 1200, 1200};
    std::vector<ScoreRecord> records;
    std::map<int, int64_t> expected;  // 13 buckets of 100 points each, from 0 to 1299
    for (int32_t score : scores) {
        records.push_back({"p" + std::to_string(score), score});
        ++expected[score / 100];
    }
    OpenScoreStore(Database())->AddAll(records);
    uint16_t port = Start();
    std::string command =
        "timeout 60 chromium --headless --no-sandbox --disable-gpu --disable-quic "
        "--no-first-run --disable-background-networking --disable-component-update "
        "--disable-sync --user-data-dir=" +
        std::filesystem::absolute(folder).string() +
        "/chromium --dump-dom http://127.0.0.1:" + std::to_string(port) + "/scores 2>/dev/null";
    std::string dom;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char chunk[4096];
        for (std::size_t read; (read = fread(chunk, 1, sizeof chunk, pipe)) > 0;) {
            dom.append(chunk, read);
        }
        EXPECT_EQ(pclose(pipe), 0) << "chromium failed";
    }
    std::regex bar(
        R"re(<rect class="bar" [^>]*height="([0-9.]+)"[^>]*><title>(\d+)(?: to \d+)?: (\d+) scores?</title>)re");
    std::map<int, std::pair<double, int64_t>> bars;  // height and count, by bucket
    for (std::sregex_iterator it(dom.begin(), dom.end(), bar), end; it != end; ++it) {
        bars[std::stoi((*it)[2]) / 100] = {std::stod((*it)[1]), std::stoll((*it)[3])};
    }
    ASSERT_EQ(bars.size(), 13u) << dom.substr(0, 2000);
    double tallest = bars[4].first;  // five scores from 400 to 499
    EXPECT_GT(tallest, 50);
    for (const auto& [bucket, drawn] : bars) {
        EXPECT_EQ(drawn.second, expected[bucket]) << "bucket " << bucket;
        EXPECT_NEAR(drawn.first, tallest * static_cast<double>(expected[bucket]) / 5, 0.02)
            << "bucket " << bucket;
    }
}

TEST_F(ScoreServer, FailsToStartOnAnUnusableDatabase) {
    EXPECT_THROW(Start({"--db", folder + "/missing/scores.db"}), std::runtime_error);
    try {
        Start({"--db", "postgresql://quorvel:sekrit@/none?host=/nowhere"});
        ADD_FAILURE() << "started";
    } catch (const std::runtime_error& refusal) {
        EXPECT_EQ(std::string(refusal.what()).find("sekrit"), std::string::npos) << refusal.what();
        EXPECT_NE(std::string(refusal.what()).find("quorvel:***@"), std::string::npos) << refusal.what();
    }
}

// A score counts as acknowledged once its whole reply has arrived. Every
// such score must be on disk after a SIGKILL in the middle of the load, with
// a hundred idle connections open besides.
TEST_F(ScoreServer, KeepsEveryAcknowledgedScoreAcrossSigkill) {
    uint16_t port = Start({"--max-connections-per-address", "200", "--scores-per-minute", "1000000"});
    std::vector<Connection> idle;
    for (int i = 0; i < 100; ++i) {
        idle.emplace_back(port);
    }
    std::atomic<bool> killed{false};
    std::atomic<int> count{0};
    // Each client sends scores 0, 1, 2, ... under a name of its own.
    std::vector<int> acknowledged(16, 0);
    std::vector<std::thread> clients;
    for (int t = 0; t < 16; ++t) {
        clients.emplace_back([&, t] {
            while (!killed) {
                if (GameExchange(port, SaveLine("k" + std::to_string(t), acknowledged[t], false)) == "!") {
                    ++acknowledged[t];
                    ++count;
                } else {
                    EXPECT_TRUE(killed) << "a save failed before the kill";
                }
            }
        });
    }
    // Kill once a good number went through, or after 10 s on a very slow machine.
    for (auto until = std::chrono::steady_clock::now() + 10s;
         count < 300 && std::chrono::steady_clock::now() < until;) {
        std::this_thread::sleep_for(5ms);
    }
    killed = true;
    server->Signal(SIGKILL);
    EXPECT_EQ(server->WaitForExit(5s), 128 + SIGKILL);
    for (std::thread& client : clients) {
        client.join();
    }
    ASSERT_GT(count, 16) << "the load never got going";
    std::set<std::pair<std::string, int32_t>> stored;
    for (const StoredScore& record : Stored()) {
        stored.emplace(record.name, record.score);
    }
    for (int t = 0; t < 16; ++t) {
        for (int i = 0; i < acknowledged[t]; ++i) {
            ASSERT_EQ(stored.count({"k" + std::to_string(t), i}), 1u) << "lost: k" << t << " " << i;
        }
    }
}

}  // namespace
