#include "engine/game_folder.h"

#include "engine/player_files.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <iostream>

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#endif

#ifndef _WIN32

namespace {

// The link may point at an older install; the new one replaces it in one step,
// so that a game starting meanwhile sees one or the other.
bool LinkData(const std::string& folder, const std::string& target) {
    const std::string link = folder + "/data";
    char current[PATH_MAX];
    const ssize_t length = readlink(link.c_str(), current, sizeof current);
    if (length >= 0 && std::string(current, static_cast<std::size_t>(length)) == target) {
        return true;
    }
    const std::string fresh = folder + "/.data." + std::to_string(getpid());
    unlink(fresh.c_str());
    if (symlink(target.c_str(), fresh.c_str()) != 0) {
        return false;
    }
    if (rename(fresh.c_str(), link.c_str()) != 0) {
        const int reason = errno;
        unlink(fresh.c_str());
        errno = reason;
        return false;
    }
    return true;
}

std::string ProgramFolder() {
    char path[PATH_MAX];
    const ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
    if (length <= 0) {
        return "";
    }
    const std::string file(path, static_cast<std::size_t>(length));
    const std::size_t slash = file.find_last_of('/');
    return slash == std::string::npos ? "" : file.substr(0, slash == 0 ? 1 : slash);
}

}  // namespace

GameFolder PrepareGameFolder(const std::string& programFolder, bool programFolderWritable,
                             const std::string& cacheHome) {
    if (programFolderWritable) {
        return {programFolder, ""};
    }
    const std::string folder = (cacheHome.empty() ? std::string("$XDG_CACHE_HOME") : cacheHome) + "/quorvel";
    std::string problem;
    if (cacheHome.empty()) {
        problem = "Neither XDG_CACHE_HOME nor HOME names a folder.";
    } else if (!MakeFolders(folder, 0700) || !LinkData(folder, programFolder + "/data")) {
        problem = std::string(std::strerror(errno)) + ".";
    }
    if (!problem.empty()) {
        return {programFolder, "Failed to prepare folder \"" + folder + "\".\n" + problem};
    }
    return {folder, ""};
}

std::string CacheHome() {
    const char* cache = std::getenv("XDG_CACHE_HOME");
    if (cache != nullptr && cache[0] == '/') {
        return cache;
    }
    const char* home = std::getenv("HOME");
    return home != nullptr && home[0] == '/' ? std::string(home) + "/.cache" : "";
}

void SetWorkingDirectoryToProgram() {
    const std::string program = ProgramFolder();
    if (program.empty()) {
        return;
    }
    const GameFolder folder = PrepareGameFolder(program, access(program.c_str(), W_OK) == 0, CacheHome());
    if (!folder.problem.empty()) {
        std::cerr << folder.problem << std::endl;
    }
    if (chdir(folder.path.c_str()) != 0) {
        return;  // the packages then fail to open, with reports of their own
    }
}

#else

void SetWorkingDirectoryToProgram() {
    char path[260];
    DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
    if (length == 0 || length >= sizeof path) {
        return;
    }
    std::string folder(path, length);
    std::size_t slash = folder.find_last_of('\\');
    if (slash != std::string::npos) {
        folder.erase(slash + 1);
        SetCurrentDirectoryA(folder.c_str());
    }
}

#endif
