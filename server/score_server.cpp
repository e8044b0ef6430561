#include "server/score_server.h"

#include "scores/score_protocol.h"
#include "server/game_request.h"
#include "server/score_page.h"
#include "server/score_store.h"
#include "server/score_writer.h"

#include <boost/asio.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>

#include <algorithm>
#include <array>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <ctime>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

namespace {

namespace net = boost::asio;
namespace beast = boost::beast;
namespace http = beast::http;
using tcp = net::ip::tcp;

std::string Timestamp() {
    auto now = std::chrono::system_clock::now();
    std::time_t seconds = std::chrono::system_clock::to_time_t(now);
    auto millis =
        std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000;
    std::tm utc{};
    gmtime_r(&seconds, &utc);
    char text[40];
    std::size_t length = std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &utc);
    std::string stamp(text, length);
    stamp += '.';
    stamp += static_cast<char>('0' + millis / 100);
    stamp += static_cast<char>('0' + millis / 10 % 10);
    stamp += static_cast<char>('0' + millis % 10);
    stamp += 'Z';
    return stamp;
}

// Client bytes go into the log only in this form: printable, short, one line.
std::string Printable(std::string_view text) {
    constexpr std::size_t MaxShown = 120;
    std::string shown;
    for (char c : text.substr(0, MaxShown)) {
        shown += (c > ' ' && c < 127) ? c : '?';
    }
    if (text.size() > MaxShown) {
        shown += "...";
    }
    return shown;
}

std::string EndpointText(const tcp::endpoint& endpoint) {
    net::ip::address address = endpoint.address();
    std::string host = address.is_v6() ? "[" + address.to_string() + "]" : address.to_string();
    return host + ":" + std::to_string(endpoint.port());
}

// The unit the per-address limits count: an IPv4 address, or an IPv6 /64,
// since one IPv6 host usually has a whole /64 to choose from.
net::ip::address ClientGroup(const net::ip::address& address) {
    if (!address.is_v6()) {
        return address;
    }
    net::ip::address_v6 v6 = address.to_v6();
    if (v6.is_v4_mapped()) {
        return net::ip::make_address_v4(net::ip::v4_mapped, v6);
    }
    net::ip::address_v6::bytes_type bytes = v6.to_bytes();
    std::fill(bytes.begin() + 8, bytes.end(), 0);
    return net::ip::address_v6(bytes);
}

// One line per event on standard error: time, peer, kind, result.
void Log(const std::string& peer, std::string_view kind, const std::string& result) {
    std::string line = Timestamp() + " " + peer + " ";
    line += kind;
    line += " " + result + "\n";
    std::fwrite(line.data(), 1, line.size(), stderr);
}

class Session;

// Owns the listening socket and knows every live connection, so that a stop
// can reach them all. Everything but the writer's commits runs on one
// thread: no locks.
class Server {
  public:
    Server(net::io_context& io, const ServerOptions& options, ScoreStore& reader, ScoreWriter& writer)
        : options(options),
          reader(reader),
          writer(writer),
          acceptor(io),
          retryTimer(io),
          signals(io, SIGINT, SIGTERM) {}

    // Returns an error text, empty on success.
    std::string Open();
    tcp::endpoint LocalEndpoint() const { return acceptor.local_endpoint(); }
    void Start();
    bool Stopping() const { return stopping; }
    // Takes one score from the allowance of the client's address, if any is left.
    bool MayStore(const net::ip::address& group);

    const ServerOptions& options;
    // Reads never wait behind the writer: they have a connection of their own.
    ScoreStore& reader;
    ScoreWriter& writer;
    std::unordered_set<Session*> sessions;
    std::map<net::ip::address, std::size_t> connectionsFrom;

  private:
    // Scores one address may still store: refilled at scoresPerMinute, up
    // to that many at once.
    struct Allowance {
        double scores = 0;
        std::chrono::steady_clock::time_point updated;
    };

    void Accept();
    void Admit(tcp::socket socket);
    void Stop(int signalNumber);

