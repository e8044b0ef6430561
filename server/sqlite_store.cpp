#include "server/sqlite_store.h"

#include <fcntl.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
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

// Tallies count the shown scores of each board by blocks of scores, so that
// a rank deep in a million scores costs at most about a thousand tally rows
// and one block's scores instead of a walk of the index up to it. A block at shift s holds the scores with
// equal score >> s; the finest blocks hold 256 scores, each coarser one 256 of the finer: four levels, few
// enough that a stored score costs the writer little, a count then summing at most 255 blocks a level.
constexpr int FinestShift = 8, ShiftStep = 8, CoarsestShift = 32;

// The boards that keep a tally and an index of their own: all time, one UTC
// day ("d2026-12-09") and one ISO week by its Monday ("w2026-12-07"). The
// expressions name a row's period from its `received`; `X` stands for the
// row ("new", "old" or "scores").
const char* const PeriodOfRow[] = {"''", "'d' || substr(X.received, 1, 10)",
                                   "'w' || date(X.received, '-6 days', 'weekday 1')"};

std::string ForRow(std::string expression, const std::string& row) {
    for (std::size_t at; (at = expression.find("X.")) != std::string::npos;) {
        expression.replace(at, 1, row);
    }
    return expression;
}

// The seconds since 1970 of a range's bound when it is a UTC midnight as
// the boards write it ("2026-12-07T00:00:00.000Z").
std::optional<int64_t> Midnight(const std::string& text) {
    struct tm parts {};
    const char* end = strptime(text.c_str(), "%Y-%m-%dT00:00:00.000Z", &parts);
    if (end == nullptr || *end != '\0' || text.size() != 24) {
        return std::nullopt;
    }
    return static_cast<int64_t>(timegm(&parts));
}

}  // namespace

// What serves a board: its tally's period and its index, when it is all
// time, exactly one UTC day or exactly one ISO week; any other range is
// counted row by row.
struct SqliteScoreStore::Board {
    explicit Board(const std::optional<ReceivedRange>& range) : range(range) {
        constexpr int64_t Day = 86400;
        std::optional<int64_t> from = range ? Midnight(range->from) : std::nullopt;
        std::optional<int64_t> until = range ? Midnight(range->until) : std::nullopt;
        if (!range) {
            period = "";
        } else if (from && until && *until - *from == Day) {
            period = "d" + range->from.substr(0, 10);
            column = "substr(received, 1, 10)";
        } else if (from && until && *until - *from == 7 * Day && (*from / Day + 3) % 7 == 0) {
            period = "w" + range->from.substr(0, 10);
            column = "date(received, '-6 days', 'weekday 1')";
        }
    }
    // Which scores the board holds. "hidden = 0" as written lets SQLite use
    // the partial indexes; `received` is RFC 3339 text in UTC, so text order
    // is time order; ?7 is the period's day, ?8 and ?9 the range's bounds.
    std::string Where() const {
        std::string where = " WHERE hidden = 0";
        if (!column.empty()) {
            where += " AND " + column + " = ?7";
        }
        return range ? where + " AND received >= ?8 AND received < ?9" : where;
    }

    const std::optional<ReceivedRange>& range;
    std::optional<std::string> period;  // none: no tally
    std::string column;                 // the indexed expression naming the period
};

void SqliteScoreStore::CloseDatabase::operator()(sqlite3* database) const {
    sqlite3_close(database);
}

void SqliteScoreStore::FinalizeStatement::operator()(sqlite3_stmt* statement) const {
    sqlite3_finalize(statement);
}

template <typename Change>
auto SqliteScoreStore::Transaction(const char* what, Change change) {
    Step(begin.get(), what);
    try {
        auto result = change();
        Step(commit.get(), what);
        return result;
    } catch (const std::exception&) {
        // A failed COMMIT may already have rolled back; then this fails harmlessly.
        StatementUse use(rollback.get());
        sqlite3_step(rollback.get());
        throw;
    }
}

