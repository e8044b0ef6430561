// The real quorvel-scores process: what only a running server shows (its
// wiring of requests to replies and pages, the socket, deadlines, the
// connection limit, signals, a SIGKILL). What a request or a page says in
// detail is checked in-process by server_logic_test.cpp.
#include <gtest/gtest.h>
#include <signal.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "server/score_store.h"
#include "tests/server/server_process.h"

using namespace std::chrono_literals;

namespace {

const std::string Zero(1, '\0');

// Every test gets its own database and its own server on a free port.
class ScoreServer : public ::testing::Test {
  protected:
    uint16_t Start(std::vector<std::string> extra = {}) {
        extra.insert(extra.begin(), {"--db", Database()});
        server = std::make_unique<ServerProcess>(folder.File("server.log"), extra);
        return server->Port();
    }
    std::string Database() const { return folder.File("scores.db"); }
    std::vector<StoredScore> Stored() const { return OpenScoreStore(Database())->Best(std::nullopt, 1000); }
    void AddScores(int count) {
        std::vector<ScoreRecord> scores;
        for (int i = 0; i < count; ++i) {
            scores.push_back({"player" + std::to_string(i), 1000 + i});
        }
        OpenScoreStore(Database())->AddAll(scores);
    }

    // What a shell command prints.
    std::string Shell(const std::string& command) {
        std::string out = folder.File("shell.out");
        return std::system(("(" + command + ") >" + out).c_str()) >= 0 ? ReadFile(out) : "";
    }

