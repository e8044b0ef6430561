// Helpers of the server tests: the real server as a child process, and
// client sockets.
#pragma once

#include "scores/score_protocol.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <utility>
#include <vector>

// The real quorvel-scores on a free port ("--port 0") with `arguments` added,
// its standard error in `logFile`. The child dies with the test process, even
// by SIGKILL, so a test that is cut short never leaves a server behind.
// Throws when the server exits instead of printing its "listening on" line.
class ServerProcess {
  public:
    ServerProcess(const std::string& logFile, std::vector<std::string> arguments) : logFile(logFile) {
        arguments.insert(arguments.begin(), {SERVER_BINARY, "--port", "0"});
        std::vector<char*> argv;
        for (std::string& argument : arguments) {
            argv.push_back(argument.data());
        }
        argv.push_back(nullptr);
        // Opened here, not in the child, so that no old "listening on" line is read.
        int logFd = open(logFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        pid_t parent = getpid();
        pid = logFd < 0 ? -1 : fork();
        if (pid == 0) {
            // The death signal follows the forking thread: start servers from the test's own thread.
            prctl(PR_SET_PDEATHSIG, SIGKILL);
            if (getppid() == parent && dup2(logFd, 2) == 2) {
                execv(argv[0], argv.data());
            }
            _exit(127);
        }
        close(logFd);
        std::smatch found;
        for (auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
             pid > 0 && WaitForExit(std::chrono::milliseconds(5)) < 0 &&
             std::chrono::steady_clock::now() < until;) {
            std::string log = Log();
            if (std::regex_search(log, found, std::regex("listening on .*:([0-9]+)\n"))) {
                port = static_cast<uint16_t>(std::stoi(found[1]));
                return;
            }
        }
        throw std::runtime_error("the server did not start: " + Log());
    }
    ~ServerProcess() {
        Signal(SIGKILL);
        WaitForExit(std::chrono::seconds(5));
    }
    uint16_t Port() const { return port; }
    void Signal(int number) {
        if (status < 0) {
            kill(pid, number);
        }
    }
    // The exit status (128 + n when killed by signal n); -1 if still running after `limit`.
    int WaitForExit(std::chrono::milliseconds limit) {
        for (auto until = std::chrono::steady_clock::now() + limit; status < 0;) {
            int raw = 0;
            if (waitpid(pid, &raw, WNOHANG) == pid) {
                status = WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
            } else if (std::chrono::steady_clock::now() >= until) {
                break;
            } else {
                std::this_thread::sleep_for(std::chrono::milliseconds(2));
            }
        }
        return status;
    }
    std::string Log() const {
        std::ostringstream text;
        text << std::ifstream(logFile).rdbuf();
        return text.str();
    }

  private:
    std::string logFile;
    pid_t pid = -1;
    int status = -1;
    uint16_t port = 0;
};

// A client socket to 127.0.0.1, from another loopback address if asked.
class Connection {
  public:
    explicit Connection(uint16_t port, const char* from = "127.0.0.1")
        : fd(socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)) {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        inet_pton(AF_INET, from, &address.sin_addr);
        bool bound = fd >= 0 && bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
        address.sin_port = htons(port);
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (!bound || connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
            Close();
        }
    }
    Connection(Connection&& other) noexcept : fd(std::exchange(other.fd, -1)) {}
    ~Connection() { Close(); }
    // A blocking send queues all of it or fails.
    bool Send(const std::string& bytes) {
        return fd >= 0 &&
               send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(bytes.size());
    }
    // All that arrives until the server closes (`*closed` = true) or `limit` passes.
    std::string Read(std::chrono::milliseconds limit, bool* closed = nullptr) {
        timeval timeout{limit.count() / 1000, limit.count() % 1000 * 1000};
        setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
        std::string data;
        char chunk[4096];
        ssize_t count = -1;
        while (fd >= 0 && (count = recv(fd, chunk, sizeof chunk, 0)) > 0) {
            data.append(chunk, static_cast<std::size_t>(count));
        }
        if (closed != nullptr) {
            // A reset (unread bytes at the server's close) is a close too; a timeout is not.
            *closed = fd >= 0 && (count == 0 || errno != EAGAIN);
        }
        return data;
    }
    void Close() {
        if (fd >= 0) {
            close(std::exchange(fd, -1));
        }
    }

  private:
    int fd = -1;
};

// An empty database on the tests' PostgreSQL server (ctest's postgres
// fixture, tests/server/postgres.sh); its URI.
inline std::string FreshPostgres(const std::string& name) {
    const char* server = std::getenv("QUORVEL_TEST_POSTGRES");
    std::string create =
        std::string("bash " POSTGRES_HELPER " database ") + (server ? server : "-") + " " + name;
    if (server == nullptr || std::system((create + " >/dev/null").c_str()) != 0) {
        throw std::runtime_error("no PostgreSQL for the tests: run them through ctest");
    }
    return "postgresql://quorvel@/" + name + "?host=" + server;
}

// Stops every process of the tests' PostgreSQL server (SIGSTOP) for as long
// as it lives, as a database that hangs would; always lets them go again.
class FrozenPostgres {
  public:
    FrozenPostgres() {
        pid_t main = -1;
        std::ifstream(std::string(std::getenv("QUORVEL_TEST_POSTGRES")) + "/data/postmaster.pid") >> main;
        pids.push_back(main);
        for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
            std::string stat, field;
            std::getline(std::ifstream(entry.path() / "stat"), stat);
            std::istringstream fields(stat.substr(stat.rfind(')') + 1));
            pid_t parent = -1;
            if (fields >> field >> parent && parent == main) {
                pids.push_back(std::stoi(entry.path().filename().string()));
            }
        }
        for (pid_t pid : pids) {
            kill(pid, SIGSTOP);
        }
    }
    ~FrozenPostgres() {
        for (pid_t pid : pids) {
            kill(pid, SIGCONT);
        }
    }
    FrozenPostgres(const FrozenPostgres&) = delete;
    FrozenPostgres& operator=(const FrozenPostgres&) = delete;

  private:
    std::vector<pid_t> pids;
};

// The game's request line, without its "\n" and zero byte.
inline std::string SaveLine(const std::string& wireName, int32_t score, bool fetch = true) {
    return "GET /hwendel/quorvel/save.php?name=" + wireName + "&score=" + std::to_string(score) +
           "&checksum=" + std::to_string(RequestChecksum(score)) + (fetch ? "&fetch=1" : "");
}
// Sends `bytes` on a connection of its own; returns all that came back.
inline std::string Exchange(uint16_t port, const std::string& bytes, const char* from = "127.0.0.1") {
    Connection connection(port, from);
    return connection.Send(bytes) ? connection.Read(std::chrono::seconds(5)) : "<send failed>";
}
// Sends `line`, "\n" and the zero byte as the game does.
inline std::string GameExchange(uint16_t port, const std::string& line, const char* from = "127.0.0.1") {
    return Exchange(port, line + "\n" + std::string(1, '\0'), from);
}
// "GET target HTTP/1.1" with "Connection: close".
inline std::string Get(const std::string& target) {
    return "GET " + target + " HTTP/1.1\r\nHost: localhost\r\nConnection: close\r\n\r\n";
}