    tcp::acceptor acceptor;
    net::steady_timer retryTimer;
    net::signal_set signals;
    bool stopping = false;
    std::map<net::ip::address, Allowance> allowances;
    std::size_t pruneAllowancesAt = 4096;
};

// One client connection: first decides between the game's bare line and
// HTTP/1.1, then answers, then closes (HTTP may keep the connection alive).
class Session : public std::enable_shared_from_this<Session> {
  public:
    Session(tcp::socket socket, const tcp::endpoint& remote, Server& server)
        : stream(std::move(socket)),
          buffer(server.options.requestLimit),
          server(server),
          peer(EndpointText(remote)),
          group(ClientGroup(remote.address())) {
        server.sessions.insert(this);
        ++server.connectionsFrom[group];
    }
    ~Session() {
        server.sessions.erase(this);
        auto counted = server.connectionsFrom.find(group);
        if (--counted->second == 0) {
            server.connectionsFrom.erase(counted);
        }
    }
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    void Start() {
        stream.expires_after(server.options.deadline);
        ReadStart();
    }

    // The server is stopping: drop what is being read, finish what is being
    // stored or written.
    void Stop() {
        if (phase != Phase::Writing) {
            stream.cancel();
        }
    }

  private:
    enum class Phase { Reading, Storing, Writing, Closing };

    void ReadStart() {
        std::size_t room = std::min<std::size_t>(1024, buffer.max_size() - buffer.size());
        stream.async_read_some(buffer.prepare(room),
                               [self = shared_from_this()](beast::error_code ec, std::size_t count) {
                                   self->OnStartRead(ec, count);
                               });
    }

    void OnStartRead(beast::error_code ec, std::size_t count) {
        if (ec) {
            ReadFailed(ec);
            return;
        }
        buffer.commit(count);
        std::string_view received(static_cast<const char*>(buffer.data().data()), buffer.size());
        switch (ClassifyConnectionStart(received, server.options.requestLimit)) {
            case ConnectionStart::NeedMore:
                ReadStart();
                break;
            case ConnectionStart::GameLine:
                AnswerGame(received.substr(0, received.find('\n')));
                break;
            case ConnectionStart::Http:
                ReadHttp();
                break;
            case ConnectionStart::TooLong:
                Log(peer, "refused", "request-too-long");
                SendHttp(MessageResponse(http::status::uri_too_long, 11, "The request is too long."), true);
                break;
        }
    }

    void ReadFailed(beast::error_code ec) {
        if (ec == net::error::operation_aborted) {
            return;
        }
        bool partial = buffer.size() > 0;
        if (ec == beast::error::timeout) {
            if (partial || !servedOne) {
                Log(peer, "timeout", partial ? "incomplete request dropped" : "no request");
            }
        } else if (partial) {
            Log(peer, "dropped", "incomplete request: " + ec.message());
        }
    }

    void AnswerGame(std::string_view line) {
        GameRequest request = ParseGameRequest(line);
        withList = request.fetch && request.verdict != RequestVerdict::NotASaveRequest;
        if (request.verdict != RequestVerdict::Accepted) {
            ReplyToGame(std::string("rejected ") + VerdictName(request.verdict));
            return;
        }
        if (!server.MayStore(group)) {
            ReplyToGame("rejected too-many-scores");
            return;
        }
        phase = Phase::Storing;
        std::string stored =
            "stored name=" + EncodePlayerName(request.name) + " score=" + std::to_string(request.score);
        // Keeps the I/O loop running until the writer has answered.
        auto executor = net::prefer(stream.get_executor(), net::execution::outstanding_work.tracked);
        server.writer.Submit(
            {std::move(request.name), request.score}, withList,
            [self = shared_from_this(), executor, stored](const StoreOutcome& outcome) mutable {
                // Moved on, so that the writer's thread never holds the last owner.
                net::post(std::move(executor),
                          [self = std::move(self), stored, outcome] { self->OnStored(stored, outcome); });
            });
    }

