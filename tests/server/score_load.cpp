// Stores scores as the game does, as fast as it can, from `clients` threads,
// each from a loopback address of its own (127.0.0.2, .3, ...), since HAProxy
// limits each source. Prints the name of every score whose whole reply ("!",
// then the close) arrived, one per line, until it is killed.
//   score_load <port> <clients>
#include <arpa/inet.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "scores/score_protocol.h"

namespace {

// The reply when the server closed the connection after it, "?" otherwise.
std::string Exchange(uint16_t port, uint32_t source, const std::string& request) {
    int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(source);
    timeval timeout{5, 0};
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
    std::string reply = "?";
    if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) {
        address.sin_port = htons(port);
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
            send(fd, request.data(), request.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(request.size())) {
            reply.clear();
            char chunk[256];
            ssize_t count;
            while ((count = recv(fd, chunk, sizeof chunk, 0)) > 0) {
                reply.append(chunk, static_cast<std::size_t>(count));
            }
            if (count < 0) {
                reply = "?";
            }
        }
    }
    close(fd);
    return reply;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fputs("usage: score_load <port> <clients>\n", stderr);
        return 2;
    }
    uint16_t port = static_cast<uint16_t>(std::atoi(argv[1]));
    std::mutex output;
    std::vector<std::thread> clients;
    for (int client = 0; client < std::atoi(argv[2]); ++client) {
        clients.emplace_back([&, client] {
            for (int i = 0;; ++i) {
                std::string name = "c" + std::to_string(client) + "x" + std::to_string(i);
                int32_t score = (client * 7919 + i * 104729) % 100000;
                std::string request = SaveRequestPrefix + name + ScoreField + std::to_string(score) +
                                      ChecksumField + std::to_string(RequestChecksum(score)) + "\n";
                if (Exchange(port, INADDR_LOOPBACK + 1 + static_cast<uint32_t>(client), request + '\0') ==
                    std::string(1, ReplyEnd)) {
                    std::lock_guard<std::mutex> lock(output);
                    std::printf("%s\n", name.c_str());
                    std::fflush(stdout);
                } else {
                    // Refused or failed: no hurry to be refused again.
                    std::this_thread::sleep_for(std::chrono::milliseconds(20));
                }
            }
        });
    }
    for (std::thread& client : clients) {
        client.join();
    }
}
