#pragma once

#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

std::string ReadFile(const std::string& path);

// A fresh folder under /tmp, removed with all it holds at the end.
struct TempFolder {
    TempFolder();
    ~TempFolder();
    std::string File(const std::string& name) const { return path + "/" + name; }
    std::string path;
};

// The real quorvel-scores on a free port ("--port 0"), its standard error in
// `logFile`. The child is killed when the test process dies, even by
// SIGKILL, so a test that is cut short never leaves a server behind.
class ServerProcess {
  public:
    // Throws when the server exits instead of printing its "listening on" line.
    ServerProcess(const std::string& logFile, const std::vector<std::string>& arguments);
    ~ServerProcess();
    uint16_t Port() const { return port; }
    void Signal(int number);
    // The exit status (128 + n when killed by signal n); -1 if still running after `limit`.
    int WaitForExit(std::chrono::milliseconds limit);
    std::string Log() const { return ReadFile(logFile); }

  private:
    std::string logFile;
    pid_t pid = -1;
    int status = -1;
    uint16_t port = 0;
};

// A client socket to 127.0.0.1.
class Connection {
  public:
    explicit Connection(uint16_t port);
    Connection(Connection&& other) noexcept : fd(std::exchange(other.fd, -1)) {}
    ~Connection() { Close(); }
    bool Send(const std::string& bytes);
    // All that arrives until the server closes (`*closed` = true) or `limit` passes.
    std::string Read(std::chrono::milliseconds limit, bool* closed = nullptr);
    void Close();

  private:
    int fd = -1;
};

// The game's request line, without its "\n" and zero byte.
std::string SaveLine(const std::string& wireName, int32_t score, bool fetch = true);
// Sends `bytes` on a connection of its own; returns all that came back.
std::string Exchange(uint16_t port, const std::string& bytes);
// Sends `line`, "\n" and the zero byte as the game does.
inline std::string GameExchange(uint16_t port, const std::string& line) {
    return Exchange(port, line + "\n" + std::string(1, '\0'));
}
// "GET target HTTP/1.1" with "Connection: close".
std::string Get(const std::string& target);
