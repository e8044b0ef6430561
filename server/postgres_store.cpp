#include "server/postgres_store.h"

#include <libpq-fe.h>
#include <poll.h>

#include <algorithm>
#include <cerrno>
#include <set>
#include <stdexcept>
#include <thread>

using namespace std::chrono_literals;

namespace {

// Rows per INSERT statement: PostgreSQL takes at most 65535 parameters.
constexpr std::size_t RowsPerInsert = 1000;
// Held by the instance that creates the tables, so that instances starting
// at once do not race on CREATE TABLE IF NOT EXISTS.
constexpr const char* SchemaLock = "8241302957196083547";
// Every connection listens here; every transaction that changes what the
// players' lists show notifies here when it commits.
constexpr const char* Channel = "quorvel_scores";
// Creating an index on a large table at the first start after an upgrade
// takes longer than any one call of a running server may.
constexpr std::chrono::seconds SchemaDeadline{30};
constexpr const char* ReceivedColumn =
    "to_char(received AT TIME ZONE 'UTC', 'YYYY-MM-DD\"T\"HH24:MI:SS.MS\"Z\"')";

// libpq's message on one line, as the server's log wants it.
std::string OneLine(const char* message) {
    std::string text;
    for (const char* c = message != nullptr ? message : "out of memory"; *c != '\0'; ++c) {
        bool space = *c == '\n' || *c == '\t' || *c == ' ';
        if (!space) {
            text += *c;
        } else if (!text.empty() && text.back() != ' ') {
            text += ' ';
        }
    }
    if (!text.empty() && text.back() == ' ') {
        text.pop_back();
    }
    return text;
}

std::string ErrorText(pg_conn* connection) {
    return OneLine(connection != nullptr ? PQerrorMessage(connection) : nullptr);
}

// A text[] literal, for "= ANY($1)": every element quoted.
std::string ArrayLiteral(const std::set<std::string>& elements) {
    std::string literal = "{";
    for (const std::string& element : elements) {
        literal += literal.size() == 1 ? "\"" : ",\"";
        for (char c : element) {
            if (c == '"' || c == '\\') {
                literal += '\\';
            }
            literal += c;
        }
        literal += '"';
    }
    return literal + "}";
}

// Which scores a board holds; the range's bounds are added to `parameters`.
// "hidden = 0" as written lets the planner use the partial indexes.
std::string BoardWhere(const std::optional<ReceivedRange>& range, std::vector<std::string>& parameters) {
    if (!range) {
        return " WHERE hidden = 0";
    }
    parameters.push_back(range->from);
    parameters.push_back(range->until);
    std::string from = std::to_string(parameters.size() - 1), until = std::to_string(parameters.size());
    return " WHERE hidden = 0 AND received >= $" + from + "::timestamptz AND received < $" + until +
           "::timestamptz";
}

// The columns of a board's rows, `received` as RFC 3339 text in UTC.
const std::string BoardColumns = std::string("SELECT id, name, score, ") + ReceivedColumn + " FROM scores";

}  // namespace

// The connection broke before a COMMIT was sent: the server rolls back a
// transaction whose client is gone, so nothing of it was stored.
class PostgresScoreStore::ConnectionLost : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// A COMMIT got no answer and nobody could tell how it ended.
class PostgresScoreStore::UnknownOutcome : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// The call's time is up: the connection is dropped, and not tried again.
class PostgresScoreStore::DeadlinePassed : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

void PostgresScoreStore::FinishConnection::operator()(pg_conn* connection) const {
    PQfinish(connection);
}

void PostgresScoreStore::ClearResult::operator()(pg_result* result) const {
    PQclear(result);
}

