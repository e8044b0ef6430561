#include "server/sqlite_store.h"

#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <stdexcept>
#include <thread>

namespace {

// Resets a statement on every exit path so it never holds a read lock.
class StatementUse {
  public:
    explicit StatementUse(sqlite3_stmt* statement) : statement(statement) {}
    ~StatementUse() {
        sqlite3_reset(statement);
        sqlite3_clear_bindings(statement);
    }
    StatementUse(const StatementUse&) = delete;
    StatementUse& operator=(const StatementUse&) = delete;

  private:
    sqlite3_stmt* statement;
};

}  // namespace

void SqliteScoreStore::CloseDatabase::operator()(sqlite3* database) const {
    sqlite3_close(database);
}

void SqliteScoreStore::FinalizeStatement::operator()(sqlite3_stmt* statement) const {
    sqlite3_finalize(statement);
}

SqliteScoreStore::SqliteScoreStore(const std::string& path) : path(path) {
    sqlite3* opened = nullptr;
    // No mutex: a store is used by one thread at a time.
    int status = sqlite3_open_v2(path.c_str(), &opened,
                                 SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX, nullptr);
    db.reset(opened);
    if (status != SQLITE_OK) {
        Fail("cannot open the score database");
    }
    // Another instance may be creating the tables, or checkpointing.
    sqlite3_busy_timeout(db.get(), 5000);
    if (sqlite3_db_readonly(db.get(), "main") != 0) {
        throw std::runtime_error("the score database is read-only, so no score could be stored");
    }
    std::string mode;
    // Of instances opening a new file at once, those that lose the race to
    // switch it to WAL are told "busy" at once, without the busy wait.
    for (int attempt = 0; attempt < 500 && mode.empty(); ++attempt) {
        Statement journal = Prepare("PRAGMA journal_mode=WAL");
        int status = sqlite3_step(journal.get());
        if (status == SQLITE_ROW && sqlite3_column_text(journal.get(), 0) != nullptr) {
            mode = reinterpret_cast<const char*>(sqlite3_column_text(journal.get(), 0));
        } else if (status == SQLITE_BUSY) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        } else {
            break;
        }
    }
    if (mode != "wal") {
        throw std::runtime_error("the score database cannot use a write-ahead log (journal mode \"" + mode +
                                 "\"); give the path of a file on a writable disk");
    }
    // FULL syncs the log on every commit: an acknowledged score survives a
    // power cut, not only a crash of the server.
    Execute("PRAGMA synchronous=FULL");
    // IMMEDIATE takes the write lock first, so instances starting at once
    // create the tables one after the other.
    Execute("BEGIN IMMEDIATE");
    Execute(
        "CREATE TABLE IF NOT EXISTS scores ("
        " id INTEGER PRIMARY KEY AUTOINCREMENT,"
        " name TEXT NOT NULL,"
        " score INTEGER NOT NULL,"
        " received TEXT NOT NULL DEFAULT (strftime('%Y-%m-%dT%H:%M:%fZ', 'now')))");
    Execute("CREATE INDEX IF NOT EXISTS scores_by_rank ON scores (score DESC, id ASC)");
    Execute(
        "CREATE TABLE IF NOT EXISTS score_count ("
        " only INTEGER PRIMARY KEY CHECK (only = 1),"
        " total INTEGER NOT NULL)");
    // A database from before the counter is counted once.
    Execute(
        "INSERT INTO score_count (only, total) SELECT 1, (SELECT COUNT(*) FROM scores)"
        " WHERE NOT EXISTS (SELECT 1 FROM score_count)");
    Execute("COMMIT");

    begin = Prepare("BEGIN IMMEDIATE");
    commit = Prepare("COMMIT");
    rollback = Prepare("ROLLBACK");
    insertScore = Prepare("INSERT INTO scores (name, score) VALUES (?1, ?2)");
    addToCount = Prepare("UPDATE score_count SET total = total + ?1");
    const char* columns = "SELECT id, name, score FROM scores ";
    selectBest = Prepare((std::string(columns) + "ORDER BY score DESC, id ASC LIMIT ?1").c_str());
    selectBestAfter = Prepare((std::string(columns) + "WHERE score <= ?1 AND (score < ?1 OR id > ?2)"
                                                      " ORDER BY score DESC, id ASC LIMIT ?3")
                                  .c_str());
    selectAbove = Prepare((std::string(columns) + "WHERE score >= ?1 AND (score > ?1 OR id < ?2)"
                                                  " ORDER BY score ASC, id DESC LIMIT ?3")
                              .c_str());
    selectCount = Prepare("SELECT total FROM score_count");
    dataVersion = Prepare("PRAGMA data_version");
}