SqliteScoreStore::SqliteScoreStore(const std::string& path) : path(path) {
    struct stat before {};
    bool existed = stat(path.c_str(), &before) == 0 && before.st_size > 0;
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
    if (existed) {
        // Damage found now is told to the operator; found later, it would
        // lose the scores acknowledged meanwhile.
        Statement check = Prepare("PRAGMA quick_check");
        StatementUse use(check.get());
        int checked = sqlite3_step(check.get());
        const unsigned char* verdict = checked == SQLITE_ROW ? sqlite3_column_text(check.get(), 0) : nullptr;
        std::string found =
            verdict != nullptr ? reinterpret_cast<const char*>(verdict) : sqlite3_errmsg(db.get());
        if (found != "ok") {
            throw std::runtime_error("the score database is damaged (" + found +
                                     "); restore it from a backup or move it away");
        }
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
    begin = Prepare("BEGIN IMMEDIATE");
    commit = Prepare("COMMIT");
    rollback = Prepare("ROLLBACK");
    // IMMEDIATE takes the write lock first, so instances starting at once
    // create or extend the tables one after the other. Extending a large
    // database (its indexes, its tallies) takes seconds, which the others wait out.
    sqlite3_busy_timeout(db.get(), 120000);
    Transaction("cannot create the score tables", [this] {
        CreateTables();
        return 0;
    });
    sqlite3_busy_timeout(db.get(), 5000);
    struct stat opened_file {};
    if (stat(path.c_str(), &opened_file) != 0) {
        throw std::runtime_error("the score database file vanished while it was opened");
    }
    device = opened_file.st_dev;
    inode = opened_file.st_ino;

    // A banned name's score is not stored: the changed rows tell.
    insertScore = Prepare(
        "INSERT INTO scores (name, score) SELECT ?1, ?2"
        " WHERE NOT EXISTS (SELECT 1 FROM banned_names WHERE name = ?1)");
    insertRefused =
        Prepare("INSERT INTO refused_scores (address, name, score, reason) VALUES (?1, ?2, ?3, ?4)");
    trimRefused = Prepare("DELETE FROM refused_scores WHERE id <= (SELECT MAX(id) FROM refused_scores) - ?1");
    addToCount = Prepare("UPDATE score_count SET total = total + ?1");
    selectBest = Prepare(
        "SELECT id, name, score, received FROM scores WHERE hidden = 0 ORDER BY score DESC, id ASC LIMIT ?3");
    selectCount = Prepare("SELECT total FROM score_count");
}

void SqliteScoreStore::CreateTables() {
    // hidden: 0 shown, 1 hidden by the operator, 2 hidden by a ban on its name.
    Execute(
        "CREATE TABLE IF NOT EXISTS scores ("
        " id INTEGER PRIMARY KEY AUTOINCREMENT,"
        " name TEXT NOT NULL,"
        " score INTEGER NOT NULL,"
        " received TEXT NOT NULL DEFAULT (strftime('%Y-%m-%dT%H:%M:%fZ', 'now')),"
        " hidden INTEGER NOT NULL DEFAULT 0)");
    // A database from before moderation gets the column, every score shown.
    bool hasHidden = false;
    {
        Statement columns = Prepare("SELECT 1 FROM pragma_table_info('scores') WHERE name = 'hidden'");
        hasHidden = sqlite3_step(columns.get()) == SQLITE_ROW;
    }
    if (!hasHidden) {
        Execute("ALTER TABLE scores ADD COLUMN hidden INTEGER NOT NULL DEFAULT 0");
    }
    // The players' lists read the shown scores; the operator's list all of them.
    Execute("CREATE INDEX IF NOT EXISTS scores_by_rank ON scores (score DESC, id ASC)");
    Execute(
        "CREATE INDEX IF NOT EXISTS scores_shown_by_rank ON scores (score DESC, id ASC) WHERE hidden = 0");
    // Each board's order, for its pages and its lowest and highest score.
    Execute(
        "CREATE INDEX IF NOT EXISTS scores_shown_by_day"
        " ON scores (substr(received, 1, 10), score DESC, id ASC) WHERE hidden = 0");
    Execute(
        "CREATE INDEX IF NOT EXISTS scores_shown_by_week"
        " ON scores (date(received, '-6 days', 'weekday 1'), score DESC, id ASC) WHERE hidden = 0");
    CreateTally();
    Execute(
        "CREATE TABLE IF NOT EXISTS score_count ("
        " only INTEGER PRIMARY KEY CHECK (only = 1),"
        " total INTEGER NOT NULL)");
    // A database from before the counter is counted once.
    Execute(
        "INSERT INTO score_count (only, total) SELECT 1, (SELECT COUNT(*) FROM scores WHERE hidden = 0)"
        " WHERE NOT EXISTS (SELECT 1 FROM score_count)");
    Execute(
        "CREATE TABLE IF NOT EXISTS banned_names ("
        " name TEXT PRIMARY KEY,"
        " banned TEXT NOT NULL DEFAULT (strftime('%Y-%m-%dT%H:%M:%fZ', 'now')))");
    Execute(
        "CREATE TABLE IF NOT EXISTS refused_scores ("
        " id INTEGER PRIMARY KEY,"
        " address TEXT NOT NULL,"
        " received TEXT NOT NULL DEFAULT (strftime('%Y-%m-%dT%H:%M:%fZ', 'now')),"
        " name TEXT NOT NULL,"
        " score INTEGER NOT NULL,"
        " reason TEXT NOT NULL)");
}

void SqliteScoreStore::CreateTally() {
    bool existed = false;
    {
        Statement table =
            Prepare("SELECT 1 FROM sqlite_master WHERE type = 'table' AND name = 'score_tally'");
        existed = sqlite3_step(table.get()) == SQLITE_ROW;
    }
    if (existed) {
        return;
    }
    Execute(
        "CREATE TABLE score_tally (period TEXT NOT NULL, shift INTEGER NOT NULL, block INTEGER NOT NULL,"
        " shown INTEGER NOT NULL, PRIMARY KEY (period, shift, block)) WITHOUT ROWID");
    Execute("CREATE TABLE score_tally_shifts (shift INTEGER PRIMARY KEY)");
    for (int shift = FinestShift; shift <= CoarsestShift; shift += ShiftStep) {
        Execute(("INSERT INTO score_tally_shifts VALUES (" + std::to_string(shift) + ")").c_str());
    }
    // Kept by triggers, so that every writer keeps it, an older server
    // still running beside this one included.
    auto count = [](const std::string& row, const char* shown) {
        std::string sql;
        for (const char* period : PeriodOfRow) {
            sql += "INSERT INTO score_tally (period, shift, block, shown) SELECT " + ForRow(period, row) +
                   ", shift, " + row + ".score >> shift, " + shown + " FROM score_tally_shifts WHERE " + row +
                   ".hidden = 0 AND " + ForRow(period, row) +
                   " IS NOT NULL ON CONFLICT (period, shift, block) DO UPDATE SET shown = shown + "
                   "excluded.shown;";
        }
        return sql;
    };
    Execute(("CREATE TRIGGER score_tally_insert AFTER INSERT ON scores BEGIN " + count("new", "1") + " END")
                .c_str());
    Execute(("CREATE TRIGGER score_tally_delete AFTER DELETE ON scores BEGIN " + count("old", "-1") + " END")
                .c_str());
    Execute(("CREATE TRIGGER score_tally_update AFTER UPDATE OF score, received, hidden ON scores BEGIN " +
             count("old", "-1") + count("new", "1") + " END")
                .c_str());
    // The scores already stored, counted once at the finest shift; each
    // coarser level sums the one below.
    for (const char* period : PeriodOfRow) {
        std::string of = ForRow(period, "scores");
        Execute(("INSERT INTO score_tally (period, shift, block, shown) SELECT " + of + ", " +
                 std::to_string(FinestShift) + ", score >> " + std::to_string(FinestShift) +
                 ", count(*) FROM scores WHERE hidden = 0 AND " + of + " IS NOT NULL GROUP BY 1, 3")
                    .c_str());
    }
    for (int shift = FinestShift + ShiftStep; shift <= CoarsestShift; shift += ShiftStep) {
        Execute(("INSERT INTO score_tally (period, shift, block, shown) SELECT period, " +
                 std::to_string(shift) + ", block >> " + std::to_string(ShiftStep) +
                 ", sum(shown) FROM score_tally WHERE shift = " + std::to_string(shift - ShiftStep) +
                 " GROUP BY 1, 3")
                    .c_str());
    }
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

void SqliteScoreStore::CheckSameFile() {
    struct stat now {};
    if (stat(path.c_str(), &now) != 0 || now.st_dev != device || now.st_ino != inode) {
        throw std::runtime_error("the score database file " + path +
                                 " was deleted or replaced since it was opened; restart the server");
    }
}

int64_t SqliteScoreStore::Changed() {
    return sqlite3_changes(db.get());
}

void SqliteScoreStore::AddToCount(int64_t shown) {
    if (shown != 0) {
        sqlite3_bind_int64(addToCount.get(), 1, shown);
        Step(addToCount.get(), "cannot count the shown scores");
    }
}

std::vector<bool> SqliteScoreStore::AddAll(const std::vector<ScoreRecord>& scores) {
    if (scores.empty()) {
        return {};
    }
    CheckSameFile();
    return Transaction("cannot store the scores", [&] {
        std::vector<bool> stored;
        std::vector<RefusedScore> banned;
        for (const ScoreRecord& record : scores) {
            sqlite3_bind_text(insertScore.get(), 1, record.name.data(), static_cast<int>(record.name.size()),
                              SQLITE_TRANSIENT);
            sqlite3_bind_int(insertScore.get(), 2, record.score);
            Step(insertScore.get(), "cannot store a score");
            stored.push_back(Changed() == 1);
            if (!stored.back()) {
                banned.push_back({record.address, "", record.name, record.score, "banned"});
            }
        }
        AddToCount(std::count(stored.begin(), stored.end(), true));
        AddRefusedRows(banned);
        // Checked again last: the file may have gone while this waited for the lock.
        CheckSameFile();
        return stored;
    });
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
        stored.received = Text(statement, 3);
        scores.push_back(std::move(stored));
    }
    if (status != SQLITE_DONE) {
        Fail("cannot read the scores");
    }
    return scores;
}

std::vector<StoredScore> SqliteScoreStore::Best(const std::optional<ScoreKey>& after, int64_t count) {
    if (!after) {
        sqlite3_bind_int64(selectBest.get(), 3, count);
        return ReadScores(selectBest.get());
    }
    return BoardBest(std::nullopt, after, count);
}

std::vector<StoredScore> SqliteScoreStore::Above(const ScoreKey& before, int64_t count) {
    return BoardAbove(std::nullopt, before, count);
}

int64_t SqliteScoreStore::CountAbove(const ScoreKey& key) {
    return BoardRankStart(std::nullopt, key).before;
}

sqlite3_stmt* SqliteScoreStore::BoardQuery(const std::string& sql, const Board& board) {
    Statement& statement = boardQueries[sql];
    if (!statement) {
        statement = Prepare(sql.c_str());
    }
    if (board.range) {
        const ReceivedRange& range = *board.range;
        sqlite3_bind_text(statement.get(), 7, range.from.data(), 10, SQLITE_TRANSIENT);
        sqlite3_bind_text(statement.get(), 8, range.from.data(), static_cast<int>(range.from.size()),
                          SQLITE_TRANSIENT);
        sqlite3_bind_text(statement.get(), 9, range.until.data(), static_cast<int>(range.until.size()),
                          SQLITE_TRANSIENT);
    }
    return statement.get();
}

int64_t SqliteScoreStore::Number(sqlite3_stmt* statement) {
    StatementUse use(statement);
    if (sqlite3_step(statement) != SQLITE_ROW) {
        Fail("cannot count the scores");
    }
    return sqlite3_column_int64(statement, 0);
}

int64_t SqliteScoreStore::CountHigher(const Board& board, int64_t score) {
    if (!board.period) {
        sqlite3_stmt* count =
            BoardQuery("SELECT count(*) FROM scores" + board.Where() + " AND score > ?1", board);
        sqlite3_bind_int64(count, 1, score);
        return Number(count);
    }
    // The scores above in the same finest block, then at each coarser shift
    // the blocks above under the same parent block: each higher score is
    // counted once, at the finest shift where its block differs.
    sqlite3_stmt* finest =
        BoardQuery("SELECT count(*) FROM scores" + board.Where() + " AND score > ?1 AND score < ?2", board);
    sqlite3_bind_int64(finest, 1, score);
    // Multiplied, not shifted left: blocks below zero are negative numbers.
    sqlite3_bind_int64(finest, 2, ((score >> FinestShift) + 1) * (int64_t{1} << FinestShift));
    int64_t higher = Number(finest);
    Statement& blocks = boardQueries[""];
    if (!blocks) {
        blocks = Prepare(
            "SELECT coalesce(sum(shown), 0) FROM score_tally"
            " WHERE period = ?1 AND shift = ?2 AND block > ?3 AND block < ?4");
    }
    for (int shift = FinestShift; shift <= CoarsestShift; shift += ShiftStep) {
        int64_t parentEnd = shift == CoarsestShift
                                ? INT64_MAX
                                : ((score >> (shift + ShiftStep)) + 1) * (int64_t{1} << ShiftStep);
        sqlite3_bind_text(blocks.get(), 1, board.period->data(), static_cast<int>(board.period->size()),
                          SQLITE_TRANSIENT);
        sqlite3_bind_int(blocks.get(), 2, shift);
        sqlite3_bind_int64(blocks.get(), 3, score >> shift);
        sqlite3_bind_int64(blocks.get(), 4, parentEnd);
        higher += Number(blocks.get());
    }
    return higher;
}

std::vector<StoredScore> SqliteScoreStore::BoardBest(const std::optional<ReceivedRange>& range,
                                                     const std::optional<ScoreKey>& after, int64_t count) {
    Board board(range);
    sqlite3_stmt* select = BoardQuery("SELECT id, name, score, received FROM scores" + board.Where() +
                                          (after ? " AND score <= ?1 AND (score < ?1 OR id > ?2)" : "") +
                                          " ORDER BY score DESC, id ASC LIMIT ?3",
                                      board);
    if (after) {
        sqlite3_bind_int(select, 1, after->score);
        sqlite3_bind_int64(select, 2, after->id);
    }
    sqlite3_bind_int64(select, 3, count);
    return ReadScores(select);
}

std::vector<StoredScore> SqliteScoreStore::BoardAbove(const std::optional<ReceivedRange>& range,
                                                      const ScoreKey& before, int64_t count) {
    Board board(range);
    sqlite3_stmt* select = BoardQuery("SELECT id, name, score, received FROM scores" + board.Where() +
                                          " AND score >= ?1 AND (score > ?1 OR id < ?2)"
                                          " ORDER BY score ASC, id DESC LIMIT ?3",
                                      board);
    sqlite3_bind_int(select, 1, before.score);
    sqlite3_bind_int64(select, 2, before.id);
    sqlite3_bind_int64(select, 3, count);
    std::vector<StoredScore> scores = ReadScores(select);
    std::reverse(scores.begin(), scores.end());
    return scores;
}

int64_t SqliteScoreStore::BoardCount(const std::optional<ReceivedRange>& range) {
    return range ? CountHigher(Board(range), int64_t{INT32_MIN} - 1) : Count();
}

RankStart SqliteScoreStore::BoardRankStart(const std::optional<ReceivedRange>& range, const ScoreKey& first) {
    Board board(range);
    RankStart start;
    start.higher = CountHigher(board, first.score);
    sqlite3_stmt* tied =
        BoardQuery("SELECT count(*) FROM scores" + board.Where() + " AND score = ?1 AND id < ?2", board);
    sqlite3_bind_int(tied, 1, first.score);
    sqlite3_bind_int64(tied, 2, first.id);
    start.before = start.higher + Number(tied);
    return start;
}

std::optional<std::pair<int32_t, int32_t>> SqliteScoreStore::BoardSpread(
    const std::optional<ReceivedRange>& range) {
    Board board(range);
    // Two queries, each one step into the board's index.
    std::optional<std::pair<int32_t, int32_t>> spread;
    for (const char* order : {"ASC, id DESC", "DESC, id ASC"}) {
        sqlite3_stmt* select = BoardQuery(
            "SELECT score FROM scores" + board.Where() + " ORDER BY score " + order + " LIMIT 1", board);
        StatementUse use(select);
        int status = sqlite3_step(select);
        if (status == SQLITE_DONE) {
            return std::nullopt;
        }
        if (status != SQLITE_ROW) {
            Fail("cannot read the spread of the scores");
        }
        int32_t score = sqlite3_column_int(select, 0);
        spread = spread ? std::make_pair(spread->first, score) : std::make_pair(score, score);
    }
    return spread;
}

std::vector<int64_t> SqliteScoreStore::BoardBuckets(const std::optional<ReceivedRange>& range,
                                                    const ScoreBuckets& buckets) {
    Board board(range);
    std::vector<int64_t> counts;
    // The count above each edge, the upper edge of one bucket being just
    // below the lower edge of the next.
    int64_t above = CountHigher(board, buckets.first - 1);
    for (int bucket = 0; bucket < buckets.count; ++bucket) {
        int64_t next = CountHigher(board, buckets.Highest(bucket));
        counts.push_back(above - next);
        above = next;
    }
    return counts;
}

int64_t SqliteScoreStore::Count() {
    StatementUse use(selectCount.get());
    if (sqlite3_step(selectCount.get()) != SQLITE_ROW) {
        Fail("cannot count the scores");
    }
    return sqlite3_column_int64(selectCount.get(), 0);
}

void SqliteScoreStore::Check() {
    CheckSameFile();
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

void SqliteScoreStore::AddRefusedRows(const std::vector<RefusedScore>& refused) {
    for (const RefusedScore& score : refused) {
        sqlite3_bind_text(insertRefused.get(), 1, score.address.data(),
                          static_cast<int>(score.address.size()), SQLITE_TRANSIENT);
        sqlite3_bind_text(insertRefused.get(), 2, score.name.data(), static_cast<int>(score.name.size()),
                          SQLITE_TRANSIENT);
        sqlite3_bind_int64(insertRefused.get(), 3, score.score);
        sqlite3_bind_text(insertRefused.get(), 4, score.reason.data(), static_cast<int>(score.reason.size()),
                          SQLITE_TRANSIENT);
        Step(insertRefused.get(), "cannot keep a refused score");
    }
    if (!refused.empty()) {
        sqlite3_bind_int64(trimRefused.get(), 1, MostRefusedKept);
        Step(trimRefused.get(), "cannot trim the refused scores");
    }
}

void SqliteScoreStore::AddRefused(const std::vector<RefusedScore>& refused) {
    if (!refused.empty()) {
        Transaction("cannot keep the refused scores", [&] {
            AddRefusedRows(refused);
            return 0;
        });
    }
}

std::string SqliteScoreStore::Text(sqlite3_stmt* statement, int column) {
    const unsigned char* text = sqlite3_column_text(statement, column);
    return text == nullptr ? std::string()
                           : std::string(reinterpret_cast<const char*>(text),
                                         static_cast<std::size_t>(sqlite3_column_bytes(statement, column)));
}

std::vector<RefusedScore> SqliteScoreStore::LatestRefused(int64_t count) {
    Statement select = Prepare(
        "SELECT address, received, name, score, reason FROM refused_scores ORDER BY id DESC LIMIT ?1");
    sqlite3_bind_int64(select.get(), 1, count);
    std::vector<RefusedScore> refused;
    int status;
    while ((status = sqlite3_step(select.get())) == SQLITE_ROW) {
        refused.push_back({Text(select.get(), 0), Text(select.get(), 1), Text(select.get(), 2),
                           sqlite3_column_int64(select.get(), 3), Text(select.get(), 4)});
    }
    if (status != SQLITE_DONE) {
        Fail("cannot read the refused scores");
    }
    return refused;
}

std::vector<ListedScore> SqliteScoreStore::List(bool latest, int64_t count) {
    Statement select = Prepare(latest ? "SELECT id, name, score, received, hidden FROM scores"
                                        " ORDER BY id DESC LIMIT ?1"
                                      : "SELECT id, name, score, received, hidden FROM scores"
                                        " ORDER BY score DESC, id ASC LIMIT ?1");
    sqlite3_bind_int64(select.get(), 1, count);
    std::vector<ListedScore> listed;
    int status;
    while ((status = sqlite3_step(select.get())) == SQLITE_ROW) {
        listed.push_back({sqlite3_column_int64(select.get(), 0), Text(select.get(), 1),
                          sqlite3_column_int(select.get(), 2), Text(select.get(), 3),
                          sqlite3_column_int(select.get(), 4) != 0});
    }
    if (status != SQLITE_DONE) {
        Fail("cannot list the scores");
    }
    return listed;
}

bool SqliteScoreStore::SetHidden(int64_t id, bool hidden) {
    return Transaction("cannot hide or show the score", [&] {
        Statement select = Prepare("SELECT hidden FROM scores WHERE id = ?1");
        sqlite3_bind_int64(select.get(), 1, id);
        if (sqlite3_step(select.get()) != SQLITE_ROW) {
            return false;
        }
        bool wasShown = sqlite3_column_int(select.get(), 0) == 0;
        select.reset();
        // Hidden by hand, it stays hidden when a ban on its name is lifted.
        Statement update = Prepare("UPDATE scores SET hidden = ?2 WHERE id = ?1");
        sqlite3_bind_int64(update.get(), 1, id);
        sqlite3_bind_int(update.get(), 2, hidden ? 1 : 0);
        Step(update.get(), "cannot hide or show the score");
        AddToCount(wasShown == hidden ? (hidden ? -1 : 1) : 0);
        return true;
    });
}

bool SqliteScoreStore::Ban(const std::string& name) {
    return Transaction("cannot ban the name", [&] {
        Statement insert = Prepare("INSERT OR IGNORE INTO banned_names (name) VALUES (?1)");
        sqlite3_bind_text(insert.get(), 1, name.data(), static_cast<int>(name.size()), SQLITE_TRANSIENT);
        Step(insert.get(), "cannot ban the name");
        if (Changed() == 0) {
            return false;
        }
        Statement hide = Prepare("UPDATE scores SET hidden = 2 WHERE name = ?1 AND hidden = 0");
        sqlite3_bind_text(hide.get(), 1, name.data(), static_cast<int>(name.size()), SQLITE_TRANSIENT);
        Step(hide.get(), "cannot hide the banned name's scores");
        AddToCount(-Changed());
        return true;
    });
}

bool SqliteScoreStore::Unban(const std::string& name) {
    return Transaction("cannot unban the name", [&] {
        Statement remove = Prepare("DELETE FROM banned_names WHERE name = ?1");
        sqlite3_bind_text(remove.get(), 1, name.data(), static_cast<int>(name.size()), SQLITE_TRANSIENT);
        Step(remove.get(), "cannot unban the name");
        if (Changed() == 0) {
            return false;
        }
        Statement show = Prepare("UPDATE scores SET hidden = 0 WHERE name = ?1 AND hidden = 2");
        sqlite3_bind_text(show.get(), 1, name.data(), static_cast<int>(name.size()), SQLITE_TRANSIENT);
        Step(show.get(), "cannot show the unbanned name's scores");
        AddToCount(Changed());
        return true;
    });
}

void SqliteScoreStore::Backup(const std::string& file) {
    // Created here, exclusively: a backup never overwrites a file, least of
    // all the database itself.
    int created = open(file.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (created < 0) {
        throw std::runtime_error("cannot create the backup " + file + ": " + std::strerror(errno));
    }
    close(created);
    sqlite3* opened = nullptr;
    int status = sqlite3_open_v2(file.c_str(), &opened, SQLITE_OPEN_READWRITE, nullptr);
    std::unique_ptr<sqlite3, CloseDatabase> copy(opened);
    if (status == SQLITE_OK) {
        sqlite3_backup* backup = sqlite3_backup_init(copy.get(), "main", db.get(), "main");
        if (backup != nullptr) {
            // One step copies it all in one read transaction: a consistent
            // copy, and in WAL mode the writers go on meanwhile.
            for (int attempt = 0; attempt < 500; ++attempt) {
                status = sqlite3_backup_step(backup, -1);
                if (status != SQLITE_BUSY && status != SQLITE_LOCKED) {
                    break;
                }
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            }
            sqlite3_backup_finish(backup);
        }
    }
    if (status != SQLITE_DONE) {
        std::string message = copy ? sqlite3_errmsg(copy.get()) : "out of memory";
        copy.reset();
        std::remove(file.c_str());
        throw std::runtime_error("cannot write the backup " + file + ": " + message);
    }
}