PostgresScoreStore::PostgresScoreStore(const std::string& address, std::chrono::milliseconds deadline,
                                       bool listening)
    : address(address), deadline(deadline), listening(listening) {
    // Every user of the machine can read a command line.
    char* error = nullptr;
    std::unique_ptr<PQconninfoOption, void (*)(PQconninfoOption*)> options(
        PQconninfoParse(address.c_str(), &error), PQconninfoFree);
    std::unique_ptr<char, void (*)(void*)> errorText(error, PQfreemem);
    if (!options) {
        throw std::runtime_error("cannot read the database address: " + OneLine(error));
    }
    for (const PQconninfoOption* option = options.get(); option->keyword != nullptr; ++option) {
        if (std::string(option->keyword) == "password" && option->val != nullptr) {
            throw std::runtime_error(
                "the database address holds a password; put it in PGPASSFILE or ~/.pgpass");
        }
    }
    Connection(Clock::now() + deadline);
    try {
        // hidden: 0 shown, 1 hidden by the operator, 2 hidden by a ban on its name.
        Run(std::string("BEGIN;"
                        "SET LOCAL statement_timeout = 0;"
                        "SELECT pg_advisory_xact_lock(") +
                SchemaLock +
                ");"
                "CREATE TABLE IF NOT EXISTS scores ("
                " id BIGSERIAL PRIMARY KEY,"
                " name TEXT NOT NULL,"
                " score INTEGER NOT NULL,"
                " received TIMESTAMPTZ NOT NULL DEFAULT now(),"
                " hidden SMALLINT NOT NULL DEFAULT 0);"
                // Checked first: ALTER TABLE would lock the table on every start.
                "DO $$ BEGIN"
                " IF NOT EXISTS (SELECT 1 FROM information_schema.columns WHERE table_schema = "
                "current_schema()"
                "  AND table_name = 'scores' AND column_name = 'hidden') THEN"
                "  ALTER TABLE scores ADD COLUMN hidden SMALLINT NOT NULL DEFAULT 0;"
                " END IF; END $$;"
                "CREATE INDEX IF NOT EXISTS scores_by_rank ON scores (score DESC, id ASC);"
                "CREATE INDEX IF NOT EXISTS scores_shown_by_rank ON scores (score DESC, id ASC) WHERE hidden "
                "= 0;"
                // The week's and the day's boards read a range of arrival times.
                "CREATE INDEX IF NOT EXISTS scores_shown_by_received ON scores (received) WHERE hidden = 0;"
                "CREATE TABLE IF NOT EXISTS score_count ("
                " id INTEGER PRIMARY KEY CHECK (id = 1),"
                " total BIGINT NOT NULL);"
                "INSERT INTO score_count (id, total) SELECT 1, COUNT(*) FROM scores WHERE hidden = 0"
                " ON CONFLICT DO NOTHING;"
                "CREATE TABLE IF NOT EXISTS banned_names ("
                " name TEXT PRIMARY KEY,"
                " banned TIMESTAMPTZ NOT NULL DEFAULT now());"
                "CREATE TABLE IF NOT EXISTS refused_scores ("
                " id BIGSERIAL PRIMARY KEY,"
                " address TEXT NOT NULL,"
                " received TIMESTAMPTZ NOT NULL DEFAULT now(),"
                " name TEXT NOT NULL,"
                " score BIGINT NOT NULL,"
                " reason TEXT NOT NULL);"
                "COMMIT",
            {}, Clock::now() + SchemaDeadline);
    } catch (const std::exception& error) {
        throw std::runtime_error(std::string("cannot create the score tables: ") + error.what());
    }
}

PostgresScoreStore::~PostgresScoreStore() = default;

pg_conn* PostgresScoreStore::Connection(Deadline until) {
    if (connection && PQstatus(connection.get()) == CONNECTION_OK) {
        return connection.get();
    }
    connection.reset();
    for (bool tried = false;; tried = true) {
        if (Clock::now() < nextTry) {
            if (nextTry >= until) {
                throw std::runtime_error("the score database does not answer: " + failure);
            }
            std::this_thread::sleep_until(nextTry);
        }
        try {
            Connect(until);
            pause = 0ms;
            // Whatever was notified while no connection listened is unknown.
            ++changes;
            return connection.get();
        } catch (const DeadlinePassed& error) {
            // What a try before said is more use than that time ran out.
            failure = tried ? failure : error.what();
            connection.reset();
        } catch (const std::runtime_error& error) {
            failure = error.what();
            connection.reset();
        }
        pause =
            std::min<std::chrono::milliseconds>(std::max<std::chrono::milliseconds>(pause * 2, 100ms), 5s);
        nextTry = Clock::now() + pause;
        if (Clock::now() >= until) {
            throw std::runtime_error("the score database does not answer: " + failure);
        }
    }
}

