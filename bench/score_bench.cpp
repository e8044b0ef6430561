// Requests per second and latency of the score server on loopback, for 1, 16
// and 64 concurrent clients, beside a trivial responder measured in the same
// run as the floor and the disk's own rate of small synced writes, then the
// ratios between them: the machines are shared, so absolute rates move with
// the load while ratios measured in one run hold.
//
//   score_bench SERVER_BINARY [seconds per run] [--db ADDRESS]...
//
// One server is started per database, with per-address limits raised: every
// client here comes from 127.0.0.1. Without --db, and for "--db sqlite", it
// is a fresh SQLite file in a temporary folder; a PostgreSQL address should
// name an empty database. Every server is measured in the same rounds, so
// that the back ends can be compared within one run.

#include "scores/score_protocol.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

constexpr int ClientNice = 10;

std::string Request(int client, int serial, bool store) {
    int32_t score = 1000 + (client * 7919 + serial) % 90000;
    uint32_t checksum = static_cast<uint32_t>(score) * static_cast<uint32_t>(ChecksumFactor);
    if (!store) {
        checksum += 1;  // refused, so nothing is stored: the server only answers with the list
    }
    std::string text = std::string(SaveRequestPrefix) + "bench" + std::to_string(client % 100) +
                       "&score=" + std::to_string(score) +
                       "&checksum=" + std::to_string(static_cast<int32_t>(checksum)) + "&fetch=1\n";
    text.push_back('\0');
    return text;
}