SqliteScoreStore::~SqliteScoreStore() = default;

void SqliteScoreStore::Fail(const std::string& what) {
    std::string message = what;
    if (db) {
        message += ": ";
        message += sqlite3_errmsg(db.get());
    }
    throw std::runtime_error(message);
}

void SqliteScoreStore::Execute(const char* sql) {
    Statement statement = Prepare(sql);
    int status;
    while ((status = sqlite3_step(statement.get())) == SQLITE_ROW) {
    }
    if (status != SQLITE_DONE) {
        Fail(sql);
    }
}

void SqliteScoreStore::Step(sqlite3_stmt* statement, const char* what) {
    StatementUse use(statement);
    if (sqlite3_step(statement) != SQLITE_DONE) {
        Fail(what);
    }
}

SqliteScoreStore::Statement SqliteScoreStore::Prepare(const char* sql) {
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v2(db.get(), sql, -1, &statement, nullptr) != SQLITE_OK) {
        Fail(sql);
    }
    return Statement(statement);
}

std::vector<bool> SqliteScoreStore::AddAll(const std::vector<ScoreRecord>& scores) {
    if (scores.empty()) {
        return {};
    }
    Step(begin.get(), "cannot start storing scores");
    try {
        for (const ScoreRecord& record : scores) {
            sqlite3_bind_text(insertScore.get(), 1, record.name.data(), static_cast<int>(record.name.size()),
                              SQLITE_TRANSIENT);
            sqlite3_bind_int(insertScore.get(), 2, record.score);
            Step(insertScore.get(), "cannot store a score");
        }
        sqlite3_bind_int64(addToCount.get(), 1, static_cast<int64_t>(scores.size()));
        Step(addToCount.get(), "cannot count the stored scores");
        // This connection's own commits leave its data version as it was.
        top.version = -1;
        Step(commit.get(), "cannot commit the scores");
    } catch (const std::exception&) {
        // A failed COMMIT may already have rolled back; then this fails harmlessly.
        StatementUse use(rollback.get());
        sqlite3_step(rollback.get());
        throw;
    }
    return std::vector<bool>(scores.size(), true);
}

std::vector<StoredScore> SqliteScoreStore::ReadScores(sqlite3_stmt* statement) {
    StatementUse use(statement);
    std::vector<StoredScore> scores;
    int status;
    while ((status = sqlite3_step(statement)) == SQLITE_ROW) {
        StoredScore stored;
        stored.id = sqlite3_column_int64(statement, 0);
        const unsigned char* text = sqlite3_column_text(statement, 1);
        if (text != nullptr) {
            stored.name.assign(reinterpret_cast<const char*>(text),
                               static_cast<std::size_t>(sqlite3_column_bytes(statement, 1)));
        }
        stored.score = sqlite3_column_int(statement, 2);
        scores.push_back(std::move(stored));
    }
    if (status != SQLITE_DONE) {
        Fail("cannot read the scores");
    }
    return scores;
}

