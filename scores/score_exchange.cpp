#include "scores/score_exchange.h"

#include "engine/text.h"
#include "scores/score_protocol.h"

#include <SDL_net.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <system_error>
#include <thread>
#include <type_traits>

namespace {

using Clock = std::chrono::steady_clock;

// The networking library for the length of one exchange.
class NetworkSession {
  public:
    NetworkSession() : started(SDLNet_Init() == 0) {}
    ~NetworkSession() {
        if (started) {
            SDLNet_Quit();
        }
    }
    NetworkSession(const NetworkSession&) = delete;
    NetworkSession& operator=(const NetworkSession&) = delete;
    bool Started() const { return started; }

  private:
    bool started;
};

struct SocketCloser {
    void operator()(TCPsocket socket) const { SDLNet_TCP_Close(socket); }
};
using Connection = std::unique_ptr<std::remove_pointer_t<TCPsocket>, SocketCloser>;

struct SocketSetFreer {
    void operator()(SDLNet_SocketSet set) const { SDLNet_FreeSocketSet(set); }
};
using SocketSet = std::unique_ptr<std::remove_pointer_t<SDLNet_SocketSet>, SocketSetFreer>;

// Shared between the exchange and the helper thread that connects for it.
struct PendingConnection {
    std::mutex lock;
    std::condition_variable finished;
    bool done = false;
    bool abandoned = false;
    TCPsocket socket = nullptr;
};

void ConnectInBackground(std::shared_ptr<PendingConnection> pending, std::string host, uint16_t port) {
    IPaddress address;
    TCPsocket socket = nullptr;
    if (SDLNet_ResolveHost(&address, host.c_str(), port) == 0) {
        socket = SDLNet_TCP_Open(&address);
    }
    std::lock_guard<std::mutex> hold(pending->lock);
    if (pending->abandoned) {
        if (socket != nullptr) {
            SDLNet_TCP_Close(socket);
        }
    } else {
        pending->socket = socket;
    }
    pending->done = true;
    pending->finished.notify_one();
}

// Name resolution and connecting block inside SDL_net with no time limit of
// their own (a silent host keeps a connect waiting for minutes), so they run
// on a helper thread while the exchange waits for it until the deadline. An
// abandoned helper closes its late connection itself.
Connection Connect(const ScoreServer& server, Clock::time_point deadline) {
    auto pending = std::make_shared<PendingConnection>();
    try {
        std::thread(ConnectInBackground, pending, server.host, server.port).detach();
    } catch (const std::system_error&) {
        return Connection();
    }
    std::unique_lock<std::mutex> hold(pending->lock);
    if (!pending->finished.wait_until(hold, deadline, [&pending] { return pending->done; })) {
        pending->abandoned = true;
        return Connection();
    }
    return Connection(pending->socket);
}

// Reads up to the closing "!" or the end of the connection. False when the
// deadline passes first or the reply grows beyond the limit.
bool ReceiveReply(TCPsocket socket, Clock::time_point deadline, std::size_t longestReply,
                  std::string& reply) {
    SocketSet set(SDLNet_AllocSocketSet(1));
    if (!set || SDLNet_TCP_AddSocket(set.get(), socket) < 0) {
        return false;
    }
    char buffer[512];
    for (;;) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0) {
            return false;
        }
        // Short slices keep the deadline on the clock that measures it.
        const int ready = SDLNet_CheckSockets(set.get(), static_cast<Uint32>(std::min<long long>(left, 100)));
        if (ready < 0) {
            return false;
        }
        if (ready == 0 || !SDLNet_SocketReady(socket)) {
            continue;
        }
        const int received = SDLNet_TCP_Recv(socket, buffer, sizeof buffer);
        if (received <= 0) {
            return true;  // closed early: the reply is what arrived
        }
        for (int i = 0; i < received; ++i) {
            if (buffer[i] == ReplyEnd) {
                return true;
            }
            if (reply.size() == longestReply) {
                return false;
            }
            reply.push_back(buffer[i]);
        }
    }
}

}  // namespace

std::string BuildSaveRequest(const std::string& playerName, int32_t score) {
    std::string request = SaveRequestPrefix;
    request += EncodePlayerName(playerName);
    request += ScoreField;
    request += NumberToText(score);
    request += ChecksumField;
    request += NumberToText(RequestChecksum(score));
    request += SaveRequestEnd;
    request.push_back('\0');
    return request;
}

ScoreList ParseScoreReply(const std::string& reply) {
    ScoreList list;
    for (const std::string& record : Split(reply, RecordSeparator, MostScoreRecords)) {
        if (record.empty()) {
            continue;
        }
        const std::vector<std::string> fields = Split(record, FieldSeparator, 2);
        list.names.push_back(DecodePlayerName(fields[0]));
        list.values.push_back(fields.size() > 1 ? fields[1] : std::string());
    }
    return list;
}

ExchangeResult ExchangeScores(const ScoreServer& server, const std::string& request,
                              const ExchangeLimits& limits) {
    ExchangeResult result;
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(limits.timeLimitMs);
    NetworkSession network;
    if (!network.Started()) {
        result.failed = true;
        return result;
    }
    Connection connection = Connect(server, deadline);
    if (!connection) {
        result.failed = true;
        return result;
    }
    const int length = static_cast<int>(request.size());
    if (SDLNet_TCP_Send(connection.get(), request.data(), length) < length) {
        result.failed = true;  // the reply is still read, but not shown
    }
    std::string reply;
    if (!ReceiveReply(connection.get(), deadline, limits.longestReply, reply)) {
        result.failed = true;
    }
    connection.reset();
    result.scores = ParseScoreReply(reply);
    return result;
}
