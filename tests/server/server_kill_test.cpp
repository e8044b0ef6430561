#include <gtest/gtest.h>
#include <signal.h>

#include <atomic>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "tests/server/server_process.h"

using namespace std::chrono_literals;

namespace {

std::string AllPages(uint16_t port) {
    std::string pages;
    for (int page = 1; page <= 200; ++page) {
        HttpReply reply = HttpGet(port, "/scores?page=" + std::to_string(page));
        if (reply.status != 200) {
            ADD_FAILURE() << "page " << page << " answered " << reply.status;
            break;
        }
        pages += reply.body;
        if (reply.body.find("rel=\"next\"") == std::string::npos) {
            break;
        }
    }
    return pages;
}

// A score counts as acknowledged once its whole reply, ending in "!", has
// arrived. Every such score must be there after a SIGKILL and a restart.
TEST(ScoreServerKill, KeepsEveryAcknowledgedScore) {
    TempFolder folder;
    std::string database = folder.File("scores.db");
    auto server = std::make_unique<ServerProcess>(std::vector<std::string>{"--db", database});
    uint16_t port = server->Port();

    constexpr int Clients = 16;
    std::atomic<bool> stop{false};
    std::atomic<int> acknowledgedCount{0};
    std::mutex mutex;
    std::set<std::string> acknowledged;
    std::vector<std::thread> clients;
    for (int t = 0; t < Clients; ++t) {
        clients.emplace_back([&, t] {
            for (int i = 0; !stop; ++i) {
                std::string name = "k" + std::to_string(t) + "x" + std::to_string(i);
                std::string reply = GameExchange(port, SaveLine(name, 1000 * t + i, false));
                if (reply == "!") {
                    std::lock_guard<std::mutex> lock(mutex);
                    acknowledged.insert(name);
                    ++acknowledgedCount;
                } else {
                    std::this_thread::sleep_for(1ms);  // the server is gone; no busy loop
                }
            }
        });
    }

    // Kill in the middle of the load: after a good number of scores went
    // through, or after 10 s at most on a very slow machine.
    auto until = std::chrono::steady_clock::now() + 10s;
    while (acknowledgedCount < 300 && std::chrono::steady_clock::now() < until) {
        std::this_thread::sleep_for(5ms);
    }
    server->Signal(SIGKILL);
    EXPECT_EQ(server->WaitForExit(5s), std::optional<int>(128 + SIGKILL));
    std::this_thread::sleep_for(100ms);
    stop = true;
    for (std::thread& client : clients) {
        client.join();
    }
    server.reset();
    ASSERT_GT(acknowledged.size(), 16u) << "the load never got going";

    ServerProcess restarted({"--db", database});
    std::string pages = AllPages(restarted.Port());
    std::size_t missing = 0;
    for (const std::string& name : acknowledged) {
        if (pages.find("<td class=\"name\">" + name + "</td>") == std::string::npos) {
            ++missing;
            ADD_FAILURE() << name << " was acknowledged but is lost";
        }
    }
    EXPECT_EQ(missing, 0u);
    std::cout << acknowledged.size() << " acknowledged scores survived the kill\n";
}

}  // namespace