void PostgresScoreStore::Connect(Deadline until) {
    // Keepalives and a user timeout notice a peer gone without a reset, even
    // while the connection only listens. Values in the address win over
    // these defaults: it comes later.
    const std::string userTimeout = std::to_string(std::max<int64_t>(deadline.count(), 1000) * 4);
    const char* keywords[] = {
        "client_encoding",  "keepalives",       "keepalives_idle", "keepalives_interval",
        "keepalives_count", "tcp_user_timeout", "dbname",          nullptr};
    const char* values[] = {"UTF8", "1", "10", "3", "3", userTimeout.c_str(), address.c_str(), nullptr};
    connection.reset(PQconnectStartParams(keywords, values, 1));
    if (!connection || PQstatus(connection.get()) == CONNECTION_BAD) {
        throw std::runtime_error(ErrorText(connection.get()));
    }
    for (PostgresPollingStatusType polled = PGRES_POLLING_WRITING; polled != PGRES_POLLING_OK;) {
        if (polled == PGRES_POLLING_FAILED) {
            throw std::runtime_error(ErrorText(connection.get()));
        }
        Await(polled == PGRES_POLLING_READING ? POLLIN : POLLOUT, until);
        polled = PQconnectPoll(connection.get());
    }
    // Sending never blocks either: Run waits for the socket itself.
    PQsetnonblocking(connection.get(), 1);
    // "Already exists" notices are no news; an acknowledgement must wait for
    // the commit's own flush to disk; the server gives up on a statement
    // the client has given up on.
    Run("SET client_min_messages = warning;"
        "SET statement_timeout = " +
            std::to_string(deadline.count()) +
            ";"
            "SELECT set_config('synchronous_commit', 'on', false)"
            " WHERE current_setting('synchronous_commit') = 'off'" +
            (listening ? std::string(";LISTEN ") + Channel : std::string()),
        {}, until);
}

void PostgresScoreStore::Await(short events, Deadline until) {
    while (true) {
        auto left = std::chrono::ceil<std::chrono::milliseconds>(until - Clock::now());
        if (left <= 0ms) {
            connection.reset();
            throw DeadlinePassed("the score database did not answer within " +
                                 std::to_string(deadline.count()) + " ms");
        }
        pollfd ready{PQsocket(connection.get()), events, 0};
        if (ready.fd < 0) {
            return;  // no socket: libpq reports why
        }
        int polled = poll(&ready, 1, static_cast<int>(std::min<int64_t>(left.count(), 1 << 30)));
        if (polled > 0 || (polled < 0 && errno != EINTR)) {
            return;  // ready, or an error that libpq will report
        }
    }
}

PostgresScoreStore::Result PostgresScoreStore::Run(const std::string& sql,
                                                   const std::vector<std::string>& parameters,
                                                   Deadline until) {
    pg_conn* open = connection.get();
    int sent;
    if (parameters.empty()) {
        // Several statements in one round trip.
        sent = PQsendQuery(open, sql.c_str());
    } else {
        std::vector<const char*> values;
        for (const std::string& parameter : parameters) {
            values.push_back(parameter.c_str());
        }
        sent = PQsendQueryParams(open, sql.c_str(), static_cast<int>(values.size()), nullptr, values.data(),
                                 nullptr, nullptr, 0);
    }
    int flushed = sent ? PQflush(open) : -1;
    while (flushed == 1) {
        Await(POLLIN | POLLOUT, until);
        flushed = PQconsumeInput(open) ? PQflush(open) : -1;
    }
    Result last;
    std::string error;
    while (flushed == 0) {
        while (PQisBusy(open)) {
            Await(POLLIN, until);
            if (!PQconsumeInput(open)) {
                flushed = -1;
                break;
            }
        }
        Result result(flushed == 0 ? PQgetResult(open) : nullptr);
        if (!result) {
            break;
        }
        ExecStatusType status = PQresultStatus(result.get());
        if (status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK) {
            last = std::move(result);
        } else if (error.empty()) {
            error = OneLine(PQresultErrorMessage(result.get()));
        }
    }
    // A listening connection's notifications can arrive with any result:
    // counted here, for Listen, so that none is missed or left to pile up.
    while (PGnotify* notified = PQnotifies(open)) {
        PQfreemem(notified);
        ++changes;
    }
    if (flushed != 0 || PQstatus(open) == CONNECTION_BAD) {
        throw ConnectionLost("the connection to the score database was lost: " + ErrorText(open));
    }
    if (!error.empty() || !last) {
        throw std::runtime_error(error.empty() ? ErrorText(open) : error);
    }
    return last;
}