    void OnStored(std::string result, const StoreOutcome& outcome) {
        if (!outcome.error.empty()) {
            // Not stored, so not acknowledged: the client sees the connection close.
            Log(peer, "game", "store-failed " + outcome.error);
            return;
        }
        std::string reply(1, ReplyEnd);
        if (withList && outcome.best) {
            reply = FormatGameReply(*outcome.best);
        } else if (withList) {
            result += " list-failed " + outcome.bestError;
        }
        SendGameReply(result, std::move(reply));
    }

    void ReplyToGame(std::string result) {
        std::string reply(1, ReplyEnd);
        if (withList) {
            try {
                reply = FormatGameReply(server.reader.Best(std::nullopt, MostScoreRecords));
            } catch (const std::exception& error) {
                result += std::string(" list-failed ") + error.what();
            }
        }
        SendGameReply(result, std::move(reply));
    }

    void SendGameReply(const std::string& result, std::string reply) {
        Log(peer, "game", result + (withList ? " reply=list" : " reply=bare"));
        gameReply = std::move(reply);
        servedOne = true;
        phase = Phase::Writing;
        stream.expires_after(server.options.deadline);
        net::async_write(stream, net::buffer(gameReply),
                         [self = shared_from_this()](beast::error_code writeError, std::size_t) {
                             self->OnWritten(writeError, true);
                         });
    }

    void ReadHttp() {
        phase = Phase::Reading;
        parser.emplace();
        parser->header_limit(static_cast<std::uint32_t>(server.options.requestLimit));
        if (servedOne) {
            stream.expires_after(server.options.deadline);
        }
        http::async_read(
            stream, buffer, *parser,
            [self = shared_from_this()](beast::error_code ec, std::size_t) { self->OnHttpRead(ec); });
    }

    void OnHttpRead(beast::error_code ec) {
        if (ec == http::error::end_of_stream || ec == net::error::operation_aborted) {
            return;
        }
        if (ec == http::error::header_limit || ec == http::error::buffer_overflow) {
            Log(peer, "refused", "request-too-long");
            SendHttp(MessageResponse(http::status::request_header_fields_too_large, 11,
                                     "The request is too long."),
                     true);
            return;
        }
        if (ec && ec.category() == beast::error_code(http::error::bad_target).category()) {
            Log(peer, "http", "bad-request " + ec.message());
            SendHttp(MessageResponse(http::status::bad_request, 11, "This is not a request I understand."),
                     true);
            return;
        }
        if (ec) {
            ReadFailed(ec);
            return;
        }
        AnswerHttp(parser->get());
    }

    void AnswerHttp(const http::request<http::empty_body>& request) {
        std::string_view target(request.target().data(), request.target().size());
        std::size_t mark = target.find('?');
        std::string_view path = target.substr(0, mark);
        std::string_view query =
            mark == std::string_view::npos ? std::string_view() : target.substr(mark + 1);
        unsigned version = request.version();
        bool close = !request.keep_alive();

        http::response<http::string_body> response;
        if (request.method() != http::verb::get) {
            response = MessageResponse(http::status::method_not_allowed, version, "Only GET is served here.");
            response.set(http::field::allow, "GET");
        } else if (path == "/scores") {
            response = ScoresResponse(query, version);
        } else if (path == "/healthz") {
            response = HealthResponse(version);
        } else if (path == "/") {
            response = MessageResponse(http::status::found, version, "The scores are at /scores.");
            response.set(http::field::location, "/scores");
        } else {
            response = MessageResponse(http::status::not_found, version, "There is nothing here.");
        }
        // A load balancer asks for /healthz every few seconds: only its failures are worth a line.
        if (path != "/healthz" || response.result() != http::status::ok) {
            Log(peer, "http",
                std::string(request.method_string()) + " " + Printable(target) + " " +
                    std::to_string(response.result_int()));
        }
        servedOne = true;
        SendHttp(std::move(response), close);
    }

    http::response<http::string_body> ScoresResponse(std::string_view query, unsigned version) {
        try {
            http::response<http::string_body> response{http::status::ok, version};
            response.set(http::field::content_type, "text/html; charset=utf-8");
            response.set(http::field::cache_control, "no-cache");
            response.body() = RenderScorePage(ReadScorePage(server.reader, query));
            return response;
        } catch (const std::exception& error) {
            Log(peer, "error", error.what());
            return MessageResponse(http::status::internal_server_error, version,
                                   "The scores cannot be read now.");
        }
    }

