#include "server/score_server.h"

#include "scores/score_protocol.h"
#include "server/change_watch.h"
#include "server/client_limits.h"
#include "server/game_request.h"
#include "server/score_api.h"
#include "server/score_page.h"
#include "server/score_reader.h"
#include "server/score_store.h"
#include "server/score_writer.h"
#include "server/server_log.h"
#include "server/stop_guard.h"

#include <boost/asio.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <functional>
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

// Every response says what it is and lets the page do nothing but show
// itself with its own style sheet.
constexpr const char* ContentSecurityPolicy =
    "default-src 'none'; style-src 'unsafe-inline'; img-src 'self' data:; base-uri 'none'; "
    "form-action 'none'; frame-ancestors 'none'";

// How long the scores page may show a board's histogram before it is counted again.
constexpr std::chrono::seconds HistogramMaxAge{5};

// How long a stop waits for the database before it abandons what is left.
constexpr std::chrono::milliseconds StopGrace{1500};

class Session;

// Owns the listening socket and knows every live connection, so that a stop
// can reach them all. Everything but the database's work runs on one
// thread: no locks, and no call that can wait for the database.
class Server {
  public:
    Server(net::io_context& io, const ServerOptions& options, ScoreReader& reader, HistogramCache& histograms,
           ScoreWriter& writer, ChangeWatch& changes, StopGuard& stopGuard)
        : options(options),
          reader(reader),
          histograms(histograms),
          writer(writer),
          changes(changes),
          acceptor(io),
          retryTimer(io),
          signals(io, SIGINT, SIGTERM, SIGHUP),
          stopGuard(stopGuard),
          allowances(options.scoresPerMinute) {}

    // Returns an error text, empty on success.
    std::string Open();
    tcp::endpoint LocalEndpoint() const { return acceptor.local_endpoint(); }
    void Start();
    bool Stopping() const { return stopping; }
    // Takes one score from the allowance of the client's address, if any is left.
    bool MayStore(const net::ip::address& group);

    // The game's list as last read, for a reply the database is too slow to give.
    void Remember(std::shared_ptr<const std::vector<StoredScore>> best) { lastBest = std::move(best); }
    const std::shared_ptr<const std::vector<StoredScore>>& LastBest() const { return lastBest; }

    // What a list read now would be read after: every change the watch has
    // seen, and every store of this instance's writer.
    struct ListStamp {
        uint64_t changes;
        uint64_t ownStores;
        bool operator==(const ListStamp& other) const {
            return changes == other.changes && ownStores == other.ownStores;
        }
    };
    ListStamp StampList() { return {changes.Version(), ownStores}; }
    // The game's list read after `stamp`: the reply to give while nothing changes.
    const std::string& Know(const ListStamp& stamp, std::shared_ptr<const std::vector<StoredScore>> best) {
        lastBest = std::move(best);
        known = {stamp, FormatGameReply(*lastBest)};
        return known->second;
    }
    // The reply known for `stamp`, if no change came after it.
    const std::string* KnownReply(const ListStamp& stamp) const {
        return known && known->first == stamp ? &known->second : nullptr;
    }
    // Called for each store the writer finished, in time or not: the stamp
    // moves before its acknowledgement goes, since a notice of the commit
    // (on PostgreSQL) may come later.
    void CountOwnStore() { ++ownStores; }
    // Whether the last store failed (or did not answer) with none stored since.
    void StoreWorked(bool worked) { storeFailing = !worked; }
    bool StoreFailing() const { return storeFailing; }

    const ServerOptions& options;
    // Reads never wait behind the writer: they have connections of their own.
    ScoreReader& reader;
    // Used on the reader threads.
    HistogramCache& histograms;
    ScoreWriter& writer;
    ChangeWatch& changes;
    std::unordered_set<Session*> sessions;
    std::map<net::ip::address, std::size_t> connectionsFrom;

  private:
    void Accept();
    void Admit(tcp::socket socket);
    bool MakeRoomFor(const net::ip::address& group);
    void WaitForSignal();
    void Stop(int signalNumber);

