#include "app/options.h"
#include "scores/score_protocol.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

CommandLine Read(std::vector<const char*> words) {
    words.insert(words.begin(), "quorvel");
    return ReadCommandLine(static_cast<int>(words.size()), words.data());
}

}  // namespace

TEST(CommandLineTest, NoArgumentsMeansWindowedWithSynchronisedPresentation) {
    CommandLine line = Read({});
    EXPECT_FALSE(line.fullscreen);
    EXPECT_FALSE(line.use32Bit);
    EXPECT_FALSE(line.windib);
    EXPECT_EQ(line.scoreServer, DefaultScoreServer);
}

TEST(CommandLineTest, OptionWordsCountInAnyOrderAndMoreThanOnce) {
    CommandLine line = Read({"-32bit", "-windib", "-fullscreen", "-32bit"});
    EXPECT_TRUE(line.fullscreen);
    EXPECT_TRUE(line.use32Bit);
    EXPECT_TRUE(line.windib);

    line = Read({"-fullscreen"});
    EXPECT_TRUE(line.fullscreen);
    EXPECT_FALSE(line.use32Bit);
    EXPECT_FALSE(line.windib);
}

TEST(CommandLineTest, OnlyTheExactCaseSensitiveWordsCount) {
    CommandLine line = Read({"-Fullscreen", "-FULLSCREEN", "--fullscreen", "-fullscreen2", "fullscreen",
                             "-32BIT", "-32bits", "-32", "-WinDib", "-windib ", "", "-", "whatever"});
    EXPECT_FALSE(line.fullscreen);
    EXPECT_FALSE(line.use32Bit);
    EXPECT_FALSE(line.windib);
    EXPECT_EQ(line.scoreServer, DefaultScoreServer);
}

TEST(CommandLineTest, ServerTakesTheNextArgumentWhateverItIs) {
    EXPECT_EQ(Read({"-server", "scores.example.org:8080"}).scoreServer, "scores.example.org:8080");
    // The word after "-server" is its address, not an option.
    CommandLine line = Read({"-server", "-fullscreen", "-32bit"});
    EXPECT_EQ(line.scoreServer, "-fullscreen");
    EXPECT_FALSE(line.fullscreen);
    EXPECT_TRUE(line.use32Bit);
    // The last one given wins; a trailing "-server" without address is ignored.
    EXPECT_EQ(Read({"-server", "a", "-server", "b"}).scoreServer, "b");
    EXPECT_EQ(Read({"-server", "a", "-server"}).scoreServer, "a");
    EXPECT_EQ(Read({"-Server", "a"}).scoreServer, DefaultScoreServer);
}

TEST(CommandLineTest, TheProgramNameIsNeverAnOption) {
    const char* words[] = {"-fullscreen", "-32bit"};
    CommandLine line = ReadCommandLine(2, words);
    EXPECT_FALSE(line.fullscreen);
    EXPECT_TRUE(line.use32Bit);
    EXPECT_FALSE(ReadCommandLine(0, nullptr).fullscreen);
}

TEST(VideoModeTest, DepthAndFlagsFollowTheOptions) {
    const Uint32 window = SDL_HWSURFACE | SDL_DOUBLEBUF;
    const Uint32 fullscreen = SDL_HWSURFACE | SDL_DOUBLEBUF | SDL_FULLSCREEN;
    EXPECT_EQ(window, 0x40000001u);
    EXPECT_EQ(fullscreen, 0xC0000001u);

    VideoModeChoice plain = ChooseVideoMode(false, false);
    EXPECT_EQ(plain.bitsPerPixel, 24);
    EXPECT_EQ(plain.flags, window);

    VideoModeChoice deep = ChooseVideoMode(false, true);
    EXPECT_EQ(deep.bitsPerPixel, 32);
    EXPECT_EQ(deep.flags, window);

    // A full screen is 24 bits per pixel with or without "-32bit".
    for (bool use32Bit : {false, true}) {
        VideoModeChoice full = ChooseVideoMode(true, use32Bit);
        EXPECT_EQ(full.bitsPerPixel, 24);
        EXPECT_EQ(full.flags, fullscreen);
    }
}

TEST(VideoModeTest, CommandLineToModeInEitherOrder) {
    for (auto words : {std::vector<const char*>{"-fullscreen", "-32bit"}, {"-32bit", "-fullscreen"}}) {
        CommandLine line = Read(words);
        EXPECT_EQ(ChooseVideoMode(line.fullscreen, line.use32Bit).bitsPerPixel, 24);
    }
    CommandLine line = Read({"-32bit"});
    EXPECT_EQ(ChooseVideoMode(line.fullscreen, line.use32Bit).bitsPerPixel, 32);
}
