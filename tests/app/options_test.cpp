#include "app/options.h"

#include "scores/score_protocol.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

TEST(CommandLineTest, OnlyTheExactWordsCountAndAnOptionIsNeverAnotherOnesValue) {
    struct Case {
        bool fullscreen, use32Bit, windib;
        std::string server;
        int scale;
        std::vector<const char*> words;
    };
    const std::string standard = DefaultScoreServer;
    const Case cases[] = {
        {false, false, false, standard, 0, {}},
        {true, true, true, standard, 0, {"-32bit", "-windib", "-fullscreen", "-32bit"}},
        {true, false, false, standard, 0, {"-fullscreen"}},
        {false, false, false, standard, 0, {"-Fullscreen", "--fullscreen", "-fullscreen2", "fullscreen"}},
        {false, false, false, standard, 0, {"-32BIT", "-32bits", "-WinDib", "-windib "}},
        {false, false, false, standard, 0, {"", "-", "-Server", "a", "-Scale", "2"}},
        {false, false, false, "scores.example.org:8080", 0, {"-server", "scores.example.org:8080"}},
        // No address begins with a dash: the option after "-server" keeps its effect.
        {true, true, false, standard, 0, {"-server", "-fullscreen", "-32bit"}},
        // The last one given wins; a trailing "-server" without address is ignored.
        {false, false, false, "b", 0, {"-server", "a", "-server", "b"}},
        {false, false, false, "a", 0, {"-server", "a", "-server"}},
        {false, false, false, standard, 3, {"-scale", "3"}},
        // Only 1 to 4 is a scale; anything else leaves the last valid one; 0 is none given.
        {false, false, false, standard, 4, {"-scale", "4", "-scale", "5", "-scale", "0"}},
        {false, false, false, standard, 4, {"-scale", "4", "-scale", "22", "-scale"}},
        {true, false, false, standard, 2, {"-scale", "-fullscreen", "-server", "-scale", "2"}},
    };
    for (Case c : cases) {
        c.words.insert(c.words.begin(), "quorvel");
        const CommandLine line = ReadCommandLine(static_cast<int>(c.words.size()), c.words.data());
        const std::string shown = c.words.size() > 1 ? c.words[1] : "(none)";
        EXPECT_EQ(line.fullscreen, c.fullscreen) << shown;
        EXPECT_EQ(line.use32Bit, c.use32Bit) << shown;
        EXPECT_EQ(line.windib, c.windib) << shown;
        EXPECT_EQ(line.scoreServer, c.server) << shown;
        EXPECT_EQ(line.scale, c.scale) << shown;
    }
    // The program's name is never an option.
    const char* words[] = {"-fullscreen", "-32bit"};
    EXPECT_FALSE(ReadCommandLine(2, words).fullscreen);
    EXPECT_TRUE(ReadCommandLine(2, words).use32Bit);
    EXPECT_FALSE(ReadCommandLine(0, nullptr).fullscreen);
}

TEST(VideoModeTest, AFullScreenIsAlways24BitsAWindowDeepensWith32Bit) {
    const Uint32 window = SDL_HWSURFACE | SDL_DOUBLEBUF;
    const struct {
        bool fullscreen, use32Bit;
        int bitsPerPixel;
        Uint32 flags;
    } modes[] = {{false, false, 24, window},
                 {false, true, 32, window},
                 {true, false, 24, window | SDL_FULLSCREEN},
                 {true, true, 24, window | SDL_FULLSCREEN}};
    for (const auto& mode : modes) {
        const VideoModeChoice choice = ChooseVideoMode(mode.fullscreen, mode.use32Bit);
        EXPECT_EQ(choice.bitsPerPixel, mode.bitsPerPixel) << mode.fullscreen << mode.use32Bit;
        EXPECT_EQ(choice.flags, mode.flags) << mode.fullscreen << mode.use32Bit;
    }
}
