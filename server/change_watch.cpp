#include "server/change_watch.h"

#include "server/postgres_store.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <filesystem>
#include <optional>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

namespace {

// Every write to the database file or its logs is a notice in the kernel's
// queue before the write returns, so before any commit that made it has.
class FileChanges : public ChangeWatch {
  public:
    explicit FileChanges(const std::string& path) {
        std::error_code failed;
        // SQLite writes its logs beside the file a link points to.
        std::filesystem::path file = std::filesystem::weakly_canonical(path, failed);
        if (failed) {
            return;
        }
        names = {file.filename().string(), file.filename().string() + "-wal",
                 file.filename().string() + "-journal"};
        notices = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
        if (notices >= 0 &&
            inotify_add_watch(notices, file.parent_path().c_str(),
                              IN_MODIFY | IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO) < 0) {
            Blind();
        }
    }
    ~FileChanges() override { Blind(); }
    FileChanges(const FileChanges&) = delete;
    FileChanges& operator=(const FileChanges&) = delete;

    uint64_t Version() override {
        if (notices < 0) {
            return ++version;
        }
        alignas(inotify_event) char buffer[4096];
        bool changed = false;
        while (true) {
            ssize_t got = read(notices, buffer, sizeof buffer);
            if (got <= 0) {
                if (got < 0 && errno != EAGAIN && errno != EINTR) {
                    Blind();
                    changed = true;
                }
                if (got == 0 || errno != EINTR) {
                    break;
                }
                continue;
            }
            for (ssize_t at = 0; at < got;) {
                const auto* notice = reinterpret_cast<const inotify_event*>(buffer + at);
                // Lost notices, or a folder no longer watched: anything may have changed.
                if (notice->mask & (IN_Q_OVERFLOW | IN_IGNORED)) {
                    changed = true;
                }
                if (notice->len > 0 && Watched(notice->name)) {
                    changed = true;
                }
                at += static_cast<ssize_t>(sizeof(inotify_event) + notice->len);
            }
        }
        return changed ? ++version : version;
    }

  private:
    bool Watched(const char* name) const {
        for (const std::string& watched : names) {
            if (watched == name) {
                return true;
            }
        }
        return false;
    }
    void Blind() {
        if (notices >= 0) {
            close(notices);
        }
        notices = -1;
    }

    std::vector<std::string> names;
    int notices = -1;
    uint64_t version = 0;
};

// A listening connection on a thread of its own: the notification of a
// commit by any instance arrives on its socket.
class HeardChanges : public ChangeWatch {
  public:
    explicit HeardChanges(std::unique_ptr<PostgresScoreStore> listener)
        : listener(std::move(listener)), wake(eventfd(0, EFD_CLOEXEC)) {
        if (wake >= 0) {
            thread = std::thread([this] { Run(); });
        }
    }
    ~HeardChanges() override {
        stopping = true;
        if (thread.joinable()) {
            uint64_t one = 1;
            (void)!write(wake, &one, sizeof one);
            thread.join();
        }
        if (wake >= 0) {
            close(wake);
        }
    }
    HeardChanges(const HeardChanges&) = delete;
    HeardChanges& operator=(const HeardChanges&) = delete;

    uint64_t Version() override {
        if (!hearing) {
            return version.fetch_add(1) + 1;
        }
        return version.load();
    }

  private:
    void Run() {
        std::optional<uint64_t> last;
        while (!stopping) {
            std::optional<uint64_t> heard = listener->Listen(ListenLimit, wake);
            if (heard != last) {
                // Counted before it is trusted: what came while no one listened is unknown.
                ++version;
            }
            hearing = heard.has_value();
            last = heard;
        }
    }

    // Also the longest a stop waits for the thread, should it be reconnecting.
    static constexpr std::chrono::milliseconds ListenLimit{1000};

    const std::unique_ptr<PostgresScoreStore> listener;
    const int wake;
    std::atomic<bool> stopping{false};
    std::atomic<bool> hearing{false};
    std::atomic<uint64_t> version{0};
    // Started last: Run uses everything above.
    std::thread thread;
};

}  // namespace

std::unique_ptr<ChangeWatch> WatchFileWrites(const std::string& path) {
    return std::make_unique<FileChanges>(path);
}

std::unique_ptr<ChangeWatch> WatchNotifications(std::unique_ptr<PostgresScoreStore> listener) {
    return std::make_unique<HeardChanges>(std::move(listener));
}