    TempFolder folder;
    std::unique_ptr<ServerProcess> server;
};

// True when the server closes the connection within `limit` without sending a byte.
bool ClosedWithoutData(Connection& connection, std::chrono::milliseconds limit) {
    bool closed = false;
    return connection.Read(limit, &closed).empty() && closed;
}

TEST_F(ScoreServer, AnswersTheGameAndStoresOnlyGoodScores) {
    uint16_t port = Start();
    const std::string path = "GET /hwendel/quorvel/save.php?";
    const std::string list = "Ann+Lee|5230&Cy|5230&Bo|4100!";
    const struct {
        std::string line, reply;
    } exchanges[] = {
        {SaveLine("Ann+Lee", 5230), "Ann+Lee|5230!"},
        {SaveLine("Bo", 4100, false), "!"},                      // no list without fetch=1
        {SaveLine("Cy", 5230), list},                            // a tie: the earlier first
        {path + "name=Cheat&score=9&checksum=1&fetch=1", list},  // refused, but the game still shows the list
        {path + "name=Cheat&score=9&checksum=1", "!"},
        {"GET /elsewhere?fetch=1", "!"},  // not a save request: nothing to show
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
}

TEST_F(ScoreServer, ServesPagesAndRefusesOversizeRequests) {
    AddScores(120);
    uint16_t port = Start({"--request-limit", "1024"});
    const struct {
        std::string request, status, present, absent;
    } cases[] = {
        {Get("/scores"), "200 OK", "Content-Type: text/html; charset=utf-8", "rel=\"prev\""},
        {Get("/scores"), "200 OK", ">player70<", ">player69<"},  // 50th place; the 51st is on page 2
        {Get("/scores?page=2"), "200 OK", ">player69<", ">player70<"},
        {Get("/scores?page=40"), "200 OK", ">player0<", "rel=\"next\""},  // past the end: the last page
        {Get("/"), "302 Found", "Location: /scores", ""},
        {Get("/nothing"), "404 Not Found", "", ""},
        {"POST /scores HTTP/1.1\r\nHost: x\r\nContent-Length: 0\r\nConnection: close\r\n\r\n", "405",
         "Allow: GET", ""},
        // Kept alive after the first request, so the second is answered too.
        {"GET /scores HTTP/1.1\r\nHost: x\r\n\r\n" + Get("/scores?page=3"), "200 OK", "page 3 of 3", ""},
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
    EXPECT_EQ(Stored().size(), 120u);
    EXPECT_NE(server->Log().find(" http GET /scores?page=2 200\n"), std::string::npos);
}

TEST_F(ScoreServer, LetsEveryBadOrSlowClientGo) {
    uint16_t port = Start({"--deadline-ms", "600"});
    const struct {
        std::string bytes;
        bool unanswered;  // closed at the deadline without a reply (the default deadline is 5 s)
    } clients[] = {
        {"", true},
        {"GET /hwendel/quorvel/save.php?name=Slow", true},
        {"GET /scores HTTP/1.1\r\nHost: x\r\n", true},
        {SaveLine("NoZero", 5) + "\n", true},
        {std::string("\0\0\0\0\n\0", 6), false},
        {"\r\n\r\n", false},
        {"GET /scores HTTP/9.9\r\n\r\n", false},
        {"GET /scores HTTP/1.1\r\nTransfer-Encoding: chunked\r\n\r\nzz\r\n", false},
        {SaveLine("A", 1) + "\n" + Zero + "trailing junk", false},  // the request before the junk is kept
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
        EXPECT_TRUE(closed && (reply.empty() || !clients[i].unanswered)) << clients[i].bytes;
    }
    EXPECT_NE(server->Log().find("timeout incomplete request dropped"), std::string::npos);

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

TEST_F(ScoreServer, StopsCleanlyOnSigtermAndSigint) {
    for (int signal : {SIGTERM, SIGINT}) {
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
    EXPECT_EQ(Stored().size(), 2u);
}

TEST_F(ScoreServer, FailsToStartOnAnUnusableDatabase) {
    EXPECT_THROW(Start({"--db", folder.File("missing/folder/scores.db")}), std::runtime_error);
}

// A score counts as acknowledged once its whole reply has arrived. Every
// such score must be on disk after a SIGKILL in the middle of the load, with
// a hundred idle connections open besides.
TEST_F(ScoreServer, KeepsEveryAcknowledgedScoreAcrossSigkill) {
    uint16_t port = Start();
    std::vector<Connection> idle;
    for (int i = 0; i < 100; ++i) {
        idle.emplace_back(port);
    }
    std::atomic<bool> killed{false};
    std::atomic<int> count{0};
    std::mutex mutex;
    std::set<std::string> acknowledged;
    std::vector<std::thread> clients;
    for (int t = 0; t < 16; ++t) {
        clients.emplace_back([&, t] {
            for (int i = 0; !killed; ++i) {
                std::string name = "k" + std::to_string(t) + "x" + std::to_string(i);
                bool stored = GameExchange(port, SaveLine(name, i, false)) == "!";
                std::lock_guard<std::mutex> lock(mutex);
                EXPECT_TRUE(stored || killed) << name << " failed before the kill";
                if (stored) {
                    acknowledged.insert(name);
                    ++count;
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
    ASSERT_GT(acknowledged.size(), 16u) << "the load never got going";
    for (const StoredScore& record : Stored()) {
        acknowledged.erase(record.name);
    }
    // Only evaluated on failure, when there is a first one.
    EXPECT_TRUE(acknowledged.empty()) << *acknowledged.begin() << " was acknowledged but is lost";
}

// The page in headless Chromium: the document as the browser parsed it, and
// the style sheet through the colours of a screenshot.
TEST_F(ScoreServer, ShowsThePageInARealBrowser) {
    AddScores(60);
    std::string url = " http://127.0.0.1:" + std::to_string(Start()) + "/scores";
    std::string browser = "HOME=" + folder.path +
                          " timeout 90 chromium --headless --no-sandbox --disable-gpu --no-first-run"
                          " --disable-background-networking --disable-component-update --disable-sync"
                          " --window-size=1000,800 2>>" +
                          folder.File("chromium.log") + " --user-data-dir=";
    std::string page = Shell(browser + folder.File("dom") + " --dump-dom" + url);
    EXPECT_NE(page.find("<td class=\"name\">player59</td><td class=\"score\">1059</td>"), std::string::npos)
        << page;
    EXPECT_NE(page.find("Page 1 of 2"), std::string::npos);

    std::string shot = folder.File("shot.png");
    Shell(browser + folder.File("shot") + " --screenshot=" + shot + url);
    // A dark winter sky at the top corner, a light card in the middle.
    std::istringstream colours(Shell(
        "convert " + shot + " -crop 1x1+4+4 -format '%[fx:int(255*r)] %[fx:int(255*b)] ' info: && convert " +
        shot + " -crop 1x1+500+300 -format '%[fx:int(255*r)]' info:"));
    int red = -1, blue = -1, cardRed = -1;
    colours >> red >> blue >> cardRed;
    EXPECT_TRUE(red >= 0 && red < 80 && blue > 60 && blue > red) << red << " " << blue;
    EXPECT_GT(cardRed, 200);
    std::rename(shot.c_str(), "scores_page.png");  // kept in the working folder to look at
}

}  // namespace
