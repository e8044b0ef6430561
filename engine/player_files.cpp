#include "engine/player_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>

namespace {

std::string AbsoluteVariable(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr && value[0] == '/' ? value : "";
}

std::string HomeFolder(const char* below) {
    const std::string home = AbsoluteVariable("HOME");
    return home.empty() ? home : home + below;
}

// The line XDG_PICTURES_DIR="$HOME/..." that xdg-user-dirs writes; the folder
// has the name of the desktop's language there.
std::string PicturesFromUserDirs(const std::string& configHome) {
    std::ifstream file(configHome + "/user-dirs.dirs");
    const std::string key = "XDG_PICTURES_DIR=\"";
    for (std::string line; std::getline(file, line);) {
        if (line.compare(0, key.size(), key) != 0 || line.back() != '"') {
            continue;
        }
        std::string folder = line.substr(key.size(), line.size() - key.size() - 1);
        if (folder.compare(0, 5, "$HOME") == 0) {
            const std::string home = AbsoluteVariable("HOME");
            folder = home.empty() ? "" : home + folder.substr(5);
        }
        return folder.empty() || folder[0] != '/' ? "" : folder;
    }
    return "";
}

}  // namespace

std::string ConfigHome() {
    const std::string config = AbsoluteVariable("XDG_CONFIG_HOME");
    return config.empty() ? HomeFolder("/.config") : config;
}

std::string PicturesHome() {
    std::string pictures = AbsoluteVariable("XDG_PICTURES_DIR");
    if (pictures.empty() && !ConfigHome().empty()) {
        pictures = PicturesFromUserDirs(ConfigHome());
    }
    return pictures.empty() ? HomeFolder("/Pictures") : pictures;
}

bool MakeFolders(const std::string& path, unsigned permissions) {
    for (std::size_t slash = path.find('/', 1);; slash = path.find('/', slash + 1)) {
        const std::string part = path.substr(0, slash);
        if (mkdir(part.c_str(), permissions) != 0 && errno != EEXIST) {
            return false;
        }
        if (slash == std::string::npos) {
            break;
        }
    }
    struct stat info;
    if (stat(path.c_str(), &info) != 0) {
        return false;
    }
    errno = ENOTDIR;
    return S_ISDIR(info.st_mode);
}

std::string ReplaceFile(const std::string& path, const std::string& content) {
    // One new file per process, so that two games never write into the same one.
    const std::string fresh = path + ".new." + std::to_string(getpid());
    const int file = open(fresh.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (file < 0) {
        return std::strerror(errno);
    }
    std::size_t written = 0;
    while (written < content.size()) {
        const ssize_t step = write(file, content.data() + written, content.size() - written);
        if (step < 0 && errno == EINTR) {
            continue;
        }
        if (step <= 0) {
            break;
        }
        written += static_cast<std::size_t>(step);
    }
    // Synced before the rename: otherwise a power cut may keep the new name on
    // a file whose content never reached the disk.
    const bool complete = written == content.size() && fsync(file) == 0;
    const int reason = errno;
    if (close(file) != 0 || !complete || rename(fresh.c_str(), path.c_str()) != 0) {
        const std::string problem = std::strerror(complete ? errno : reason);
        unlink(fresh.c_str());
        return problem;
    }
    // The rename itself lasts only once the folder is on disk too.
    const std::size_t slash = path.find_last_of('/');
    const int folder = open(slash == std::string::npos ? "." : path.substr(0, slash + 1).c_str(),
                            O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder >= 0) {
        fsync(folder);
        close(folder);
    }
    return "";
}