    http::response<http::string_body> HealthResponse(unsigned version) {
        http::response<http::string_body> response{http::status::ok, version};
        response.set(http::field::content_type, "text/plain; charset=utf-8");
        response.set(http::field::cache_control, "no-cache");
        try {
            server.reader.Check();
            response.body() = "ok\n";
        } catch (const std::exception& error) {
            Log(peer, "error", error.what());
            response.result(http::status::service_unavailable);
            response.body() = "The database does not answer.\n";
        }
        return response;
    }

    static http::response<http::string_body> MessageResponse(http::status status, unsigned version,
                                                             std::string_view message) {
        http::response<http::string_body> response{status, version};
        response.set(http::field::content_type, "text/html; charset=utf-8");
        std::string title = std::to_string(static_cast<unsigned>(status)) + " ";
        title += http::obsolete_reason(status);
        response.body() = RenderMessagePage(title, message);
        return response;
    }

    void SendHttp(http::response<http::string_body>&& reply, bool close) {
        close = close || server.Stopping();
        response = std::move(reply);
        response.set(http::field::server, "quorvel-scores");
        response.keep_alive(!close);
        response.prepare_payload();
        phase = Phase::Writing;
        stream.expires_after(server.options.deadline);
        http::async_write(stream, response,
                          [self = shared_from_this(), close](beast::error_code ec, std::size_t) {
                              self->OnWritten(ec, close);
                          });
    }

    void OnWritten(beast::error_code ec, bool close) {
        if (ec) {
            Log(peer, "dropped", "reply not delivered: " + ec.message());
            return;
        }
        if (close || server.Stopping()) {
            Finish();
        } else {
            ReadHttp();
        }
    }

    // Half-closes and reads until the client closes too: closing a socket
    // with unread input makes the kernel reset it, and a reset can destroy a
    // reply the client has not read yet.
    void Finish() {
        phase = Phase::Closing;
        beast::error_code ignored;
        stream.socket().shutdown(tcp::socket::shutdown_send, ignored);
        if (server.Stopping()) {
            return;
        }
        stream.expires_after(
            std::min<std::chrono::milliseconds>(server.options.deadline, std::chrono::milliseconds(1000)));
        Drain();
    }

    void Drain() {
        stream.async_read_some(net::buffer(drainBuffer),
                               [self = shared_from_this()](beast::error_code ec, std::size_t) {
                                   if (!ec && !self->server.Stopping()) {
                                       self->Drain();
                                   }
                               });
    }

    beast::tcp_stream stream;
    beast::flat_buffer buffer;
    Server& server;
    std::string peer;
    net::ip::address group;
    Phase phase = Phase::Reading;
    bool servedOne = false;
    bool withList = false;
    std::optional<http::request_parser<http::empty_body>> parser;
    std::string gameReply;
    http::response<http::string_body> response;
    std::array<char, 512> drainBuffer{};
};

std::string Server::Open() {
    beast::error_code ec;
    tcp::resolver resolver(acceptor.get_executor());
    auto endpoints = resolver.resolve(options.listen, std::to_string(options.port),
                                      tcp::resolver::passive | tcp::resolver::numeric_service, ec);
    if (ec || endpoints.empty()) {
        return "cannot use the address " + options.listen + ": " + ec.message();
    }
    tcp::endpoint endpoint = endpoints.begin()->endpoint();
    acceptor.open(endpoint.protocol(), ec);
    if (!ec) {
        acceptor.set_option(net::socket_base::reuse_address(true), ec);
    }
    if (!ec) {
        acceptor.bind(endpoint, ec);
    }
    if (!ec) {
        acceptor.listen(net::socket_base::max_listen_connections, ec);
    }
    if (ec) {
        return "cannot listen on " + EndpointText(endpoint) + ": " + ec.message();
    }
    return {};
}

void Server::Start() {
    signals.async_wait([this](beast::error_code ec, int signalNumber) {
        if (!ec) {
            Stop(signalNumber);
        }
    });
    Accept();
}