// One exchange in the game's way: send the request, read up to "!" or the close.
bool Exchange(uint16_t port, const std::string& request) {
    int socketFd = socket(AF_INET, SOCK_STREAM, 0);
    if (socketFd < 0) {
        return false;
    }
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bool ok =
        connect(socketFd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
        send(socketFd, request.data(), request.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(request.size());
    bool ended = false;
    char buffer[4096];
    while (ok && !ended) {
        ssize_t got = recv(socketFd, buffer, sizeof buffer, 0);
        if (got <= 0) {
            break;
        }
        ended = std::memchr(buffer, '!', static_cast<std::size_t>(got)) != nullptr;
    }
    close(socketFd);
    return ok && ended;
}

struct Figures {
    double requestsPerSecond = 0;
    double p50 = 0;
    double p99 = 0;
    long failures = 0;
};

// Latencies of every exchange of one kind, gathered over the rounds.
struct Samples {
    std::vector<double> latencies;
    long failures = 0;
    double seconds = 0;
};

void Load(uint16_t port, int clients, double seconds, bool store, Samples& samples) {
    std::vector<std::vector<double>> latencies(static_cast<std::size_t>(clients));
    std::atomic<long> failures{0};
    const auto end = Clock::now() + std::chrono::duration<double>(seconds);
    std::vector<std::thread> threads;
    for (int c = 0; c < clients; ++c) {
        threads.emplace_back([&, c] {
            // The clients stand for players on other machines: here they share
            // two cores with what they measure, and must not starve it.
            setpriority(PRIO_PROCESS, static_cast<id_t>(gettid()), ClientNice);
            for (int serial = 0; Clock::now() < end; ++serial) {
                auto start = Clock::now();
                if (!Exchange(port, Request(c, serial, store))) {
                    ++failures;
                }
                latencies[static_cast<std::size_t>(c)].push_back(
                    std::chrono::duration<double, std::milli>(Clock::now() - start).count());
            }
        });
    }
    for (auto& thread : threads) {
        thread.join();
    }
    for (auto& list : latencies) {
        samples.latencies.insert(samples.latencies.end(), list.begin(), list.end());
    }
    samples.failures += failures;
    samples.seconds += seconds;
}

Figures Summarize(Samples samples) {
    Figures figures;
    figures.failures = samples.failures;
    std::vector<double>& all = samples.latencies;
    if (all.empty()) {
        return figures;
    }
    std::sort(all.begin(), all.end());
    figures.requestsPerSecond = static_cast<double>(all.size()) / samples.seconds;
    figures.p50 = all[all.size() / 2];
    figures.p99 = all[std::min(all.size() - 1, all.size() * 99 / 100)];
    return figures;
}

// The floor: accepts, reads up to the request's zero byte, answers "!" and closes.
class TrivialResponder {
  public:
    TrivialResponder() {
        listener = socket(AF_INET, SOCK_STREAM, 0);
        int yes = 1;
        setsockopt(listener, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
            listen(listener, 512) != 0) {
            std::perror("responder");
            std::exit(1);
        }
        socklen_t length = sizeof address;
        getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length);
        port = ntohs(address.sin_port);
        for (int i = 0; i < 4; ++i) {
            workers.emplace_back([this] { Serve(); });
        }
    }
    ~TrivialResponder() {
        stopping = true;
        shutdown(listener, SHUT_RDWR);
        close(listener);
        for (auto& worker : workers) {
            worker.join();
        }
    }
    uint16_t Port() const { return port; }

  private:
    void Serve() {
        while (!stopping) {
            int connection = accept(listener, nullptr, nullptr);
            if (connection < 0) {
                continue;
            }
            char buffer[1024];
            ssize_t got;
            while ((got = recv(connection, buffer, sizeof buffer, 0)) > 0) {
                if (std::memchr(buffer, '\0', static_cast<std::size_t>(got)) != nullptr) {
                    break;
                }
            }
            send(connection, "!", 1, MSG_NOSIGNAL);
            close(connection);
        }
    }
    int listener = -1;
    uint16_t port = 0;
    std::atomic<bool> stopping{false};
    std::vector<std::thread> workers;
};

// Starts the server with --port 0 and reads the port from its "listening on" line.
pid_t StartServer(const std::string& binary, const std::string& database, uint16_t& port) {
    int pipeFds[2];
    if (pipe(pipeFds) != 0) {
        return -1;
    }
    pid_t child = fork();
    if (child == 0) {
        dup2(pipeFds[1], 2);
        close(pipeFds[0]);
        execl(binary.c_str(), binary.c_str(), "--listen", "127.0.0.1", "--port", "0", "--db",
              database.c_str(), "--max-connections", "1024", "--max-connections-per-address", "1024",
              "--scores-per-minute", "1000000000", static_cast<char*>(nullptr));
        _exit(127);
    }
    close(pipeFds[1]);
    std::string line;
    char c;
    while (read(pipeFds[0], &c, 1) == 1 && c != '\n') {
        line.push_back(c);
    }
    std::size_t colon = line.rfind(':');
    port = colon == std::string::npos ? 0 : static_cast<uint16_t>(std::atoi(line.c_str() + colon + 1));
    // The server logs a line per request; drain them so it never blocks on a full pipe.
    int drain = pipeFds[0];
    std::thread([drain] {
        char buffer[4096];
        while (read(drain, buffer, sizeof buffer) > 0) {
        }
        close(drain);
    }).detach();
    return child;
}

// Small writes over the same bytes, each followed by fdatasync, in the
// database's folder: what one synced commit at a time can reach at best.
double SyncedWritesPerSecond(const std::string& folder, double seconds) {
    std::string path = folder + "/sync-probe";
    int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0) {
        return 0;
    }
    const char record[64] = {};
    long count = 0;
    for (const auto end = Clock::now() + std::chrono::duration<double>(seconds); Clock::now() < end;
         ++count) {
        if (pwrite(fd, record, sizeof record, 0) != static_cast<ssize_t>(sizeof record) ||
            fdatasync(fd) != 0) {
            break;
        }
    }
    close(fd);
    unlink(path.c_str());
    return static_cast<double>(count) / seconds;
}

void Print(const char* target, const char* kind, int clients, const Figures& figures) {
    std::printf("%-10s %-6s %4d clients  %9.0f req/s  p50 %7.3f ms  p99 %7.3f ms  failures %ld\n", target,
                kind, clients, figures.requestsPerSecond, figures.p50, figures.p99, figures.failures);
    std::fflush(stdout);
}

}  // namespace

// One server under test and what was measured of it.
struct Target {
    std::string label;  // "sqlite" or "postgres"
    std::string database;
    pid_t pid = -1;
    uint16_t port = 0;
    Samples store[3], fetch[3];
    Figures storeFigures[3], fetchFigures[3];
};