PostgresScoreStore::Result PostgresScoreStore::Read(const std::string& sql,
                                                    const std::vector<std::string>& parameters) {
    Deadline until = Clock::now() + deadline;
    Connection(until);
    try {
        return Run(sql, parameters, until);
    } catch (const ConnectionLost&) {
        Connection(until);
        return Run(sql, parameters, until);
    }
}

template <typename Change>
auto PostgresScoreStore::Transaction(const std::string& begin, Change change) {
    Deadline until = Clock::now() + deadline;
    for (int attempt = 1;; ++attempt) {
        std::string transaction;
        try {
            Connection(until);
            // The transaction's number lets a new connection ask how a COMMIT
            // that got no answer ended.
            Result begun = Run(begin, {}, until);
            transaction = PQgetvalue(begun.get(), 0, 0);
            auto result = change(until, begun);
            if (Finish(transaction, until)) {
                return result;
            }
            throw std::runtime_error("the transaction was rolled back");
        } catch (const ConnectionLost& lost) {
            if (attempt == 3) {
                throw std::runtime_error(lost.what());
            }
        } catch (const DeadlinePassed&) {
            throw;
        } catch (const UnknownOutcome&) {
            throw;
        } catch (const std::exception&) {
            if (connection && PQstatus(connection.get()) == CONNECTION_OK &&
                PQtransactionStatus(connection.get()) != PQTRANS_IDLE) {
                try {
                    Run("ROLLBACK", {}, until);
                } catch (const std::exception&) {
                    connection.reset();
                }
            }
            throw;
        }
    }
}

bool PostgresScoreStore::Finish(const std::string& transaction, Deadline until) {
    try {
        Result committed = Run("COMMIT", {}, until);
        return std::string(PQcmdStatus(committed.get())) == "COMMIT";
    } catch (const ConnectionLost&) {
    } catch (const DeadlinePassed&) {
    }
    // Never tried again: a change that may be stored is never stored twice.
    if (!Committed(transaction)) {
        throw UnknownOutcome(
            "the connection to the score database was lost during a commit that did not happen"
            " or whose outcome is unknown");
    }
    return true;
}

bool PostgresScoreStore::Committed(const std::string& transaction) {
    // A deadline of its own: the one of the commit has passed.
    Deadline until = Clock::now() + deadline;
    try {
        while (Clock::now() < until) {
            Connection(until);
            Result status = Run("SELECT txid_status($1)", {transaction}, until);
            std::string answer = PQgetisnull(status.get(), 0, 0) ? "" : PQgetvalue(status.get(), 0, 0);
            if (answer != "in progress") {
                return answer == "committed";
            }
            // The old session may still be finishing its commit.
            std::this_thread::sleep_for(50ms);
        }
    } catch (const std::exception&) {
    }
    return false;
}

void PostgresScoreStore::AddToCount(int64_t shown, Deadline until) {
    if (shown != 0) {
        Run(std::string("WITH counted AS (UPDATE score_count SET total = total + $1 RETURNING 1)"
                        " SELECT pg_notify('") +
                Channel + "', '') FROM counted",
            {std::to_string(shown)}, until);
    }
}

std::vector<bool> PostgresScoreStore::AddAll(const std::vector<ScoreRecord>& scores) {
    if (scores.empty()) {
        return {};
    }
    std::set<std::string> namesSeen;
    for (const ScoreRecord& score : scores) {
        namesSeen.insert(score.name);
    }
    // ROW EXCLUSIVE first: a ban (SHARE ROW EXCLUSIVE) either committed
    // before the check for banned names or waits for this commit. The
    // check rides in the same round trip as BEGIN, its names an escaped
    // literal: the first row holds the transaction's number, every row one
    // banned name or NULL.
    std::string names = "E'";
    for (char c : ArrayLiteral(namesSeen)) {
        names += c == '\'' ? "''" : c == '\\' ? "\\\\" : std::string(1, c);
    }
    return Transaction(
        "BEGIN; LOCK TABLE scores IN ROW EXCLUSIVE MODE;"
        " SELECT t.id, b.name FROM (SELECT txid_current() AS id) t"
        " LEFT JOIN banned_names b ON b.name = ANY(" +
            names + "'::text[])",
        [&](Deadline until, const Result& found) {
            std::set<std::string> banned;
            for (int row = 0; row < PQntuples(found.get()); ++row) {
                if (!PQgetisnull(found.get(), row, 1)) {
                    banned.insert(PQgetvalue(found.get(), row, 1));
                }
            }
            std::vector<bool> stored;
            std::vector<const ScoreRecord*> kept;
            std::vector<RefusedScore> refused;
            for (const ScoreRecord& score : scores) {
                stored.push_back(banned.count(score.name) == 0);
                if (stored.back()) {
                    kept.push_back(&score);
                } else {
                    refused.push_back({score.address, "", score.name, score.score, "banned"});
                }
            }
            for (std::size_t first = 0; first < kept.size(); first += RowsPerInsert) {
                std::size_t end = std::min(kept.size(), first + RowsPerInsert);
                std::string sql = "INSERT INTO scores (name, score) VALUES ";
                std::vector<std::string> parameters;
                for (std::size_t i = first; i < end; ++i) {
                    std::size_t n = parameters.size();
                    sql += (i == first ? "($" : ", ($") + std::to_string(n + 1) + ", $" +
                           std::to_string(n + 2) + ")";
                    parameters.push_back(kept[i]->name);
                    parameters.push_back(std::to_string(kept[i]->score));
                }
                Run(sql, parameters, until);
            }
            AddToCount(static_cast<int64_t>(kept.size()), until);
            AddRefusedRows(refused, until);
            return stored;
        });
}

