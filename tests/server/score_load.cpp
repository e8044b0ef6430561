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

// True when the reply was "!" and the server closed the connection after it.
bool Stored(uint16_t port, uint32_t source, const std::string& request) {
    int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in from{AF_INET, 0, {htonl(source)}, {}}, to{AF_INET, htons(port), {htonl(INADDR_LOOPBACK)}, {}};
    timeval timeout{5, 0};
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
    std::string reply;
    char chunk[256];
    ssize_t count = -1;
    if (bind(fd, reinterpret_cast<sockaddr*>(&from), sizeof from) == 0 &&
        connect(fd, reinterpret_cast<sockaddr*>(&to), sizeof to) == 0 &&
        send(fd, request.data(), request.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(request.size())) {
        while ((count = recv(fd, chunk, sizeof chunk, 0)) > 0) {
            reply.append(chunk, static_cast<std::size_t>(count));
        }
    }
    close(fd);
    return count == 0 && reply == std::string(1, ReplyEnd);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fputs("usage: score_load <port> <clients>\n", stderr);
        return 2;
    }
    std::mutex output;
    std::vector<std::thread> clients;
    for (int client = 0; client < std::atoi(argv[2]); ++client) {
        clients.emplace_back([&, client] {
            for (int i = 0;; ++i) {
                std::string name = "c" + std::to_string(client) + "x" + std::to_string(i);
                int32_t score = (client * 7919 + i * 104729) % 100000;
                std::string request = SaveRequestPrefix + name + ScoreField + std::to_string(score) +
                                      ChecksumField + std::to_string(RequestChecksum(score)) + "\n";
                if (Stored(static_cast<uint16_t>(std::atoi(argv[1])), INADDR_LOOPBACK + 1 + client,
                           request + '\0')) {
                    std::lock_guard<std::mutex> lock(output);
                    std::printf("%s\n", name.c_str());
                    std::fflush(stdout);
                } else {
                    std::this_thread::sleep_for(
                        std::chrono::milliseconds(20));  // no hurry to be refused again
                }
            }
        });
    }
    for (std::thread& client : clients) {
        client.join();
    }
}
