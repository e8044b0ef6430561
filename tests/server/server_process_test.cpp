// The real quorvel-scores process: what only a running server shows (its
// wiring of requests to replies and pages, the socket, deadlines, the
// connection limits, signals, a SIGKILL). What a request or a page says in
// detail is checked in-process by server_logic_test.cpp.
#include "tests/server/server_process.h"

#include "server/score_store.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sqlite3.h>

#include <atomic>
#include <filesystem>
#include <regex>
#include <set>
#include <string>
#include <thread>
#include <vector>

using namespace std::chrono_literals;

namespace {

const std::string Zero(1, '\0');

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

// A database that stops answering freezes nothing: what needs it answers
// without it in time, what does not answers at once, a stop ends in time,
// and all works again once the database is back.
TEST_F(ScoreServer, AnswersWhilePostgresIsStopped) {
    const std::string database = FreshPostgres("frozen");
    uint16_t port = Start({"--db", database});
    ASSERT_EQ(GameExchange(port, SaveLine("Before", 5)), "Before|5!");
    ServerProcess other(folder + "/other.log", {"--db", database});
    // Another instance's score shows in this one's next list.
    ASSERT_EQ(GameExchange(other.Port(), SaveLine("Other", 6)), "Other|6&Before|5!");
    const std::string fetchOnly = "GET /hwendel/quorvel/save.php?name=X&score=1&checksum=2&fetch=1";
    EXPECT_EQ(GameExchange(port, fetchOnly), "Other|6&Before|5!");
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