void PostgresScoreStore::AddRefusedRows(const std::vector<RefusedScore>& refused, Deadline until) {
    for (std::size_t first = 0; first < refused.size(); first += RowsPerInsert) {
        std::size_t end = std::min(refused.size(), first + RowsPerInsert);
        std::string sql = "INSERT INTO refused_scores (address, name, score, reason) VALUES ";
        std::vector<std::string> parameters;
        for (std::size_t i = first; i < end; ++i) {
            std::size_t n = parameters.size();
            sql += i == first ? "(" : ", (";
            for (std::size_t column = 1; column <= 4; ++column) {
                sql += (column == 1 ? "$" : ", $") + std::to_string(n + column);
            }
            sql += ")";
            parameters.insert(parameters.end(), {refused[i].address, refused[i].name,
                                                 std::to_string(refused[i].score), refused[i].reason});
        }
        Run(sql, parameters, until);
    }
    if (!refused.empty()) {
        Run("DELETE FROM refused_scores WHERE id <= (SELECT max(id) FROM refused_scores) - $1",
            {std::to_string(MostRefusedKept)}, until);
    }
}

void PostgresScoreStore::AddRefused(const std::vector<RefusedScore>& refused) {
    if (!refused.empty()) {
        Transaction("BEGIN; SELECT txid_current()", [&](Deadline until, const Result&) {
            AddRefusedRows(refused, until);
            return 0;
        });
    }
}

std::vector<StoredScore> PostgresScoreStore::ReadScores(const Result& result) {
    std::vector<StoredScore> scores;
    for (int row = 0; row < PQntuples(result.get()); ++row) {
        StoredScore stored;
        stored.id = std::stoll(PQgetvalue(result.get(), row, 0));
        stored.name = PQgetvalue(result.get(), row, 1);
        stored.score = static_cast<int32_t>(std::stol(PQgetvalue(result.get(), row, 2)));
        stored.received = PQgetvalue(result.get(), row, 3);
        scores.push_back(std::move(stored));
    }
    return scores;
}

std::vector<StoredScore> PostgresScoreStore::Best(const std::optional<ScoreKey>& after, int64_t count) {
    return BoardBest(std::nullopt, after, count);
}

std::vector<StoredScore> PostgresScoreStore::Above(const ScoreKey& before, int64_t count) {
    return BoardAbove(std::nullopt, before, count);
}

std::vector<StoredScore> PostgresScoreStore::BoardBest(const std::optional<ReceivedRange>& range,
                                                       const std::optional<ScoreKey>& after, int64_t count) {
    std::vector<std::string> parameters{std::to_string(count)};
    std::string sql = BoardColumns + BoardWhere(range, parameters);
    if (after) {
        parameters.push_back(std::to_string(after->score));
        parameters.push_back(std::to_string(after->id));
        std::string score = std::to_string(parameters.size() - 1), id = std::to_string(parameters.size());
        sql += " AND score <= $" + score + " AND (score < $" + score + " OR id > $" + id + ")";
    }
    return ReadScores(Read(sql + " ORDER BY score DESC, id ASC LIMIT $1", parameters));
}

