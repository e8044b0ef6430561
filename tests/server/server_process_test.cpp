#include <gtest/gtest.h>
#include <signal.h>

#include <filesystem>
#include <regex>
#include <string>
#include <vector>

#include "server/score_store.h"
#include "tests/server/server_process.h"

using namespace std::chrono_literals;

namespace {

std::string Zero() {
    return std::string(1, '\0');
}

// Every test gets its own database and its own server on a free port.
class ScoreServerTest : public ::testing::Test {
  protected:
    std::string Database() const { return folder.File("scores.db"); }

    ServerProcess& Start(std::vector<std::string> extra = {}) {
        extra.insert(extra.begin(), {"--db", Database()});
        server = std::make_unique<ServerProcess>(extra);
        return *server;
    }

    std::vector<ScoreRecord> Stored() {
        ScoreStore store(Database());
        return store.Best(0, 1000);
    }

    TempFolder folder;
    std::unique_ptr<ServerProcess> server;
};

TEST_F(ScoreServerTest, StoresAGoodScoreAndAnswersTheBestFifteen) {
    Start();
    uint16_t port = server->Port();
    EXPECT_EQ(GameExchange(port, SaveLine("Ann+Lee", 5230)), "Ann+Lee|5230!");
    EXPECT_EQ(GameExchange(port, SaveLine("Bo", 4100, false)), "!") << "no list without fetch=1";
    EXPECT_EQ(GameExchange(port, SaveLine("Cy", 5230)), "Ann+Lee|5230&Cy|5230&Bo|4100!")
        << "ties: earlier first";

    for (int i = 0; i < 17; ++i) {
        GameExchange(port, SaveLine("p" + std::to_string(i), 10000 + i, false));
    }
    std::string reply = GameExchange(port, SaveLine("unnamed", -5));
    ASSERT_FALSE(reply.empty());
    EXPECT_EQ(reply.back(), '!');
    EXPECT_EQ(reply.rfind("p16|10016", 0), 0u) << reply;
    EXPECT_EQ(std::count(reply.begin(), reply.end(), '&'), 14) << reply;
    EXPECT_NE(reply.find("&p2|10002!"), std::string::npos) << "fifteenth is the lowest of the p's shown";
    EXPECT_EQ(reply.find("unnamed"), std::string::npos) << "the low score is stored but not in the top";

    std::vector<ScoreRecord> stored = Stored();
    EXPECT_EQ(stored.size(), 21u);
    EXPECT_EQ(stored.back().name, "unnamed");
    bool spaceRestored =
        std::any_of(stored.begin(), stored.end(), [](const ScoreRecord& r) { return r.name == "Ann Lee"; });
    EXPECT_TRUE(spaceRestored);
}

TEST_F(ScoreServerTest, BadRequestsAreNotStoredButStillGetTheList) {
    Start();
    uint16_t port = server->Port();
    ASSERT_EQ(GameExchange(port, SaveLine("Keep", 700)), "Keep|700!");

    const std::string path = "GET /hwendel/quorvel/save.php?";
    std::vector<std::string> refused = {
        path + "name=Cheat&score=999999&checksum=1&fetch=1",
        path + "name=Ann%21&score=5&checksum=" + std::to_string(GameChecksum(5)) + "&fetch=1",
        SaveLine("ABCDEFGHIJKLMNOP", 5),
        SaveLine("", 5),
        path + "name=Over&score=2147483648&checksum=0&fetch=1",
        path + "name=Half&score=5&fetch=1",
        SaveLine("Junk", 5) + "&extra=1",
    };
    for (const std::string& line : refused) {
        EXPECT_EQ(GameExchange(port, line), "Keep|700!") << line;
    }
    EXPECT_EQ(GameExchange(port, path + "name=Cheat&score=9&checksum=1"), "!");
    EXPECT_EQ(GameExchange(port, "GET /elsewhere?fetch=1"), "!") << "not a save request: nothing to show";
    EXPECT_EQ(GameExchange(port, "HELLO"), "!");

    std::vector<ScoreRecord> stored = Stored();
    ASSERT_EQ(stored.size(), 1u);
    EXPECT_EQ(stored[0].name, "Keep");
    EXPECT_TRUE(server->WaitForLog("rejected bad-checksum reply=list", 2s));
}

TEST_F(ScoreServerTest, LogsOneLinePerRequest) {
    Start();
    GameExchange(server->Port(), SaveLine("Ann+Lee", 5230));
    HttpGet(server->Port(), "/scores?page=1");
    ASSERT_TRUE(server->WaitForLog("http GET", 2s));
    std::vector<std::string> lines = server->LogLines();
    std::regex game(
        R"(^\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}Z 127\.0\.0\.1:\d+ game stored name=Ann\+Lee score=5230 reply=list$)");
    std::regex http(
        R"(^\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}Z 127\.0\.0\.1:\d+ http GET /scores\?page=1 200$)");
    EXPECT_EQ(std::count_if(lines.begin(), lines.end(),
                            [&](const std::string& l) { return std::regex_match(l, game); }),
              1);
    EXPECT_EQ(std::count_if(lines.begin(), lines.end(),
                            [&](const std::string& l) { return std::regex_match(l, http); }),
              1);
}

TEST_F(ScoreServerTest, ServesPagedEscapedScores) {
    {
        ScoreStore store(Database());
        store.Add("<b>bold</b> & co", 1000000);
        for (int i = 0; i < 119; ++i) {
            store.Add("player" + std::to_string(i), 1000 + i);
        }
    }
    Start();
    uint16_t port = server->Port();

    HttpReply first = HttpGet(port, "/scores");
    EXPECT_EQ(first.status, 200);
    EXPECT_NE(first.head.find("Content-Type: text/html; charset=utf-8"), std::string::npos);
    EXPECT_EQ(first.body.find("<b>bold"), std::string::npos);
    EXPECT_NE(first.body.find("&lt;b&gt;bold&lt;/b&gt; &amp; co"), std::string::npos);
    EXPECT_NE(first.body.find(">player118<"), std::string::npos);
    EXPECT_NE(first.body.find(">player70<"), std::string::npos) << "50th place";
    EXPECT_EQ(first.body.find(">player69<"), std::string::npos) << "51st place is on page 2";
    EXPECT_NE(first.body.find("href=\"/scores?page=2\""), std::string::npos);
    EXPECT_NE(first.body.find("120 scores"), std::string::npos);

    HttpReply second = HttpGet(port, "/scores?page=2");
    EXPECT_EQ(second.status, 200);
    EXPECT_NE(second.body.find(">player69<"), std::string::npos);
    EXPECT_NE(second.body.find(">player20<"), std::string::npos);
    EXPECT_EQ(second.body.find(">player19<"), std::string::npos);
    EXPECT_NE(second.body.find("href=\"/scores?page=1\""), std::string::npos);
    EXPECT_NE(second.body.find("href=\"/scores?page=3\""), std::string::npos);

    HttpReply beyond = HttpGet(port, "/scores?page=40");
    EXPECT_EQ(beyond.status, 200);
    EXPECT_NE(beyond.body.find(">player0<"), std::string::npos) << "a page past the end shows the last";
    EXPECT_EQ(beyond.body.find("href=\"/scores?page=4\""), std::string::npos);

    EXPECT_EQ(HttpGet(port, "/nothing").status, 404);
    HttpReply root = HttpGet(port, "/");
    EXPECT_EQ(root.status, 302);
    EXPECT_NE(root.head.find("Location: /scores"), std::string::npos);

    Connection post(port);
    post.Send("POST /scores HTTP/1.1\r\nHost: x\r\nContent-Length: 0\r\nConnection: close\r\n\r\n");
    EXPECT_EQ(ParseHttpReply(post.ReadUntilClosed(5s)).status, 405);
}

TEST_F(ScoreServerTest, KeepsAnHttpConnectionAliveBetweenRequests) {
    Start();
    Connection connection(server->Port());
    ASSERT_TRUE(connection.IsOpen());
    connection.Send(
        "GET /scores HTTP/1.1\r\nHost: x\r\n\r\nGET /scores?page=1 HTTP/1.1\r\nHost: x\r\nConnection: "
        "close\r\n\r\n");
    bool closed = false;
    std::string both = connection.ReadUntilClosed(5s, &closed);
    EXPECT_TRUE(closed);
    std::size_t first = both.find("HTTP/1.1 200 OK");
    ASSERT_NE(first, std::string::npos);
    EXPECT_NE(both.find("HTTP/1.1 200 OK", first + 1), std::string::npos);
}

TEST_F(ScoreServerTest, SlowClientsMeetTheDeadline) {
    Start({"--deadline-ms", "600"});
    uint16_t port = server->Port();
    Connection silent(port);
    Connection halfGame(port);
    halfGame.Send("GET /hwendel/quorvel/save.php?name=Slow");
    Connection halfHttp(port);
    halfHttp.Send("GET /scores HTTP/1.1\r\nHost: x\r\n");
    Connection noZero(port);
    noZero.Send(SaveLine("NoZero", 5) + "\n");

    // Closed by the server well before this client would give up.
    EXPECT_TRUE(silent.ClosedWithoutData(5s));
    EXPECT_TRUE(halfGame.ClosedWithoutData(5s));
    EXPECT_TRUE(halfHttp.ClosedWithoutData(5s));
    EXPECT_TRUE(noZero.ClosedWithoutData(5s));
    EXPECT_TRUE(server->WaitForLog("timeout incomplete request dropped", 1s));

    // A client that dribbles a byte at a time still has to finish in time.
    Connection dribble(port);
    std::string request = SaveLine("Dribble", 5) + "\n" + Zero();
    bool cut = false;
    auto started = std::chrono::steady_clock::now();
    for (char c : request) {
        if (!dribble.Send(std::string(1, c))) {
            cut = true;
            break;
        }
        std::this_thread::sleep_for(40ms);
    }
    bool closed = false;
    std::string reply = dribble.ReadUntilClosed(5s, &closed);
    EXPECT_TRUE(cut || (closed && reply.empty())) << reply;
    EXPECT_GT(std::chrono::steady_clock::now() - started, 500ms);

    EXPECT_EQ(GameExchange(port, SaveLine("Quick", 9)), "Quick|9!");
    EXPECT_EQ(Stored().size(), 1u);
}

TEST_F(ScoreServerTest, RefusesOversizeRequests) {
    Start({"--request-limit", "1024"});
    uint16_t port = server->Port();

    Connection longLine(port);
    longLine.Send("GET /" + std::string(2000, 'a'));
    bool closed = false;
    HttpReply reply = ParseHttpReply(longLine.ReadUntilClosed(5s, &closed));
    EXPECT_TRUE(closed);
    EXPECT_EQ(reply.status, 414);

    Connection longHeaders(port);
    longHeaders.Send("GET /scores HTTP/1.1\r\nHost: x\r\nX-Filler: " + std::string(2000, 'b') + "\r\n\r\n");
    reply = ParseHttpReply(longHeaders.ReadUntilClosed(5s, &closed));
    EXPECT_TRUE(closed);
    EXPECT_EQ(reply.status, 431);

    Connection longGame(port);
    longGame.Send(SaveLine(std::string(1500, 'A'), 5) + "\n" + Zero());
    std::string gameReply = longGame.ReadUntilClosed(5s, &closed);
    EXPECT_TRUE(closed);
    EXPECT_EQ(gameReply.find('|'), std::string::npos);

    EXPECT_EQ(GameExchange(port, SaveLine("After", 1)), "After|1!");
    EXPECT_EQ(Stored().size(), 1u);
}

TEST_F(ScoreServerTest, SurvivesGarbage) {
    Start({"--deadline-ms", "200"});
    uint16_t port = server->Port();
    std::vector<std::string> garbage = {
        std::string("\0\0\0\0\n\0", 6),
        "\n" + Zero(),
        "\r\n\r\n",
        std::string("\xff\xfe\x00\x01GET\n\x00", 10),
        "GET /scores HTTP/9.9\r\n\r\n",
        "GET /scores HTTP/1.1\r\nContent-Length: -5\r\n\r\n",
        "GET /scores HTTP/1.1\r\nTransfer-Encoding: chunked\r\n\r\nzz\r\n",
        "GET /hwendel/quorvel/save.php?name=A&score=1&checksum=577&fetch=1\n" + Zero() + "trailing junk",
    };
    uint32_t seed = 12345;
    for (int i = 0; i < 30; ++i) {
        std::string noise;
        for (int j = 0; j < 200; ++j) {
            seed = seed * 1103515245u + 12345u;
            noise += static_cast<char>(seed >> 24);
        }
        garbage.push_back(noise);
    }
    for (const std::string& bytes : garbage) {
        Connection connection(port);
        ASSERT_TRUE(connection.IsOpen());
        connection.Send(bytes);
        bool closed = false;
        connection.ReadUntilClosed(5s, &closed);
        EXPECT_TRUE(closed) << "every bad client is let go";
    }
    // A reset in the middle of a request.
    {
        Connection abrupt(port);
        abrupt.Send("GET /scores HTTP/1.1\r\n");
    }
    // The request before the trailing junk was whole and is kept.
    EXPECT_EQ(GameExchange(port, SaveLine("Alive", 3)), "Alive|3&A|1!");
    EXPECT_EQ(server->WaitForExit(0ms), std::nullopt) << "still running";
}

TEST_F(ScoreServerTest, ClosesConnectionsBeyondTheLimitAtOnce) {
    Start({"--max-connections", "4", "--deadline-ms", "4000"});
    uint16_t port = server->Port();
    std::vector<Connection> held;
    for (int i = 0; i < 4; ++i) {
        held.emplace_back(port);
        ASSERT_TRUE(held.back().IsOpen());
    }
    // The four are counted once the server has accepted them; a served
    // request on a fifth would mean they were not.
    std::this_thread::sleep_for(200ms);
    Connection extra(port);
    extra.Send(SaveLine("Extra", 1) + "\n" + Zero());
    bool closed = false;
    std::string reply = extra.ReadUntilClosed(2s, &closed);
    EXPECT_TRUE(closed);
    EXPECT_EQ(reply, "");
    EXPECT_TRUE(server->WaitForLog("refused connection-limit", 2s));

    // The held ones are still served, and a freed place is taken again.
    held[0].Send(SaveLine("Held", 2) + "\n" + Zero());
    EXPECT_EQ(held[0].ReadUntilClosed(3s), "Held|2!");
    held.erase(held.begin());
    std::this_thread::sleep_for(200ms);
    EXPECT_EQ(GameExchange(port, SaveLine("Later", 1)), "Held|2&Later|1!");
    std::vector<ScoreRecord> stored = Stored();
    EXPECT_EQ(stored.size(), 2u);
}

TEST_F(ScoreServerTest, ManyClientsAtOnce) {
    Start();
    uint16_t port = server->Port();
    std::vector<Connection> idle;
    for (int i = 0; i < 100; ++i) {
        idle.emplace_back(port);
    }
    std::vector<std::thread> clients;
    std::atomic<int> acknowledged{0};
    for (int t = 0; t < 8; ++t) {
        clients.emplace_back([&, t] {
            for (int i = 0; i < 10; ++i) {
                std::string reply = GameExchange(
                    port, SaveLine("c" + std::to_string(t) + "n" + std::to_string(i), t * 100 + i));
                if (!reply.empty() && reply.back() == '!') {
                    ++acknowledged;
                }
            }
        });
    }
    for (std::thread& client : clients) {
        client.join();
    }
    EXPECT_EQ(acknowledged.load(), 80);
    EXPECT_EQ(Stored().size(), 80u);
}

TEST_F(ScoreServerTest, StopsCleanlyOnSigterm) {
    Start();
    uint16_t port = server->Port();
    ASSERT_EQ(GameExchange(port, SaveLine("Before", 42)), "Before|42!");
    Connection waiting(port);
    waiting.Send("GET /hwendel/quorvel/save.php?name=Part");
    std::this_thread::sleep_for(100ms);

    server->Signal(SIGTERM);
    // Well before the 5 s read deadline: the unfinished request is dropped.
    EXPECT_EQ(server->WaitForExit(3s), std::optional<int>(0));
    EXPECT_TRUE(waiting.ClosedWithoutData(1s));
    EXPECT_TRUE(server->WaitForLog("stopped, database closed", 1s));
    EXPECT_FALSE(std::filesystem::exists(Database() + "-wal")) << "closing checkpoints the log";
    std::vector<ScoreRecord> stored = Stored();
    ASSERT_EQ(stored.size(), 1u);
    EXPECT_EQ(stored[0].name, "Before");
    EXPECT_FALSE(Connection(port).IsOpen()) << "no longer listening";
}

TEST_F(ScoreServerTest, StopsOnSigintToo) {
    Start();
    server->Signal(SIGINT);
    EXPECT_EQ(server->WaitForExit(3s), std::optional<int>(0));
}

TEST_F(ScoreServerTest, FailsToStartOnAnUnusableDatabase) {
    std::vector<std::string> arguments = {"--db", folder.File("missing/folder/scores.db")};
    EXPECT_THROW(ServerProcess{arguments}, std::runtime_error);
}

}  // namespace
