#include "server/score_store.h"

#include <sqlite3.h>

#include <stdexcept>

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

void ScoreStore::CloseDatabase::operator()(sqlite3* database) const {
    sqlite3_close(database);
}

void ScoreStore::FinalizeStatement::operator()(sqlite3_stmt* statement) const {
    sqlite3_finalize(statement);
}

ScoreStore::ScoreStore(const std::string& path) {
    sqlite3* opened = nullptr;
    int status = sqlite3_open_v2(path.c_str(), &opened, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
    db.reset(opened);
    if (status != SQLITE_OK) {
        Fail("cannot open the score database");
    }
    sqlite3_busy_timeout(db.get(), 5000);
    Execute("PRAGMA journal_mode=WAL");
    // FULL syncs the log on every commit: an acknowledged score survives a
    // power cut, not only a crash of the server.
    Execute("PRAGMA synchronous=FULL");
    Execute(
        "CREATE TABLE IF NOT EXISTS scores ("
        " id INTEGER PRIMARY KEY AUTOINCREMENT,"
        " name TEXT NOT NULL,"
        " score INTEGER NOT NULL,"
        " received TEXT NOT NULL DEFAULT (strftime('%Y-%m-%dT%H:%M:%fZ', 'now')))");
    Execute("CREATE INDEX IF NOT EXISTS scores_by_rank ON scores (score DESC, id ASC)");
    insertScore = Prepare("INSERT INTO scores (name, score) VALUES (?1, ?2)");
    selectBest = Prepare("SELECT name, score FROM scores ORDER BY score DESC, id ASC LIMIT ?1 OFFSET ?2");
    countScores = Prepare("SELECT COUNT(*) FROM scores");
}

ScoreStore::~ScoreStore() = default;

void ScoreStore::Fail(const char* what) {
    std::string message = what;
    if (db) {
        message += ": ";
        message += sqlite3_errmsg(db.get());
    }
    throw std::runtime_error(message);
}

void ScoreStore::Execute(const char* sql) {
    Statement statement = Prepare(sql);
    int status;
    while ((status = sqlite3_step(statement.get())) == SQLITE_ROW) {
    }
    if (status != SQLITE_DONE) {
        Fail(sql);
    }
}

ScoreStore::Statement ScoreStore::Prepare(const char* sql) {
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v2(db.get(), sql, -1, &statement, nullptr) != SQLITE_OK) {
        Fail(sql);
    }
    return Statement(statement);
}

void ScoreStore::Add(const std::string& name, int32_t score) {
    StatementUse use(insertScore.get());
    sqlite3_bind_text(insertScore.get(), 1, name.data(), static_cast<int>(name.size()), SQLITE_TRANSIENT);
    sqlite3_bind_int(insertScore.get(), 2, score);
    if (sqlite3_step(insertScore.get()) != SQLITE_DONE) {
        Fail("cannot store a score");
    }
}

std::vector<ScoreRecord> ScoreStore::Best(int64_t offset, int64_t count) {
    StatementUse use(selectBest.get());
    sqlite3_bind_int64(selectBest.get(), 1, count);
    sqlite3_bind_int64(selectBest.get(), 2, offset);
    std::vector<ScoreRecord> best;
    int status;
    while ((status = sqlite3_step(selectBest.get())) == SQLITE_ROW) {
        ScoreRecord record;
        const unsigned char* text = sqlite3_column_text(selectBest.get(), 0);
        if (text != nullptr) {
            record.name.assign(reinterpret_cast<const char*>(text),
                               static_cast<std::size_t>(sqlite3_column_bytes(selectBest.get(), 0)));
        }
        record.score = sqlite3_column_int(selectBest.get(), 1);
        best.push_back(std::move(record));
    }
    if (status != SQLITE_DONE) {
        Fail("cannot read the scores");
    }
    return best;
}

int64_t ScoreStore::Count() {
    StatementUse use(countScores.get());
    if (sqlite3_step(countScores.get()) != SQLITE_ROW) {
        Fail("cannot count the scores");
    }
    return sqlite3_column_int64(countScores.get(), 0);
}
