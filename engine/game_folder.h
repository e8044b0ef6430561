#pragma once

#include <string>

// The folder the game works in: it reads "data/..." and writes its scratch
// files there. A portable copy works in its own folder; an installed game,
// whose folder the player cannot write, works in a folder of the player's own
// whose data/ points at the installed packages, so that every relative path
// still holds and no two players share a scratch file.
struct GameFolder {
    std::string path;
    // Empty, or why the player's folder could not be prepared.
    std::string problem;
};

// Prepares cacheHome/quorvel (folders it makes are private to the player) and
// its data link when the program's folder is not writable.
GameFolder PrepareGameFolder(const std::string& programFolder, bool programFolderWritable,
                             const std::string& cacheHome);

// $XDG_CACHE_HOME when it is absolute, otherwise $HOME/.cache; empty when
// neither is known.
std::string CacheHome();

// Makes the game folder the current directory. When the player's folder cannot
// be prepared it says so on standard error and works in the program's folder,
// where the packages then fail to open with reports of their own.
void SetWorkingDirectoryToProgram();
