#pragma once

#include <cstdint>
#include <memory>
#include <string>

// Tells the thread serving the clients, without a call to the database,
// whether the scores may have changed since it last looked, so that it can
// answer a game's list from memory. Changes by any instance and by the
// operator's commands count.
class ChangeWatch {
  public:
    virtual ~ChangeWatch() = default;

    // Never waits. A number that changes whenever the scores may have
    // changed; a new one on every call while changes cannot be seen. Called
    // from one thread only.
    virtual uint64_t Version() = 0;
};

class PostgresScoreStore;

// SQLite: the kernel's notices of writes to the database file and its logs,
// read as they are asked for, so that a commit that has returned anywhere is
// seen by the next call. Sees nothing (every call a change) when the kernel
// will not watch the folder.
std::unique_ptr<ChangeWatch> WatchFileWrites(const std::string& path);

// PostgreSQL: a thread listening on `listener`'s connection for the stores'
// notifications, opening it again when it breaks; nothing is seen while it
// is not open.
std::unique_ptr<ChangeWatch> WatchNotifications(std::unique_ptr<PostgresScoreStore> listener);