int main(int argc, char* argv[]) {
    std::vector<std::string> arguments(argv + 1, argv + argc);
    std::vector<Target> targets;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        if (arguments[i] == "--db" && i + 1 < arguments.size()) {
            targets.push_back({});
            targets.back().database = arguments[i + 1];
            arguments.erase(arguments.begin() + static_cast<std::ptrdiff_t>(i),
                            arguments.begin() + static_cast<std::ptrdiff_t>(i) + 2);
            --i;
        }
    }
    if (arguments.empty() || arguments.size() > 2) {
        std::fprintf(stderr, "usage: score_bench SERVER_BINARY [seconds per run] [--db ADDRESS]...\n");
        return 2;
    }
    signal(SIGPIPE, SIG_IGN);
    const double seconds = arguments.size() > 1 ? std::atof(arguments[1].c_str()) : 3.0;
    char folder[] = "/tmp/quorvel-bench.XXXXXX";
    if (mkdtemp(folder) == nullptr) {
        return 1;
    }
    if (targets.empty()) {
        targets.push_back({});
        targets.back().database = "sqlite";
    }
    for (std::size_t i = 0; i < targets.size(); ++i) {
        Target& target = targets[i];
        bool postgres =
            target.database.rfind("postgres", 0) == 0 || target.database.find('=') != std::string::npos;
        target.label = postgres ? "postgres" : "sqlite";
        if (target.database == "sqlite") {
            target.database = std::string(folder) + "/scores" + std::to_string(i) + ".db";
        }
        target.pid = StartServer(arguments[0], target.database, target.port);
        if (target.pid <= 0 || target.port == 0) {
            std::fprintf(stderr, "score_bench: the server on %s did not report its port\n",
                         target.label.c_str());
            return 1;
        }
    }
    // Every kind is measured in each round, so that a change of the machine's
    // load during the run weighs on all of them alike.
    const int rounds = 3;
    const double slice = seconds / rounds;
    const int levels[] = {1, 16, 64};
    Samples responderSamples[3];
    double syncs = 0;
    {
        TrivialResponder floor;
        for (int round = 0; round < rounds; ++round) {
            for (int i = 0; i < 3; ++i) {
                Load(floor.Port(), levels[i], slice, true, responderSamples[i]);
                if (i == 0) {
                    // Beside the lone client's stores, the figure it is held against.
                    syncs += SyncedWritesPerSecond(folder, slice) / rounds;
                }
                for (Target& target : targets) {
                    Load(target.port, levels[i], slice, true, target.store[i]);
                    Load(target.port, levels[i], slice, false, target.fetch[i]);
                }
            }
        }
    }
    Figures responder[3];
    for (int i = 0; i < 3; ++i) {
        responder[i] = Summarize(std::move(responderSamples[i]));
        Print("responder", "-", levels[i], responder[i]);
    }
    for (Target& target : targets) {
        for (int i = 0; i < 3; ++i) {
            target.storeFigures[i] = Summarize(std::move(target.store[i]));
            Print(target.label.c_str(), "store", levels[i], target.storeFigures[i]);
        }
        for (int i = 0; i < 3; ++i) {
            target.fetchFigures[i] = Summarize(std::move(target.fetch[i]));
            Print(target.label.c_str(), "fetch", levels[i], target.fetchFigures[i]);
        }
    }
    std::printf("disk       64-byte write + fdatasync     %9.0f /s\n", syncs);
    auto ratio = [](double part, double whole) { return whole > 0 ? part / whole : 0; };
    for (const Target& target : targets) {
        const Figures* store = target.storeFigures;
        const Figures* fetch = target.fetchFigures;
        std::printf("%s:\n", target.label.c_str());
        std::printf("  store@64 / fetch@64      %5.2f\n",
                    ratio(store[2].requestsPerSecond, fetch[2].requestsPerSecond));
        std::printf("  store@64 p99             %5.1f ms\n", store[2].p99);
        std::printf("  store@1 / disk syncs     %5.2f\n", ratio(store[0].requestsPerSecond, syncs));
        for (int i = 0; i < 3; ++i) {
            std::printf("  fetch@%-2d / responder@%-2d %5.2f\n", levels[i], levels[i],
                        ratio(fetch[i].requestsPerSecond, responder[i].requestsPerSecond));
        }
    }
    for (std::size_t i = 1; i < targets.size(); ++i) {
        std::printf("fetch@16 %s / %s  %5.2f\n", targets[i].label.c_str(), targets[0].label.c_str(),
                    ratio(targets[i].fetchFigures[1].requestsPerSecond,
                          targets[0].fetchFigures[1].requestsPerSecond));
    }
    for (Target& target : targets) {
        kill(target.pid, SIGTERM);
        waitpid(target.pid, nullptr, 0);
    }
    std::string cleanup = std::string("rm -rf ") + folder;
    return std::system(cleanup.c_str()) == 0 ? 0 : 1;
}
