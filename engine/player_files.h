#pragma once

#include <string>

// The player's own folders, by the XDG base directory rules. Each is empty
// when neither its variable nor HOME names an absolute folder.
// $XDG_CONFIG_HOME, otherwise $HOME/.config.
std::string ConfigHome();
// $XDG_PICTURES_DIR, otherwise the one named in the player's user-dirs.dirs,
// otherwise $HOME/Pictures.
std::string PicturesHome();

// Like mkdir -p; the folders it makes get the given permissions. False with
// errno set when the path is not a folder at the end.
bool MakeFolders(const std::string& path, unsigned permissions);

// Replaces a file's content in one step: a new file in the same folder, synced
// to disk, then renamed over the old one, so that a crash at any moment leaves
// the old content or the new, never a part. Empty, or why it failed.
std::string ReplaceFile(const std::string& path, const std::string& content);
