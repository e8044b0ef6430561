#include "tests/scores/loopback_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <stdexcept>

namespace {

int ListenOnLoopback(int backlog, uint16_t& port) {
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    if (fd < 0 || bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        listen(fd, backlog) != 0) {
        throw std::runtime_error("cannot listen on loopback");
    }
    socklen_t length = sizeof address;
    getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    port = ntohs(address.sin_port);
    return fd;
}

// Waits up to the given time for the descriptor to become readable, so that
// the worker notices when the test is over.
bool WaitReadable(int fd, int milliseconds) {
    pollfd entry{fd, POLLIN, 0};
    return poll(&entry, 1, milliseconds) > 0;
}

}  // namespace

LoopbackServer::LoopbackServer(Answer answer, std::string reply) : answer(answer), reply(std::move(reply)) {
    if (answer == Answer::NeverAccept) {
        // With a backlog of 0 the queue holds one connection that is never
        // accepted; the kernel then drops further connection attempts.
        listener = ListenOnLoopback(0, port);
        queueFiller = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = htons(port);
        if (connect(queueFiller, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
            throw std::runtime_error("cannot fill the listen queue");
        }
        return;
    }
    listener = ListenOnLoopback(4, port);
    worker = std::thread([this] { Serve(); });
}

LoopbackServer::~LoopbackServer() {
    stopping = true;
    if (worker.joinable()) {
        worker.join();
    }
    if (queueFiller >= 0) {
        close(queueFiller);
    }
    close(listener);
}

std::string LoopbackServer::Received() const {
    std::lock_guard<std::mutex> hold(lock);
    return received;
}

uint16_t LoopbackServer::ClosedPort() {
    uint16_t port = 0;
    close(ListenOnLoopback(1, port));
    return port;
}

void LoopbackServer::Serve() {
    while (!stopping) {
        if (!WaitReadable(listener, 50)) {
            continue;
        }
        int client = accept(listener, nullptr, nullptr);
        if (client < 0) {
            continue;
        }
        ++connections;
        bool complete = false;
        while (!stopping && !complete) {
            if (!WaitReadable(client, 50)) {
                continue;
            }
            char byte = 0;
            if (recv(client, &byte, 1, 0) != 1) {
                break;
            }
            std::lock_guard<std::mutex> hold(lock);
            received.push_back(byte);
            complete = byte == '\0';
        }
        if (answer == Answer::Reply) {
            std::size_t sent = 0;
            while (sent < reply.size()) {
                ssize_t n = send(client, reply.data() + sent, reply.size() - sent, MSG_NOSIGNAL);
                if (n <= 0) {
                    break;
                }
                sent += static_cast<std::size_t>(n);
            }
        } else {
            while (!stopping) {
                WaitReadable(client, 50);
                char byte = 0;
                if (recv(client, &byte, 1, MSG_DONTWAIT) == 0) {
                    break;  // the game gave up and closed its end
                }
            }
        }
        close(client);
    }
}
