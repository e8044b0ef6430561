#include "app/settings.h"

#include "engine/player_files.h"
#include "scores/score_protocol.h"

#include <ini.h>
#include <strings.h>

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <sstream>

namespace {

constexpr std::size_t MostSettingsBytes = 64 * 1024;

constexpr const char* Yes[] = {"true", "yes", "on", "1"};
constexpr const char* No[] = {"false", "no", "off", "0"};

bool Same(const char* a, const char* b) {
    return strcasecmp(a, b) == 0;
}

bool ReadSwitch(const char* value, bool& setting) {
    for (int i = 0; i < 4; ++i) {
        if (Same(value, Yes[i]) || Same(value, No[i])) {
            setting = Same(value, Yes[i]);
            return true;
        }
    }
    return false;
}

// Plain decimal digits only: "2", not "+2", "2.0" or "two".
bool ReadNumber(const char* value, int lowest, int highest, int& setting) {
    const std::size_t length = std::strlen(value);
    if (length == 0 || length > 3 || std::strspn(value, "0123456789") != length) {
        return false;
    }
    const int number = std::atoi(value);
    if (number < lowest || number > highest) {
        return false;
    }
    setting = number;
    return true;
}

// What the name field can hold: letters, digits and spaces, at most 15.
bool ReadName(const char* value, std::string& setting) {
    const std::size_t length = std::strlen(value);
    for (std::size_t i = 0; i < length; ++i) {
        if (!std::isalnum(static_cast<unsigned char>(value[i])) && value[i] != ' ') {
            return false;
        }
    }
    if (length > LongestPlayerName) {
        return false;
    }
    setting = value;
    return true;
}

struct Reading {
    Settings settings;
    std::string reason;  // why the first bad line is bad
};

// libinih calls this for every key; false marks the line as bad.
int TakeSetting(void* user, const char* section, const char* key, const char* value) {
    Reading& reading = *static_cast<Reading*>(user);
    Settings& s = reading.settings;
    struct Rule {
        const char* section;
        const char* key;
        const char* expected;
        bool (*read)(Settings&, const char*);
    };
    static const Rule rules[] = {
        {"video", "scale", "1 to 4",
         [](Settings& s, const char* v) { return ReadNumber(v, MinScale, MaxScale, s.scale); }},
        {"video", "fullscreen", "true or false",
         [](Settings& s, const char* v) { return ReadSwitch(v, s.fullscreen); }},
        {"sound", "music", "true or false",
         [](Settings& s, const char* v) { return ReadSwitch(v, s.music); }},
        {"sound", "music_volume", "0 to 100",
         [](Settings& s, const char* v) { return ReadNumber(v, 0, 100, s.musicVolume); }},
        {"sound", "effects", "true or false",
         [](Settings& s, const char* v) { return ReadSwitch(v, s.effects); }},
        {"sound", "effects_volume", "0 to 100",
         [](Settings& s, const char* v) { return ReadNumber(v, 0, 100, s.effectsVolume); }},
        {"player", "name", "up to 15 letters, digits and spaces",
         [](Settings& s, const char* v) { return ReadName(v, s.playerName); }},
    };
    for (const Rule& rule : rules) {
        if (Same(section, rule.section) && Same(key, rule.key)) {
            if (rule.read(s, value)) {
                return 1;
            }
            if (reading.reason.empty()) {
                reading.reason = std::string(": ") + rule.key + " must be " + rule.expected;
            }
            return 0;
        }
    }
    return 1;
}

const char* Switch(bool on) {
    return on ? "true" : "false";
}

}  // namespace

bool operator==(const Settings& a, const Settings& b) {
    return a.scale == b.scale && a.fullscreen == b.fullscreen && a.music == b.music &&
           a.musicVolume == b.musicVolume && a.effects == b.effects && a.effectsVolume == b.effectsVolume &&
           a.playerName == b.playerName;
}

SettingsRead ParseSettings(const std::string& text) {
    Reading reading;
    const int badLine = ini_parse_string(text.c_str(), TakeSetting, &reading);
    if (badLine == 0) {
        return {reading.settings, ""};
    }
    if (badLine < 0) {
        return {Settings(), "it could not be read"};
    }
    // A line the reader could not split leaves no reason of ours.
    const std::string reason = reading.reason.empty() ? " is not a setting" : reading.reason;
    return {Settings(), "line " + std::to_string(badLine) + reason};
}

SettingsRead ReadSettingsFile(const std::string& path) {
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "rb"), std::fclose);
    if (file == nullptr) {
        return errno == ENOENT ? SettingsRead() : SettingsRead{Settings(), std::strerror(errno)};
    }
    // A settings file is small; a large one is no settings file.
    std::string text(MostSettingsBytes + 1, '\0');
    text.resize(std::fread(&text[0], 1, text.size(), file.get()));
    if (std::ferror(file.get()) != 0) {
        return {Settings(), std::strerror(errno)};
    }
    if (text.size() > MostSettingsBytes) {
        return {Settings(), "it is too large for a settings file"};
    }
    return ParseSettings(text);
}

std::string SettingsText(const Settings& settings) {
    std::ostringstream text;
    text << "# Quorvel's settings. The game rewrites this file when a setting changes in\n"
            "# the game (Alt+Enter, M, a name sent); a line it does not know goes then.\n"
            "\n[video]\n"
            "# The window is this many times the game's 640 x 480: 1 to 4\n"
            "scale = "
         << settings.scale << "\nfullscreen = " << Switch(settings.fullscreen)
         << "\n\n[sound]\n"
            "# Volumes in percent: 0 to 100\n"
            "music = "
         << Switch(settings.music) << "\nmusic_volume = " << settings.musicVolume
         << "\neffects = " << Switch(settings.effects) << "\neffects_volume = " << settings.effectsVolume
         << "\n\n[player]\n"
            "# The name the end-of-game screen offers: up to 15 letters, digits and spaces\n"
            "name = "
         << settings.playerName << "\n";
    return text.str();
}

Settings WithCommandLine(Settings settings, const CommandLine& line) {
    settings.fullscreen = settings.fullscreen || line.fullscreen;
    if (line.scale != 0) {
        settings.scale = line.scale;
    }
    return settings;
}

std::string SettingsPath(const std::string& configHome) {
    return configHome.empty() ? "" : configHome + "/quorvel/settings.ini";
}

std::string SaveSettings(const std::string& path, const Settings& settings) {
    const std::string folder = path.substr(0, path.find_last_of('/'));
    std::string problem;
    if (!MakeFolders(folder, 0700)) {
        problem = std::strerror(errno);
    } else {
        problem = ReplaceFile(path, SettingsText(settings));
    }
    return problem.empty() ? "" : "Failed to save the settings in \"" + path + "\": " + problem + ".";
}

int SoundLevel(int percent) {
    return (percent * 256 + 50) / 100;
}
