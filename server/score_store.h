#pragma once

#include "server/score_record.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

// One connection to the scores' storage, used by one thread at a time. The
// server opens one for its writer thread and one for reads. Both back ends
// keep the same schema: table scores (id, name, score, received) with an
// index on (score DESC, id ASC), and table score_count holding the total.
class ScoreStore {
  public:
    virtual ~ScoreStore() = default;

    // Stores every score in one transaction and returns only after the commit
    // has returned (synced to disk). Throws std::runtime_error when it did not
    // commit: then none of them may be acknowledged. A commit whose outcome is
    // unknown is never retried as if it had failed or succeeded.
    virtual void AddAll(const std::vector<ScoreRecord>& scores) = 0;

    // Up to `count` scores from the highest down (equal scores in arrival
    // order), strictly after `after` when given: keyset paging, no OFFSET.
    virtual std::vector<StoredScore> Best(const std::optional<ScoreKey>& after, int64_t count) = 0;

    // Up to `count` scores ranked just above `before`, highest first: the
    // page in front of the one that starts at `before`.
    virtual std::vector<StoredScore> Above(const ScoreKey& before, int64_t count) = 0;

    // How many scores are stored, kept by a counter updated in the same
    // transaction as the inserts.
    virtual int64_t Count() = 0;

    // Throws std::runtime_error when the database does not answer.
    virtual void Check() = 0;
};

// "postgresql://..." or "postgres://..." selects PostgreSQL (a libpq URI;
// the password comes from PGPASSFILE or ~/.pgpass, never the command line);
// anything else is the path of an SQLite file. Throws std::runtime_error with
// a message fit for the operator when the storage cannot be used.
std::unique_ptr<ScoreStore> OpenScoreStore(const std::string& database);
