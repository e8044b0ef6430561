#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>

// A scripted score server on 127.0.0.1 for one connection: it reads the
// request up to its zero byte, then answers as told.
class LoopbackServer {
  public:
    enum class Answer {
        Reply,       // send the reply text, then close
        Silent,      // let the connection be made, never answer
        NeverAccept  // listen with a full queue: connecting hangs
    };

    explicit LoopbackServer(Answer answer, std::string reply = std::string());
    ~LoopbackServer();
    LoopbackServer(const LoopbackServer&) = delete;
    LoopbackServer& operator=(const LoopbackServer&) = delete;

    uint16_t Port() const { return port; }
    std::string Received() const;

    // A port that was free a moment ago and has nobody listening on it.
    static uint16_t ClosedPort();

  private:
    void Serve();

    std::string reply;
    int listener = -1;
    int queueFiller = -1;
    uint16_t port = 0;
    std::atomic<bool> stopping{false};
    mutable std::mutex lock;
    std::string received;
    std::thread worker;
};