    tcp::acceptor acceptor;
    net::steady_timer retryTimer;
    net::signal_set signals;
    StopGuard& stopGuard;
    bool stopping = false;
    bool storeFailing = false;
    std::shared_ptr<const std::vector<StoredScore>> lastBest;
    uint64_t ownStores = 0;
    std::optional<std::pair<ListStamp, std::string>> known;
    ScoreAllowances allowances;
};

// One client connection: first decides between the game's bare line and
// HTTP/1.1, then answers, then closes (HTTP may keep the connection alive).
// What needs the database is asked of the reader or the writer threads, and
// waited for only until a deadline of its own; the answer that comes first,
// the database's or the deadline's, is the one given.
class Session : public std::enable_shared_from_this<Session> {
  public:
    Session(tcp::socket socket, const tcp::endpoint& remote, Server& server)
        : stream(std::move(socket)),
          buffer(server.options.requestLimit),
          wait(stream.get_executor()),
          server(server),
          peer(EndpointText(remote)),
          group(ClientGroup(remote.address())),
          idleSince(std::chrono::steady_clock::now()) {
        server.sessions.insert(this);
        ++server.connectionsFrom[group];
    }
    ~Session() { Uncount(); }
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

    // Waiting for a request, with nothing of it received yet.
    bool Idle() const { return phase == Phase::Reading && buffer.size() == 0; }
    std::chrono::steady_clock::time_point IdleSince() const { return idleSince; }
    const net::ip::address& Group() const { return group; }

    // Closed to make room for another address: no longer counted at once,
    // though its handlers still run to their end.
    void Evict() {
        Log(peer, "closed", "idle, to make room for another address");
        Uncount();
        beast::error_code ignored;
        stream.socket().close(ignored);
    }

  private:
    enum class Phase { Reading, Storing, Answering, Writing, Closing };
    using Response = http::response<http::string_body>;

