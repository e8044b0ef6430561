#include "server/postgres_store.h"

#include <libpq-fe.h>

#include <algorithm>
#include <stdexcept>
#include <thread>

using namespace std::chrono_literals;

namespace {

// Rows per INSERT statement: PostgreSQL takes at most 65535 parameters.
constexpr std::size_t RowsPerInsert = 1000;
// Held by the instance that creates the tables, so that instances starting
// at once do not race on CREATE TABLE IF NOT EXISTS.
constexpr const char* SchemaLock = "8241302957196083547";

// libpq's message on one line, as the server's log wants it.
std::string ErrorText(pg_conn* connection) {
    std::string text;
    for (const char* c = connection != nullptr ? PQerrorMessage(connection) : "out of memory"; *c != '\0';
         ++c) {
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

}  // namespace

// The connection broke before a COMMIT was sent: the server rolls back a
// transaction whose client is gone, so nothing of it was stored.
class PostgresScoreStore::ConnectionLost : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

void PostgresScoreStore::FinishConnection::operator()(pg_conn* connection) const {
    PQfinish(connection);
}

void PostgresScoreStore::ClearResult::operator()(pg_result* result) const {
    PQclear(result);
}

PostgresScoreStore::PostgresScoreStore(const std::string& uri) : uri(uri) {
    // Every user of the machine can read a command line.
    char* error = nullptr;
    std::unique_ptr<PQconninfoOption, void (*)(PQconninfoOption*)> options(
        PQconninfoParse(uri.c_str(), &error), PQconninfoFree);
    std::unique_ptr<char, void (*)(void*)> errorText(error, PQfreemem);
    if (!options) {
        throw std::runtime_error("cannot read the database address: " +
                                 std::string(error != nullptr ? error : "out of memory"));
    }
    for (const PQconninfoOption* option = options.get(); option->keyword != nullptr; ++option) {
        if (std::string(option->keyword) == "password" && option->val != nullptr) {
            throw std::runtime_error(
                "the database address holds a password; put it in PGPASSFILE or ~/.pgpass");
        }
    }
    Connection(false);
    try {
        Run("BEGIN;"
            "SELECT pg_advisory_xact_lock(" +
            std::string(SchemaLock) +
            ");"
            "CREATE TABLE IF NOT EXISTS scores ("
            " id BIGSERIAL PRIMARY KEY,"
            " name TEXT NOT NULL,"
            " score INTEGER NOT NULL,"
            " received TIMESTAMPTZ NOT NULL DEFAULT now());"
            "CREATE INDEX IF NOT EXISTS scores_by_rank ON scores (score DESC, id ASC);"
            "CREATE TABLE IF NOT EXISTS score_count ("
            " id INTEGER PRIMARY KEY CHECK (id = 1),"
            " total BIGINT NOT NULL);"
            "INSERT INTO score_count (id, total) SELECT 1, COUNT(*) FROM scores ON CONFLICT DO NOTHING;"
            "COMMIT");
    } catch (const std::exception& error) {
        throw std::runtime_error(std::string("cannot create the score tables: ") + error.what());
    }
}

PostgresScoreStore::~PostgresScoreStore() = default;

pg_conn* PostgresScoreStore::Connection(bool wait) {
    using Clock = std::chrono::steady_clock;
    if (connection && PQstatus(connection.get()) == CONNECTION_OK) {
        return connection.get();
    }
    connection.reset();
    const Clock::time_point giveUp = Clock::now() + 5s;
    while (true) {
        if (Clock::now() < nextTry) {
            if (!wait || nextTry > giveUp) {
                throw std::runtime_error("the score database does not answer: " + failure);
            }
            std::this_thread::sleep_until(nextTry);
        }
        // Values in the URI win over these defaults: they come later.
        const char* keywords[] = {"connect_timeout", "client_encoding", "dbname", nullptr};
        const char* values[] = {"5", "UTF8", uri.c_str(), nullptr};
        connection.reset(PQconnectdbParams(keywords, values, 1));
        if (connection && PQstatus(connection.get()) == CONNECTION_OK) {
            try {
                // "Already exists" notices are no news; an acknowledgement
                // must wait for the commit's own flush to disk.
                Run("SET client_min_messages = warning;"
                    "SELECT set_config('synchronous_commit', 'on', false)"
                    " WHERE current_setting('synchronous_commit') = 'off'");
                pause = 0ms;
                return connection.get();
            } catch (const ConnectionLost& lost) {
                failure = lost.what();
            }
        } else {
            failure = ErrorText(connection.get());
        }
        connection.reset();
        pause =
            std::min<std::chrono::milliseconds>(std::max<std::chrono::milliseconds>(pause * 2, 100ms), 5s);
        nextTry = Clock::now() + pause;
        if (!wait) {
            throw std::runtime_error("the score database does not answer: " + failure);
        }
    }
}

PostgresScoreStore::Result PostgresScoreStore::Run(const std::string& sql,
                                                   const std::vector<std::string>& parameters) {
    pg_conn* open = connection.get();
    Result result;
    if (parameters.empty()) {
        // Several statements in one round trip.
        result.reset(PQexec(open, sql.c_str()));
    } else {
        std::vector<const char*> values;
        for (const std::string& parameter : parameters) {
            values.push_back(parameter.c_str());
        }
        result.reset(PQexecParams(open, sql.c_str(), static_cast<int>(values.size()), nullptr, values.data(),
                                  nullptr, nullptr, 0));
    }
    ExecStatusType status = result ? PQresultStatus(result.get()) : PGRES_FATAL_ERROR;
    if (status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK) {
        return result;
    }
    if (PQstatus(open) == CONNECTION_BAD) {
        throw ConnectionLost("the connection to the score database was lost: " + ErrorText(open));
    }
    throw std::runtime_error(ErrorText(open));
}

PostgresScoreStore::Result PostgresScoreStore::Read(const std::string& sql,
                                                    const std::vector<std::string>& parameters) {
    Connection(false);
    try {
        return Run(sql, parameters);
    } catch (const ConnectionLost&) {
        // A read may simply be asked again; the I/O thread does not wait out a pause.
        Connection(false);
        return Run(sql, parameters);
    }
}

std::vector<bool> PostgresScoreStore::AddAll(const std::vector<ScoreRecord>& scores) {
    if (scores.empty()) {
        return {};
    }
    for (int attempt = 1;; ++attempt) {
        try {
            Connection(true);
            Store(scores);
            return std::vector<bool>(scores.size(), true);
        } catch (const ConnectionLost& lost) {
            if (attempt == 3) {
                throw std::runtime_error(lost.what());
            }
        }
    }
}

void PostgresScoreStore::Store(const std::vector<ScoreRecord>& scores) {
    Run("BEGIN");
    std::string transaction;
    try {
        for (std::size_t first = 0; first < scores.size(); first += RowsPerInsert) {
            std::size_t end = std::min(scores.size(), first + RowsPerInsert);
            std::string sql = "INSERT INTO scores (name, score) VALUES ";
            std::vector<std::string> parameters;
            for (std::size_t i = first; i < end; ++i) {
                std::size_t n = parameters.size();
                sql += (i == first ? "($" : ", ($") + std::to_string(n + 1) + ", $" + std::to_string(n + 2) +
                       ")";
                parameters.push_back(scores[i].name);
                parameters.push_back(std::to_string(scores[i].score));
            }
            Run(sql, parameters);
        }
        // The transaction's number lets a new connection ask how a COMMIT
        // that got no answer ended.
        Result counted = Run("UPDATE score_count SET total = total + $1 RETURNING txid_current()",
                             {std::to_string(scores.size())});
        transaction = PQgetvalue(counted.get(), 0, 0);
    } catch (const ConnectionLost&) {
        throw;
    } catch (const std::exception&) {
        Result ignored(PQexec(connection.get(), "ROLLBACK"));
        throw;
    }
    Result committed(PQexec(connection.get(), "COMMIT"));
    if (committed && PQresultStatus(committed.get()) == PGRES_COMMAND_OK &&
        std::string(PQcmdStatus(committed.get())) == "COMMIT") {
        return;
    }
    if (PQstatus(connection.get()) != CONNECTION_BAD) {
        throw std::runtime_error("cannot commit the scores: " + ErrorText(connection.get()));
    }
    // Not a ConnectionLost: a batch that may be stored is never stored again.
    if (!Committed(transaction)) {
        throw std::runtime_error(
            "the connection to the score database was lost during a commit that did not happen"
            " or whose outcome is unknown");
    }
}

bool PostgresScoreStore::Committed(const std::string& transaction) {
    try {
        for (int asked = 0; asked < 20; ++asked) {
            Connection(true);
            Result status = Run("SELECT txid_status($1)", {transaction});
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

std::vector<StoredScore> PostgresScoreStore::ReadScores(const Result& result) {
    std::vector<StoredScore> scores;
    for (int row = 0; row < PQntuples(result.get()); ++row) {
        StoredScore stored;
        stored.id = std::stoll(PQgetvalue(result.get(), row, 0));
        stored.name = PQgetvalue(result.get(), row, 1);
        stored.score = static_cast<int32_t>(std::stol(PQgetvalue(result.get(), row, 2)));
        scores.push_back(std::move(stored));
    }
    return scores;
}

std::vector<StoredScore> PostgresScoreStore::Best(const std::optional<ScoreKey>& after, int64_t count) {
    const std::string columns = "SELECT id, name, score FROM scores ";
    if (!after) {
        return ReadScores(Read(columns + "ORDER BY score DESC, id ASC LIMIT $1", {std::to_string(count)}));
    }
    return ReadScores(
        Read(columns + "WHERE score <= $1 AND (score < $1 OR id > $2) ORDER BY score DESC, id ASC LIMIT $3",
             {std::to_string(after->score), std::to_string(after->id), std::to_string(count)}));
}

std::vector<StoredScore> PostgresScoreStore::Above(const ScoreKey& before, int64_t count) {
    std::vector<StoredScore> scores =
        ReadScores(Read("SELECT id, name, score FROM scores WHERE score >= $1 AND (score > $1 OR id < $2)"
                        " ORDER BY score ASC, id DESC LIMIT $3",
                        {std::to_string(before.score), std::to_string(before.id), std::to_string(count)}));
    std::reverse(scores.begin(), scores.end());
    return scores;
}

int64_t PostgresScoreStore::Count() {
    Result result = Read("SELECT total FROM score_count", {});
    if (PQntuples(result.get()) != 1) {
        throw std::runtime_error("the score count is missing");
    }
    return std::stoll(PQgetvalue(result.get(), 0, 0));
}

int64_t PostgresScoreStore::CountAbove(const ScoreKey& key) {
    Result result = Read("SELECT count(*) FROM scores WHERE score > $1 OR (score = $1 AND id < $2)",
                         {std::to_string(key.score), std::to_string(key.id)});
    return std::stoll(PQgetvalue(result.get(), 0, 0));
}

void PostgresScoreStore::Check() {
    Count();
}

// Placeholders until the moderation tables exist.
uint64_t PostgresScoreStore::ChangeCount() { throw std::runtime_error("not available yet"); }
void PostgresScoreStore::AddRefused(const std::vector<RefusedScore>&) { throw std::runtime_error("not available yet"); }
std::vector<RefusedScore> PostgresScoreStore::LatestRefused(int64_t) { throw std::runtime_error("not available yet"); }
std::vector<ListedScore> PostgresScoreStore::List(bool, int64_t) { throw std::runtime_error("not available yet"); }
bool PostgresScoreStore::SetHidden(int64_t, bool) { throw std::runtime_error("not available yet"); }
bool PostgresScoreStore::Ban(const std::string&) { throw std::runtime_error("not available yet"); }
bool PostgresScoreStore::Unban(const std::string&) { throw std::runtime_error("not available yet"); }
void PostgresScoreStore::Backup(const std::string&) { throw std::runtime_error("not available yet"); }
