#pragma once

#include "app/options.h"

#include <string>

// What the game keeps between runs, in the player's settings file. The
// defaults are the game as it plays without a file.
struct Settings {
    int scale = 1;  // MinScale to MaxScale
    bool fullscreen = false;
    bool music = true;
    int musicVolume = 32;  // percent
    bool effects = true;
    int effectsVolume = 100;  // percent
    std::string playerName;   // as the end-of-game screen takes it
};

bool operator==(const Settings& a, const Settings& b);

// A settings file read: its settings, or the defaults and the one line that
// says why when the text is not a good settings file.
struct SettingsRead {
    Settings settings;
    std::string problem;  // empty when the text was good
};

// The INI text of a settings file: sections [video], [sound], [player].
// Unknown sections and keys are skipped, for files of later versions; a line
// that is not a setting or a value out of its range spoils the whole file.
SettingsRead ParseSettings(const std::string& text);
// A missing file gives the defaults without a problem; an unreadable one, the
// defaults and the reason.
SettingsRead ReadSettingsFile(const std::string& path);
// The text that ParseSettings reads back as the same settings.
std::string SettingsText(const Settings& settings);

// The options given on the command line win for the run.
Settings WithCommandLine(Settings settings, const CommandLine& line);

// configHome/quorvel/settings.ini; empty (no file at all) when configHome is.
std::string SettingsPath(const std::string& configHome);
// Writes the file in one step (see ReplaceFile), making its folder. Empty, or
// the one line that says why it could not.
std::string SaveSettings(const std::string& path, const Settings& settings);

// A volume in percent on the sound layer's scale of 0 to 256.
int SoundLevel(int percent);