std::vector<StoredScore> SqliteScoreStore::Best(const std::optional<ScoreKey>& after, int64_t count) {
    if (!after) {
        int64_t version = DataVersion();
        if (version != top.version || count != top.count) {
            sqlite3_bind_int64(selectBest.get(), 1, count);
            top = {version, count, ReadScores(selectBest.get())};
        }
        return top.scores;
    }
    sqlite3_bind_int(selectBestAfter.get(), 1, after->score);
    sqlite3_bind_int64(selectBestAfter.get(), 2, after->id);
    sqlite3_bind_int64(selectBestAfter.get(), 3, count);
    return ReadScores(selectBestAfter.get());
}

std::vector<StoredScore> SqliteScoreStore::Above(const ScoreKey& before, int64_t count) {
    sqlite3_bind_int(selectAbove.get(), 1, before.score);
    sqlite3_bind_int64(selectAbove.get(), 2, before.id);
    sqlite3_bind_int64(selectAbove.get(), 3, count);
    std::vector<StoredScore> scores = ReadScores(selectAbove.get());
    std::reverse(scores.begin(), scores.end());
    return scores;
}

int64_t SqliteScoreStore::CountAbove(const ScoreKey& key) {
    // Prepared here: only the web page asks, once per page shown.
    Statement count = Prepare("SELECT count(*) FROM scores WHERE score > ?1 OR (score = ?1 AND id < ?2)");
    sqlite3_bind_int(count.get(), 1, key.score);
    sqlite3_bind_int64(count.get(), 2, key.id);
    if (sqlite3_step(count.get()) != SQLITE_ROW) {
        Fail("cannot count the scores above one");
    }
    return sqlite3_column_int64(count.get(), 0);
}

// Changes whenever another connection has committed.
int64_t SqliteScoreStore::DataVersion() {
    StatementUse use(dataVersion.get());
    if (sqlite3_step(dataVersion.get()) != SQLITE_ROW) {
        Fail("cannot read the data version");
    }
    return sqlite3_column_int64(dataVersion.get(), 0);
}

int64_t SqliteScoreStore::Count() {
    StatementUse use(selectCount.get());
    if (sqlite3_step(selectCount.get()) != SQLITE_ROW) {
        Fail("cannot count the scores");
    }
    return sqlite3_column_int64(selectCount.get(), 0);
}

void SqliteScoreStore::Check() {
    // A connection of its own, that never creates the file: this one's cache
    // would still answer with the file gone.
    sqlite3* opened = nullptr;
    int status = sqlite3_open_v2(path.c_str(), &opened, SQLITE_OPEN_READONLY, nullptr);
    std::unique_ptr<sqlite3, CloseDatabase> probe(opened);
    sqlite3_stmt* prepared = nullptr;
    if (status == SQLITE_OK) {
        sqlite3_busy_timeout(probe.get(), 1000);
        status = sqlite3_prepare_v2(probe.get(), "SELECT total FROM score_count", -1, &prepared, nullptr);
    }
    Statement statement(prepared);
    if (status != SQLITE_OK || sqlite3_step(statement.get()) != SQLITE_ROW) {
        throw std::runtime_error(std::string("the score database does not answer: ") +
                                 (probe ? sqlite3_errmsg(probe.get()) : "out of memory"));
    }
}

// Placeholders until the moderation tables exist.
uint64_t SqliteScoreStore::ChangeCount() { throw std::runtime_error("not available yet"); }
void SqliteScoreStore::AddRefused(const std::vector<RefusedScore>&) { throw std::runtime_error("not available yet"); }
std::vector<RefusedScore> SqliteScoreStore::LatestRefused(int64_t) { throw std::runtime_error("not available yet"); }
std::vector<ListedScore> SqliteScoreStore::List(bool, int64_t) { throw std::runtime_error("not available yet"); }
bool SqliteScoreStore::SetHidden(int64_t, bool) { throw std::runtime_error("not available yet"); }
bool SqliteScoreStore::Ban(const std::string&) { throw std::runtime_error("not available yet"); }
bool SqliteScoreStore::Unban(const std::string&) { throw std::runtime_error("not available yet"); }
void SqliteScoreStore::Backup(const std::string&) { throw std::runtime_error("not available yet"); }
