#pragma once

#include <cstdint>
#include <string>
#include <thread>

// A scripted score server on 127.0.0.1 for one connection: it reads the
// request up to its zero byte, then answers as told.
class LoopbackServer {
  public:
    enum class Answer {
        Reply,       // send the reply text, then close
        Trickle,     // the same, one byte at a time with pauses between them
        Silent,      // let the connection be made, never answer
        NeverAccept  // listen with a full queue: connecting hangs
    };

    explicit LoopbackServer(Answer answer, std::string reply = std::string());
    ~LoopbackServer();

    uint16_t Port() const { return port; }
    // The request as received; waits until the reply has gone out.
    std::string Received();

    // A port that was free a moment ago and has nobody listening on it.
    static uint16_t ClosedPort();

  private:
    int listener = -1;
    int queueFiller = -1;
    uint16_t port = 0;
    std::string received;
    std::thread worker;
};