void Server::Accept() {
    acceptor.async_accept([this](beast::error_code ec, tcp::socket socket) {
        if (stopping || ec == net::error::operation_aborted) {
            return;
        }
        if (ec) {
            // Out of descriptors, for instance: wait a little instead of spinning.
            Log("-", "error", "accept failed: " + ec.message());
            retryTimer.expires_after(std::chrono::milliseconds(100));
            retryTimer.async_wait([this](beast::error_code timerError) {
                if (!timerError && !stopping) {
                    Accept();
                }
            });
            return;
        }
        Admit(std::move(socket));
        Accept();
    });
}

void Server::Admit(tcp::socket socket) {
    beast::error_code ec;
    tcp::endpoint remote = socket.remote_endpoint(ec);
    if (ec) {
        return;  // already gone
    }
    const char* refusal = nullptr;
    if (sessions.size() >= options.maxConnections) {
        refusal = "connection-limit";
    } else {
        auto counted = connectionsFrom.find(ClientGroup(remote.address()));
        if (counted != connectionsFrom.end() && counted->second >= options.maxConnectionsPerAddress) {
            refusal = "address-connection-limit";
        }
    }
    if (refusal != nullptr) {
        Log(EndpointText(remote), "refused", refusal);
        socket.close(ec);
        return;
    }
    std::make_shared<Session>(std::move(socket), remote, *this)->Start();
}

bool Server::MayStore(const net::ip::address& group) {
    using Clock = std::chrono::steady_clock;
    const double full = static_cast<double>(options.scoresPerMinute);
    Clock::time_point now = Clock::now();
    auto refilled = [&](const Allowance& allowance) {
        double seconds = std::chrono::duration<double>(now - allowance.updated).count();
        return std::min(full, allowance.scores + seconds * full / 60);
    };
    if (allowances.size() >= pruneAllowancesAt) {
        // A full allowance is the same as none kept.
        for (auto entry = allowances.begin(); entry != allowances.end();) {
            entry = refilled(entry->second) >= full ? allowances.erase(entry) : std::next(entry);
        }
        pruneAllowancesAt = std::max<std::size_t>(4096, 2 * allowances.size());
    }
    Allowance& allowance = allowances.try_emplace(group, Allowance{full, now}).first->second;
    allowance.scores = refilled(allowance);
    allowance.updated = now;
    if (allowance.scores < 1) {
        return false;
    }
    allowance.scores -= 1;
    return true;
}

void Server::Stop(int signalNumber) {
    Log("-", "stop",
        "signal " + std::to_string(signalNumber) + ", finishing " + std::to_string(sessions.size()) +
            " connection(s)");
    stopping = true;
    beast::error_code ignored;
    acceptor.close(ignored);
    retryTimer.cancel();
    std::vector<Session*> live(sessions.begin(), sessions.end());
    for (Session* session : live) {
        session->Stop();
    }
}

}  // namespace

int RunScoreServer(const ServerOptions& options) {
    std::signal(SIGPIPE, SIG_IGN);
    std::unique_ptr<ScoreStore> reader;
    std::unique_ptr<ScoreStore> writerStore;
    try {
        writerStore = OpenScoreStore(options.database);
        reader = OpenScoreStore(options.database);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "quorvel-scores: %s (%s)\n", error.what(), options.database.c_str());
        return 1;
    }
    {
        net::io_context io(1);
        // Declared after the I/O context, so it is drained and joined before the context goes.
        ScoreWriter writer(std::move(writerStore), MostScoreRecords);
        Server server(io, options, *reader, writer);
        std::string error = server.Open();
        if (!error.empty()) {
            std::fprintf(stderr, "quorvel-scores: %s\n", error.c_str());
            return 1;
        }
        std::string listening = "listening on " + EndpointText(server.LocalEndpoint()) + "\n";
        std::fwrite(listening.data(), 1, listening.size(), stderr);
        server.Start();
        io.run();
    }
    reader.reset();
    Log("-", "stop", "stopped, database closed");
    return 0;
}