std::vector<StoredScore> PostgresScoreStore::BoardAbove(const std::optional<ReceivedRange>& range,
                                                        const ScoreKey& before, int64_t count) {
    std::vector<std::string> parameters{std::to_string(count), std::to_string(before.score),
                                        std::to_string(before.id)};
    std::vector<StoredScore> scores = ReadScores(
        Read(BoardColumns + BoardWhere(range, parameters) +
                 " AND score >= $2 AND (score > $2 OR id < $3) ORDER BY score ASC, id DESC LIMIT $1",
             parameters));
    std::reverse(scores.begin(), scores.end());
    return scores;
}

int64_t PostgresScoreStore::BoardCount(const std::optional<ReceivedRange>& range) {
    if (!range) {
        return Count();
    }
    std::vector<std::string> parameters;
    Result result = Read("SELECT count(*) FROM scores" + BoardWhere(range, parameters), parameters);
    return std::stoll(PQgetvalue(result.get(), 0, 0));
}

RankStart PostgresScoreStore::BoardRankStart(const std::optional<ReceivedRange>& range,
                                             const ScoreKey& first) {
    std::vector<std::string> parameters{std::to_string(first.score), std::to_string(first.id)};
    Result result = Read(
        "SELECT count(*) FILTER (WHERE score > $1 OR id < $2), count(*) FILTER (WHERE score > $1)"
        " FROM scores" +
            BoardWhere(range, parameters) + " AND score >= $1",
        parameters);
    return {std::stoll(PQgetvalue(result.get(), 0, 0)), std::stoll(PQgetvalue(result.get(), 0, 1))};
}

std::optional<std::pair<int32_t, int32_t>> PostgresScoreStore::BoardSpread(
    const std::optional<ReceivedRange>& range) {
    std::vector<std::string> parameters;
    Result result =
        Read("SELECT min(score), max(score) FROM scores" + BoardWhere(range, parameters), parameters);
    if (PQgetisnull(result.get(), 0, 0)) {
        return std::nullopt;
    }
    return std::make_pair(static_cast<int32_t>(std::stol(PQgetvalue(result.get(), 0, 0))),
                          static_cast<int32_t>(std::stol(PQgetvalue(result.get(), 0, 1))));
}

std::vector<int64_t> PostgresScoreStore::BoardBuckets(const std::optional<ReceivedRange>& range,
                                                      const ScoreBuckets& buckets) {
    std::vector<std::string> parameters{std::to_string(buckets.first), std::to_string(buckets.width)};
    Result result = Read("SELECT (score - $1::bigint) / $2::bigint, count(*) FROM scores" +
                             BoardWhere(range, parameters) + " AND score >= $1::bigint GROUP BY 1",
                         parameters);
    std::vector<int64_t> counts(static_cast<std::size_t>(std::max(buckets.count, 0)), 0);
    for (int row = 0; row < PQntuples(result.get()); ++row) {
        int64_t bucket = std::stoll(PQgetvalue(result.get(), row, 0));
        if (bucket >= 0 && bucket < buckets.count) {
            counts[static_cast<std::size_t>(bucket)] = std::stoll(PQgetvalue(result.get(), row, 1));
        }
    }
    return counts;
}

int64_t PostgresScoreStore::Count() {
    Result result = Read("SELECT total FROM score_count", {});
    if (PQntuples(result.get()) != 1) {
        throw std::runtime_error("the score count is missing");
    }
    return std::stoll(PQgetvalue(result.get(), 0, 0));
}

int64_t PostgresScoreStore::CountAbove(const ScoreKey& key) {
    return BoardRankStart(std::nullopt, key).before;
}

void PostgresScoreStore::Check() {
    Count();
}

std::optional<uint64_t> PostgresScoreStore::Listen(std::chrono::milliseconds limit, int wake) {
    Deadline until = Clock::now() + limit;
    pollfd ready[2] = {{-1, POLLIN, 0}, {wake, POLLIN, 0}};
    try {
        ready[0].fd = PQsocket(Connection(until));
    } catch (const std::exception&) {
        // Not connected: the pause before the next try is spent here.
    }
    auto left = std::chrono::ceil<std::chrono::milliseconds>(until - Clock::now());
    poll(ready, 2, static_cast<int>(std::max<int64_t>(left.count(), 0)));
    if (ready[0].fd < 0) {
        return std::nullopt;
    }
    if (!PQconsumeInput(connection.get()) || PQstatus(connection.get()) != CONNECTION_OK) {
        connection.reset();
        return std::nullopt;
    }
    while (PGnotify* notified = PQnotifies(connection.get())) {
        PQfreemem(notified);
        ++changes;
    }
    return changes;
}

