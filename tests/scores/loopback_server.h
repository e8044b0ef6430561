#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>

// A score server stand-in on 127.0.0.1 for one connection at a time: it reads
// the request up to its zero byte, then answers as told.
class LoopbackServer {
  public:
    enum class Answer {
        Reply,       // send the reply text, then close
        Silent,      // read the request, never answer, keep the connection open
        NeverAccept  // listen with a full queue: connecting hangs
    };

    LoopbackServer(Answer answer, std::string reply = std::string());
    ~LoopbackServer();
    LoopbackServer(const LoopbackServer&) = delete;
    LoopbackServer& operator=(const LoopbackServer&) = delete;

    uint16_t Port() const { return port; }
    std::string Received() const;
    int Connections() const { return connections.load(); }

    // A port that was free a moment ago and has nobody listening on it.
    static uint16_t ClosedPort();

  private:
    void Serve();

    Answer answer;
    std::string reply;
    int listener = -1;
    int queueFiller = -1;
    uint16_t port = 0;
    std::atomic<bool> stopping{false};
    std::atomic<int> connections{0};
    mutable std::mutex lock;
    std::string received;
    std::thread worker;
};
