#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Everything the score server can be told on its command line.
struct ServerOptions {
    std::string listen = "127.0.0.1";
    uint16_t port = 8480;  // 0: let the system choose, and print it
    std::string database = "quorvel-scores.db";
    std::size_t maxConnections = 256;
    // So that one host cannot take every place, nor fill the database.
    std::size_t maxConnectionsPerAddress = 32;
    std::size_t scoresPerMinute = 30;  // stored per client address
    // Time a client has to deliver a whole request, and to take the reply.
    std::chrono::milliseconds deadline{5000};
    std::size_t requestLimit = 8192;
    // How long a request waits for a read of the database before it is
    // answered without it; how many threads read, and how many reads wait.
    std::chrono::milliseconds readDeadline{500};
    std::size_t readers = 2;
    std::size_t readQueueLimit = 1024;
    bool showHelp = false;
    // An operator's command instead of serving: "list", "hide", "show",
    // "ban", "unban", "refused" or "backup"; empty to serve.
    std::string command;
    bool latest = false;   // list: the latest scores rather than the best
    int64_t count = 20;    // list, refused: how many lines
    int64_t id = 0;        // hide, show: the score
    std::string argument;  // ban, unban: the name; backup: the file
};

// Reads the arguments after the program name. Returns an error text, empty
// when every argument was understood.
std::string ParseServerOptions(const std::vector<std::string>& arguments, ServerOptions& options);

std::string ServerUsage();
