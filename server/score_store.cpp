#include "server/score_store.h"

#include "server/postgres_store.h"
#include "server/sqlite_store.h"

#include <string_view>

namespace {

bool IsPostgresUri(std::string_view database) {
    return database.rfind("postgresql://", 0) == 0 || database.rfind("postgres://", 0) == 0;
}

}  // namespace

std::unique_ptr<ScoreStore> OpenScoreStore(const std::string& database) {
    if (IsPostgresUri(database)) {
        return std::make_unique<PostgresScoreStore>(database);
    }
    return std::make_unique<SqliteScoreStore>(database);
}
