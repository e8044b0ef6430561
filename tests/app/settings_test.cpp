#include "app/settings.h"

#include "app/wide_keys.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <string>
#include <vector>

TEST(SettingsTest, AFileReadsBackAsWrittenAndAPersonsEditsCount) {
    const Settings custom{3, true, false, 0, true, 55, "Ann Lee 7"};
    for (const Settings& settings : {Settings(), custom}) {
        const SettingsRead read = ParseSettings(SettingsText(settings));
        EXPECT_EQ(read.problem, "");
        EXPECT_TRUE(read.settings == settings) << SettingsText(settings);
    }
    const SettingsRead edited = ParseSettings(
        "; by hand\r\n[Sound]\r\nMUSIC = off ; inline comment\r\neffects=No\n[later]\nscale = 9\n"
        "[video]\nscale=4\nzoom = 2\nfullscreen = yes\n[player]\nname =  Bo  \n[sound]\nmusic_volume = "
        "100\n");
    EXPECT_EQ(edited.problem, "");
    const Settings expected{4, true, false, 100, false, 100, "Bo"};
    EXPECT_TRUE(edited.settings == expected) << SettingsText(edited.settings);
    EXPECT_TRUE(ParseSettings("").settings == Settings());
}

TEST(SettingsTest, ABadFileGivesTheDefaultsAndOneLineSayingWhere) {
    const struct {
        const char* text;
        const char* problem;
    } cases[] = {
        {"[video]\nscale = 5\n", "line 2: scale must be 1 to 4"},
        {"[video]\nscale = 2.0\n", "line 2: scale must be 1 to 4"},
        {"[video]\nfullscreen = maybe\n", "line 2: fullscreen must be true or false"},
        {"[sound]\nmusic_volume = 101\n", "line 2: music_volume must be 0 to 100"},
        {"[sound]\neffects_volume = -1\n", "line 2: effects_volume must be 0 to 100"},
        {"[player]\nname = Ann-Lee\n", "line 2: name must be up to 15 letters, digits and spaces"},
        {"[player]\nname = abcdefghijklmnop\n", "line 2: name must be up to 15 letters, digits and spaces"},
        {"[video]\nscale 2\n", "line 2 is not a setting"},
        {"[video\nscale = 2\n", "line 1 is not a setting"},
        // The first bad line is named, whatever follows.
        {"\n\n[video]\nscale = 2\nfullscreen = x\nscale = 7\n", "line 5: fullscreen must be true or false"},
    };
    for (const auto& c : cases) {
        const SettingsRead read = ParseSettings(c.text);
        EXPECT_EQ(read.problem, c.problem) << c.text;
        EXPECT_TRUE(read.settings == Settings()) << c.text;
    }
    // Not a file's content at all: a folder, a huge file.
    mkdir("settings_folder", 0700);
    EXPECT_EQ(ReadSettingsFile("settings_folder").problem, "Is a directory");
    WriteFileBytes("huge.ini", "[video]\n" + std::string(70000, '#'));
    EXPECT_EQ(ReadSettingsFile("huge.ini").problem, "it is too large for a settings file");
    EXPECT_EQ(ReadSettingsFile("no_such_file.ini").problem, "") << "a missing file is no problem";
}

TEST(SettingsTest, SavedInAFolderOfItsOwnWhereOneCanBeMade) {
    const std::string home =
        std::string(::testing::UnitTest::GetInstance()->original_working_dir()) + "/config";
    std::filesystem::remove_all(home);
    EXPECT_EQ(SettingsPath(""), "");
    const std::string path = SettingsPath(home);
    EXPECT_EQ(path, home + "/quorvel/settings.ini");
    Settings settings;
    settings.playerName = "Cy";
    EXPECT_EQ(SaveSettings(path, settings), "");
    EXPECT_EQ(ReadFileBytes(path), SettingsText(settings));
    WriteFileBytes("plain_file", "");
    const std::string blocked = std::string(::testing::UnitTest::GetInstance()->original_working_dir()) +
                                "/plain_file/quorvel/settings.ini";
    EXPECT_EQ(SaveSettings(blocked, settings),
              "Failed to save the settings in \"" + blocked + "\": Not a directory.");
}

TEST(SettingsTest, TheCommandLineWinsForTheRunOnly) {
    Settings file;
    file.scale = 3;
    CommandLine line;
    EXPECT_TRUE(WithCommandLine(file, line) == file);
    line.scale = 1;
    line.fullscreen = true;
    const Settings run = WithCommandLine(file, line);
    EXPECT_EQ(run.scale, 1);
    EXPECT_TRUE(run.fullscreen);
    // Percent on the sound layer's scale: the old music volume stays 82.
    EXPECT_EQ(SoundLevel(32), 82);
    EXPECT_EQ(SoundLevel(100), 256);
}

TEST(WideKeysTest, EachKeyOnItsOwnAndMOnlyWhereLettersDoNotType) {
    const struct {
        Uint8 type;
        SDLKey key;
        int mod;
        bool typing;
        WideKey expected;
    } cases[] = {
        {SDL_KEYDOWN, SDLK_RETURN, KMOD_LALT, false, WideKey::FullScreen},
        {SDL_KEYDOWN, SDLK_KP_ENTER, KMOD_RALT, true, WideKey::FullScreen},
        {SDL_KEYDOWN, SDLK_RETURN, KMOD_NONE, false, WideKey::None},
        {SDL_KEYUP, SDLK_RETURN, KMOD_LALT, false, WideKey::None},
        {SDL_KEYDOWN, SDLK_m, KMOD_NONE, false, WideKey::Sound},
        {SDL_KEYDOWN, SDLK_m, KMOD_LSHIFT, false, WideKey::Sound},
        {SDL_KEYDOWN, SDLK_m, KMOD_NONE, true, WideKey::None},
        {SDL_KEYDOWN, SDLK_m, KMOD_LCTRL, false, WideKey::None},
        {SDL_KEYDOWN, SDLK_F12, KMOD_NONE, true, WideKey::Screenshot},
        {SDL_KEYDOWN, SDLK_RALT, KMOD_RALT, true, WideKey::AltAlone},
    };
    for (const auto& c : cases) {
        SDL_Event event{};
        event.type = c.type;
        event.key.keysym.sym = c.key;
        event.key.keysym.mod = static_cast<SDLMod>(c.mod);
        EXPECT_EQ(WideKeyOf(event, c.typing), c.expected) << c.key << " " << c.mod << " " << c.typing;
    }
}
