#include "tests/server/server_process.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <stdexcept>

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

ServerProcess::ServerProcess(const std::vector<std::string>& arguments) {
    std::vector<std::string> all = {SERVER_BINARY, "--port", "0"};
    all.insert(all.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& argument : all) {
        argv.push_back(argument.data());
    }
    argv.push_back(nullptr);

    int pipeFds[2];
    if (pipe2(pipeFds, O_CLOEXEC) != 0) {
        throw std::runtime_error("pipe failed");
    }
    pid = fork();
    if (pid < 0) {
        throw std::runtime_error("fork failed");
    }
    if (pid == 0) {
        dup2(pipeFds[1], 2);
        execv(argv[0], argv.data());
        _exit(127);
    }
    close(pipeFds[1]);
    logFd = pipeFds[0];
    reader = std::thread([this] { ReadLog(); });

    std::unique_lock<std::mutex> lock(mutex);
    const std::string marker = "listening on ";
    bool found = changed.wait_for(lock, 10s, [&] {
        for (const std::string& line : lines) {
            if (line.rfind(marker, 0) == 0) {
                port = static_cast<uint16_t>(std::stoi(line.substr(line.rfind(':') + 1)));
                return true;
            }
        }
        return logClosed;
    });
    if (!found || port == 0) {
        lock.unlock();
        Signal(SIGKILL);
        WaitForExit(5s);
        reader.join();
        close(logFd);
        throw std::runtime_error("the server did not start");
    }
}

ServerProcess::~ServerProcess() {
    if (!exited) {
        Signal(SIGKILL);
        WaitForExit(10s);
    }
    if (reader.joinable()) {
        reader.join();
    }
    close(logFd);
}

void ServerProcess::ReadLog() {
    std::string pending;
    char chunk[4096];
    while (true) {
        ssize_t count = read(logFd, chunk, sizeof chunk);
        if (count <= 0) {
            break;
        }
        pending.append(chunk, static_cast<std::size_t>(count));
        std::size_t end;
        while ((end = pending.find('\n')) != std::string::npos) {
            std::lock_guard<std::mutex> lock(mutex);
            lines.push_back(pending.substr(0, end));
            pending.erase(0, end + 1);
            changed.notify_all();
        }
    }
    std::lock_guard<std::mutex> lock(mutex);
    logClosed = true;
    changed.notify_all();
}

void ServerProcess::Signal(int signalNumber) {
    if (!exited) {
        kill(pid, signalNumber);
    }
}

std::optional<int> ServerProcess::WaitForExit(std::chrono::milliseconds limit) {
    auto until = std::chrono::steady_clock::now() + limit;
    while (!exited) {
        int status = 0;
        pid_t done = waitpid(pid, &status, WNOHANG);
        if (done == pid) {
            exited = true;
            exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            break;
        }
        if (std::chrono::steady_clock::now() > until) {
            return std::nullopt;
        }
        std::this_thread::sleep_for(5ms);
    }
    return exitStatus;
}

std::vector<std::string> ServerProcess::LogLines() {
    std::lock_guard<std::mutex> lock(mutex);
    return lines;
}

bool ServerProcess::WaitForLog(const std::string& fragment, std::chrono::milliseconds limit) {
    std::unique_lock<std::mutex> lock(mutex);
    bool found = false;
    changed.wait_for(lock, limit, [&] {
        for (const std::string& line : lines) {
            if (line.find(fragment) != std::string::npos) {
                found = true;
            }
        }
        return found || logClosed;
    });
    return found;
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

Connection::~Connection() {
    Close();
}

void Connection::Close() {
    if (fd >= 0) {
        close(fd);
        fd = -1;
    }
}

bool Connection::Send(const std::string& bytes) {
    std::size_t sent = 0;
    while (fd >= 0 && sent < bytes.size()) {
        ssize_t count = send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (count <= 0) {
            return false;
        }
        sent += static_cast<std::size_t>(count);
    }
    return fd >= 0;
}

std::string Connection::ReadUntilClosed(std::chrono::milliseconds limit, bool* closed) {
    std::string data;
    auto until = std::chrono::steady_clock::now() + limit;
    bool peerClosed = false;
    while (fd >= 0) {
        auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(until - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            break;
        }
        pollfd waiting{fd, POLLIN, 0};
        if (poll(&waiting, 1, static_cast<int>(left.count())) <= 0) {
            continue;
        }
        char chunk[4096];
        ssize_t count = recv(fd, chunk, sizeof chunk, 0);
        if (count <= 0) {
            peerClosed = true;
            break;
        }
        data.append(chunk, static_cast<std::size_t>(count));
    }
    if (closed != nullptr) {
        *closed = peerClosed;
    }
    return data;
}

bool Connection::ClosedWithoutData(std::chrono::milliseconds limit) {
    bool closed = false;
    std::string data = ReadUntilClosed(limit, &closed);
    return closed && data.empty();
}

int32_t GameChecksum(int32_t score) {
    int64_t wrapped = (static_cast<int64_t>(score) * 577) & 0xffffffffLL;
    return static_cast<int32_t>(wrapped >= 0x80000000LL ? wrapped - 0x100000000LL : wrapped);
}

std::string SaveLine(const std::string& wireName, int32_t score, bool fetch) {
    std::string line = "GET /hwendel/quorvel/save.php?name=" + wireName + "&score=" + std::to_string(score) +
                       "&checksum=" + std::to_string(GameChecksum(score));
    if (fetch) {
        line += "&fetch=1";
    }
    return line;
}

std::string GameExchange(uint16_t port, const std::string& line) {
    Connection connection(port);
    std::string request = line + "\n";
    request += '\0';
    if (!connection.Send(request)) {
        return "<send failed>";
    }
    return connection.ReadUntilClosed(5s);
}

HttpReply ParseHttpReply(const std::string& raw) {
    HttpReply reply;
    std::size_t headEnd = raw.find("\r\n\r\n");
    reply.head = raw.substr(0, headEnd);
    if (headEnd != std::string::npos) {
        reply.body = raw.substr(headEnd + 4);
    }
    if (raw.rfind("HTTP/1.1 ", 0) == 0 && raw.size() >= 12) {
        reply.status = std::atoi(raw.substr(9, 3).c_str());
    }
    return reply;
}

HttpReply HttpGet(uint16_t port, const std::string& target) {
    Connection connection(port);
    connection.Send("GET " + target + " HTTP/1.1\r\nHost: localhost\r\nConnection: close\r\n\r\n");
    return ParseHttpReply(connection.ReadUntilClosed(5s));
}
