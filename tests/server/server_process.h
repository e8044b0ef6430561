#pragma once

#include <sys/types.h>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

// A temporary folder removed with everything in it at the end of a test.
class TempFolder {
  public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    const std::string& Path() const { return path; }
    std::string File(const std::string& name) const { return path + "/" + name; }

  private:
    std::string path;
};

// The real quorvel-scores binary on a free port. Its standard error is read
// by a thread of its own, so the server never blocks on a full pipe.
class ServerProcess {
  public:
    // Starts the server with "--port 0" and the given extra arguments, and
    // waits for its "listening on" line. Fails the test (throws) otherwise.
    explicit ServerProcess(const std::vector<std::string>& arguments);
    ~ServerProcess();
    ServerProcess(const ServerProcess&) = delete;
    ServerProcess& operator=(const ServerProcess&) = delete;

    uint16_t Port() const { return port; }
    pid_t Pid() const { return pid; }
    void Signal(int signalNumber);
    // The exit status (128 + n when killed by signal n), or nothing if the
    // process still runs after `limit`.
    std::optional<int> WaitForExit(std::chrono::milliseconds limit);
    std::vector<std::string> LogLines();
    bool WaitForLog(const std::string& fragment, std::chrono::milliseconds limit);

  private:
    void ReadLog();

    pid_t pid = -1;
    int logFd = -1;
    uint16_t port = 0;
    bool exited = false;
    int exitStatus = 0;
    std::thread reader;
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<std::string> lines;
    bool logClosed = false;
};

// An owned socket descriptor.
class Connection {
  public:
    explicit Connection(uint16_t port);  // connects to 127.0.0.1; IsOpen tells
    ~Connection();
    Connection(Connection&& other) noexcept : fd(other.fd) { other.fd = -1; }
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;
    Connection& operator=(Connection&& other) noexcept {
        if (this != &other) {
            Close();
            fd = other.fd;
            other.fd = -1;
        }
        return *this;
    }

    bool IsOpen() const { return fd >= 0; }
    bool Send(const std::string& bytes);
    // Reads until the peer closes or `limit` passes.
    std::string ReadUntilClosed(std::chrono::milliseconds limit, bool* closed = nullptr);
    // True when the peer closed (or reset) within `limit` without sending anything.
    bool ClosedWithoutData(std::chrono::milliseconds limit);
    void Close();

  private:
    int fd = -1;
};

// The checksum the game sends: score * 577 in wrapping 32-bit arithmetic.
int32_t GameChecksum(int32_t score);

// The game's request line, without its "\n" and zero byte.
std::string SaveLine(const std::string& wireName, int32_t score, bool fetch = true);

// Sends a game request (line, "\n", zero byte) and returns all that came back.
std::string GameExchange(uint16_t port, const std::string& line);

struct HttpReply {
    int status = 0;
    std::string head;
    std::string body;
};

// One HTTP/1.1 GET with "Connection: close".
HttpReply HttpGet(uint16_t port, const std::string& target);
HttpReply ParseHttpReply(const std::string& raw);