    void Uncount() {
        if (!counted) {
            return;
        }
        counted = false;
        server.sessions.erase(this);
        auto count = server.connectionsFrom.find(group);
        if (--count->second == 0) {
            server.connectionsFrom.erase(count);
        }
    }

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
        if (ec == net::error::operation_aborted || !counted) {
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

    // Waits for the database's answer (`Answer`, given a ticket) until
    // `limit`; then calls `late` instead. Only the first of the two counts.
    template <typename Late>
    uint64_t Await(std::chrono::milliseconds limit, Late late) {
        phase = Phase::Answering;
        uint64_t ticket = ++tickets;
        wait.expires_after(limit);
        wait.async_wait([self = shared_from_this(), ticket, late](beast::error_code ec) mutable {
            if (!ec && self->tickets == ticket) {
                ++self->tickets;
                late(*self);
            }
        });
        return ticket;
    }
    // True once for the answer holding `ticket`, when it came in time.
    bool InTime(uint64_t ticket) {
        if (tickets != ticket) {
            return false;
        }
        ++tickets;
        wait.cancel();
        return true;
    }

    // Runs `read` on a reader thread; `answer(session, result)` follows on
    // this thread, unless the deadline's `late(session)` came first.
    template <typename Result, typename Read, typename Answer, typename Late>
    void AskReader(Read read, Answer answer, Late late) {
        std::chrono::milliseconds limit = server.options.readDeadline;
        uint64_t ticket = Await(limit, late);
        // A weak owner: the reader's thread must never hold the last one.
        std::weak_ptr<Session> weak = weak_from_this();
        auto executor = stream.get_executor();
        bool queued =
            server.reader.Submit(std::chrono::steady_clock::now() + limit,
                                 [weak, executor, ticket, read, answer](ScoreStore& store) {
                                     Result result = read(store);
                                     net::post(executor, [weak, ticket, answer, result = std::move(result)] {
                                         std::shared_ptr<Session> self = weak.lock();
                                         if (self && self->InTime(ticket)) {
                                             answer(*self, result);
                                         }
                                     });
                                 });
        if (!queued && InTime(ticket)) {
            late(*this);  // every reader is busy: as late as can be
        }
    }

    void AnswerGame(std::string_view line) {
        GameRequest request = ParseGameRequest(line);
        withList = request.fetch && request.verdict != RequestVerdict::NotASaveRequest;
        if (request.verdict != RequestVerdict::Accepted) {
            ReplyToGame(std::string("rejected ") + VerdictName(request.verdict), nullptr);
            return;
        }
        if (!server.MayStore(group)) {
            ReplyToGame("rejected too-many-scores", nullptr);
            return;
        }
        if (request.score < 0 || request.score > HighestPlausibleScore) {
            server.writer.SubmitRefused({peer, {}, request.name, request.score, "implausible"});
            ReplyToGame("rejected implausible", nullptr);
            return;
        }
        std::string stored =
            "stored name=" + EncodePlayerName(request.name) + " score=" + std::to_string(request.score);
        // The game's own deadline: an answer later than this is no answer.
        uint64_t ticket = Await(server.options.deadline, [](Session& self) {
            Log(self.peer, "game", "store-failed no answer from the database in time");
            self.server.StoreWorked(false);
            // Not acknowledged: the writer still holds the session, so close it here.
            beast::error_code ignored;
            self.stream.socket().close(ignored);
        });
        phase = Phase::Storing;
        // Keeps the I/O loop running until the writer has answered.
        auto executor = net::prefer(stream.get_executor(), net::execution::outstanding_work.tracked);
        server.writer.Submit({std::move(request.name), request.score, peer}, withList,
                             [self = shared_from_this(), executor, stored, ticket](
                                 const StoreOutcome& outcome, bool kept) mutable {
                                 // Moved on, so that the writer's thread never holds the last owner.
                                 net::post(std::move(executor),
                                           [self = std::move(self), stored, outcome, kept, ticket] {
                                               self->server.CountOwnStore();
                                               if (self->InTime(ticket)) {
                                                   self->OnStored(stored, outcome, kept);
                                               }
                                           });
                             });
    }

    void OnStored(const std::string& stored, const StoreOutcome& outcome, bool kept) {
        server.StoreWorked(outcome.error.empty());
        if (!outcome.error.empty()) {
            // Not stored, so not acknowledged: the client sees the connection close.
            Log(peer, "game", "store-failed " + outcome.error);
            return;
        }
        if (outcome.best) {
            server.Remember(outcome.best);
        }
        std::string result = kept ? stored : "rejected banned";
        if (withList && !outcome.best) {
            result += " list-failed " + outcome.bestError;
            ReplyToGame(result, server.LastBest());
        } else {
            ReplyToGame(result, outcome.best);
        }
    }

    // Replies with `best`, or with the list read now when the game wants one
    // and none is given.
    void ReplyToGame(const std::string& result, std::shared_ptr<const std::vector<StoredScore>> best) {
        if (!withList || best) {
            SendGameReply(result, withList ? FormatGameReply(*best) : std::string(1, ReplyEnd));
            return;
        }
        // While nothing changed, the list read last is the list.
        Server::ListStamp stamp = server.StampList();
        if (const std::string* known = server.KnownReply(stamp)) {
            SendGameReply(result, *known);
            return;
        }
        using Best = std::shared_ptr<const std::vector<StoredScore>>;
        AskReader<std::pair<Best, std::string>>(
            [](ScoreStore& store) -> std::pair<Best, std::string> {
                try {
                    return {std::make_shared<const std::vector<StoredScore>>(
                                store.Best(std::nullopt, MostScoreRecords)),
                            {}};
                } catch (const std::exception& error) {
                    return {nullptr, error.what()};
                }
            },
            [result, stamp](Session& self, const std::pair<Best, std::string>& read) {
                if (read.first) {
                    self.SendGameReply(result, self.server.Know(stamp, read.first));
                } else {
                    self.LateList(result + " list-failed " + read.second);
                }
            },
            [result](Session& self) { self.LateList(result + " list-late"); });
    }

    // The list as last known, since the database does not give it now.
    void LateList(const std::string& result) {
        const auto& known = server.LastBest();
        SendGameReply(result, known ? FormatGameReply(*known) : std::string(1, ReplyEnd));
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
            idleSince = std::chrono::steady_clock::now();
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
        std::string query(mark == std::string_view::npos ? std::string_view() : target.substr(mark + 1));
        unsigned version = request.version();
        asked = std::string(request.method_string()) + " " + Printable(target);
        head = request.method() == http::verb::head;
        closeAfter = !request.keep_alive();

        if (request.method() != http::verb::get && !head) {
            Response response = MessageResponse(http::status::method_not_allowed, version,
                                                "Only GET and HEAD are served here.");
            response.set(http::field::allow, "GET, HEAD");
            Respond(std::move(response));
        } else if (path == "/scores") {
            AnswerScores(std::move(query), version);
        } else if (path == "/api/scores") {
            AnswerApi(query, version);
        } else if (path == "/healthz") {
            AnswerHealth(version);
        } else if (path == "/") {
            Response response = MessageResponse(http::status::found, version, "The scores are at /scores.");
            response.set(http::field::location, "/scores");
            Respond(std::move(response));
        } else {
            Respond(MessageResponse(http::status::not_found, version, "There is nothing here."));
        }
    }

    void AnswerScores(std::string query, unsigned version) {
        // The page, rendered on the reader's thread; empty with the error when it could not be read.
        AskReader<std::pair<std::string, std::string>>(
            [query,
             histograms = &server.histograms](ScoreStore& store) -> std::pair<std::string, std::string> {
                try {
                    auto now = std::chrono::system_clock::now();
                    ScorePageView view = ReadScorePage(store, query, now);
                    view.histogram = histograms->Read(store, view.board, now);
                    return {RenderScorePage(view), {}};
                } catch (const std::exception& error) {
                    return {{}, error.what()};
                }
            },
            [version](Session& self, const std::pair<std::string, std::string>& page) {
                if (page.first.empty()) {
                    Log(self.peer, "error", page.second);
                    self.Respond(Unavailable(version, "The scores cannot be read now."));
                    return;
                }
                Response response{http::status::ok, version};
                response.set(http::field::content_type, "text/html; charset=utf-8");
                response.set(http::field::cache_control, "no-cache");
                response.body() = page.first;
                self.Respond(std::move(response));
            },
            [version](Session& self) {
                Log(self.peer, "error", "no page from the database in time");
                self.Respond(Unavailable(version, "The scores cannot be read now."));
            });
    }

    // The JSON API: a query it cannot read is refused before the database is asked.
    void AnswerApi(std::string_view query, unsigned version) {
        ApiRequest request = ReadApiRequest(query);
        if (!request.error.empty()) {
            Respond(ApiResponse(http::status::bad_request, version, RenderApiError(request.error)));
            return;
        }
        // The reply, rendered on the reader's thread; empty with the error when it could not be read.
        AskReader<std::pair<std::string, std::string>>(
            [request](ScoreStore& store) -> std::pair<std::string, std::string> {
                try {
                    return {RenderApiPage(ReadApiPage(store, request, std::chrono::system_clock::now())), {}};
                } catch (const std::exception& error) {
                    return {{}, error.what()};
                }
            },
            [version](Session& self, const std::pair<std::string, std::string>& reply) {
                if (reply.first.empty()) {
                    Log(self.peer, "error", reply.second);
                    self.Respond(ApiUnavailable(version));
                    return;
                }
                self.Respond(ApiResponse(http::status::ok, version, reply.first));
            },
            [version](Session& self) {
                Log(self.peer, "error", "no scores from the database in time");
                self.Respond(ApiUnavailable(version));
            });
    }

    // Any page may read the scores: they are public and the API changes nothing.
    static Response ApiResponse(http::status status, unsigned version, std::string body) {
        Response response{status, version};
        response.set(http::field::content_type, "application/json");
        response.set(http::field::cache_control, "no-cache");
        response.set(http::field::access_control_allow_origin, "*");
        response.body() = std::move(body);
        return response;
    }

    static Response ApiUnavailable(unsigned version) {
        Response response = ApiResponse(http::status::service_unavailable, version,
                                        RenderApiError("the scores cannot be read now; try again shortly"));
        response.set(http::field::retry_after, "5");
        return response;
    }

    // 200 only while the database answers in time and scores are being stored.
    void AnswerHealth(unsigned version) {
        AskReader<std::string>(
            [](ScoreStore& store) -> std::string {
                try {
                    store.Check();
                    return {};
                } catch (const std::exception& error) {
                    std::string text = error.what();
                    return text.empty() ? "unknown failure" : text;
                }
            },
            [version](Session& self, const std::string& failure) {
                if (!failure.empty()) {
                    self.Unhealthy(version, failure);
                } else if (self.server.StoreFailing()) {
                    self.Unhealthy(version, "the last store failed");
                } else {
                    Response response{http::status::ok, version};
                    response.set(http::field::content_type, "text/plain; charset=utf-8");
                    response.set(http::field::cache_control, "no-cache");
                    response.body() = "ok\n";
                    self.Respond(std::move(response));
                }
            },
            [version](Session& self) { self.Unhealthy(version, "no answer from the database in time"); });
    }

    void Unhealthy(unsigned version, const std::string& why) {
        Log(peer, "error", why);
        Response response{http::status::service_unavailable, version};
        response.set(http::field::content_type, "text/plain; charset=utf-8");
        response.set(http::field::cache_control, "no-cache");
        response.body() = "unavailable: " + why + "\n";
        Respond(std::move(response));
    }

    static Response Unavailable(unsigned version, std::string_view message) {
        Response response = MessageResponse(http::status::service_unavailable, version, message);
        response.set(http::field::retry_after, "5");
        return response;
    }

    // Logs and sends the answer to the HTTP request read last.
    void Respond(Response&& reply) {
        // A load balancer asks for /healthz every few seconds: only its failures are worth a line.
        if (asked != "GET /healthz" || reply.result() != http::status::ok) {
            Log(peer, "http", asked + " " + std::to_string(reply.result_int()));
        }
        servedOne = true;
        SendHttp(std::move(reply), closeAfter);
    }

    static Response MessageResponse(http::status status, unsigned version, std::string_view message) {
        Response response{status, version};
        response.set(http::field::content_type, "text/html; charset=utf-8");
        std::string title = std::to_string(static_cast<unsigned>(status)) + " ";
        title += http::obsolete_reason(status);
        response.body() = RenderMessagePage(title, message);
        return response;
    }

    void SendHttp(Response&& reply, bool close) {
        close = close || server.Stopping();
        response = std::move(reply);
        response.set(http::field::server, "quorvel-scores");
        response.set("X-Content-Type-Options", "nosniff");
        response.set("Content-Security-Policy", ContentSecurityPolicy);
        response.keep_alive(!close);
        response.prepare_payload();
        if (head) {
            // The length a GET would have, and no body.
            response.body().clear();
            head = false;
        }
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
    // The deadline of what the database is asked.
    net::steady_timer wait;
    Server& server;
    std::string peer;
    net::ip::address group;
    std::chrono::steady_clock::time_point idleSince;
    Phase phase = Phase::Reading;
    bool counted = true;
    bool servedOne = false;
    bool withList = false;
    // Of the HTTP request being answered.
    std::string asked;
    bool head = false;
    bool closeAfter = false;
    // Numbers each wait for the database, so that only its first answer counts.
    uint64_t tickets = 0;
    std::optional<http::request_parser<http::empty_body>> parser;
    std::string gameReply;
    Response response;
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
    WaitForSignal();
    Accept();
}

// A second stop signal while stopping: the operator does not want to wait.
void EndAtOnce(int signalNumber) {
    static const char line[] = "quorvel-scores: stop signal again, ending at once\n";
    ssize_t ignored = write(STDERR_FILENO, line, sizeof line - 1);
    (void)ignored;
    std::_Exit(128 + signalNumber);
}

void Server::WaitForSignal() {
    signals.async_wait([this](beast::error_code ec, int signalNumber) {
        if (ec) {
            return;
        }
        // No longer waited for here, so that the loop can end once the stop has.
        beast::error_code ignored;
        signals.clear(ignored);
        for (int number : {SIGINT, SIGTERM, SIGHUP}) {
            std::signal(number, EndAtOnce);
        }
        Stop(signalNumber);
    });
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
    net::ip::address group = ClientGroup(remote.address());
    auto counted = connectionsFrom.find(group);
    if (counted != connectionsFrom.end() && counted->second >= options.maxConnectionsPerAddress) {
        refusal = "address-connection-limit";
    } else if (sessions.size() >= options.maxConnections && !MakeRoomFor(group)) {
        refusal = "connection-limit";
    }
    if (refusal != nullptr) {
        Log(EndpointText(remote), "refused", refusal);
        socket.close(ec);
        return;
    }
    std::make_shared<Session>(std::move(socket), remote, *this)->Start();
}

// At the limit, a newcomer takes the place of the longest idle connection
// of the address holding the most, when that address holds more than the
// newcomer's would: a few addresses keeping connections open cannot lock
// every other address out.
bool Server::MakeRoomFor(const net::ip::address& group) {
    auto busiest = std::max_element(connectionsFrom.begin(), connectionsFrom.end(),
                                    [](const auto& a, const auto& b) { return a.second < b.second; });
    auto own = connectionsFrom.find(group);
    std::size_t holding = own == connectionsFrom.end() ? 0 : own->second;
    if (busiest == connectionsFrom.end() || busiest->second <= holding + 1) {
        return false;
    }
    Session* longest = nullptr;
    for (Session* session : sessions) {
        if (session->Group() == busiest->first && session->Idle() &&
            (longest == nullptr || session->IdleSince() < longest->IdleSince())) {
            longest = session;
        }
    }
    if (longest == nullptr) {
        return false;
    }
    longest->Evict();
    return true;
}

bool Server::MayStore(const net::ip::address& group) {
    return allowances.Take(group);
}

void Server::Stop(int signalNumber) {
    Log("-", "stop",
        "signal " + std::to_string(signalNumber) + ", finishing " + std::to_string(sessions.size()) +
            " connection(s)");
    stopping = true;
    stopGuard.Begin();
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
    std::vector<std::unique_ptr<ScoreStore>> readerStores;
    std::unique_ptr<ScoreStore> writerStore;
    std::unique_ptr<ChangeWatch> changes;
    try {
        writerStore = OpenScoreStore(options.database);
        for (std::size_t i = 0; i < options.readers; ++i) {
            readerStores.push_back(OpenScoreStore(options.database));
        }
        changes = WatchScoreChanges(options.database);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "quorvel-scores: %s (%s)\n", error.what(),
                     ShownDatabaseAddress(options.database).c_str());
        return 1;
    }
    {
        std::unique_ptr<ScoreWriter> writer;
        std::atomic<const ScoreWriter*> writing{nullptr};
        // Ends the process when the database keeps a stop waiting: the
        // writer and the readers may be stuck in calls that do not return.
        StopGuard stopGuard(StopGrace, 0, [&writing] {
            const ScoreWriter* stuck = writing;
            std::size_t pending = stuck ? stuck->Pending() : 0;
            return Timestamp() + " - stop abandoned: the database did not answer within " +
                   std::to_string(StopGrace.count()) + " ms; " + std::to_string(pending) +
                   " score(s) not stored, none of them acknowledged\n";
        });
        // Its thread, if any, stops within the stop's bound.
        std::unique_ptr<ChangeWatch> watch = std::move(changes);
        net::io_context io(1);
        // Declared after the I/O context, so they are drained and joined before the context goes.
        writer =
            std::make_unique<ScoreWriter>(std::move(writerStore), MostScoreRecords,
                                          [](const std::string& problem) { Log("-", "error", problem); });
        writing = writer.get();
        // Before the reader, whose threads use it until they are joined.
        HistogramCache histograms(HistogramMaxAge);
        ScoreReader reader(std::move(readerStores), options.readQueueLimit);
        Server server(io, options, reader, histograms, *writer, *watch, stopGuard);
        std::string error = server.Open();
        if (!error.empty()) {
            std::fprintf(stderr, "quorvel-scores: %s\n", error.c_str());
            return 1;
        }
        std::string listening = "listening on " + EndpointText(server.LocalEndpoint()) + "\n";
        std::fwrite(listening.data(), 1, listening.size(), stderr);
        server.Start();
        io.run();
        writer.reset();
        writing = nullptr;
    }
    Log("-", "stop", "stopped, database closed");
    return 0;
}
