#include "tests/scores/loopback_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <stdexcept>

namespace {

sockaddr_in Loopback(uint16_t port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port);
    return address;
}

int ListenOnLoopback(int backlog, uint16_t& port) {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address = Loopback(0);
    socklen_t length = sizeof address;
    if (fd < 0 || bind(fd, reinterpret_cast<sockaddr*>(&address), length) != 0 || listen(fd, backlog) != 0 ||
        getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        throw std::runtime_error("cannot listen on loopback");
    }
    port = ntohs(address.sin_port);
    return fd;
}

}  // namespace

LoopbackServer::LoopbackServer(Answer answer, std::string reply) {
    // The kernel completes connections into the listen queue without accept():
    // unserved, they stay silent. With a backlog of 0 and one connection
    // queued, it drops further attempts, which then hang.
    listener = ListenOnLoopback(answer == Answer::NeverAccept ? 0 : 4, port);
    if (answer == Answer::NeverAccept) {
        queueFiller = socket(AF_INET, SOCK_STREAM, 0);
        const sockaddr_in address = Loopback(port);
        if (connect(queueFiller, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
            throw std::runtime_error("cannot fill the listen queue");
        }
    } else if (answer != Answer::Silent) {
        worker = std::thread([this, answer, reply] {
            const int client = accept(listener, nullptr, nullptr);
            for (char byte = 1; client >= 0 && byte != '\0' && recv(client, &byte, 1, 0) == 1;) {
                received.push_back(byte);
            }
            const bool trickle = answer == Answer::Trickle;
            for (std::size_t sent = 0; client >= 0 && sent < reply.size();) {
                std::this_thread::sleep_for(std::chrono::milliseconds(trickle ? 150 : 0));
                const ssize_t n =
                    send(client, reply.data() + sent, trickle ? 1 : reply.size() - sent, MSG_NOSIGNAL);
                sent = n > 0 ? sent + static_cast<std::size_t>(n) : reply.size();
            }
            close(client);
        });
    }
}

LoopbackServer::~LoopbackServer() {
    shutdown(listener, SHUT_RDWR);  // wakes an accept that nobody answered
    if (worker.joinable()) {
        worker.join();
    }
    close(queueFiller);
    close(listener);
}

std::string LoopbackServer::Received() {
    if (worker.joinable()) {
        worker.join();
    }
    return received;
}

uint16_t LoopbackServer::ClosedPort() {
    uint16_t port = 0;
    close(ListenOnLoopback(1, port));
    return port;
}
