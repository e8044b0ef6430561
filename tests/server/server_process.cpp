#include "tests/server/server_process.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <stdexcept>
#include <thread>

#include "scores/score_protocol.h"
#include "server/game_request.h"

using namespace std::chrono_literals;

TempFolder::TempFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "quorvel-server-test.XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) {
        throw std::runtime_error("mkdtemp failed");
    }
    path = pattern;
}

TempFolder::~TempFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path, ignored);
}

ServerProcess::ServerProcess(const std::string& logFile, const std::vector<std::string>& arguments)
    : logFile(logFile) {
    std::vector<std::string> all = {SERVER_BINARY, "--port", "0"};
    all.insert(all.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& argument : all) {
        argv.push_back(argument.data());
    }
    argv.push_back(nullptr);
    // Opened here, not in the child, so that no old "listening on" line is read.
    int logFd = open(logFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    pid_t parent = getpid();
    pid = logFd < 0 ? -1 : fork();
    if (pid < 0) {
        throw std::runtime_error("cannot start the server");
    }
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
    for (auto until = std::chrono::steady_clock::now() + 10s;
         WaitForExit(5ms) < 0 && std::chrono::steady_clock::now() < until;) {
        std::string log = Log();
        if (std::regex_search(log, found, std::regex("listening on .*:([0-9]+)\n"))) {
            port = static_cast<uint16_t>(std::stoi(found[1]));
            return;
        }
    }
    throw std::runtime_error("the server did not start: " + Log());
}

ServerProcess::~ServerProcess() {
    if (status < 0) {
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
    }
}

void ServerProcess::Signal(int number) {
    if (status < 0) {
        kill(pid, number);
    }
}

int ServerProcess::WaitForExit(std::chrono::milliseconds limit) {
    for (auto until = std::chrono::steady_clock::now() + limit; status < 0;) {
        int raw = 0;
        if (waitpid(pid, &raw, WNOHANG) == pid) {
            status = WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
        } else if (std::chrono::steady_clock::now() >= until) {
            break;
        } else {
            std::this_thread::sleep_for(2ms);
        }
    }
    return status;
}

std::string ReadFile(const std::string& path) {
    std::ostringstream text;
    text << std::ifstream(path).rdbuf();
    return text.str();
}

Connection::Connection(uint16_t port) {
    fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (fd >= 0 && connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        Close();
    }
}

void Connection::Close() {
    if (fd >= 0) {
        close(std::exchange(fd, -1));
    }
}

bool Connection::Send(const std::string& bytes) {
    // A blocking send queues all of it or fails.
    return fd >= 0 &&
           send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(bytes.size());
}

std::string Connection::Read(std::chrono::milliseconds limit, bool* closed) {
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

std::string SaveLine(const std::string& wireName, int32_t score, bool fetch) {
    return "GET /hwendel/quorvel/save.php?name=" + wireName + "&score=" + std::to_string(score) +
           "&checksum=" + std::to_string(RequestChecksum(score)) + (fetch ? "&fetch=1" : "");
}

std::string Exchange(uint16_t port, const std::string& bytes) {
    Connection connection(port);
    return connection.Send(bytes) ? connection.Read(5s) : "<send failed>";
}

std::string Get(const std::string& target) {
    return "GET " + target + " HTTP/1.1\r\nHost: localhost\r\nConnection: close\r\n\r\n";
}