std::vector<RefusedScore> PostgresScoreStore::LatestRefused(int64_t count) {
    Result result = Read(std::string("SELECT address, ") + ReceivedColumn +
                             ", name, score, reason FROM refused_scores ORDER BY id DESC LIMIT $1",
                         {std::to_string(count)});
    std::vector<RefusedScore> refused;
    for (int row = 0; row < PQntuples(result.get()); ++row) {
        refused.push_back({PQgetvalue(result.get(), row, 0), PQgetvalue(result.get(), row, 1),
                           PQgetvalue(result.get(), row, 2), std::stoll(PQgetvalue(result.get(), row, 3)),
                           PQgetvalue(result.get(), row, 4)});
    }
    return refused;
}

std::vector<ListedScore> PostgresScoreStore::List(bool latest, int64_t count) {
    Result result =
        Read(std::string("SELECT id, name, score, ") + ReceivedColumn + ", hidden FROM scores ORDER BY " +
                 (latest ? "id DESC" : "score DESC, id ASC") + " LIMIT $1",
             {std::to_string(count)});
    std::vector<ListedScore> listed;
    for (int row = 0; row < PQntuples(result.get()); ++row) {
        listed.push_back({std::stoll(PQgetvalue(result.get(), row, 0)), PQgetvalue(result.get(), row, 1),
                          static_cast<int32_t>(std::stol(PQgetvalue(result.get(), row, 2))),
                          PQgetvalue(result.get(), row, 3),
                          std::string(PQgetvalue(result.get(), row, 4)) != "0"});
    }
    return listed;
}

bool PostgresScoreStore::SetHidden(int64_t id, bool hidden) {
    // The table lock a ban would wait for is taken first, before the row's.
    return Transaction("BEGIN; LOCK TABLE scores IN ROW EXCLUSIVE MODE; SELECT txid_current()",
                       [&](Deadline until, const Result&) {
                           Result found = Run("SELECT hidden FROM scores WHERE id = $1 FOR UPDATE",
                                              {std::to_string(id)}, until);
                           if (PQntuples(found.get()) == 0) {
                               return false;
                           }
                           bool wasShown = std::string(PQgetvalue(found.get(), 0, 0)) == "0";
                           // Hidden by hand, it stays hidden when a ban on its name is lifted.
                           Run("UPDATE scores SET hidden = $2 WHERE id = $1",
                               {std::to_string(id), hidden ? "1" : "0"}, until);
                           AddToCount(wasShown == hidden ? (hidden ? -1 : 1) : 0, until);
                           return true;
                       });
}

bool PostgresScoreStore::Ban(const std::string& name) {
    // No score of the name can be stored between the ban and the hiding.
    return Transaction(
        "BEGIN; LOCK TABLE scores IN SHARE ROW EXCLUSIVE MODE; SELECT txid_current()",
        [&](Deadline until, const Result&) {
            Result added =
                Run("INSERT INTO banned_names (name) VALUES ($1) ON CONFLICT DO NOTHING", {name}, until);
            if (std::string(PQcmdTuples(added.get())) != "1") {
                return false;
            }
            Result hid = Run("UPDATE scores SET hidden = 2 WHERE name = $1 AND hidden = 0", {name}, until);
            AddToCount(-std::stoll(PQcmdTuples(hid.get())), until);
            return true;
        });
}

bool PostgresScoreStore::Unban(const std::string& name) {
    return Transaction("BEGIN; LOCK TABLE scores IN SHARE ROW EXCLUSIVE MODE; SELECT txid_current()",
                       [&](Deadline until, const Result&) {
                           Result removed = Run("DELETE FROM banned_names WHERE name = $1", {name}, until);
                           if (std::string(PQcmdTuples(removed.get())) != "1") {
                               return false;
                           }
                           Result shown = Run("UPDATE scores SET hidden = 0 WHERE name = $1 AND hidden = 2",
                                              {name}, until);
                           AddToCount(std::stoll(PQcmdTuples(shown.get())), until);
                           return true;
                       });
}

void PostgresScoreStore::Backup(const std::string& file) {
    throw std::runtime_error(
        "PostgreSQL backs up its databases with its own tool: run pg_dump --format=custom --file=" + file +
        " 'DATABASE-ADDRESS' (restore with pg_restore)");
}
