#include "server/score_store.h"

#include "server/change_watch.h"
#include "server/postgres_store.h"
#include "server/sqlite_store.h"

#include <libpq-fe.h>

#include <cctype>
#include <chrono>
#include <cstdlib>
#include <stdexcept>
#include <string_view>
#include <utility>

namespace {

using Span = std::pair<std::size_t, std::size_t>;  // first, length

bool IsPostgresUri(std::string_view database) {
    return database.rfind("postgresql://", 0) == 0 || database.rfind("postgres://", 0) == 0;
}

bool IsSpace(char c) {
    return std::isspace(static_cast<unsigned char>(c)) != 0;
}

// libpq's keyword form starts with one of libpq's own keywords and "=".
bool IsKeywordForm(std::string_view database) {
    std::size_t start = 0;
    while (start < database.size() && IsSpace(database[start])) {
        ++start;
    }
    std::size_t end = start;
    while (end < database.size() &&
           (std::isalnum(static_cast<unsigned char>(database[end])) || database[end] == '_')) {
        ++end;
    }
    std::size_t equals = end;
    while (equals < database.size() && IsSpace(database[equals])) {
        ++equals;
    }
    if (end == start || equals == database.size() || database[equals] != '=') {
        return false;
    }
    std::unique_ptr<PQconninfoOption, void (*)(PQconninfoOption*)> known(PQconndefaults(), PQconninfoFree);
    for (const PQconninfoOption* option = known.get(); option != nullptr && option->keyword != nullptr;
         ++option) {
        if (database.substr(start, end - start) == option->keyword) {
            return true;
        }
    }
    return false;
}

// Where the passwords are in a PostgreSQL address: the URI's user-info and
// "password" query parameters, or the keyword form's "password" values.
std::vector<Span> PasswordSpans(std::string_view database) {
    std::vector<Span> spans;
    if (IsPostgresUri(database)) {
        std::size_t authority = database.find("://") + 3;
        std::size_t end = database.find_first_of("@/?", authority);
        if (end != std::string_view::npos && database[end] == '@') {
            std::size_t colon = database.find(':', authority);
            if (colon < end) {
                spans.emplace_back(colon + 1, end - colon - 1);
            }
        }
        for (std::size_t at = database.find('?'); at != std::string_view::npos; at = database.find('&', at)) {
            ++at;
            std::size_t valueEnd = std::min(database.find('&', at), database.size());
            if (database.substr(at, 9) == "password=") {
                spans.emplace_back(at + 9, valueEnd - at - 9);
            }
        }
    } else if (IsKeywordForm(database)) {
        std::size_t at = 0;
        while (at < database.size()) {
            while (at < database.size() && IsSpace(database[at])) {
                ++at;
            }
            std::size_t keyEnd = at;
            while (keyEnd < database.size() && database[keyEnd] != '=' && !IsSpace(database[keyEnd])) {
                ++keyEnd;
            }
            std::string_view key = database.substr(at, keyEnd - at);
            at = keyEnd;
            while (at < database.size() && (IsSpace(database[at]) || database[at] == '=')) {
                ++at;
            }
            std::size_t valueStart = at;
            if (at < database.size() && database[at] == '\'') {
                for (++at; at < database.size() && database[at] != '\''; ++at) {
                    at += database[at] == '\\' ? 1 : 0;
                }
                at = std::min(at + 1, database.size());
            } else {
                while (at < database.size() && !IsSpace(database[at])) {
                    ++at;
                }
            }
            if (key == "password") {
                spans.emplace_back(valueStart, at - valueStart);
            }
        }
    }
    return spans;
}

// `text` with every password of `database`, as written there, replaced.
std::string HidePasswords(std::string text, const std::string& database) {
    for (const auto& [first, length] : PasswordSpans(database)) {
        const std::string secret = database.substr(first, length);
        for (std::size_t at = secret.empty() ? std::string::npos : text.find(secret); at != std::string::npos;
             at = text.find(secret, at + 3)) {
            text.replace(at, secret.size(), "***");
        }
    }
    return text;
}

}  // namespace

std::chrono::milliseconds DatabaseDeadline() {
    const char* setting = std::getenv("QUORVEL_DB_DEADLINE_MS");
    if (setting == nullptr || *setting == '\0') {
        return PostgresScoreStore::DefaultDeadline;
    }
    char* end = nullptr;
    long millis = std::strtol(setting, &end, 10);
    // A setting that makes no sense must not leave calls without a bound.
    if (*end != '\0' || millis < 100 || millis > 600000) {
        return PostgresScoreStore::DefaultDeadline;
    }
    return std::chrono::milliseconds(millis);
}

namespace {

// Calls `open(postgres)` for the back end that `database` names.
template <typename Open>
auto OpenBackend(const std::string& database, Open open) {
    try {
        return open(IsPostgresUri(database) || IsKeywordForm(database));
    } catch (const std::exception& error) {
        // libpq quotes what it could not read, which may be the password.
        throw std::runtime_error(HidePasswords(error.what(), database));
    }
}

}  // namespace

std::unique_ptr<ScoreStore> OpenScoreStore(const std::string& database) {
    return OpenBackend(database, [&](bool postgres) -> std::unique_ptr<ScoreStore> {
        if (postgres) {
            return std::make_unique<PostgresScoreStore>(database, DatabaseDeadline());
        }
        return std::make_unique<SqliteScoreStore>(database);
    });
}

std::unique_ptr<ChangeWatch> WatchScoreChanges(const std::string& database) {
    return OpenBackend(database, [&](bool postgres) {
        if (postgres) {
            return WatchNotifications(std::make_unique<PostgresScoreStore>(database, DatabaseDeadline(), true));
        }
        return WatchFileWrites(database);
    });
}

std::string ShownDatabaseAddress(const std::string& database) {
    std::string shown = database;
    std::vector<Span> spans = PasswordSpans(database);
    // From the last, so that the earlier positions still hold.
    for (auto span = spans.rbegin(); span != spans.rend(); ++span) {
        shown.replace(span->first, span->second, "***");
    }
    return shown;
}
