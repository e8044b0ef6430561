#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "server/score_record.h"

struct sqlite3;
struct sqlite3_stmt;

// The scores on disk: one SQLite database file in WAL mode. Every write is
// committed (and synced) before Add returns, so a score may be acknowledged
// as soon as Add is done. Failures throw std::runtime_error.
class ScoreStore {
  public:
    explicit ScoreStore(const std::string& path);
    ~ScoreStore();
    ScoreStore(const ScoreStore&) = delete;
    ScoreStore& operator=(const ScoreStore&) = delete;

    void Add(const std::string& name, int32_t score);

    // Scores from highest down, equal scores in the order they arrived,
    // skipping the first `offset`.
    std::vector<ScoreRecord> Best(int64_t offset, int64_t count);

    int64_t Count();

  private:
    struct CloseDatabase {
        void operator()(sqlite3* db) const;
    };
    struct FinalizeStatement {
        void operator()(sqlite3_stmt* statement) const;
    };
    using Statement = std::unique_ptr<sqlite3_stmt, FinalizeStatement>;

    void Execute(const char* sql);
    Statement Prepare(const char* sql);
    [[noreturn]] void Fail(const char* what);

    // Declared first, so the statements are finalized before it closes.
    std::unique_ptr<sqlite3, CloseDatabase> db;
    Statement insertScore;
    Statement selectBest;
    Statement countScores;
};
